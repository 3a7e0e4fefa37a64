// The message service: parameter filling, leftovers, line shortening, the boxes it shows, the
// limit of open boxes and critical errors raised on another thread.

#include "boxwatch.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_fault.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>
#include <Velkit/vlk_strings.h>

#include <QMainWindow>
#include <QtTest>

#include <functional>
#include <tuple>

using velkit::MessagerDaemon;

class TestMessager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void fillParameters();
    void shorten();

    void boxes();
    void criticalFromWorkerThreadShownOnGuiThread();
    void limitOfOpenBoxes();

private:
    MessagerDaemon* m = nullptr;
    QMainWindow* window = nullptr;
};

void TestMessager::initTestCase()
{
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
    window = new QMainWindow;
    window->show();
    velkit::MainContext ctx;
    ctx.window = window;
    ctx.language = 0;
    QCOMPARE(velkit::vlkSetMainWindow(ctx), 0);
    m = velkit::libraryMessager();
    QVERIFY(m);
}

void TestMessager::cleanupTestCase()
{
    velkit::vlkShutdown();
    delete window;
}

void TestMessager::fillParameters()
{
    // Template, p1, p2, whether each may be empty, and the text.
    const char* t = "x %1 y %2";
    const QList<std::tuple<const char*, const char*, const char*, bool, bool, const char*>> cases = {
        // p1 given: both filled in order, an empty p2 leaves its placeholder.
        {t, "a", "b", false, false, "x a y b"},
        {t, "%2", "q", false, false, "x q y q"},
        // p1 empty and allowed, p2 not allowed empty: %1 filled with nothing, %2 takes p2.
        {t, "", "b", true, false, "x  y b"},
        // p1 not allowed empty, p2 allowed: p2 goes to the lowest placeholder, or nothing.
        {t, "", "b", false, true, "x b y \"\""},
        // Neither or both allowed: p2 when given, else every placeholder shows two quotes.
        {t, "", "b", true, true, "x b y \"\""},
        {t, "", "", false, false, "x \"\" y \"\""},
    };
    for (const auto& [templ, p1, p2, a1, a2, expected] : cases)
        QCOMPARE(MessagerDaemon::composeText(QString::fromUtf8(templ), p1, p2, a1, a2, 100),
                 QString::fromUtf8(expected));
}

void TestMessager::shorten()
{
    // Lines of at most 100 characters: a quoted name at the end of a longer line is cut.
    const QString name150(150, QLatin1Char('n')), exact = "Файл \"" + QString(93, QLatin1Char('n')) + "\"";
    const QList<QPair<QString, QString>> cases = {
        {"A\nФайл \"" + name150 + "\"\nB", "A\nФайл \"" + QString(91, QLatin1Char('n')) + "..\"\nB"},
        {exact, exact},
        {"one\ntwo\n\nthree", "one\ntwo"}, // an empty line ends the text
        {QString(120, QLatin1Char('a')) + "\"bb\"", QString(120, QLatin1Char('a')) + "\"..\""},
    };
    for (const auto& [text, expected] : cases)
        QCOMPARE(MessagerDaemon::shortenLines(text, 100), expected);
}

