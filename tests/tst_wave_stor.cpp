// The signal record: creation defaults, scales and layout, filter settings, forwarding by slot
// index, picking and the repaint span of a zero-line drag.

#include "wave_stor.h"

#include <QtTest>

#include <limits>

namespace {

const QRect Plot(QPoint(0, 0), QPoint(1000, 400));

} // namespace

class TestWaveStor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initDefaults();
    void initCutsChannelsAndLength();
    void initWithoutChannels();
    void initAgainReplacesChannels();
    void xScale_data();
    void xScale();
    void yScale_data();
    void yScale();
    void relayoutSpreadsZeroLines();
    void setPlotRectPassesGeometry();
    void applyWindow();
    void setFilter_data();
    void setFilter();
    void modifiedFromAnyChannel();
    void forwardingValidity();
    void colours();
    void pickingNearestWithinFour();
    void baselineDragSpan();

private:
    QColor savedTrace[MaxChannels];
    QColor savedCursor[MaxChannels];
};

void TestWaveStor::init()
{
    // Colour tables are process-wide; every test starts from the program's defaults.
    const QColor trace[MaxChannels] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                       QColor(160, 160, 0), QColor(0, 160, 160)};
    const QColor cursor[MaxChannels] = {QColor(255, 64, 64), QColor(64, 255, 64), QColor(64, 64, 255),
                                        QColor(255, 255, 64), QColor(64, 255, 255)};
    for (int i = 0; i < MaxChannels; ++i) {
        g_traceColours[i] = trace[i];
        g_cursorColours[i] = cursor[i];
    }
}

void TestWaveStor::initDefaults()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 1000));
    const TWaveHeader& h = rec.header;
    QCOMPARE(int(h.channels), 2);
    QCOMPARE(quint32(h.createdLength), 1000u);
    QCOMPARE(quint32(h.samples), 1000u);
    QCOMPARE(int(h.reserved10), 8);
    QCOMPARE(int(h.showSine), 0);
    QCOMPARE(int(h.clockKHz), 10000);
    QCOMPARE(qint32(h.divider), 2);
    QCOMPARE(int(h.vScale), 1000);
    QCOMPARE(int(h.verMinor), 20);
    QCOMPARE(int(h.verMajor), 1);
    QCOMPARE(rec.samplePeriodUs(), 0.2);
    rec.header.clockKHz = 0; // no clock, no period (instead of a division by zero)
    QCOMPARE(rec.samplePeriodUs(), 0.0);
    rec.header.clockKHz = 10000;
    const QColor lightGray(Qt::lightGray);
    for (int i = 0; i < 2; ++i) {
        const TWaveView* v = rec.channel(i);
        QVERIFY(v);
        QCOMPARE(v->count, 1000);
        QVERIFY(v->chunks[0]);
        QCOMPARE(v->grColor, g_traceColours[i]);
        QCOMPARE(v->cursColor, g_cursorColours[i]);
        QCOMPARE(v->baseColor, lightGray);
        QVERIFY(v->cursorOn);
        QVERIFY(v->baseOn);
        QVERIFY(!v->visible); // shown only once filled
        QCOMPARE(v->cursor, 0);
        QCOMPARE(qint32(rec.channelHeader(i)->cursorPos), 0);
    }
    for (int i = 2; i < MaxChannels; ++i)
        QVERIFY(!rec.channel(i));
    // Unused header bytes are zero.
    for (quint8 b : h.reserved43)
        QCOMPARE(int(b), 0);
}

void TestWaveStor::initCutsChannelsAndLength()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(7, 200000));
    QCOMPARE(rec.channelCount(), 5);
    QCOMPARE(int(rec.header.channels), 5);
    QCOMPARE(quint32(rec.header.createdLength), 200000u);
    // The header never announces more than a channel holds, or a saved file would be short.
    QCOMPARE(quint32(rec.header.samples), quint32(MaxSamples));
    QCOMPARE(rec.channel(4)->count, MaxSamples);
}

