// The emulated K4 unit on its own: its signals and its side of the protocol, driven with a
// virtual clock.

#include "k4demo.h"

#include <QtTest>

#include <cmath>

namespace {

QByteArray block(quint16 half, quint16 wait, quint8 gain = 0, quint8 mux = 0, quint8 sync = 0, quint8 det = 0)
{
    QByteArray b(13, '\0');
    b[2] = char(half & 0xFF);
    b[3] = char(half >> 8);
    b[4] = char(wait & 0xFF);
    b[5] = char(wait >> 8);
    for (int i = 6; i < 10; ++i)
        b[i] = char(gain);
    b[10] = char(mux);
    b[11] = char(sync);
    b[12] = char(det);
    return b;
}

QByteArray frame(quint8 cmd, const QByteArray& payload)
{
    QByteArray f;
    f.append(char(cmd));
    f.append(payload);
    quint8 s = cmd;
    for (char c : payload)
        s = quint8(s + quint8(c));
    f.append(char(s));
    return f;
}

const QByteArray Sync("\xFF\xFF\x55\xAA", 4);

QByteArray readAll(K4Unit& u, double t)
{
    QByteArray out(int(u.available(t)), '\0');
    out.resize(int(u.read(out.data(), out.size(), t)));
    return out;
}

// Sends a handshake and a frame at time t; returns everything the unit answered by t.
QByteArray command(K4Unit& u, quint8 cmd, const QByteArray& payload, double t)
{
    u.receive(Sync.constData(), Sync.size(), t);
    const QByteArray f = frame(cmd, payload);
    u.receive(f.constData(), f.size(), t);
    return readAll(u, t);
}

QByteArray readRequest(quint16 half, quint8 channel)
{
    QByteArray r(5, '\0');
    r[2] = char(half & 0xFF);
    r[3] = char(half >> 8);
    r[4] = char(channel);
    return r;
}

quint8 sum(const QByteArray& d)
{
    quint8 s = 0;
    for (char c : d)
        s = quint8(s + quint8(c));
    return s;
}

K4Unit unpaced(quint32 seed = 7)
{
    K4Unit u;
    u.setPaced(false);
    u.setSeed(seed);
    u.connectLine(0);
    return u;
}

} // namespace

class TestK4Demo : public QObject
{
    Q_OBJECT
private slots:
    void signalIsReproducibleAndPrefixStable();
    void inputsDiffer();
    void bipolarSignalLooksLikeBursts();
    void detectorGivesEnvelope();
    void gainScalesAndClips();
    void channelsAboveThreeAreSilent();
    void acquisitionTimeFollowsRateAndSync();

    void handshakeAndStateQuery();
    void badChecksumIsRefused();
    void busyUntilTheRecordIsTaken();
    void channelReplyIsDataAndChecksum();
    void repliesArePacedAtTheLineRate();
    void resyncAfterStrayBytes();
    void faults_data();
    void faults();
    void faultCountAndCommandFilter();
    void stallResumesAfterItsTime();
};

void TestK4Demo::signalIsReproducibleAndPrefixStable()
{
    const K4Setup s = K4Setup::fromBlock(block(50000, 24));
    const QByteArray a = k4ChannelBytes(s, 11, 1);
    QCOMPARE(a.size(), 100000);
    QCOMPARE(k4ChannelBytes(s, 11, 1), a);
    QCOMPARE(k4ChannelBytes(s, 11, 1, 3000), a.left(3000));
    QVERIFY(k4ChannelBytes(s, 12, 1) != a);
}

void TestK4Demo::inputsDiffer()
{
    const K4Setup g0 = K4Setup::fromBlock(block(20000, 24, 0, 0));
    const K4Setup g2 = K4Setup::fromBlock(block(20000, 24, 0, 2));
    QSet<QByteArray> seen;
    for (int ch = 0; ch < 4; ++ch) {
        seen.insert(k4ChannelBytes(g0, 3, ch));
        seen.insert(k4ChannelBytes(g2, 3, ch));
    }
    QCOMPARE(seen.size(), 8); // eight inputs, eight different signals
    QCOMPARE(g2.input(0), 9);
    QCOMPARE(g2.input(3), 12);
}

void TestK4Demo::bipolarSignalLooksLikeBursts()
{
    const K4Setup s = K4Setup::fromBlock(block(50000, 24));
    for (int ch = 0; ch < 4; ++ch) {
        const QByteArray d = k4ChannelBytes(s, 5, ch);
        qint64 total = 0;
        int quiet = 0;
        int peak = 0;
        for (char c : d) {
            total += qint8(c);
            if (std::abs(int(qint8(c))) <= 2)
                ++quiet;
            peak = std::max(peak, std::abs(int(qint8(c))));
        }
        // Low noise most of the time, a few loud bursts, no offset.
        QVERIFY2(quiet > d.size() * 9 / 10, qPrintable(QString::number(quiet)));
        QVERIFY2(peak >= 10, qPrintable(QString::number(peak)));
        QVERIFY(std::abs(double(total) / d.size()) < 0.5);
    }
}

