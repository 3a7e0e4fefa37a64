// Acoustic-emission hits: the detector on short signals whose hits are worked out by hand, a hit
// across the record's blocks, records without a period, the CSV line (the keys of adc.ini:
// tst_location).

#include "ae/hit_csv.h"
#include "ae/hits.h"
#include "wave_stor.h"

#include <QtTest>

#include <cmath>

using Samples = std::vector<qint8>;
using Hits = QList<QList<qint64>>; // per hit: first, peak, last, counts, counts to peak, energy in steps²

namespace {

const double Bip = 5.0 / 256; // volts of a bipolar step at gain code 0
const double Env = 2.5 / 256; // of a step of the detector's envelope
const double P = 0.5;         // sample period in the tables, µs

// length samples of fill, with the given (index, value) points.
Samples signal(int length, std::initializer_list<std::pair<int, int>> points, int fill = 0)
{
    Samples s = Samples(std::size_t(length), qint8(fill));
    for (auto [i, v] : points)
        s[std::size_t(i)] = qint8(v);
    return s;
}

} // namespace

class TestAe : public QObject
{
    Q_OBJECT
private slots:
    void hits_data();
    void hits();
    void blocksAndSpans();
    void noPeriod();
    void csv();
};

void TestAe::hits_data()
{
    QTest::addColumn<Samples>("s");
    QTest::addColumn<int>("gain");
    QTest::addColumn<bool>("unipolar");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<QList<int>>("windows"); // PDT, HDT, HLT in samples
    QTest::addColumn<Hits>("expected");

    const QList<int> w{2, 3, 4};
    const Samples edge = signal(30, {{5, 4}, {6, 5}, {7, -5}, {8, 4}});
    QTest::newRow("equal reaches; the first of equal peaks")
        << edge << 0 << false << 5 * Bip << w << Hits{{6, 6, 7, 1, 1, 50}};
    QTest::newRow("just under") << edge << 0 << false << 5.01 * Bip << w << Hits{};
    // 7 comes at HDT after 6: the same hit, but later than PDT after the peak.
    QTest::newRow("gap of HDT joins")
        << signal(30, {{10, 6}, {13, 7}}) << 0 << false << 5 * Bip << w << Hits{{10, 10, 13, 2, 1, 85}};
    // After HDT the hit ends at 10; 14 and 17 fall in the lockout up to 10 + 3 + 4.
    const Samples gaps = signal(30, {{10, 6}, {14, 7}, {17, 8}, {18, 9}});
    QTest::newRow("HDT ends, HLT locks out")
        << gaps << 0 << false << 5 * Bip << w << Hits{{10, 10, 10, 1, 1, 36}, {18, 18, 18, 1, 1, 81}};
    QTest::newRow("HLT 0") << gaps << 0 << false << 5 * Bip << QList<int>{2, 3, 0}
                           << Hits{{10, 10, 10, 1, 1, 36}, {14, 14, 18, 2, 1, 194}};
    // 7 one sample after the arrival, 9 three samples after 7.
    const Samples pdt = signal(30, {{10, 6}, {11, -7}, {12, 3}, {13, 6}, {14, 9}});
    QTest::newRow("PDT 1") << pdt << 0 << false << 5 * Bip << QList<int>{1, 3, 4}
                           << Hits{{10, 11, 14, 2, 1, 211}};
    QTest::newRow("PDT 3") << pdt << 0 << false << 5 * Bip << QList<int>{3, 3, 4}
                           << Hits{{10, 14, 14, 2, 2, 211}};
    QTest::newRow("PDT 0") << pdt << 0 << false << 5 * Bip << QList<int>{0, 3, 4}
                           << Hits{{10, 10, 14, 2, 1, 211}};
    // Rising crossings of +T at 21, 23, 25; the arrival at -6 is not one.
    QTest::newRow("counts") << signal(30, {{20, -6}, {21, 7}, {22, 2}, {23, 6}, {24, 4}, {25, 5}, {26, -8}})
                            << 0 << false << 5 * Bip << QList<int>{100, 3, 4}
                            << Hits{{20, 26, 26, 3, 3, 230}};
    QTest::newRow("cut by the end") << signal(30, {{27, 6}, {29, -7}}) << 0 << false << 5 * Bip << w
                                    << Hits{{27, 29, 29, 1, 1, 85}};
    Samples noise(30);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = qint8(i % 2 ? 4 : -4);
    QTest::newRow("noise under") << noise << 0 << false << 5 * Bip << w << Hits{};
    QTest::newRow("empty") << Samples() << 0 << false << 5 * Bip << w << Hits{};
    QTest::newRow("gain code 3") << edge << 3 << false << 5 * Bip / 8 << w << Hits{{6, 6, 7, 1, 1, 50}};
    QTest::newRow("gain code 13 reads 0 V") << edge << 13 << false << 1e-9 << w << Hits{};
    QTest::newRow("threshold 0") << edge << 0 << false << 0.0 << w << Hits{};
    // The envelope counts from the bottom of its scale: -128 is 0 V, -88 is 40 steps.
    QTest::newRow("detector envelope")
        << signal(30, {{10, -90}, {11, -88}, {12, -80}, {13, -100}}, -128) << 0 << true << 40 * Env << w
        << Hits{{11, 12, 12, 1, 1, 40 * 40 + 48 * 48}};
}

