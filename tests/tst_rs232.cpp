// The link against the in-process unit behind "K4-DEMO": bytes on the wire, faults, timeouts,
// Stop during each kind of wait, and waits that do not spin.

#include "k4demo.h"
#include "rs232.h"

#include <Velkit/vlk_misc.h>

#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <vector>


// Lower bounds of waits are exact (nothing may end early); upper bounds leave room for a
// loaded machine or a sanitizer build. The tight figures are measured by bench_link.
constexpr qint64 Slack = 400;

namespace {

const QByteArray Sync("\xFF\xFF\x55\xAA", 4);

// A channel buffer laid out like the program's: blocks of 32768 samples.
struct BlockBuffer
{
    explicit BlockBuffer(int count)
        : count(count)
    {
        for (int left = count; left > 0; left -= 32768)
            blocks.emplace_back(std::min(left, 32768), qint8(0x55));
    }
    int chunkAt(int i, qint8** out)
    {
        if (!out)
            return 0;
        *out = blocks[size_t(i / 32768)].data() + i % 32768;
        return 32768 - i % 32768;
    }
    QByteArray bytes() const
    {
        QByteArray all;
        for (const auto& b : blocks)
            all.append(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        return all;
    }
    int count;
    std::vector<std::vector<qint8>> blocks;
};

double cpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

K4Setup setupOf(const AcquisitionParameters& p)
{
    return K4Setup::fromBlock(p.toBytes());
}

} // namespace

class TestRs232 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void parameterBlockLayout();
    void wireBytes_data();
    void wireBytes();
    void fullAcquisitionIntoBlocks();
    void pacedChannelTakesLineTime();
    void faults_data();
    void faults();
    void busyUnitIsReportedNotFailed();
    void stallLongerThanASecondFailsAndRewindsBar();
    void shortStallIsTolerated();
    void timeoutsAreExact();
    void stopDuringEachWait_data();
    void stopDuringEachWait();
    void openFailures();
    void waitsDoNotSpin();
    void pauseServesEvents();

private:
    K4Unit& unit() { return demoUnit(); }
};

void TestRs232::init()
{
    closeLink();
    resetLinkFlags();
    unit().setFault(K4Fault());
    unit().setPaced(false);
    unit().setSeed(77);
    unit().setVarySeed(false);
    unit().clearLog();
    g_link.portName = demoPortName();
    g_link.rate = 115200;
    g_acquisitionParameters = AcquisitionParameters();
}

void TestRs232::cleanup()
{
    QVERIFY(!linkIsOpen()); // every command leaves the port closed
}

void TestRs232::parameterBlockLayout()
{
    AcquisitionParameters p;
    p.reserved = 0x0102;
    p.halfLength = 0x1234;
    p.waitCount = 0xABCD;
    p.gain[0] = 1;
    p.gain[1] = 2;
    p.gain[2] = 3;
    p.gain[3] = 12;
    p.mux = 7;
    p.sync = 1;
    p.detector = 0;
    const QByteArray wire("\x02\x01\x34\x12\xCD\xAB\x01\x02\x03\x0C\x07\x01\x00", 13);
    QCOMPARE(p.toBytes(), wire);
    AcquisitionParameters q;
    QVERIFY(q.fromBytes(wire));
    QVERIFY(q == p);
    QVERIFY(!q.fromBytes(wire.left(12)));
    QVERIFY(q == p);
}

void TestRs232::wireBytes_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("state query") << 0x22 << 0 << QByteArray("\x22\x22");
    QTest::newRow("zero parameters") << 0x21 << 0 << QByteArray("\x21", 1) + QByteArray(13, '\0') + "\x21";
    QTest::newRow("channel 2") << 0x23 << 2 << QByteArray("\x23\x00\x00\x50\xC3\x02\x38", 7);
    QTest::newRow("channel 300 -> 255") << 0x23 << 300 << QByteArray("\x23\x00\x00\x50\xC3\xFF\x35", 7);
    QTest::newRow("channel -5 -> 0") << 0x23 << -5 << QByteArray("\x23\x00\x00\x50\xC3\x00\x36", 7);
}

