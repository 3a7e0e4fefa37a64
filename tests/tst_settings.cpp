// The settings file: reading with defaults and conversions, writing back, and the main
// window's load and save with the retry question.

#include "boxwatch.h"
#include "fmain.h"
#include "init.h"
#include "rs232.h"
#include "settings.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeIni(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QString iniValue(const QString& path, const QString& key)
{
    return QSettings(path, QSettings::IniFormat).value(key).toString();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void defaultsWithoutFile();
    void conversions_data();
    void conversions();
    void garbageFileReadsAsDefaults();
    void roundTrip();
    void mainWindowLoadsAndSaves();
    void failingSaveAsksAgain();

private:
    QTemporaryDir tmp;
};

void TestSettings::initTestCase()
{
    QVERIFY(tmp.isValid());
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
}

void TestSettings::cleanupTestCase()
{
    velkit::vlkShutdown();
}

void TestSettings::defaultsWithoutFile()
{
    ProgramSettings s;
    s.traceColours[2] = QColor(1, 2, 3);
    s.backColours[0] = QColor(9, 8, 7);
    readSettings(tmp.filePath(QStringLiteral("missing.ini")), s);
    QCOMPARE(s.unitVolts, false);
    QCOMPARE(s.forAll, false);
    QCOMPARE(int(s.acquisition.halfLength), 50000);
    QCOMPARE(int(s.acquisition.waitCount), 24);
    QCOMPARE(int(s.acquisition.detector), 1);
    QCOMPARE(int(s.acquisition.sync), 0);
    QCOMPARE(int(s.acquisition.mux), 0);
    QCOMPARE(int(s.acquisition.gain[3]), 0);
    QCOMPARE(s.portName, QStringLiteral("COM1"));
    QCOMPARE(s.rate, 115200);
    QCOMPARE(s.winFun, 0);
    QCOMPARE(s.lastDir, QString());
    // Colours without keys stay as they were.
    QCOMPARE(s.traceColours[2], QColor(1, 2, 3));
    QCOMPARE(s.backColours[0], QColor(9, 8, 7));
}

void TestSettings::conversions_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("odd length") << QByteArray("[WAVE_ADC]\nNumItems=100001\n") << "halfLength"
                                << "50000";
    QTest::newRow("length beyond 16 bits") << QByteArray("[WAVE_ADC]\nNumItems=200000\n") << "halfLength"
                                           << "34464";
    QTest::newRow("length not a number") << QByteArray("[WAVE_ADC]\nNumItems=lots\n") << "halfLength"
                                         << "0";
    QTest::newRow("YAxis 5 is volts") << QByteArray("[WAVE_ADC]\nYAxis=5\n") << "unitVolts"
                                      << "1";
    QTest::newRow("WaitA clamped high") << QByteArray("[WAVE_ADC]\nWaitA=70000\n") << "waitCount"
                                        << "65535";
    QTest::newRow("gain clamped") << QByteArray("[WAVE_ADC]\nGain2=300\n") << "gain2"
                                  << "255";
    QTest::newRow("baud 1200 kept") << QByteArray("[COM]\nBaud=1200\n") << "rate"
                                    << "1200";
    QTest::newRow("baud 1199") << QByteArray("[COM]\nBaud=1199\n") << "rate"
                               << "115200";
    QTest::newRow("baud 115201") << QByteArray("[COM]\nBaud=115201\n") << "rate"
                                 << "115200";
    QTest::newRow("port 3") << QByteArray("[COM]\nPort=3\n") << "portName"
                            << "COM3";
    QTest::newRow("name wins over port") << QByteArray("[COM]\nComName=K4-DEMO\nPort=3\n") << "portName"
                                         << "K4-DEMO";
    QTest::newRow("window 6") << QByteArray("[FFT]\nWinFun=6\n") << "winFun"
                              << "0";
    QTest::newRow("window -1") << QByteArray("[FFT]\nWinFun=-1\n") << "winFun"
                               << "0";
    QTest::newRow("red") << QByteArray("[COLOR]\nGrColor1=255\n") << "trace1"
                         << "#ff0000";
    QTest::newRow("blue") << QByteArray("[COLOR]\nCursColor3=16711680\n") << "cursor3"
                          << "#0000ff";
}

