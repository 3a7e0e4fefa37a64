// AE hits: the detector on hand-worked signals, across blocks, without a period, the CSV line; the
// spectral features against a plain DFT, the b-value, the per-channel summary (adc.ini: tst_location).

#include "ae/hit_csv.h"
#include "ae/hit_features.h"
#include "ae/hits.h"
#include "wave_stor.h"

#include <QDateTime>
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
    void spectrum_data();
    void spectrum();
    void spectrumInSearch();
    void bValue_data();
    void bValue();
    void summary();
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

    // Energy, peak in steps; the row's channel, arrival, rise, duration (ns) and frequency (Hz; -1: none).
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
        // No times, energy, frequencies or RA: empty fields, never "nan" or "inf".
        QCOMPARE(csv, QByteArray(
                          "x.raw,1,,0.1953125,105.81,,,1,1,,,,,,\nx.raw,1,,0.1953125,105.81,,,0,0,,,,,,\n"));
        QVERIFY(ae::detectHits(empty, ae::HitSettings()).empty());
    }
}

void TestAe::csv()
{
    QCOMPARE(ae::hitsCsvHeader(), QStringLiteral("file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,"
                                                 "counts,counts_to_peak,energy_v2s,avg_freq_khz,ra_ms_per_v,"
                                                 "peak_freq_khz,centroid_khz,time_utc"));
    // Channel, first, peak, last, peak V, counts, to peak, sum of V², spectrum peak and centroid.
    const ae::Hit h{3, 1200, 1230, 1500, 0.25, 12, 4, 3.0, 0.125, 0.15};
    // 1/3 µs a sample: arrival 400 µs, rise 10, duration 100; 12 counts in 100 µs; 20 log10(250000);
    // RA 0.01 ms / 0.25 V; 3000 kHz × 0.125 and × 0.15; the start + 400 µs.
    const qint64 start =
        QDateTime(QDate(2026, 12, 7), QTime(10, 15, 2, 347), Qt::UTC).toMSecsSinceEpoch() * 1000;
    QCOMPARE(
        ae::hitsCsvLine(QStringLiteral("a,\"b\".raw"), ae::hitRow(h, 1.0 / 3, start)),
        QStringLiteral("\"a,\"\"b\"\".raw\",4,400.000,0.25,107.96,10.000,100.000,12,4,1e-06,120.000,0.04,"
                       "375.000,450.000,2026-12-07T10:15:02.347400Z"));
    // Without a start no absolute time; without a period none of the times, RA or frequencies.
    QCOMPARE(ae::hitsCsvLine(QStringLiteral("a"), ae::hitRow(h, 1.0 / 3)).section(',', 11),
             QStringLiteral("0.04,375.000,450.000,"));
    QCOMPARE(ae::hitsCsvLine(QStringLiteral("a"), ae::hitRow(h, 0.0, start)).section(',', 9),
             QStringLiteral(",,,,,"));
    // Times before the epoch keep a positive fraction; the microseconds are rounded from the arrival.
    QCOMPARE(ae::utcText(-1), QStringLiteral("1969-12-31T23:59:59.999999Z"));
    QCOMPARE(*ae::hitRow(ae::Hit{0, 3, 3, 3, 0.25}, 0.4999, 0).timeUtcUs, qint64(1));
}

using Volts = std::vector<double>;
using Groups = QList<QPair<double, int>>; // amplitude in dB, how many hits

// Peak bin and centroid of bins 1 ... N/2 of the plain DFT, N the power of two at or above the size.
static std::pair<int, double> plainDft(const Volts& x)
{
    int n = 1;
    while (n < int(x.size()))
        n *= 2;
    double largest = 0, sum = 0, weighted = 0;
    int peak = 0;
    for (int b = 1; b <= n / 2; ++b) {
        double re = 0, im = 0;
        for (int j = 0; j < int(x.size()); ++j) {
            re += x[std::size_t(j)] * std::cos(2 * M_PI * b * j / n);
            im -= x[std::size_t(j)] * std::sin(2 * M_PI * b * j / n);
        }
        const double m = std::hypot(re, im);
        if (m > largest * (1 + 1e-9)) {
            largest = m;
            peak = b;
        }
        sum += m;
        weighted += b * m;
    }
    return {peak, weighted / sum};
}