void TestWaveStor::initWithoutChannels()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(0, 100));
    QCOMPARE(rec.channelCount(), 0);
    QVERIFY(!rec.channel(0));
    QCOMPARE(rec.yScale, 1.0);
    QCOMPARE(rec.xToSample(17), 17);
    QCOMPARE(rec.sampleToX(17), 17);
    QVERIFY(!rec.isModified());
}

void TestWaveStor::initAgainReplacesChannels()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(3, 10));
    rec.channel(0)->setSample(0, 1);
    QVERIFY(rec.init(1, 20));
    QCOMPARE(rec.channelCount(), 1);
    QCOMPARE(rec.channel(0)->count, 20);
    QVERIFY(!rec.channel(1));
    QVERIFY(!rec.isModified());
}

void TestWaveStor::xScale_data()
{
    QTest::addColumn<int>("x2");
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("expected");
    QTest::newRow("width 1") << 1001 << 1 << 1.0;
    QTest::newRow("width 0") << 1001 << 0 << 1.0;
    QTest::newRow("negative width") << 1001 << -50 << 1.0;
    QTest::newRow("501 over 1000 columns") << 1001 << 501 << 2.0;
    QTest::newRow("2 samples") << 11 << 2 << 10.0;
    QTest::newRow("huge width stays positive") << 1001 << std::numeric_limits<qint32>::max()
                                               << 1000.0 / (double(std::numeric_limits<qint32>::max()) - 1);
}

void TestWaveStor::xScale()
{
    QFETCH(int, x2);
    QFETCH(int, width);
    QFETCH(double, expected);
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(x2, 100)));
    QVERIFY(rec.init(1, 10));
    rec.header.winWidth = width;
    rec.recalcXScale();
    QCOMPARE(rec.xScale, expected);
}

void TestWaveStor::yScale_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("vScale");
    QTest::addColumn<double>("expected");
    QTest::newRow("512 rows, 2 channels") << 512 << 2 << 1000 << 1.0;
    QTest::newRow("vScale 0 means 1.0") << 512 << 2 << 0 << 1.0;
    QTest::newRow("zoom 2.5") << 512 << 2 << 2500 << 2.5;
    QTest::newRow("no channels") << 512 << 0 << 1000 << 1.0;
    QTest::newRow("upside down rect") << -512 << 1 << 1000 << 2.0;
    QTest::newRow("largest zoom") << 256 << 1 << 65535 << 65.535;
}

void TestWaveStor::yScale()
{
    QFETCH(int, height);
    QFETCH(int, channels);
    QFETCH(int, vScale);
    QFETCH(double, expected);
    TWaveStor rec(QRect(0, 0, 100, 1));
    QVERIFY(rec.init(channels, 10));
    rec.rect.setCoords(0, 0, 100, height);
    rec.header.vScale = quint16(vScale);
    rec.recalcYScale();
    QCOMPARE(rec.yScale, expected);
}

void TestWaveStor::relayoutSpreadsZeroLines()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(300, 400)));
    QVERIFY(rec.init(4, 100));
    const int rows[4] = {50, 150, 250, 350};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(rec.channel(i)->baseY, rows[i]);
    QCOMPARE(rec.yScale, 400.0 / 1024.0);
    // Detector records are unipolar: the zero line lies 128 units under baseY.
    rec.channel(1)->setUnipolar();
    rec.relayout();
    QCOMPARE(rec.channel(1)->baseY, 150);
    QCOMPARE(rec.channel(1)->baseOffset, nearest(-128 * 400.0 / 1024.0));
}

void TestWaveStor::setPlotRectPassesGeometry()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(1000, 512)));
    QVERIFY(rec.init(2, 1000));
    rec.header.winWidth = 1000;
    rec.header.winStart = 10;
    rec.relayout();
    const int oldBase = rec.channel(1)->baseY;
    const QRect bigger(QPoint(5, 0), QPoint(1004, 1024));
    rec.setPlotRect(bigger);
    QCOMPARE(rec.rect, bigger);
    QCOMPARE(rec.yScale, 2.0);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(rec.channel(i)->rect, bigger);
        QCOMPARE(rec.channel(i)->yScale, 2.0);
        QCOMPARE(rec.channel(i)->xScale, rec.xScale);
        QCOMPARE(rec.channel(i)->winPixel, nearest(10 * rec.xScale));
    }
    QCOMPARE(rec.channel(1)->baseY, 2 * oldBase); // keeps its relative height
}

