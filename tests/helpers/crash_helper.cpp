// Crashes on purpose after initialising the support library, so that a test can check the
// crash log, the fatal report and the exit status.
//   crash_helper <mode> [log directory] [fixed log name]
// mode: null, div0, stack, trap

#include <Velkit/vlk_init.h>

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>

static QString g_dir;
static QString g_name;

// The sanitizers would catch these before the hardware does; the point is the hardware fault.
__attribute__((noinline, no_sanitize("undefined"))) static int divide(int a, int b)
{
    volatile int x = a;
    volatile int y = b;
    return x / y;
}

__attribute__((noinline, no_sanitize("undefined"))) static void writeNull()
{
    volatile int* volatile p = nullptr;
    *p = 1;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) static int recurse(int n)
{
    volatile char frame[2048];
    frame[0] = char(n);
    frame[sizeof frame - 1] = char(n);
    return recurse(n + 1) + frame[0] + frame[sizeof frame - 1];
}
#pragma GCC diagnostic pop

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("crash_helper"));
    velkit::LibraryHooks hooks;
    hooks.title = [] { return QStringLiteral("TAVREL"); };
    g_dir = QString::fromLocal8Bit(argc > 2 ? argv[2] : "");
    g_name = QString::fromLocal8Bit(argc > 3 ? argv[3] : "");
    if (argc > 2)
        hooks.crashLogDirectory = [] { return g_dir; };
    if (argc > 3)
        hooks.crashLogFileName = [] { return g_name; };
    if (velkit::vlkInit(hooks) != 0)
        return 3;

    const char* mode = argv[1];
    if (!std::strcmp(mode, "null"))
        writeNull();
    else if (!std::strcmp(mode, "div0"))
        std::printf("%d\n", divide(argc, 0));
    else if (!std::strcmp(mode, "stack"))
        std::printf("%d\n", recurse(argc));
    else if (!std::strcmp(mode, "trap"))
        std::raise(SIGTRAP);
    return 0;
}
