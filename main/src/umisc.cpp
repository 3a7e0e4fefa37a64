#include "umisc.h"

#include "ustrings.h"

#include <Velkit/vlk_messager.h>

#include <QDir>

namespace umisc {

void criticalHook() {}

QString messageCaption()
{
    return QStringLiteral("TAVREL");
}

QString infoText(int number)
{
    return StringsKit::instance().infoText(number);
}

QString warnText(int number)
{
    return StringsKit::instance().warnText(number);
}

QString questionText(int number)
{
    return StringsKit::instance().questionText(number);
}

QString crashLogDirectory()
{
#if defined(_WIN32)
    return QStringLiteral("c:\\temp\\tavrel\\");
#else
    // A fixed Windows drive means nothing here: the system's temporary directory instead.
    return QDir::tempPath() + QStringLiteral("/tavrel/");
#endif
}

velkit::LibraryHooks programHooks()
{
    velkit::LibraryHooks h;
    h.criticalHook = criticalHook;
    h.title = messageCaption;
    h.infoText = infoText;
    h.warnText = warnText;
    h.questionText = questionText;
    h.crashLogDirectory = crashLogDirectory;
    h.maxLineLength = MaxMessageLine;
    return h;
}

void showWarning(int number, const QString& p1, const QString& p2, bool allowEmptyP1, bool allowEmptyP2)
{
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showWarn(number, p1, p2, allowEmptyP1, allowEmptyP2);
}

void showInformation(int number, const QString& p1, const QString& p2, bool allowEmptyP1, bool allowEmptyP2)
{
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showInfo(number, p1, p2, allowEmptyP1, allowEmptyP2);
}

QMessageBox::StandardButton askQuestion(int number, const QString& p1, const QString& p2, bool allowEmptyP1,
                                        bool allowEmptyP2, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showQuestion(number, p1, p2, &answer, allowEmptyP1, allowEmptyP2, buttons, defaultButton);
    return answer;
}

} // namespace umisc