void TestRs232::wireBytes()
{
    QFETCH(int, command);
    QFETCH(int, channel);
    QFETCH(QByteArray, frame);
    bool ok = false;
    if (command == 0x22) {
        quint8 state = 0xEE;
        ok = queryUnitState(&state);
        QCOMPARE(state, quint8(0));
    } else if (command == 0x21) {
        AcquisitionParameters zero;
        zero.halfLength = 0;
        zero.waitCount = 0;
        zero.detector = 0;
        ok = sendAcquisitionParameters(zero);
    } else {
        g_acquisitionParameters.halfLength = 50000;
        BlockBuffer buf(100000);
        ok = readChannelData(channel, 100000, nullptr, buf);
    }
    QVERIFY(ok);
    QCOMPARE(unit().receivedLog(), Sync + frame);
}

void TestRs232::fullAcquisitionIntoBlocks()
{
    g_acquisitionParameters.halfLength = 50000;
    g_acquisitionParameters.waitCount = 5; // 500 kHz: 200 ms of busy time
    g_acquisitionParameters.gain[1] = 3;
    g_acquisitionParameters.mux = 2;
    QVERIFY(sendAcquisitionParameters(g_acquisitionParameters));
    quint8 state = 0;
    int polls = 0;
    do {
        QVERIFY(queryUnitState(&state));
        ++polls;
        pauseWithEvents(20);
    } while (state != 0 && polls < 100);
    QCOMPARE(state, quint8(0));
    QVERIFY(polls > 1); // it was busy for a while

    QProgressBar bar;
    bar.setRange(0, 4 * 100000 + 20);
    bar.setValue(20);
    for (int ch = 0; ch < 4; ++ch) {
        BlockBuffer buf(100000);
        QVERIFY(readChannelData(ch, 100000, &bar, buf));
        QCOMPARE(buf.bytes(), k4ChannelBytes(setupOf(g_acquisitionParameters), 77, ch));
        QCOMPARE(bar.value(), 20 + (ch + 1) * 100000);
    }
}

void TestRs232::pacedChannelTakesLineTime()
{
    g_acquisitionParameters.halfLength = 1440;
    g_acquisitionParameters.detector = 0;
    QVERIFY(sendAcquisitionParameters(g_acquisitionParameters));
    unit().setPaced(true);
    g_link.rate = 57600; // 5760 bytes per second
    BlockBuffer buf(2880);
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(readChannelData(1, 2880, nullptr, buf));
    const qint64 ms = velkit::monotonicMs() - t0;
    // 2880 data bytes plus a few of protocol: 500 ms on the line, and not much more.
    QVERIFY2(ms >= 500 && ms < 500 + Slack, qPrintable(QString::number(ms)));
    QCOMPARE(buf.bytes(), k4ChannelBytes(setupOf(g_acquisitionParameters), 77, 1));
}

void TestRs232::faults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("wrong handshake") << int(K4Fault::WrongHandshake) << 0x22 << 0 << 30;
    QTest::newRow("no ack, parameters") << int(K4Fault::NoAck) << 0x21 << 100 << 130;
    QTest::newRow("no ack, state") << int(K4Fault::NoAck) << 0x22 << 500 << 530;
    QTest::newRow("no ack, channel") << int(K4Fault::NoAck) << 0x23 << 500 << 530;
    QTest::newRow("wrong ack") << int(K4Fault::WrongAck) << 0x21 << 0 << 30;
    QTest::newRow("wrong checksum, state") << int(K4Fault::WrongChecksum) << 0x22 << 0 << 30;
    QTest::newRow("wrong checksum, channel") << int(K4Fault::WrongChecksum) << 0x23 << 0 << 60;
    QTest::newRow("garbage") << int(K4Fault::Garbage) << 0x23 << 0 << 30;
    QTest::newRow("hang-up, state") << int(K4Fault::HangUp) << 0x22 << 0 << 30;
    QTest::newRow("hang-up in a channel") << int(K4Fault::HangUp) << 0x23 << 0 << 60;
}

void TestRs232::faults()
{
    QFETCH(int, kind);
    QFETCH(int, command);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    K4Fault f;
    f.kind = K4Fault::Kind(kind);
    f.count = 1;
    unit().setFault(f);
    g_acquisitionParameters.halfLength = 20000;
    QProgressBar bar;
    bar.setRange(0, 100000);
    bar.setValue(7);

    auto run = [&] {
        if (command == 0x21)
            return sendAcquisitionParameters(g_acquisitionParameters);
        if (command == 0x22) {
            quint8 s = 0;
            return queryUnitState(&s);
        }
        BlockBuffer buf(40000);
        return readChannelData(0, 40000, &bar, buf);
    };
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(!run());
    const qint64 ms = velkit::monotonicMs() - t0;
    QVERIFY2(ms >= minMs && ms <= maxMs + Slack, qPrintable(QString::number(ms)));
    QVERIFY(!linkIsOpen());
    QCOMPARE(bar.value(), 7);
    // The fault was for one frame only: the next attempt goes through.
    QVERIFY(run());
    if (command == 0x23)
        QCOMPARE(bar.value(), 40007);
}

