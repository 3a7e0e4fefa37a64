// Acoustic-emission hits: the detector on signals built here (bursts, gaps against HDT and HLT,
// noise under the threshold, a burst cut by the end, the detector's envelope, records without a
// period), the rows and the CSV they make, and the hit settings in adc.ini.

#include "ae/hit_csv.h"
#include "ae/hits.h"
#include "settings.h"
#include "wave_stor.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using Samples = std::vector<qint8>;
using Expected = QList<QList<qint64>>; // per hit: first, peak, last, counts, counts to peak
using Stretches = QList<QPair<int, int>>;

namespace {

// One converter step in volts at gain code g: a bipolar step is 5 V / 256, the detector's
// envelope counts from the bottom of the scale in steps of 2.5 V / 256; each gain step halves it.
double volts(qint8 x, bool unipolar, int g)
{
    return unipolar ? (x + 128) * 2.5 / 256.0 / double(1 << g) : x * 5.0 / 256.0 / double(1 << g);
}

// Cycles of eight samples 0, a/2, a, a/2, 0, -a/2, -a, -a/2, one amplitude a per cycle, from start.
void burst(Samples& s, int start, const QList<int>& amplitudes)
{
    int i = start;
    for (int a : amplitudes) {
        for (int v : {0, a / 2, a, a / 2, 0, -a / 2, -a, -a / 2}) {
            if (i >= 0 && i < int(s.size()))
                s[std::size_t(i)] = qint8(v);
            ++i;
        }
    }
}

// Amplitudes rising by step up to top, then falling by the same step to 0.
QList<int> envelope(int top, int step)
{
    QList<int> a;
    for (int v = step; v < top; v += step)
        a << v;
    for (int v = top; v > 0; v -= step)
        a << v;
    return a;
}

// What one hit made of every sample of from ... to is, taken straight from the definitions: the
// first and last sample that reach t, the first largest magnitude between them (a PDT longer than
// the hit), the rising crossings of +t (the first sample counting when it lies above +t).
QList<qint64> oneHit(const Samples& s, bool unipolar, int g, double t, int from, int to)
{
    qint64 first = -1, last = -1, peak = -1;
    double top = -1;
    for (int i = from; i <= to; ++i) {
        const double m = std::fabs(volts(s[std::size_t(i)], unipolar, g));
        if (m < t)
            continue;
        if (first < 0)
            first = i;
        last = i;
        if (m > top) {
            top = m;
            peak = i;
        }
    }
    qint64 counts = 0, toPeak = 0;
    for (qint64 i = first; i <= last; ++i) {
        const bool above = volts(s[std::size_t(i)], unipolar, g) >= t;
        if (above && (i == first || volts(s[std::size_t(i - 1)], unipolar, g) < t)) {
            ++counts;
            if (i <= peak)
                ++toPeak;
        }
    }
    return {first, peak, last, counts, toPeak};
}

double energyOf(const Samples& s, bool unipolar, int g, qint64 first, qint64 last, double periodUs)
{
    double sum = 0;
    for (qint64 i = first; i <= last; ++i)
        sum += std::pow(volts(s[std::size_t(i)], unipolar, g), 2);
    return sum * periodUs * 1e-6;
}

std::vector<ae::Hit> detect(const Samples& s, const ae::HitSettings& set, double period, int g, bool unipolar)
{
    std::vector<ae::Hit> hits;
    ae::HitDetector d(set, period, g, unipolar, 2, hits);
    d.feed(s.data(), qint64(s.size()));
    d.finish();
    return hits;
}

ae::HitSettings settings(double thresholdV, double pdt, double hdt, double hlt)
{
    ae::HitSettings s;
    s.thresholdV = thresholdV;
    s.pdtUs = pdt;
    s.hdtUs = hdt;
    s.hltUs = hlt;
    return s;
}

const double Step0 = 5.0 / 256.0; // one bipolar step at gain code 0

} // namespace

Q_DECLARE_METATYPE(ae::HitSettings)

