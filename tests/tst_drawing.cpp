// Drawing a record into an image: column and line modes, point markers, traces scrolled out of
// the device, cursors, the reference sine, print mode and its polyline pieces.

#include "wave_stor.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QColor Trace(255, 0, 0);
const QColor Marker(0, 255, 255);
const QColor Zero(0, 0, 255);
const QColor Cursor(255, 255, 0);

// Records what the painter hands to its engine.
class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & QPaintEngine::DirtyPen)
            pen = state.pen();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawLines(const QLine* l, int n) override
    {
        for (int i = 0; i < n; ++i)
            lines.append({QLineF(l[i]), pen.color()});
    }
    void drawLines(const QLineF* l, int n) override
    {
        for (int i = 0; i < n; ++i)
            lines.append({l[i], pen.color()});
    }
    void drawPolygon(const QPoint* p, int n, PolygonDrawMode mode) override
    {
        if (mode == PolylineMode)
            polylines.append({QPolygon(QList<QPoint>(p, p + n)), pen.color()});
    }
    void drawPolygon(const QPointF* p, int n, PolygonDrawMode mode) override
    {
        if (mode == PolylineMode)
            polylines.append({QPolygonF(QList<QPointF>(p, p + n)).toPolygon(), pen.color()});
    }
    void drawPoints(const QPoint*, int n) override { points += n; }
    void drawPoints(const QPointF*, int n) override { points += n; }

    QPen pen;
    QList<QPair<QLineF, QColor>> lines;
    QList<QPair<QPolygon, QColor>> polylines;
    int points = 0;
};

class RecordingDevice : public QPaintDevice
{
public:
    RecordingDevice(int w, int h)
        : m_w(w)
        , m_h(h)
    {
    }
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_w;
        case PdmHeight: return m_h;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 1;
        }
    }

private:
    int m_w, m_h;
};

// A one-channel record on a plot of the image's size, channel visible, nothing else drawn.
void makeRecord(TWaveStor& rec, int length, int winWidth, const std::vector<int>& samples)
{
    QVERIFY(rec.init(1, length));
    TWaveView* v = rec.channel(0);
    for (int i = 0; i < length; ++i)
        v->setSample(i, qint8(samples[size_t(i)]));
    v->visible = true;
    v->baseOn = false;
    v->cursorOn = false;
    v->grColor = Trace;
    v->pointColor = Marker;
    v->baseColor = Zero;
    v->cursColor = Cursor;
    rec.header.winWidth = winWidth;
    rec.relayout();
}

std::vector<int> randomSamples(int n, quint32 seed)
{
    QRandomGenerator gen(seed);
    std::vector<int> x(static_cast<size_t>(n));
    for (int& v : x)
        v = gen.bounded(-100, 101);
    return x;
}

QImage render(TWaveStor& rec, int w, int h, const QColor& background = Qt::black)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    rec.draw(&painter);
    return image;
}

int countColour(const QImage& image, const QColor& c)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == c;
    }
    return n;
}

bool lit(const QImage& image, int x, int y)
{
    return image.rect().contains(x, y) && image.pixelColor(x, y) != QColor(Qt::black);
}

} // namespace

class TestDrawing : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { g_printMode = false; }

    void columnModeSpansMinToMax_data();
    void columnModeSpansMinToMax();
    void modeSwitchAtHalfPixel_data();
    void modeSwitchAtHalfPixel();
    void lineModeJoinsSamples();
    void markersAboveTwoPixels_data();
    void markersAboveTwoPixels();
    void scrolledPastTheEnd();
    void bandOutsideDevice();
    void cursorAndCross();
    void cursorOutsidePlotDrawsNothing();
    void moveCursorDrawsBoth();
    void referenceSine();
    void emptyFirstSlotDrawsNothing();
    void printModeIsBlack();
    void printPolylineJoinsPieces();
    void printStartsAtPlotLeft();
    void noDeviceNoDrawing();
};