void TestK4Demo::detectorGivesEnvelope()
{
    const K4Setup s = K4Setup::fromBlock(block(50000, 24, 1, 0, 0, 1));
    const QByteArray d = k4ChannelBytes(s, 5, 0);
    int peak = 0;
    for (char c : d) {
        QVERIFY(qint8(c) >= 0);
        peak = std::max(peak, int(qint8(c)));
    }
    QVERIFY(peak >= 10);
}

void TestK4Demo::gainScalesAndClips()
{
    auto energy = [](const QByteArray& d) {
        double e = 0;
        for (char c : d)
            e += std::abs(int(qint8(c)));
        return e;
    };
    double previous = -1;
    for (quint8 g : {0, 1, 2, 3}) {
        const double e = energy(k4ChannelBytes(K4Setup::fromBlock(block(20000, 24, g)), 9, 2));
        QVERIFY(e > previous * 1.5); // noise and bursts grow with the gain
        previous = e;
    }
    const QByteArray loud = k4ChannelBytes(K4Setup::fromBlock(block(20000, 24, 12)), 9, 2);
    int clipped = 0;
    for (char c : loud)
        clipped += (qint8(c) == 127 || qint8(c) == -128) ? 1 : 0;
    QVERIFY(clipped > loud.size() * 9 / 10);
}

void TestK4Demo::channelsAboveThreeAreSilent()
{
    const K4Setup s = K4Setup::fromBlock(block(100, 24));
    QCOMPARE(k4ChannelBytes(s, 1, 4), QByteArray(200, '\0'));
    QCOMPARE(k4ChannelBytes(s, 1, 255), QByteArray(200, '\0'));
}

void TestK4Demo::acquisitionTimeFollowsRateAndSync()
{
    // 100000 samples at 120 kHz take 833.3 ms; external sync adds the trigger wait.
    const K4Setup in = K4Setup::fromBlock(block(50000, 24));
    QVERIFY(std::abs(k4AcquisitionMs(in, 1) - 833.333) < 0.01);
    const K4Setup ext = K4Setup::fromBlock(block(50000, 24, 0, 0, 1));
    QVERIFY(k4AcquisitionMs(ext, 1) >= 833.333 + 20);
    QVERIFY(k4AcquisitionMs(ext, 1) <= 833.334 + 300);
}

void TestK4Demo::handshakeAndStateQuery()
{
    K4Unit u = unpaced();
    u.receive(Sync.constData(), 4, 0);
    QCOMPARE(readAll(u, 0), QByteArray("\xA5", 1));
    u.receive("\x22\x22", 2, 0);
    QCOMPARE(readAll(u, 0), QByteArray("\x00\x00\x00", 3)); // ack, state 0, checksum
    QCOMPARE(u.receivedLog(), Sync + QByteArray("\x22\x22"));
    QCOMPARE(u.frames(), 1);
}

void TestK4Demo::badChecksumIsRefused()
{
    K4Unit u = unpaced();
    u.receive(Sync.constData(), 4, 0);
    QByteArray f = frame(0x21, block(500, 24));
    f[f.size() - 1] = char(f[f.size() - 1] + 1);
    u.receive(f.constData(), f.size(), 0);
    QCOMPARE(readAll(u, 0), QByteArray("\xA5\xFF", 2));
    QCOMPARE(u.acquisitions(), 0);
    QVERIFY(!u.busy(0));
}

void TestK4Demo::busyUntilTheRecordIsTaken()
{
    K4Unit u = unpaced();
    QCOMPARE(command(u, 0x21, block(3000, 99), 1000), QByteArray("\xA5\x00", 2));
    // 6000 samples at 30 kHz: 200 ms.
    QCOMPARE(command(u, 0x22, {}, 1199), QByteArray("\xA5\x00\x01\x01", 4));
    QCOMPARE(command(u, 0x22, {}, 1200.5), QByteArray("\xA5\x00\x00\x00", 4));
    QCOMPARE(u.acquisitions(), 1);
}

void TestK4Demo::channelReplyIsDataAndChecksum()
{
    K4Unit u = unpaced(21);
    command(u, 0x21, block(1000, 24, 2, 1), 0);
    const QByteArray reply = command(u, 0x23, readRequest(1000, 3), 10000);
    const QByteArray data = k4ChannelBytes(K4Setup::fromBlock(block(1000, 24, 2, 1)), 21, 3);
    QCOMPARE(reply, QByteArray("\xA5\x00", 2) + data + QByteArray(1, char(sum(data))));

    // With a varying seed the second acquisition uses the next seed.
    u.setVarySeed(true);
    command(u, 0x21, block(1000, 24, 2, 1), 20000);
    command(u, 0x21, block(1000, 24, 2, 1), 30000);
    QCOMPARE(u.runSeed(), 21u + 2u);
}

