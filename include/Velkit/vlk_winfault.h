#pragma once

#include "vlk_fault.h"

#include <QString>

namespace velkit {

// Windows exception codes that crash reports name, also used for the POSIX signals that
// stand for them so that reports read the same on every platform.
namespace exc {
constexpr quint32 AccessViolation = 0xC0000005u;
constexpr quint32 ArrayBoundsExceeded = 0xC000008Cu;
constexpr quint32 Breakpoint = 0x80000003u;
constexpr quint32 DatatypeMisalignment = 0x80000002u;
constexpr quint32 FltDenormalOperand = 0xC000008Du;
constexpr quint32 FltDivideByZero = 0xC000008Eu;
constexpr quint32 FltInexactResult = 0xC000008Fu;
constexpr quint32 FltInvalidOperation = 0xC0000090u;
constexpr quint32 FltOverflow = 0xC0000091u;
constexpr quint32 FltStackCheck = 0xC0000092u;
constexpr quint32 FltUnderflow = 0xC0000093u;
constexpr quint32 IllegalInstruction = 0xC000001Du;
constexpr quint32 InPageError = 0xC0000006u;
constexpr quint32 IntDivideByZero = 0xC0000094u;
constexpr quint32 IntOverflow = 0xC0000095u;
constexpr quint32 InvalidDisposition = 0xC0000026u;
constexpr quint32 NoncontinuableException = 0xC0000025u;
constexpr quint32 PrivInstruction = 0xC0000096u;
constexpr quint32 SingleStep = 0x80000004u;
constexpr quint32 StackOverflow = 0xC00000FDu;
} // namespace exc

// Name of an exception code, or null when it has none.
const char* exceptionName(quint32 code);

// The three-line crash report. Writes at most size - 1 bytes and a terminating zero into buf
// and returns the length. flags: 0 continuable, 1 noncontinuable, else unknown.
// Async-signal-safe.
int formatCrashReport(char* buf, int size, quint32 flags, quint64 address, int parameterCount, quint32 code);

// Crash-log file name "crash_dd.MM.yyyy_hh_mm_ss.log" for a local time given as seconds since
// 1970 (already shifted by the time-zone offset). Async-signal-safe.
int formatCrashFileName(char* buf, int size, qint64 localSeconds);

// The platform's fault object: a Windows unhandled-exception filter, or POSIX signal
// handlers on an alternate stack.
#if defined(_WIN32)
class WinFaultDaemon : public FaultDaemon
{
    Q_OBJECT
public:
    explicit WinFaultDaemon(QObject* parent = nullptr);
    bool install() override;
};
using PlatformFaultDaemon = WinFaultDaemon;
#else
class PosixFaultDaemon : public FaultDaemon
{
    Q_OBJECT
public:
    explicit PosixFaultDaemon(QObject* parent = nullptr);
    bool install() override;
};
using PlatformFaultDaemon = PosixFaultDaemon;
#endif

// Recomputes what the crash handler shows and where it writes (fatal text, caption,
// directory, file name, dialog tool), so that the handler itself allocates nothing.
void refreshCrashTexts();

// Directory of crash logs: hook 17, else the temporary directory + the application name.
QString crashLogDirectory();

} // namespace velkit
