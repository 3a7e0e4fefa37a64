#pragma once

#include <Velkit/vlk_init.h>

#include <QString>
#include <QWidget>

// The program's side of the support library: the hooks it hands over at start-up.
namespace umisc {

void criticalHook();
QString messageCaption();
QString infoText(int number);
QString warnText(int number);
QString questionText(int number);
QString crashLogDirectory();

// The first tool window of type W directly under parent for which match(w) holds, or nullptr:
// each tool window (hit table, plots, map, series table) belongs to one owner.
template <class W, class Match>
W* findToolWindow(const QWidget* parent, Match match)
{
    if (parent)
        for (W* w : parent->findChildren<W*>(Qt::FindDirectChildrenOnly))
            if (match(w))
                return w;
    return nullptr;
}

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

// The path without its last component and the separator before it (native separators).
QString directoryOf(const QString& path);

// The folder the program's file dialogs start in, kept by the main window, whose unit the
// feature folders do not reach: the main window hands its field over while it lives. Empty, and
// nothing kept, without one.
QString fileDialogFolder();
// Remembers the folder of a file the user chose.
void rememberFileDialogFolder(const QString& filePath);
void setFileDialogFolderStore(QString* store);
// The store goes (its window is deleted): forgotten unless another one took its place.
void releaseFileDialogFolderStore(const QString* store);

// A tool window of the main window (hit table, maps, plots, series tables): the first time a
// window of this kind is shown in a session it opens beside the plot, at the right edge of the
// main window's screen and inside it, never over the plot's top-left corner, also where no
// window manager places it; after that where and as large as the last one of its kind was
// left. kind names the kind of window ("hitTable"). Call once, before the window is shown.
void placeToolWindow(QWidget* window, const QString& kind);
// Forgets every remembered place (tests).
void forgetToolWindowPlaces();

} // namespace umisc
