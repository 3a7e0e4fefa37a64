#include "wave_view.h"

#include "errors.h"

#include <QLine>
#include <QPaintDevice>
#include <QPainter>
#include <QPoint>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

bool g_printMode = false;

namespace {

int clampToInt(qint64 v)
{
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// |x|, with -128 giving 127 so that the result fits a signed byte.
inline qint32 rectified(qint8 x)
{
    return x == -128 ? 127 : std::abs(int(x));
}

// x * x / 129: both 127 and -128 squared come out at most 127.
inline qint32 squared(qint8 x)
{
    return (qint32(x) * x) / 129;
}

// Window terms for every byte value: the value itself, its magnitude, its square / 129.
struct TermTables
{
    qint16 identity[256];
    qint16 magnitude[256];
    qint16 square[256];
    TermTables()
    {
        for (int v = -128; v < 128; ++v) {
            identity[v + 128] = qint16(v);
            magnitude[v + 128] = qint16(rectified(qint8(v)));
            square[v + 128] = qint16(squared(qint8(v)));
        }
    }
};

const TermTables& termTables()
{
    static const TermTables tables;
    return tables;
}

// Division by the window length, truncating toward zero, by a multiplication. With
// m = floor(2^32 / n) + 1, s * m / 2^32 exceeds s / n by less than s / 2^32 < 2^-16 for
// |s| < 2^16, and the fraction of s / n is at most 1 - 1/253, so the floor is exact for every
// window of at most 253 terms of at most 128. Larger sums take the plain division.
struct WindowDivider
{
    explicit WindowDivider(int n)
        : n(n > 0 ? n : 1)
        , m((quint64(1) << 32) / quint64(this->n) + 1)
    {}
    qint32 operator()(qint32 s) const
    {
        if (s >= 0 && s < 65536)
            return qint32((quint64(s) * m) >> 32);
        if (s < 0 && s > -65536)
            return -qint32((quint64(-s) * m) >> 32);
        return s / n;
    }
    int n;
    quint64 m;
};

// nearest(v) for 0 <= v < 2^30 without a library call: truncation of v + 0.5, corrected where
// that sum was rounded up to the next integer (t - 0.5 is exact, t - v need not be).
inline int nearestNonNegative(double v)
{
    int t = int(v + 0.5);
    if (v < t - 0.5)
        --t;
    return t;
}

inline bool windowedMode(quint8 mode)
{
    return mode == pmSmooth || mode == pmEnvelope || mode == pmEnvelopeDiff || mode == pmPowerSmooth;
}

// Sample indices of a measurement are kept within this reach of the channel so that a stray
// range cannot make a walk run for billions of samples.
constexpr int MeasureReach = MaxSamples;

// Coordinates far outside any device are clipped before they reach the painter, whose raster
// engine does its own arithmetic in fixed point.
constexpr double CoordLimit = 1 << 22;

// Clips the segment to the square of CoordLimit (Liang-Barsky); false when nothing is left.
bool clipSegment(double& x1, double& y1, double& x2, double& y2)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 + CoordLimit, CoordLimit - x1, y1 + CoordLimit, CoordLimit - y1};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double ox = x1, oy = y1;
    x1 = ox + t0 * dx;
    y1 = oy + t0 * dy;
    x2 = ox + t1 * dx;
    y2 = oy + t1 * dy;
    return true;
}

inline bool farOut(int v)
{
    return v > CoordLimit || v < -CoordLimit;
}

// A segment for the painter: those entirely beside the device are dropped, those with far
// coordinates clipped.
void addSegment(std::vector<QLine>& lines, int xa, int ya, int xb, int yb, int width, int height)
{
    if ((xa < 0 && xb < 0) || (xa >= width && xb >= width) || (ya < 0 && yb < 0) ||
        (ya >= height && yb >= height))
        return;
    if (farOut(xa) || farOut(ya) || farOut(xb) || farOut(yb)) {
        double x1 = xa, y1 = ya, x2 = xb, y2 = yb;
        if (!clipSegment(x1, y1, x2, y2))
            return;
        lines.emplace_back(nearest(x1), nearest(y1), nearest(x2), nearest(y2));
        return;
    }
    lines.emplace_back(xa, ya, xb, yb);
}

