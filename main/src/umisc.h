#pragma once

#include <Velkit/vlk_init.h>

#include <QString>

// The program's side of the support library: the hooks it hands over at start-up.
namespace umisc {

void criticalHook();
QString messageCaption();
QString infoText(int number);
QString warnText(int number);
QString questionText(int number);
QString crashLogDirectory();

// Longest line of a shown message, in characters.
constexpr int MaxMessageLine = 100;

// The program's hook table: words 0, 12, 13, 14, 15, 17 and 20 set, the others absent.
velkit::LibraryHooks programHooks();

// Shows a message of the program's catalogue through the library's message service; does
// nothing when the service does not exist.
void showWarning(int number, const QString& p1 = QString(), const QString& p2 = QString(),
                 bool allowEmptyP1 = true, bool allowEmptyP2 = true);
void showInformation(int number, const QString& p1 = QString(), const QString& p2 = QString(),
                     bool allowEmptyP1 = true, bool allowEmptyP2 = true);
// Answer of a question, NoButton when none was shown.
QMessageBox::StandardButton askQuestion(int number, const QString& p1, const QString& p2, bool allowEmptyP1,
                                        bool allowEmptyP2, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);

} // namespace umisc