class TestAe : public QObject
{
    Q_OBJECT
private slots:
    void windows_data();
    void windows();
    void bursts_data();
    void bursts();
    void handMade_data();
    void handMade();
    void spansDoNotMatter();
    void recordsWithoutPeriod_data();
    void recordsWithoutPeriod();
    void rowsAndCsv();
    void csvQuoting_data();
    void csvQuoting();
    void iniSection_data();
    void iniSection();
    void iniLeavesOtherKeys();
};

void TestAe::windows_data()
{
    QTest::addColumn<double>("us");
    QTest::addColumn<double>("period");
    QTest::addColumn<qint64>("samples");
    // 12 MHz clock, divider 4: 1/3 us; divider 100: 8.33 us. Whole periods stay whole.
    QTest::newRow("800 us at 1/3 us") << 800.0 << 1000.0 * 4 / 12000 << qint64(2400);
    QTest::newRow("800 us at 8.33 us") << 800.0 << 1000.0 * 100 / 12000 << qint64(96);
    QTest::newRow("part of a sample") << 0.4 << 0.5 << qint64(0);
    QTest::newRow("negative") << -5.0 << 1.0 << qint64(0);
    QTest::newRow("not a number") << std::nan("") << 1.0 << qint64(0);
    QTest::newRow("no period: a sample per us") << 10.7 << 0.0 << qint64(10);
    QTest::newRow("negative period") << 10.0 << -0.5 << qint64(10);
    QTest::newRow("period not a number") << 10.0 << std::nan("") << qint64(10);
    QTest::newRow("endless") << 1e300 << 1e-3 << (qint64(1) << 50);
}

void TestAe::windows()
{
    QFETCH(double, us);
    QFETCH(double, period);
    QFETCH(qint64, samples);
    QCOMPARE(ae::windowSamples(us, period), samples);
}

