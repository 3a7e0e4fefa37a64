#include "k4demo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr quint8 CmdSetParameters = 0x21;
constexpr quint8 CmdQueryState = 0x22;
constexpr quint8 CmdReadChannel = 0x23;
constexpr quint32 SyncWord = 0xFFFF55AAu; // FF FF 55 AA, oldest byte highest
constexpr quint8 SyncReply = 0xA5;
constexpr quint8 WrongSyncReply = 0x5A;
constexpr quint8 Ack = 0x00;
constexpr quint8 BadAck = 0x01;
constexpr quint8 Nak = 0xFF;         // a frame whose checksum did not match
constexpr double FrameGapMs = 200.0; // a frame left unfinished this long is dropped
constexpr double Pi = 3.14159265358979323846;

quint64 finalise(quint64 z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

quint64 next(quint64& state)
{
    state += 0x9E3779B97F4A7C15ull;
    return finalise(state);
}

double uniform(quint64& state)
{
    return double(next(state) >> 11) * (1.0 / 9007199254740992.0); // [0, 1)
}

// Approximately normal, unit variance, from one hash: sum of four 16-bit uniforms.
double gaussianAt(quint64 key, quint64 index)
{
    const quint64 h = finalise(key ^ (index * 0xD1B54A32D192ED03ull));
    const double sum =
        double(h & 0xFFFF) + double((h >> 16) & 0xFFFF) + double((h >> 32) & 0xFFFF) + double(h >> 48);
    return (sum / 65536.0 - 2.0) * 1.7320508075688772;
}

quint64 streamKey(quint32 seed, int input, quint64 salt)
{
    return finalise((quint64(seed) << 32) ^ (quint64(quint32(input)) << 8) ^ salt);
}

// A burst as its source emits it on the plate.
struct Burst
{
    double t0, x, y, amplitude, tau, rise, omega, phase;
};

// The bursts of a group of four inputs, one after another from their own random stream: all four
// sensors of the group hear the same sources.
class BurstStream
{
public:
    BurstStream(const K4Setup& setup, quint32 seed)
        : m_draws(streamKey(seed, GroupBase + setup.mux, 0x33))
    {
        quint64 character = streamKey(seed, GroupBase + setup.mux, 0x11);
        m_rate = 40.0 + 40.0 * uniform(character);                        // bursts per second
        m_centreHz = 50e3 * std::exp(uniform(character) * std::log(7.0)); // 50 ... 350 kHz
        m_next = gap();
    }
    double nextTime() const { return m_next; }
    Burst take()
    {
        Burst b;
        b.t0 = m_next;
        b.x = K4PlateSide * uniform(m_draws);
        b.y = K4PlateSide * uniform(m_draws);
        b.amplitude = 8.0 * std::exp(2.8 * uniform(m_draws)); // ~8 ... 130 steps at the source
        b.tau = 30e-6 * std::exp(2.3 * uniform(m_draws));     // 30 ... 300 us
        b.rise = 1e-6 + 3e-6 * uniform(m_draws);
        b.omega = 2.0 * Pi * m_centreHz * std::exp(0.5 * (uniform(m_draws) - 0.5));
        // A burst starts well away from a zero crossing, so that its first sample stands out.
        const double turn = 2.0 * uniform(m_draws);
        b.phase = Pi / 4.0 + Pi / 2.0 * (turn - std::floor(turn)) + Pi * std::floor(turn);
        m_next += gap();
        return b;
    }

private:
    static constexpr int GroupBase = 256; // keys of groups, apart from those of inputs
    double gap() { return -std::log(1.0 - uniform(m_draws)) / m_rate; }

    quint64 m_draws;
    double m_rate = 1.0;
    double m_centreHz = 1.0;
    double m_next = 0.0;
};

// A burst as one sensor receives it.
struct Arrival
{
    qint64 start; // its first sample
    double amplitude, tau, rise, omega, phase, life;
};

quint8 sumOf(const QByteArray& data)
{
    quint32 s = 0;
    for (char c : data)
        s += quint8(c);
    return quint8(s);
}

} // namespace

K4Setup K4Setup::fromBlock(const QByteArray& block)
{
    K4Setup s;
    if (block.size() < 13)
        return s;
    auto u8 = [&](int i) { return quint8(block[i]); };
    s.halfLength = quint16(u8(2) | (u8(3) << 8));
    s.waitCount = quint16(u8(4) | (u8(5) << 8));
    for (int i = 0; i < 4; ++i)
        s.gain[i] = u8(6 + i);
    s.mux = u8(10);
    s.sync = u8(11);
    s.detector = u8(12);
    return s;
}

