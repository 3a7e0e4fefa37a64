// The channel buffer: processing modes against their definitions, mean, position of the maximum, zeroing.

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
    int mode = 0, h = 0;

    // x, |x| (-128 giving 127) or x * x / 129 by mode; 0 outside the channel.
    int term(qint64 k) const
    {
        const int v = k >= 0 && k < qint64(x.size()) ? x[size_t(k)] : 0;
        if (mode == pmNone || mode == pmSmooth)
            return v;
        if (mode == pmPower || mode == pmPowerSmooth)
            return v * v / 129;
        return v == -128 ? 127 : std::abs(v);
    }
    int average(qint64 i, int offset = 0) const
    {
        int s = offset;
        for (qint64 k = i - h; k <= i + h; ++k)
            s += term(k);
        return s / (2 * h + 1);
    }
    // The values a walk from s to e shows (first from scratch, then running).
    std::vector<qint8> walk(int s, int e) const
    {
        // The envelope difference advances its sum once at the start of a walk and keeps that
        // offset for the whole walk; its first two values compare with the plain average at s.
        const int offset = term(qint64(s) + h) - term(qint64(s) - h - 1);
        std::vector<qint8> out;
        for (int i = s; i <= e; ++i) {
            int p = 0;
            if (mode == pmNone || mode == pmDetect || mode == pmPower)
                p = term(i);
            else if (mode == pmSmooth || mode == pmEnvelope || mode == pmPowerSmooth)
                p = average(i);
            else if (mode == pmEnvelopeDiff)
                p = average(i, offset) - (i <= s + 1 ? average(s) : average(i - 1, offset));
            out.push_back(qint8(p));
        }
        return out;
    }
};

void fill(TWaveView& view, const std::vector<int>& x)
{
    QVERIFY(view.allocate());
    for (int i = 0; i < int(x.size()); ++i)
        view.setSample(i, qint8(x[size_t(i)]));
    view.modified = false;
}

} // namespace

class TestWaveView : public QObject
{
    Q_OBJECT

private slots:
    void walkMatchesDefinitions_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("h");     // -1: every half-width
        QTest::addColumn<int>("value"); // every sample; 0: random samples
        for (int mode : {0, 1, 2, 3, 4, 5, 6, 7, 255}) {
            for (int h : {0, 1, 126}) {
                for (int length : {5, ChunkSamples + 300})
                    QTest::addRow("mode %d h %d length %d", mode, h, length) << length << mode << h << 0;
            }
        }
        // The largest window sums: the bulk walk must divide them exactly.
        for (int mode : {int(pmSmooth), int(pmEnvelope), int(pmEnvelopeDiff), int(pmPowerSmooth)}) {
            for (int value : {-128, 127})
                QTest::addRow("mode %d all %d", mode, value) << 300 << mode << -1 << value;
        }
    }
    void walkMatchesDefinitions()
    {
        QFETCH(int, length);
        QFETCH(int, mode);
        QFETCH(int, h);
        QFETCH(int, value);
        Reference ref{std::vector<int>(size_t(length), value), mode, h};
        if (value == 0) {
            QRandomGenerator gen(quint32(length + mode * 7 + h));
            for (int& v : ref.x)
                v = gen.bounded(-128, 128);
            ref.x[1] = -128; // the extremes matter to the rectifying and squaring modes
            ref.x[size_t(length) - 2] = 127;
        }
        TWaveView view(length);
        fill(view, ref.x);
        view.mode = quint8(mode);
        // Walks over both ends of the channel, beyond them, and across a long channel's first block.
        QList<QPair<int, int>> walks = {{0, std::min(length - 1, 400)},
                                        {-3, std::min(length + 2, 20)},
                                        {std::max(-2, length - 300), length + 4}};
        if (length > ChunkSamples)
            walks.append({ChunkSamples - 200, ChunkSamples + 200});
        for (ref.h = std::max(h, 0); ref.h <= (h < 0 ? MaxHalfWidth : h); ++ref.h) {
            view.setSmoothing(ref.h);
            for (const auto& [s, e] : walks) {
                const std::vector<qint8> expected = ref.walk(s, e);
                std::vector<qint8> got(expected.size());
                for (int i = s; i <= e; ++i)
                    got[size_t(i - s)] =
                        i == s ? view.processed(view.sample(i), i) : view.processedNext(view.sample(i), i);
                const QString where = QStringLiteral("walk %1 ... %2, h %3").arg(s).arg(e).arg(ref.h);
                QVERIFY2(got == expected, qPrintable(where));
                // The bulk walk for drawing, in one run and continued in pieces of 7.
                view.processedRun(s, e - s + 1, got.data());
                QVERIFY2(got == expected, qPrintable(where));
                std::fill(got.begin(), got.end(), qint8(0x55));
                for (int p = s; p <= e; p += 7)
                    view.processedRun(p, std::min(7, e - p + 1), got.data() + (p - s), p != s);
                QVERIFY2(got == expected, qPrintable(where));
            }
        }
    }

    void measurementsAndZero()
    {
        TWaveView view(30);
        std::vector<int> x(30, 0);
        x[5] = -50; // largest magnitude on a bipolar channel
        x[8] = x[9] = x[20] = 40;
        x[29] = 30;
        fill(view, x);
        view.setSample(-1, 5); // outside the channel: ignored
        view.setSample(30, 5);
        QVERIFY(!view.modified);
        QCOMPARE(view.sample(-1) + view.sample(30), 0);
        QCOMPARE(view.mean(9, 5), 26); // magnitudes, range ordered
        QCOMPARE(view.maxPosition(0, 29), 5);
        QCOMPARE(view.maxPosition(6, 29), 8); // the first of equal values wins
        QCOMPARE(view.maxPosition(4, 5), 5);  // two samples: both looked at
        view.unipolar = true;                 // values above the bottom line: -50 + 128 < 40 + 128
        QCOMPARE(view.mean(5, 5), 78);
        QCOMPARE(view.mean(30, 33), 128); // outside the channel counts as 0
        QCOMPARE(view.maxPosition(0, 29), 8);
        view.spectrum = true; // the values themselves, before unipolar
        // Processed values count; outside the channel processedSample gives 0, not a window sum.
        view.mode = pmSmooth;
        view.setSmoothing(2);
        QCOMPARE(view.maxPosition(0, 29), 8); // (40 + 40) / 5 at 8, 9 and 10
        QCOMPARE(int(view.processedSample(29)), 6);
        QCOMPARE(int(view.processedSample(30)), 0);
        // Zeroing stays inside the channel.
        TWaveView z(512);
        fill(z, std::vector<int>(512, 10));
        z.mode = pmDetect; // the mode does not change what is stored
        z.zero(-100, 1);
        z.zero(500, 1000);
        QVERIFY(z.modified);
        for (int i = 0; i < 512; ++i)
            QCOMPARE(int(z.sample(i)), (i <= 1 || i >= 500) ? 0 : 10);
    }
};

QTEST_APPLESS_MAIN(TestWaveView)
#include "tst_wave_view.moc"