void TestSettings::conversions()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    // One file per row: the settings class caches files by name and modification time.
    const QString path = tmp.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ini"));
    writeIni(path, ini);
    ProgramSettings s;
    readSettings(path, s);
    const QMap<QString, QString> got{
        {"halfLength", QString::number(s.acquisition.halfLength)},
        {"unitVolts", QString::number(s.unitVolts)},
        {"forAll", QString::number(s.forAll)},
        {"waitCount", QString::number(s.acquisition.waitCount)},
        {"gain2", QString::number(s.acquisition.gain[2])},
        {"mux", QString::number(s.acquisition.mux)},
        {"rate", QString::number(s.rate)},
        {"portName", s.portName},
        {"winFun", QString::number(s.winFun)},
        {"trace1", s.traceColours[1].name()},
        {"cursor3", s.cursorColours[3].name()},
        {"back0", s.backColours[0].name()},
        {"lastDir", s.lastDir},
    };
    QVERIFY(got.contains(field));
    QCOMPARE(got.value(field), expected);
}

void TestSettings::garbageFileReadsAsDefaults()
{
    const QString path = tmp.filePath(QStringLiteral("garbage.ini"));
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) % 256));
    writeIni(path, junk);
    ProgramSettings s;
    readSettings(path, s);
    QCOMPARE(int(s.acquisition.halfLength), 50000);
    QCOMPARE(s.rate, 115200);
    QCOMPARE(s.portName, QStringLiteral("COM1"));
}

void TestSettings::roundTrip()
{
    const QString path = tmp.filePath(QStringLiteral("round.ini"));
    writeIni(path, "[WAVE_ADC]\nNumItems=100001\nYAxis=5\n[COM]\nPort=3\n");
    ProgramSettings s;
    readSettings(path, s);
    s.acquisition.gain[1] = 7;
    s.traceColours[0] = QColor(10, 20, 30);
    s.lastDir = QStringLiteral("/some/where");
    QVERIFY(writeSettings(path, s));
    // Written back in the file's own form.
    QCOMPARE(iniValue(path, QStringLiteral("WAVE_ADC/NumItems")), QStringLiteral("100000"));
    QCOMPARE(iniValue(path, QStringLiteral("WAVE_ADC/YAxis")), QStringLiteral("1"));
    QCOMPARE(iniValue(path, QStringLiteral("COM/ComName")), QStringLiteral("COM3"));
    QCOMPARE(iniValue(path, QStringLiteral("COLOR/GrColor0")), QString::number(10 + 20 * 256 + 30 * 65536));

    // The port is kept by name only.
    const QString fresh = tmp.filePath(QStringLiteral("fresh.ini"));
    QVERIFY(writeSettings(fresh, s));
    QVERIFY(!QSettings(fresh, QSettings::IniFormat).contains(QStringLiteral("COM/Port")));
    QCOMPARE(iniValue(fresh, QStringLiteral("COM/ComName")), QStringLiteral("COM3"));

    ProgramSettings back;
    readSettings(path, back);
    QCOMPARE(back.unitVolts, true);
    QCOMPARE(int(back.acquisition.halfLength), 50000);
    QCOMPARE(int(back.acquisition.gain[1]), 7);
    QCOMPARE(back.traceColours[0], QColor(10, 20, 30));
    QCOMPARE(back.portName, QStringLiteral("COM3"));
    QCOMPARE(back.lastDir, QStringLiteral("/some/where"));

    // A half length beyond 16 bits comes back as its low 16 bits, doubled.
    const QString wide = tmp.filePath(QStringLiteral("wide.ini"));
    writeIni(wide, "[WAVE_ADC]\nNumItems=200000\n");
    readSettings(wide, back);
    QVERIFY(writeSettings(wide, back));
    QCOMPARE(iniValue(wide, QStringLiteral("WAVE_ADC/NumItems")), QStringLiteral("68928"));
}

