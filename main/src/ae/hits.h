#pragma once

// Acoustic-emission hits: the bursts of a channel that reach a threshold, found in one pass over
// its samples and measured (arrival, peak, rise time, duration, counts, energy). Plain code over
// samples; the definitions are written out in README.md beside this file.

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

class TWaveStor;
class TWaveView;

namespace ae {

class HitSpectrometer;

// What makes and ends a hit. Times in microseconds, the threshold in volts at the input.
struct HitSettings
{
    double thresholdV = 0.1; // 100 dB re 1 uV: about five steps of the converter at gain 1
    double pdtUs = 200.0;    // peak definition time
    double hdtUs = 800.0;    // hit definition time
    double hltUs = 1000.0;   // hit lockout time
    bool operator==(const HitSettings& o) const
    {
        return thresholdV == o.thresholdV && pdtUs == o.pdtUs && hdtUs == o.hdtUs && hltUs == o.hltUs;
    }
};

// 20 log10(volts / 1 uV); not a number for volts that are not above 0.
double decibelsReMicrovolt(double volts);

// A sample period can turn samples into times: finite and above 0. A record whose clock or
// divider is 0 (or negative) has none.
bool periodKnown(double periodUs);

// Whole samples within a time window of us microseconds: floor(us / periodUs), 0 for a window
// that is negative or not a number. Without a known period one sample counts as one
// microsecond, so that a damaged record is still cut into hits.
qint64 windowSamples(double us, double periodUs);

// One hit of one channel; positions are sample indices of the channel.
struct Hit
{
    int channel = 0;       // slot index, from 0
    qint64 first = 0;      // arrival: the first sample whose magnitude reaches the threshold
    qint64 peak = 0;       // the peak (see README.md)
    qint64 last = 0;       // the last sample of the hit that reaches the threshold
    double peakV = 0.0;    // magnitude at the peak, volts
    int counts = 0;        // rising crossings of the positive threshold
    int countsToPeak = 0;  // of them, those up to and including the peak
    double sumSquares = 0; // sum of V^2 over first ... last
    // The magnitude spectrum of the hit's samples (README.md) in cycles per sample, so that the
    // sampling rate makes them frequencies: its largest bin and its centroid. -1 when the hit has
    // none (one sample, a spectrum of zeros, not measured).
    double peakCycles = -1.0;
    double centroidCycles = -1.0;
};

// One pass over a channel's samples, fed in consecutive spans. Every sample reads as the
// readouts read it (sampleVolts with the channel's gain code; a unipolar channel is the detector's
// envelope, read from the bottom of its scale). Nothing is allocated per sample; each hit is
// appended to out when it ends.
class HitDetector
{
public:
    HitDetector(const HitSettings& settings, double periodUs, int gainCode, bool unipolar, int channel,
                std::vector<Hit>& out);
    // The next n samples of the channel.
    void feed(const qint8* samples, qint64 n);
    // The end of the channel, after its last span: a hit still open ends with it, at its last
    // sample that reached the threshold.
    void finish();

private:
    void close();

    std::vector<Hit>& m_out;
    double m_volts[256];  // magnitude of each byte value (index: byte + 128)
    double m_square[256]; // its square
    bool m_reaches[256];  // magnitude at or above the threshold
    bool m_positive[256]; // value at or above the positive threshold
    qint64 m_pdt = 0, m_hdt = 0, m_hlt = 0;
    qint64 m_next = 0;            // index of the next sample fed
    qint64 m_lockedUntil = -1;    // no hit starts at or before this sample
    bool m_open = false;          // a hit is running
    bool m_peakFixed = false;     // no later sample can be its peak
    bool m_abovePositive = false; // the previous sample of the hit was at or above +threshold
    double m_energy = 0.0;        // sum of squares from the hit's first sample on
    Hit m_hit;
};

// The hits of one channel, appended to out in time order, their spectra measured.
void detectChannelHits(const TWaveView& channel, int slot, int gainCode, double periodUs,
                       const HitSettings& settings, std::vector<Hit>& out);
// Every channel of a record in slot order (spectrum channels have none), at its sample period,
// with the hits' spectra measured.
std::vector<Hit> detectHits(const TWaveStor& record, const HitSettings& settings);
// The slots whose hits are searched: every channel but the spectra.
std::vector<int> searchedSlots(const TWaveStor& record);

// detectHits in steps of a given number of samples, so that a long search can show its progress
// and be stopped between steps. The record must not change while the search lives.
class RecordHitSearch
{
public:
    RecordHitSearch(const TWaveStor& record, const HitSettings& settings);
    ~RecordHitSearch();
    RecordHitSearch(const RecordHitSearch&) = delete;
    RecordHitSearch& operator=(const RecordHitSearch&) = delete;

    // Searches up to samples more samples (at least one); false once every channel is done.
    bool step(qint64 samples);
    // Samples searched so far, of total().
    qint64 searched() const { return m_searched; }
    qint64 total() const { return m_total; }
    // The hits found so far, in slot order and in time order within a channel: when the search
    // ends early, those of the channels searched and the ones that had ended in the channel
    // being searched (a hit still running when the search stopped is left out: its end is not
    // known).
    std::vector<Hit>& hits() { return m_hits; }

private:
    bool startNextChannel();
    void measureEnded(); // the spectra of the hits that ended since the last call

    const TWaveStor& m_record;
    HitSettings m_settings;
    double m_period = 0.0;
    int m_slot = -1;  // channel being searched
    qint64 m_pos = 0; // its next sample
    std::unique_ptr<HitDetector> m_detector;
    std::unique_ptr<HitSpectrometer> m_spectrometer;
    std::vector<Hit> m_hits;
    std::size_t m_measured = 0; // hits before this one have their spectra
    qint64 m_searched = 0;
    qint64 m_total = 0;
};

// A hit as the table and the CSV show it. The times, the energy, the frequencies and RA are
// absent when the period is unknown; the average frequency also for a hit of one sample, the
// spectral ones for a hit without a spectrum; the absolute time when the record's start is
// not known.
struct HitRow
{
    int channel = 1; // from 1
    double peakV = 0.0;
    double peakDb = 0.0;
    int counts = 0;
    int countsToPeak = 0;
    std::optional<double> arrivalUs, riseUs, durationUs, energyV2s, avgFreqKHz;
    std::optional<double> raMsPerV, peakFreqKHz, centroidKHz;
    std::optional<qint64> timeUtcUs; // microseconds since 1970-01-01T00:00:00Z
};
// startUtcUs: when the record's first sample was taken, in microseconds since the epoch.
HitRow hitRow(const Hit& hit, double periodUs, std::optional<qint64> startUtcUs = std::nullopt);

} // namespace ae
