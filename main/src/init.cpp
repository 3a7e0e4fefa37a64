#include "init.h"

#include "build/files_list.h"
#include "errors.h"
#include "fmain.h"
#include "language/language.h"
#include "series/series_cli.h"
#include "settings.h"
#include "umisc.h"
#include "ustrings.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

QApplication* g_app = nullptr;
QString g_appDir;
QPointer<MainWnd> g_mainWnd;
QTranslator* g_translator = nullptr;
qint32 g_language = 0;
velkit::LibraryHooks g_vlkParams;
velkit::MainContext g_mainContext;
StartupFault g_startupFault = StartupFault::None;

void initProgramResources()
{
    Q_INIT_RESOURCE(tavrel);
}

bool connectQuitSignal(QObject* sender, const QMetaMethod& signal, MainWnd* mainWnd)
{
    if (!sender || !signal.isValid() || !mainWnd)
        return true;
    const QMetaObject* mo = mainWnd->metaObject();
    const QMetaMethod slot = mo->method(mo->indexOfSlot("slot_BeforeQuit()"));
    // Drop an earlier connection first, so that connecting twice leaves one.
    QObject::disconnect(sender, signal, mainWnd, slot);
    return !QObject::connect(sender, signal, mainWnd, slot);
}

QStringList commandLineFiles(const QStringList& arguments)
{
    return series::parseCommandLine(arguments).files;
}

void openCommandLineFiles(const QStringList& arguments)
{
    const QStringList paths = commandLineFiles(arguments);
    if (paths.isEmpty() || !g_mainWnd)
        return;
    // From the event loop: the main window is shown at its full size by then, and a warning
    // about a bad file has a window to stand on.
    QTimer::singleShot(0, g_mainWnd, [paths] {
        if (g_mainWnd)
            g_mainWnd->openPaths(paths);
    });
}

void startCommandLineSeries(const QStringList& arguments)
{
    const series::CommandLine line = series::parseCommandLine(arguments);
    if ((!line.series && line.error == series::CommandLine::NoError) || !g_mainWnd)
        return;
    // After the files: the series window opens last, in front of them.
    QTimer::singleShot(0, g_mainWnd, [line] {
        if (g_mainWnd)
            g_mainWnd->startCommandLineSeries(line);
    });
}

int initApplication(const QStringList& arguments)
{
    // Files named on the command line open later (openCommandLineFiles); --lang sets the
    // language of this run over the one chosen in the settings.
    const language::Option languageOption = language::option(arguments);
    g_language = language::startLanguage(languageOption,
                                         readLanguageSetting(QDir::toNativeSeparators(g_appDir) +
                                                             QDir::separator() + QStringLiteral("adc.ini")));

    g_vlkParams = umisc::programHooks();
    int result = velkit::vlkInit(g_vlkParams);
    if (result != 0)
        return result;
    std::fputs("\n", stdout);

    velkit::registerSourceFiles(tavrelFilesList, tavrelFilesListCount);
    initProgramResources();

    QCoreApplication::setOrganizationName(QStringLiteral("Zoriv"));
    QCoreApplication::setApplicationName(QStringLiteral("tavrel"));

    g_translator = g_startupFault == StartupFault::Translator ? nullptr : new QTranslator(nullptr);
    if (!g_translator) {
        REPORT_CRITICAL(0xA404);
        return velkit::StartupCriticalShown;
    }
    if (!language::apply(g_language, *g_translator)) {
        // No English catalogue shipped: the texts stay as written.
    }
    QCoreApplication::installTranslator(g_translator);
    StringsKit::instance().fill();

    g_mainWnd =
        new MainWnd(nullptr, Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    if (g_startupFault == StartupFault::MainWindow || !g_mainWnd->setupWindow()) {
        delete g_mainWnd.data();
        g_mainWnd = nullptr;
        return velkit::StartupObjectFailed;
    }
    g_mainWnd->showMaximized();

    g_mainContext.window = g_mainWnd;
    g_mainContext.language = g_language;
    result = velkit::vlkSetMainWindow(g_mainContext);
    if (result != 0)
        return result;
    if (languageOption.given && !languageOption.valid) {
        // Told once the window stands, in the language the run falls back to.
        QTimer::singleShot(0, g_mainWnd, [value = languageOption.value] {
            umisc::showWarning(StringsKit::WarnBadLanguage, value, QString(), true, false);
        });
    }

    QCoreApplication::addLibraryPath(g_appDir + QDir::separator() + QStringLiteral("plugins"));
    if (!g_app) {
        REPORT_CRITICAL(0xA404);
        return velkit::StartupCriticalShown;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tavrel.ico")));

    MainWnd* quitTarget = g_startupFault == StartupFault::QuitSignal ? nullptr : g_mainWnd.data();
    if (connectQuitSignal(g_app, QMetaMethod::fromSignal(&QCoreApplication::aboutToQuit), quitTarget))
        return velkit::StartupConnectFailed;
    if (connectQuitSignal(g_app, QMetaMethod::fromSignal(&QGuiApplication::lastWindowClosed), quitTarget))
        return velkit::StartupConnectFailed;
    return velkit::StartupOk;
}
