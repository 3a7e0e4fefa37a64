// Processing modes of a channel against a direct evaluation of their definitions, and the
// measurements built on them: mean, position of the maximum, zeroing.

#include "wave_view.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstdlib>
#include <vector>

namespace {

// The definitions, evaluated directly for every index (no running state).
struct Reference
{
    std::vector<int> x;
    int mode = 0;
    int h = 0;

    int raw(qint64 k) const { return k >= 0 && k < qint64(x.size()) ? x[size_t(k)] : 0; }
    int term(qint64 k) const
    {
        const int v = raw(k);
        switch (mode) {
        case pmSmooth: return v;
        case pmEnvelope:
        case pmEnvelopeDiff: return v == -128 ? 127 : std::abs(v);
        case pmPowerSmooth: return v * v / 129;
        default: return 0;
        }
    }
    int sum(qint64 i) const
    {
        int s = 0;
        for (qint64 k = i - h; k <= i + h; ++k)
            s += term(k);
        return s;
    }
    int n() const { return 2 * h + 1; }

    // The values a walk from s to e shows (first from scratch, then running).
    std::vector<qint8> walk(int s, int e) const
    {
        std::vector<qint8> out;
        // The envelope difference advances its sum once at the start of a walk and keeps that
        // offset for the whole walk.
        const int offset = term(qint64(s) + h) - term(qint64(s) - h - 1);
        int prev = sum(s) / n();
        for (int i = s; i <= e; ++i) {
            const int v = raw(i);
            int p = 0;
            switch (mode) {
            case pmNone: p = v; break;
            case pmDetect: p = v == -128 ? 127 : std::abs(v); break;
            case pmPower: p = v * v / 129; break;
            case pmSmooth:
            case pmEnvelope:
            case pmPowerSmooth: p = sum(i) / n(); break;
            case pmEnvelopeDiff: {
                const int a = (sum(i) + offset) / n();
                p = a - prev;
                if (i > s)
                    prev = a;
                break;
            }
            default: p = 0;
            }
            out.push_back(qint8(p));
        }
        return out;
    }
};

void fill(TWaveView& view, const std::vector<int>& x)
{
    QVERIFY(view.allocate());
    for (int i = 0; i < int(x.size()); ++i) {
        qint8* p = nullptr;
        QVERIFY(view.chunkAt(i, &p) > 0);
        *p = qint8(x[size_t(i)]);
    }
}

std::vector<int> randomSamples(int n, quint32 seed)
{
    QRandomGenerator gen(seed);
    std::vector<int> x(static_cast<size_t>(n));
    for (int& v : x)
        v = gen.bounded(-128, 128);
    // The extremes matter to the rectifying and squaring modes.
    if (n > 20) {
        x[3] = -128;
        x[4] = 127;
        x[size_t(n) - 2] = -128;
        x[size_t(n) - 5] = 127;
    }
    return x;
}

} // namespace

class TestProcessing : public QObject
{
    Q_OBJECT

private slots:
    void walkMatchesDefinitions_data();
    void walkMatchesDefinitions();
    void extremeSums_data();
    void extremeSums();
    void singleValues_data();
    void singleValues();
    void smoothingAtChannelStart();
    void zeroHalfWidthReducesWindowedModes();
    void processedSampleOutsideIsZero();
    void mean_data();
    void mean();
    void meanOfBackwardsRangeIsOrdered();
    void maxPosition();
    void zeroTimeChannel();
    void zeroSpectrumChannel();
    void zeroNeverLeavesTheChannel();
};

void TestProcessing::walkMatchesDefinitions_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("h");
    for (int mode = 0; mode <= 7; ++mode) {
        for (int h : {0, 1, 126}) {
            for (int length : {600, 5, ChunkSamples + 300}) {
                QTest::addRow("mode %d h %d length %d", mode, h, length) << length << mode << h;
            }
        }
    }
}

void TestProcessing::walkMatchesDefinitions()
{
    QFETCH(int, length);
    QFETCH(int, mode);
    QFETCH(int, h);
    Reference ref;
    ref.x = randomSamples(length, quint32(length * 31 + mode * 7 + h));
    ref.mode = mode;
    ref.h = h;
    TWaveView view(length);
    fill(view, ref.x);
    view.mode = quint8(mode);
    view.setSmoothing(h);

    // Walks over the start, the middle, the end of the channel, one beyond each end, and one
    // across the first block boundary of a long channel.
    QList<QPair<int, int>> walks = {{0, std::min(length - 1, 400)},
                                    {-3, std::min(length + 2, 20)},
                                    {std::max(0, length - 300), length - 1},
                                    {std::max(-2, length - 10), length + 4},
                                    {length / 2, length / 2}};
    if (length > ChunkSamples)
        walks.append({ChunkSamples - 200, ChunkSamples + 200});
    for (const auto& [s, e] : walks) {
        const std::vector<qint8> expected = ref.walk(s, e);
        // In bulk, in one run and in a run continued in pieces of 7.
        std::vector<qint8> bulk(expected.size());
        view.processedRun(s, e - s + 1, bulk.data());
        QVERIFY(bulk == expected);
        std::fill(bulk.begin(), bulk.end(), qint8(0x55));
        for (int p = s; p <= e; p += 7)
            view.processedRun(p, std::min(7, e - p + 1), bulk.data() + (p - s), p != s);
        QVERIFY(bulk == expected);
        for (int i = s; i <= e; ++i) {
            const qint8 raw = view.sample(i);
            const qint8 got = i == s ? view.processed(raw, i) : view.processedNext(raw, i);
            if (got != expected[size_t(i - s)]) {
                QFAIL(qPrintable(QStringLiteral("walk %1..%2: index %3 gives %4, expected %5")
                                     .arg(s)
                                     .arg(e)
                                     .arg(i)
                                     .arg(int(got))
                                     .arg(int(expected[size_t(i - s)]))));
            }
        }
    }
}

