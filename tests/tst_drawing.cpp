// Drawing a record into an image: columns, lines, markers, print mode, zero lines, cursors, the
// sine. One channel on rows 0 ... y2: zero line at round(y2 / 2), y2 / 256 rows per sample unit.

#include "wave_stor.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

const auto rounded = [](double v) { return int(std::lround(v)); };

const QColor Trace(255, 0, 0), Marker(0, 255, 255), Zero(0, 0, 255), Cursor(255, 255, 0);
const QColor Black(Qt::black), White(Qt::white);

// A one-channel record of random samples (seed 0: all 0) on rect, only the trace shown.
std::vector<int> makeRecord(TWaveStor& rec, int length, int winStart, int winWidth, quint32 seed)
{
    std::vector<int> x(size_t(length), 0);
    QRandomGenerator gen(seed);
    if (!rec.init(1, length))
        return {};
    TWaveView* v = rec.channel(0);
    for (int i = 0; i < length; ++i)
        v->setSample(i, qint8(x[size_t(i)] = seed ? gen.bounded(-100, 101) : 0));
    v->visible = true;
    v->baseOn = v->cursorOn = false;
    v->grColor = Trace;
    v->pointColor = Marker;
    v->baseColor = Zero;
    v->cursColor = Cursor;
    rec.header.winStart = winStart;
    rec.header.winWidth = winWidth;
    rec.relayout();
    return x;
}

// The record, or only the trace of one channel, drawn into an image.
QImage render(TWaveStor& rec, int w, int h, const QColor& background = Black, TWaveView* only = nullptr)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    only ? only->draw(&painter, false) : rec.draw(&painter);
    return image;
}

int countColour(const QImage& image, const QColor& c)
{
    const QRgb* p = reinterpret_cast<const QRgb*>(image.constBits());
    return int(std::count(p, p + image.width() * image.height(), c.rgb()));
}

} // namespace

class TestDrawing : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { g_printMode = false; }
    void columnsSpanMinToMax_data()
    {
        QTest::addColumn<double>("xScale");
        QTest::newRow("0.1") << 0.1;
        QTest::newRow("just below 0.5") << std::nextafter(0.5, 0.0); // must not round up
        QTest::newRow("0.5") << 0.5;
    }
    void columnsSpanMinToMax();
    void linesJoinSamples_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("x2");
        QTest::addColumn<int>("winWidth");
        QTest::addColumn<bool>("print");
        QTest::newRow("2.0 pixels per sample: no markers") << 0 << 201 << 101 << false;
        QTest::newRow("2.01: markers") << 0 << 202 << 101 << false;
        // Print mode: black on white, a polyline in pieces of 2000 points; the plot starts at 100,
        // so the line starts 100 pixels' worth of samples into the window. The pieces must join.
        QTest::newRow("print") << 100 << 6100 << 5000 << true;
    }
    void linesJoinSamples();
    void cursorsAndZeroLines();
    void channelsInTheirColours();
    void sineOfFiftyHertz_data();
    void sineOfFiftyHertz();
};

void TestDrawing::columnsSpanMinToMax()
{
    QFETCH(double, xScale);
    const int w = 400, h = 300, n = 2000;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    const std::vector<int> x = makeRecord(rec, n, 0, n, 11);
    TWaveView* v = rec.channel(0);
    v->xScale = xScale;
    const QImage image = render(rec, w, h, Black, v);
    // Every column strokes from its lowest to its highest sample, the next column's first included.
    std::vector<int> lo(w + 1, INT_MAX), hi(w + 1, INT_MIN);
    auto col = [&](int i) { return size_t(std::min(rounded(i * xScale), w)); };
    for (int i = 0; i < n; ++i) {
        const int y = 150 - rounded(x[size_t(i)] * 299 / 256.0);
        for (size_t c : {col(i), col(std::max(i - 1, 0))}) {
            lo[c] = std::min(lo[c], y);
            hi[c] = std::max(hi[c], y);
        }
    }
    for (int c = 0; c < w; ++c) {
        for (int y = 0; y < h; ++y) {
            if ((lo[size_t(c)] <= y && y <= hi[size_t(c)]) != (image.pixelColor(c, y) == Trace))
                QFAIL(qPrintable(QStringLiteral("column %1 row %2").arg(c).arg(y)));
        }
    }
}

