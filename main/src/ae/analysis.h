#pragma once

// What the analysis plots draw, worked out without a display: the hits of a record or of a
// series as the plots read them, the points of each plot per channel, the axes' ranges, and the
// points thinned to what a plot of a given size can show (one per cell of a few pixels, so that
// a hundred thousand hits draw as fast as a few thousand). The definitions are in README.md.

#include "ae/hit_features.h"
#include "ae/hits.h"

#include <QString>

#include <limits>
#include <optional>
#include <vector>

namespace ae {

constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

// One hit as the plots read it; a value it does not have is NoValue.
struct AnalysisHit
{
    int channel = 1;         // from 1
    int record = 0;          // its record in the list of the window's source
    qint64 first = 0;        // its arrival, a sample of that record
    double timeMs = NoValue; // on the time axis: ms from the record's start, or since the epoch
    double peakDb = NoValue;
    double energyV2s = NoValue;
    double durationUs = NoValue;
    double avgFreqKHz = NoValue;
    double raMsPerV = NoValue;
};

// The hits of one record. With absolute times each time is the record's start + the arrival in ms
// since the epoch (none without a start); otherwise ms from the record's start. None without a
// period either.
std::vector<AnalysisHit> analysisHits(const std::vector<Hit>& hits, double periodUs, int record,
                                      std::optional<qint64> startUtcUs, bool absoluteTime);
// Stable by time, hits without one last: the order of the cumulative curves and of the thinning.
void sortByTime(std::vector<AnalysisHit>& hits);
// The summary of each channel of channels over hits (see summarizeChannels).
std::vector<ChannelSummary> summarizeAnalysis(const std::vector<AnalysisHit>& hits,
                                              const std::vector<int>& channels);

// A point of a plot and the hit (index into the hits) it stands for.
struct PlotPoint
{
    double x = 0.0, y = 0.0;
    int hit = -1;
};
using PlotPoints = std::vector<PlotPoint>;

// The points of one channel, in the order of hits (time order after sortByTime):
// cumulative hits (t, 1, 2, …) and cumulative energy (t, ΣE) over the hits with a time (energy
// also needs an energy of every one of them up to that point);
struct Cumulative
{
    PlotPoints hits, energy;
};
Cumulative cumulative(const std::vector<AnalysisHit>& hits, int channel);
// duration (µs, above 0) against peak amplitude (dB);
PlotPoints durationPoints(const std::vector<AnalysisHit>& hits, int channel);
// average frequency (kHz) against RA (ms/V), both known;
PlotPoints frequencyPoints(const std::vector<AnalysisHit>& hits, int channel);
// the peak amplitudes (dB) of the channel's hits.
std::vector<double> channelAmplitudes(const std::vector<AnalysisHit>& hits, int channel);

// An axis's range. A logarithmic one spans whole decades.
struct AxisRange
{
    double low = 0.0, high = 1.0;
};
// The range of the x (or y) values of every set, widened by 4 % on each side (a linear axis that
// starts at 0 or above stays at 0 or above when the values allow), positive values only on a
// logarithmic axis; the fallback when no value is in range.
AxisRange axisRange(const std::vector<const PlotPoints*>& sets, bool y, bool logarithmic, AxisRange fallback);

// Where points fall on a plot of width × height pixels showing x and y over their ranges.
struct PlotFrame
{
    AxisRange x, y;
    bool logX = false, logY = false;
    int width = 1, height = 1;
};
// Where v lies along r: 0 at its low end, 1 at its high end (by log10 on a logarithmic axis).
double framePosition(double v, const AxisRange& r, bool logarithmic);
// The first point (in the order given) of every cell of cellPx × cellPx pixels; points outside
// the frame are left out.
PlotPoints thinScatter(const PlotPoints& points, const PlotFrame& frame, int cellPx);
// A curve whose x never falls, kept to the first and last point of every pixel column, so that
// what is drawn looks the same.
PlotPoints thinCurve(const PlotPoints& points, const PlotFrame& frame);

} // namespace ae
