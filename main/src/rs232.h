#pragma once

// Host side of the serial link to the K4 acquisition unit: line set-up, the handshake and the
// three commands of the unit's byte protocol. Everything runs on the GUI thread; every wait polls
// the port with event processing so that the Stop button and repaints are served, and blocks a
// few milliseconds between polls so that no core is spun.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

class QProgressBar;
class LinkPort;
class K4Unit;

// The parameter block of command 0x21, 13 bytes on the wire, multi-byte fields little-endian.
struct AcquisitionParameters
{
    quint16 reserved = 0;
    quint16 halfLength = 50000;    // the unit sends 2 x halfLength samples per channel
    quint16 waitCount = 24;        // sampling frequency = 3 MHz / (waitCount + 1)
    quint8 gain[4] = {0, 0, 0, 0}; // gain code per input of the group: gain = 2^code, 0..12
    quint8 mux = 0;                // input group: inputs 4 x mux + 1 .. 4 x mux + 4
    quint8 sync = 0;               // 0 internal, 1 external
    quint8 detector = 1;           // 1 on, 0 off

    static constexpr int Size = 13;

    // The block as it goes on the wire.
    QByteArray toBytes() const;
    // The block from its wire form; false (and *this unchanged) when data is not 13 bytes.
    bool fromBytes(const QByteArray& data);

    bool operator==(const AcquisitionParameters& o) const { return toBytes() == o.toBytes(); }
    bool operator!=(const AcquisitionParameters& o) const { return !(*this == o); }
};

// The program's one parameter block: filled from the settings file and by the parameters dialog.
extern AcquisitionParameters g_acquisitionParameters;

// The port served in-process by the emulated unit (see k4demo.h).
QString demoPortName();
// The unit behind that port; it lives as long as the process (its state outlasts each command).
K4Unit& demoUnit();

// State of the link; the program has one (g_link).
struct LinkState
{
    QString portName;      // port to open; set by the port dialog and the settings file
    int rate = 115200;     // baud rate
    bool timedOut = false; // the last receive wait ran out
    bool aborted = false;  // Stop was pressed; commands fail at once until the flag is cleared
    quint8 checksum = 0;   // running sum of the bytes sent or received since last cleared

    LinkPort* port = nullptr; // the device of the open (or last opened) port
};

extern LinkState g_link;

// Line set-up of portName at rate: 0 on success, else the port's error value
// (QSerialPort::SerialPortError). Clears timedOut and aborted on success only.
int openLink(const QString& portName, int rate);
// Closes the port (no-op when it is closed).
void closeLink();
// Stop: sets aborted and closes the port; every wait in progress ends at its next poll.
void abortLink();
// closeLink() then openLink(); used by the port dialog.
int reopenLink(const QString& portName, int rate);
// Lets a new acquisition run after a Stop without opening the port: clears aborted and timedOut.
void resetLinkFlags();
// Destroys the port objects; the program calls it at exit (it is also registered as a
// post-routine of the application object).
void shutdownLink();
// True while a port is open.
bool linkIsOpen();

// Queued-output and receive primitives of the protocol.
bool sendBytes(const char* data, int count);
bool sendByte(quint8 value);
// A received byte, or 0 with timedOut (wait ran out) or aborted set, or with the port gone.
quint8 receiveByte(int timeoutMs);
// Processes events for ms milliseconds; ends early when aborted is set.
void pauseWithEvents(int ms);

// The handshake FF FF 55 AA -> A5 on the open port.
bool syncUnit();
// Command 0x21: sends the parameter block.
bool sendAcquisitionParameters(const AcquisitionParameters& block);
// Command 0x22: the unit's state, 0 when it has finished and holds the samples.
bool queryUnitState(quint8* state);

// Where the bytes of a channel go: for a sample offset, gives the address of that sample and
// returns how many samples can be written there contiguously (0: no room). The channel buffer's
// chunkAt has this shape.
using ChannelSpan = std::function<int(int offset, qint8** address)>;

// Command 0x23: reads count bytes of channel (clamped to 0..255) into target, advancing
// progressBar (may be null) from its current value; a stream that stops for more than a second
// fails and puts the bar back.
bool readChannelData(int channel, int count, QProgressBar* progressBar, const ChannelSpan& target);

// Adapter for buffers with chunkAt(int, qint8**) (the channel buffer).
template <class Buffer>
bool readChannelData(int channel, int count, QProgressBar* progressBar, Buffer& buffer)
{
    return readChannelData(channel, count, progressBar, ChannelSpan([&buffer](int offset, qint8** at) {
                               return buffer.chunkAt(offset, at);
                           }));
}

// Low-level device of the link: a real serial port or the in-process emulated unit. Kept in the
// header so tests can see which kind is in use and so the demo can be tuned.
class LinkPort
{
public:
    virtual ~LinkPort() = default;
    // 0 or the error value of the failing step.
    virtual int open(const QString& name, int rate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool clear() = 0;
    virtual qint64 bytesToWrite() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual qint64 write(const char* data, qint64 count) = 0;
    virtual qint64 read(char* data, qint64 count) = 0;
    // Blocks at most ms milliseconds: until input arrives (forInput) or output drains.
    virtual void waitBriefly(int ms, bool forInput) = 0;
    // Blocks ms milliseconds while a long reply streams in, letting it accumulate.
    virtual void gather(int ms) = 0;
    // Errors that ended the connection (hang-up, unplugged adapter) since the last open.
    virtual bool broken() const = 0;
};

// Longest block of a wait between two event-processing rounds, in milliseconds.
constexpr int LinkPollMs = 5;