void TestDrawing::linesJoinSamples()
{
    QFETCH(int, left);
    QFETCH(int, x2);
    QFETCH(int, winWidth);
    QFETCH(bool, print);
    const int h = 300, start = print ? 300 : 0;
    const bool markers = x2 == 202;
    TWaveStor rec(QRect(QPoint(left, 0), QPoint(x2, h - 1)));
    const std::vector<int> x = makeRecord(rec, 6000, start, winWidth, 17);
    g_printMode = print;
    const QColor background = print ? White : Black;
    const QImage image = render(rec, x2 + 1, h, background);
    const double xs = (x2 - 1 - left) / double(winWidth - 1);
    auto column = [&](int i) { return rounded(i * xs) + left - rounded(start * xs); };
    auto row = [&](int i) { return 150 - rounded(x[size_t(i)] * 299 / 256.0); };
    auto hit = [&](int c0, int c1, int y0, int y1) { // a pixel drawn in this box
        for (int c = c0; c <= c1; ++c) {
            for (int y = y0; y <= y1; ++y)
                if (image.pixelColor(c, y) != background)
                    return true;
        }
        return false;
    };
    const int slack = print ? 1 : 0; // a polyline's end pixels may lie a row off
    const int first = print ? start + rounded(left / xs) : start;
    int points = 0, lo = INT_MAX, hi = INT_MIN;
    for (int i = first; column(i) <= x2; ++i, ++points) {
        const int xa = column(i), xb = column(i + 1), ya = row(i), yb = row(i + 1);
        QCOMPARE(image.pixelColor(xa, ya) == Marker, markers);
        lo = std::min({lo, ya, yb});
        hi = std::max({hi, ya, yb});
        // No gap between two samples: every column and every row of the segment has a pixel.
        for (int c = xa; c <= std::min(xb, x2); ++c)
            QVERIFY2(hit(c, c, std::min(ya, yb) - slack, std::max(ya, yb) + slack),
                     qPrintable(QString::number(i)));
        for (int y = std::min(ya, yb) + slack; y <= std::max(ya, yb) - slack && xb <= x2; ++y)
            QVERIFY2(hit(xa, xb, y, y), qPrintable(QString::number(i)));
    }
    QVERIFY(points > 100);
    QCOMPARE(countColour(image, Marker), markers ? points : 0);
    // Nothing beyond the samples' rows, nothing left of the first point; in print only black.
    QVERIFY(!hit(0, x2, 0, lo - slack - 1) && !hit(0, x2, hi + slack + 1, h - 1) &&
            !hit(0, column(first) - 1, 0, h - 1));
    QVERIFY(!print || countColour(image, White) + countColour(image, Black) == image.width() * h);
}

void TestDrawing::cursorsAndZeroLines()
{
    // Columns 50 ... 299 show 249 samples: one pixel per sample; the zero line is row 100.
    const int w = 300, h = 200;
    TWaveStor rec(QRect(QPoint(50, 0), QPoint(w - 1, h - 1)));
    makeRecord(rec, 300, 400, 249, 0);
    TWaveView* v = rec.channel(0);
    v->baseOn = v->cursorOn = true;
    for (int i = 0; i < 300; ++i)
        v->setSample(i, 127);
    // A window after the last sample: no trace, but the zero line, the cursor and its cross.
    v->cursor = 550;
    QImage image = render(rec, w, h);
    QCOMPARE(countColour(image, Trace), 0);
    QCOMPARE(image.pixelColor(60, 99), Black);
    QCOMPARE(image.pixelColor(60, 100), Zero);
    for (int y = 0; y < h; ++y)
        QCOMPARE(image.pixelColor(200, y), Cursor);
    QCOMPARE(countColour(image, Cursor), h + 4 * 5);
    g_printMode = true; // on paper in black
    image = render(rec, w, h, White);
    QCOMPARE((QList<QColor>{image.pixelColor(60, 100), image.pixelColor(200, 0)}),
             (QList<QColor>{Black, Black}));
    g_printMode = false;
    v->cursor = 399; // beside the plot: nothing
    QCOMPARE(countColour(render(rec, w, h), Cursor), 0);
    // A detector channel's zero line is the bottom of its band.
    v->setUnipolar();
    QCOMPARE(render(rec, w, h + 1).pixelColor(60, 100 + 100), Zero); // 128 x 199 / 256 = 99.5 rows
}

void TestDrawing::channelsInTheirColours()
{
    // Four channels, all samples 40, in the tables' colours: each trace in its band (zero line at
    // (ch + 0.5) x 399 / 4), each cursor (at 20 ch + 10, one column a sample) in its colour.
    const int w = 200, h = 400;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    QVERIFY(rec.init(4, 199));
    for (int ch = 0; ch < 4; ++ch) {
        for (int i = 0; i < 199; ++i)
            rec.channel(ch)->setSample(i, 40);
        rec.channel(ch)->visible = true;
        rec.channel(ch)->cursor = 20 * ch + 10;
    }
    rec.header.winWidth = 199;
    rec.relayout();
    const QImage image = render(rec, w, h);
    for (int ch = 0; ch < 4; ++ch) {
        const int row = rounded((ch + 0.5) * 399 / 4) - rounded(40 * 399 / 1024.0);
        QCOMPARE(image.pixelColor(150, row), g_traceColours[ch]);
        QCOMPARE(image.pixelColor(20 * ch + 10, 2), g_cursorColours[ch]);
    }
}

void TestDrawing::sineOfFiftyHertz_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("winStart");
    QTest::addColumn<int>("winWidth");
    QTest::newRow("0.2 us: one period across") << 10000 << 2 << 0 << 100000;
    QTest::newRow("120 kHz, from a quarter period") << 12000 << 100 << 600 << 6000;
}

void TestDrawing::sineOfFiftyHertz()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QFETCH(int, winStart);
    QFETCH(int, winWidth);
    // Columns 0 ... 399 span the window; the sine swings 0.45 x 199 rows about row 99.
    const int w = 400, h = 200;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)));
    QVERIFY(rec.init(1, 10));
    rec.header.clockKHz = quint16(clockKHz);
    rec.header.divider = divider;
    rec.header.winStart = winStart;
    rec.header.winWidth = winWidth;
    rec.header.showSine = 1;
    const QImage image = render(rec, w, h);
    const double secondsPerSample = divider / (1000.0 * clockKHz);
    for (int c = 0; c < w - 1; ++c) {
        const double t = (winStart + c * winWidth / double(w - 1)) * secondsPerSample;
        const int y = 99 - rounded(0.45 * 199 * std::sin(2 * M_PI * 50 * t));
        QVERIFY2(image.pixelColor(c, y) == White || image.pixelColor(c, y - 1) == White ||
                     image.pixelColor(c, y + 1) == White,
                 qPrintable(QStringLiteral("column %1 row %2").arg(c).arg(y)));
    }
}

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
