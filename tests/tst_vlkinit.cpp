// Library start-up and shutdown by language; the functions run in order, each on the last's state.

#include "boxwatch.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_fault.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>
#include <Velkit/vlk_strings.h>
#include <Velkit/vlk_winfault.h>

#include <QMainWindow>
#include <QtTest>

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

class TestVlkInit : public QObject
{
    Q_OBJECT

private slots:
    void beforeInitNothingIsShown() { QCOMPARE(criticalBoxes(0x42).size(), 0); }

    void initSpeaksEnglish()
    {
        QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
        QVERIFY(velkit::libraryReady());
        // Before the main window is handed over the library speaks English; boxes have no parent.
        QCOMPARE(velkit::libraryLanguage(), 1);
        const QList<SeenBox> seen = criticalBoxes(0x1000d2a602ull);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().text,
                 QStringLiteral("An internal error was detected,\nplease contact support.\n"
                                "Error code - 0x1000d2a602"));
        QVERIFY(seen.first().parent.isNull());
    }

    void languageZeroGivesRussianButtons()
    {
        QMainWindow window;
        window.show();
        velkit::MainContext ctx;
        ctx.window = &window;
        ctx.language = 0;
        QCOMPARE(velkit::vlkSetMainWindow(ctx), 0);
        QCOMPARE(velkit::libraryLanguage(), 0);
        QCOMPARE(velkit::VlkStringsKit::instance().internalError,
                 QStringLiteral(
                     "Обнаружена внутренняя ошибка,\nобратитесь в службу поддержки.\nКод ошибки - 0x%1"));
        StringsKit::instance().fill();
        BoxAnswerer answer{QMessageBox::Cancel};
        QMessageBox::StandardButton result = QMessageBox::NoButton;
        velkit::libraryMessager()->showQuestion(
            StringsKit::AskInverseFFT, QString(), QString(), &result, true, true,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        QCOMPARE(result, QMessageBox::Cancel);
        QCOMPARE(answer.seen.size(), 1);
        QStringList buttons = answer.seen.first().buttonTexts;
        buttons.sort();
        QCOMPARE(buttons,
                 (QStringList{QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));
        QCOMPARE(answer.seen.first().parent.data(), static_cast<QWidget*>(&window));
    }

    void shutdownTwiceThenInitAgain()
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
};

QTEST_MAIN(TestVlkInit)
#include "tst_vlkinit.moc"