void TestK4Demo::repliesArePacedAtTheLineRate()
{
    K4Unit u;
    u.setSeed(4);
    u.setBaud(9600); // 960 bytes per second
    u.connectLine(0);
    u.receive(Sync.constData(), 4, 0);
    QCOMPARE(u.available(0), 0);
    QCOMPARE(u.available(1.04), 0);
    QCOMPARE(u.available(1.05), 1);
    QCOMPARE(readAll(u, 2), QByteArray("\xA5", 1));
    const QByteArray f = frame(0x23, readRequest(480, 0));
    u.receive(f.constData(), f.size(), 10);
    // Ack plus 960 data bytes plus checksum: 962 bytes, the last at 10 + 962 / 0.96 ms.
    QVERIFY(std::abs(u.available(10 + 500) - 480) <= 1);
    QCOMPARE(u.available(10 + 1002.1), 962);
    QCOMPARE(u.nextByteMs(10 + 1002.2), 10 + 1002.2);
    readAll(u, 2000);
    QCOMPARE(u.nextByteMs(2000), K4Unit::Never);
    QVERIFY(u.idle());
}

void TestK4Demo::resyncAfterStrayBytes()
{
    K4Unit u = unpaced();
    // A handshake whose frame never came, then the host starts over at once.
    u.receive(Sync.constData(), 4, 0);
    readAll(u, 0);
    u.receive(Sync.constData(), 4, 1);
    QCOMPARE(readAll(u, 1), QByteArray("\xA5", 1));
    QCOMPARE(u.frames(), 2);
    // A frame left unfinished for longer than the frame gap is dropped.
    u.receive("\x23\x00", 2, 2);
    u.receive(Sync.constData(), 4, 500);
    QCOMPARE(readAll(u, 500), QByteArray("\xA5", 1));
}

void TestK4Demo::faults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("expected"); // the answer after the handshake reply
    const QByteArray st("\x00\x00\x00", 3);
    QTest::newRow("wrong-handshake") << int(K4Fault::WrongHandshake) << 0x22 << QByteArray();
    QTest::newRow("no-ack") << int(K4Fault::NoAck) << 0x22 << QByteArray();
    QTest::newRow("wrong-ack") << int(K4Fault::WrongAck) << 0x22 << QByteArray("\x01", 1);
    QTest::newRow("wrong-checksum") << int(K4Fault::WrongChecksum) << 0x22 << QByteArray("\x00\x00\x01", 3);
    QTest::newRow("busy-forever") << int(K4Fault::BusyForever) << 0x22 << QByteArray("\x00\x01\x01", 3);
    QTest::newRow("garbage") << int(K4Fault::Garbage) << 0x22 << QByteArray("\x3C\xC3\x7E", 3) + st;
    QTest::newRow("hang-up") << int(K4Fault::HangUp) << 0x22 << QByteArray();
}

void TestK4Demo::faults()
{
    QFETCH(int, kind);
    QFETCH(int, cmd);
    QFETCH(QByteArray, expected);
    K4Unit u = unpaced();
    K4Fault f;
    f.kind = K4Fault::Kind(kind);
    u.setFault(f);
    const QByteArray got = command(u, quint8(cmd), {}, 0);
    if (kind == K4Fault::WrongHandshake) {
        QCOMPARE(got.left(1), QByteArray("\x5A", 1));
        return;
    }
    QCOMPARE(got, QByteArray("\xA5", 1) + expected);
    QCOMPARE(u.hungUp(0), kind == K4Fault::HangUp);
}

void TestK4Demo::faultCountAndCommandFilter()
{
    K4Unit u = unpaced();
    K4Fault f;
    f.kind = K4Fault::NoAck;
    f.count = 2;
    f.command = 0x22;
    u.setFault(f);
    // Other commands are not spoilt and do not use up the count.
    QCOMPARE(command(u, 0x21, block(1, 2), 0), QByteArray("\xA5\x00", 2));
    QCOMPARE(command(u, 0x22, {}, 100), QByteArray("\xA5", 1));
    QCOMPARE(command(u, 0x22, {}, 200), QByteArray("\xA5", 1));
    QCOMPARE(command(u, 0x22, {}, 300), QByteArray("\xA5\x00\x00\x00", 4));
    QCOMPARE(u.fault().count, 0);
}

void TestK4Demo::stallResumesAfterItsTime()
{
    K4Unit u = unpaced(3);
    K4Fault f;
    f.kind = K4Fault::Stall;
    f.stallMs = 700;
    u.setFault(f);
    command(u, 0x21, block(100, 24), 0);
    const QByteArray first = command(u, 0x23, readRequest(100, 0), 1000);
    QCOMPARE(first.size(), 2 + 100); // handshake reply, ack, half of the data
    QCOMPARE(u.available(1699), 0);
    QCOMPARE(u.available(1700), 101);
    QVERIFY(!u.hungUp(1700));

    f.stallMs = -1;
    u.setFault(f);
    command(u, 0x23, readRequest(100, 0), 5000);
    QCOMPARE(u.available(1e9), 0);
    // A new handshake abandons the stuck reply.
    u.receive(Sync.constData(), 4, 6000);
    QCOMPARE(readAll(u, 6000), QByteArray("\xA5", 1));
}

QTEST_GUILESS_MAIN(TestK4Demo)
#include "tst_k4demo.moc"