void TestAe::bursts_data()
{
    QTest::addColumn<Samples>("signal");
    QTest::addColumn<int>("gain");
    QTest::addColumn<bool>("unipolar");
    QTest::addColumn<double>("period");
    QTest::addColumn<ae::HitSettings>("set");
    // Each hit is expected to be the one hit of its stretch (from, to) of the signal.
    QTest::addColumn<Stretches>("stretches");

    // Period 0.5 us: PDT 1000 us (longer than any hit), HDT 50 us = 100 samples,
    // HLT 100 us = 200 samples. Threshold 5 steps: a sample of exactly 5 reaches it.
    const double p = 0.5;
    const ae::HitSettings s = settings(5 * Step0, 1000, 50, 100);
    const QList<int> shape = envelope(20, 2); // 19 cycles, 152 samples
    const int len = int(shape.size()) * 8;

    Samples one(2000, 0);
    burst(one, 300, shape);
    QTest::newRow("one burst") << one << 0 << false << p << s << Stretches{{0, 1999}};

    auto two = [&](int secondStart) {
        Samples x(3000, 0);
        burst(x, 300, shape);
        burst(x, secondStart, shape);
        return x;
    };
    // The gaps are counted from the first burst's last sample that reaches the threshold to the
    // second's first: both found in the signal.
    const QList<qint64> a = oneHit(two(2500), false, 0, 5 * Step0, 0, 1000);
    const QList<qint64> b = oneHit(two(2500), false, 0, 5 * Step0, 1000, 2999);
    const int lead = int(b[0]) - 2500; // samples from a burst's start to its first crossing
    const int aLast = int(a[2]);
    // Gap of exactly HDT (100 samples): the same hit; one more: a new hit unless locked out.
    QTest::newRow("closer than HDT: one hit")
        << two(aLast + 60 - lead) << 0 << false << p << s << Stretches{{0, 2999}};
    QTest::newRow("gap of HDT: one hit")
        << two(aLast + 100 - lead) << 0 << false << p << s << Stretches{{0, 2999}};
    // Within HDT + HLT of the last crossing the second burst is locked out, wholly.
    QTest::newRow("within HLT: locked out")
        << two(aLast + 101 - lead) << 0 << false << p << s << Stretches{{0, aLast}};
    // Crossing HDT + HLT after it is still locked out; the burst's next crossing is a new hit.
    QTest::newRow("HDT + HLT: the rest of the burst is a hit")
        << two(aLast + 300 - lead) << 0 << false << p << s << Stretches{{0, aLast}, {aLast + 301, 2999}};
    QTest::newRow("past the lockout: two hits")
        << two(aLast + 301 - lead) << 0 << false << p << s << Stretches{{0, aLast}, {aLast + 1, 2999}};
    QTest::newRow("no lockout: a new hit right after HDT")
        << two(aLast + 101 - lead) << 0 << false << p << settings(5 * Step0, 1000, 50, 0)
        << Stretches{{0, aLast}, {aLast + 1, 2999}};
    // A burst that runs through the lockout: the next hit starts at its first reaching sample
    // after the lockout.
    {
        Samples x(3000, 0);
        burst(x, 300, shape);
        burst(x, aLast + 250 - lead, QList<int>(40, 30));
        QTest::newRow("lockout ends inside a burst")
            << x << 0 << false << p << s << Stretches{{0, aLast}, {aLast + 301, 2999}};
    }

    // Noise of up to 4 steps never reaches 5; a level of exactly 5 steps stays under 5.01.
    Samples noise(5000);
    quint32 r = 99;
    for (qint8& v : noise) {
        r = r * 1664525u + 1013904223u;
        v = qint8(int(r >> 29) - 4); // -4 ... 3
    }
    noise[100] = 4;
    noise[101] = -4;
    QTest::newRow("noise under the threshold") << noise << 0 << false << p << s << Stretches{};
    Samples level(50, 5);
    QTest::newRow("just under the threshold")
        << level << 0 << false << p << settings(5.01 * Step0, 1000, 50, 100) << Stretches{};
    Samples cut(1000, 0);
    burst(cut, 1000 - len / 2, shape);
    QTest::newRow("cut by the end") << cut << 0 << false << p << s << Stretches{{0, 999}};
    QTest::newRow("empty") << Samples() << 0 << false << p << s << Stretches{};

    // Gain code 3: each step is worth an eighth, so the threshold of 5 steps is 5/8 of the above.
    QTest::newRow("gain code 3")
        << one << 3 << false << p << settings(5 * Step0 / 8, 1000, 50, 100) << Stretches{{0, 1999}};
    QTest::newRow("gain code 3, threshold of gain 0") << one << 3 << false << p << s << Stretches{};
    QTest::newRow("gain code out of range") << one << 13 << false << p << s << Stretches{};
    QTest::newRow("threshold 0 finds nothing")
        << one << 0 << false << p << settings(0, 1000, 50, 100) << Stretches{};

    // The detector's envelope: levels from the bottom of the scale (-128 is 0 V), two hits.
    Samples env(3000, -128);
    for (int k = 0; k < 200; ++k) {
        env[std::size_t(500 + k)] = qint8(-128 + std::min(2 * k, 200 - k));
        env[std::size_t(2000 + k)] = qint8(-128 + std::min(k, (200 - k) / 2));
    }
    QTest::newRow("detector envelope")
        << env << 0 << true << p << settings(40 * 2.5 / 256, 1000, 50, 100)
        << Stretches{{0, 1500}, {1501, 2999}};
    QTest::newRow("detector envelope, gain code 2")
        << env << 2 << true << p << settings(40 * 2.5 / 256 / 4, 1000, 50, 100)
        << Stretches{{0, 1500}, {1501, 2999}};
}