void TestAe::hits()
{
    QFETCH(Samples, s);
    QFETCH(int, gain);
    QFETCH(bool, unipolar);
    QFETCH(double, threshold);
    QFETCH(QList<int>, windows);
    QFETCH(Hits, expected);
    std::vector<ae::Hit> found;
    ae::HitDetector d(ae::HitSettings{threshold, windows[0] * P, windows[1] * P, windows[2] * P}, P, gain,
                      unipolar, 2, found);
    d.feed(s.data(), qint64(s.size()));
    d.finish();

    // Energy and peak in steps of the channel's gain, the channel from 1, then the row's arrival,
    // rise and duration in ns and its average frequency in Hz (-1: none, for a hit of one sample).
    const double unit = (unipolar ? Env : Bip) / double(1 << gain);
    Hits got, want;
    for (const ae::Hit& h : found) {
        const ae::HitRow r = ae::hitRow(h, P);
        const double energy = *r.energyV2s / (unit * unit * P * 1e-6),
                     hz = r.avgFreqKHz.value_or(-0.001) * 1000;
        got << QList<qint64>{h.first, h.peak, h.last, h.counts, h.countsToPeak, qRound64(energy)};
        got.last() << qRound64(r.peakV / unit) << r.channel << qRound64(*r.arrivalUs * 1000)
                   << qRound64(*r.riseUs * 1000) << qRound64(*r.durationUs * 1000) << qRound64(hz);
    }
    for (QList<qint64> e : expected) {
        const qint64 ns = qint64(P * 1000), duration = (e[2] - e[0]) * ns;
        e << std::abs(s[std::size_t(e[1])] + (unipolar ? 128 : 0)) << 3 << e[0] * ns << (e[1] - e[0]) * ns
          << duration << (duration > 0 ? qRound64(e[3] * 1e9 / duration) : -1);
        want << e;
    }
    QCOMPARE(got, want);
}

