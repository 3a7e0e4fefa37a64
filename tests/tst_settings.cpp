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

const auto iniValue = [](const QString& path, const QString& key) {
    return QSettings(path, QSettings::IniFormat).value(key).toString();
};

// Colour k of the sixteen colour keys, packed: red, green and blue all differ between keys.
int packed(int k)
{
    return (10 + k) + (100 + 3 * k) * 256 + (200 + 2 * k) * 65536;
}

// Every key the save command writes, each with a value that reads back as itself and differs
// from its default and from the other keys of its kind.
QMap<QString, QString> everyKey()
{
    QMap<QString, QString> keys;
    for (const QString& kv :
         QStringLiteral(
             "WAVE_ADC/YAxis=1 WAVE_ADC/ForAll=0 WAVE_ADC/NumItems=20000 WAVE_ADC/WaitA=2 WAVE_ADC/Sync=1 "
             "WAVE_ADC/Detector=0 WAVE_ADC/Mux=5 COM/ComName=K4-DEMO COM/Baud=57600 FFT/WinFun=3 "
             "OTHERS/OldDir=/data/runs AE_HITS/ThresholdUV=2500 AE_HITS/PDT=150 AE_HITS/HDT=600 "
             "AE_HITS/HLT=0 AE_LOCATION/Velocity=3200.5 AE_LOCATION/Pick=threshold AE_LOCATION/AicWindow=150 "
             "AE_LOCATION/EventWindow=90 SERIES/Folder=/data/vessel SERIES/Prefix=v7 SERIES/Count=500 "
             "SERIES/Pause=10 SERIES/FindHits=1")
             .split(QLatin1Char(' ')))
        keys.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    const char* x[5] = {"-1.25", "2.5", "0.125", "3.75", "-0.375"};
    const char* y[5] = {"0.625", "", "1.5", "-2.25", "4.125"};
    for (int i = 0; i < 5; ++i) {
        keys.insert(QStringLiteral("AE_LOCATION/Sensor%1").arg(i + 1), i < 4 ? "0" : "1");
        keys.insert(QStringLiteral("AE_LOCATION/X%1").arg(i + 1), x[i]);
        keys.insert(QStringLiteral("AE_LOCATION/Y%1").arg(i + 1), y[i]);
    }
    for (int i = 0; i < 4; ++i) {
        keys.insert(QStringLiteral("WAVE_ADC/Gain%1").arg(i), QString::number(3 + i));
        keys.insert(QStringLiteral("READOUT/OwnTextColour%1").arg(i), QString::number(1 - i % 2));
        int k = i;
        for (const char* name : {"GrColor", "CursColor", "TextColor", "BackColor"}) {
            keys.insert(QStringLiteral("COLOR/%1%2").arg(QLatin1String(name)).arg(i),
                        QString::number(packed(k)));
            k += 4;
        }
    }
    return keys;
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
    void mainWindowLoadsAndSavesEveryKey();
    void failingSaveAsksAgain();
    void settingsPlace();
    void installedCopyKeepsSettingsPerUser();

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
    // Nothing to read, or nothing but garbage: the defaults, and colours as they were.
    writeIni(tmp.filePath(QStringLiteral("garbage.ini")), QByteArray(4096, '\xA7') + "=[\n");
    for (const char* file : {"missing.ini", "garbage.ini"}) {
        ProgramSettings s;
        s.traceColours[2] = QColor(1, 2, 3);
        readSettings(tmp.filePath(QLatin1String(file)), s);
        QCOMPARE(QList<bool>({s.unitVolts, s.forAll}), QList<bool>({false, false}));
        QCOMPARE(s.acquisition.toBytes().toHex(), QByteArray("000050c3180000000000000001"));
        QCOMPARE((QStringList{s.portName, QString::number(s.rate), QString::number(s.winFun), s.lastDir}),
                 (QStringList{"COM1", "115200", "0", ""}));
        QCOMPARE(s.traceColours[2], QColor(1, 2, 3));
    }
}