// n samples of a tone of the given cycles per sample, amplitude in whole steps of 5 V / 256.
static Volts tone(int n, double cycles, int steps, double phase = 0)
{
    Volts v = Volts(std::size_t(n));
    for (int j = 0; j < n; ++j)
        v[std::size_t(j)] = std::round(steps * std::cos(2 * M_PI * cycles * j + phase)) * Bip;
    return v;
}

void TestAe::spectrum_data()
{
    QTest::addColumn<Volts>("x");
    QTest::addColumn<int>("peakBin"); // 0: no spectrum
    QTest::addColumn<int>("size");    // N
    QTest::addColumn<double>("near"); // the centroid within this share of the peak; 0: not asked
    // A tone burst of 8 cycles in 64 samples: on bin 8, the centroid within 2 % of it.
    QTest::newRow("tone on its bin") << tone(64, 8.0 / 64, 100) << 8 << 64 << 0.02;
    // 100 samples padded to 128: 0.1 cycles a sample lies between bins 12 and 13.
    QTest::newRow("tone between bins") << tone(100, 0.1, 90, 0.3) << 13 << 128 << 0.0;
    QTest::newRow("two samples, half the rate") << Volts{0.5, -0.5} << 1 << 2 << 1e-12;
    QTest::newRow("one sample") << Volts{0.5} << 0 << 1 << 0.0;
    QTest::newRow("flat over a power of two") << Volts{0.5, 0.5, 0.5, 0.5} << 0 << 4 << 0.0;
}

void TestAe::spectrum()
{
    QFETCH(Volts, x);
    QFETCH(int, peakBin);
    QFETCH(int, size);
    QFETCH(double, near);
    std::vector<double> work;
    double peak = 0, centroid = 0;
    ae::spectrumFeatures(x.data(), qint64(x.size()), work, peak, centroid);
    if (peakBin == 0) {
        QCOMPARE((QList<double>{peak, centroid}), (QList<double>{-1, -1}));
        return;
    }
    const auto [plainPeak, plainCentroid] = plainDft(x);
    QCOMPARE(plainPeak, peakBin);
    QCOMPARE(peak, double(peakBin) / size);
    QVERIFY2(std::abs(centroid * size - plainCentroid) < 1e-9 * size,
             qPrintable(QString::number(centroid * size)));
    QVERIFY(near == 0 || std::abs(centroid * size / peakBin - 1) < near);
}

void TestAe::spectrumInSearch()
{
    // A hit of 70000 samples across three blocks: a tone of 4 samples a cycle over the first 65536,
    // then a stronger one of 8. Only the first 65536 make the spectrum: its peak is 1/4.
    TWaveStor rec;
    QVERIFY(rec.init(2, 70100));
    rec.header.clockKHz = 12000;
    rec.header.divider = 24; // 2 µs a sample: 500 kHz
    rec.channelHeader(1)->gainCode = 2;
    for (int i = 0; i < 70100; ++i) {
        const int j = i - 50, tone4 = j % 2 ? 0 : j % 4 ? -60 : 60, tone8 = j % 8 < 4 ? 120 : -120;
        rec.channel(0)->setSample(i, qint8(j < 0 || j >= 70000 ? 0 : j < 65536 ? tone4 : tone8));
        rec.channel(1)->setSample(i, qint8(i >= 30 && i < 40 ? (i % 2 ? 50 : -50) : 0));
    }
    const ae::HitSettings set{20 * Bip / 4, 0, 10, 0};
    const std::vector<ae::Hit> hits = ae::detectHits(rec, set);
    QCOMPARE(hits.size(), std::size_t(2));
    QCOMPARE((QList<qint64>{hits[0].first, hits[0].last, hits[1].first, hits[1].last}),
             (QList<qint64>{50, 50 + 69999, 30, 39}));
    QCOMPARE(*ae::hitRow(hits[0], rec.samplePeriodUs()).peakFreqKHz, 125.0);
    QVERIFY(std::abs(hits[0].centroidCycles - 0.25) < 0.01);
    // Channel 1 (gain code 2): ten samples alternating, the spectrum of their volts (any scale).
    std::vector<double> work;
    double peak = 0, centroid = 0;
    const Volts ten = tone(10, 0.5, 50, M_PI);
    ae::spectrumFeatures(ten.data(), 10, work, peak, centroid);
    QCOMPARE((QList<double>{hits[1].peakCycles, hits[1].centroidCycles}), (QList<double>{peak, centroid}));
    // Searched in steps, or stopped after the first channel: the same spectra.
    ae::RecordHitSearch search(rec, set);
    while (search.step(10) && search.hits().empty())
        ;
    QCOMPARE(search.hits().size(), std::size_t(1));
    QCOMPARE(search.hits()[0].centroidCycles, hits[0].centroidCycles);
}

