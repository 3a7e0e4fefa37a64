#pragma once

#include "vlk_types.h"

#include <QHash>
#include <QMessageBox>
#include <QString>

class QThread;
class QWidget;

namespace velkit {

class MessagerDaemon;

// The program's hooks, 21 machine words copied by the library at initialisation. A null
// entry is an absent hook. Hooks that crash handling calls (10, 11, 16) run inside a signal
// handler on POSIX systems and must then be async-signal-safe; hooks 17 and 18 are read
// once when the crash handler is installed.
struct LibraryHooks
{
    void (*criticalHook)() = nullptr;                              // 0
    void (*afterCriticalBox)(HookToken) = nullptr;                 // 1
    HookToken (*beforeCriticalBox)() = nullptr;                    // 2
    void (*afterInfoBox)(HookToken) = nullptr;                     // 3
    HookToken (*beforeInfoBox)() = nullptr;                        // 4
    void (*afterWarnBox)(HookToken) = nullptr;                     // 5
    HookToken (*beforeWarnBox)() = nullptr;                        // 6
    void (*questionAsked)(QMessageBox::StandardButton*) = nullptr; // 7
    void (*afterQuestionBox)(HookToken) = nullptr;                 // 8
    HookToken (*beforeQuestionBox)() = nullptr;                    // 9
    void (*afterFatalBox)(HookToken) = nullptr;                    // 10
    HookToken (*beforeFatalBox)() = nullptr;                       // 11
    QString (*title)() = nullptr;                                  // 12
    QString (*infoText)(int number) = nullptr;                     // 13
    QString (*warnText)(int number) = nullptr;                     // 14
    QString (*questionText)(int number) = nullptr;                 // 15
    void (*crashHook)(quint32 exceptionCode) = nullptr;            // 16
    QString (*crashLogDirectory)() = nullptr;                      // 17
    QString (*crashLogFileName)() = nullptr;                       // 18
    quintptr reserved = 0;                                         // 19
    quintptr maxLineLength = 0;                                    // 20
};
static_assert(sizeof(LibraryHooks) == 21 * sizeof(void*), "the hook table is 21 machine words");

// Handed over once the main window exists: parent of message boxes and the language
// (0 Russian, otherwise English).
struct MainContext
{
    QWidget* window = nullptr;
    qint32 language = 0;
};

// Start-up results (never composed into an error code).
enum StartupResult : int {
    StartupOk = 0,
    StartupObjectFailed = 0xA008,  // nothing shown
    StartupCriticalShown = 0xA00B, // a critical error has been reported
    StartupConnectFailed = 0xA00C, // program start-up only
};

int vlkInit(const LibraryHooks& hooks);
int vlkSetMainWindow(const MainContext& context);
void vlkShutdown();

// Library-internal, exposed for the library's other parts and for tests.
int installTranslators(int language);

const LibraryHooks& libraryHooks();
QWidget* libraryMainWindow();
bool libraryReady();
int libraryLanguage();
QThread* libraryGuiThread();
MessagerDaemon* libraryMessager();
QHash<QString, int>* sourceFileTable();

} // namespace velkit
