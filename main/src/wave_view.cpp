#include "wave_view.h"

#include "errors.h"
#include "settings.h"
#include "ufft.h"

#include <QCoreApplication>
#include <QLine>
#include <QPaintDevice>
#include <QPainter>
#include <QPoint>
#include <QPolygon>
#include <QProgressBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
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

// A segment for the painter: those entirely left or right of the device are dropped, those with
// far coordinates clipped. Rows are left to the painter's clipping: they are relative to the zero
// level, which may move before the segment is painted.
void addSegment(std::vector<QLine>& lines, int xa, int ya, int xb, int yb, int width)
{
    if ((xa < 0 && xb < 0) || (xa >= width && xb >= width))
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

inline void addPoint(std::vector<QPoint>& points, int x, int y, int width)
{
    if (x >= 0 && x < width)
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
        if (mode == pmNone) {
            // The stored values themselves: copied a block piece at a time.
            while (j < n) {
                const qint64 i = qint64(start) + j;
                const qint8* p = nullptr;
                const int len = quint64(i) < length ? chunkAt(int(i), &p) : 0;
                if (len <= 0) {
                    out[j++] = 0;
                    continue;
                }
                const int take = std::min(len, n - j);
                std::memcpy(out + j, p, size_t(take));
                j += take;
            }
            return;
        }
        const qint16* map = mode == pmDetect ? t.magnitude : t.square;
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

bool TraceKey::operator==(const TraceKey& o) const
{
    return std::memcmp(this, &o, sizeof o) == 0;
}

int TWaveView::rowOf(int value) const
{
    return clampToInt(qint64(baseY) - nearest(value * yScale));
}

void TWaveView::fillOffsetTable(int* offsets) const
{
    for (int v = -128; v < 128; ++v)
        offsets[v + 128] = clampToInt(-qint64(nearest(v * yScale)));
}

TraceKey TWaveView::traceKey(int deviceWidth, bool markPoints) const
{
    TraceKey k;
    k.count = count;
    k.winStart = winStart;
    k.winPixel = winPixel;
    k.left = rect.left();
    k.width = deviceWidth;
    k.flags = qint64(markPoints) | qint64(mode) << 8 | qint64(halfWidth) << 16;
    k.xScale = xScale;
    k.yScale = yScale;
    for (int i = 0; i < MaxChunks; ++i)
        k.blocks[i] = quint64(quintptr(chunks[i]));
    return k;
}

// The first sample a screen trace walks from, or -1 when the channel draws no trace there.
qint64 TWaveView::traceStart(QPainter* painter) const
{
    if (!painter || !painter->device() || !(xScale > 0.0) || !visible || !hasBlocks())
        return -1;
    // One pixel's worth of samples left of the window, so the first segment enters from the edge.
    const qint64 s = std::clamp<qint64>(qint64(winStart) + nearest(-1.0 / xScale), 0, MaxSamples);
    return s < count ? s : -1;
}

bool TWaveView::bandOnDevice(QPainter* painter) const
{
    const int height = painter->device()->height();
    const qint64 reach = nearest(128.0 * yScale);
    return qint64(baseY) + reach >= 0 && qint64(baseY) - reach <= height - 1;
}

void TWaveView::draw(QPainter* painter, bool markPoints)
{
    const qint64 s = traceStart(painter);
    if (s < 0)
        return;
    if (g_printMode) {
        // The polyline begins rect.left() pixels' worth of samples after winStart. Page
        // rectangles start at or left of 0 (the printer's at -10), so the trace enters the
        // page from beyond its edge.
        const qint64 start = qint64(winStart) + nearest(rect.left() / xScale);
        drawPrintPolyline(painter, int(std::clamp<qint64>(start, 0, MaxSamples)));
        return;
    }
    if (!bandOnDevice(painter))
        return;
    TraceShape shape;
    buildShape(int(s), markPoints, painter->device()->width(), shape);
    paintShape(painter, shape);
}

void TWaveView::drawThrough(QPainter* painter, bool markPoints, TraceShape& shape)
{
    if (g_printMode) {
        draw(painter, markPoints);
        return;
    }
    const qint64 s = traceStart(painter);
    if (s < 0 || !bandOnDevice(painter))
        return;
    const TraceKey key = traceKey(painter->device()->width(), markPoints);
    if (!shape.built || !(shape.key == key)) {
        shape.clear();
        buildShape(int(s), markPoints, key.width, shape);
        shape.key = key;
        shape.built = true;
    }
    paintShape(painter, shape);
}

void TWaveView::buildShape(int start, bool markPoints, int width, TraceShape& shape)
{
    if (xScale > 0.5)
        shapeLines(start, markPoints, width, shape);
    else
        shapeColumns(start, markPoints, width, shape);
}

void TWaveView::paintShape(QPainter* painter, const TraceShape& shape) const
{
    // Moved to the zero level here rather than through the painter's transform, which would
    // send every point through the general mapping. Far rows are clipped as when building.
    static thread_local std::vector<QLine> lines;
    static thread_local std::vector<QPoint> points;
    const qint64 dy = baseY;
    const qint64 height = painter->device()->height();
    lines.clear();
    for (const QLine& l : shape.lines) {
        const qint64 ya = l.y1() + dy, yb = l.y2() + dy;
        if (ya > CoordLimit || ya < -CoordLimit || yb > CoordLimit || yb < -CoordLimit) {
            double x1 = l.x1(), y1 = double(ya), x2 = l.x2(), y2 = double(yb);
            if (clipSegment(x1, y1, x2, y2))
                lines.emplace_back(nearest(x1), nearest(y1), nearest(x2), nearest(y2));
        } else {
            lines.emplace_back(l.x1(), int(ya), l.x2(), int(yb));
        }
    }
    painter->setPen(linePen(painter, grColor));
    if (!lines.empty())
        painter->drawLines(lines.data(), int(lines.size()));
    for (const std::vector<QPoint>* set : {&shape.dots, &shape.markers}) {
        points.clear();
        for (const QPoint& p : *set) {
            const qint64 y = p.y() + dy;
            if (y >= 0 && y < height)
                points.emplace_back(p.x(), int(y));
        }
        if (set == &shape.dots && !points.empty())
            painter->drawPoints(points.data(), int(points.size()));
        else if (set == &shape.markers)
            drawMarkers(painter, points, pointColor);
    }
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

void TWaveView::shapeLines(int start, bool markPoints, int width, TraceShape& shape)
{
    std::vector<QLine>& lines = shape.lines;
    std::vector<QPoint>& markers = shape.markers;
    lines.reserve(size_t(std::min(count - start, 2 * width + 8)));
    int rows[256];
    fillOffsetTable(rows);

    int px = 0, py = 0;
    walkRows(
        *this, start, rows,
        [&](int i, int y) {
            px = sampleToX(i);
            py = y;
        },
        [&](int i, int y) {
            const int x = sampleToX(i);
            addSegment(lines, px, py, x, y, width);
            if (markPoints)
                addPoint(markers, px, py, width);
            px = x;
            py = y;
            return x <= width - 1;
        });
    if (markPoints)
        addPoint(markers, px, py, width);
}

void TWaveView::shapeColumns(int start, bool markPoints, int width, TraceShape& shape)
{
    std::vector<QLine>& lines = shape.lines;
    std::vector<QPoint>& dots = shape.dots;
    std::vector<QPoint>& markers = shape.markers;
    lines.reserve(size_t(std::min(width + 2, count - start + 1)));

    auto flush = [&](int x, int top, int bottom) {
        if (x < 0 || x >= width)
            return; // a column beside the device shows nothing
        if (top == bottom) {
            addPoint(markPoints ? markers : dots, x, top, width);
            return;
        }
        addSegment(lines, x, bottom, x, top, width);
        if (markPoints) {
            addPoint(markers, x, bottom, width);
            addPoint(markers, x, top, width);
        }
    };

    int rows[256];
    fillOffsetTable(rows);
    const double xs = xScale;
    const qint64 pixelBase = qint64(rect.left()) - winPixel;
    const bool smallProducts = double(count) * xs < double(1 << 30);
    auto columnOf = [&](qint64 i) {
        const double v = double(i) * xs;
        return clampToInt((smallProducts ? nearestNonNegative(v) : nearest(v)) + pixelBase);
    };
    // The first sample right of the device ends the walk (it still closes the column before it).
    qint64 last = count - 1;
    if (columnOf(last) > width - 1) {
        qint64 lo = start, hi = last; // columns only grow with the sample index
        while (lo < hi) {
            const qint64 mid = lo + (hi - lo) / 2;
            if (columnOf(mid) > width - 1)
                hi = mid;
            else
                lo = mid + 1;
        }
        last = lo;
    }
    const int n = int(last - start + 1);
    std::vector<qint8> values(static_cast<size_t>(n));
    processedRun(start, n, values.data());

    // Column by column: the samples of a column and the one that opens the next span one stroke,
    // so adjacent columns join. Rows fall as values rise, so the extreme values give the ends.
    int a = 0;
    int colX = columnOf(start);
    while (true) {
        // The first sample of the next column: near the estimate, then exact.
        const double guess = std::ceil((double(colX) - double(pixelBase) + 0.5) / xs) - double(start);
        int b = int(std::clamp(guess, double(a + 1), double(n)));
        while (b < n && columnOf(start + b) <= colX)
            ++b;
        while (b - 1 > a && columnOf(start + b - 1) > colX)
            --b;
        const int end = std::min(b, n - 1);
        // As unsigned bytes (value + 128), which the compiler's vector min/max take directly.
        quint8 low = 255, high = 0;
        const qint8* p = values.data();
        for (int k = a; k <= end; ++k) {
            const quint8 u = quint8(p[k]) ^ 0x80;
            low = u < low ? u : low;
            high = u > high ? u : high;
        }
        const int r1 = rows[low], r2 = rows[high];
        flush(colX, std::min(r1, r2), std::max(r1, r2));
        if (b >= n || colX > width - 1)
            break;
        a = b;
        colX = columnOf(start + b);
        if (colX > width - 1)
            break; // the walk ended on it: its own column lies beside the device
    }
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

// ---------------------------------------------------------------------------------------------
// Spectrum: window functions, forward and inverse transform

namespace {

constexpr double Pi = 3.14159265358979323846;
// ln 10 as a single-precision value.
constexpr double Ln10 = 2.3025851249694824;
// Source samples are read this many at a time.
constexpr int SpectrumBatch = 4096;

// Advances the bar by one without serving events.
void advance(QProgressBar* progress)
{
    if (progress)
        progress->setValue(progress->value() + 1);
}

// A spectrum value v as the signed byte stored for it (v - 128 modulo 256).
inline qint8 storedSpectrumValue(int v)
{
    return qint8(quint8((v - 128) & 0xFF));
}

} // namespace

double windowValue(int i, int n, int type)
{
    if (n <= 0 || type < 0 || type > 5)
        return 0.0;
    if (type == 0)
        return 1.0;
    if (type == 1 || type == 5) {
        const double u = (i - 0.5 * (n - 1)) / (0.5 * (n + 1));
        return type == 1 ? 1.0 - std::abs(u) : 1.0 - u * u;
    }
    // The angles are rounded to single precision before the cosine, the constants are
    // single-precision values.
    const double c1 = std::cos(double(float(2.0 * Pi * i / n)));
    if (type == 2)
        return double(0.5f) * (1.0 - c1);
    if (type == 3)
        return double(0.54f) - double(0.46f) * c1;
    const double c2 = std::cos(double(float(4.0 * Pi * i / n)));
    return double(0.42f) - double(0.5f) * c1 + double(0.08f) * c2;
}

void TWaveView::processedStretch(int start, int n, qint8* out)
{
    if (n <= 0 || !out)
        return;
    std::fill(out, out + n, qint8(0));
    const qint64 first = std::max<qint64>(start, 0);
    const qint64 end = std::min<qint64>(qint64(start) + n, count);
    if (first >= end)
        return;
    qint8* dst = out + (first - start);
    const int len = int(end - first);
    if (mode != pmEnvelopeDiff) {
        // Here a walk gives the very values computed afresh.
        processedRun(int(first), len, dst);
        return;
    }
    // The envelope difference computed afresh at i compares its window sum S(i) with
    // S(i) - r(i - h - 1) + r(i + h), which a walk does not (it carries the offset of its first
    // position); the same value from an exact running sum.
    const int n1 = winLen > 0 ? winLen : 1;
    const qint64 h = halfWidth;
    qint32 sum = windowSum(first);
    for (int j = 0; j < len; ++j) {
        const qint64 i = first + j;
        if (j > 0)
            sum += windowTerm(i + h) - windowTerm(i - h - 1);
        const qint32 advanced = sum - windowTerm(i - h - 1) + windowTerm(i + h);
        dst[j] = qint8(advanced / n1 - sum / n1);
    }
}

int TWaveView::forwardFFT(TWaveView* source, int start, int k, QProgressBar* progress, bool logScale)
{
    if (spectrum)
        return SpectrumAlready;
    if (k < 0 || k > MaxSpectrumLog2)
        return SpectrumNoReal;
    const int n = 1 << k;
    const int bins = n / 2;
    // Never fewer than two floats per sample, so that zeroing a bin and its mirror stays inside.
    const int size = std::max(n, 2 * count);
    std::unique_ptr<float[]> re(new (std::nothrow) float[size_t(size)]);
    if (!re)
        return SpectrumNoReal;
    std::unique_ptr<float[]> im(new (std::nothrow) float[size_t(size)]);
    if (!im)
        return SpectrumNoImaginary;
    std::fill(re.get(), re.get() + size, 0.0f);
    std::fill(im.get(), im.get() + size, 0.0f);

    spectrum = true;
    baseOffset = nearest(-128.0 * yScale);

    const int type = g_winFun;
    qint8 batch[SpectrumBatch];
    for (int off = 0; off < n; off += SpectrumBatch) {
        const int len = std::min(SpectrumBatch, n - off);
        const qint64 from = qint64(start) + off;
        if (!source || from >= source->count || from + len <= 0)
            continue; // wholly outside the source: zeros
        source->processedStretch(int(from), len, batch);
        for (int j = 0; j < len; ++j)
            re[size_t(off + j)] = float(batch[j] * windowValue(off + j, n, type));
    }

    progressStep(progress);
    directFFT(re.get(), im.get(), k, progress);
    QCoreApplication::processEvents();

    auto magnitude = [&](int b) {
        const float r = re[size_t(b)];
        const float i = im[size_t(b)];
        return std::sqrt(r * r + i * i);
    };
    // dB relative to a magnitude of 128.
    auto level = [](float a) { return 20.0 * std::log(double(a * 0.0078125f)) / Ln10; };
    // The peak: the largest magnitude, or in dB the deepest level below 128.
    double peak = 0.0;
    for (int b = 1; b <= bins; ++b) {
        const float a = magnitude(b);
        const double v = logScale ? (a > 1e-10f ? -level(a) : 0.0) : double(a);
        peak = std::max(peak, v);
    }
    progressStep(progress);

    const bool empty = !(peak > 1e-20);
    const double factor = empty ? 0.0 : 255.0 / peak;
    specStep = empty ? 0.0f : float(1.0 / factor);
    const int shown = std::min(bins, count);
    for (int b = 1; b <= shown; ++b) {
        const float a = magnitude(b);
        int v = 0;
        if (!empty) {
            if (!logScale)
                v = nearest(double(a) * factor);
            else if (a > 1e-10f)
                v = nearest(level(a) * factor);
        }
        // A level above 128 has no place below the top of the dB scale; it is shown at the top
        // rather than wrapped around to the bottom.
        setSample(b - 1, logScale && v > 0 ? qint8(127) : storedSpectrumValue(v));
    }
    modified = false; // a fresh spectrum counts as unchanged

    delete[] specRe;
    delete[] specIm;
    specRe = re.release();
    specIm = im.release();
    specSize = size;
    advance(progress);
    return SpectrumOk;
}

void TWaveView::inverseFFT(TWaveView* target, int start, int k, QProgressBar* progress)
{
    if (!spectrum || !specRe || !specIm || k < 0 || k > MaxSpectrumLog2 || (1 << k) > specSize)
        return;
    const int n = 1 << k;
    std::unique_ptr<float[]> re(new (std::nothrow) float[size_t(n)]);
    std::unique_ptr<float[]> im(new (std::nothrow) float[size_t(n)]);
    if (!re || !im)
        return;
    std::copy(specRe, specRe + n, re.get());
    std::copy(specIm, specIm + n, im.get());

    progressStep(progress);
    reverseFFT(re.get(), im.get(), k, progress);
    QCoreApplication::processEvents();

    // Forward and inverse together give twice the input.
    for (int i = 0; target && i < n; ++i) {
        const qint64 t = qint64(start) + i;
        if (t >= 0 && t < target->count)
            target->setSample(int(t), qint8(std::clamp(nearest(0.5 * re[size_t(i)]), -128, 127)));
    }
    advance(progress);
}