void TestAe::bValue_data()
{
    QTest::addColumn<Groups>("groups");
    QTest::addColumn<double>("b"); // 0: none
    // N(60) = 1000, N(61) = 100, N(62) = 10: the slope is -1 a dB.
    const Groups tens{{60.5, 900}, {61.2, 90}, {62.9, 10}};
    QTest::newRow("powers of ten") << tens << 20.0;
    // N = 1003, 103, 13, then 3 up to 70: left out; slope (log10 13 - log10 1003) / 2.
    QTest::newRow("levels under five left out") << (tens + Groups{{70.0, 3}}) << 18.8735758;
    // N = 100, 50, 25, 13, 6 at 40 ... 44: slope -0.3028724 by the least squares of five points.
    QTest::newRow("five levels") << Groups{{40.0, 50}, {41.99, 25}, {42.0, 12}, {43.5, 7}, {44.0, 6}}
                                 << 6.0574483;
    // Ten hits on exactly three levels: N = 10, 5, 5 (61 holds none); slope (log10 5 - 1) / 2.
    const Groups three{{60.0, 5}, {62.0, 5}};
    QTest::newRow("ten hits, three levels") << three << 3.0103;
    QTest::newRow("not a number left out") << (three + Groups{{std::nan(""), 2}, {INFINITY, 1}}) << 3.0103;
    QTest::newRow("nine hits") << Groups{{60.0, 4}, {62.0, 5}} << 0.0;
    QTest::newRow("two levels") << Groups{{60.0, 5}, {61.0, 5}} << 0.0;
    QTest::newRow("one level") << Groups{{60.7, 30}} << 0.0;
    QTest::newRow("no hits") << Groups{} << 0.0;
    QTest::newRow("amplitudes no record has") << Groups{{0, 20}, {1e30, 20}} << 0.0;
}

void TestAe::bValue()
{
    QFETCH(Groups, groups);
    QFETCH(double, b);
    std::vector<double> a;
    for (auto [db, n] : groups)
        a.insert(a.end(), std::size_t(n), db);
    const std::optional<double> got = ae::bValue(a);
    QCOMPARE(got.has_value(), b != 0);
    if (got)
        QVERIFY2(std::abs(*got - b) < 1e-6, qPrintable(QString::number(*got, 'g', 10)));
}

void TestAe::summary()
{
    // Channel 1: ten hits on three levels, one energy unknown; 3: two hits; 2: none; 4: not asked for.
    std::vector<ae::HitRow> rows;
    for (int i = 0; i < 14; ++i) {
        ae::HitRow r;
        r.channel = i < 10 ? 1 : i < 12 ? 3 : 4;
        r.peakDb = i < 5 ? 60.0 : i < 10 ? 62.0 : 70.0 + i;
        if (i != 3)
            r.energyV2s = 0.125 * (i + 1);
        rows.push_back(r);
    }
    QByteArray csv;
    for (const ae::ChannelSummary& s : ae::summarizeChannels(rows, {1, 2, 3}))
        csv += ae::summaryCsvLine(QStringLiteral("r.raw"), s).toUtf8() + '\n';
    QCOMPARE(ae::summaryCsvHeader(), QStringLiteral("file,channel,hits,energy_v2s,peak_db_max,b_value"));
    QCOMPARE(csv, QByteArray("r.raw,1,10,,62.00,3.010\nr.raw,2,0,,,\nr.raw,3,2,2.875,81.00,\n"));
}

QTEST_GUILESS_MAIN(TestAe)
#include "tst_ae.moc"
