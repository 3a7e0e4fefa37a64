// The link end to end through a real serial port: k4sim serves the emulated unit on a
// pseudo-terminal and the link drives it through QSerialPort.

#include "k4demo.h"
#include "rs232.h"

#include <Velkit/vlk_misc.h>

#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <memory>
#include <vector>


// Lower bounds of waits are exact (nothing may end early); upper bounds leave room for a
// loaded machine or a sanitizer build. The tight figures are measured by bench_link.
constexpr qint64 Slack = 400;

namespace {

const QByteArray Sync("\xFF\xFF\x55\xAA", 4);

struct BlockBuffer
{
    explicit BlockBuffer(int count)
    {
        for (int left = count; left > 0; left -= 32768)
            blocks.emplace_back(std::min(left, 32768), qint8(0));
    }
    int chunkAt(int i, qint8** out)
    {
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
    std::vector<std::vector<qint8>> blocks;
};

double cpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

// One k4sim process for the length of a test.
class Sim
{
public:
    bool start(const QStringList& args)
    {
        const QString exe = QStringLiteral(TAVREL_BIN_DIR "/k4sim");
        if (!QFileInfo::exists(exe))
            return false;
        m_log = m_dir.filePath(QStringLiteral("rx.bin"));
        m_proc.start(exe, QStringList(args) << "--rx-log" << m_log << "--lifetime-ms"
                                            << "120000");
        if (!m_proc.waitForStarted(5000))
            return false;
        while (!m_proc.canReadLine())
            if (!m_proc.waitForReadyRead(5000))
                return false;
        m_path = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
        return !m_path.isEmpty();
    }
    ~Sim()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(3000))
                m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }
    QString path() const { return m_path; }
    QByteArray received() const
    {
        QFile f(m_log);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QProcess& process() { return m_proc; }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    QString m_log;
    QString m_path;
};

} // namespace

class TestRs232Pty : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wireBytes();
    void channelDataThroughTheLine();
    void faults_data();
    void faults();
    void retriesRecover();
    void stallOverASecond();
    void stopDuringEachWait_data();
    void stopDuringEachWait();
    void farEndGoneWhileIdle();

private:
    // Starts k4sim and points the link at it; skips the test when the tool is not built.
    std::unique_ptr<Sim> startSim(const QStringList& args);
};

std::unique_ptr<Sim> TestRs232Pty::startSim(const QStringList& args)
{
    auto sim = std::make_unique<Sim>();
    if (!sim->start(QStringList{"--seed", "42"} + args))
        return nullptr;
    g_link.portName = sim->path();
    return sim;
}

#define START_SIM(var, ...)                                                                                  \
    auto var = startSim(__VA_ARGS__);                                                                        \
    if (!var)                                                                                                \
        QSKIP("k4sim is not built");

void TestRs232Pty::init()
{
    closeLink();
    resetLinkFlags();
    g_link.rate = 115200;
    g_acquisitionParameters = AcquisitionParameters();
}

void TestRs232Pty::cleanup()
{
    QVERIFY(!linkIsOpen());
}

void TestRs232Pty::wireBytes()
{
    START_SIM(sim, {"--no-pace"});
    quint8 state = 0xEE;
    QVERIFY(queryUnitState(&state));
    QCOMPARE(state, quint8(0));
    AcquisitionParameters zero;
    zero.halfLength = 0;
    zero.waitCount = 0;
    zero.detector = 0;
    QVERIFY(sendAcquisitionParameters(zero));
    g_acquisitionParameters.halfLength = 50000;
    BlockBuffer buf(100000);
    QVERIFY(readChannelData(2, 100000, nullptr, buf));
    QVERIFY(readChannelData(999, 0, nullptr, buf));
    QCOMPARE(sim->received(), Sync + QByteArray("\x22\x22") + Sync + QByteArray("\x21", 1) +
                                  QByteArray(13, '\0') + QByteArray("\x21") + Sync +
                                  QByteArray("\x23\x00\x00\x50\xC3\x02\x38", 7) + Sync +
                                  QByteArray("\x23\x00\x00\x50\xC3\xFF\x35", 7));
}