void TestWaveStor::applyWindow()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(1001, 512)));
    QVERIFY(rec.init(2, 2000));
    rec.header.winStart = 100;
    rec.header.winWidth = 501;
    rec.header.vScale = 2000;
    rec.recalcXScale();
    rec.recalcYScale();
    rec.applyWindow();
    for (int i = 0; i < 2; ++i) {
        const TWaveView* v = rec.channel(i);
        QCOMPARE(v->winStart, 100);
        QCOMPARE(v->xScale, 2.0);
        QCOMPARE(v->winPixel, 200);
        QCOMPARE(v->yScale, 2.0);
    }
    QCOMPARE(rec.sampleToX(100), 0);
    QCOMPARE(rec.xToSample(20), 110);
}

void TestWaveStor::setFilter_data()
{
    QTest::addColumn<int>("oldMode");
    QTest::addColumn<int>("oldHalf");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("half");
    QTest::addColumn<bool>("redraw");
    QTest::addColumn<int>("storedHalf");
    QTest::addColumn<int>("channelHalf");
    QTest::newRow("new mode") << 0 << 5 << 1 << 5 << true << 5 << 5;
    QTest::newRow("same smoothing mode, new width") << 2 << 5 << 2 << 6 << true << 6 << 6;
    QTest::newRow("same envelope difference, new width") << 4 << 5 << 4 << 9 << true << 9 << 9;
    QTest::newRow("same smoothed square, same width") << 6 << 5 << 6 << 5 << false << 5 << 5;
    QTest::newRow("square has no window") << 5 << 5 << 5 << 9 << false << 9 << 9;
    QTest::newRow("detection has no window") << 1 << 5 << 1 << 9 << false << 9 << 9;
    QTest::newRow("wide half cut to 255, channel 126") << 2 << 5 << 2 << 300 << true << 255 << 126;
    QTest::newRow("200 stored, channel 126") << 0 << 0 << 0 << 200 << false << 200 << 126;
}

void TestWaveStor::setFilter()
{
    QFETCH(int, oldMode);
    QFETCH(int, oldHalf);
    QFETCH(int, mode);
    QFETCH(int, half);
    QFETCH(bool, redraw);
    QFETCH(int, storedHalf);
    QFETCH(int, channelHalf);
    TWaveStor rec(Plot);
    QVERIFY(rec.init(3, 10));
    rec.setFilter(oldMode, oldHalf);
    QCOMPARE(rec.setFilter(mode, half), redraw);
    int gotMode = -1;
    QCOMPARE(rec.filter(&gotMode), storedHalf);
    QCOMPARE(gotMode, mode);
    QCOMPARE(int(rec.header.procMode), mode);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(rec.channel(i)->mode), mode);
        QCOMPARE(rec.channel(i)->halfWidth, channelHalf);
    }
}

void TestWaveStor::modifiedFromAnyChannel()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(3, 10));
    QVERIFY(!rec.isModified());
    rec.zeroRange(2, 0, 3);
    QVERIFY(rec.isModified());
    rec.channel(2)->modified = false;
    rec.channel(1)->setSample(9, 3);
    QVERIFY(rec.isModified());
}

void TestWaveStor::forwardingValidity()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 100));
    for (int ch : {-1, 2, 5, 1000}) {
        QVERIFY(!rec.cursorFromX(ch, 10));
        QVERIFY(!rec.moveBaseline(ch, 0, 10));
        QVERIFY(!rec.moveCursor(nullptr, ch, 3));
        QVERIFY(!rec.zeroRange(ch, 0, 10));
        QCOMPARE(rec.meanOver(ch, 7, 20), 7);
        QCOMPARE(rec.maxPositionIn(ch, 8, 20), 8);
        QRect span(1, 2, 3, 4);
        rec.baselineRepaintSpan(ch, span);
        QCOMPARE(span, QRect(1, 2, 3, 4));
    }
    QVERIFY(!rec.channelHeader(-1));
    QVERIFY(!rec.channelHeader(5));
    QVERIFY(rec.cursorFromX(1, 10));
    QCOMPARE(rec.channel(1)->cursor, 10);
    QVERIFY(rec.moveCursor(nullptr, 0, 42));
    QCOMPARE(rec.channel(0)->cursor, 42);
    QVERIFY(rec.moveBaseline(1, 0, 77));
    QCOMPARE(rec.channel(1)->baseY, 77);
}

