#pragma once

// One channel of a signal record: the samples in fixed-size blocks, the state that places the
// channel on a plot, its processing mode and the work arrays of the spectrum commands.

#include <Velkit/vlk_math.h>

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QtGlobal>

#include <vector>

class QPainter;
class QProgressBar;

// Samples per block and the longest channel (five blocks).
constexpr int ChunkSamples = 32768;
constexpr int MaxChunks = 5;
constexpr int MaxSamples = ChunkSamples * MaxChunks; // 163840
// Largest smoothing half-width; the window then spans 2 * 126 + 1 = 253 samples.
constexpr int MaxHalfWidth = 126;
// Distance given by the picking functions when nothing is within reach.
constexpr int FarAway = 32767;

// Processing modes, applied whenever a sample is read for drawing, measuring or transforming.
enum ProcessingMode : quint8 {
    pmNone = 0,         // x
    pmDetect = 1,       // |x|, -128 giving 127
    pmSmooth = 2,       // window average of x
    pmEnvelope = 3,     // window average of |x|
    pmEnvelopeDiff = 4, // difference of successive envelope averages
    pmPower = 5,        // x * x / 129
    pmPowerSmooth = 6,  // window average of x * x / 129
};
constexpr int ProcessingModeCount = 7;

// The integer nearest to v, halves away from zero (2.5 -> 3, -2.5 -> -3); NaN gives 0 and values
// beyond the int range are clamped. Used for every pixel and sample-index computation.
inline int nearest(double v)
{
    return velkit::roundHalfAway(v);
}

// Set while painting for print preview, printer, PDF or SVG: every pen black, traces drawn as
// polylines, the cursor cross scaled with the vertical scale.
extern bool g_printMode;

// What a screen trace was built from: a trace with the same key shows the same samples in the
// same columns and rows relative to the zero level. All fields are 8 bytes wide, so the key has no
// padding and compares byte for byte.
struct TraceKey
{
    qint64 count = 0;
    qint64 winStart = 0;
    qint64 winPixel = 0;
    qint64 left = 0;
    qint64 width = 0;
    qint64 flags = 0; // point markers, mode, half-width
    double xScale = 0.0;
    double yScale = 0.0;
    quint64 blocks[MaxChunks] = {};
    bool operator==(const TraceKey& o) const;
};
static_assert(sizeof(TraceKey) == 13 * 8, "a trace key has no padding");

// A screen trace ready to paint, its rows relative to the zero level: a step of the zero line
// paints it again at the new level without walking the samples.
struct TraceShape
{
    bool built = false;
    TraceKey key;
    std::vector<QLine> lines;
    std::vector<QPoint> dots;    // single-row columns, in the trace colour
    std::vector<QPoint> markers; // point markers, in their own colour
    // Forgets the shape (the samples changed): the next paint builds it anew.
    void clear()
    {
        built = false;
        lines.clear();
        dots.clear();
        markers.clear();
    }
};


// Results of TWaveView::forwardFFT.
enum SpectrumResult : int {
    SpectrumOk = 0,
    SpectrumNoImaginary = 8, // the imaginary array cannot be had
    SpectrumNoReal = 10,     // the real array cannot be had (also for an exponent out of range)
    SpectrumAlready = 0x1234,
};

// Weight of point i of n under window function type: 0 none (1), 1 Parzen, 2 Hanning,
// 3 Hamming, 4 exact Blackman, 5 Welch; 0 for any other type.
double windowValue(int i, int n, int type);

// Exponent of the longest transform of a channel: 2^18 points cover the longest channel.
constexpr int MaxSpectrumLog2 = 18;

class TWaveView
{
public:
    // Nothing is allocated; count = length cut to 0 ... MaxSamples.
    explicit TWaveView(int length);
    ~TWaveView();
    TWaveView(const TWaveView&) = delete;
    TWaveView& operator=(const TWaveView&) = delete;

