#include "fmain.h"
#include "init.h"
#include "language/language.h"
#include "series/series_cli.h"
#include "settings.h"

#include <QApplication>
#include <QStringList>
#include <QTranslator>

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
        // In the language the program would start in; a core application only, for the catalogue.
        QCoreApplication core(argc, argv);
        QTranslator catalogue;
        language::apply(language::startLanguage(language::option(arguments),
                                                readLanguageSetting(QCoreApplication::applicationDirPath() +
                                                                    QStringLiteral("/adc.ini"))),
                        catalogue);
        QCoreApplication::installTranslator(&catalogue);
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