void TestSettings::conversions_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("written"); // key = value the file holds once written back, if any
    auto row = [](const char* name, const char* ini, const char* field, const char* expected,
                  const char* written = "") {
        QTest::newRow(name) << QByteArray(ini) << field << expected << written;
    };
    row("odd length", "[WAVE_ADC]\nNumItems=100001\n", "halfLength", "50000", "WAVE_ADC/NumItems=100000");
    row("length beyond 16 bits", "[WAVE_ADC]\nNumItems=200000\n", "halfLength", "34464",
        "WAVE_ADC/NumItems=68928");
    row("YAxis 5 is volts", "[WAVE_ADC]\nYAxis=5\n", "unitVolts", "1", "WAVE_ADC/YAxis=1");
    row("WaitA clamped high", "[WAVE_ADC]\nWaitA=70000\n", "waitCount", "65535");
    row("gain clamped", "[WAVE_ADC]\nGain2=300\n", "gain2", "255");
    row("baud 1200 kept", "[COM]\nBaud=1200\n", "rate", "1200");
    row("baud 1199", "[COM]\nBaud=1199\n", "rate", "115200");
    row("port 3 is kept by name", "[COM]\nPort=3\n", "portName", "COM3", "COM/ComName=COM3");
    row("green", "[COLOR]\nBackColor0=65280\n", "back0", "#00ff00", "COLOR/BackColor0=65280");
    row("directory", "[OTHERS]\nOldDir=/a b/c\n", "lastDir", "/a b/c", "OTHERS/OldDir=/a b/c");
    row("window function 5 kept", "[FFT]\nWinFun=5\n", "winFun", "5");
    row("window function 6", "[FFT]\nWinFun=6\n", "winFun", "0");
    // Earlier versions kept no own-colour flag: a text colour other than black was chosen.
    row("text colour of an earlier version", "[COLOR]\nTextColor1=255\n", "own1", "1",
        "READOUT/OwnTextColour1=1");
    row("black of an earlier version", "[COLOR]\nTextColor1=0\n", "own1", "0", "READOUT/OwnTextColour1=0");
    row("black chosen", "[COLOR]\nTextColor1=0\n[READOUT]\nOwnTextColour1=1\n", "own1", "1");
    row("own flag garbage", "[COLOR]\nTextColor1=255\n[READOUT]\nOwnTextColour1=7\n", "own1", "1");
    row("own flag off", "[COLOR]\nTextColor1=255\n[READOUT]\nOwnTextColour1=0\n", "own1", "0");
}

void TestSettings::conversions()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, field);
    QFETCH(QString, written);
    // One file per row: the settings class caches files by name and modification time.
    const QString path = tmp.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".ini"));
    writeIni(path, ini);
    ProgramSettings s;
    readSettings(path, s);
    const QMap<QString, QString> got{
        {"halfLength", QString::number(s.acquisition.halfLength)},
        {"unitVolts", QString::number(s.unitVolts)},
        {"waitCount", QString::number(s.acquisition.waitCount)},
        {"gain2", QString::number(s.acquisition.gain[2])},
        {"rate", QString::number(s.rate)},
        {"portName", s.portName},
        {"back0", s.backColours[0].name()},
        {"lastDir", s.lastDir},
        {"own1", QString::number(s.ownTextColours[1])},
        {"winFun", QString::number(s.winFun)},
    };
    QVERIFY(got.contains(field));
    QTEST(got.value(field), "expected");
    if (written.isEmpty())
        return;
    const QString back = path + QStringLiteral(".back");
    QVERIFY(writeSettings(back, s));
    QCOMPARE(iniValue(back, written.section(QLatin1Char('='), 0, 0)), written.section(QLatin1Char('='), 1));
}

