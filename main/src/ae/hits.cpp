#include "ae/hits.h"

#include "ae/hit_features.h"
#include "convert.h"
#include "wave_stor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ae {

namespace {

// Longest window in samples: far beyond any record, small enough that sums of windows and
// indices stay inside 64 bits.
constexpr qint64 LongestWindow = qint64(1) << 50;

inline int byteIndex(qint8 v)
{
    return int(v) + 128;
}

} // namespace

double decibelsReMicrovolt(double volts)
{
    if (!(volts > 0.0))
        return std::nan("");
    return 20.0 * std::log10(volts / 1e-6);
}

bool periodKnown(double periodUs)
{
    return std::isfinite(periodUs) && periodUs > 0.0;
}

qint64 windowSamples(double us, double periodUs)
{
    if (!(us > 0.0))
        return 0;
    const double samples = periodKnown(periodUs) ? us / periodUs : us;
    // A window that is a whole number of periods stays whole despite the rounding of the division.
    const double whole = std::floor(samples + 1e-9);
    return whole >= double(LongestWindow) ? LongestWindow : qint64(whole);
}

HitDetector::HitDetector(const HitSettings& settings, double periodUs, int gainCode, bool unipolar,
                         int channel, std::vector<Hit>& out)
    : m_out(out)
{
    // A threshold that is not above 0 (or not a number) is reached by nothing.
    const double t = settings.thresholdV > 0.0 ? settings.thresholdV : std::nan("");
    for (int v = -128; v < 128; ++v) {
        const double volts = sampleVolts(v, unipolar, gainCode);
        const int k = byteIndex(qint8(v));
        m_volts[k] = std::fabs(volts);
        m_square[k] = volts * volts;
        m_reaches[k] = m_volts[k] >= t;
        m_positive[k] = volts >= t;
    }
    m_pdt = windowSamples(settings.pdtUs, periodUs);
    m_hdt = windowSamples(settings.hdtUs, periodUs);
    m_hlt = windowSamples(settings.hltUs, periodUs);
    m_hit.channel = channel;
}

void HitDetector::feed(const qint8* samples, qint64 n)
{
    if (!samples || n <= 0)
        return;
    qint64 k = 0;
    while (k < n) {
        if (!m_open) {
            // The lockout first, then the next sample that reaches the threshold.
            const qint64 locked = m_lockedUntil - (m_next + k) + 1;
            if (locked > 0) {
                k += std::min(locked, n - k);
                continue;
            }
            while (k < n && !m_reaches[byteIndex(samples[k])])
                ++k;
            if (k == n)
                break;
            const int b = byteIndex(samples[k]);
            const int channel = m_hit.channel;
            m_hit = Hit{};
            m_hit.channel = channel;
            m_hit.first = m_hit.peak = m_hit.last = m_next + k;
            m_hit.peakV = m_volts[b];
            // The first sample counts as a crossing when it lies above the positive threshold.
            m_abovePositive = m_positive[b];
            m_hit.counts = m_hit.countsToPeak = m_abovePositive ? 1 : 0;
            m_energy = m_hit.sumSquares = m_square[b];
            m_peakFixed = false;
            m_open = true;
            ++k;
            continue;
        }
        // The samples are bytes, which the compiler must assume may alias the members: the hit
        // is worked on in locals and written back once per span.
        Hit h = m_hit;
        double energy = m_energy;
        bool above = m_abovePositive, peakFixed = m_peakFixed, ended = false;
        const qint64 base = m_next, hdt = m_hdt, pdt = m_pdt;
        for (; k < n; ++k) {
            const qint64 i = base + k;
            if (i - h.last > hdt) {
                ended = true; // this sample may start the next hit
                break;
            }
            const int b = byteIndex(samples[k]);
            energy += m_square[b];
            const bool positive = m_positive[b];
            h.counts += int(positive && !above);
            above = positive;
            if (!peakFixed) {
                if (i - h.peak > pdt) {
                    peakFixed = true;
                } else if (m_volts[b] > h.peakV) {
                    h.peak = i;
                    h.peakV = m_volts[b];
                    h.countsToPeak = h.counts;
                }
            }
            // Selects rather than branches: above the threshold nearly everywhere, a branch here
            // is mispredicted at every crossing.
            const bool reaches = m_reaches[b];
            h.last = reaches ? i : h.last;
            h.sumSquares = reaches ? energy : h.sumSquares;
        }
        m_hit = h;
        m_energy = energy;
        m_abovePositive = above;
        m_peakFixed = peakFixed;
        if (ended)
            close();
    }
    m_next += n;
}

void HitDetector::finish()
{
    if (m_open)
        close();
}

void HitDetector::close()
{
    m_open = false;
    m_lockedUntil = m_hit.last + m_hdt + m_hlt;
    m_out.push_back(m_hit);
}