void TestRs232::busyUnitIsReportedNotFailed()
{
    K4Fault f;
    f.kind = K4Fault::BusyForever;
    unit().setFault(f);
    quint8 state = 0;
    QVERIFY(queryUnitState(&state));
    QCOMPARE(state, quint8(1));
}

void TestRs232::stallLongerThanASecondFailsAndRewindsBar()
{
    K4Fault f;
    f.kind = K4Fault::Stall;
    f.stallMs = -1;
    unit().setFault(f);
    g_acquisitionParameters.halfLength = 10000;
    QProgressBar bar;
    bar.setRange(0, 100000);
    bar.setValue(20);
    int highest = 0;
    connect(&bar, &QProgressBar::valueChanged, this, [&](int v) { highest = std::max(highest, v); });
    BlockBuffer buf(20000);
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(!readChannelData(0, 20000, &bar, buf));
    const qint64 ms = velkit::monotonicMs() - t0;
    QVERIFY2(ms >= 1000 && ms < 1000 + Slack, qPrintable(QString::number(ms)));
    QCOMPARE(highest, 20 + 10000); // it moved with the first half
    QCOMPARE(bar.value(), 20);     // and went back
}

void TestRs232::shortStallIsTolerated()
{
    K4Fault f;
    f.kind = K4Fault::Stall;
    f.stallMs = 800;
    unit().setFault(f);
    g_acquisitionParameters.halfLength = 1000;
    BlockBuffer buf(2000);
    QVERIFY(readChannelData(3, 2000, nullptr, buf));
    QCOMPARE(buf.bytes(), k4ChannelBytes(setupOf(g_acquisitionParameters), 77, 3));
}

void TestRs232::timeoutsAreExact()
{
    QCOMPARE(openLink(demoPortName(), 115200), 0);
    for (int timeout : {0, 1, 37, 300}) {
        const qint64 t0 = velkit::monotonicMs();
        QCOMPARE(receiveByte(timeout), quint8(0));
        const qint64 ms = velkit::monotonicMs() - t0;
        QVERIFY(g_link.timedOut);
        QVERIFY2(ms > timeout && ms <= timeout + Slack,
                 qPrintable(QStringLiteral("%1: %2").arg(timeout).arg(ms)));
    }
    closeLink();
}

void TestRs232::stopDuringEachWait_data()
{
    QTest::addColumn<QString>("wait");
    QTest::addColumn<int>("stopAtMs");
    QTest::newRow("handshake reply") << "handshake" << 60;
    QTest::newRow("acknowledgement") << "ack" << 120;
    QTest::newRow("state reply") << "state" << 330;
    QTest::newRow("pause after parameters") << "pause" << 40;
    QTest::newRow("channel stream") << "stream" << 300;
    QTest::newRow("channel checksum") << "checksum" << 300;
}

