#include "rs232.h"

#include "k4demo.h"

#include <Velkit/vlk_misc.h>

#include <QCoreApplication>
#include <QProgressBar>
#include <QSerialPort>
#include <QThread>

#include <algorithm>
#include <cmath>

AcquisitionParameters g_acquisitionParameters;
LinkState g_link;

namespace {

constexpr int OutputLimit = 32765; // never queue more output than this
constexpr int ReadBufferSize = 64511;
constexpr int PieceMax = 32000;     // largest piece of channel data read at once
constexpr int StreamStallMs = 1000; // a channel stream silent this long has failed
constexpr quint8 CmdSetParameters = 0x21;
constexpr quint8 CmdQueryState = 0x22;
constexpr quint8 CmdReadChannel = 0x23;

void processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

// A real serial port. Errors that end the connection (the far end hung up, the adapter was
// unplugged) close the port at once: left open, such a port reports the error again on every
// event-loop round and a wait around it would spin.
class SerialLinkPort : public LinkPort
{
public:
    SerialLinkPort()
        : m_port(new QSerialPort)
    {
        QObject::connect(m_port, &QSerialPort::errorOccurred, m_port,
                         [this](QSerialPort::SerialPortError e) { onError(e); });
    }
    ~SerialLinkPort() override { delete m_port; }

    int open(const QString& name, int rate) override
    {
        m_broken = false;
        if (m_port->isOpen())
            m_port->close();
        m_port->clearError();
        m_port->setPortName(name);
        if (!m_port->open(QIODevice::ReadWrite))
            return failure();
        m_port->setReadBufferSize(ReadBufferSize);
        if (!m_port->setDataBits(QSerialPort::Data8) || !m_port->setParity(QSerialPort::NoParity) ||
            !m_port->setStopBits(QSerialPort::OneStop) || !m_port->setFlowControl(QSerialPort::NoFlowControl))
            return failure();
        if (!m_port->setRequestToSend(false)) {
            // A pseudo-terminal or a three-wire adapter has no modem-control lines; the line
            // itself works, so this is not a failure of the set-up.
            if (m_port->error() != QSerialPort::UnsupportedOperationError)
                return failure();
            m_port->clearError();
        }
        if (!m_port->setBaudRate(rate, QSerialPort::AllDirections))
            return failure();
        return 0;
    }
    void close() override
    {
        if (m_port->isOpen())
            m_port->close();
    }
    bool isOpen() const override { return m_port->isOpen(); }
    bool clear() override { return m_port->isOpen() && m_port->clear(QSerialPort::AllDirections); }
    qint64 bytesToWrite() const override { return m_port->bytesToWrite(); }
    qint64 bytesAvailable() const override { return m_port->isOpen() ? m_port->bytesAvailable() : 0; }
    qint64 write(const char* data, qint64 count) override { return m_port->write(data, count); }
    qint64 read(char* data, qint64 count) override { return m_port->read(data, count); }
    void waitBriefly(int ms, bool forInput) override
    {
        if (!m_port->isOpen()) {
            sleepMs(ms);
            return;
        }
        if (forInput)
            m_port->waitForReadyRead(ms);
        else if (m_port->bytesToWrite() > 0)
            m_port->waitForBytesWritten(ms);
        else
            sleepMs(ms);
    }
    void gather(int ms) override
    {
        // The next event-processing round moves what arrived meanwhile into the port's buffer,
        // so a plain sleep lets the stream accumulate with one wake-up per poll.
        sleepMs(ms);
    }
    bool broken() const override { return m_broken; }

    QSerialPort* port() const { return m_port; }

private:
    int failure()
    {
        const int e = int(m_port->error());
        if (m_port->isOpen())
            m_port->close();
        return e != QSerialPort::NoError ? e : int(QSerialPort::UnknownError);
    }
    void onError(QSerialPort::SerialPortError e)
    {
        switch (e) {
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            if (m_port->isOpen()) {
                m_broken = true;
                m_port->close();
            }
            break;
        default: break;
        }
    }

    QSerialPort* m_port;
    bool m_broken = false;
};

// The in-process unit: no thread, no timer; its replies come out of the unit as the time passes
// while the link polls.
class DemoLinkPort : public LinkPort
{
public:
    explicit DemoLinkPort(K4Unit& unit)
        : m_unit(unit)
    {}

    int open(const QString&, int rate) override
    {
        if (rate <= 0)
            return int(QSerialPort::UnsupportedOperationError);
        m_unit.setBaud(rate);
        m_unit.connectLine(now());
        m_open = true;
        m_broken = false;
        return 0;
    }
    void close() override { m_open = false; }
    bool isOpen() const override
    {
        if (m_open && m_unit.hungUp(now())) {
            m_open = false;
            m_broken = true;
        }
        return m_open;
    }
    bool clear() override
    {
        if (!isOpen())
            return false;
        m_unit.dropOutput();
        return true;
    }
    qint64 bytesToWrite() const override { return 0; }
    qint64 bytesAvailable() const override { return isOpen() ? m_unit.available(now()) : 0; }
    qint64 write(const char* data, qint64 count) override
    {
        if (!isOpen())
            return -1;
        m_unit.receive(data, count, now());
        return count;
    }
    qint64 read(char* data, qint64 count) override { return isOpen() ? m_unit.read(data, count, now()) : -1; }
    void waitBriefly(int ms, bool forInput) override
    {
        if (!forInput || !isOpen()) {
            sleepMs(ms);
            return;
        }
        const double t = now();
        const double until = m_unit.nextByteMs(t);
        const double wait = std::ceil(until - t);
        sleepMs(wait >= double(ms) ? ms : std::max(1, int(wait)));
    }
    void gather(int ms) override { sleepMs(ms); }
    bool broken() const override { return m_broken; }

private:
    static double now() { return double(velkit::monotonicMs()); }

