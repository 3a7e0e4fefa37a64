// A whole acquisition into a record: through k4sim and the real serial-port path, and through the
// in-process unit. Every sample must be the emulator's, the headers must describe the run, and
// Stop and failures must leave the headers alone.

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

#include <memory>

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

class Sim
{
public:
    bool start(const QStringList& args)
    {
        const QString exe = QStringLiteral(TAVREL_BIN_DIR "/k4sim");
        if (!QFileInfo::exists(exe))
            return false;
        m_proc.start(exe, QStringList(args) << "--lifetime-ms"
                                            << "120000");
        if (!m_proc.waitForStarted(5000))
            return false;
        while (!m_proc.canReadLine())
            if (!m_proc.waitForReadyRead(5000))
                return false;
        g_link.portName = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
        return true;
    }
    ~Sim()
    {
        m_proc.terminate();
        if (!m_proc.waitForFinished(3000))
            m_proc.kill();
        m_proc.waitForFinished(3000);
    }

private:
    QProcess m_proc;
};

// Watches the progress dialog while the run shows it.
class ProgressWatch : public QObject
{
public:
    ProgressWatch()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
        m_timer.start();
    }
    int maximum = -1;
    int highest = -1;
    int lowestAfterTwenty = INT_MAX; // lowest value seen once the channels were being read
    bool modal = false;
    bool onTop = false;
    QString title;
    QProgressBar* bar = nullptr;
    QToolButton* stop = nullptr;
    std::function<void(ProgressWatch&)> onValue;

private:
    void look()
    {
        if (bar)
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("LoadProgress") && w->isVisible()) {
                bar = w->findChild<QProgressBar*>("progressBar");
                stop = w->findChild<QToolButton*>("tStop");
                title = w->windowTitle();
                modal = w->isModal();
                onTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                maximum = bar->maximum();
                connect(bar, &QProgressBar::valueChanged, this, [this](int v) {
                    highest = std::max(highest, v);
                    if (highest > 20)
                        lowestAfterTwenty = std::min(lowestAfterTwenty, v);
                    if (onValue)
                        onValue(*this);
                });
                return;
            }
        }
    }
    QTimer m_timer;
};

AcquisitionParameters params(quint16 half, quint8 mux, quint8 detector)
{
    AcquisitionParameters p;
    p.halfLength = half;
    p.waitCount = 24;
    p.gain[0] = 0;
    p.gain[1] = 1;
    p.gain[2] = 2;
    p.gain[3] = 3;
    p.mux = mux;
    p.sync = 0;
    p.detector = detector;
    return p;
}

bool anyVisible(TWaveStor& r)
{
    for (int i = 0; i < r.channelCount(); ++i)
        if (r.channel(i)->visible)
            return true;
    return false;
}

} // namespace

class TestAcquisition : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void fullRunThroughK4sim();
    void bipolarRunThroughTheDemo();
    void needsAMainWindowWithStop();
    void retriesAndFailures_data();
    void retriesAndFailures();
    void stopEndsTheRun_data();
    void stopEndsTheRun();
    void dialogCannotBeClosed();
};

void TestAcquisition::init()
{
    closeLink();
    resetLinkFlags();
    g_link.rate = 115200;
    demoUnit().setFault(K4Fault());
    demoUnit().setPaced(false);
    demoUnit().setVarySeed(false);
}

void TestAcquisition::fullRunThroughK4sim()
{
    Sim sim;
    if (!sim.start({"--seed", "42", "--no-pace"}))
        QSKIP("k4sim is not built");
    g_acquisitionParameters = params(50000, 2, 1);
    TWaveStor record;
    QVERIFY(record.init(4, 100000));
    StopTarget main;
    ProgressWatch watch;
    const qint64 t0 = velkit::monotonicMs();
    QVERIFY(acquireFromUnit(record, &main));
    // The unit is busy for 100000 samples at 120 kHz.
    QVERIFY(velkit::monotonicMs() - t0 >= 833);

    const K4Setup setup = K4Setup::fromBlock(g_acquisitionParameters.toBytes());
    for (int ch = 0; ch < 4; ++ch) {
        TWaveView* v = record.channel(ch);
        const QByteArray expected = k4ChannelBytes(setup, 42, ch);
        QByteArray got(100000, '\0');
        for (int i = 0; i < 100000; ++i)
            got[i] = char(v->sample(i));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("channel %1").arg(ch)));
        QCOMPARE(record.channelHeader(ch)->input, quint8(9 + ch));
        QCOMPARE(record.channelHeader(ch)->gainCode, quint16(ch));
        QCOMPARE(record.channelHeader(ch)->reserved2, quint8(0));
        QVERIFY(v->unipolar);
        QVERIFY(v->visible);
        QVERIFY(!v->modified);
    }
    const TWaveHeader& h = record.header;
    QCOMPARE(h.clockKHz, quint16(12000));
    QCOMPARE(h.divider, 4 * 24 + 4);
    QCOMPARE(h.detector, quint8(1));
    QCOMPARE(h.extSync, quint8(0));
    QCOMPARE(h.winStart, 0);
    QCOMPARE(h.winWidth, 100000);
    QCOMPARE(h.reserved18, quint8(0));
    QCOMPARE(watch.maximum, 400020);
    QCOMPARE(watch.highest, 400020);
    QCOMPARE(watch.title, QStringLiteral("Загрузка"));
    QVERIFY(watch.modal);
    QVERIFY(watch.onTop);
    QVERIFY(!linkIsOpen());
    // The dialog is gone.
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(w->objectName() != QLatin1String("LoadProgress") || !w->isVisible());
}

