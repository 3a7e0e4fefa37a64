#pragma once

// Features of hits beyond those of the search: the frequencies of a hit's magnitude spectrum, and
// over many hits the amplitude distribution with its b-value and the per-channel summary. Plain
// code; the definitions are written out in README.md beside this file.

#include "ae/hits.h"

#include <QString>

#include <optional>
#include <vector>

class TWaveView;

namespace ae {

// Most samples of a hit that its spectrum is taken over (from its arrival on).
constexpr qint64 SpectrumSamples = 65536;

// The peak and the centroid of the magnitude spectrum of n samples in volts, zero-padded to the
// next power of two N: bins 1 ... N/2, in cycles per sample (bin b is b / N). Both -1 for fewer
// than 2 samples or when every magnitude is 0. work is resized as needed and may be reused.
void spectrumFeatures(const double* volts, qint64 n, std::vector<double>& work, double& peakCycles,
                      double& centroidCycles);

// Measures the spectra of hits one after another, keeping its arrays and its table of volts.
class HitSpectrometer
{
public:
    // Sets hit.peakCycles and hit.centroidCycles from channel's samples (gainCode as the search
    // read them); -1 when the hit lies outside the channel.
    void measure(const TWaveView& channel, int gainCode, Hit& hit);

private:
    std::vector<double> m_volts, m_work;
    double m_table[256] = {};
    int m_gain = -1;
    bool m_unipolar = false;
};

// The distribution of peak amplitudes in whole dB: level L = lowest + i for i = 0 ... size - 1,
// from the floor of the smallest amplitude to the floor of the largest. Amplitudes that are not
// finite are left out.
struct AmplitudeDistribution
{
    int lowest = 0;
    std::vector<qint64> perLevel; // hits with floor(A) = L
    std::vector<qint64> atLeast;  // N(L): hits with A >= L
    qint64 hits = 0;
};
AmplitudeDistribution amplitudeDistribution(const std::vector<double>& amplitudesDb);

// The least-squares line log10 N(L) = intercept + slope * L over the levels first ... last (those
// with N(L) >= 5), and b = -20 * slope.
struct BValueFit
{
    double b = 0.0;
    double slope = 0.0;
    double intercept = 0.0;
    int first = 0, last = 0;
};
// None for fewer than 10 hits or fewer than 3 levels with N(L) >= 5.
std::optional<BValueFit> bValueFit(const AmplitudeDistribution& d);
std::optional<double> bValue(const std::vector<double>& amplitudesDb);

// The hits of one channel in a few numbers: energy absent when any of its hits has none, the
// largest peak and the b-value absent without hits (the b-value also without enough of them).
struct ChannelSummary
{
    int channel = 1; // from 1
    qint64 hits = 0;
    std::optional<double> energyV2s, peakDbMax, bValue;
};
// One summary per channel of channels (numbered from 1, in that order) over the rows of that
// channel; rows of other channels are left out.
std::vector<ChannelSummary> summarizeChannels(const std::vector<HitRow>& rows,
                                              const std::vector<int>& channels);

} // namespace ae
