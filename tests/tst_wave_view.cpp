// The channel buffer: block layout and bulk access, scales and offsets, pixel mapping and picking.

#include "wave_view.h"

#include <QtTest>

#include <limits>

class TestWaveView : public QObject
{
    Q_OBJECT

private slots:
    void lengthAndBlocks_data();
    void lengthAndBlocks();
    void chunkAtSpans();
    void chunkAtRefusesOutside();
    void sampleAndSetSample();
    void bulkWritesLeaveModified();
    void smoothingClamp_data();
    void smoothingClamp();
    void geometryRescalesBaseline();
    void collapsedScaleIgnoresGeometry();
    void unipolarOffset();
    void baselineClamped();
    void pixelMapping();
    void cursorFromXClamps();
    void picking_data();
    void picking();
    void hostileWindowStart();
};

void TestWaveView::lengthAndBlocks_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("blocks"); // usable samples of each block
    QTest::newRow("0") << 0 << 0 << QList<int>{};
    QTest::newRow("1") << 1 << 1 << QList<int>{1};
    QTest::newRow("40000") << 40000 << 40000 << QList<int>{32768, 7232};
    QTest::newRow("65536") << 65536 << 65536 << QList<int>{32768, 32768};
    QTest::newRow("200000 is cut") << 200000 << MaxSamples << QList<int>{32768, 32768, 32768, 32768, 32768};
    QTest::newRow("negative") << -5 << 0 << QList<int>{};
}

void TestWaveView::lengthAndBlocks()
{
    QFETCH(int, length);
    QFETCH(int, count);
    QFETCH(QList<int>, blocks);
    TWaveView view(length);
    QCOMPARE(view.count, count);
    QVERIFY(view.chunks[0] == nullptr); // nothing before allocate
    QVERIFY(view.allocate());
    QVERIFY(view.chunks[0] != nullptr); // even an empty channel gets its (empty) block
    int k = 0;
    for (int p = 0; p < count; ++k) {
        qint8* at = nullptr;
        const int n = view.chunkAt(p, &at);
        QCOMPARE(n, blocks.value(k));
        QCOMPARE(at, view.chunks[k]);
        p += n;
    }
    QCOMPARE(k, blocks.size());
    for (int j = blocks.size() + (count == 0 ? 1 : 0); j < MaxChunks; ++j)
        QVERIFY(view.chunks[j] == nullptr);
    // A second call keeps what is there.
    qint8* first = view.chunks[0];
    QVERIFY(view.allocate());
    QCOMPARE(view.chunks[0], first);
}

void TestWaveView::chunkAtSpans()
{
    TWaveView view(3 * ChunkSamples);
    QVERIFY(view.allocate());
    qint8* p = nullptr;
    QCOMPARE(view.chunkAt(32767, &p), 1);
    QCOMPARE(p, view.chunks[0] + 32767);
    QCOMPARE(view.chunkAt(32768, &p), 32768);
    QCOMPARE(p, view.chunks[1]);
    QCOMPARE(view.chunkAt(40000, &p), 2 * ChunkSamples - 40000);
    QCOMPARE(p, view.chunks[1] + (40000 - ChunkSamples));
    QCOMPARE(view.chunkAt(5, static_cast<qint8**>(nullptr)), 0);
}

void TestWaveView::chunkAtRefusesOutside()
{
    TWaveView view(ChunkSamples + 10);
    qint8* p = nullptr;
    QCOMPARE(view.chunkAt(0, &p), 0); // not allocated yet
    QVERIFY(p == nullptr);
    QVERIFY(view.allocate());
    QCOMPARE(view.chunkAt(-1, &p), 0);
    QCOMPARE(view.chunkAt(ChunkSamples + 10, &p), 0);
    QVERIFY(p == nullptr);
    // The span in the short last block ends with the channel, not at 32768.
    QCOMPARE(view.chunkAt(ChunkSamples + 4, &p), 6);
    const TWaveView& constView = view;
    const qint8* cp = nullptr;
    QCOMPARE(constView.chunkAt(ChunkSamples, &cp), 10);
    QCOMPARE(cp, view.chunks[1]);
}

