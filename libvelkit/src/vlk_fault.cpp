#include <Velkit/vlk_fault.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QCoreApplication>

namespace velkit {

// Implemented per platform beside the crash handler.
void showFatalBox(ErrorCode code);

std::atomic<int> g_openFatalBoxes{0};

void reportCritical(ErrorCode code)
{
    const LibraryHooks& hooks = libraryHooks();
    if (hooks.criticalHook)
        hooks.criticalHook();
    MessagerDaemon* messager = libraryMessager();
    if (!messager)
        return;
    emit messager->sig_ShowCritical(code);
    // Before the library is ready nobody runs an event loop yet: deliver the queued call now.
    if (!libraryReady())
        QCoreApplication::processEvents();
}

void reportFatal(ErrorCode code)
{
    const LibraryHooks& hooks = libraryHooks();
    HookToken token;
    if (hooks.beforeFatalBox)
        token = hooks.beforeFatalBox();
    ++g_openFatalBoxes;
    showFatalBox(code);
    --g_openFatalBoxes;
    if (hooks.afterFatalBox)
        hooks.afterFatalBox(token);
}

FaultDaemon::FaultDaemon(QObject* parent)
    : QObject(parent)
{}

bool FaultDaemon::install()
{
    return false;
}

} // namespace velkit
