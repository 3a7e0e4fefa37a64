// Crash handling: an unhandled fault is written to a crash log and shown as a fatal error,
// then the process ends. Windows uses an unhandled-exception filter; POSIX systems use
// signal handlers on an alternate stack, whose reports read the same as the Windows ones.

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_io.h>
#include <Velkit/vlk_strings.h>
#include <Velkit/vlk_winfault.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <direct.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>
extern char** environ;
#endif

namespace velkit {

// ---------------------------------------------------------------------------------------
// Text pieces shared by both platforms; all async-signal-safe (no allocation, no locale).

namespace {

struct Out
{
    char* buf;
    int size;
    int len = 0;
    void put(char c)
    {
        if (len + 1 < size)
            buf[len++] = c;
        buf[len < size ? len : size - 1] = '\0';
    }
    void put(const char* s)
    {
        while (s && *s)
            put(*s++);
    }
    void hex(quint64 v)
    {
        char tmp[17];
        int n = 0;
        do {
            tmp[n++] = "0123456789abcdef"[v & 0xF];
            v >>= 4;
        } while (v);
        while (n)
            put(tmp[--n]);
    }
    void dec(quint64 v)
    {
        char tmp[21];
        int n = 0;
        do {
            tmp[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        while (n)
            put(tmp[--n]);
    }
    void dec2(int v)
    {
        put(char('0' + (v / 10) % 10));
        put(char('0' + v % 10));
    }
};

} // namespace

const char* exceptionName(quint32 code)
{
    switch (code) {
    case exc::AccessViolation: return "EXCEPTION_ACCESS_VIOLATION";
    case exc::ArrayBoundsExceeded: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
    case exc::Breakpoint: return "EXCEPTION_BREAKPOINT";
    case exc::DatatypeMisalignment: return "EXCEPTION_DATATYPE_MISALIGNMENT";
    case exc::FltDenormalOperand: return "EXCEPTION_FLT_DENORMAL_OPERAND";
    case exc::FltDivideByZero: return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
    case exc::FltInexactResult: return "EXCEPTION_FLT_INEXACT_RESULT";
    case exc::FltInvalidOperation: return "EXCEPTION_FLT_INVALID_OPERATION";
    case exc::FltOverflow: return "EXCEPTION_FLT_OVERFLOW";
    case exc::FltStackCheck: return "EXCEPTION_FLT_STACK_CHECK";
    case exc::FltUnderflow: return "EXCEPTION_FLT_UNDERFLOW";
    case exc::IllegalInstruction: return "EXCEPTION_ILLEGAL_INSTRUCTION";
    case exc::InPageError: return "EXCEPTION_IN_PAGE_ERROR";
    case exc::IntDivideByZero: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
    case exc::IntOverflow: return "EXCEPTION_INT_OVERFLOW";
    case exc::InvalidDisposition: return "EXCEPTION_INVALID_DISPOSITION";
    case exc::NoncontinuableException: return "EXCEPTION_NONCONTINUABLE_EXCEPTION";
    case exc::PrivInstruction: return "EXCEPTION_PRIV_INSTRUCTION";
    case exc::SingleStep: return "EXCEPTION_SINGLE_STEP";
    case exc::StackOverflow: return "EXCEPTION_STACK_OVERFLOW";
    default: return nullptr;
    }
}

int formatCrashReport(char* buf, int size, quint32 flags, quint64 address, int parameterCount, quint32 code)
{
    if (!buf || size <= 0)
        return 0;
    Out o{buf, size};
    o.put("exeption: ");
    o.put(flags == 1 ? "noncontinuable" : flags == 0 ? "continuable" : "unknow");
    o.put(", at address:0x");
    o.hex(address);
    o.put("\nnumber of parameters: ");
    o.dec(quint64(parameterCount < 0 ? 0 : parameterCount));
    o.put("\ncode: ");
    if (const char* name = exceptionName(code))
        o.put(name);
    else
        o.dec(code);
    o.put("(0x");
    o.hex(code);
    o.put(")\n");
    return o.len;
}

int formatCrashFileName(char* buf, int size, qint64 localSeconds)
{
    if (!buf || size <= 0)
        return 0;
    // Civil date from days since 1970-01-01 (proleptic Gregorian), without any library call.
    qint64 days = localSeconds / 86400;
    qint64 secs = localSeconds % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);