void TestAe::bursts()
{
    QFETCH(Samples, signal);
    QFETCH(int, gain);
    QFETCH(bool, unipolar);
    QFETCH(double, period);
    QFETCH(ae::HitSettings, set);
    QFETCH(Stretches, stretches);

    const std::vector<ae::Hit> hits = detect(signal, set, period, gain, unipolar);
    QCOMPARE(int(hits.size()), int(stretches.size()));
    for (int k = 0; k < int(hits.size()); ++k) {
        const ae::Hit& h = hits[std::size_t(k)];
        const QList<qint64> e = oneHit(signal, unipolar, gain, set.thresholdV, stretches[k].first, stretches[k].second);
        QCOMPARE((QList<qint64>{h.first, h.peak, h.last, h.counts, h.countsToPeak}), e);
        QCOMPARE(h.channel, 2);
        QCOMPARE(h.peakV, std::fabs(volts(signal[std::size_t(e[1])], unipolar, gain)));
        const ae::HitRow row = ae::hitRow(h, period);
        QVERIFY(row.energyV2s);
        const double energy = energyOf(signal, unipolar, gain, e[0], e[2], period);
        QVERIFY2(std::fabs(*row.energyV2s - energy) <= 1e-12 * energy,
                 qPrintable(QStringLiteral("%1 against %2").arg(*row.energyV2s).arg(energy)));
        QCOMPARE(*row.arrivalUs, e[0] * period);
        QCOMPARE(*row.durationUs, (e[2] - e[0]) * period);
        QCOMPARE(*row.riseUs, (e[1] - e[0]) * period);
    }
}

void TestAe::handMade_data()
{
    QTest::addColumn<double>("pdt");
    QTest::addColumn<Expected>("expected");
    QTest::addColumn<double>("rise");
    // Samples 6, -7, 3, 6, 9 from index 10 at 0.5 us, threshold 5 steps. The magnitude 7 comes one
    // sample after the arrival; 9 comes three samples after 7.
    QTest::newRow("PDT 1 us: the peak stays at 7") << 1.0 << Expected{{10, 11, 14, 2, 1}} << 0.5;
    QTest::newRow("PDT 1.5 us: 9 comes within it") << 1.5 << Expected{{10, 14, 14, 2, 2}} << 2.0;
    QTest::newRow("PDT 0: the arrival is the peak") << 0.0 << Expected{{10, 10, 14, 2, 1}} << 0.0;
}

void TestAe::handMade()
{
    QFETCH(double, pdt);
    QFETCH(Expected, expected);
    QFETCH(double, rise);
    Samples s(40, 0);
    const int values[] = {6, -7, 3, 6, 9, -2};
    for (int k = 0; k < 6; ++k)
        s[std::size_t(10 + k)] = qint8(values[k]);
    const std::vector<ae::Hit> hits = detect(s, settings(5 * Step0, pdt, 2, 0), 0.5, 0, false);
    Expected got;
    for (const ae::Hit& h : hits)
        got << QList<qint64>{h.first, h.peak, h.last, h.counts, h.countsToPeak};
    QCOMPARE(got, expected);
    const ae::HitRow row = ae::hitRow(hits.at(0), 0.5);
    QCOMPARE(*row.riseUs, rise);
    QCOMPARE(*row.durationUs, 2.0);
    QCOMPARE(*row.avgFreqKHz, 1000.0); // 2 counts in 2 us
    // (36 + 49 + 9 + 36 + 81) steps squared over 0.5 us.
    QVERIFY(qFuzzyCompare(*row.energyV2s, 211 * Step0 * Step0 * 0.5e-6));
}