    // ---- storage ----
    // Allocates the blocks for count samples (a channel of length 0 gets one empty block).
    // Reports 0xA602 and returns false when memory cannot be had; blocks already made stay.
    bool allocate();
    // The stored value of sample i; 0 outside 0 ... count-1 or when the block is missing.
    qint8 sample(int i) const;
    // Stores v and sets modified for 0 <= i < count; otherwise does nothing.
    void setSample(int i, qint8 v);
    // The only bulk access. Gives the address of sample i and returns how many samples follow
    // it in the same block (i included). Returns 0 and gives nothing when out is null, when i is
    // outside 0 ... count-1 or when the block is not allocated. The span never passes the end of
    // the allocated block: in the last block it ends at count.
    int chunkAt(int i, qint8** out);
    int chunkAt(int i, const qint8** out) const;

    // ---- geometry (set by the record) ----
    // Rescales baseY with the new vertical scale, stores both scales, the offset of a unipolar
    // or spectrum channel, winPixel and the rectangle. Ignored altogether while the current
    // yScale is below 1e-7 or not a number (a collapsed scale is restored by setYScale).
    void setGeometry(const QRect& plotRect, double newXScale, double newYScale);
    void setYScale(double newYScale);
    void setWindowStart(int start, double newXScale);
    void setUnipolar();
    void resetOffset();
    // baseY = y clamped to rect.top() ... rect.bottom(), plus baseOffset.
    void setBaseline(int y);
    // Half-width h; below 0 or above 126 becomes 126.
    void setSmoothing(int h);

    // ---- coordinates and picking ----
    int sampleToX(int i) const;
    int xToSample(int x) const;
    // Sets cursor from a pixel column clamped to the rectangle and returns it.
    int cursorFromX(int x);
    // |zero-line row - y|, or FarAway when not visible, baseOn off, or the point is outside the
    // half-open rectangle.
    int baselineDistance(int x, int y) const;
    // |cursor column - x|, FarAway under the same conditions with cursorOn, or beyond 32766.
    int cursorDistance(int x, int y) const;

    // ---- processing ----
    // The processed value of sample i computed from scratch; raw is the stored sample x(i)
    // (0 outside the channel). The windowed modes leave the window sum in runSum.
    qint8 processed(qint8 raw, int i);
    // The processed value of sample i from the running state; valid only right after
    // processed() or processedNext() at i - 1 on this channel.
    qint8 processedNext(qint8 raw, int i);
    // The values of a walk over n samples from start into out: the first from scratch (or,
    // with continueWalk, running on from a walk that ended at start - 1), the rest running.
    // The same values as processed() and processedNext() one by one, computed in bulk.
    void processedRun(int start, int n, qint8* out, bool continueWalk = false);
    // 0 outside the channel, else processed(sample(i), i).
    qint8 processedSample(int i);
    // Mean of the processed values over from ... to (inclusive, ordered if given backwards):
    // the values themselves on a spectrum channel, value + 128 on a unipolar channel, else
    // their magnitudes; truncated toward zero.
    int mean(int from, int to);
    // Index of the first largest value (same three cases as mean); from when to < from + 1.
    int maxPosition(int from, int to);
    // Clears from ... to inside the channel and sets modified. A spectrum channel gets -128
    // (the bottom of its scale) and its kept bins k + 1 and 2 * count - 1 - k are cleared.
    void zero(int from, int to);

    // ---- spectrum: forward and inverse transform ----
    // The processed values of samples start ... start + n - 1 into out, each as processedSample
    // gives it (computed afresh, 0 outside the channel), in one walk.
    void processedStretch(int start, int n, qint8* out);
    // Makes this channel the spectrum of the source's processed samples start ... start + 2^k - 1
    // (0 outside the source), weighted by the window function g_winFun: sample i shows bin
    // i + 1, linear or in dB below a magnitude of 128 (logScale). The whole transform stays in
    // specRe / specIm. Returns a SpectrumResult; nothing of the source is read after the first
    // events have been served. Advances the bar by k + 5 steps.
    int forwardFFT(TWaveView* source, int start, int k, QProgressBar* progress, bool logScale);
    // Writes the inverse transform of the kept spectrum (halved, rounded, clamped to -128 ... 127)
    // into target samples start ... start + 2^k - 1 that exist. Does nothing when this channel is
    // not a spectrum, when 2^k exceeds the kept transform or when memory cannot be had.
    // Advances the bar by k + 3 steps.
    void inverseFFT(TWaveView* target, int start, int k, QProgressBar* progress);

