#pragma once

// An emulated K4 acquisition unit, written from its byte protocol. It is a passive object with no
// thread and no timer: the host side hands it the bytes it receives with the time they arrived,
// and asks at any later time how many reply bytes have come out of the line by then. Replies are
// paced at the line rate (baud / 10 bytes per second) unless pacing is switched off. Used in the
// program behind the port "K4-DEMO" and by the k4sim tool on a pseudo-terminal.

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <limits>
#include <vector>

// The unit's view of a parameter block (command 0x21).
struct K4Setup
{
    quint16 halfLength = 0;
    quint16 waitCount = 24;
    quint8 gain[4] = {0, 0, 0, 0};
    quint8 mux = 0;
    quint8 sync = 0;
    quint8 detector = 0;

    // From the 13 bytes of the block (little-endian fields); a shorter block gives the defaults.
    static K4Setup fromBlock(const QByteArray& block);
    double samplingHz() const { return 3.0e6 / (double(waitCount) + 1.0); }
    // Input number 1.. of channel 0..3 for this group.
    int input(int channel) const { return 4 * mux + channel + 1; }
};

// Faults the unit can be told to show, for testing the host.
struct K4Fault
{
    enum Kind {
        None,
        WrongHandshake, // answers the handshake with 0x5A
        NoAck,          // answers no command (and carries none out)
        WrongAck,       // acknowledges with 0x01 (and carries nothing out)
        WrongChecksum,  // closes state and channel replies with a wrong checksum
        Stall,          // a channel reply stops halfway for stallMs (forever when negative)
        BusyForever,    // reports busy to every state query
        Garbage,        // sends three stray bytes before the acknowledgement
        HangUp,         // drops the line: instead of the acknowledgement, or halfway through a channel
    };
    Kind kind = None;
    int count = -1;  // number of frames to spoil; negative: every frame
    int command = 0; // spoil only frames of this command (0x21, 0x22, 0x23); 0: any
    int stallMs = 2000;

    // Parses names as the k4sim tool takes them ("no-ack", "stall" ...); None for an unknown name.
    static Kind kindFromName(const QByteArray& name, bool* ok = nullptr);
};

// The plate the emulated unit's sensors sit on: a square of K4PlateSide metres with the sensors
// of channels 0 ... 3 at its corners (0, 0), (side, 0), (side, side), (0, side), the waves
// travelling at K4PlateVelocity m/s.
constexpr double K4PlateSide = 0.5;
constexpr double K4PlateVelocity = 5000.0;
double k4SensorX(int channel);
double k4SensorY(int channel);
// The share of a burst's amplitude left after travelling metres.
double k4Attenuation(double metres);

// A burst's source: when (s from the start of the acquisition) and where (m) it happened, and
// its amplitude there in converter steps at gain 1.
struct K4Source
{
    double timeS = 0.0;
    double x = 0.0;
    double y = 0.0;
    double amplitude = 0.0;
};
// The sources the group of inputs of setup (its mux) hears in an acquisition with seed, up to
// untilS seconds, in time order: the ones k4ChannelBytes emits.
std::vector<K4Source> k4Sources(const K4Setup& setup, quint32 seed, double untilS);

// The exact bytes the unit sends for channel (0..3) of an acquisition with setup and seed:
// count bytes (2 x halfLength when count is negative). A longer record starts with the bytes of a
// shorter one. Channels above 3 give zeros.
QByteArray k4ChannelBytes(const K4Setup& setup, quint32 seed, int channel, int count = -1);

// Duration of an acquisition in milliseconds: samples / sampling frequency, plus the wait for the
// external trigger when synchronisation is external.
double k4AcquisitionMs(const K4Setup& setup, quint32 seed);

class K4Unit
{
public:
    K4Unit();

    // Configuration.
    void setSeed(quint32 seed) { m_seed = seed; }
    quint32 seed() const { return m_seed; }
    // When set, each accepted parameter block advances the seed by one (fresh data each run).
    void setVarySeed(bool on) { m_varySeed = on; }
    void setBaud(int baud) { m_baud = baud > 0 ? baud : 115200; }
    int baud() const { return m_baud; }
    void setPaced(bool on) { m_paced = on; }
    bool paced() const { return m_paced; }
    void setFault(const K4Fault& fault) { m_fault = fault; }
    const K4Fault& fault() const { return m_fault; }

    // A host connected to the line (the port was opened): frame parsing starts afresh and
    // whatever was still on its way out is lost.
    void connectLine(double nowMs);
    // The host cleared its buffers: reply bytes on their way are dropped.
    void dropOutput();

    // Bytes from the host, arriving at nowMs.
    void receive(const char* data, qint64 count, double nowMs);

    // Reply bytes that have fully arrived at the host's end by nowMs and are not read yet.
    qint64 available(double nowMs) const;
    // Takes up to max of those bytes.
    qint64 read(char* data, qint64 max, double nowMs);
    // Time at which the next reply byte will have arrived; infinity when none is on its way.
    double nextByteMs(double nowMs) const;
    // True once the line has been dropped (HangUp) and every byte before the drop was read.
    bool hungUp(double nowMs) const;
    // True when nothing is waiting or on its way.
    bool idle() const { return m_out.empty(); }

    // State of the current acquisition.
    bool busy(double nowMs) const;
    const K4Setup& setup() const { return m_setup; }
    quint32 runSeed() const { return m_runSeed; }
    int acquisitions() const { return m_acquisitions; }

    // Every byte received since the log was last cleared.
    const QByteArray& receivedLog() const { return m_log; }
    void clearLog() { m_log.clear(); }
    // Number of handshakes seen.
    int frames() const { return m_frames; }

    static constexpr double Never = std::numeric_limits<double>::infinity();

private:
    enum class Parse { Idle, Command, Payload };
    struct Segment
    {
        QByteArray data;
        qint64 taken = 0;
        double startMs = 0;  // when its first byte started on the line
        bool hangUp = false; // a marker: the line drops here
    };

    void send(const QByteArray& data, double notBeforeMs);
    void sendHangUp(double notBeforeMs);
    void execute(double nowMs);
    bool spoils(int command) const;
    void spend();
    double byteMs() const { return m_paced ? 10000.0 / double(m_baud) : 0.0; }
    qint64 arrived(const Segment& s, double nowMs) const;

    quint32 m_seed = 1;
    quint32 m_runSeed = 1;
    bool m_varySeed = false;
    int m_baud = 115200;
    bool m_paced = true;
    K4Fault m_fault;

    Parse m_parse = Parse::Idle;
    quint32 m_sync = 0; // the last four bytes while idle
    quint8 m_command = 0;
    QByteArray m_payload;
    int m_payloadSize = 0;
    double m_lastByteMs = 0;
    bool m_frameSpoilable = false; // the current frame counts against the fault count

    std::deque<Segment> m_out;
    double m_lineFreeMs = 0;

    K4Setup m_setup;
    double m_busyUntilMs = -1;
    int m_acquisitions = 0;
    int m_frames = 0;
    QByteArray m_log;
};