void TestWaveView::sampleAndSetSample()
{
    TWaveView view(ChunkSamples + 2);
    QVERIFY(view.allocate());
    view.setSample(ChunkSamples + 1, -7);
    QVERIFY(view.modified);
    QCOMPARE(int(view.sample(ChunkSamples + 1)), -7);
    QCOMPARE(int(view.chunks[1][1]), -7);
    view.modified = false;
    view.setSample(ChunkSamples + 2, 5);
    view.setSample(-1, 5);
    QVERIFY(!view.modified);
    QCOMPARE(int(view.sample(-1)), 0);
    QCOMPARE(int(view.sample(ChunkSamples + 2)), 0);
    TWaveView empty(10); // not allocated: reads give 0, writes are ignored
    empty.setSample(3, 1);
    QCOMPARE(int(empty.sample(3)), 0);
    QVERIFY(!empty.modified);
}

void TestWaveView::bulkWritesLeaveModified()
{
    TWaveView view(100);
    QVERIFY(view.allocate());
    qint8* p = nullptr;
    QCOMPARE(view.chunkAt(0, &p), 100);
    p[42] = 9;
    QCOMPARE(int(view.sample(42)), 9);
    QVERIFY(!view.modified);
}

void TestWaveView::smoothingClamp_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("half");
    QTest::addColumn<int>("len");
    QTest::newRow("0") << 0 << 0 << 1;
    QTest::newRow("1") << 1 << 1 << 3;
    QTest::newRow("126") << 126 << 126 << 253;
    QTest::newRow("127") << 127 << 126 << 253;
    QTest::newRow("-1") << -1 << 126 << 253;
    QTest::newRow("255") << 255 << 126 << 253;
}

void TestWaveView::smoothingClamp()
{
    QFETCH(int, h);
    QFETCH(int, half);
    QFETCH(int, len);
    TWaveView view(10);
    view.setSmoothing(h);
    QCOMPARE(view.halfWidth, half);
    QCOMPARE(view.winLen, len);
}

void TestWaveView::geometryRescalesBaseline()
{
    TWaveView view(1000);
    view.baseY = 100;
    view.winStart = 7;
    const QRect r(QPoint(10, 20), QPoint(410, 220));
    view.setGeometry(r, 0.5, 2.0);
    QCOMPARE(view.baseY, 200);
    QCOMPARE(view.yScale, 2.0);
    QCOMPARE(view.xScale, 0.5);
    QCOMPARE(view.winPixel, 4); // nearest(3.5)
    QCOMPARE(view.rect, r);
    QCOMPARE(view.baseOffset, 0);
    view.setUnipolar();
    view.setGeometry(r, 0.5, 0.75);
    QCOMPARE(view.baseOffset, -96);
    QCOMPARE(view.baseY, 75);
}

void TestWaveView::collapsedScaleIgnoresGeometry()
{
    TWaveView view(10);
    view.baseY = 50;
    view.setGeometry(QRect(QPoint(0, 0), QPoint(99, 99)), 1.0, 0.0);
    QCOMPARE(view.yScale, 0.0);
    QCOMPARE(view.baseY, 0);
    const QRect before = view.rect;
    view.setGeometry(QRect(QPoint(0, 0), QPoint(500, 500)), 3.0, 2.0);
    QCOMPARE(view.rect, before);
    QCOMPARE(view.xScale, 1.0);
    view.setYScale(1.0);
    view.setGeometry(QRect(QPoint(0, 0), QPoint(500, 500)), 3.0, 2.0);
    QCOMPARE(view.xScale, 3.0);
    QCOMPARE(view.yScale, 2.0);
    view.setYScale(std::numeric_limits<double>::quiet_NaN());
    view.setGeometry(QRect(QPoint(0, 0), QPoint(5, 5)), 1.0, 1.0);
    QCOMPARE(view.xScale, 3.0);
}

void TestWaveView::unipolarOffset()
{
    TWaveView view(10);
    view.setYScale(0.5);
    view.rect = QRect(QPoint(0, 0), QPoint(399, 399));
    view.baseY = 100;
    view.baseOn = view.visible = true;
    view.setUnipolar();
    QCOMPARE(view.baseOffset, -64);
    QVERIFY(view.unipolar);
    // The zero line is drawn 64 rows below baseY.
    QCOMPARE(view.baselineDistance(10, 164), 0);
    view.setYScale(1.0);
    QCOMPARE(view.baseOffset, -128);
    view.resetOffset();
    QCOMPARE(view.baseOffset, 0);
    QVERIFY(!view.unipolar);
    view.setYScale(2.0);
    QCOMPARE(view.baseOffset, 0);
    view.spectrum = true;
    view.setYScale(1.5);
    QCOMPARE(view.baseOffset, -192);
}