void TestAe::spansDoNotMatter()
{
    // A record's channel comes in blocks of 32768: a hit across the boundary is one hit, and
    // feeding sample by sample gives what feeding the whole does.
    TWaveStor rec;
    QVERIFY(rec.init(2, 70000));
    rec.header.clockKHz = 12000;
    rec.header.divider = 4;
    Samples s(70000, 0);
    burst(s, ChunkSamples - 100, envelope(60, 3));
    burst(s, 2 * ChunkSamples - 5, envelope(30, 1));
    for (int i = 0; i < 70000; ++i) {
        rec.channel(0)->setSample(i, 0);
        rec.channel(1)->setSample(i, s[std::size_t(i)]);
    }
    rec.channelHeader(1)->gainCode = 1;
    const ae::HitSettings set = settings(10 * Step0 / 2, 20, 50, 100);
    const std::vector<ae::Hit> all = ae::detectHits(rec, set);
    QCOMPARE(int(all.size()), 2);
    const double t = set.thresholdV;
    QCOMPARE((QList<int>{all[0].channel, all[1].channel}), (QList<int>{1, 1}));
    const QList<qint64> first = oneHit(s, false, 1, t, 0, 40000);
    QCOMPARE((QList<qint64>{all[0].first, all[0].last, all[0].counts}), (QList<qint64>{first[0], first[2], first[3]}));
    QVERIFY(all[0].first < ChunkSamples && all[0].last >= ChunkSamples);
    QCOMPARE(all[1].first, oneHit(s, false, 1, t, 40000, 69999)[0]);

    for (qint64 piece : {qint64(1), qint64(7), qint64(1000)}) {
        std::vector<ae::Hit> pieces;
        ae::HitDetector d(set, rec.samplePeriodUs(), 1, false, 1, pieces);
        for (qint64 i = 0; i < qint64(s.size()); i += piece)
            d.feed(s.data() + i, std::min(piece, qint64(s.size()) - i));
        d.finish();
        QCOMPARE(int(pieces.size()), 2);
        for (int k = 0; k < 2; ++k)
            QCOMPARE((QList<qint64>{pieces[k].first, pieces[k].peak, pieces[k].last, pieces[k].counts}),
                     (QList<qint64>{all[k].first, all[k].peak, all[k].last, all[k].counts}));
    }
}

void TestAe::recordsWithoutPeriod_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::newRow("clock 0") << 0 << 4;
    QTest::newRow("divider 0") << 12000 << 0;
    QTest::newRow("negative divider") << 12000 << -4;
}

void TestAe::recordsWithoutPeriod()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    TWaveStor rec;
    QVERIFY(rec.init(1, 400));
    rec.header.clockKHz = quint16(clockKHz);
    rec.header.divider = divider;
    // Two bursts 60 samples apart: with a sample per microsecond, HDT 50 and HLT 0 part them.
    Samples s(400, 0);
    burst(s, 100, {10, 10});
    burst(s, 176, {10, 10});
    for (int i = 0; i < 400; ++i)
        rec.channel(0)->setSample(i, s[std::size_t(i)]);
    const std::vector<ae::Hit> hits = ae::detectHits(rec, settings(5 * Step0, 10, 50, 0));
    QCOMPARE(int(hits.size()), 2);
    QCOMPARE((QList<qint64>{hits[0].first, hits[1].first}), (QList<qint64>{101, 177}));
    QByteArray csv;
    ae::appendHitsCsv(csv, QStringLiteral("x.raw"), hits, rec.samplePeriodUs());
    // The times, the energy and the frequency are empty; nothing reads "nan" or "inf".
    QCOMPARE(csv.split('\n').value(0), QByteArray("x.raw,1,,0.1953125,105.81,,,2,1,,"));
    QVERIFY(!csv.contains("nan") && !csv.contains("inf"));

    TWaveStor empty;
    QVERIFY(empty.init(3, 0));
    empty.header.clockKHz = quint16(clockKHz);
    empty.header.divider = divider;
    QVERIFY(ae::detectHits(empty, ae::HitSettings()).empty());
}