void TestDrawing::columnModeSpansMinToMax_data()
{
    QTest::addColumn<double>("xScale"); // 0: as the record computes it
    QTest::newRow("record's scale") << 0.0;
    // Products just below a half must not be rounded up.
    QTest::newRow("just below 0.5") << std::nextafter(0.5, 0.0);
    QTest::newRow("0.5") << 0.5;
    QTest::newRow("0.1") << 0.1;
}

void TestDrawing::columnModeSpansMinToMax()
{
    QFETCH(double, xScale);
    const int w = 400, h = 300, n = 2000;
    const std::vector<int> x = randomSamples(n, 11);
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, n, n, x);
    TWaveView* v = rec.channel(0);
    if (xScale > 0)
        v->xScale = xScale;
    QVERIFY(v->xScale <= 0.5);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    v->draw(&painter, false);
    painter.end();

    // Expected stroke of every column: its own samples and the one that opens the next column.
    std::vector<int> lo(w + 1, INT_MAX), hi(w + 1, INT_MIN);
    auto col = [&](int i) { return std::min(nearest(i * v->xScale), w); };
    auto row = [&](int i) { return v->baseY - nearest(x[size_t(i)] * rec.yScale); };
    for (int i = 0; i < n; ++i) {
        const int c = col(i);
        lo[size_t(c)] = std::min(lo[size_t(c)], row(i));
        hi[size_t(c)] = std::max(hi[size_t(c)], row(i));
        if (i > 0 && col(i - 1) != c) {
            lo[size_t(col(i - 1))] = std::min(lo[size_t(col(i - 1))], row(i));
            hi[size_t(col(i - 1))] = std::max(hi[size_t(col(i - 1))], row(i));
        }
    }
    for (int c = 0; c < w; ++c) {
        for (int y = 0; y < h; ++y) {
            const bool want = lo[size_t(c)] <= y && y <= hi[size_t(c)];
            if (want != (image.pixelColor(c, y) == Trace))
                QFAIL(qPrintable(QStringLiteral("column %1 row %2: expected %3 (stroke %4..%5)")
                                     .arg(c)
                                     .arg(y)
                                     .arg(want ? "trace" : "nothing")
                                     .arg(lo[size_t(c)])
                                     .arg(hi[size_t(c)])));
        }
    }
}

void TestDrawing::modeSwitchAtHalfPixel_data()
{
    QTest::addColumn<int>("x2");
    QTest::addColumn<int>("winWidth");
    QTest::addColumn<bool>("columns");
    QTest::newRow("0.5: columns") << 101 << 201 << true; // 100 / 200
    QTest::newRow("0.51: lines") << 103 << 201 << false; // 102 / 200
}

void TestDrawing::modeSwitchAtHalfPixel()
{
    QFETCH(int, x2);
    QFETCH(int, winWidth);
    QFETCH(bool, columns);
    const int n = 400;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(x2, 299)));
    makeRecord(rec, n, winWidth, randomSamples(n, 3));
    RecordingDevice device(x2 + 1, 300);
    QPainter painter(&device);
    rec.draw(&painter);
    painter.end();
    const auto& lines = device.engine.lines;
    QVERIFY(!lines.isEmpty());
    if (columns) {
        // One vertical stroke per pixel column.
        for (const auto& [l, c] : lines)
            QCOMPARE(l.x1(), l.x2());
        QVERIFY(lines.size() <= x2 + 1);
    } else {
        // One segment per pair of successive samples that reach the device.
        QVERIFY(lines.size() > x2 + 1);
    }
}