void TestRs232Pty::channelDataThroughTheLine()
{
    // Paced at 115200 baud as a real line would be: the data arrive whole and in the time the
    // line needs.
    START_SIM(sim, {});
    AcquisitionParameters& p = g_acquisitionParameters;
    p.halfLength = 2000;
    p.waitCount = 2;
    p.gain[2] = 2;
    p.mux = 5;
    p.detector = 0;
    QVERIFY(sendAcquisitionParameters(p));
    quint8 state = 1;
    for (int i = 0; i < 50 && state != 0; ++i)
        QVERIFY(queryUnitState(&state));
    QCOMPARE(state, quint8(0));
    QProgressBar bar;
    bar.setRange(0, 4 * 4000 + 20);
    bar.setValue(20);
    const qint64 t0 = velkit::monotonicMs();
    for (int ch = 0; ch < 4; ++ch) {
        BlockBuffer buf(4000);
        QVERIFY(readChannelData(ch, 4000, &bar, buf));
        QCOMPARE(buf.bytes(), k4ChannelBytes(K4Setup::fromBlock(p.toBytes()), 42, ch));
    }
    const qint64 ms = velkit::monotonicMs() - t0;
    QCOMPARE(bar.value(), bar.maximum());
    // 16000 bytes at 11520 bytes per second: 1389 ms.
    QVERIFY2(ms >= 1389 && ms < 1389 + 2 * Slack, qPrintable(QString::number(ms)));
}

void TestRs232Pty::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::newRow("wrong handshake") << "wrong-handshake" << 0x22 << 0 << 100;
    QTest::newRow("no ack, parameters") << "no-ack" << 0x21 << 100 << 160;
    QTest::newRow("no ack, channel") << "no-ack" << 0x23 << 500 << 560;
    QTest::newRow("wrong ack") << "wrong-ack" << 0x22 << 0 << 100;
    QTest::newRow("wrong checksum, state") << "wrong-checksum" << 0x22 << 0 << 100;
    QTest::newRow("wrong checksum, channel") << "wrong-checksum" << 0x23 << 0 << 200;
    QTest::newRow("garbage") << "garbage" << 0x21 << 0 << 100;
    QTest::newRow("stall") << "stall" << 0x23 << 1000 << 1100;
    QTest::newRow("hang-up, parameters") << "hang-up" << 0x21 << 0 << 100;
    QTest::newRow("hang-up in a channel") << "hang-up" << 0x23 << 0 << 200;
}

void TestRs232Pty::faults()
{
    QFETCH(QString, fault);
    QFETCH(int, command);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    START_SIM(sim, {"--no-pace", "--fault", fault, "--stall-ms", "-1"});
    g_acquisitionParameters.halfLength = 20000;
    QProgressBar bar;
    bar.setRange(0, 100000);
    bar.setValue(3);
    const double c0 = cpuMs();
    const qint64 t0 = velkit::monotonicMs();
    bool ok = true;
    if (command == 0x21) {
        ok = sendAcquisitionParameters(g_acquisitionParameters);
    } else if (command == 0x22) {
        quint8 s = 0;
        ok = queryUnitState(&s);
    } else {
        BlockBuffer buf(40000);
        ok = readChannelData(1, 40000, &bar, buf);
    }
    const qint64 ms = velkit::monotonicMs() - t0;
    const double cpu = cpuMs() - c0;
    QVERIFY(!ok);
    QVERIFY2(ms >= minMs && ms <= maxMs + Slack, qPrintable(QString::number(ms)));
    QVERIFY(!linkIsOpen());
    QCOMPARE(bar.value(), 3);
    // However it failed, it did not spin while it waited.
    QVERIFY2(cpu < 0.5 * double(ms) + 30, qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(ms)));
    if (fault == "hang-up") // k4sim ends after dropping the line
        QVERIFY(sim->process().state() == QProcess::NotRunning || sim->process().waitForFinished(2000));
}

void TestRs232Pty::retriesRecover()
{
    // Two spoilt frames, then a good one: the link recovers on the same port each time.
    START_SIM(sim, {"--no-pace", "--fault", "no-ack", "--fault-count", "2", "--fault-command", "0x22"});
    QVERIFY(sendAcquisitionParameters(g_acquisitionParameters));
    quint8 s = 0xEE;
    QVERIFY(!queryUnitState(&s));
    QVERIFY(!queryUnitState(&s));
    QVERIFY(queryUnitState(&s));
    QCOMPARE(sim->received().count(Sync), 4);
}