void TestAcquisition::bipolarRunThroughTheDemo()
{
    g_link.portName = demoPortName();
    demoUnit().setSeed(5);
    g_acquisitionParameters = params(10000, 7, 0);
    g_acquisitionParameters.waitCount = 2;
    g_acquisitionParameters.sync = 1;
    TWaveStor record;
    QVERIFY(record.init(4, 20000));
    record.channel(1)->setUnipolar(); // left over from an earlier record
    StopTarget main;
    QVERIFY(acquireFromUnit(record, &main));
    const K4Setup setup = K4Setup::fromBlock(g_acquisitionParameters.toBytes());
    for (int ch = 0; ch < 4; ++ch) {
        TWaveView* v = record.channel(ch);
        const QByteArray expected = k4ChannelBytes(setup, 5, ch);
        for (int i = 0; i < 20000; i += 97)
            QCOMPARE(v->sample(i), qint8(expected[i]));
        QVERIFY(!v->unipolar);
        QCOMPARE(record.channelHeader(ch)->input, quint8(29 + ch));
    }
    QCOMPARE(record.header.detector, quint8(0));
    QCOMPARE(record.header.extSync, quint8(1));
    QCOMPARE(record.header.divider, 12);
}

void TestAcquisition::needsAMainWindowWithStop()
{
    g_link.portName = demoPortName();
    demoUnit().clearLog();
    TWaveStor record;
    QVERIFY(record.init(4, 100));
    QVERIFY(!acquireFromUnit(record, nullptr));
    QWidget noStopSlot;
    QVERIFY(!acquireFromUnit(record, &noStopSlot));
    QVERIFY(demoUnit().receivedLog().isEmpty());
}

void TestAcquisition::retriesAndFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("parameters twice") << "no-ack" << 2 << 0x21 << true;
    QTest::newRow("parameters thrice") << "no-ack" << 3 << 0x21 << false;
    QTest::newRow("state twice") << "wrong-checksum" << 2 << 0x22 << true;
    QTest::newRow("state thrice") << "wrong-ack" << 3 << 0x22 << false;
    QTest::newRow("channel twice") << "wrong-checksum" << 2 << 0x23 << true;
    QTest::newRow("channel stalls thrice") << "stall" << 3 << 0x23 << false;
    QTest::newRow("hang-up") << "hang-up" << 1 << 0x23 << false;
}

void TestAcquisition::retriesAndFailures()
{
    QFETCH(QString, fault);
    QFETCH(int, count);
    QFETCH(int, command);
    QFETCH(bool, succeeds);
    Sim sim;
    if (!sim.start({"--seed", "8", "--no-pace", "--fault", fault, "--fault-count", QString::number(count),
                    "--fault-command", QString::number(command), "--stall-ms", "-1"}))
        QSKIP("k4sim is not built");
    g_acquisitionParameters = params(2000, 0, 0);
    g_acquisitionParameters.waitCount = 2;
    TWaveStor record;
    QVERIFY(record.init(4, 4000));
    const TWaveHeader before = record.header;
    StopTarget main;
    ProgressWatch watch;
    QCOMPARE(acquireFromUnit(record, &main), succeeds);
    QVERIFY(!linkIsOpen());
    if (succeeds) {
        QCOMPARE(watch.highest, 16020); // failed attempts did not push the bar past its end
        const QByteArray expected =
            k4ChannelBytes(K4Setup::fromBlock(g_acquisitionParameters.toBytes()), 8, 3);
        QCOMPARE(record.channel(3)->sample(3999), qint8(expected[3999]));
    } else {
        QVERIFY(memcmp(&before, &record.header, sizeof before) == 0);
        QVERIFY(!anyVisible(record));
    }
}

void TestAcquisition::stopEndsTheRun_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("unit busy") << "busy";
    QTest::newRow("channel read") << "channel";
}

void TestAcquisition::stopEndsTheRun()
{
    QFETCH(QString, when);
    Sim sim;
    const QStringList args =
        when == "busy" ? QStringList{"--fault", "busy-forever"} : QStringList{"--baud", "9600"};
    if (!sim.start(args))
        QSKIP("k4sim is not built");
    g_acquisitionParameters = params(2000, 0, 1);
    TWaveStor record;
    QVERIFY(record.init(4, 4000));
    const TWaveHeader before = record.header;
    StopTarget main;
    ProgressWatch watch;
    qint64 pressed = 0;
    if (when == "busy") {
        QTimer::singleShot(700, this, [&] {
            pressed = velkit::monotonicMs();
            emit watch.stop->released(); // as a click on STOP does it
        });
    } else {
        watch.onValue = [&](ProgressWatch& w) {
            if (!pressed && w.highest > 2000) {
                pressed = velkit::monotonicMs();
                emit w.stop->released();
            }
        };
    }
    QVERIFY(!acquireFromUnit(record, &main));
    const qint64 answered = velkit::monotonicMs() - pressed;
    QVERIFY(pressed != 0);
    QCOMPARE(main.stops, 1);
    QVERIFY2(answered < 400, qPrintable(QString::number(answered)));
    QVERIFY(memcmp(&before, &record.header, sizeof before) == 0);
    QVERIFY(!anyVisible(record));
    QVERIFY(!linkIsOpen());
    if (when == "busy")
        QCOMPARE(watch.highest, -1); // the bar stays at 0 while the unit is busy
}

void TestAcquisition::dialogCannotBeClosed()
{
    UnClosableDialog dlg;
    dlg.show();
    QVERIFY(!dlg.close());
    QVERIFY(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