    K4Unit& m_unit;
    mutable bool m_open = false;
    mutable bool m_broken = false;
};

SerialLinkPort* g_serialPort = nullptr;
DemoLinkPort* g_demoPort = nullptr;

void ensurePorts()
{
    if (g_serialPort)
        return;
    g_serialPort = new SerialLinkPort;
    g_demoPort = new DemoLinkPort(demoUnit());
    if (QCoreApplication::instance())
        qAddPostRoutine(shutdownLink);
}

bool portOpen()
{
    return g_link.port && g_link.port->isOpen();
}

// Opens without touching the flags: a command opening the port for itself must not forget a Stop.
int openPort(const QString& portName, int rate)
{
    ensurePorts();
    if (portOpen())
        g_link.port->close();
    g_link.port = portName == demoPortName() ? static_cast<LinkPort*>(g_demoPort) : g_serialPort;
    return g_link.port->open(portName, rate);
}

// Waits until count more bytes fit below the output limit; false when the port went away or
// Stop was pressed.
bool waitForOutputRoom(qint64 count)
{
    while (portOpen() && !g_link.aborted && g_link.port->bytesToWrite() + count > OutputLimit) {
        g_link.port->waitBriefly(LinkPollMs, false);
        processEvents();
    }
    return portOpen() && !g_link.aborted;
}

template <class Reply>
bool runCommand(quint8 command, const QByteArray& payload, int ackTimeoutMs, Reply reply)
{
    bool ok = false;
    if (!g_link.aborted) {
        if (!portOpen())
            openPort(g_link.portName, g_link.rate); // a port that did not open fails the handshake
        ok = syncUnit();
        if (ok) {
            g_link.checksum = 0;
            ok = sendByte(command) &&
                 (payload.isEmpty() || sendBytes(payload.constData(), int(payload.size()))) &&
                 sendByte(g_link.checksum);
        }
        if (ok) {
            const quint8 ack = receiveByte(ackTimeoutMs);
            ok = ack == 0 && !g_link.timedOut && !g_link.aborted;
            g_link.checksum = 0;
        }
        if (ok)
            ok = reply();
    }
    closeLink();
    return ok;
}

} // namespace

QByteArray AcquisitionParameters::toBytes() const
{
    QByteArray b(Size, '\0');
    auto put16 = [&](int at, quint16 v) {
        b[at] = char(v & 0xFF);
        b[at + 1] = char(v >> 8);
    };
    put16(0, reserved);
    put16(2, halfLength);
    put16(4, waitCount);
    for (int i = 0; i < 4; ++i)
        b[6 + i] = char(gain[i]);
    b[10] = char(mux);
    b[11] = char(sync);
    b[12] = char(detector);
    return b;
}

bool AcquisitionParameters::fromBytes(const QByteArray& data)
{
    if (data.size() != Size)
        return false;
    auto get16 = [&](int at) { return quint16(quint8(data[at]) | (quint8(data[at + 1]) << 8)); };
    reserved = get16(0);
    halfLength = get16(2);
    waitCount = get16(4);
    for (int i = 0; i < 4; ++i)
        gain[i] = quint8(data[6 + i]);
    mux = quint8(data[10]);
    sync = quint8(data[11]);
    detector = quint8(data[12]);
    return true;
}

QString demoPortName()
{
    return QStringLiteral("K4-DEMO");
}

K4Unit& demoUnit()
{
    static K4Unit unit = [] {
        K4Unit u;
        // Fresh signals on every run of the program and every acquisition.
        u.setSeed(quint32(velkit::monotonicMs() * 2654435761u));
        u.setVarySeed(true);
        return u;
    }();
    return unit;
}

int openLink(const QString& portName, int rate)
{
    const int e = openPort(portName, rate);
    if (e == 0) {
        g_link.timedOut = false;
        g_link.aborted = false;
    }
    return e;
}

void closeLink()
{
    if (g_link.port)
        g_link.port->close();
}

void abortLink()
{
    g_link.aborted = true;
    closeLink();
}

int reopenLink(const QString& portName, int rate)
{
    closeLink();
    return openLink(portName, rate);
}

void resetLinkFlags()
{
    g_link.aborted = false;
    g_link.timedOut = false;
}

void shutdownLink()
{
    closeLink();
    g_link.port = nullptr;
    delete g_serialPort;
    g_serialPort = nullptr;
    delete g_demoPort;
    g_demoPort = nullptr;
}

