// The record information dialog and the About dialog: the values they show, the build date in
// both forms the compiler writes, and a record without a usable divider.

#include <QtTest>

#include "tst_mainwnd_support.h"
#include "ui_MainWindow.h"
#include "versioninfo.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void buildDate_data();
    void buildDate();
    void versionLine_data();
    void versionLine();
    void aboutDialog();

    void frequency_data();
    void frequency();
    void recordInfo_data();
    void recordInfo();
    void infoNeedsAnOrdinaryWindow();

private:
    QPointer<MainWnd> main;
};

void TestDialogs::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    main = support::makeMainWindow();
    QVERIFY(main);
}

void TestDialogs::cleanupTestCase()
{
    delete main.data();
}

void TestDialogs::buildDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("two-digit day") << "Oct 23 2012" << QDate(2012, 10, 23);
    QTest::newRow("day padded with a blank") << "Dec  6 2026" << QDate(2026, 12, 6);
    QTest::newRow("day padded with a zero") << "Dec 06 2026" << QDate(2026, 12, 6);
    QTest::newRow("first of January") << "Jan  1 2000" << QDate(2000, 1, 1);
    QTest::newRow("not a month") << "Foo 10 2000" << QDate();
    QTest::newRow("no such day") << "Feb 30 2001" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestDialogs::buildDate()
{
    QFETCH(QString, text);
    QTEST(fmain::parseBuildDate(text), "date");
}

void TestDialogs::versionLine_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("line");
    QTest::newRow("October") << "Oct 23 2012"
                             << "Ver. 0.2.3 beta  23/10/2012";
    QTest::newRow("blank-padded day") << "Dec  6 2026"
                                      << "Ver. 0.2.3 beta  06/12/2026";
    QTest::newRow("unreadable date") << "sometime"
                                     << "Ver. 0.2.3 beta  ";
}

void TestDialogs::versionLine()
{
    QFETCH(QString, date);
    QTEST(fmain::aboutVersionLine(0, 2, 3, QStringLiteral(" beta"), date), "line");
}

void TestDialogs::aboutDialog()
{
    QString title, version, platforms, description;
    bool logo = false, icon = false;
    support::ModalDriver<QDialog> driver([&](QDialog* d) {
        title = d->windowTitle();
        version = d->findChild<QLabel*>(QStringLiteral("lVersion"))->text();
        platforms = d->findChild<QLabel*>(QStringLiteral("label_6"))->text();
        description = d->findChild<QLabel*>(QStringLiteral("label_2"))->text();
        logo = !d->findChild<QLabel*>(QStringLiteral("label"))->pixmap().isNull();
        icon = !d->findChild<QLabel*>(QStringLiteral("label_3"))->pixmap().isNull();
        d->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
    });
    main->showAbout();
    QCOMPARE(driver.handled, 1);
    QCOMPARE(title, QStringLiteral("О программе"));
    QCOMPARE(platforms, QStringLiteral("Для Linux и Windows"));
    QCOMPARE(description,
             QStringLiteral("Программа ввода\nи обработки\nинформации от\nакустических\nдатчиков"));
    QVERIFY(logo);
    QVERIFY(icon);
    // Built today or earlier: the date of this build, whatever its day.
    const QDate built = fmain::parseBuildDate(QString::fromLatin1(BuildDate));
    QVERIFY(built.isValid());
    QCOMPARE(version, QStringLiteral("Ver. 0.2.3 beta  ") + built.toString(QStringLiteral("dd/MM/yyyy")));
}

void TestDialogs::frequency_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<qint64>("hz");
    QTest::newRow("new record") << 10000 << 2 << qint64(5000000);
    QTest::newRow("acquired, k = 2") << 12000 << 12 << qint64(1000000);
    QTest::newRow("rounded half away") << 12000 << 28 << qint64(428571);
    QTest::newRow("half up") << 1 << 16 << qint64(63);
    QTest::newRow("divider 0") << 12000 << 0 << qint64(0);
    QTest::newRow("negative divider") << 12000 << -4 << qint64(0);
    QTest::newRow("largest clock") << 65535 << 1 << qint64(65535000);
}

