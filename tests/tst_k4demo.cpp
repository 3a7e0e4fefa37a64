// The emulated K4 unit on a virtual clock: its signals, refused frames and busy time.

#include "k4demo.h"

#include <QtTest>

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
        for (int ch = 0; ch < 4; ++ch)
            seen.insert(k4ChannelBytes(s, 11, ch));
    }
    QCOMPARE(seen.size(), 8);
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
}

QTEST_GUILESS_MAIN(TestK4Demo)
#include "tst_k4demo.moc"