void TestAe::blocksAndSpans()
{
    // At 25/12 µs a sample: on channel 0 two samples 480 apart, an HDT of 1000 µs (one hit, though
    // 1000 / (25/12) is just under 480 in doubles); on channel 1 (gain 1) a hit across a block end.
    TWaveStor rec;
    QVERIFY(rec.init(2, 40000));
    rec.header.clockKHz = 12000;
    rec.header.divider = 25;
    rec.channelHeader(1)->gainCode = 1;
    // Five cycles whose samples but 0 reach 10 steps at gain 1.
    const int cycle[8] = {0, 20, 40, 20, 0, -20, -40, -20};
    Samples s(40000, 0);
    for (int i = 0; i < 40; ++i)
        s[std::size_t(ChunkSamples - 20 + i)] = qint8(cycle[i % 8]);
    for (int i = 0; i < 40000; ++i) {
        rec.channel(0)->setSample(i, qint8(i == 1000 || i == 1480 ? 5 : 4));
        rec.channel(1)->setSample(i, s[std::size_t(i)]);
    }
    const ae::HitSettings set{10 * Bip / 2, 1000, 1000, 0};
    const std::vector<ae::Hit> all = ae::detectHits(rec, set);
    QCOMPARE(all.size(), std::size_t(2));
    // First at the first half-amplitude sample, last at the last; a rising crossing a cycle.
    QCOMPARE((QList<qint64>{all[0].channel, all[0].first, all[0].last, all[1].channel, all[1].first,
                            all[1].last, all[1].counts}),
             (QList<qint64>{0, 1000, 1480, 1, ChunkSamples - 19, ChunkSamples - 20 + 39, 5}));
    // Fed in pieces of any size, the same.
    for (qint64 piece : {1, 7, 1000}) {
        std::vector<ae::Hit> hits;
        ae::HitDetector d(set, rec.samplePeriodUs(), 1, false, 1, hits);
        for (qint64 i = 0; i < qint64(s.size()); i += piece)
            d.feed(s.data() + i, std::min(piece, qint64(s.size()) - i));
        d.finish();
        QCOMPARE(hits.size(), std::size_t(1));
        QCOMPARE((QList<qint64>{hits[0].first, hits[0].peak, hits[0].last, hits[0].counts}),
                 (QList<qint64>{all[1].first, all[1].peak, all[1].last, all[1].counts}));
    }
    // The record searched in steps of any size across blocks and channels: the same hits, every
    // sample counted. Stopped before the sample that ends channel 1's hit (the 481st after its
    // last crossing), only the hit of channel 0; stopped after it, both.
    auto firsts = [](const std::vector<ae::Hit>& hits) {
        QList<qint64> f;
        for (const ae::Hit& h : hits)
            f << h.channel << h.first << h.last;
        return f;
    };
    for (qint64 step : {qint64(1), qint64(7), qint64(ChunkSamples), qint64(100000)}) {
        ae::RecordHitSearch search(rec, set);
        while (search.step(step))
            ;
        QCOMPARE((QList<qint64>{search.searched(), search.total()}), (QList<qint64>{80000, 80000}));
        QCOMPARE(firsts(search.hits()), firsts(all));
    }
    for (auto [searched, found] :
         {std::pair{40000 + ChunkSamples + 500, 1}, std::pair{40000 + ChunkSamples + 501, 2}}) {
        ae::RecordHitSearch search(rec, set);
        QVERIFY(search.step(searched));
        QCOMPARE(search.searched(), qint64(searched));
        QCOMPARE(firsts(search.hits()), firsts(all).mid(0, 3 * found));
    }
}

void TestAe::noPeriod()
{
    // Clock 0, divider 0, a negative divider.
    for (auto [clockKHz, divider] : {std::pair{0, 4}, std::pair{12000, 0}, std::pair{12000, -4}}) {
        TWaveStor rec, empty;
        QVERIFY(rec.init(1, 400) && empty.init(3, 0));
        rec.header.clockKHz = empty.header.clockKHz = quint16(clockKHz);
        rec.header.divider = empty.header.divider = divider;
        // 10 at 100 and -10 at 160: a sample a µs, HDT 50 and HLT 0 part them.
        for (int i = 0; i < 400; ++i)
            rec.channel(0)->setSample(i, qint8(i == 100 ? 10 : i == 160 ? -10 : 0));
        const std::vector<ae::Hit> hits = ae::detectHits(rec, ae::HitSettings{5 * Bip, 10, 50, 0});
        QByteArray csv;
        ae::appendHitsCsv(csv, QStringLiteral("x.raw"), hits, rec.samplePeriodUs());
        // No times, energy or frequency: empty fields, never "nan" or "inf".
        QCOMPARE(csv, QByteArray("x.raw,1,,0.1953125,105.81,,,1,1,,\nx.raw,1,,0.1953125,105.81,,,0,0,,\n"));
        QVERIFY(ae::detectHits(empty, ae::HitSettings()).empty());
    }
}

void TestAe::csv()
{
    QCOMPARE(ae::hitsCsvHeader(), QStringLiteral("file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,"
                                                 "counts,counts_to_peak,energy_v2s,avg_freq_khz"));
    // Channel, first, peak, last, peak V, counts, to peak, sum of V².
    const ae::Hit h{3, 1200, 1230, 1500, 0.25, 12, 4, 3.0};
    // 1/3 µs a sample: arrival 400 µs, rise 10, duration 100; 12 counts in 100 µs; 20 log10(250000).
    QCOMPARE(ae::hitsCsvLine(QStringLiteral("a,\"b\".raw"), ae::hitRow(h, 1.0 / 3)),
             QStringLiteral("\"a,\"\"b\"\".raw\",4,400.000,0.25,107.96,10.000,100.000,12,4,1e-06,120.000"));
}

QTEST_GUILESS_MAIN(TestAe)
#include "tst_ae.moc"
