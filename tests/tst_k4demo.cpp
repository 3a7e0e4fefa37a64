// The emulated K4 unit on its own, driven with a virtual clock: its signals, and the parts of its
// protocol the link never provokes (refused frames, busy time, pacing).

#include "k4demo.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

quint8 sum(const QByteArray& d)
{
    quint8 s = 0;
    for (char c : d)
        s = quint8(s + quint8(c));
    return s;
}

// Handshake and frame at time t (its checksum spoilt when asked); all the unit answered by t.
QByteArray command(K4Unit& u, quint8 cmd, const QByteArray& payload, double t, bool badSum = false)
{
    const QByteArray f = "\xFF\xFF\x55\xAA" + (char(cmd) + payload) + char(sum(payload) + cmd + badSum);
    u.receive(f.constData(), f.size(), t);
    QByteArray out(int(u.available(t)), '\0');
    out.resize(int(u.read(out.data(), out.size(), t)));
    return out;
}

} // namespace

class TestK4Demo : public QObject
{
    Q_OBJECT
private slots:
    void signalsAreSeededAndPerInput();
    void gainAndDetector();
    void protocol();
};

void TestK4Demo::signalsAreSeededAndPerInput()
{
    K4Setup s;
    s.halfLength = 50000; // 100000 samples at 120 kHz
    const QByteArray a = k4ChannelBytes(s, 11, 1);
    QCOMPARE(a.size(), 100000);
    QCOMPARE(k4ChannelBytes(s, 11, 1), a);
    QCOMPARE(k4ChannelBytes(s, 11, 1, 3000), a.left(3000)); // a longer record extends a shorter one
    QVERIFY(k4ChannelBytes(s, 12, 1) != a);
    QCOMPARE(k4ChannelBytes(s, 11, 4, 100), QByteArray(100, '\0'));
    QSet<QByteArray> seen; // eight inputs, eight different signals
    for (quint8 mux : {0, 2}) {
        s.mux = mux;
        for (int ch = 0; ch < 4; ++ch) {
            const QByteArray d = k4ChannelBytes(s, 11, ch);
            seen.insert(d);
            // Low noise most of the time, some loud bursts, no offset.
            int quiet = 0, loud = 0, total = 0;
            for (char c : d) {
                quiet += std::abs(int(qint8(c))) <= 2 ? 1 : 0;
                loud += std::abs(int(qint8(c))) >= 10 ? 1 : 0;
                total += qint8(c);
            }
            QVERIFY2(quiet > d.size() * 9 / 10 && loud > 0,
                     qPrintable(QStringLiteral("%1 %2").arg(quiet).arg(loud)));
            QVERIFY(std::abs(total) < d.size() / 2);
        }
    }
    QCOMPARE(seen.size(), 8);
}

void TestK4Demo::gainAndDetector()
{
    K4Setup s;
    s.halfLength = 10000;
    auto energy = [&](quint8 gain) {
        s.gain[2] = gain;
        double e = 0;
        for (char c : k4ChannelBytes(s, 9, 2))
            e += std::abs(int(qint8(c)));
        return e;
    };
    for (quint8 g : {0, 1, 2})
        QVERIFY(energy(g + 1) > 1.5 * energy(g)); // noise and bursts grow with the gain
    QVERIFY(energy(12) > 20000 * 0.9 * 127);      // nearly every sample clipped
    s.detector = 1;
    s.gain[2] = 1;
    const QByteArray envelope = k4ChannelBytes(s, 9, 2);
    // Quiet at the bottom of the scale, with bursts rising from it.
    QVERIFY(*std::max_element(envelope.begin(), envelope.end()) >= -108);
    QVERIFY(std::count_if(envelope.begin(), envelope.end(), [](char c) { return qint8(c) <= -118; }) >
            envelope.size() * 9 / 10);
}

void TestK4Demo::protocol()
{
    K4Unit u;
    u.setPaced(false);
    u.setSeed(21);
    u.connectLine(0);
    const QByteArray b3000 = QByteArray::fromHex("0000b80b630000000000000000"); // 6000 samples, 30 kHz
    // A frame with a wrong checksum is refused and not carried out.
    QCOMPARE(command(u, 0x21, b3000, 10, true), QByteArray("\xA5\xFF", 2));
    QCOMPARE(u.acquisitions(), 0);
    // 6000 samples at 30 kHz keep the unit busy for 200 ms; external sync adds the trigger wait.
    QCOMPARE(command(u, 0x21, b3000, 1000), QByteArray("\xA5\x00", 2));
    QCOMPARE(command(u, 0x22, {}, 1199), QByteArray("\xA5\x00\x01\x01", 4));
    QCOMPARE(command(u, 0x22, {}, 1200.5), QByteArray("\xA5\x00\x00\x00", 4));
    K4Setup external = K4Setup::fromBlock(b3000);
    external.sync = 1;
    QVERIFY(k4AcquisitionMs(external, 1) >= 220 && k4AcquisitionMs(external, 1) <= 500);
    // With a varying seed each acquisition takes the next seed.
    u.setVarySeed(true);
    command(u, 0x21, b3000, 2000);
    QCOMPARE(u.runSeed(), 22u);

    // Paced at 9600 baud: 960 bytes a second, so the handshake reply is in after 1.04 ms and
    // 963 bytes (reply, ack, 960 samples, checksum) after 1003.1 ms.
    u.setPaced(true);
    u.setBaud(9600);
    QCOMPARE(command(u, 0x23, QByteArray::fromHex("0000e00100"), 3000), QByteArray());
    QCOMPARE(u.available(3001.04), 0);
    QCOMPARE(u.available(3001.05), 1);
    QCOMPARE(u.available(4003.0), 962);
    QCOMPARE(u.available(4003.2), 963);
}

QTEST_GUILESS_MAIN(TestK4Demo)
#include "tst_k4demo.moc"