void TestDrawing::lineModeJoinsSamples()
{
    const int w = 400, h = 300, n = 150;
    const std::vector<int> x = randomSamples(n, 17);
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, n, 100, x); // about 4 pixels per sample
    const TWaveView* v = rec.channel(0);
    const QImage image = render(rec, w, h);
    int checked = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const int xa = nearest(i * rec.xScale), xb = nearest((i + 1) * rec.xScale);
        if (xb >= w)
            break;
        const int ya = v->baseY - nearest(x[size_t(i)] * rec.yScale);
        const int yb = v->baseY - nearest(x[size_t(i + 1)] * rec.yScale);
        QCOMPARE(image.pixelColor(xa, ya), Marker);
        // Every column between the two points holds part of the segment.
        for (int c = xa; c <= xb; ++c) {
            bool found = false;
            for (int y = std::min(ya, yb); y <= std::max(ya, yb) && !found; ++y)
                found = lit(image, c, y);
            QVERIFY2(
                found,
                qPrintable(
                    QStringLiteral("gap in column %1 between samples %2 and %3").arg(c).arg(i).arg(i + 1)));
        }
        ++checked;
    }
    QVERIFY(checked > 90);
    // Nothing beyond the samples' rows.
    int lo = INT_MAX, hi = INT_MIN;
    for (int i = 0; i < n; ++i) {
        lo = std::min(lo, v->baseY - nearest(x[size_t(i)] * rec.yScale));
        hi = std::max(hi, v->baseY - nearest(x[size_t(i)] * rec.yScale));
    }
    for (int y = 0; y < h; ++y) {
        if (y >= lo && y <= hi)
            continue;
        for (int c = 0; c < w; ++c)
            QVERIFY(!lit(image, c, y));
    }
}

void TestDrawing::markersAboveTwoPixels_data()
{
    QTest::addColumn<int>("x2");
    QTest::addColumn<bool>("markers");
    QTest::newRow("2.0: none") << 201 << false;    // 200 / 100
    QTest::newRow("2.01: markers") << 202 << true; // 201 / 100
}

void TestDrawing::markersAboveTwoPixels()
{
    QFETCH(int, x2);
    QFETCH(bool, markers);
    const int n = 101;
    const std::vector<int> x = randomSamples(n, 5);
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(x2, 299)));
    makeRecord(rec, n, 101, x);
    const TWaveView* v = rec.channel(0);
    const QImage image = render(rec, x2 + 1, 300);
    int onPoints = 0;
    for (int i = 0; i < n; ++i) {
        const int c = nearest(i * rec.xScale);
        const int y = v->baseY - nearest(x[size_t(i)] * rec.yScale);
        onPoints += image.pixelColor(c, y) == Marker;
        QVERIFY(lit(image, c, y));
    }
    QCOMPARE(onPoints, markers ? n : 0);
    QCOMPARE(countColour(image, Marker), markers ? n : 0);
}

void TestDrawing::scrolledPastTheEnd()
{
    // The window starts after the last sample: no trace, but the zero line and the cursor.
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 500, 100, std::vector<int>(500, 60));
    TWaveView* v = rec.channel(0);
    v->baseOn = v->cursorOn = true;
    rec.header.winStart = 600;
    rec.relayout();
    v->cursor = 620;
    const QImage image = render(rec, w, h);
    QCOMPARE(countColour(image, Trace), 0);
    const int cx = nearest(620 * rec.xScale) - v->winPixel;
    QVERIFY(cx > 0 && cx < w);
    QCOMPARE(image.pixelColor(10, v->baseY), Zero);
    QCOMPARE(image.pixelColor(cx, 3), Cursor);
    QCOMPARE(image.pixelColor(cx, h - 3), Cursor);
}

void TestDrawing::bandOutsideDevice()
{
    // The zero level is dragged far below the device: the trace's rows cannot reach it.
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 500, 500, std::vector<int>(500, 127));
    TWaveView* v = rec.channel(0);
    v->cursorOn = true;
    v->cursor = 100;
    const int reach = nearest(128 * v->yScale);
    v->baseY = h - 1 + reach + 1;
    QImage image = render(rec, w, h);
    QCOMPARE(countColour(image, Trace), 0);
    const int cx = nearest(100 * rec.xScale);
    QCOMPARE(image.pixelColor(cx, 0), Cursor);
    // Two rows nearer, 127 lands on the device's last row.
    v->baseY -= 2;
    image = render(rec, w, h);
    QVERIFY(countColour(image, Trace) > 0);
}