void TestSettings::mainWindowLoadsAndSavesEveryKey()
{
    // Loaded from a file holding every key, each its own value, then saved: a field dropped or
    // swapped on either way shows in the saved file.
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    const QMap<QString, QString> keys = everyKey();
    {
        QSettings ini(appDir.filePath(QStringLiteral("adc.ini")), QSettings::IniFormat);
        for (auto k = keys.begin(); k != keys.end(); ++k)
            ini.setValue(k.key(), k.value());
    }
    MainWnd w;
    g_mainWnd = &w;
    QVERIFY(w.setupWindow());
    QCOMPARE(w.settingsDir, QDir::toNativeSeparators(appDir.path()) + QDir::separator());
    QVERIFY(w.unitVolts() && !w.forAll);
    QCOMPARE(g_acquisitionParameters.toBytes().toHex(), QByteArray("00001027020003040506050100"));
    QCOMPARE((QList<QColor>{g_traceColours[1], g_cursorColours[1], g_readoutTextColours[1],
                            g_readoutBackColours[1]}),
             (QList<QColor>{unpackColour(packed(1)), unpackColour(packed(5)), unpackColour(packed(9)),
                            unpackColour(packed(13))}));
    QVERIFY(std::isnan(g_locationSetup.channels[1].y)); // an empty Y: one coordinate

    // Saved into a fresh file: every key as read, except what changed since.
    QTemporaryDir saveDir;
    w.settingsDir = saveDir.path() + QDir::separator();
    w.setUnit(false);
    w.lastDir = QStringLiteral("/data/new");
    w.saveSettings();
    QVERIFY(!QApplication::overrideCursor());
    QMap<QString, QString> expected = keys;
    expected[QStringLiteral("WAVE_ADC/YAxis")] = QStringLiteral("0");
    expected[QStringLiteral("OTHERS/OldDir")] = QStringLiteral("/data/new");
    QSettings saved(saveDir.filePath(QStringLiteral("adc.ini")), QSettings::IniFormat);
    QMap<QString, QString> got;
    for (const QString& key : saved.allKeys())
        got.insert(key, saved.value(key).toString());
    QCOMPARE(got, expected);
    g_mainWnd = nullptr;
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
    {
        BoxAnswerer yes(QMessageBox::Yes, 2, [&](const SeenBox&) { QFile::remove(blocker); });
        w.saveSettings();
        QCOMPARE(yes.seen.size(), 1);
        QCOMPARE(yes.seen[0].text, QStringLiteral("Ошибка сохранения ini-файла.\nПовторить?"));
    }
    QVERIFY(QFile::exists(appDir.filePath(QStringLiteral("gone/adc.ini"))));
    g_mainWnd = nullptr;
}

void TestSettings::settingsPlace()
{
    // A copy that may write its directory keeps its file there; an installed one saves the user's
    // and reads the file beside it until the user has one.
    const QString dir = QStringLiteral("/opt/t"), user = QStringLiteral("/home/u/.config/Zoriv/tavrel");
    auto place = [&](bool writable, bool userHasFile) {
        const SettingsFiles f = settingsFiles(dir, writable, user, userHasFile);
        return QStringList{f.read, f.saveDir};
    };
    QCOMPARE(place(true, true), (QStringList{dir + "/adc.ini", dir}));
    QCOMPARE(place(false, false), (QStringList{dir + "/adc.ini", user}));
    QCOMPARE(place(false, true), (QStringList{user + "/adc.ini", user}));
}

void TestSettings::installedCopyKeepsSettingsPerUser()
{
    // An installed copy in prefix/bin, its menu entry in prefix/share/applications.
    QTemporaryDir prefix, home;
    g_appDir = prefix.filePath(QStringLiteral("bin"));
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/applications")) && QDir().mkpath(g_appDir));
    QVERIFY(keepsSettingsBeside(g_appDir));
    writeIni(prefix.filePath(QStringLiteral("share/applications/tavrel.desktop")), "[Desktop Entry]\n");
    QVERIFY(!keepsSettingsBeside(g_appDir));
    const QString beside = g_appDir + QStringLiteral("/adc.ini");
    writeIni(beside, "[FFT]\nWinFun=4\n");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Zoriv"));
    QCoreApplication::setApplicationName(QStringLiteral("tavrel"));
    const QString user = home.filePath(QStringLiteral("Zoriv/tavrel/adc.ini"));
    // First run: what the package brought along is read, the save goes to the user's directory.
    for (int run = 0; run < 2; ++run) {
        MainWnd w;
        g_mainWnd = &w;
        QVERIFY(w.setupWindow());
        QCOMPARE(g_winFun, run == 0 ? 4 : 2);
        g_winFun = 2;
        w.saveSettings();
        QCOMPARE(iniValue(user, QStringLiteral("FFT/WinFun")), QStringLiteral("2"));
        QCOMPARE(iniValue(beside, QStringLiteral("FFT/WinFun")), QStringLiteral("4"));
        g_mainWnd = nullptr;
    }
    qunsetenv("XDG_CONFIG_HOME");
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
