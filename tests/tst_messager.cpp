// The support library's start-up and shutdown by language, and its message service: the boxes it
// shows and critical errors raised on another thread. The functions run in order, each on the
// last's state.

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

#include <tuple>

namespace {

// The boxes shown for a critical report of code (none without the message service).
QList<SeenBox> criticalBoxes(quint64 code)
{
    BoxAnswerer answer;
    velkit::reportCritical(code);
    QTest::qWait(50);
    return answer.seen;
}

} // namespace

class TestMessager : public QObject
{
    Q_OBJECT

private slots:
    void beforeInitNothingIsShown() { QCOMPARE(criticalBoxes(0x42).size(), 0); }
    void initSpeaksEnglish();
    void languageZeroSpeaksRussian();
    void boxes();
    void criticalFromWorkerThreadShownOnGuiThread();
    void shutdownTwiceThenInitAgain();
    void cleanupTestCase() { delete window; }

private:
    velkit::MessagerDaemon* m = nullptr;
    QMainWindow* window = nullptr;
};

void TestMessager::initSpeaksEnglish()
{
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    QVERIFY(velkit::libraryReady());
    // Before the main window is handed over the library speaks English; boxes have no parent.
    QCOMPARE(velkit::libraryLanguage(), 1);
    const QList<SeenBox> seen = criticalBoxes(0x1000d2a602ull);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first().text, QStringLiteral("An internal error was detected,\nplease contact support.\n"
                                               "Error code - 0x1000d2a602"));
    QVERIFY(seen.first().parent.isNull());
}

void TestMessager::languageZeroSpeaksRussian()
{
    StringsKit::instance().fill();
    window = new QMainWindow;
    window->show();
    velkit::MainContext ctx;
    ctx.window = window;
    ctx.language = 0;
    QCOMPARE(velkit::vlkSetMainWindow(ctx), 0);
    QCOMPARE(velkit::libraryLanguage(), 0);
    m = velkit::libraryMessager();
    QVERIFY(m);
}

void TestMessager::boxes()
{
    // Every box carries the program's caption and the main window as its parent.
    auto check = [this](const BoxAnswerer& answer, QMessageBox::Icon icon, const QString& text) {
        QCOMPARE(answer.seen.size(), 1);
        const SeenBox& s = answer.seen.first();
        QCOMPARE((QStringList{s.text, QString::number(s.icon), s.title}),
                 (QStringList{text, QString::number(icon), "TAVREL"}));
        QCOMPARE(s.parent.data(), static_cast<QWidget*>(window));
    };
    const QList<std::tuple<int, const char*, const char*>> warnings = {
        {StringsKit::WarnReadFailed, "4", "Ошибка чтения файла 4"},
        {0x9999, "", "39321"}, // not in the catalogue: its number in decimal
        {0xA502, "/a", "Произошла ошибка.\nФайл \"/a\"\nне удалён.\nКод ошибки - 0x1000d2a602"},
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
    // A question gives the button pressed, its buttons in Russian; one whose default is not among
    // its buttons shows nothing and gives no button.
    for (QMessageBox::StandardButton press : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        BoxAnswerer answer{press};
        QMessageBox::StandardButton result = QMessageBox::Help;
        m->showQuestion(StringsKit::AskCloseChanged, QStringLiteral("NoName - 1"), QString(), &result, false,
                        true, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        QCOMPARE(result, press);
        check(answer, QMessageBox::Question,
              QStringLiteral("Данные в окне NoName - 1 изменены!\nЗакрыть окно?"));
        QStringList buttons = answer.seen.first().buttonTexts;
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Да", "Нет", "Отмена"}));
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

void TestMessager::shutdownTwiceThenInitAgain()
{
    for (int i = 0; i < 2; ++i) {
        velkit::vlkShutdown();
        QVERIFY(!velkit::libraryMessager() && !velkit::sourceFileTable());
        QCOMPARE(criticalBoxes(0x77).size(), 0);
    }
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    QVERIFY(velkit::libraryMessager() && velkit::sourceFileTable());
    const QList<SeenBox> seen = criticalBoxes(0x05);
    QCOMPARE(seen.size(), 1);
    QVERIFY(seen.first().text.endsWith(QStringLiteral("0x05")));
    velkit::vlkShutdown();
}

QTEST_MAIN(TestMessager)
#include "tst_messager.moc"