    Out o{buf, size};
    o.put("crash_");
    o.dec2(day);
    o.put('.');
    o.dec2(month);
    o.put('.');
    o.dec(quint64(year < 0 ? 0 : year));
    o.put('_');
    o.dec2(int(secs / 3600));
    o.put('_');
    o.dec2(int(secs / 60 % 60));
    o.put('_');
    o.dec2(int(secs % 60));
    o.put(".log");
    return o.len;
}

QString crashLogDirectory()
{
    const LibraryHooks& hooks = libraryHooks();
    if (hooks.crashLogDirectory)
        return hooks.crashLogDirectory();
    const QString sep = QDir::separator();
    return QDir::toNativeSeparators(QDir::tempPath()) + sep + QCoreApplication::applicationName() + sep;
}

// ---------------------------------------------------------------------------------------
// Directory and log helpers with Qt texts; on Windows the crash filter uses these.

bool makeDirectory(const QString& path)
{
    const QByteArray p = path.toUtf8();
#if defined(_WIN32)
    if (_mkdir(p.constData()) == 0)
        return true;
#else
    if (::mkdir(p.constData(), 0777) == 0)
        return true;
#endif
    if (errno != EEXIST) {
        reportCritical(VLK_ERROR_CODE(0xA407));
        return false;
    }
    QByteArray trimmed = p;
    if (trimmed.size() > 1 && (trimmed.endsWith('/') || trimmed.endsWith('\\')))
        trimmed.chop(1);
#if defined(_WIN32)
    struct _stat st;
    if (_stat(trimmed.constData(), &st) != 0) {
#else
    struct stat st;
    if (::stat(trimmed.constData(), &st) != 0) {
#endif
        reportCritical(VLK_ERROR_CODE(0xA407));
        return false;
    }
    if (!(st.st_mode & S_IFDIR)) {
        errno = EEXIST;
        return false;
    }
    return true;
}

bool appendToLog(const QString& text, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        reportCritical(VLK_ERROR_CODE(0xA408));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    bool ok = true;
    if (file.write(bytes) < bytes.size()) {
        reportCritical(VLK_ERROR_CODE(0xA409));
        ok = false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError && ok) {
        reportCritical(VLK_ERROR_CODE(0xA40A));
        ok = false;
    }
    return ok;
}

// ---------------------------------------------------------------------------------------
// What the crash path shows and where it writes, prepared ahead of any crash.

namespace {

constexpr int TextSize = 2048;
constexpr int PathSize = 4096;

char g_fatalTemplate[TextSize]; // UTF-8, with %1 for the code
char g_fatalCaption[512];
char g_crashDir[PathSize];
char g_crashName[512];            // hook 18; empty: crash_<date>.log
char g_dialogTool[PathSize];      // zenity, kdialog or xmessage, when a display is at hand
int g_dialogKind = 0;             // 1 zenity, 2 kdialog, 3 xmessage
volatile int g_winfaultIndex = 0; // source-file index of this file
volatile long g_tzOffset = 0;     // seconds east of UTC at start-up

void copyUtf8(char* dst, int size, const QString& s)
{
    const QByteArray b = s.toUtf8();
    const int n = qMin(int(b.size()), size - 1);
    std::memcpy(dst, b.constData(), size_t(n));
    dst[n] = '\0';
}

// Fills the fatal template with the code; async-signal-safe.
int composeFatalText(char* buf, int size, ErrorCode code)
{
    Out o{buf, size};
    const char* t = g_fatalTemplate[0] ? g_fatalTemplate : "Fatal error: 0x%1";
    for (const char* p = t; *p; ++p) {
        if (p[0] == '%' && p[1] == '1') {
            char hex[20];
            Out h{hex, int(sizeof hex)};
            h.hex(code);
            if (h.len == 1)
                o.put('0');
            o.put(hex);
            ++p;
        } else {
            o.put(*p);
        }
    }
    return o.len;
}

} // namespace

void refreshCrashTexts()
{
    copyUtf8(g_fatalTemplate, TextSize, VlkStringsKit::instance().fatalError);
    const LibraryHooks& hooks = libraryHooks();
    copyUtf8(g_fatalCaption, int(sizeof g_fatalCaption), hooks.title ? hooks.title() : QString());
    copyUtf8(g_crashDir, PathSize, crashLogDirectory());
    copyUtf8(g_crashName, int(sizeof g_crashName),
             hooks.crashLogFileName ? hooks.crashLogFileName() : QString());
    g_winfaultIndex = sourceFileIndex(__FILE__);
    g_tzOffset = QDateTime::currentDateTime().offsetFromUtc();

    g_dialogTool[0] = '\0';
    g_dialogKind = 0;
#if !defined(_WIN32)
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        static const char* const tools[] = {"zenity", "kdialog", "xmessage"};
        for (int i = 0; i < 3; ++i) {
            const QString found = QStandardPaths::findExecutable(QString::fromLatin1(tools[i]));
            if (!found.isEmpty()) {
                copyUtf8(g_dialogTool, PathSize, found);
                g_dialogKind = i + 1;
                break;
            }
        }
    }
#endif
}

// ---------------------------------------------------------------------------------------
#if defined(_WIN32)

void showFatalBox(ErrorCode code)
{
    QString text = VlkStringsKit::instance().fatalError;
    if (text.isEmpty())
        text = QStringLiteral("Fatal error: 0x%1");
    text.replace(QLatin1String("%1"), errorCodeToHex(code));
    const LibraryHooks& hooks = libraryHooks();
    const QString caption = hooks.title ? hooks.title() : QString();

    wchar_t* wText = new (std::nothrow) wchar_t[size_t(text.size()) + 1];
    wchar_t* wCaption = new (std::nothrow) wchar_t[size_t(caption.size()) + 1];
    if (wText && wCaption) {
        wText[text.toWCharArray(wText)] = 0;
        wCaption[caption.toWCharArray(wCaption)] = 0;
        HWND owner = nullptr;
        if (QWidget* active = QApplication::activeWindow())
            owner = reinterpret_cast<HWND>(active->winId());
        MessageBoxW(owner, wText, wCaption, MB_ICONERROR);
    }
    delete[] wText;
    delete[] wCaption;
}

static void crashRoutine(EXCEPTION_POINTERS* pointers)
{
    if (!pointers || !pointers->ExceptionRecord)
        return;
    const EXCEPTION_RECORD* rec = pointers->ExceptionRecord;
    char report[512];
    formatCrashReport(report, int(sizeof report), quint32(rec->ExceptionFlags),
                      quint64(qint64(reinterpret_cast<intptr_t>(rec->ExceptionAddress))),
                      int(rec->NumberParameters), quint32(rec->ExceptionCode));
    const QString dir = crashLogDirectory();
    if (!dir.isEmpty() && makeDirectory(dir)) {
        const LibraryHooks& hooks = libraryHooks();
        QString name = hooks.crashLogFileName ? hooks.crashLogFileName() : QString();
        if (name.isEmpty())
            name = QStringLiteral("crash_") +
                   QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy_hh_mm_ss")) +
                   QStringLiteral(".log");
        appendToLog(QString::fromLatin1(report), dir + name);
    }
    reportFatal(composeCrashCode(quint32(rec->ExceptionCode), __LINE__, errno, g_winfaultIndex));
    if (libraryHooks().crashHook)
        libraryHooks().crashHook(quint32(rec->ExceptionCode));
}

static LONG WINAPI crashFilter(EXCEPTION_POINTERS* pointers)
{
    crashRoutine(pointers);
    return EXCEPTION_EXECUTE_HANDLER;
}

WinFaultDaemon::WinFaultDaemon(QObject* parent)
    : FaultDaemon(parent)
{}

bool WinFaultDaemon::install()
{
    SetUnhandledExceptionFilter(crashFilter);
    refreshCrashTexts();
    return true;
}

// ---------------------------------------------------------------------------------------
#else

namespace {

void writeAll(int fd, const char* s, int len)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, s, size_t(len));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        s += n;
        len -= int(n);
    }
}