void TestSettings::mainWindowLoadsAndSaves()
{
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    writeIni(appDir.filePath(QStringLiteral("adc.ini")),
             "[WAVE_ADC]\nYAxis=1\nForAll=1\nNumItems=20000\nMux=2\n[COM]\nComName=K4-DEMO\nBaud=57600\n"
             "[COLOR]\nTextColor1=65280\nGrColor0=255\n[FFT]\nWinFun=3\n[OTHERS]\nOldDir=/tmp\n");
    const QColor oldTrace = g_traceColours[0];
    {
        MainWnd w;
        g_mainWnd = &w;
        QVERIFY(w.setupWindow());
        QVERIFY(w.unitVolts());
        QVERIFY(w.forAll);
        QCOMPARE(int(g_acquisitionParameters.halfLength), 10000);
        QCOMPARE(int(g_acquisitionParameters.mux), 2);
        QCOMPARE(g_link.portName, QStringLiteral("K4-DEMO"));
        QCOMPARE(g_link.rate, 57600);
        QCOMPARE(g_winFun, 3);
        QCOMPARE(w.lastDir, QStringLiteral("/tmp"));
        QCOMPARE(g_traceColours[0], QColor(255, 0, 0));
        QCOMPARE(g_readoutTextColours[1], QColor(0, 255, 0));
        QCOMPARE(w.settingsDir, QDir::toNativeSeparators(appDir.path()) + QDir::separator());

        // Saving writes what the program holds now.
        g_acquisitionParameters.waitCount = 2;
        w.setUnit(false);
        w.saveSettings();
        const QString ini = appDir.filePath(QStringLiteral("adc.ini"));
        QCOMPARE(iniValue(ini, QStringLiteral("WAVE_ADC/WaitA")), QStringLiteral("2"));
        QCOMPARE(iniValue(ini, QStringLiteral("WAVE_ADC/YAxis")), QStringLiteral("0"));
        QCOMPARE(iniValue(ini, QStringLiteral("WAVE_ADC/NumItems")), QStringLiteral("20000"));
        QCOMPARE(iniValue(ini, QStringLiteral("COM/ComName")), QStringLiteral("K4-DEMO"));
        QCOMPARE(iniValue(ini, QStringLiteral("FFT/WinFun")), QStringLiteral("3"));
        g_mainWnd = nullptr;
    }
    g_traceColours[0] = oldTrace;
}

void TestSettings::failingSaveAsksAgain()
{
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    MainWnd w;
    g_mainWnd = &w;
    QVERIFY(w.setupWindow());
    // A file standing where the settings directory should be: the file cannot be written.
    const QString blocker = appDir.filePath(QStringLiteral("gone"));
    writeIni(blocker, "in the way");
    w.settingsDir = blocker + QDir::separator();
    // The first question is answered Yes after the directory has appeared: the retry succeeds.
    QStringList questions;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        questions << box->text();
        QFile::remove(blocker);
        box->button(QMessageBox::Yes)->click();
    });
    poll.start();
    w.saveSettings();
    poll.stop();
    QCOMPARE(questions, QStringList{QStringLiteral("Ошибка сохранения ini-файла.\nПовторить?")});
    QVERIFY(QFile::exists(appDir.filePath(QStringLiteral("gone/adc.ini"))));

    // Answered No, the command gives up after one question.
    const QString blocker2 = appDir.filePath(QStringLiteral("never"));
    writeIni(blocker2, "in the way");
    w.settingsDir = blocker2 + QDir::separator();
    BoxAnswerer no(QMessageBox::No, 5);
    w.saveSettings();
    QCOMPARE(no.seen.size(), 1);
    g_mainWnd = nullptr;
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