inline void addPoint(std::vector<QPoint>& points, int x, int y, int width, int height)
{
    if (x >= 0 && x < width && y >= 0 && y < height)
        points.emplace_back(x, y);
}

// Point markers in their own colour; the painter's pen is given back afterwards.
void drawMarkers(QPainter* painter, const std::vector<QPoint>& markers, const QColor& colour)
{
    if (markers.empty())
        return;
    const QPen saved = painter->pen();
    QPen pen = saved;
    pen.setColor(colour);
    painter->setPen(pen);
    painter->drawPoints(markers.data(), int(markers.size()));
    painter->setPen(saved);
}

QPen linePen(const QPainter* painter, const QColor& colour)
{
    QPen pen = painter->pen();
    pen.setColor(g_printMode ? QColor(Qt::black) : colour);
    pen.setStyle(Qt::SolidLine);
    pen.setWidth(1);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

TWaveView::TWaveView(int length)
    : count(std::clamp(length, 0, MaxSamples))
{}

TWaveView::~TWaveView()
{
    delete[] specRe;
    delete[] specIm;
    for (qint8*& block : chunks) {
        if (!block)
            break;
        delete[] block;
        block = nullptr;
    }
}

bool TWaveView::allocate()
{
    int remaining = count;
    int k = 0;
    do {
        const int n = std::min(remaining, ChunkSamples);
        // Blocks made by an earlier call are kept.
        if (!chunks[k]) {
            chunks[k] = new (std::nothrow) qint8[size_t(n)];
            if (!chunks[k]) {
                REPORT_CRITICAL(0xA602);
                return false;
            }
        }
        ++k;
        remaining -= n;
    } while (remaining > 0);
    return true;
}

bool TWaveView::hasBlocks() const
{
    for (int k = 0; k * ChunkSamples < count; ++k) {
        if (!chunks[k])
            return false;
    }
    return true;
}

qint8 TWaveView::sample(int i) const
{
    if (i < 0 || i >= count)
        return 0;
    const qint8* block = chunks[i / ChunkSamples];
    return block ? block[i % ChunkSamples] : qint8(0);
}

void TWaveView::setSample(int i, qint8 v)
{
    if (i < 0 || i >= count)
        return;
    qint8* block = chunks[i / ChunkSamples];
    if (!block)
        return;
    block[i % ChunkSamples] = v;
    modified = true;
}

int TWaveView::chunkAt(int i, qint8** out)
{
    const qint8* p = nullptr;
    const int n = std::as_const(*this).chunkAt(i, out ? &p : nullptr);
    if (n > 0)
        *out = const_cast<qint8*>(p);
    return n;
}

int TWaveView::chunkAt(int i, const qint8** out) const
{
    if (!out || i < 0 || i >= count)
        return 0;
    const int k = i / ChunkSamples;
    if (!chunks[k])
        return 0;
    const int pos = i % ChunkSamples;
    *out = chunks[k] + pos;
    return std::min(ChunkSamples - pos, count - i);
}

// ---- geometry ----

void TWaveView::setGeometry(const QRect& plotRect, double newXScale, double newYScale)
{
    if (!(yScale >= 1e-7))
        return;
    baseY = nearest(baseY / yScale * newYScale);
    yScale = newYScale;
    xScale = newXScale;
    if (spectrum || unipolar)
        baseOffset = nearest(newYScale * -128.0);
    winPixel = nearest(xScale * winStart);
    rect = plotRect;
}

void TWaveView::setYScale(double newYScale)
{
    yScale = newYScale;
    if (spectrum || unipolar)
        baseOffset = nearest(-128.0 * yScale);
}

void TWaveView::setWindowStart(int start, double newXScale)
{
    xScale = newXScale;
    winPixel = nearest(xScale * start);
    winStart = start;
}

void TWaveView::setUnipolar()
{
    baseOffset = nearest(-128.0 * yScale);
    unipolar = true;
}

void TWaveView::resetOffset()
{
    baseOffset = 0;
    unipolar = false;
}

void TWaveView::setBaseline(int y)
{
    const int top = std::min(rect.top(), rect.bottom());
    const int bottom = std::max(rect.top(), rect.bottom());
    baseY = clampToInt(qint64(std::clamp(y, top, bottom)) + baseOffset);
}

void TWaveView::setSmoothing(int h)
{
    if (h < 0 || h > MaxHalfWidth)
        h = MaxHalfWidth;
    halfWidth = h;
    winLen = 2 * h + 1;
}

// ---- coordinates and picking ----

int TWaveView::sampleToX(int i) const
{
    return clampToInt(qint64(nearest(i * xScale)) + rect.left() - winPixel);
}

int TWaveView::xToSample(int x) const
{
    if (xScale == 0.0)
        return winStart;
    return nearest((double(x) - rect.left() + winPixel) / xScale);
}

int TWaveView::cursorFromX(int x)
{
    const int left = std::min(rect.left(), rect.right());
    const int right = std::max(rect.left(), rect.right());
    cursor = xToSample(std::clamp(x, left, right));
    return cursor;
}

int TWaveView::baselineDistance(int x, int y) const
{
    if (!visible || !baseOn || x < rect.left() || x >= rect.right() || y < rect.top() || y >= rect.bottom())
        return FarAway;
    const qint64 d = std::abs(qint64(baseY) - baseOffset - y);
    return d > FarAway - 1 ? FarAway : int(d);
}

int TWaveView::cursorDistance(int x, int y) const
{
    if (!visible || !cursorOn || x < rect.left() || x >= rect.right() || y < rect.top() || y >= rect.bottom())
        return FarAway;
    const qint64 d = std::abs(qint64(nearest(cursor * xScale)) + rect.left() - winPixel - x);
    return d > FarAway - 1 ? FarAway : int(d);
}

// ---- processing ----

// The window term w(k) of the current mode: x, |x| or x * x / 129; 0 outside the channel.
// The window term w(k) of the current mode: x, |x| or x * x / 129; 0 outside the channel.
qint32 TWaveView::windowTerm(qint64 k) const
{
    if (quint64(k) >= quint64(count))
        return 0;
    const qint8* block = chunks[k / ChunkSamples];
    if (!block)
        return 0;
    const TermTables& t = termTables();
    const int x = block[k % ChunkSamples] + 128;
    switch (mode) {
    case pmSmooth: return t.identity[x];
    case pmEnvelope:
    case pmEnvelopeDiff: return t.magnitude[x];
    case pmPowerSmooth: return t.square[x];
    default: return 0;
    }
}

qint32 TWaveView::windowSum(qint64 i) const
{
    qint32 s = 0;
    const qint64 first = std::max<qint64>(i - halfWidth, 0);
    const qint64 last = std::min<qint64>(i + halfWidth, qint64(count) - 1);
    for (qint64 k = first; k <= last; ++k)
        s += windowTerm(k);
    return s;
}

qint8 TWaveView::processed(qint8 raw, int i)
{
    const int n = winLen > 0 ? winLen : 1;
    switch (mode) {
    case pmNone: return raw;
    case pmDetect: return qint8(rectified(raw));
    case pmPower: return qint8(squared(raw));
    case pmSmooth:
    case pmEnvelope:
    case pmPowerSmooth: runSum = windowSum(i); return qint8(runSum / n);
    case pmEnvelopeDiff: {
        const qint32 s = windowSum(i);
        prevAvg = s / n;
        // Advanced once here, so a running walk carries this constant offset.
        runSum = s - windowTerm(qint64(i) - halfWidth - 1) + windowTerm(qint64(i) + halfWidth);
        return qint8(runSum / n - prevAvg);
    }
    default: return 0;
    }
}

qint8 TWaveView::processedNext(qint8 raw, int i)
{
    if (!windowedMode(mode))
        return processed(raw, i);
    runSum += windowTerm(qint64(i) + halfWidth) - windowTerm(qint64(i) - halfWidth - 1);
    const qint32 a = runSum / (winLen > 0 ? winLen : 1);
    if (mode != pmEnvelopeDiff)
        return qint8(a);
    const qint32 d = a - prevAvg;
    prevAvg = a;
    return qint8(d);
}

void TWaveView::processedRun(int start, int n, qint8* out, bool continueWalk)
{
    if (n <= 0 || !out)
        return;
    int j = 0;
    if (!continueWalk) {
        out[0] = processed(sample(start), start);
        j = 1;
    }
    const TermTables& t = termTables();
    const quint64 length = quint64(count);
    if (!windowedMode(mode)) {
        if (mode > pmPowerSmooth) {
            std::fill(out + j, out + n, qint8(0));
            return;
        }
        const qint16* map = mode == pmDetect ? t.magnitude : mode == pmPower ? t.square : t.identity;
        for (; j < n; ++j) {
            const qint64 i = qint64(start) + j;
            const qint8* block = quint64(i) < length ? chunks[i / ChunkSamples] : nullptr;
            out[j] = block ? qint8(map[block[i % ChunkSamples] + 128]) : qint8(0);
        }
        return;
    }
    const qint16* w = mode == pmSmooth ? t.identity : mode == pmPowerSmooth ? t.square : t.magnitude;
    auto term = [&](qint64 k) -> qint32 {
        if (quint64(k) >= length)
            return 0;
        const qint8* block = chunks[k / ChunkSamples];
        return block ? w[block[k % ChunkSamples] + 128] : 0;
    };
    const WindowDivider divide(winLen);
    const qint64 h = halfWidth;
    qint32 sum = runSum;
    qint32 prev = prevAvg;
    if (mode == pmEnvelopeDiff) {
        for (; j < n; ++j) {
            const qint64 i = qint64(start) + j;
            sum += term(i + h) - term(i - h - 1);
            const qint32 a = divide(sum);
            out[j] = qint8(a - prev);
            prev = a;
        }
    } else {
        for (; j < n; ++j) {
            const qint64 i = qint64(start) + j;
            sum += term(i + h) - term(i - h - 1);
            out[j] = qint8(divide(sum));
        }
    }
    runSum = sum;
    prevAvg = prev;
}

qint8 TWaveView::processedSample(int i)
{
    if (i < 0 || i >= count)
        return 0;
    return processed(sample(i), i);
}

int TWaveView::valueForMeasure(qint8 v) const
{
    if (spectrum)
        return v;
    if (unipolar)
        return v + 128;
    return std::abs(int(v));
}

int TWaveView::mean(int from, int to)
{
    if (to < from)
        std::swap(from, to);
    from = std::clamp(from, -MeasureReach, count + MeasureReach);
    to = std::clamp(to, -MeasureReach, count + MeasureReach);
    qint64 sum = valueForMeasure(processed(sample(from), from));
    for (int k = from + 1; k <= to; ++k)
        sum += valueForMeasure(processedNext(sample(k), k));
    return int(sum / (qint64(to) - from + 1));
}

int TWaveView::maxPosition(int from, int to)
{
    if (to < from + 1)
        return from;
    const int first = std::clamp(from, -MeasureReach, count + MeasureReach);
    const int last = std::clamp(to, first, count + MeasureReach);
    int best = first;
    int bestValue = valueForMeasure(processed(sample(first), first));
    for (int k = first + 1; k <= last; ++k) {
        const int v = valueForMeasure(processedNext(sample(k), k));
        if (v > bestValue) {
            bestValue = v;
            best = k;
        }
    }
    return best;
}

void TWaveView::zero(int from, int to)
{
    if (to < from)
        return;
    const int first = std::max(from, 0);
    const int last = std::min(to, count - 1);
    const qint64 bins = 2 * qint64(count);
    for (int k = first; k <= last; ++k) {
        if (!spectrum) {
            setSample(k, 0);
            continue;
        }
        setSample(k, -128);
        const qint64 bin = qint64(k) + 1;
        const qint64 mirror = bins - 1 - k;
        for (const qint64 b : {bin, mirror}) {
            if (b >= 0 && b < bins) {
                if (specRe)
                    specRe[b] = 0.0f;
                if (specIm)
                    specIm[b] = 0.0f;
            }
        }
    }
}

// ---- drawing ----

int TWaveView::rowOf(int value) const
{
    return clampToInt(qint64(baseY) - nearest(value * yScale));
}

void TWaveView::fillRowTable(int* rows) const
{
    for (int v = -128; v < 128; ++v)
        rows[v + 128] = rowOf(v);
}

void TWaveView::draw(QPainter* painter, bool markPoints)
{
    if (!painter || !painter->device() || !(xScale > 0.0) || !visible || !hasBlocks())
        return;
    // One pixel's worth of samples left of the window, so the first segment enters from the edge.
    const qint64 s = std::clamp<qint64>(qint64(winStart) + nearest(-1.0 / xScale), 0, MaxSamples);
    if (s >= count)
        return;
    if (g_printMode) {
        // The polyline begins rect.left() pixels' worth of samples after winStart. Page
        // rectangles start at or left of 0 (the printer's at -10), so the trace enters the
        // page from beyond its edge.
        const qint64 start = qint64(winStart) + nearest(rect.left() / xScale);
        drawPrintPolyline(painter, int(std::clamp<qint64>(start, 0, MaxSamples)));
        return;
    }
    const int width = painter->device()->width();
    const int height = painter->device()->height();
    const qint64 reach = nearest(128.0 * yScale);
    if (qint64(baseY) + reach < 0 || qint64(baseY) - reach > height - 1)
        return;
    if (xScale > 0.5)
        drawTraceLines(painter, int(s), markPoints, width);
    else
        drawTraceColumns(painter, int(s), markPoints, width);
}

// Processed values are taken in batches of this many samples.
constexpr int DrawBatch = 4096;

// Walks the drawn rows of a channel from start: first(i, row) for the first sample, then
// next(i, row) for each following one until it returns false or the channel ends.
template <typename First, typename Next>
static void walkRows(TWaveView& view, int start, const int* rows, First first, Next next)
{
    qint8 values[DrawBatch];
    for (int i = start; i < view.count;) {
        const int n = std::min(DrawBatch, view.count - i);
        view.processedRun(i, n, values, i != start);
        int j = 0;
        if (i == start) {
            first(i, rows[values[0] + 128]);
            j = 1;
        }
        for (; j < n; ++j) {
            if (!next(i + j, rows[values[j] + 128]))
                return;
        }
        i += n;
    }
}

void TWaveView::drawTraceLines(QPainter* painter, int start, bool markPoints, int width)
{
    const int height = painter->device()->height();
    std::vector<QLine> lines;
    std::vector<QPoint> markers;
    lines.reserve(size_t(std::min(count - start, 2 * width + 8)));
    int rows[256];
    fillRowTable(rows);

    int px = 0, py = 0;
    walkRows(
        *this, start, rows,
        [&](int i, int y) {
            px = sampleToX(i);
            py = y;
        },
        [&](int i, int y) {
            const int x = sampleToX(i);
            addSegment(lines, px, py, x, y, width, height);
            if (markPoints)
                addPoint(markers, px, py, width, height);
            px = x;
            py = y;
            return x <= width - 1;
        });
    if (markPoints)
        addPoint(markers, px, py, width, height);

    painter->setPen(linePen(painter, grColor));
    if (!lines.empty())
        painter->drawLines(lines.data(), int(lines.size()));
    drawMarkers(painter, markers, pointColor);
}

void TWaveView::drawTraceColumns(QPainter* painter, int start, bool markPoints, int width)
{
    const int height = painter->device()->height();
    std::vector<QLine> lines;
    std::vector<QPoint> dots;    // single-row columns in the trace colour
    std::vector<QPoint> markers; // point markers
    lines.reserve(size_t(std::min(width + 2, count - start + 1)));

    auto flush = [&](int x, int top, int bottom) {
        if (x < 0 || x >= width)
            return; // a column beside the device shows nothing
        if (top == bottom) {
            addPoint(markPoints ? markers : dots, x, top, width, height);
            return;
        }
        addSegment(lines, x, bottom, x, top, width, height);
        if (markPoints) {
            addPoint(markers, x, bottom, width, height);
            addPoint(markers, x, top, width, height);
        }
    };

    int rows[256];
    fillRowTable(rows);
    // Every sample of the window passes here: the pixel column is computed without a library
    // call while the products stay small.
    const double xs = xScale;
    const qint64 pixelBase = qint64(rect.left()) - winPixel;
    const bool smallProducts = double(count) * xs < double(1 << 30);
    auto columnOf = [&](int i) {
        const double v = i * xs;
        return clampToInt((smallProducts ? nearestNonNegative(v) : nearest(v)) + pixelBase);
    };

    int colX = 0, lo = 0, hi = 0;
    walkRows(
        *this, start, rows,
        [&](int i, int y) {
            colX = columnOf(i);
            lo = hi = y;
        },
        [&](int i, int y) {
            const int x = columnOf(i);
            // The sample that opens a new column still closes the old one, so columns join.
            if (y > hi)
                hi = y;
            else if (y < lo)
                lo = y;
            if (x != colX) {
                flush(colX, lo, hi);
                colX = x;
                lo = hi = y;
            }
            return x <= width - 1;
        });
    flush(colX, lo, hi);

    painter->setPen(linePen(painter, grColor));
    if (!lines.empty())
        painter->drawLines(lines.data(), int(lines.size()));
    if (!dots.empty())
        painter->drawPoints(dots.data(), int(dots.size()));
    drawMarkers(painter, markers, pointColor);
}

void TWaveView::drawPrintPolyline(QPainter* painter, int start)
{
    constexpr int Piece = 2000;
    if (start >= count)
        return;
    painter->setPen(linePen(painter, Qt::black));
    QPolygon buffer;
    buffer.reserve(Piece);
    auto pointAt = [&](int i, qint8 v) {
        int x = sampleToX(i);
        int y = rowOf(v);
        // Far points are pulled in along the axis only; they lie beyond the drawn span anyway.
        x = std::clamp(x, int(-CoordLimit), int(CoordLimit));
        y = std::clamp(y, int(-CoordLimit), int(CoordLimit));
        return QPoint(x, y);
    };
    const int right = rect.right();
    for (int i = start; i < count; ++i) {
        const qint8 v = i == start ? processed(sample(i), i) : processedNext(sample(i), i);
        const QPoint p = pointAt(i, v);
        buffer.append(p);
        if (buffer.size() == Piece) {
            painter->drawPolyline(buffer);
            buffer.clear();
            buffer.append(p); // the next piece starts where this one ends
        }
        if (p.x() >= right)
            break;
    }
    if (buffer.size() >= 2)
        painter->drawPolyline(buffer);
}

void TWaveView::drawBaseline(QPainter* painter)
{
    if (!painter || !painter->device() || !visible || !baseOn)
        return;
    const int row = clampToInt(qint64(baseY) - baseOffset);
    painter->setPen(linePen(painter, baseColor));
    painter->drawLine(rect.left(), row, rect.right(), row);
}

void TWaveView::drawCursor(QPainter* painter)
{
    if (!painter || !painter->device() || !visible || !cursorOn)
        return;
    const qint64 x = qint64(nearest(cursor * xScale)) + rect.left() - winPixel;
    if (x < rect.left() || x > rect.right())
        return;
    painter->setPen(linePen(painter, cursColor));
    const int cx = int(x);
    painter->drawLine(cx, rect.top(), cx, rect.bottom());
    const int y = rowOf(processed(sample(cursor), cursor));
    const int d = g_printMode ? std::clamp(nearest(10.0 * yScale), -4096, 4096) : 5;
    painter->drawLine(cx - d, y - d, cx + d, y + d);
    painter->drawLine(cx + d, y - d, cx - d, y + d);
}

void TWaveView::moveCursor(QPainter* painter, int i)
{
    if (i == cursor)
        return;
    if (painter && painter->isActive())
        painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawCursor(painter);
    cursor = i;
    drawCursor(painter);
}