void writeErr(const char* s)
{
    writeAll(2, s, int(std::strlen(s)));
}

// The crash path cannot show a critical box; it names the failed check on standard error.
void noteCondition(const char* what, quint16 condition)
{
    char buf[128];
    Out o{buf, int(sizeof buf)};
    o.put("crash log: ");
    o.put(what);
    o.put(" (condition 0x");
    o.hex(condition);
    o.put(")\n");
    writeAll(2, buf, o.len);
}

bool rawMakeDirectory(const char* path)
{
    if (::mkdir(path, 0777) == 0)
        return true;
    if (errno != EEXIST) {
        noteCondition("directory not created", 0xA407);
        return false;
    }
    char trimmed[PathSize];
    const size_t n = std::strlen(path);
    std::memcpy(trimmed, path, n + 1);
    if (n > 1 && trimmed[n - 1] == '/')
        trimmed[n - 1] = '\0';
    struct stat st;
    if (::stat(trimmed, &st) != 0) {
        noteCondition("directory status unreadable", 0xA407);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        errno = EEXIST;
        return false;
    }
    return true;
}

void rawAppend(const char* path, const char* text, int len)
{
    int fd;
    do {
        fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        noteCondition("log not opened", 0xA408);
        return;
    }
    int done = 0;
    while (done < len) {
        const ssize_t n = ::write(fd, text + done, size_t(len - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += int(n);
    }
    if (done < len)
        noteCondition("log written short", 0xA409);
    if (::close(fd) != 0)
        noteCondition("log not closed", 0xA40A);
}

// Windows exception code that a signal stands for.
quint32 exceptionCodeOf(int sig, const siginfo_t* info, const void* context)
{
    const int code = info ? info->si_code : 0;
    switch (sig) {
    case SIGSEGV: {
        // A fault just below the interrupted stack pointer is a stack overflow.
        quint64 sp = 0;
#if defined(__x86_64__)
        if (context)
            sp = quint64(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
        if (context)
            sp = quint64(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
        if (context)
            sp = quint64(static_cast<const ucontext_t*>(context)->uc_mcontext.sp);
#endif
        const quint64 addr = info ? quint64(reinterpret_cast<quintptr>(info->si_addr)) : 0;
        if (sp && addr && code > 0 && addr <= sp + 4096 && addr + 65536 >= sp)
            return exc::StackOverflow;
        return exc::AccessViolation;
    }
    case SIGBUS: return code == BUS_ADRALN ? exc::DatatypeMisalignment : exc::InPageError;
    case SIGFPE:
        switch (code) {
        case FPE_INTOVF: return exc::IntOverflow;
        case FPE_FLTDIV: return exc::FltDivideByZero;
        case FPE_FLTOVF: return exc::FltOverflow;
        case FPE_FLTUND: return exc::FltUnderflow;
        case FPE_FLTRES: return exc::FltInexactResult;
        case FPE_FLTINV: return exc::FltInvalidOperation;
        case FPE_FLTSUB: return exc::ArrayBoundsExceeded;
        default: return exc::IntDivideByZero;
        }
    case SIGILL:
        return (code == ILL_PRVOPC || code == ILL_PRVREG) ? exc::PrivInstruction : exc::IllegalInstruction;
    case SIGTRAP: return code == TRAP_TRACE ? exc::SingleStep : exc::Breakpoint;
    default: return 0;
    }
}

quint64 faultAddress(const siginfo_t* info, const void* context)
{
#if defined(__x86_64__)
    if (context)
        return quint64(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    if (context)
        return quint64(qint64(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_EIP]));
#elif defined(__aarch64__)
    if (context)
        return quint64(static_cast<const ucontext_t*>(context)->uc_mcontext.pc);
#endif
    return info ? quint64(reinterpret_cast<quintptr>(info->si_addr)) : 0;
}

const int g_signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
volatile sig_atomic_t g_inHandler = 0;
char* g_altStack = nullptr;
constexpr size_t AltStackSize = 256 * 1024;

void endBySignal(int sig)
{
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // Blocked while the handler runs: delivered with the default action as it returns.
    raise(sig);
}

void crashHandler(int sig, siginfo_t* info, void* context)
{
    if (g_inHandler) {
        endBySignal(sig);
        return;
    }
    g_inHandler = 1;

    const quint32 code = exceptionCodeOf(sig, info, context);
    const int params = code == exc::AccessViolation ? 2 : code == exc::InPageError ? 3 : 0;
    char report[512];
    const int reportLen =
        formatCrashReport(report, int(sizeof report), 0, faultAddress(info, context), params, code);
    if (g_crashDir[0] && rawMakeDirectory(g_crashDir)) {
        char path[PathSize + 600];
        Out o{path, int(sizeof path)};
        o.put(g_crashDir);
        if (g_crashName[0]) {
            o.put(g_crashName);
        } else {
            struct timespec ts;
            clock_gettime(CLOCK_REALTIME, &ts);
            char name[64];
            formatCrashFileName(name, int(sizeof name), qint64(ts.tv_sec) + g_tzOffset);
            o.put(name);
        }
        rawAppend(path, report, reportLen);
    }
    reportFatal(composeCrashCode(code, __LINE__, errno, g_winfaultIndex));
    if (libraryHooks().crashHook)
        libraryHooks().crashHook(code);
    endBySignal(sig);
}

} // namespace

void showFatalBox(ErrorCode code)
{
    char text[TextSize + 32];
    const int len = composeFatalText(text, int(sizeof text), code);
    writeErr("\n");
    if (g_fatalCaption[0]) {
        writeErr(g_fatalCaption);
        writeErr(": ");
    }
    writeAll(2, text, len);
    writeErr("\n");

    if (g_dialogKind == 0 || !g_dialogTool[0])
        return;
    char titleArg[600];
    char textArg[TextSize + 64];
    const char* argv[10];
    int argc = 0;
    argv[argc++] = g_dialogTool;
    if (g_dialogKind == 1) { // zenity
        Out t{titleArg, int(sizeof titleArg)};
        t.put("--title=");
        t.put(g_fatalCaption);
        Out x{textArg, int(sizeof textArg)};
        x.put("--text=");
        x.put(text);
        argv[argc++] = "--error";
        argv[argc++] = "--no-markup";
        argv[argc++] = titleArg;
        argv[argc++] = textArg;
    } else if (g_dialogKind == 2) { // kdialog
        argv[argc++] = "--title";
        argv[argc++] = g_fatalCaption;
        argv[argc++] = "--error";
        argv[argc++] = text;
    } else { // xmessage
        argv[argc++] = "-center";
        argv[argc++] = "-title";
        argv[argc++] = g_fatalCaption;
        argv[argc++] = "-buttons";
        argv[argc++] = "OK";
        argv[argc++] = text;
    }
    argv[argc] = nullptr;
    const pid_t pid = fork();
    if (pid == 0) {
        execve(g_dialogTool, const_cast<char* const*>(argv), environ);
        _exit(127);
    }
    if (pid > 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

PosixFaultDaemon::PosixFaultDaemon(QObject* parent)
    : FaultDaemon(parent)
{}

bool PosixFaultDaemon::install()
{
    // The alternate stack lets the handler run when the thread's own stack is exhausted.
    if (!g_altStack) {
        g_altStack = new (std::nothrow) char[AltStackSize];
        if (!g_altStack)
            return false;
    }
    stack_t ss;
    std::memset(&ss, 0, sizeof ss);
    ss.ss_sp = g_altStack;
    ss.ss_size = AltStackSize;
    if (sigaltstack(&ss, nullptr) != 0)
        return false;

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = crashHandler;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int sig : g_signals) {
        if (sigaction(sig, &sa, nullptr) != 0)
            return false;
    }
    refreshCrashTexts();
    return true;
}

#endif

} // namespace velkit