void TestMessager::boxes()
{
    // Every box carries the program's caption and the main window as its parent.
    auto check = [this](const BoxAnswerer& answer, QMessageBox::Icon icon, const QString& text) {
        QCOMPARE(answer.seen.size(), 1);
        const SeenBox& s = answer.seen.first();
        QCOMPARE(s.text, text);
        QCOMPARE(s.icon, icon);
        QCOMPARE(s.title, QStringLiteral("TAVREL"));
        QCOMPARE(s.parent.data(), static_cast<QWidget*>(window));
    };
    const QList<std::tuple<int, const char*, const char*>> warnings = {
        {StringsKit::WarnReadFailed, "4", "Ошибка чтения файла 4"},
        {0x9999, "", "39321"}, // not in the catalogue: its number in decimal
        // A library text with a long path: the quoted name is cut to the line limit.
        {0xA502,
         "/very/long/ddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
         "ddddddddddddddddddddddddddddddddddddddddddddddd",
         "Произошла ошибка.\nФайл "
         "\"/very/long/dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
         "dddddddddddddddd..\"\nне удалён.\nКод ошибки - 0x1000d2a602"},
    };
    for (const auto& [number, p1, text] : warnings) {
        BoxAnswerer answer;
        m->showWarn(number, QString::fromUtf8(p1), QStringLiteral("1000d2a602"), true, true);
        check(answer, QMessageBox::Warning, QString::fromUtf8(text));
        QCOMPARE(answer.seen.first().buttonTexts, QStringList{QStringLiteral("OK")});
    }
    BoxAnswerer info;
    m->showInfo(0x1401, QStringLiteral("Среднее значение:\nКанал 1: 1V"), QString(), true, true);
    check(info, QMessageBox::Information, QStringLiteral("Среднее значение:\nКанал 1: 1V"));
    // A question gives the button pressed; one whose default is not among its buttons shows
    // nothing and gives no button.
    for (QMessageBox::StandardButton press : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        BoxAnswerer answer{press};
        QMessageBox::StandardButton result = QMessageBox::Help;
        m->showQuestion(StringsKit::AskCloseChanged, QStringLiteral("NoName - 1"), QString(), &result, false,
                        true, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        QCOMPARE(result, press);
        check(answer, QMessageBox::Question,
              QStringLiteral("Данные в окне NoName - 1 изменены!\nЗакрыть окно?"));
    }
    BoxAnswerer none;
    QMessageBox::StandardButton result = QMessageBox::Yes;
    m->showQuestion(StringsKit::AskInverseFFT, QString(), QString(), &result, true, true,
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Cancel);
    QCOMPARE(result, QMessageBox::NoButton);
    QTest::qWait(30);
    QCOMPARE(none.seen.size(), 0);
    QCOMPARE(m->openBoxes(), 0);
}

void TestMessager::criticalFromWorkerThreadShownOnGuiThread()
{
    BoxAnswerer answer;
    QThread* worker = QThread::create([] { velkit::reportCritical(0x0000001000D2A602ull); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_COMPARE(answer.seen.size(), 1);
    const SeenBox& s = answer.seen.first();
    QVERIFY(s.onGuiThread);
    QCOMPARE(s.icon, QMessageBox::Critical);
    QCOMPARE(s.text, QStringLiteral("Обнаружена внутренняя ошибка,\nобратитесь в службу поддержки.\n"
                                    "Код ошибки - 0x1000d2a602"));
    QCOMPARE(s.parent.data(), static_cast<QWidget*>(window));
}

void TestMessager::limitOfOpenBoxes()
{
    // Six warnings open one inside another: each step runs from a timer inside the box the step
    // before opened.
    int attempts = 0, visibleAtLimit = -1, visibleWithCritical = -1, criticals = -1;
    bool dropped = false;
    QMessageBox::StandardButton question = QMessageBox::Yes;
    QTimer closer; // closes the innermost box on every tick
    connect(&closer, &QTimer::timeout, this, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    std::function<void()> openWarning, atLimit, withCritical;
    openWarning = [&] {
        ++attempts;
        QTimer::singleShot(10, this, attempts < 6 ? openWarning : atLimit);
        m->showWarn(StringsKit::WarnLoadFailed, QString(), QString(), true, true);
    };
    atLimit = [&] {
        // Beyond the limit warnings, information and questions return at once, without a box; the
        // first critical error still shows.
        visibleAtLimit = visibleMessageBoxes();
        m->showWarn(StringsKit::WarnLoadFailed, QString(), QString(), true, true);
        m->showInfo(StringsKit::InfoText, QStringLiteral("x"), QString(), true, true);
        dropped = visibleMessageBoxes() == visibleAtLimit && m->openWarnBoxes() == 6;
        m->showQuestion(StringsKit::AskInverseFFT, QString(), QString(), &question, true, true,
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        velkit::reportCritical(0x1234);
        QTimer::singleShot(50, this, withCritical);
    };
    withCritical = [&] {
        visibleWithCritical = visibleMessageBoxes();
        velkit::reportCritical(0x5678); // a second one does not
        QTimer::singleShot(50, this, [&] {
            criticals = m->openCriticalBoxes();
            closer.start(5);
        });
    };
    openWarning();
    closer.stop();
    QCOMPARE(visibleAtLimit, 6);
    QVERIFY(dropped);
    QCOMPARE(question, QMessageBox::NoButton);
    QCOMPARE(visibleWithCritical, 7);
    QCOMPARE(criticals, 1);
    QCOMPARE(m->openBoxes(), 0);
    QTRY_COMPARE(visibleMessageBoxes(), 0);
}

QTEST_MAIN(TestMessager)
#include "tst_messager.moc"