void TestWaveStor::colours()
{
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 10));
    rec.setTraceColour(1, Qt::magenta);
    QCOMPARE(rec.channel(1)->grColor, QColor(Qt::magenta));
    QCOMPARE(g_traceColours[1], QColor(Qt::magenta));
    // An empty slot still sets the table entry, which later channels take.
    rec.setCursorColour(3, Qt::cyan);
    QCOMPARE(g_cursorColours[3], QColor(Qt::cyan));
    rec.setTraceColour(7, Qt::yellow); // outside the table: nothing
    rec.setTraceColour(-1, Qt::yellow);
    TWaveStor next(Plot);
    QVERIFY(next.init(4, 10));
    QCOMPARE(next.channel(1)->grColor, QColor(Qt::magenta));
    QCOMPARE(next.channel(3)->cursColor, QColor(Qt::cyan));
}

void TestWaveStor::pickingNearestWithinFour()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(300, 400)));
    QVERIFY(rec.init(4, 1000)); // zero lines at 50, 150, 250, 350
    for (int i = 0; i < 4; ++i)
        rec.channel(i)->visible = true;
    QCOMPARE(rec.channelAtBaseline(10, 154), 1);
    QCOMPARE(rec.dragBase, 150);
    QCOMPARE(rec.channelAtBaseline(10, 155), -1);
    QCOMPARE(rec.channelAtBaseline(10, 46), 0);
    QCOMPARE(rec.dragBase, 50);
    // Two zero lines at equal distance: the lower channel number wins.
    rec.channel(2)->baseY = 158;
    QCOMPARE(rec.channelAtBaseline(10, 154), 1);
    QCOMPARE(rec.channelAtBaseline(10, 159), 2);
    rec.channel(2)->visible = false;
    QCOMPARE(rec.channelAtBaseline(10, 159), -1);

    rec.channel(0)->cursor = 100;
    rec.channel(3)->cursor = 104;
    QCOMPARE(rec.channelAtCursor(102, 10), 0);
    QCOMPARE(rec.channelAtCursor(103, 10), 3);
    QCOMPARE(rec.channelAtCursor(95, 10), -1);
    QCOMPARE(rec.channelAtCursor(96, 10), 0);
    rec.channel(0)->cursorOn = false;
    QCOMPARE(rec.channelAtCursor(100, 10), 3);
}

void TestWaveStor::baselineDragSpan()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(300, 512)));
    QVERIFY(rec.init(2, 10)); // yScale 1, zero lines at 128 and 384
    for (int i = 0; i < 2; ++i)
        rec.channel(i)->visible = true;
    QCOMPARE(rec.channelAtBaseline(5, 386), 1);
    rec.commitBaseline();
    QCOMPARE(rec.dragOld, 384);
    QRect span(QPoint(3, 9), QPoint(250, 9));
    rec.baselineRepaintSpan(1, span);
    QCOMPARE(span, QRect(QPoint(0, 0), QPoint(0, 0)));
    rec.moveBaseline(1, 5, 300);
    span = QRect(QPoint(3, 9), QPoint(250, 9));
    rec.baselineRepaintSpan(1, span);
    QCOMPARE(span.left(), 3);
    QCOMPARE(span.right(), 250);
    QCOMPARE(span.top(), 300 - 6 - 127);
    QCOMPARE(span.bottom(), 384 + 128 + 6);
}

QTEST_APPLESS_MAIN(TestWaveStor)
#include "tst_wave_stor.moc"