void TestRs232Pty::stallOverASecond()
{
    // The first channel read stalls for 1.5 s and fails; the second stalls for... nothing: the
    // fault was for one frame.
    START_SIM(sim, {"--no-pace", "--fault", "stall", "--fault-count", "1", "--stall-ms", "1500"});
    AcquisitionParameters& p = g_acquisitionParameters;
    p.halfLength = 5000;
    p.waitCount = 2;
    QVERIFY(sendAcquisitionParameters(p));
    QProgressBar bar;
    bar.setRange(0, 10020);
    bar.setValue(20);
    BlockBuffer buf(10000);
    QVERIFY(!readChannelData(0, 10000, &bar, buf));
    QCOMPARE(bar.value(), 20);
    QVERIFY(readChannelData(0, 10000, &bar, buf));
    QCOMPARE(bar.value(), 10020);
    QCOMPARE(buf.bytes(), k4ChannelBytes(K4Setup::fromBlock(p.toBytes()), 42, 0));
}

void TestRs232Pty::stopDuringEachWait_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("stopAtMs");
    QTest::newRow("handshake reply") << QStringList{"--baud", "50"} << 0x22 << 80;
    QTest::newRow("acknowledgement") << QStringList{"--fault", "no-ack"} << 0x22 << 150;
    QTest::newRow("state reply") << QStringList{"--baud", "75"} << 0x22 << 330;
    QTest::newRow("pause after parameters") << QStringList{"--no-pace"} << 0x21 << 40;
    QTest::newRow("channel stream") << QStringList{"--fault", "stall", "--stall-ms", "-1"} << 0x23 << 400;
    QTest::newRow("busy unit") << QStringList{"--fault", "busy-forever"} << 0 << 300;
}

void TestRs232Pty::stopDuringEachWait()
{
    QFETCH(QStringList, args);
    QFETCH(int, command);
    QFETCH(int, stopAtMs);
    START_SIM(sim, args);
    g_acquisitionParameters.halfLength = 100;
    qint64 stoppedAt = 0;
    QTimer::singleShot(stopAtMs, this, [&] {
        stoppedAt = velkit::monotonicMs();
        abortLink();
    });
    bool ok = true;
    if (command == 0x21) {
        ok = sendAcquisitionParameters(g_acquisitionParameters);
    } else if (command == 0x22) {
        quint8 s = 0;
        ok = queryUnitState(&s);
    } else if (command == 0x23) {
        BlockBuffer buf(200);
        ok = readChannelData(0, 200, nullptr, buf);
    } else {
        // The polling of a busy unit, as an acquisition does it.
        quint8 s = 1;
        while (ok && s != 0) {
            ok = queryUnitState(&s);
            pauseWithEvents(100);
            if (g_link.aborted)
                ok = false;
        }
    }
    const qint64 answered = velkit::monotonicMs() - stoppedAt;
    QVERIFY(!ok);
    QVERIFY(stoppedAt != 0);
    QVERIFY2(answered < Slack, qPrintable(QString::number(answered)));
    QVERIFY(!linkIsOpen());
    const int handshakes = int(sim->received().count(Sync));
    quint8 s = 0;
    QVERIFY(!queryUnitState(&s)); // still stopped: nothing more is sent
    QTest::qWait(50);
    QCOMPARE(int(sim->received().count(Sync)), handshakes);
}

void TestRs232Pty::farEndGoneWhileIdle()
{
    // The port dialog leaves the port open; then the far end goes away. The port must close
    // itself rather than report the error over and over.
    START_SIM(sim, {"--no-pace"});
    QCOMPARE(reopenLink(sim->path(), 115200), 0);
    QVERIFY(linkIsOpen());
    sim->process().kill();
    QVERIFY(sim->process().waitForFinished(3000));
    const double c0 = cpuMs();
    QTest::qWait(300);
    const double cpu = cpuMs() - c0;
    QVERIFY(!linkIsOpen());
    QVERIFY2(cpu < 150, qPrintable(QString::number(cpu)));
    quint8 s = 0;
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(!queryUnitState(&s));
    QVERIFY(velkit::monotonicMs() - t0 < 100 + Slack);
}

QTEST_MAIN(TestRs232Pty)
#include "tst_rs232_pty.moc"