void TestProcessing::extremeSums_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("value");
    for (int mode : {int(pmSmooth), int(pmEnvelope), int(pmEnvelopeDiff), int(pmPowerSmooth)}) {
        for (int value : {-128, 127, -1}) {
            QTest::addRow("mode %d, all %d", mode, value) << mode << value;
        }
    }
}

void TestProcessing::extremeSums()
{
    // The largest window sums, every half-width: the bulk walk divides them like the running one.
    QFETCH(int, mode);
    QFETCH(int, value);
    const int length = 700;
    TWaveView view(length);
    fill(view, std::vector<int>(size_t(length), value));
    view.mode = quint8(mode);
    std::vector<qint8> bulk(size_t(length) + 10);
    for (int h = 0; h <= MaxHalfWidth; ++h) {
        view.setSmoothing(h);
        Reference ref;
        ref.x = std::vector<int>(size_t(length), value);
        ref.mode = mode;
        ref.h = h;
        const std::vector<qint8> expected = ref.walk(-5, length + 4);
        view.processedRun(-5, length + 10, bulk.data());
        QVERIFY2(bulk == expected, qPrintable(QStringLiteral("half-width %1").arg(h)));
    }
}

void TestProcessing::singleValues_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("expected");
    QTest::newRow("detect -128") << int(pmDetect) << -128 << 127;
    QTest::newRow("detect -5") << int(pmDetect) << -5 << 5;
    QTest::newRow("detect 127") << int(pmDetect) << 127 << 127;
    QTest::newRow("power -128") << int(pmPower) << -128 << 127;
    QTest::newRow("power 127") << int(pmPower) << 127 << 125;
    QTest::newRow("power 12") << int(pmPower) << 12 << 1;
    QTest::newRow("power 11") << int(pmPower) << 11 << 0;
    QTest::newRow("none -128") << int(pmNone) << -128 << -128;
    QTest::newRow("unknown mode 7") << 7 << 100 << 0;
    QTest::newRow("unknown mode 255") << 255 << -100 << 0;
}

void TestProcessing::singleValues()
{
    QFETCH(int, mode);
    QFETCH(int, raw);
    QFETCH(int, expected);
    TWaveView view(3);
    QVERIFY(view.allocate());
    view.mode = quint8(mode);
    QCOMPARE(int(view.processed(qint8(raw), 1)), expected);
    QCOMPARE(int(view.processedNext(qint8(raw), 2)), expected);
}

void TestProcessing::smoothingAtChannelStart()
{
    TWaveView view(3);
    fill(view, {3, 4, 5});
    view.mode = pmSmooth;
    view.setSmoothing(1);
    QCOMPARE(int(view.processedSample(1)), 4);
    // (0 + 3 + 4) / 3: the place before the channel counts in the window with value 0.
    QCOMPARE(int(view.processedSample(0)), 2);
    QCOMPARE(view.runSum, 7);
}

void TestProcessing::zeroHalfWidthReducesWindowedModes()
{
    const std::vector<int> x = randomSamples(200, 5);
    TWaveView windowed(200), plain(200);
    fill(windowed, x);
    fill(plain, x);
    windowed.setSmoothing(0);
    const QList<QPair<int, int>> pairs = {
        {pmSmooth, pmNone}, {pmEnvelope, pmDetect}, {pmPowerSmooth, pmPower}};
    for (const auto& [w, p] : pairs) {
        windowed.mode = quint8(w);
        plain.mode = quint8(p);
        for (int i = 0; i < 200; ++i) {
            const qint8 a =
                i == 0 ? windowed.processedSample(0) : windowed.processedNext(windowed.sample(i), i);
            QCOMPARE(a, plain.processedSample(i));
        }
    }
}

void TestProcessing::processedSampleOutsideIsZero()
{
    TWaveView view(10);
    fill(view, {90, 90, 90, 90, 90, 90, 90, 90, 90, 90});
    view.mode = pmSmooth;
    view.setSmoothing(3);
    QCOMPARE(int(view.processedSample(-1)), 0);
    QCOMPARE(int(view.processedSample(10)), 0);
    QVERIFY(view.processedSample(9) != 0);
}