void TestDrawing::cursorAndCross()
{
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 300, 300, std::vector<int>(300, 20));
    TWaveView* v = rec.channel(0);
    v->cursorOn = true;
    v->cursor = 150;
    v->grColor = Qt::black; // only the cursor shows
    const QImage image = render(rec, w, h);
    const int cx = nearest(150 * rec.xScale);
    const int cy = v->baseY - nearest(20 * rec.yScale);
    for (int y = 0; y < h; ++y)
        QCOMPARE(image.pixelColor(cx, y), Cursor);
    for (int d = 1; d <= 5; ++d) {
        QCOMPARE(image.pixelColor(cx - d, cy - d), Cursor);
        QCOMPARE(image.pixelColor(cx + d, cy - d), Cursor);
        QCOMPARE(image.pixelColor(cx - d, cy + d), Cursor);
        QCOMPARE(image.pixelColor(cx + d, cy + d), Cursor);
    }
    QCOMPARE(countColour(image, Cursor), h + 4 * 5);
}

void TestDrawing::cursorOutsidePlotDrawsNothing()
{
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(50, 0), QPoint(250, h - 1)));
    makeRecord(rec, 300, 300, std::vector<int>(300, 0));
    TWaveView* v = rec.channel(0);
    v->visible = true;
    v->cursorOn = true;
    v->grColor = Qt::black;
    for (int cursor : {-30, 400}) {
        v->cursor = cursor;
        const QImage image = render(rec, w, h);
        QCOMPARE(countColour(image, Cursor), 0);
    }
    v->cursor = 0; // exactly on the left edge of the plot: line and cross
    QCOMPARE(countColour(render(rec, w, h), Cursor), h + 4 * 5);
}

void TestDrawing::moveCursorDrawsBoth()
{
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 300, 300, std::vector<int>(300, 0));
    TWaveView* v = rec.channel(0);
    v->cursorOn = true;
    v->cursor = 10;
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    QVERIFY(rec.moveCursor(&painter, 0, 200));
    painter.end();
    QCOMPARE(v->cursor, 200);
    QCOMPARE(image.pixelColor(nearest(10 * rec.xScale), 100), Cursor);
    QCOMPARE(image.pixelColor(nearest(200 * rec.xScale), 100), Cursor);
}

void TestDrawing::referenceSine()
{
    const int w = 400, h = 300;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 100, 1000000, std::vector<int>(100, 0));
    rec.channel(0)->grColor = Qt::black;
    rec.header.showSine = 1;
    rec.header.winStart = 250000;
    const QImage image = render(rec, w, h);
    // 0.2 us per sample: 2 pi * 50 * 2e-7 radians per sample.
    const double omega = 2 * M_PI * 50 * 2e-7;
    const double step = 1000000.0 / (w - 1) * omega;
    const double phase0 = omega * 250000;
    int white = 0;
    for (int c = 0; c < w; ++c) {
        const int y = (h - 1) / 2 - nearest(0.45 * (h - 1) * std::sin(c == 0 ? phase0 : step * c + phase0));
        QCOMPARE(image.pixelColor(c, y), QColor(Qt::white));
        ++white;
    }
    QCOMPARE(white, w);
    // Without a window width the sine is not drawn.
    rec.header.winWidth = 0;
    QCOMPARE(countColour(render(rec, w, h), Qt::white), 0);
    // Nor without a clock to derive its frequency from.
    rec.header.winWidth = 1000000;
    rec.header.clockKHz = 0;
    QCOMPARE(countColour(render(rec, w, h), Qt::white), 0);
}

void TestDrawing::emptyFirstSlotDrawsNothing()
{
    const int w = 200, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    QVERIFY(rec.init(3, 100));
    rec.header.showSine = 1;
    rec.header.winWidth = 100;
    for (int i = 0; i < 3; ++i)
        rec.channel(i)->visible = true;
    QVERIFY(countColour(render(rec, w, h), Qt::black) < w * h);
    delete rec.channelSlots[0].view;
    rec.channelSlots[0].view = nullptr;
    QCOMPARE(countColour(render(rec, w, h), Qt::black), w * h);
}