void TestDialogs::frequency()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QTEST(fmain::samplingFrequencyHz(clockKHz, divider), "hz");
}

void TestDialogs::recordInfo_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("new record") << 0
                                << QStringList{QStringLiteral("Версия:1.20"),
                                               QStringLiteral("Количество графиков: 4"),
                                               QStringLiteral("Размер в сэмплах: 0"),
                                               QStringLiteral("Частота оцифровки: 5000000 Гц"),
                                               QStringLiteral("Входной мультиплексор: 0 0 0 0 "),
                                               QStringLiteral("Тип синхронизации: внутренняя"),
                                               QStringLiteral("Детектор: вык "),
                                               QStringLiteral("Усиление: 1 1 1 1 ")};
    QTest::newRow("acquired, five channels")
        << 1
        << QStringList{QStringLiteral("Версия:1.05"),
                       QStringLiteral("Количество графиков: 5"),
                       QStringLiteral("Размер в сэмплах: 2000"),
                       QStringLiteral("Частота оцифровки: 1000000 Гц"),
                       QStringLiteral("Входной мультиплексор: 9 10 11 12 13 "),
                       QStringLiteral("Тип синхронизации: внешняя"),
                       QStringLiteral("Детектор: вкл "),
                       QStringLiteral("Усиление: 1 2 8 256 4096 ")};
    QTest::newRow("divider 0") << 2
                               << QStringList{QStringLiteral("Версия:1.20"),
                                              QStringLiteral("Количество графиков: 1"),
                                              QStringLiteral("Размер в сэмплах: 10"),
                                              QStringLiteral("Частота оцифровки: 0 Гц"),
                                              QStringLiteral("Входной мультиплексор: 1 "),
                                              QStringLiteral("Тип синхронизации: внутренняя"),
                                              QStringLiteral("Детектор: вык "),
                                              QStringLiteral("Усиление: 1 ")};
}

void TestDialogs::recordInfo()
{
    QFETCH(int, kind);
    QFETCH(QStringList, texts);
    TWForm* f = main->newWindow();
    QVERIFY(f);
    TWaveStor& r = *f->record;
    if (kind == 1) {
        QVERIFY(r.init(5, 2000));
        r.header.clockKHz = 12000;
        r.header.divider = 12;
        r.header.extSync = 1;
        r.header.detector = 1;
        r.header.verMinor = 5;
        const int gains[] = {0, 1, 3, 8, 12};
        for (int ch = 0; ch < 5; ++ch) {
            r.channelHeader(ch)->gainCode = quint16(gains[ch]);
            r.channelHeader(ch)->input = quint8(9 + ch);
        }
    } else if (kind == 2) {
        QVERIFY(r.init(1, 10));
        r.header.divider = 0;
        r.channelHeader(0)->input = 1;
    }

    QStringList shown;
    QString title;
    support::ModalDriver<QDialog> driver([&](QDialog* d) {
        title = d->windowTitle();
        for (const char* name : {"verL", "numWL", "wSizeL", "frqL", "muxL", "syncL", "detL", "gainL"})
            shown << d->findChild<QLabel*>(QString::fromLatin1(name))->text();
        d->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
    });
    main->form()->aInfo->trigger();
    QCOMPARE(driver.handled, 1);
    QCOMPARE(title, QStringLiteral("Информация"));
    QCOMPARE(shown, texts);
    // The dialog is gone once closed.
    QTRY_VERIFY(main->findChildren<QDialog*>().isEmpty());
    delete f;
}

void TestDialogs::infoNeedsAnOrdinaryWindow()
{
    // Without a window the command shows nothing.
    support::ModalDriver<QDialog> driver([](QDialog* d) { d->reject(); });
    main->showRecordInfo();
    QTest::qWait(50);
    QCOMPARE(driver.handled, 0);
    TWForm* f = main->newWindow();
    f->isSpectrum = true;
    main->refreshActions();
    QVERIFY(!main->form()->aInfo->isEnabled());
    delete f;
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