void TestWaveView::baselineClamped()
{
    TWaveView view(10);
    view.rect = QRect(QPoint(0, 10), QPoint(100, 110));
    view.setBaseline(50);
    QCOMPARE(view.baseY, 50);
    view.setUnipolar(); // yScale 1: offset -128
    view.setBaseline(-40);
    QCOMPARE(view.baseY, 10 - 128);
    view.setBaseline(1000);
    QCOMPARE(view.baseY, 110 - 128);
}

void TestWaveView::pixelMapping()
{
    TWaveView view(1000);
    view.rect = QRect(QPoint(10, 0), QPoint(209, 99));
    view.setWindowStart(100, 0.5);
    QCOMPARE(view.winPixel, 50);
    QCOMPARE(view.sampleToX(100), 10);
    QCOMPARE(view.sampleToX(101), 11); // nearest(50.5) = 51
    QCOMPARE(view.sampleToX(99), 10);  // nearest(49.5) = 50
    QCOMPARE(view.xToSample(10), 100);
    QCOMPARE(view.xToSample(11), 102);
    QCOMPARE(view.xToSample(0), 80);
    view.setWindowStart(3, 3.0);
    QCOMPARE(view.sampleToX(3), 10);
    QCOMPARE(view.xToSample(11), 3); // (11 - 10 + 9) / 3 = 3.33
    QCOMPARE(view.xToSample(12), 4); // 3.67
}

void TestWaveView::cursorFromXClamps()
{
    TWaveView view(1000);
    view.rect = QRect(QPoint(10, 0), QPoint(109, 99));
    view.setWindowStart(0, 2.0);
    QCOMPARE(view.cursorFromX(30), 10);
    QCOMPARE(view.cursor, 10);
    QCOMPARE(view.cursorFromX(-100), 0);
    QCOMPARE(view.cursorFromX(5000), 50); // (109 - 10) / 2 = 49.5
}

void TestWaveView::picking_data()
{
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("baseline");
    QTest::addColumn<int>("cursor");
    // rect (0, 0) - (200, 100); zero line at row 40; cursor at sample 25, xScale 2: column 50.
    QTest::newRow("on both") << true << true << 53 << 44 << 4 << 3;
    QTest::newRow("left edge is inside") << true << true << 0 << 40 << 0 << 50;
    QTest::newRow("right edge x2 is outside") << true << true << 200 << 40 << 32767 << 32767;
    QTest::newRow("bottom edge y2 is outside") << true << true << 50 << 100 << 32767 << 32767;
    QTest::newRow("top edge is inside") << true << true << 50 << 0 << 40 << 0;
    QTest::newRow("hidden channel") << false << true << 50 << 40 << 32767 << 32767;
    QTest::newRow("line and cursor off") << true << false << 50 << 40 << 32767 << 32767;
}

void TestWaveView::picking()
{
    QFETCH(bool, visible);
    QFETCH(bool, on);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, baseline);
    QFETCH(int, cursor);
    TWaveView view(1000);
    view.rect = QRect(QPoint(0, 0), QPoint(200, 100));
    view.setWindowStart(0, 2.0);
    view.baseY = 40;
    view.cursor = 25;
    view.visible = visible;
    view.baseOn = view.cursorOn = on;
    QCOMPARE(view.baselineDistance(x, y), baseline);
    QCOMPARE(view.cursorDistance(x, y), cursor);
}

void TestWaveView::hostileWindowStart()
{
    // Window starts from a file may be anything; the mapping saturates instead of overflowing.
    TWaveView view(100);
    view.rect = QRect(QPoint(0, 0), QPoint(99, 99));
    view.setWindowStart(std::numeric_limits<int>::min(), 1.0);
    QCOMPARE(view.sampleToX(50), std::numeric_limits<int>::max());
    view.setWindowStart(std::numeric_limits<int>::max(), 1000.0);
    QCOMPARE(view.winPixel, std::numeric_limits<int>::max());
    QCOMPARE(view.sampleToX(0), -std::numeric_limits<int>::max());
    view.visible = view.cursorOn = true;
    view.cursor = 10;
    QCOMPARE(view.cursorDistance(5, 5), 32767);
}

QTEST_APPLESS_MAIN(TestWaveView)
#include "tst_wave_view.moc"
