#include "ae/hit_features.h"

#include "convert.h"
#include "ufft.h"
#include "wave_view.h"

#include <algorithm>
#include <cmath>

namespace ae {

namespace {

// Amplitudes further apart than this are no peaks of a record (an 8-bit converter spans about
// 120 dB); such a list has no levels rather than a table of that size.
constexpr double MostLevels = 10000;

// Levels with at least this many hits at or above them enter the b-value fit.
constexpr qint64 FitLevelHits = 5;
constexpr qint64 FitLeastHits = 10;
constexpr int FitLeastLevels = 3;

} // namespace

void spectrumFeatures(const double* volts, qint64 n, std::vector<double>& work, double& peakCycles,
                      double& centroidCycles)
{
    peakCycles = centroidCycles = -1.0;
    if (!volts || n < 2)
        return;
    n = std::min(n, SpectrumSamples);
    int k = 1;
    while ((qint64(1) << k) < n)
        ++k;
    const qint64 size = qint64(1) << k;
    work.assign(std::size_t(2 * size), 0.0);
    double* re = work.data();
    double* im = re + size;
    std::copy(volts, volts + n, re);
    // The transform that serves no events: a search runs it for every hit, and must not be
    // re-entered half way.
    forwardFFTDouble(re, im, k);
    double largest = 0.0, sum = 0.0, weighted = 0.0;
    qint64 peakBin = 0;
    for (qint64 b = 1; b <= size / 2; ++b) {
        const double m = std::sqrt(re[b] * re[b] + im[b] * im[b]);
        if (m > largest) { // the lowest of equal bins stays
            largest = m;
            peakBin = b;
        }
        sum += m;
        weighted += double(b) * m;
    }
    if (!(sum > 0.0))
        return;
    peakCycles = double(peakBin) / double(size);
    centroidCycles = weighted / sum / double(size);
}

void HitSpectrometer::measure(const TWaveView& channel, int gainCode, Hit& hit)
{
    hit.peakCycles = hit.centroidCycles = -1.0;
    const qint64 n = std::min(hit.last - hit.first + 1, SpectrumSamples);
    if (n < 2 || hit.first < 0 || hit.first + n > channel.count)
        return;
    if (gainCode != m_gain || channel.unipolar != m_unipolar) {
        m_gain = gainCode;
        m_unipolar = channel.unipolar;
        for (int v = -128; v < 128; ++v)
            m_table[v + 128] = sampleVolts(v, m_unipolar, m_gain);
    }
    m_volts.resize(std::size_t(n));
    for (qint64 i = 0; i < n;) {
        const qint8* span = nullptr;
        const qint64 got = std::min<qint64>(channel.chunkAt(int(hit.first + i), &span), n - i);
        if (got <= 0)
            return; // a block that is not there
        for (qint64 j = 0; j < got; ++j)
            m_volts[std::size_t(i + j)] = m_table[int(span[j]) + 128];
        i += got;
    }
    spectrumFeatures(m_volts.data(), n, m_work, hit.peakCycles, hit.centroidCycles);
}

AmplitudeDistribution amplitudeDistribution(const std::vector<double>& amplitudesDb)
{
    AmplitudeDistribution d;
    double low = 0.0, high = 0.0;
    for (double a : amplitudesDb) {
        if (!std::isfinite(a))
            continue;
        low = d.hits == 0 ? a : std::min(low, a);
        high = d.hits == 0 ? a : std::max(high, a);
        ++d.hits;
    }
    if (d.hits == 0 || std::floor(high) - std::floor(low) >= MostLevels)
        return d;
    d.lowest = int(std::floor(low));
    const std::size_t levels = std::size_t(std::floor(high) - d.lowest) + 1;
    d.perLevel.assign(levels, 0);
    for (double a : amplitudesDb)
        if (std::isfinite(a))
            ++d.perLevel[std::size_t(std::floor(a) - d.lowest)];
    d.atLeast.assign(levels, 0);
    qint64 above = 0;
    for (std::size_t i = levels; i-- > 0;)
        d.atLeast[i] = above += d.perLevel[i];
    return d;
}

std::optional<BValueFit> bValueFit(const AmplitudeDistribution& d)
{
    // N(L) only falls with L: the levels with enough hits are the first ones.
    int levels = 0;
    while (levels < int(d.atLeast.size()) && d.atLeast[std::size_t(levels)] >= FitLevelHits)
        ++levels;
    if (d.hits < FitLeastHits || levels < FitLeastLevels)
        return std::nullopt;
    double meanX = 0.0, meanY = 0.0;
    for (int i = 0; i < levels; ++i) {
        meanX += d.lowest + i;
        meanY += std::log10(double(d.atLeast[std::size_t(i)]));
    }
    meanX /= levels;
    meanY /= levels;
    double sxy = 0.0, sxx = 0.0;
    for (int i = 0; i < levels; ++i) {
        const double dx = d.lowest + i - meanX;
        sxy += dx * (std::log10(double(d.atLeast[std::size_t(i)])) - meanY);
        sxx += dx * dx;
    }
    BValueFit fit;
    fit.slope = sxy / sxx;
    fit.intercept = meanY - fit.slope * meanX;
    fit.b = -20.0 * fit.slope;
    fit.first = d.lowest;
    fit.last = d.lowest + levels - 1;
    return fit;
}

std::optional<double> bValue(const std::vector<double>& amplitudesDb)
{
    if (const std::optional<BValueFit> fit = bValueFit(amplitudeDistribution(amplitudesDb)))
        return fit->b;
    return std::nullopt;
}

std::vector<ChannelSummary> summarizeChannels(const std::vector<HitRow>& rows,
                                              const std::vector<int>& channels)
{
    std::vector<ChannelSummary> out(channels.size());
    std::vector<std::vector<double>> amplitudes(channels.size());
    std::vector<bool> energyKnown(channels.size(), true);
    for (std::size_t i = 0; i < channels.size(); ++i)
        out[i].channel = channels[i];
    for (const HitRow& r : rows) {
        const auto at = std::find(channels.begin(), channels.end(), r.channel);
        if (at == channels.end())
            continue;
        const std::size_t i = std::size_t(at - channels.begin());
        ChannelSummary& s = out[i];
        ++s.hits;
        s.peakDbMax = std::max(s.peakDbMax.value_or(r.peakDb), r.peakDb);
        energyKnown[i] = energyKnown[i] && r.energyV2s.has_value();
        s.energyV2s = s.energyV2s.value_or(0.0) + r.energyV2s.value_or(0.0);
        amplitudes[i].push_back(r.peakDb);
    }
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (!energyKnown[i] || out[i].hits == 0)
            out[i].energyV2s.reset();
        out[i].bValue = bValue(amplitudes[i]);
    }
    return out;
}

} // namespace ae