void TestDrawing::printModeIsBlack()
{
    const int w = 400, h = 300;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 3000, 3000, randomSamples(3000, 9));
    TWaveView* v = rec.channel(0);
    v->baseOn = v->cursorOn = true;
    v->cursor = 1500;
    rec.header.showSine = 1;
    g_printMode = true;
    const QImage image = render(rec, w, h, Qt::white);
    int black = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QColor c = image.pixelColor(x, y);
            QVERIFY(c == QColor(Qt::white) || c == QColor(Qt::black));
            black += c == QColor(Qt::black);
        }
    }
    QVERIFY(black > w);
    // The cross scales with the vertical scale in print: half-size nearest(10 * yScale).
    const int d = nearest(10 * rec.yScale);
    const int cx = nearest(1500 * rec.xScale);
    const int cy = v->baseY - nearest(v->sample(1500) * rec.yScale);
    QCOMPARE(image.pixelColor(cx + d, cy + d), QColor(Qt::black));
    QCOMPARE(image.pixelColor(cx - d, cy + d), QColor(Qt::black));
}

void TestDrawing::printPolylineJoinsPieces()
{
    const int n = 5000;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(6000, 499)));
    const std::vector<int> x = randomSamples(n, 21);
    makeRecord(rec, n, n, x);
    const TWaveView* v = rec.channel(0);
    RecordingDevice device(6001, 500);
    g_printMode = true;
    QPainter painter(&device);
    rec.draw(&painter);
    painter.end();
    const auto& pieces = device.engine.polylines;
    QCOMPARE(pieces.size(), 3);
    QCOMPARE(pieces[0].first.size(), 2000);
    QCOMPARE(pieces[1].first.size(), 2000);
    QCOMPARE(pieces[2].first.size(), 1002);
    QList<QPoint> joined;
    for (int k = 0; k < pieces.size(); ++k) {
        QCOMPARE(pieces[k].second, QColor(Qt::black));
        if (k > 0)
            QCOMPARE(pieces[k].first.first(), pieces[k - 1].first.last());
        joined += QList<QPoint>(pieces[k].first.begin() + (k > 0 ? 1 : 0), pieces[k].first.end());
    }
    QCOMPARE(joined.size(), n);
    for (int i = 0; i < n; ++i)
        QCOMPARE(joined[i], QPoint(nearest(i * rec.xScale), v->baseY - nearest(x[size_t(i)] * rec.yScale)));
}

void TestDrawing::printStartsAtPlotLeft()
{
    // A page with a margin: the printed trace begins at the plot's left edge with the first
    // sample of the window.
    const int n = 1000;
    TWaveStor rec(QRect(QPoint(100, 50), QPoint(599, 349)));
    makeRecord(rec, n, 200, randomSamples(n, 4));
    rec.header.winStart = 300;
    rec.relayout();
    RecordingDevice device(700, 400);
    g_printMode = true;
    QPainter painter(&device);
    rec.draw(&painter);
    painter.end();
    const auto& pieces = device.engine.polylines;
    QCOMPARE(pieces.size(), 1);
    const QPolygon& line = pieces[0].first;
    QCOMPARE(line.first().x(), 100);
    QCOMPARE(line.first(),
             QPoint(100, rec.channel(0)->baseY - nearest(rec.channel(0)->sample(300) * rec.yScale)));
    // It ends with the first point at or beyond the plot's right edge.
    QVERIFY(line.last().x() >= 599);
    QVERIFY(line[line.size() - 2].x() < 599);
}

void TestDrawing::noDeviceNoDrawing()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(99, 99)));
    makeRecord(rec, 100, 100, std::vector<int>(100, 1));
    QPainter idle; // never begun: no device
    rec.draw(&idle);
    rec.drawSine(&idle);
    rec.drawCursors(&idle);
    rec.draw(nullptr);
    rec.channel(0)->xScale = 0.0;
    QCOMPARE(countColour(
                 [&] {
                     QImage image(100, 100, QImage::Format_RGB32);
                     image.fill(Qt::black);
                     QPainter painter(&image);
                     rec.channel(0)->draw(&painter, false);
                     return image;
                 }(),
                 Qt::black),
             100 * 100);
}

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