void TestProcessing::mean_data()
{
    QTest::addColumn<bool>("spectrum");
    QTest::addColumn<bool>("unipolar");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("expected");
    // Samples 10 ... 12 are -3, 3, 6; the rest 0.
    QTest::newRow("bipolar: magnitudes") << false << false << 10 << 12 << 4;
    QTest::newRow("unipolar: above the bottom line") << false << true << 10 << 12 << 130;
    QTest::newRow("spectrum: the values themselves") << true << false << 10 << 12 << 2;
    QTest::newRow("spectrum wins over unipolar") << true << true << 10 << 12 << 2;
    QTest::newRow("one sample") << false << false << 10 << 10 << 3;
    QTest::newRow("truncates toward zero") << true << false << 9 << 10 << -1;
    QTest::newRow("outside counts as 0") << false << false << 18 << 21 << 0;
    QTest::newRow("unipolar outside counts as 128") << false << true << 19 << 22 << 128;
}

void TestProcessing::mean()
{
    QFETCH(bool, spectrum);
    QFETCH(bool, unipolar);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, expected);
    TWaveView view(20);
    std::vector<int> x(20, 0);
    x[10] = -3;
    x[11] = 3;
    x[12] = 6;
    fill(view, x);
    view.spectrum = spectrum;
    view.unipolar = unipolar;
    QCOMPARE(view.mean(from, to), expected);
}

void TestProcessing::meanOfBackwardsRangeIsOrdered()
{
    TWaveView view(20);
    std::vector<int> x(20, 0);
    x[10] = -3;
    x[11] = 3;
    x[12] = 6;
    fill(view, x);
    QCOMPARE(view.mean(12, 10), 4);
    // A stray range far beyond the channel ends in bounded time.
    QCOMPARE(view.mean(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()), 0);
}

void TestProcessing::maxPosition()
{
    TWaveView view(30);
    std::vector<int> x(30, 0);
    x[5] = -50; // largest magnitude on a bipolar channel
    x[8] = 40;
    x[9] = 40;
    x[20] = 40;
    fill(view, x);
    QCOMPARE(view.maxPosition(0, 29), 5);
    QCOMPARE(view.maxPosition(6, 29), 8); // the first of equal values wins
    view.unipolar = true;                 // -50 + 128 < 40 + 128
    QCOMPARE(view.maxPosition(0, 29), 8);
    view.unipolar = false;
    view.spectrum = true;
    QCOMPARE(view.maxPosition(0, 7), 0); // all of 0 ... 4 are 0, 5 is -50
    QCOMPARE(view.maxPosition(12, 12), 12);
    QCOMPARE(view.maxPosition(12, 3), 12);
    // Processed values count: smoothed, the run of 40s at 8 and 9 peaks at 8 or 9.
    view.spectrum = false;
    view.mode = pmSmooth;
    view.setSmoothing(1);
    const int p = view.maxPosition(6, 29);
    QVERIFY2(p == 8 || p == 9, qPrintable(QString::number(p)));
}

void TestProcessing::zeroTimeChannel()
{
    TWaveView view(10);
    fill(view, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    QVERIFY(!view.modified);
    view.mode = pmDetect; // the mode does not change what is stored
    view.zero(2, 4);
    QVERIFY(view.modified);
    const int expected[10] = {1, 2, 0, 0, 0, 6, 7, 8, 9, 10};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(int(view.sample(i)), expected[i]);
}

void TestProcessing::zeroSpectrumChannel()
{
    TWaveView view(512);
    fill(view, std::vector<int>(512, 10));
    view.spectrum = true;
    view.specRe = new float[1024];
    view.specIm = new float[1024];
    for (int b = 0; b < 1024; ++b)
        view.specRe[b] = view.specIm[b] = 1.0f;
    view.zero(5, 7);
    for (int i = 0; i < 512; ++i)
        QCOMPARE(int(view.sample(i)), (i >= 5 && i <= 7) ? -128 : 10);
    for (int b = 0; b < 1024; ++b) {
        const bool cleared = (b >= 6 && b <= 8) || (b >= 1016 && b <= 1018);
        QCOMPARE(view.specRe[b], cleared ? 0.0f : 1.0f);
        QCOMPARE(view.specIm[b], cleared ? 0.0f : 1.0f);
    }
    QVERIFY(view.modified);
    // The last sample's bin and its mirror are the same middle bin.
    view.zero(511, 511);
    QCOMPARE(view.specRe[512], 0.0f);
}

void TestProcessing::zeroNeverLeavesTheChannel()
{
    TWaveView view(4);
    fill(view, {1, 2, 3, 4});
    view.zero(-100, 0);
    view.zero(3, 1000);
    QCOMPARE(int(view.sample(0)), 0);
    QCOMPARE(int(view.sample(1)), 2);
    QCOMPARE(int(view.sample(2)), 3);
    QCOMPARE(int(view.sample(3)), 0);
    // A spectrum channel without kept arrays just has its samples cleared.
    TWaveView spectrumChannel(4);
    fill(spectrumChannel, {1, 2, 3, 4});
    spectrumChannel.spectrum = true;
    spectrumChannel.zero(0, 3);
    QCOMPARE(int(spectrumChannel.sample(3)), -128);
}

QTEST_APPLESS_MAIN(TestProcessing)
#include "tst_processing.moc"