bool linkIsOpen()
{
    return portOpen();
}

bool sendBytes(const char* data, int count)
{
    if (!data || count < 0 || !portOpen())
        return false;
    if (!waitForOutputRoom(count))
        return false;
    for (int i = 0; i < count; ++i)
        g_link.checksum = quint8(g_link.checksum + quint8(data[i]));
    return g_link.port->write(data, count) == count;
}

bool sendByte(quint8 value)
{
    if (!portOpen() || !waitForOutputRoom(1))
        return false;
    g_link.checksum = quint8(g_link.checksum + value);
    const char c = char(value);
    return g_link.port->write(&c, 1) == 1;
}

quint8 receiveByte(int timeoutMs)
{
    g_link.timedOut = false;
    const qint64 start = velkit::monotonicMs();
    for (;;) {
        if (portOpen() && g_link.port->bytesAvailable() > 0) {
            char c = 0;
            if (g_link.port->read(&c, 1) == 1)
                return quint8(c);
        }
        const qint64 elapsed = velkit::monotonicMs() - start;
        if (elapsed > timeoutMs || (!portOpen() && !g_link.aborted)) {
            // No byte within the time, or the port went away (closed after an error).
            g_link.timedOut = true;
            return 0;
        }
        if (g_link.aborted)
            return 0;
        const int slice = int(std::min<qint64>(LinkPollMs, timeoutMs - elapsed + 1));
        g_link.port->waitBriefly(std::max(1, slice), true);
        processEvents();
    }
}

void pauseWithEvents(int ms)
{
    if (ms <= 0)
        return;
    const qint64 start = velkit::monotonicMs();
    for (;;) {
        const qint64 left = ms - (velkit::monotonicMs() - start);
        if (left <= 0 || g_link.aborted)
            return;
        sleepMs(int(std::min<qint64>(LinkPollMs, left)));
        processEvents();
    }
}

bool syncUnit()
{
    if (!portOpen())
        return false;
    while (portOpen() && !g_link.aborted && g_link.port->bytesToWrite() > 0) {
        g_link.port->waitBriefly(LinkPollMs, false);
        processEvents();
    }
    if (!portOpen() || g_link.aborted || !g_link.port->clear())
        return false;
    static const char handshake[4] = {char(0xFF), char(0xFF), char(0x55), char(0xAA)};
    if (!waitForOutputRoom(4) || g_link.port->write(handshake, 4) < 4)
        return false;
    const quint8 reply = receiveByte(500);
    return reply == 0xA5 && !g_link.timedOut && !g_link.aborted;
}

bool sendAcquisitionParameters(const AcquisitionParameters& block)
{
    return runCommand(CmdSetParameters, block.toBytes(), 100, [] {
        // Give the unit time to take the block in before the next command.
        pauseWithEvents(100);
        return !g_link.aborted;
    });
}

bool queryUnitState(quint8* state)
{
    return runCommand(CmdQueryState, QByteArray(), 500, [state] {
        const quint8 s = receiveByte(500);
        if (g_link.timedOut || g_link.aborted)
            return false;
        const quint8 check = receiveByte(100);
        if (g_link.timedOut || g_link.aborted || check != s)
            return false;
        if (state)
            *state = s;
        return true;
    });
}

bool readChannelData(int channel, int count, QProgressBar* progressBar, const ChannelSpan& target)
{
    if (count < 0 || !target)
        return false;
    const QByteArray block = g_acquisitionParameters.toBytes();
    QByteArray request = block.left(4);
    request.append(char(std::clamp(channel, 0, 255)));

    return runCommand(CmdReadChannel, request, 500, [&] {
        const int base = progressBar ? progressBar->value() : 0;
        auto fail = [&] {
            // The attempt is undone on the bar so that a retry starts from the same place.
            if (progressBar)
                progressBar->setValue(base);
            return false;
        };
        g_link.checksum = 0;
        int received = 0;
        qint64 last = velkit::monotonicMs();
        while (received < count) {
            if (!portOpen() || g_link.aborted)
                return fail();
            if (g_link.port->bytesAvailable() < 2) {
                const qint64 silent = velkit::monotonicMs() - last;
                if (silent > StreamStallMs)
                    return fail();
                g_link.port->gather(int(std::clamp<qint64>(StreamStallMs + 1 - silent, 1, LinkPollMs)));
                processEvents();
            } else {
                qint8* at = nullptr;
                const int span = target(received, &at);
                if (span <= 0 || !at)
                    return fail();
                const int n = std::min({span, PieceMax, count - received});
                qint64 got = g_link.port->read(reinterpret_cast<char*>(at), n);
                if (got < 0)
                    got = 0;
                for (qint64 i = 0; i < got; ++i)
                    g_link.checksum = quint8(g_link.checksum + quint8(at[i]));
                received += int(got);
                last = velkit::monotonicMs();
                processEvents();
            }
            if (progressBar)
                progressBar->setValue(base + received);
            processEvents();
            if (g_link.aborted)
                return fail();
        }
        const quint8 check = receiveByte(500);
        if (g_link.timedOut || g_link.aborted || check != g_link.checksum)
            return fail();
        return true;
    });
}
