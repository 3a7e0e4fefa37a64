#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_files_list.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>
#include <Velkit/vlk_strings.h>
#include <Velkit/vlk_winfault.h>

#include <QCoreApplication>
#include <QLocale>
#include <QMetaType>
#include <QPointer>
#include <QThread>
#include <QTranslator>
#include <QWidget>

#include <cstdio>

// Q_INIT_RESOURCE may not be used inside a namespace.
static void initLibraryResources()
{
    Q_INIT_RESOURCE(vlk_resources);
}

namespace velkit {

namespace {

struct LibraryState
{
    LibraryHooks hooks;
    QPointer<QWidget> mainWindow; // guarded: the main window deletes itself on close
    int language = 1;
    QThread* guiThread = nullptr;
    bool ready = false;
    QLocale* locale = nullptr;
    QTranslator* translator = nullptr;
    FaultDaemon* faultDaemon = nullptr;
    MessagerDaemon* messager = nullptr;
    QHash<QString, int>* sourceFiles = nullptr;
};

LibraryState& state()
{
    static LibraryState s;
    return s;
}

// The start-up file's own copy: every check here names an object that could not be made.
ErrorCode startupErrorCode(int line)
{
    return composeErrorCode(0xA404, __FILE__, line);
}

} // namespace

int vlkInit(const LibraryHooks& hooks)
{
    LibraryState& s = state();
    s.hooks = hooks;

    // File names, translations and 8-bit strings are UTF-8 in Qt 6; nothing to set.

    qRegisterMetaType<quint16>("uint16");
    qRegisterMetaType<quint32>("uint32");
    qRegisterMetaType<quint64>("quint64");
    qRegisterMetaType<QMessageBox::StandardButtons>("QMessageBox::StandardButtons");
    qRegisterMetaType<QMessageBox::StandardButton>("QMessageBox::StandardButton");

    if (!s.faultDaemon) {
        s.faultDaemon = new PlatformFaultDaemon(nullptr);
        if (!s.faultDaemon->install()) {
            delete s.faultDaemon;
            s.faultDaemon = nullptr;
            return StartupObjectFailed;
        }
    }

    if (!s.sourceFiles)
        s.sourceFiles = new QHash<QString, int>;
    s.sourceFiles->insert(QString(), 0);
    registerSourceFiles(vlkFilesList, vlkFilesListCount);

    if (!s.messager) {
        s.messager = new MessagerDaemon(nullptr);
        if (!s.messager->init()) {
            delete s.messager;
            s.messager = nullptr;
            return StartupObjectFailed;
        }
    }

    initLibraryResources();
    const int result = installTranslators(s.language);
    if (result != 0)
        return result;

    s.guiThread = QThread::currentThread();
    if (!s.guiThread) {
        reportCritical(startupErrorCode(__LINE__));
        return StartupCriticalShown;
    }
    s.ready = true;
    return StartupOk;
}

int installTranslators(int language)
{
    LibraryState& s = state();
    delete s.locale;
    s.locale = new QLocale(language != 0 ? QLocale(QLocale::English, QLocale::UnitedStates)
                                         : QLocale(QLocale::Russian, QLocale::Russia));

    delete s.translator; // a deleted translator removes itself from the application
    s.translator = new QTranslator(nullptr);
    if (!s.translator->load(language != 0 ? QStringLiteral(":/vlk_en.qm") : QStringLiteral(":/qt_ru.qm"))) {
        // A missing catalogue leaves the texts as written; not worth a message.
    }
    QCoreApplication::installTranslator(s.translator);

    VlkStringsKit::instance().fill();
    s.language = language;
    refreshCrashTexts();
    return StartupOk;
}

int vlkSetMainWindow(const MainContext& context)
{
    LibraryState& s = state();
    s.mainWindow = context.window;
    s.language = context.language;
    installTranslators(context.language);
    return StartupOk;
}

void vlkShutdown()
{
    LibraryState& s = state();
    delete s.translator;
    s.translator = nullptr;
    delete s.locale;
    s.locale = nullptr;
    delete s.messager;
    s.messager = nullptr;
    delete s.sourceFiles;
    s.sourceFiles = nullptr;
    delete s.faultDaemon; // the crash handler itself stays installed
    s.faultDaemon = nullptr;
    s.ready = false;
    s.mainWindow = nullptr;
    std::fflush(stdout);
    std::fflush(stderr);
}

const LibraryHooks& libraryHooks()
{
    return state().hooks;
}

QWidget* libraryMainWindow()
{
    return state().mainWindow.data();
}

bool libraryReady()
{
    return state().ready;
}

int libraryLanguage()
{
    return state().language;
}

QThread* libraryGuiThread()
{
    return state().guiThread;
}

MessagerDaemon* libraryMessager()
{
    return state().messager;
}

QHash<QString, int>* sourceFileTable()
{
    return state().sourceFiles;
}

} // namespace velkit