void TestAe::rowsAndCsv()
{
    QCOMPARE(ae::hitsCsvHeader(), QStringLiteral("file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,"
                                                 "counts,counts_to_peak,energy_v2s,avg_freq_khz"));
    QCOMPARE(ae::decibelsReMicrovolt(1e-6), 0.0);
    QCOMPARE(ae::decibelsReMicrovolt(0.1), 100.0);
    QVERIFY(std::isnan(ae::decibelsReMicrovolt(0.0)));

    ae::Hit h;
    h.channel = 3;
    h.first = 1200;
    h.peak = 1230;
    h.last = 1500;
    h.peakV = 0.25;
    h.counts = 12;
    h.countsToPeak = 4;
    h.sumSquares = 3.0;
    // 1/3 us per sample: arrival 400 us, rise 10 us, duration 100 us, 12 counts in 100 us.
    QCOMPARE(ae::hitsCsvLine(QStringLiteral("a.raw"), ae::hitRow(h, 1.0 / 3)),
             QStringLiteral("a.raw,4,400.000,0.25,107.96,10.000,100.000,12,4,1e-06,120.000"));
    // A hit of one sample has no average frequency.
    h.last = h.peak = h.first;
    const ae::HitRow one = ae::hitRow(h, 2.0);
    QCOMPARE(*one.durationUs, 0.0);
    QVERIFY(!one.avgFreqKHz);
    QCOMPARE(ae::hitFields(one).last(), QString());
}

void TestAe::csvQuoting_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << QStringLiteral("/data/run 1.raw") << QStringLiteral("/data/run 1.raw");
    QTest::newRow("comma") << QStringLiteral("a,b.raw") << QStringLiteral("\"a,b.raw\"");
    QTest::newRow("quote") << QStringLiteral("a\"b.raw") << QStringLiteral("\"a\"\"b.raw\"");
    QTest::newRow("line end") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
}

void TestAe::csvQuoting()
{
    QFETCH(QString, file);
    QFETCH(QString, field);
    QCOMPARE(ae::csvField(file), field);
}

void TestAe::iniSection_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ae::HitSettings>("read");
    const ae::HitSettings d;
    QTest::newRow("missing") << QByteArray() << d;
    QTest::newRow("all set") << QByteArray("[AE_HITS]\nThresholdUV=2500\nPDT=50\nHDT=300\nHLT=0\n")
                             << settings(0.0025, 50, 300, 0);
    QTest::newRow("limits") << QByteArray("[AE_HITS]\nThresholdUV=1\nPDT=1000000\nHDT=0\n")
                            << settings(1e-6, 1000000, 0, d.hltUs);
    QTest::newRow("out of range") << QByteArray("[AE_HITS]\nThresholdUV=0\nPDT=-1\nHDT=1000001\nHLT=x\n") << d;
    QTest::newRow("threshold above 10 V") << QByteArray("[AE_HITS]\nThresholdUV=10000001\n") << d;
}

void TestAe::iniSection()
{
    QFETCH(QByteArray, text);
    QFETCH(ae::HitSettings, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("adc.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    ProgramSettings s;
    readSettings(path, s);
    QCOMPARE(s.hits.thresholdV, read.thresholdV);
    QCOMPARE((QList<double>{s.hits.pdtUs, s.hits.hdtUs, s.hits.hltUs}),
             (QList<double>{read.pdtUs, read.hdtUs, read.hltUs}));
    // Written back, it reads the same.
    QVERIFY(writeSettings(path, s));
    ProgramSettings again;
    readSettings(path, again);
    QVERIFY(again.hits == s.hits);
}

void TestAe::iniLeavesOtherKeys()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.ini"));
    const QString b = dir.filePath(QStringLiteral("b.ini"));
    ProgramSettings s;
    s.portName = QStringLiteral("COM4");
    QVERIFY(writeSettings(a, s));
    s.hits = settings(0.0123456, 1, 2, 3);
    QVERIFY(writeSettings(b, s));
    QSettings ia(a, QSettings::IniFormat), ib(b, QSettings::IniFormat);
    QStringList keys = ia.allKeys();
    QCOMPARE(ib.allKeys(), keys);
    for (const QString& k : keys) {
        if (!k.startsWith(QLatin1String("AE_HITS/")))
            QCOMPARE(ib.value(k), ia.value(k));
    }
    QCOMPARE(ib.value(QStringLiteral("AE_HITS/ThresholdUV")).toInt(), 12346);
    QCOMPARE(ib.value(QStringLiteral("AE_HITS/HLT")).toInt(), 3);
}

QTEST_GUILESS_MAIN(TestAe)
#include "tst_ae.moc"