K4Fault::Kind K4Fault::kindFromName(const QByteArray& name, bool* ok)
{
    static const struct
    {
        const char* name;
        Kind kind;
    } names[] = {{"none", None},
                 {"wrong-handshake", WrongHandshake},
                 {"no-ack", NoAck},
                 {"wrong-ack", WrongAck},
                 {"wrong-checksum", WrongChecksum},
                 {"stall", Stall},
                 {"busy-forever", BusyForever},
                 {"garbage", Garbage},
                 {"hang-up", HangUp}};
    for (const auto& n : names) {
        if (name == n.name) {
            if (ok)
                *ok = true;
            return n.kind;
        }
    }
    if (ok)
        *ok = false;
    return None;
}

double k4SensorX(int channel)
{
    return channel == 1 || channel == 2 ? K4PlateSide : 0.0;
}

double k4SensorY(int channel)
{
    return channel == 2 || channel == 3 ? K4PlateSide : 0.0;
}

double k4Attenuation(double metres)
{
    return std::exp(-1.5 * metres);
}

std::vector<K4Source> k4Sources(const K4Setup& setup, quint32 seed, double untilS)
{
    std::vector<K4Source> out;
    BurstStream stream(setup, seed);
    while (stream.nextTime() <= untilS) {
        const Burst b = stream.take();
        out.push_back({b.t0, b.x, b.y, b.amplitude});
    }
    return out;
}

// Acoustic emission as the unit would see it: bursts of decaying oscillation from random points
// of the plate, reaching each sensor after the travel from the source, weaker with the distance,
// over the sensor's own noise. Every input has its own sensitivity and noise level. Bursts are
// drawn one after another and noise is a hash of the sample index, so a longer record begins with
// the samples of a shorter one.
QByteArray k4ChannelBytes(const K4Setup& setup, quint32 seed, int channel, int count)
{
    if (count < 0)
        count = 2 * int(setup.halfLength);
    QByteArray out(count, '\0');
    if (channel < 0 || channel > 3 || count == 0)
        return out;

    const int input = setup.input(channel);
    quint64 character = streamKey(seed, input, 0x11);
    const double sensitivity = 0.8 + 0.4 * uniform(character);
    const double noiseSigma = 0.45 + 0.1 * uniform(character);
    const quint64 noiseKey = streamKey(seed, input, 0x22);
    BurstStream stream(setup, seed);
    const double sx = k4SensorX(channel), sy = k4SensorY(channel);

    const double gain = std::ldexp(1.0, std::min<int>(setup.gain[channel], 24));
    const double dt = 1.0 / setup.samplingHz();
    const bool detector = setup.detector != 0;

    std::vector<Arrival> active;
    char* dst = out.data();
    for (int i = 0; i < count; ++i) {
        const double t = i * dt;
        // A burst emitted since the last sample reaches the sensor a whole number of samples
        // later, the travel at the sampling rate in force.
        while (stream.nextTime() <= t) {
            const Burst b = stream.take();
            const double metres = std::hypot(b.x - sx, b.y - sy);
            Arrival a;
            a.start = i + std::llround(metres / K4PlateVelocity / dt);
            a.amplitude = b.amplitude * sensitivity * k4Attenuation(metres);
            a.tau = b.tau;
            a.rise = b.rise;
            a.omega = b.omega;
            a.phase = b.phase;
            a.life = b.tau * std::log(std::max(2.0, 4.0 * a.amplitude * gain)) + 5.0 * b.rise;
            active.push_back(a);
        }
        double wave = 0.0;
        double envelope = 0.0;
        for (std::size_t k = 0; k < active.size();) {
            const Arrival& b = active[k];
            if (i < b.start) {
                ++k; // still on its way
                continue;
            }
            const double d = double(i - b.start) * dt;
            if (d > b.life) {
                active[k] = active.back();
                active.pop_back();
                continue;
            }
            ++k;
            // The first sample already carries the rise of one sample period.
            const double a = b.amplitude * (1.0 - std::exp(-(d + dt) / b.rise)) * std::exp(-d / b.tau);
            wave += a * std::sin(b.omega * d + b.phase);
            envelope += a;
        }
        const double noise = noiseSigma * gaussianAt(noiseKey, quint64(i));
        double v;
        if (detector) // rectified, from the bottom of the scale: level 0 is -128, one step 2 units
            v = std::clamp(2.0 * (envelope + std::fabs(noise)) * gain - 128.0, -128.0, 127.0);
        else
            v = std::clamp((wave + noise) * gain, -128.0, 127.0);
        dst[i] = char(qint8(std::lround(v)));
    }
    return out;
}