void TestRs232::stopDuringEachWait()
{
    QFETCH(QString, wait);
    QFETCH(int, stopAtMs);
    g_acquisitionParameters.halfLength = 100;
    K4Fault f;
    if (wait == "handshake") {
        unit().setPaced(true);
        g_link.rate = 50; // one byte takes 200 ms
    } else if (wait == "ack") {
        f.kind = K4Fault::NoAck;
    } else if (wait == "state") {
        unit().setPaced(true);
        g_link.rate = 75; // 133 ms per byte: the acknowledgement comes at 270 ms, the state at 400
    } else if (wait == "stream") {
        f.kind = K4Fault::Stall;
        f.stallMs = -1;
    } else if (wait == "checksum") {
        unit().setPaced(true);
        g_link.rate = 150; // the data bytes come quickly enough, then the stop
        g_acquisitionParameters.halfLength = 2;
    }
    unit().setFault(f);

    auto run = [&] {
        if (wait == "pause")
            return sendAcquisitionParameters(g_acquisitionParameters);
        if (wait == "handshake" || wait == "ack" || wait == "state") {
            quint8 s = 0;
            return queryUnitState(&s);
        }
        BlockBuffer buf(2 * g_acquisitionParameters.halfLength);
        return readChannelData(0, 2 * g_acquisitionParameters.halfLength, nullptr, buf);
    };
    if (wait == "checksum") {
        // At 150 baud a byte takes 67 ms: handshake reply, acknowledgement and four data bytes
        // are in by about 410 ms, the checksum byte would come at about 470 ms.
        stopAtMs = 440;
    }
    qint64 stoppedAt = 0;
    QTimer::singleShot(stopAtMs, this, [&] {
        stoppedAt = velkit::monotonicMs();
        abortLink();
    });
    QVERIFY(!run());
    const qint64 answered = velkit::monotonicMs() - stoppedAt;
    QVERIFY(stoppedAt != 0);
    QVERIFY2(answered < Slack, qPrintable(QString::number(answered)));
    QVERIFY(g_link.aborted);
    QVERIFY(!linkIsOpen());

    // Until the flags are reset, every command fails at once and sends nothing.
    unit().clearLog();
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(!run());
    QVERIFY(velkit::monotonicMs() - t0 < Slack);
    QVERIFY(unit().receivedLog().isEmpty());
    resetLinkFlags();
    unit().setFault(K4Fault());
    unit().setPaced(false);
    QVERIFY(run());
}

void TestRs232::openFailures()
{
    g_link.aborted = true;
    QVERIFY(openLink(QStringLiteral("/dev/tavrel-no-such-port"), 115200) != 0);
    QVERIFY(g_link.aborted); // only a successful opening clears the flags
    QVERIFY(!linkIsOpen());
    QVERIFY(openLink(demoPortName(), 0) != 0);
    QVERIFY(g_link.aborted);
    QCOMPARE(reopenLink(demoPortName(), 9600), 0);
    QVERIFY(!g_link.aborted);
    QVERIFY(linkIsOpen());
    closeLink();
    QVERIFY(!linkIsOpen());

    // A command on a port that does not open fails at its handshake and sends nothing.
    g_link.portName = QStringLiteral("/dev/tavrel-no-such-port");
    quint8 s = 0;
    QVERIFY(!queryUnitState(&s));
    QVERIFY(unit().receivedLog().isEmpty());
    QVERIFY(!sendBytes(nullptr, 1));
}

void TestRs232::waitsDoNotSpin()
{
    // A receive wait with nothing coming and a channel stream that stalls: both must block
    // between polls rather than spin.
    QCOMPARE(openLink(demoPortName(), 115200), 0);
    double c0 = cpuMs();
    qint64 t0 = velkit::monotonicMs();
    receiveByte(400);
    double cpu = cpuMs() - c0;
    double wall = double(velkit::monotonicMs() - t0);
    closeLink();
    QVERIFY2(cpu < 0.5 * wall, qPrintable(QStringLiteral("%1 of %2 ms").arg(cpu).arg(wall)));

    K4Fault f;
    f.kind = K4Fault::Stall;
    f.stallMs = -1;
    unit().setFault(f);
    g_acquisitionParameters.halfLength = 100;
    BlockBuffer buf(200);
    c0 = cpuMs();
    t0 = velkit::monotonicMs();
    QVERIFY(!readChannelData(0, 200, nullptr, buf));
    cpu = cpuMs() - c0;
    wall = double(velkit::monotonicMs() - t0);
    QVERIFY2(cpu < 0.5 * wall, qPrintable(QStringLiteral("%1 of %2 ms").arg(cpu).arg(wall)));
}

void TestRs232::pauseServesEvents()
{
    int fired = 0;
    QTimer::singleShot(30, this, [&] { ++fired; });
    qint64 t0 = velkit::monotonicMs();
    pauseWithEvents(120);
    const qint64 ms = velkit::monotonicMs() - t0;
    QVERIFY2(ms >= 120 && ms < 120 + Slack, qPrintable(QString::number(ms)));
    QCOMPARE(fired, 1);
    t0 = velkit::monotonicMs();
    pauseWithEvents(0);
    pauseWithEvents(-5);
    QVERIFY(velkit::monotonicMs() - t0 < Slack);
}

QTEST_MAIN(TestRs232)
#include "tst_rs232.moc"
