// The serial link and acquisition end to end against k4sim on a pseudo-terminal; the retries run
// through the in-process unit behind "K4-DEMO" (timing rules: README.md).

#include "acquisition.h"
#include "k4demo.h"
#include "rs232.h"
#include "wave_stor.h"

#include <Velkit/vlk_misc.h>

#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <ctime>

Q_DECLARE_METATYPE(AcquisitionParameters)

// Stands for the main window: its Stop slot stops the link.
class StopTarget : public QWidget
{
    Q_OBJECT
public:
    int stops = 0;
public slots:
    void slot_tStopReleased()
    {
        ++stops;
        abortLink();
    }
};

namespace {

constexpr qint64 Slack = 400;
const QByteArray Sync("\xFF\xFF\x55\xAA", 4);
const QString K4simExe = QStringLiteral(TAVREL_BIN_DIR "/k4sim");

const auto cpuMs = [] { return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC; };

// One k4sim process for a test, logging every byte it receives; the link points at its terminal.
struct K4Sim
{
    bool start(const QStringList& args)
    {
        process.start(K4simExe,
                      args + QStringList{"--rx-log", dir.filePath("rx"), "--lifetime-ms", "120000"});
        while (process.waitForStarted(5000) && !process.canReadLine())
            if (!process.waitForReadyRead(5000))
                return false;
        g_link.portName = path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path.isEmpty();
    }
    ~K4Sim()
    {
        process.kill();
        process.waitForFinished(3000);
    }
    QByteArray received() const
    {
        QFile f(dir.filePath("rx"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    QProcess process;
    QString path;
};

// Without k4sim (tools switched off) the tests through it skip themselves; no arguments: no k4sim.
#define START_K4SIM(sim, ...)                                                                                \
    if (!QStringList(__VA_ARGS__).isEmpty() && !QFileInfo::exists(K4simExe))                                 \
        QSKIP("k4sim is not built");                                                                         \
    K4Sim sim;                                                                                               \
    QVERIFY(QStringList(__VA_ARGS__).isEmpty() || sim.start(__VA_ARGS__));

AcquisitionParameters parameters(quint16 half, quint16 wait, quint8 mux, quint8 sync, quint8 detector,
                                 quint8 gain0 = 0, quint8 gainStep = 1, quint16 reserved = 0)
{
    AcquisitionParameters p;
    std::tie(p.reserved, p.halfLength, p.waitCount, p.mux, p.sync, p.detector) =
        std::tuple(reserved, half, wait, mux, sync, detector);
    for (int i = 0; i < 4; ++i)
        p.gain[i] = quint8(gain0 + gainStep * i); // distinct gains show their order
    return p;
}

// The in-process unit set up as k4sim would be by the same arguments (pacing and fault).
void setUpDemoUnit(const QStringList& args)
{
    auto value = [&](const char* option, const QString& fallback) {
        const int at = args.indexOf(QLatin1String(option));
        return at < 0 ? fallback : args.value(at + 1);
    };
    K4Fault fault;
    fault.kind = K4Fault::kindFromName(value("--fault", "none").toLatin1());
    fault.count = value("--fault-count", "-1").toInt();
    fault.command = value("--fault-command", "0").toInt(nullptr, 0);
    demoUnit().setFault(fault);
    demoUnit().setPaced(!args.contains(QStringLiteral("--no-pace")));
    demoUnit().setSeed(8);
    demoUnit().setVarySeed(false);
    g_link.portName = demoPortName();
}

// One command of the protocol with the program's parameter block; a channel goes to data.
bool runCommand(int command, int channel, QProgressBar* bar, QByteArray& data)
{
    quint8 state = 0xEE;
    if (command != 0x23)
        return command == 0x21 ? sendAcquisitionParameters(g_acquisitionParameters)
                               : queryUnitState(&state) && state == 0;
    data = QByteArray(2 * g_acquisitionParameters.halfLength, '\0');
    return readChannelData(channel, int(data.size()), bar, ChannelSpan([&](int offset, qint8** at) {
                               *at = reinterpret_cast<qint8*>(data.data()) + offset;
                               return int(data.size()) - offset;
                           }));
}

} // namespace

class TestAcquisition : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { QVERIFY(!linkIsOpen()); } // every command and every run leaves the port closed
    void wireBytes_data();
    void wireBytes();
    void linkFaults_data();
    void linkFaults();
    void handshakeReplyWait();
    void progressGivesActivationBack();
    void runs_data();
    void runs();
};

void TestAcquisition::init()
{
    closeLink();
    resetLinkFlags();
    g_link.rate = 115200;
    g_acquisitionParameters = AcquisitionParameters();
}

void TestAcquisition::wireBytes_data()
{
    QTest::addColumn<AcquisitionParameters>("block");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("frame"); // after the handshake
    const AcquisitionParameters zero = parameters(0, 0, 0, 0, 0, 0, 0);
    QTest::newRow("state") << zero << 0x22 << 0 << QByteArray("\x22\x22");
    QTest::newRow("parameters") << parameters(0x1234, 0xABCD, 7, 1, 0, 9, 1, 0x0102) << 0x21 << 0
                                << QByteArray("\x21\x02\x01\x34\x12\xCD\xAB\x09\x0A\x0B\x0C\x07\x01\x00\x14",
                                              15);
    const AcquisitionParameters p = parameters(50000, 24, 0, 0, 1);
    QTest::newRow("channel 2") << p << 0x23 << 2 << QByteArray("\x23\x00\x00\x50\xC3\x02\x38", 7);
    QTest::newRow("channel 300") << p << 0x23 << 300 << QByteArray("\x23\x00\x00\x50\xC3\xFF\x35", 7);
    QTest::newRow("channel -5") << p << 0x23 << -5 << QByteArray("\x23\x00\x00\x50\xC3\x00\x36", 7);
}

void TestAcquisition::wireBytes()
{
    QFETCH(AcquisitionParameters, block);
    QFETCH(int, command);
    QFETCH(int, channel);
    QFETCH(QByteArray, frame);
    START_K4SIM(sim, {"--no-pace"});
    g_acquisitionParameters = block;
    QByteArray data;
    QVERIFY(runCommand(command, channel, nullptr, data));
    QCOMPARE(sim.received().toHex(' '), (Sync + frame).toHex(' '));
}

void TestAcquisition::linkFaults_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("peak"); // highest value of the bar; -1: not checked
    // 40000 bytes of channel 1, the bar starting at 100.
    QTest::newRow("wrong handshake") << QStringList{"wrong-handshake"} << 0x22 << false << 0 << 100;
    QTest::newRow("no ack, parameters") << QStringList{"no-ack"} << 0x21 << false << 100 << 100;
    QTest::newRow("no ack, channel") << QStringList{"no-ack"} << 0x23 << false << 500 << 100;
    QTest::newRow("wrong checksum, channel") << QStringList{"wrong-checksum"} << 0x23 << false << 0 << 40100;
    QTest::newRow("garbage") << QStringList{"garbage"} << 0x21 << false << 0 << 100;
    QTest::newRow("stall") << QStringList{"stall", "--stall-ms", "-1"} << 0x23 << false << 1000 << 20100;
    QTest::newRow("stall 0.7 s") << QStringList{"stall", "--stall-ms", "700"} << 0x23 << true << 700 << 40100;
    QTest::newRow("hang-up in a channel") << QStringList{"hang-up"} << 0x23 << false << 0 << -1;
}

void TestAcquisition::linkFaults()
{
    QFETCH(QStringList, fault);
    QFETCH(int, command);
    QFETCH(bool, succeeds);
    QFETCH(int, minMs);
    QFETCH(int, peak);
    START_K4SIM(sim, QStringList{"--no-pace", "--seed", "42", "--fault-command", QString::number(command),
                                 "--fault"} +
                         fault);
    g_acquisitionParameters = parameters(20000, 2, 0, 0, 0);
    if (command == 0x23)
        QVERIFY(sendAcquisitionParameters(g_acquisitionParameters));
    QProgressBar bar;
    bar.setRange(0, 100000);
    bar.setValue(100);
    int highest = 100;
    connect(&bar, &QProgressBar::valueChanged, this, [&](int v) { highest = std::max(highest, v); });
    QByteArray data;
    const double c0 = cpuMs();
    const qint64 t0 = velkit::monotonicMs();
    QCOMPARE(runCommand(command, 1, &bar, data), succeeds);
    const qint64 ms = velkit::monotonicMs() - t0;
    const double cpu = cpuMs() - c0;
    // No timeout ends early, and none is waited out when the line is gone.
    QVERIFY2(ms >= minMs && ms < std::max(minMs, 100) + Slack, qPrintable(QString::number(ms)));
    QVERIFY(!linkIsOpen());
    if (peak >= 0)
        QCOMPARE(highest, peak);
    // A failed read puts the bar back so that a retry starts from the same place.
    QCOMPARE(bar.value(), succeeds ? 40100 : 100);
    if (succeeds)
        QVERIFY(data == k4ChannelBytes(K4Setup::fromBlock(g_acquisitionParameters.toBytes()), 42, 1));
    // However it ended, it did not spin while it waited.
    QVERIFY2(cpu < 0.5 * double(ms) + 30, qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(ms)));
}

