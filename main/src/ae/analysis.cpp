#include "ae/analysis.h"

#include <algorithm>
#include <cmath>

namespace ae {

namespace {

bool known(double v)
{
    return std::isfinite(v);
}

double value(const std::optional<double>& v)
{
    return v ? *v : NoValue;
}

} // namespace

double framePosition(double v, const AxisRange& r, bool logarithmic)
{
    if (logarithmic)
        return (std::log10(v) - std::log10(r.low)) / (std::log10(r.high) - std::log10(r.low));
    return (v - r.low) / (r.high - r.low);
}

std::vector<AnalysisHit> analysisHits(const std::vector<Hit>& hits, double periodUs, int record,
                                      std::optional<qint64> startUtcUs, bool absoluteTime)
{
    std::vector<AnalysisHit> out;
    out.reserve(hits.size());
    for (const Hit& h : hits) {
        const HitRow r = hitRow(h, periodUs);
        AnalysisHit a;
        a.channel = r.channel;
        a.record = record;
        a.first = h.first;
        if (r.arrivalUs && (!absoluteTime || startUtcUs))
            a.timeMs = (absoluteTime ? double(*startUtcUs) + *r.arrivalUs : *r.arrivalUs) / 1000.0;
        a.peakDb = r.peakDb;
        a.energyV2s = value(r.energyV2s);
        a.durationUs = value(r.durationUs);
        a.avgFreqKHz = value(r.avgFreqKHz);
        a.raMsPerV = value(r.raMsPerV);
        out.push_back(a);
    }
    return out;
}

void sortByTime(std::vector<AnalysisHit>& hits)
{
    std::stable_sort(hits.begin(), hits.end(), [](const AnalysisHit& a, const AnalysisHit& b) {
        return known(a.timeMs) && (!known(b.timeMs) || a.timeMs < b.timeMs);
    });
}

std::vector<ChannelSummary> summarizeAnalysis(const std::vector<AnalysisHit>& hits,
                                              const std::vector<int>& channels)
{
    std::vector<HitRow> rows(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        rows[i].channel = hits[i].channel;
        rows[i].peakDb = hits[i].peakDb;
        if (known(hits[i].energyV2s))
            rows[i].energyV2s = hits[i].energyV2s;
    }
    return summarizeChannels(rows, channels);
}

Cumulative cumulative(const std::vector<AnalysisHit>& hits, int channel)
{
    Cumulative c;
    double energy = 0.0;
    bool energyKnown = true;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const AnalysisHit& h = hits[i];
        if (h.channel != channel || !known(h.timeMs))
            continue;
        c.hits.push_back({h.timeMs, double(c.hits.size() + 1), int(i)});
        energyKnown = energyKnown && known(h.energyV2s);
        if (energyKnown) {
            energy += h.energyV2s;
            c.energy.push_back({h.timeMs, energy, int(i)});
        }
    }
    return c;
}

PlotPoints durationPoints(const std::vector<AnalysisHit>& hits, int channel)
{
    PlotPoints p;
    for (std::size_t i = 0; i < hits.size(); ++i)
        if (hits[i].channel == channel && known(hits[i].peakDb) && hits[i].durationUs > 0.0)
            p.push_back({hits[i].peakDb, hits[i].durationUs, int(i)});
    return p;
}

PlotPoints frequencyPoints(const std::vector<AnalysisHit>& hits, int channel)
{
    PlotPoints p;
    for (std::size_t i = 0; i < hits.size(); ++i)
        if (hits[i].channel == channel && known(hits[i].raMsPerV) && known(hits[i].avgFreqKHz))
            p.push_back({hits[i].raMsPerV, hits[i].avgFreqKHz, int(i)});
    return p;
}

std::vector<double> channelAmplitudes(const std::vector<AnalysisHit>& hits, int channel)
{
    std::vector<double> a;
    for (const AnalysisHit& h : hits)
        if (h.channel == channel)
            a.push_back(h.peakDb);
    return a;
}

AxisRange axisRange(const std::vector<const PlotPoints*>& sets, bool y, bool logarithmic, AxisRange fallback)
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const PlotPoints* set : sets)
        for (const PlotPoint& p : *set) {
            const double v = y ? p.y : p.x;
            if (!known(v) || (logarithmic && !(v > 0.0)))
                continue;
            low = std::min(low, v);
            high = std::max(high, v);
        }
    if (!(low <= high))
        return fallback;
    if (logarithmic) {
        // Whole decades, at least one.
        const double a = std::floor(std::log10(low)), b = std::ceil(std::log10(high));
        return {std::pow(10.0, a), std::pow(10.0, b > a ? b : a + 1)};
    }
    if (high == low) {
        const double half = low == 0.0 ? 0.5 : std::abs(low) * 0.05;
        return {low >= 0.0 && low - half < 0.0 ? 0.0 : low - half, high + half};
    }
    const double margin = (high - low) * 0.04;
    return {low >= 0.0 && low - margin < 0.0 ? 0.0 : low - margin, high + margin};
}

PlotPoints thinScatter(const PlotPoints& points, const PlotFrame& frame, int cellPx)
{
    const int cell = std::max(cellPx, 1);
    const int columns = std::max(frame.width / cell + 1, 1), rows = std::max(frame.height / cell + 1, 1);
    std::vector<bool> taken(std::size_t(columns) * std::size_t(rows), false);
    PlotPoints out;
    for (const PlotPoint& p : points) {
        const double u = framePosition(p.x, frame.x, frame.logX), v = framePosition(p.y, frame.y, frame.logY);
        if (!(u >= 0.0 && u <= 1.0 && v >= 0.0 && v <= 1.0))
            continue;
        const std::size_t k = std::size_t(int(v * frame.height) / cell) * std::size_t(columns) +
                              std::size_t(int(u * frame.width) / cell);
        if (taken[k])
            continue;
        taken[k] = true;
        out.push_back(p);
    }
    return out;
}

PlotPoints thinCurve(const PlotPoints& points, const PlotFrame& frame)
{
    PlotPoints out;
    const std::size_t none = points.size();
    std::size_t kept = none; // the last point kept
    int column = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int c = int(std::floor(framePosition(points[i].x, frame.x, frame.logX) * frame.width));
        if (i > 0 && c == column)
            continue;
        // The column before ends with the point before this one.
        if (i > 0 && kept != i - 1)
            out.push_back(points[i - 1]);
        out.push_back(points[i]);
        kept = i;
        column = c;
    }
    if (!points.empty() && kept != points.size() - 1)
        out.push_back(points.back());
    return out;
}

} // namespace ae