void detectChannelHits(const TWaveView& channel, int slot, int gainCode, double periodUs,
                       const HitSettings& settings, std::vector<Hit>& out)
{
    const std::size_t before = out.size();
    HitDetector detector(settings, periodUs, gainCode, channel.unipolar, slot, out);
    for (int i = 0; i < channel.count;) {
        const qint8* span = nullptr;
        const int n = channel.chunkAt(i, &span);
        if (n <= 0)
            break; // a block that is not there ends the samples
        detector.feed(span, n);
        i += n;
    }
    detector.finish();
    HitSpectrometer spectra;
    for (std::size_t h = before; h < out.size(); ++h)
        spectra.measure(channel, gainCode, out[h]);
}

namespace {

// The channel of slot ch when its hits are searched (spectrum channels are not).
const TWaveView* searchedChannel(const TWaveStor& record, int ch)
{
    const TWaveView* v = record.channel(ch);
    return v && record.channelHeader(ch) && !v->spectrum ? v : nullptr;
}

} // namespace

std::vector<int> searchedSlots(const TWaveStor& record)
{
    std::vector<int> found;
    for (int ch = 0; ch < record.channelCount(); ++ch)
        if (searchedChannel(record, ch))
            found.push_back(ch);
    return found;
}

std::vector<Hit> detectHits(const TWaveStor& record, const HitSettings& settings)
{
    RecordHitSearch search(record, settings);
    while (search.step(std::numeric_limits<qint64>::max()))
        ;
    return std::move(search.hits());
}

RecordHitSearch::RecordHitSearch(const TWaveStor& record, const HitSettings& settings)
    : m_record(record)
    , m_settings(settings)
    , m_period(record.samplePeriodUs())
    , m_spectrometer(std::make_unique<HitSpectrometer>())
{
    for (int ch = 0; ch < record.channelCount(); ++ch) {
        if (const TWaveView* v = searchedChannel(record, ch))
            m_total += std::max(v->count, 0);
    }
    startNextChannel();
}

RecordHitSearch::~RecordHitSearch() = default;

bool RecordHitSearch::startNextChannel()
{
    m_detector.reset();
    while (++m_slot < m_record.channelCount()) {
        if (const TWaveView* v = searchedChannel(m_record, m_slot)) {
            m_pos = 0;
            m_detector = std::make_unique<HitDetector>(m_settings, m_period, m_record.channelHeader(m_slot)->gainCode,
                                                       v->unipolar, m_slot, m_hits);
            return true;
        }
    }
    return false;
}

void RecordHitSearch::measureEnded()
{
    for (; m_measured < m_hits.size(); ++m_measured) {
        Hit& h = m_hits[m_measured];
        m_spectrometer->measure(*m_record.channel(h.channel), m_record.channelHeader(h.channel)->gainCode, h);
    }
}

bool RecordHitSearch::step(qint64 samples)
{
    qint64 budget = std::max<qint64>(samples, 1);
    while (m_detector && budget > 0) {
        const TWaveView& v = *m_record.channel(m_slot);
        const qint8* span = nullptr;
        const int n = m_pos < v.count ? v.chunkAt(int(m_pos), &span) : 0;
        if (n <= 0) {
            // The channel's end (or a block that is not there): its last hit ends with it.
            m_detector->finish();
            measureEnded();
            m_searched += std::max<qint64>(v.count - m_pos, 0);
            startNextChannel();
            continue;
        }
        const qint64 k = std::min<qint64>(n, budget);
        m_detector->feed(span, k);
        measureEnded();
        m_pos += k;
        m_searched += k;
        budget -= k;
    }
    if (m_detector && m_pos >= m_record.channel(m_slot)->count) {
        m_detector->finish();
        measureEnded();
        startNextChannel();
    }
    return m_detector != nullptr;
}

HitRow hitRow(const Hit& hit, double periodUs, std::optional<qint64> startUtcUs)
{
    HitRow r;
    r.channel = hit.channel + 1;
    r.peakV = hit.peakV;
    r.peakDb = decibelsReMicrovolt(hit.peakV);
    r.counts = hit.counts;
    r.countsToPeak = hit.countsToPeak;
    if (!periodKnown(periodUs))
        return r;
    r.arrivalUs = double(hit.first) * periodUs;
    r.riseUs = double(hit.peak - hit.first) * periodUs;
    r.durationUs = double(hit.last - hit.first) * periodUs;
    r.energyV2s = hit.sumSquares * periodUs * 1e-6;
    if (hit.last > hit.first)
        r.avgFreqKHz = double(hit.counts) / *r.durationUs * 1000.0;
    if (hit.peakV > 0.0)
        r.raMsPerV = *r.riseUs / 1000.0 / hit.peakV;
    // Cycles per sample times samples per ms.
    if (hit.peakCycles >= 0.0)
        r.peakFreqKHz = hit.peakCycles * 1000.0 / periodUs;
    if (hit.centroidCycles >= 0.0)
        r.centroidKHz = hit.centroidCycles * 1000.0 / periodUs;
    if (startUtcUs)
        r.timeUtcUs = *startUtcUs + qint64(std::llround(*r.arrivalUs));
    return r;
}

} // namespace ae
