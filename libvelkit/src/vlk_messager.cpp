#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_fault.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>
#include <Velkit/vlk_strings.h>

#include <QStringList>
#include <QThread>

namespace velkit {

MessagerDaemon::MessagerDaemon(QObject* parent)
    : QObject(parent)
{}

bool MessagerDaemon::init()
{
    quint16 condition = 0;
    if (!connect(this, &MessagerDaemon::sig_ShowCritical, this, &MessagerDaemon::slot_ShowCritical,
                 Qt::QueuedConnection))
        condition = 0xA702;
    else if (!connect(this, &MessagerDaemon::sig_ShowInfo, this, &MessagerDaemon::slot_ShowInfo,
                      Qt::UniqueConnection))
        condition = 0xA402;
    else if (!connect(this, &MessagerDaemon::sig_ShowWarn, this, &MessagerDaemon::slot_ShowWarn,
                      Qt::UniqueConnection))
        condition = 0xA602;
    else if (!connect(this, &MessagerDaemon::sig_ShowQuestion, this, &MessagerDaemon::slot_ShowQuestion,
                      Qt::UniqueConnection))
        condition = 0xA702;
    if (condition == 0)
        return true;
    reportCritical(VLK_ERROR_CODE(condition));
    return false;
}

int MessagerDaemon::openBoxes() const
{
    return m_openInfo + m_openWarn + m_openCritical + m_openQuestion + g_openFatalBoxes.load();
}

bool MessagerDaemon::onGuiThread() const
{
    QThread* gui = libraryGuiThread();
    return gui && QThread::currentThread() == gui;
}

void MessagerDaemon::showInfo(int infoCode, const QString& param1, const QString& param2, bool allowEmptyP1,
                              bool allowEmptyP2)
{
    emit sig_ShowInfo(infoCode, param1, param2, allowEmptyP1, allowEmptyP2);
}

void MessagerDaemon::showWarn(int warnCode, const QString& param1, const QString& param2, bool allowEmptyP1,
                              bool allowEmptyP2)
{
    emit sig_ShowWarn(warnCode, param1, param2, allowEmptyP1, allowEmptyP2);
}

void MessagerDaemon::showQuestion(int questionCode, const QString& param1, const QString& param2,
                                  QMessageBox::StandardButton* selectedBut, bool allowEmptyP1,
                                  bool allowEmptyP2, QMessageBox::StandardButtons buttons,
                                  QMessageBox::StandardButton defaultButton)
{
    if (!selectedBut)
        return;
    *selectedBut = QMessageBox::NoButton;
    emit sig_ShowQuestion(questionCode, param1, param2, selectedBut, allowEmptyP1, allowEmptyP2, buttons,
                          defaultButton);
    if (libraryHooks().questionAsked)
        libraryHooks().questionAsked(selectedBut);
}

QString MessagerDaemon::argLowest(const QString& text, const QString& value)
{
    // Find the lowest placeholder number present, as QString::arg would, but without its
    // warning when there is none.
    int lowest = 100;
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('%') || !text[i + 1].isDigit())
            continue;
        int n = text[i + 1].digitValue();
        if (i + 2 < text.size() && text[i + 2].isDigit())
            n = n * 10 + text[i + 2].digitValue();
        if (n >= 1 && n < lowest)
            lowest = n;
    }
    if (lowest == 100)
        return text;
    QString out;
    out.reserve(text.size() + value.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1].isDigit()) {
            int n = text[i + 1].digitValue();
            int len = 2;
            if (i + 2 < text.size() && text[i + 2].isDigit()) {
                n = n * 10 + text[i + 2].digitValue();
                len = 3;
            }
            if (n == lowest) {
                out += value;
                i += len - 1;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString MessagerDaemon::shortenLines(const QString& text, int maxLineLength)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList kept;
    for (const QString& line : lines) {
        if (line.isEmpty())
            break;
        if (maxLineLength > 0 && line.size() > maxLineLength && line.endsWith(QLatin1Char('"'))) {
            const int open = line.lastIndexOf(QLatin1Char('"'), line.size() - 2);
            if (open >= 0) {
                const QString before = line.left(open);
                const QString name = line.mid(open + 1, line.size() - open - 2);
                const int keep = qMax(0, maxLineLength - int(before.size()) - 4);
                kept << before + QLatin1Char('"') + name.left(keep) + QLatin1String("..\"");
                continue;
            }
        }
        kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

QString MessagerDaemon::composeText(const QString& templ, const QString& param1, const QString& param2,
                                    bool allowEmptyP1, bool allowEmptyP2, int maxLineLength)
{
    QString text = templ;
    if (!param1.isEmpty()) {
        text = argLowest(text, param1);
        if (!param2.isEmpty())
            text = argLowest(text, param2);
    } else if (allowEmptyP1 && !allowEmptyP2) {
        text = argLowest(text, QString());
        if (!param2.isEmpty()) {
            text.replace(QLatin1String("%2"), QLatin1String("%1"));
            text = argLowest(text, param2);
        }
    } else if (!allowEmptyP1 && allowEmptyP2) {
        text = argLowest(text, param2); // an empty p2 fills %1 with nothing
    } else if (!param2.isEmpty()) {
        text = argLowest(text, param2);
    }
    text.replace(QLatin1String("%1"), QLatin1String("\"\""));
    text.replace(QLatin1String("%2"), QLatin1String("\"\""));
    return shortenLines(text, maxLineLength);
}

static QWidget* boxParent()
{
    return libraryReady() ? libraryMainWindow() : nullptr;
}

static QString boxCaption()
{
    return libraryHooks().title ? libraryHooks().title() : QString();
}

void MessagerDaemon::slot_ShowCritical(quint64 errCode)
{
    if (!onGuiThread())
        return;
    const LibraryHooks& hooks = libraryHooks();
    HookToken token;
    if (hooks.beforeCriticalBox)
        token = hooks.beforeCriticalBox();
    QString templ = VlkStringsKit::instance().internalError;
    if (templ.isEmpty())
        templ = QStringLiteral("Critical error: 0x%1");
    const QString text = argLowest(templ, errorCodeToHex(errCode));
    // The first critical box is always shown; later ones only within the limit.
    if (m_openCritical == 0 || openBoxes() <= MaxOpenBoxesBefore) {
        ++m_openCritical;
        QMessageBox::critical(boxParent(), boxCaption(), text, QMessageBox::Ok, QMessageBox::Ok);
        --m_openCritical;
    }
    if (hooks.afterCriticalBox)
        hooks.afterCriticalBox(token);
}

void MessagerDaemon::showPlain(Kind kind, int code, const QString& p1, const QString& p2, bool a1, bool a2)
{
    if (!onGuiThread())
        return;
    const LibraryHooks& hooks = libraryHooks();
    QString (*lookup)(int) = kind == Info ? hooks.infoText : hooks.warnText;
    if (!lookup)
        return;
    HookToken token;
    if (kind == Info && hooks.beforeInfoBox)
        token = hooks.beforeInfoBox();
    if (kind == Warn && hooks.beforeWarnBox)
        token = hooks.beforeWarnBox();
    const QString templ =
        (kind == Warn && isLibraryMessage(code)) ? VlkStringsKit::instance().text(code) : lookup(code);
    const QString text = composeText(templ, p1, p2, a1, a2, int(hooks.maxLineLength));
    if (openBoxes() <= MaxOpenBoxesBefore) {
        int& counter = kind == Info ? m_openInfo : m_openWarn;
        ++counter;
        if (kind == Info)
            QMessageBox::information(boxParent(), boxCaption(), text, QMessageBox::Ok, QMessageBox::Ok);
        else
            QMessageBox::warning(boxParent(), boxCaption(), text, QMessageBox::Ok, QMessageBox::Ok);
        --counter;
    }
    if (kind == Info && hooks.afterInfoBox)
        hooks.afterInfoBox(token);
    if (kind == Warn && hooks.afterWarnBox)
        hooks.afterWarnBox(token);
}

void MessagerDaemon::slot_ShowInfo(int infoCode, QString param1, QString param2, bool allowEmptyP1,
                                   bool allowEmptyP2)
{
    showPlain(Info, infoCode, param1, param2, allowEmptyP1, allowEmptyP2);
}

void MessagerDaemon::slot_ShowWarn(int warnCode, QString param1, QString param2, bool allowEmptyP1,
                                   bool allowEmptyP2)
{
    showPlain(Warn, warnCode, param1, param2, allowEmptyP1, allowEmptyP2);
}

void MessagerDaemon::slot_ShowQuestion(int questionCode, QString param1, QString param2,
                                       QMessageBox::StandardButton* selectedBut, bool allowEmptyP1,
                                       bool allowEmptyP2, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton)
{
    if (!selectedBut)
        return;
    const LibraryHooks& hooks = libraryHooks();
    if (!(buttons & defaultButton) || !hooks.questionText) {
        *selectedBut = QMessageBox::NoButton;
        return;
    }
    // A question must be answered on the GUI thread; elsewhere it is dropped unanswered.
    if (!onGuiThread())
        return;
    HookToken token;
    if (hooks.beforeQuestionBox)
        token = hooks.beforeQuestionBox();
    const QString text = composeText(hooks.questionText(questionCode), param1, param2, allowEmptyP1,
                                     allowEmptyP2, int(hooks.maxLineLength));
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (openBoxes() <= MaxOpenBoxesBefore) {
        ++m_openQuestion;
        answer = QMessageBox::question(boxParent(), boxCaption(), text, buttons, defaultButton);
        --m_openQuestion;
    }
    *selectedBut = answer;
    if (hooks.afterQuestionBox)
        hooks.afterQuestionBox(token);
}

} // namespace velkit
