#pragma once

#include <Velkit/vlk_init.h>

#include <QMetaMethod>
#include <QPointer>
#include <QString>
#include <QStringList>

class QApplication;
class QTranslator;
class MainWnd;

// Process-wide state of the shell; touched on the GUI thread only.
extern QApplication* g_app;
extern QString g_appDir;
extern QPointer<MainWnd> g_mainWnd; // guarded: the window deletes itself when closed
extern QTranslator* g_translator;
extern qint32 g_language; // 0: the program's Russian texts, 1: English (--lang, setting UI/Language)
extern velkit::LibraryHooks g_vlkParams;
extern velkit::MainContext g_mainContext;

// The whole start-up sequence; 0 or a start-up result (0xA008, 0xA00B, 0xA00C).
int initApplication(const QStringList& arguments);

// The files named on the command line: every argument after the program's name that is neither
// an option (options begin with '-'; those the program does not know are ignored) nor the value
// of one (--series DIR, --count N, --pause S, --prefix P).
QStringList commandLineFiles(const QStringList& arguments);
// Opens the files named on the command line in the main window, one waveform window each, once
// the event loop runs.
void openCommandLineFiles(const QStringList& arguments);
// Starts the series asked for on the command line (--series) once the event loop runs; a bad
// value shows its warning instead.
void startCommandLineSeries(const QStringList& arguments);

// Connects a shutdown signal of sender to the main window's slot_BeforeQuit() exactly once.
// Returns true when it failed (a null argument, or the connection was refused).
bool connectQuitSignal(QObject* sender, const QMetaMethod& signal, MainWnd* mainWnd);

// Registers the program's embedded resources (icons, pictures).
void initProgramResources();

// Lets tests make one start-up step fail as if its object could not be made.
enum class StartupFault { None, Translator, MainWindow, QuitSignal };
extern StartupFault g_startupFault;