void TestAcquisition::handshakeReplyWait()
{
    // The reply is waited for 500 ms, no longer: at rate 25 it comes after 400 ms, at 8 after 1250.
    for (const int rate : {25, 8}) {
        setUpDemoUnit({});
        QCOMPARE(openLink(demoPortName(), rate), 0);
        const qint64 t0 = velkit::monotonicMs();
        const bool synced = syncUnit();
        const qint64 ms = velkit::monotonicMs() - t0;
        closeLink();
        QCOMPARE(synced, rate == 25);
        QVERIFY2(ms >= (synced ? 400 : 500) && ms < 500 + Slack, qPrintable(QString::number(ms)));
    }
}

void TestAcquisition::progressGivesActivationBack()
{
    // The window active before is active again when it closes, also when none was in the meantime.
    QWidget below;
    below.show();
    for (const bool noneActive : {false, true}) {
        below.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &below);
        auto* progress = new UnClosableDialog(&below);
        progress->show();
        progress->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), progress);
        if (noneActive)
            QApplication::setActiveWindow(nullptr);
        delete progress;
        QTRY_COMPARE(QApplication::activeWindow(), &below);
    }
}

void TestAcquisition::runs_data()
{
    QTest::addColumn<QStringList>("args"); // of k4sim, or "demo" and the same for the in-process unit
    QTest::addColumn<int>("samples");      // per channel
    // Stop pressed stopDelay ms after the unit got these bytes ("stream": in the first channel).
    QTest::addColumn<QByteArray>("stopAfter");
    QTest::addColumn<int>("stopDelay");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("putBack"); // times the bar was put back
    auto row = [](const char* name, const QStringList& args, int samples, bool succeeds, int putBack = 0,
                  const QByteArray& stopAfter = {}, int stopDelay = 0) {
        QTest::newRow(name) << args << samples << stopAfter << stopDelay << succeeds << putBack;
    };
    auto demo = [](const char* fault, int count, int command) {
        return QStringLiteral("demo --no-pace --fault %1 --fault-count %2 --fault-command %3")
            .arg(QLatin1String(fault), QString::number(count), QString::number(command))
            .split(' ');
    };
    row("4 x 100000, paced", {"--baud", "921600"}, 100000, true);
    // The in-process unit at 115200 baud, its opposite settings (inputs 29..32, detector off);
    // two state queries go unanswered: long receive waits.
    row("demo unit, paced", demo("no-ack", 2, 0x22).mid(2) << "demo", 4000, true);
    // Three attempts per command.
    row("parameters fail twice", demo("no-ack", 2, 0x21), 4000, true);
    row("parameters fail thrice", demo("no-ack", 3, 0x21), 4000, false);
    row("channel fails twice", demo("wrong-checksum", 2, 0x23), 4000, true, 2);
    row("channel fails thrice", demo("wrong-checksum", 3, 0x23), 4000, false, 3);
    // Stop during each kind of wait.
    row("Stop: handshake reply", {"--baud", "50"}, 4000, false, 0, Sync);
    row("Stop: acknowledgement", {"--fault", "no-ack"}, 4000, false, 0, Sync + "\x21");
    row("Stop: pause after parameters", {"--no-pace"}, 4000, false, 0, Sync + "\x21", 40);
    row("Stop: unit busy", {"--fault", "busy-forever"}, 4000, false, 0, Sync + "\x22\x22");
    row("Stop: channel stream", {"--baud", "9600"}, 4000, false, 1, "stream");
}

