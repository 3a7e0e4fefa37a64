#pragma once

#include "vlk_common_def.h"
#include "vlk_types.h"

#include <QObject>

#include <atomic>

namespace velkit {

// A failed check after which the program goes on: shown in a message box on the GUI thread,
// whatever thread reports it.
void reportCritical(ErrorCode code);

// A crash: shown at once in a native box (on POSIX systems: standard error and, when a display
// and a dialog tool are at hand, a separate dialog process), without the Qt event loop.
// Async-signal-safe on POSIX systems once the crash handler is installed.
void reportFatal(ErrorCode code);

// Number of fatal boxes open; counts towards the limit of open message boxes.
extern std::atomic<int> g_openFatalBoxes;

// The library's fault object: installs the platform's crash handler.
class FaultDaemon : public QObject
{
    Q_OBJECT
public:
    explicit FaultDaemon(QObject* parent = nullptr);
    // Left to the platform subclass; the base reports that nothing was installed.
    virtual bool install();
};

} // namespace velkit