double k4AcquisitionMs(const K4Setup& setup, quint32 seed)
{
    double ms = 2.0 * double(setup.halfLength) / setup.samplingHz() * 1000.0;
    if (setup.sync != 0) {
        quint64 s = streamKey(seed, 0, 0x44);
        ms += 20.0 + 280.0 * uniform(s); // waiting for the external trigger
    }
    return ms;
}

K4Unit::K4Unit() = default;

void K4Unit::connectLine(double nowMs)
{
    m_parse = Parse::Idle;
    m_sync = 0;
    m_lastByteMs = nowMs;
    dropOutput();
}

void K4Unit::dropOutput()
{
    m_out.clear();
    m_lineFreeMs = 0;
}

bool K4Unit::spoils(int command) const
{
    if (m_fault.kind == K4Fault::None || m_fault.count == 0 || !m_frameSpoilable)
        return false;
    if (m_fault.command != 0 && m_fault.command != command)
        return false;
    switch (m_fault.kind) {
    case K4Fault::WrongChecksum: return command == CmdQueryState || command == CmdReadChannel;
    case K4Fault::Stall: return command == CmdReadChannel;
    case K4Fault::BusyForever: return command == CmdQueryState;
    default: return true;
    }
}

void K4Unit::spend()
{
    if (m_fault.count > 0)
        --m_fault.count;
    m_frameSpoilable = false;
}

void K4Unit::send(const QByteArray& data, double notBeforeMs)
{
    if (data.isEmpty())
        return;
    Segment s;
    s.data = data;
    s.startMs = std::max(notBeforeMs, m_lineFreeMs);
    m_lineFreeMs = s.startMs + double(data.size()) * byteMs();
    m_out.push_back(s);
}

void K4Unit::sendHangUp(double notBeforeMs)
{
    Segment s;
    s.hangUp = true;
    s.startMs = std::max(notBeforeMs, m_lineFreeMs);
    m_lineFreeMs = Never;
    m_out.push_back(s);
}

void K4Unit::receive(const char* data, qint64 count, double nowMs)
{
    if (count <= 0)
        return;
    m_log.append(data, count);
    if (m_parse != Parse::Idle && nowMs - m_lastByteMs > FrameGapMs)
        m_parse = Parse::Idle;
    m_lastByteMs = nowMs;

    for (qint64 i = 0; i < count; ++i) {
        const quint8 b = quint8(data[i]);
        switch (m_parse) {
        case Parse::Idle:
            m_sync = (m_sync << 8) | b;
            if (m_sync == SyncWord) {
                m_sync = 0;
                ++m_frames;
                // A new handshake abandons whatever reply was still going out.
                dropOutput();
                m_frameSpoilable = true;
                if (m_fault.kind == K4Fault::WrongHandshake && m_fault.count != 0) {
                    spend();
                    send(QByteArray(1, char(WrongSyncReply)), nowMs);
                } else {
                    send(QByteArray(1, char(SyncReply)), nowMs);
                }
                m_parse = Parse::Command;
            }
            break;
        case Parse::Command:
            m_command = b;
            m_payload.clear();
            if (b == CmdSetParameters)
                m_payloadSize = 13;
            else if (b == CmdQueryState)
                m_payloadSize = 0;
            else if (b == CmdReadChannel)
                m_payloadSize = 5;
            else {
                // Not a command: the host is probably starting over, so the byte may begin a
                // handshake.
                m_parse = Parse::Idle;
                m_sync = b;
                break;
            }
            m_parse = Parse::Payload;
            break;
        case Parse::Payload:
            if (m_payload.size() < m_payloadSize) {
                m_payload.append(char(b));
            } else {
                quint8 sum = m_command;
                sum = quint8(sum + sumOf(m_payload));
                m_parse = Parse::Idle;
                m_sync = 0;
                if (sum != b)
                    send(QByteArray(1, char(Nak)), nowMs);
                else
                    execute(nowMs);
            }
            break;
        }
    }
}

