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

using velkit::MessagerDaemon;

class TestMessager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void fillParameters_data();
    void fillParameters();
    void shorten_data();
    void shorten();

    void warningShownWithCaptionAndParent();
    void catalogueTexts_data();
    void catalogueTexts();
    void longPathInLibraryWarningIsCut();
    void questionAnswers_data();
    void questionAnswers();
    void questionWithForeignDefaultAnswersNoButton();
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

void TestMessager::fillParameters_data()
{
    QTest::addColumn<QString>("templ");
    QTest::addColumn<QString>("p1");
    QTest::addColumn<QString>("p2");
    QTest::addColumn<bool>("a1"); // p1, p2 allowed empty
    QTest::addColumn<bool>("a2");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* t, const char* p1, const char* p2, bool a1, bool a2,
                  const char* expected) {
        QTest::newRow(name) << QString::fromUtf8(t) << p1 << p2 << a1 << a2 << QString::fromUtf8(expected);
    };
    const char* t = "x %1 y %2";
    // p1 given: both filled in order, an empty p2 leaves its placeholder.
    row("p1 p2", t, "a", "b", false, false, "x a y b");
    row("read error 4", "Ошибка чтения файла %1", "4", "", false, true, "Ошибка чтения файла 4");
    // p1 empty and allowed, p2 not allowed empty: %1 filled with nothing, %2 takes p2.
    row("row2 p2", t, "", "b", true, false, "x  y b");
    row("row2 no p2", t, "", "", true, false, "x  y \"\"");
    // p1 not allowed empty, p2 allowed: p2 goes to the lowest placeholder, or nothing.
    row("row3 p2", t, "", "b", false, true, "x b y \"\"");
    row("row3 no p2", t, "", "", false, true, "x  y \"\"");
    // Neither or both allowed: p2 when given, else every placeholder shows two quotes.
    row("row4 p2", t, "", "b", true, true, "x b y \"\"");
    row("row4 no p2", t, "", "", true, true, "x \"\" y \"\"");
    row("row5 p2", t, "", "b", false, false, "x b y \"\"");
    row("row5 no p2", t, "", "", false, false, "x \"\" y \"\"");
    row("load error", "Ошибка загрузки!", "", "", true, true, "Ошибка загрузки!");
    row("changed window, no name", "Данные в окне %1 изменены!\nЗакрыть окно?", "", "", false, false,
        "Данные в окне \"\" изменены!\nЗакрыть окно?");
    row("placeholder repeated", "%1-%1", "z", "", false, false, "z-z");
    row("parameter holding a placeholder", t, "%2", "q", false, false, "x q y q");
}

void TestMessager::fillParameters()
{
    QFETCH(QString, templ);
    QFETCH(QString, p1);
    QFETCH(QString, p2);
    QFETCH(bool, a1);
    QFETCH(bool, a2);
    QTEST(MessagerDaemon::composeText(templ, p1, p2, a1, a2, 100), "expected");
}

void TestMessager::shorten_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // lines of at most 100 characters
    const QString name150(150, QLatin1Char('n'));
    QTest::newRow("quoted name cut") << "A\nФайл \"" + name150 + "\"\nB"
                                     << "A\nФайл \"" + QString(91, QLatin1Char('n')) + "..\"\nB";
    const QString exact = "Файл \"" + QString(93, QLatin1Char('n')) + "\"";
    QTest::newRow("exactly at the limit") << exact << exact;
    QTest::newRow("long line without quote")
        << QString(140, QLatin1Char('p')) << QString(140, QLatin1Char('p'));
    QTest::newRow("empty line ends the text") << "one\ntwo\n\nthree"
                                              << "one\ntwo";
    QTest::newRow("prefix longer than limit")
        << QString(120, QLatin1Char('a')) + "\"bb\"" << QString(120, QLatin1Char('a')) + "\"..\"";
}

void TestMessager::shorten()
{
    QFETCH(QString, text);
    QTEST(MessagerDaemon::shortenLines(text, 100), "expected");
}

void TestMessager::warningShownWithCaptionAndParent()
{
    BoxAnswerer answer;
    m->showWarn(StringsKit::WarnReadFailed, QStringLiteral("4"), QString(), false, true);
    QCOMPARE(answer.seen.size(), 1);
    const SeenBox& s = answer.seen.first();
    QCOMPARE(s.text, QStringLiteral("Ошибка чтения файла 4"));
    QCOMPARE(s.title, QStringLiteral("TAVREL"));
    QCOMPARE(s.icon, QMessageBox::Warning);
    QCOMPARE(s.parent.data(), static_cast<QWidget*>(window));
    QCOMPARE(s.buttonTexts, QStringList{QStringLiteral("OK")});
    QCOMPARE(m->openBoxes(), 0);
}

void TestMessager::catalogueTexts_data()
{
    QTest::addColumn<bool>("warning");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("p1");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unknown warning in decimal") << true << 0x9999 << ""
                                                << "39321";
    QTest::newRow("load error") << true << 0x1507 << ""
                                << "Ошибка загрузки!";
    QTest::newRow("library rename text")
        << true << 0xA506 << "1f"
        << "Произошла ошибка.\nПереименование не выполнено.\nКод ошибки - 0x1f";
    QTest::newRow("information is its parameter") << false << 0x1401 << "Среднее значение:\nКанал 1: 1V"
                                                  << "Среднее значение:\nКанал 1: 1V";
}

void TestMessager::catalogueTexts()
{
    QFETCH(bool, warning);
    QFETCH(int, number);
    QFETCH(QString, p1);
    BoxAnswerer answer;
    if (warning)
        m->showWarn(number, p1, QString(), true, true);
    else
        m->showInfo(number, p1, QString(), true, true);
    QCOMPARE(answer.seen.size(), 1);
    QTEST(answer.seen.first().text, "expected");
    QCOMPARE(answer.seen.first().icon, warning ? QMessageBox::Warning : QMessageBox::Information);
}

void TestMessager::longPathInLibraryWarningIsCut()
{
    const QString path = QStringLiteral("/very/long/") + QString(139, QLatin1Char('d'));
    BoxAnswerer answer;
    m->showWarn(0xA502, path, QStringLiteral("1000d2a602"), false, false);
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen.first().text, "Произошла ошибка.\nФайл \"/very/long/" +
                                           QString(80, QLatin1Char('d')) +
                                           "..\"\nне удалён.\nКод ошибки - 0x1000d2a602");
}

void TestMessager::questionAnswers_data()
{
    QTest::addColumn<int>("press");
    QTest::newRow("yes") << int(QMessageBox::Yes);
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
}

void TestMessager::questionAnswers()
{
    QFETCH(int, press);
    BoxAnswerer answer{QMessageBox::StandardButton(press)};
    QMessageBox::StandardButton result = QMessageBox::Help;
    m->showQuestion(StringsKit::AskCloseChanged, QStringLiteral("NoName - 1"), QString(), &result, false,
                    true, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    QCOMPARE(int(result), press);
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen.first().text, QStringLiteral("Данные в окне NoName - 1 изменены!\nЗакрыть окно?"));
    QCOMPARE(answer.seen.first().icon, QMessageBox::Question);
}

void TestMessager::questionWithForeignDefaultAnswersNoButton()
{
    BoxAnswerer answer;
    QMessageBox::StandardButton result = QMessageBox::Yes;
    m->showQuestion(StringsKit::AskInverseFFT, QString(), QString(), &result, true, true,
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Cancel);
    QCOMPARE(result, QMessageBox::NoButton);
    QTest::qWait(30);
    QCOMPARE(answer.seen.size(), 0);
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
