#include "fmain.h"
#include "init.h"
#include "series/series_cli.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <new>

int main(int argc, char* argv[])
{
    if (argc == 0 || !argv)
        return 1;
    // Answered before anything else: no window, no display needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (series::parseCommandLine(arguments).help) {
        std::fputs(series::helpText().toUtf8().constData(), stdout);
        return 0;
    }
    g_app = new (std::nothrow) QApplication(argc, argv);
    if (!g_app)
        return velkit::StartupCriticalShown;
    std::fputs("created application\n", stdout);
    std::fflush(stdout);
    g_appDir = QCoreApplication::applicationDirPath();

    const int result = initApplication(g_app->arguments());
    if (result != 0)
        return result;
    if (g_mainWnd)
        g_mainWnd->update();
    openCommandLineFiles(g_app->arguments());
    startCommandLineSeries(g_app->arguments());
    return g_app->exec(); // the application object lives until the process ends
}