    // ---- drawing ----
    // One trace; markPoints puts a point marker on every drawn sample.
    void draw(QPainter* painter, bool markPoints);
    // The same on screen through a kept shape, built anew only when its key changed. The caller
    // clears the shape when the samples change.
    void drawThrough(QPainter* painter, bool markPoints, TraceShape& shape);
    TraceKey traceKey(int deviceWidth, bool markPoints) const;
    void drawBaseline(QPainter* painter);
    void drawCursor(QPainter* painter);
    // When i differs from cursor: draws the cursor, moves it to i and draws it again.
    void moveCursor(QPainter* painter, int i);

    // ---- fields (in this order; the FFT and the acquisition run work on them directly) ----
    qint8* chunks[MaxChunks] = {}; // block k: samples 32768 k ... 32768 k + 32767
    qint32 count = 0;              // number of samples, 0 ... MaxSamples
    qint32 winStart = 0;           // sample at the left edge of the plot
    qint32 winPixel = 0;           // nearest(winStart * xScale)
    qint32 cursor = 0;             // sample index of the cursor
    double xScale = 1.0;           // pixels per sample
    double yScale = 1.0;           // pixels per sample unit
    qint32 baseY = 0;              // row of the zero level: v is drawn at baseY - nearest(v * yScale)
    qint32 baseOffset = 0;         // nearest(-128 * yScale) when unipolar or spectrum, else 0
    // Spectrum arrays: when set, specSize floats each (the whole transform, and never fewer than
    // 2 * count so that zeroing a bin and its mirror stays inside), allocated with new[] and
    // freed by the channel.
    float* specRe = nullptr;
    float* specIm = nullptr;
    float specStep = 0.0f; // value of one unit of a spectrum channel
    qint32 specSize = 0;   // floats in each of specRe and specIm: the transform, at least 2 * count
    QColor grColor = Qt::white;
    QColor pointColor = Qt::white;
    QColor baseColor = Qt::gray;
    QColor cursColor = Qt::white;
    QRect rect{QPoint(0, 0), QPoint(1, 1)}; // plot area, corners (x1, y1) - (x2, y2)
    qint32 halfWidth = 0;                   // smoothing half-width h, 0 ... 126
    qint32 winLen = 1;                      // 2h + 1
    qint32 runSum = 0;                      // window sum of the running walk
    qint32 prevAvg = 0;                     // previous average (envelope difference)
    bool visible = false;
    bool cursorOn = false;
    bool baseOn = false;
    quint8 mode = pmNone;
    bool spectrum = false;
    bool modified = false; // set by setSample, zeroing and the inverse FFT; bulk writes leave it
    bool unipolar = false;

private:
    qint32 windowTerm(qint64 k) const;
    qint32 windowSum(qint64 i) const;
    bool hasBlocks() const;
    int rowOf(int value) const;
    void fillOffsetTable(int* offsets) const;
    int valueForMeasure(qint8 v) const;
    qint64 traceStart(QPainter* painter) const;
    bool bandOnDevice(QPainter* painter) const;
    void buildShape(int start, bool markPoints, int width, TraceShape& shape);
    void paintShape(QPainter* painter, const TraceShape& shape) const;
    void shapeLines(int start, bool markPoints, int width, TraceShape& shape);
    void shapeColumns(int start, bool markPoints, int width, TraceShape& shape);
    void drawPrintPolyline(QPainter* painter, int start);
};