void K4Unit::execute(double nowMs)
{
    const int cmd = m_command;
    if (spoils(cmd)) {
        switch (m_fault.kind) {
        case K4Fault::NoAck: spend(); return;
        case K4Fault::WrongAck:
            spend();
            send(QByteArray(1, char(BadAck)), nowMs);
            return;
        case K4Fault::Garbage:
            spend();
            send(QByteArray("\x3C\xC3\x7E", 3), nowMs);
            break;
        case K4Fault::HangUp:
            if (cmd != CmdReadChannel) {
                spend();
                sendHangUp(nowMs);
                return;
            }
            break;
        default: break;
        }
    }
    send(QByteArray(1, char(Ack)), nowMs);

    if (cmd == CmdSetParameters) {
        m_setup = K4Setup::fromBlock(m_payload);
        m_runSeed = m_varySeed ? m_seed + quint32(m_acquisitions) : m_seed;
        ++m_acquisitions;
        m_busyUntilMs = nowMs + k4AcquisitionMs(m_setup, m_runSeed);
    } else if (cmd == CmdQueryState) {
        quint8 state = busy(nowMs) ? 1 : 0;
        if (spoils(cmd) && m_fault.kind == K4Fault::BusyForever) {
            spend();
            state = 1;
        }
        quint8 check = state;
        if (spoils(cmd) && m_fault.kind == K4Fault::WrongChecksum) {
            spend();
            check = quint8(state + 1);
        }
        QByteArray reply;
        reply.append(char(state));
        reply.append(char(check));
        send(reply, nowMs);
    } else if (cmd == CmdReadChannel) {
        const int channel = quint8(m_payload[4]);
        const int half = quint8(m_payload[2]) | (quint8(m_payload[3]) << 8);
        const QByteArray data = k4ChannelBytes(m_setup, m_runSeed, channel, 2 * half);
        quint8 check = sumOf(data);
        if (spoils(cmd) && m_fault.kind == K4Fault::WrongChecksum) {
            spend();
            check = quint8(check + 1);
        }
        const QByteArray tail(1, char(check));
        if (spoils(cmd) && (m_fault.kind == K4Fault::Stall || m_fault.kind == K4Fault::HangUp)) {
            const bool hangUp = m_fault.kind == K4Fault::HangUp;
            const int stallMs = m_fault.stallMs;
            spend();
            const qint64 firstHalf = data.size() / 2;
            send(data.left(firstHalf), nowMs);
            if (hangUp) {
                sendHangUp(nowMs);
                return;
            }
            send(data.mid(firstHalf) + tail, stallMs < 0 ? Never : m_lineFreeMs + stallMs);
        } else {
            send(data + tail, nowMs);
        }
    }
}

bool K4Unit::busy(double nowMs) const
{
    return nowMs < m_busyUntilMs;
}

qint64 K4Unit::arrived(const Segment& s, double nowMs) const
{
    if (s.hangUp || nowMs < s.startMs)
        return 0;
    const double per = byteMs();
    if (per <= 0.0)
        return s.data.size();
    const double n = std::floor((nowMs - s.startMs) / per);
    return n >= double(s.data.size()) ? s.data.size() : qint64(n);
}

qint64 K4Unit::available(double nowMs) const
{
    qint64 total = 0;
    for (const Segment& s : m_out) {
        const qint64 got = arrived(s, nowMs);
        total += got - s.taken;
        if (s.hangUp || got < s.data.size())
            break;
    }
    return total;
}

qint64 K4Unit::read(char* data, qint64 max, double nowMs)
{
    qint64 done = 0;
    while (done < max && !m_out.empty()) {
        Segment& s = m_out.front();
        if (s.hangUp)
            break;
        const qint64 got = arrived(s, nowMs);
        const qint64 n = std::min(max - done, got - s.taken);
        if (n > 0) {
            std::copy_n(s.data.constData() + s.taken, n, data + done);
            s.taken += n;
            done += n;
        }
        if (s.taken < s.data.size())
            break;
        m_out.pop_front();
    }
    return done;
}

double K4Unit::nextByteMs(double nowMs) const
{
    for (const Segment& s : m_out) {
        if (s.hangUp)
            return s.startMs;
        if (s.taken >= s.data.size())
            continue;
        if (arrived(s, nowMs) > s.taken)
            return nowMs;
        return s.startMs + double(s.taken + 1) * byteMs();
    }
    return Never;
}

bool K4Unit::hungUp(double nowMs) const
{
    for (const Segment& s : m_out) {
        if (s.hangUp)
            return nowMs >= s.startMs;
        if (s.taken < s.data.size())
            return false;
    }
    return false;
}
