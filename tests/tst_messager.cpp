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
    QTest::addColumn<bool>("a1");
    QTest::addColumn<bool>("a2");
    QTest::addColumn<QString>("expected");

    const QString t = QStringLiteral("x %1 y %2");
    // p1 given: both filled in order, an empty p2 leaves its placeholder.
    QTest::newRow("p1 p2") << t << "a"
                           << "b" << false << false << "x a y b";
    QTest::newRow("read error 4") << "Ошибка чтения файла %1"
                                  << "4"
                                  << "" << false << true << "Ошибка чтения файла 4";
    // p1 empty and allowed, p2 not allowed empty: %1 filled with nothing, %2 takes p2.
    QTest::newRow("row2 p2") << t << ""
                             << "b" << true << false << "x  y b";
    QTest::newRow("row2 no p2") << t << ""
                                << "" << true << false << "x  y \"\"";
    // p1 not allowed empty, p2 allowed: p2 goes to the lowest placeholder, or nothing.
    QTest::newRow("row3 p2") << t << ""
                             << "b" << false << true << "x b y \"\"";
    QTest::newRow("row3 no p2") << t << ""
                                << "" << false << true << "x  y \"\"";
    // Neither or both allowed: p2 when given, else every placeholder shows two quotes.
    QTest::newRow("row4 p2") << t << ""
                             << "b" << true << true << "x b y \"\"";
    QTest::newRow("row4 no p2") << t << ""
                                << "" << true << true << "x \"\" y \"\"";
    QTest::newRow("row5 p2") << t << ""
                             << "b" << false << false << "x b y \"\"";
    QTest::newRow("row5 no p2") << t << ""
                                << "" << false << false << "x \"\" y \"\"";
    QTest::newRow("load error") << "Ошибка загрузки!"
                                << ""
                                << "" << true << true << "Ошибка загрузки!";
    QTest::newRow("changed window, no name")
        << "Данные в окне %1 изменены!\nЗакрыть окно?"
        << ""
        << "" << false << false << "Данные в окне \"\" изменены!\nЗакрыть окно?";
    QTest::newRow("placeholder repeated") << "%1-%1"
                                          << "z"
                                          << "" << false << false << "z-z";
    QTest::newRow("parameter holding a placeholder") << t << "%2"
                                                     << "q" << false << false << "x q y q";
}

void TestMessager::fillParameters()
{
    QFETCH(QString, templ);
    QFETCH(QString, p1);
    QFETCH(QString, p2);
    QFETCH(bool, a1);
    QFETCH(bool, a2);
    QFETCH(QString, expected);
    QCOMPARE(MessagerDaemon::composeText(templ, p1, p2, a1, a2, 100), expected);
}

void TestMessager::shorten_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("expected");

    const QString name150 = QString(150, QLatin1Char('n'));
    const QString cut =
        QStringLiteral("Файл \"") + QString(100 - 6 - 3, QLatin1Char('n')) + QStringLiteral("..\"");
    QTest::newRow("quoted name cut") << QStringLiteral("A\nФайл \"%1\"\nB").arg(name150) << 100
                                     << QStringLiteral("A\n%1\nB").arg(cut);
    const QString exact = QStringLiteral("Файл \"") + QString(93, QLatin1Char('n')) + QStringLiteral("\"");
    QTest::newRow("exactly at the limit") << exact << 100 << exact;
    const QString longPlain = QString(140, QLatin1Char('p'));
    QTest::newRow("long line without quote") << longPlain << 100 << longPlain;
    QTest::newRow("empty line ends the text") << "one\ntwo\n\nthree" << 100 << "one\ntwo";
    QTest::newRow("prefix longer than limit")
        << QString(120, QLatin1Char('a')) + QStringLiteral("\"bb\"") << 100
        << QString(120, QLatin1Char('a')) + QStringLiteral("\"..\"");
}

void TestMessager::shorten()
{
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(QString, expected);
    const QString out = MessagerDaemon::shortenLines(text, limit);
    QCOMPARE(out, expected);
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
    QFETCH(QString, expected);
    BoxAnswerer answer;
    if (warning)
        m->showWarn(number, p1, QString(), true, true);
    else
        m->showInfo(number, p1, QString(), true, true);
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen.first().text, expected);
    QCOMPARE(answer.seen.first().icon, warning ? QMessageBox::Warning : QMessageBox::Information);
}