void TestAcquisition::runs()
{
    QFETCH(QStringList, args);
    QFETCH(int, samples);
    QFETCH(QByteArray, stopAfter);
    QFETCH(int, stopDelay);
    QFETCH(bool, succeeds);
    QFETCH(int, putBack);
    const bool demo = args.contains(QStringLiteral("demo"));
    setUpDemoUnit(demo ? args : QStringList());
    START_K4SIM(sim, demo ? QStringList() : args + QStringList{"--seed", "8"});
    const AcquisitionParameters& p = g_acquisitionParameters =
        demo ? parameters(quint16(samples / 2), 2, 7, 1, 0) : parameters(quint16(samples / 2), 24, 2, 0, 1);
    TWaveStor record;
    QVERIFY(record.init(4, samples));
    record.channel(1)->setUnipolar(); // left over from an earlier record
    const TWaveHeader before = record.header;
    StopTarget main;
    qint64 pressed = 0;
    auto stop = [&] { // presses STOP as a click does, once closing the progress dialog has failed
        auto* dialog = main.findChild<UnClosableDialog*>("LoadProgress");
        if (!dialog || pressed)
            return;
        dialog->close();
        QTest::keyClick(dialog, Qt::Key_Escape);
        pressed = dialog->isVisible() ? velkit::monotonicMs() : -1;
        if (dialog->isVisible())
            emit dialog->findChild<QToolButton*>("tStop")->released();
    };
    const bool onStream = stopAfter == "stream";
    int maximum = -1, highest = -1, drops = 0;
    qint64 stopAt = 0;
    QTimer watch; // finds the bar of the progress dialog and the moment to press Stop
    connect(&watch, &QTimer::timeout, this, [&] {
        if (!stopAt && !onStream && !stopAfter.isEmpty() && sim.received().contains(stopAfter))
            stopAt = velkit::monotonicMs() + stopDelay;
        if (stopAt && velkit::monotonicMs() >= stopAt)
            stop();
        auto* bar = main.findChild<QProgressBar*>("progressBar");
        if (bar && maximum < 0) {
            maximum = bar->maximum();
            connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
                drops += v < highest ? 1 : 0;
                highest = std::max(highest, v);
                if (onStream && v > 520)
                    stop();
            });
        }
    });
    watch.start(2);
    const double c0 = cpuMs();
    const qint64 t0 = velkit::monotonicMs();
    QCOMPARE(acquireFromUnit(record, &main), succeeds);
    const qint64 ms = velkit::monotonicMs() - t0;
    const double cpu = cpuMs() - c0;
    const qint64 answered = velkit::monotonicMs() - pressed;
    QVERIFY(!main.findChild<QDialog*>("LoadProgress"));
    QCOMPARE(drops, putBack); // a failed read of a channel puts the bar back for the next attempt
    if (demo && demoUnit().paced()) {
        // 16000 bytes take 1389 ms on the line, two state timeouts 1000 ms; waits block.
        QVERIFY2(ms >= 1389 + 1000, qPrintable(QString::number(ms)));
        QVERIFY2(cpu < 0.25 * double(ms), qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(ms)));
    }
    if (succeeds) {
        // Every sample is the unit's, and the headers describe the run.
        QCOMPARE(maximum, 4 * samples + 20);
        QCOMPARE(highest, maximum);
        const K4Setup setup = K4Setup::fromBlock(p.toBytes());
        for (int ch = 0; ch < 4; ++ch) {
            QByteArray got(samples, '\0');
            for (int i = 0; i < samples; ++i)
                got[i] = char(record.channel(ch)->sample(i));
            QVERIFY2(got == k4ChannelBytes(setup, 8, ch), "samples differ from the unit's");
            QCOMPARE(record.channelHeader(ch)->input, quint8(4 * p.mux + 1 + ch));
            QCOMPARE(record.channelHeader(ch)->gainCode, quint16(ch));
            QCOMPARE(record.channel(ch)->unipolar, p.detector != 0);
            QVERIFY(record.channel(ch)->visible);
        }
        const TWaveHeader& h = record.header;
        QCOMPARE((QList<int>{h.divider, h.clockKHz, h.extSync, h.detector, h.winStart, h.winWidth}),
                 (QList<int>{demo ? 12 : 100, 12000, p.sync, p.detector, 0, samples}));
        return;
    }
    // A failed run leaves the headers as they were and shows no channel.
    QVERIFY(std::memcmp(&before, &record.header, sizeof before) == 0);
    for (int ch = 0; ch < 4; ++ch)
        QVERIFY(!record.channel(ch)->visible);
    if (stopAfter.isEmpty())
        return;
    QVERIFY(pressed > 0);
    QCOMPARE(main.stops, 1);
    QVERIFY2(answered < Slack, qPrintable(QString::number(answered)));
    if (!onStream)
        QCOMPARE(highest, -1); // the bar does not move until the unit has finished
    // The next run is not ended by this Stop.
    g_link.portName = demoPortName();
    demoUnit().setPaced(false);
    QVERIFY(acquireFromUnit(record, &main));
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