void TestMessager::longPathInLibraryWarningIsCut()
{
    const QString path = QStringLiteral("/very/long/") + QString(139, QLatin1Char('d'));
    QCOMPARE(path.size(), 150);
    BoxAnswerer answer;
    m->showWarn(0xA502, path, QStringLiteral("1000d2a602"), false, false);
    QCOMPARE(answer.seen.size(), 1);
    const QStringList lines = answer.seen.first().text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("Произошла ошибка."));
    QCOMPARE(lines[1].size(), 100);
    QVERIFY(lines[1].startsWith(QStringLiteral("Файл \"/very/long/ddd")));
    QVERIFY(lines[1].endsWith(QStringLiteral("d..\"")));
    QCOMPARE(lines[2], QStringLiteral("не удалён."));
    QCOMPARE(lines[3], QStringLiteral("Код ошибки - 0x1000d2a602"));
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
    const quint64 code = 0x0000001000D2A602ull;
    QThread* worker = QThread::create([code] { velkit::reportCritical(code); });
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

// Opens warning boxes one inside another until six are open, then checks what is dropped and
// what still shows, and closes them all.
void TestMessager::limitOfOpenBoxes()
{
    enum Phase { Fill, Overflow, FirstCritical, SecondCritical, Close, Done };
    Phase phase = Fill;
    bool pending = false;
    int shownWarnings = 0;
    bool warningDropped = false, infoDropped = false;
    QMessageBox::StandardButton questionAnswer = QMessageBox::Yes;
    int visibleAtOverflow = -1, visibleWithCritical = -1, criticalsAfterSecond = -1;
    int ticks = 0;

    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&] {
        ++ticks;
        switch (phase) {
        case Fill:
            if (pending)
                return;
            if (m->openBoxes() < 6) {
                pending = true;
                QTimer::singleShot(0, this, [&] {
                    pending = false;
                    ++shownWarnings;
                    m->showWarn(StringsKit::WarnLoadFailed, QString(), QString(), true, true);
                });
            } else {
                phase = Overflow;
            }
            return;
        case Overflow: {
            visibleAtOverflow = visibleMessageBoxes();
            // Beyond the limit these return at once, without a box.
            const int before = m->openWarnBoxes();
            m->showWarn(StringsKit::WarnLoadFailed, QString(), QString(), true, true);
            warningDropped = m->openWarnBoxes() == before && visibleMessageBoxes() == visibleAtOverflow;
            m->showInfo(StringsKit::InfoText, QStringLiteral("x"), QString(), true, true);
            infoDropped = visibleMessageBoxes() == visibleAtOverflow;
            m->showQuestion(StringsKit::AskInverseFFT, QString(), QString(), &questionAnswer, true, true,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            velkit::reportCritical(0x1234);
            phase = FirstCritical;
            return;
        }
        case FirstCritical:
            if (m->openCriticalBoxes() == 1) {
                visibleWithCritical = visibleMessageBoxes();
                velkit::reportCritical(0x5678);
                ticks = 0;
                phase = SecondCritical;
            }
            return;
        case SecondCritical:
            if (ticks > 5) { // the queued report has long been delivered
                criticalsAfterSecond = m->openCriticalBoxes();
                phase = Close;
            }
            return;
        case Close:
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::Ok);
            if (m->openBoxes() == 0)
                phase = Done;
            return;
        case Done: return;
        }
    });
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(phase == Done, 20000);
    timer.stop();

    QCOMPARE(shownWarnings, 6);
    QCOMPARE(visibleAtOverflow, 6);
    QVERIFY(warningDropped);
    QVERIFY(infoDropped);
    QCOMPARE(questionAnswer, QMessageBox::NoButton);
    QCOMPARE(visibleWithCritical, 7);  // the first critical box shows beyond the limit
    QCOMPARE(criticalsAfterSecond, 1); // a second one does not
    QTRY_COMPARE(visibleMessageBoxes(), 0);
    QCOMPARE(m->openBoxes(), 0);
}

QTEST_MAIN(TestMessager)
#include "tst_messager.moc"
