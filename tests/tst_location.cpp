// AE source location: solutions by hand or by a 1-mm grid search, AIC onsets, events, the checks,
// the CSV, the AE keys of adc.ini, and the emulated unit's sources found again in its recording.

#include "ae/location.h"
#include "k4demo.h"
#include "settings.h"
#include "wave_stor.h"

#include <QtTest>

#include <cmath>
#include <numeric>

using Points = QList<QPointF>;
using Groups = QList<QList<int>>;

namespace {

const double V = 5000.0; // m/s

// Arrival times (µs) at the sensors from a source at p emitted at 1000 µs.
QList<double> arrivals(const Points& sensors, QPointF p, double v = V)
{
    QList<double> t;
    for (const QPointF& s : sensors)
        t << 1000.0 + std::hypot(p.x() - s.x(), p.y() - s.y()) / v * 1e6;
    return t;
}

// The RMS misfit at (x, y) against the earliest arrival.
double rms(const Points& sensors, const QList<double>& t, double x, double y)
{
    const int first = int(std::min_element(t.begin(), t.end()) - t.begin());
    const double d0 = std::hypot(x - sensors[first].x(), y - sensors[first].y());
    double sum = 0;
    for (int i = 0; i < sensors.size(); ++i) {
        const double r =
            std::hypot(x - sensors[i].x(), y - sensors[i].y()) - d0 - V * 1e-6 * (t[i] - t[first]);
        sum += r * r;
    }
    return std::sqrt(sum / (sensors.size() - 1));
}

// Every point of a 1-mm grid over the sensors' box enlarged by half its size on each side.
QPointF gridSearch(const Points& sensors, const QList<double>& t)
{
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (const QPointF& s : sensors) {
        x0 = std::min(x0, s.x()), x1 = std::max(x1, s.x());
        y0 = std::min(y0, s.y()), y1 = std::max(y1, s.y());
    }
    const double w = x1 - x0, h = y1 - y0;
    QPointF best;
    double lowest = 1e300;
    for (int i = 0; i <= int(std::round(2000 * w)); ++i)
        for (int j = 0; j <= int(std::round(2000 * h)); ++j) {
            const double x = x0 - w / 2 + i * 1e-3, y = y0 - h / 2 + j * 1e-3;
            const double r = rms(sensors, t, x, y);
            if (r < lowest)
                lowest = r, best = QPointF(x, y);
        }
    return best;
}

ae::LocationSettings planarSetUp(const Points& sensors)
{
    ae::LocationSettings s;
    for (int i = 0; i < sensors.size(); ++i)
        s.sensors.push_back({i, sensors[i].x(), sensors[i].y()});
    return s;
}

// The located point of the planar set-up for arrivals t at the sensors, and its residual.
QPointF locate(const Points& sensors, const QList<double>& t, double& residual)
{
    std::vector<int> idx(std::size_t(t.size()));
    std::iota(idx.begin(), idx.end(), 0);
    std::sort(idx.begin(), idx.end(), [&](int a, int b) { return t[a] < t[b]; });
    std::vector<double> at;
    for (int i : idx)
        at.push_back(t[i]);
    double x, y;
    ae::PlanarLocator(planarSetUp(sensors).sensors, V)
        .locate(idx.data(), at.data(), int(idx.size()), x, y, residual);
    return QPointF(x, y);
}

double distance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// A record of channels of length samples at periodUs (a clock of 12 MHz), all at code 0.
void makeRecord(TWaveStor& rec, int channels, int length, int divider)
{
    QVERIFY(rec.init(channels, length));
    rec.header.clockKHz = 12000;
    rec.header.divider = divider;
}

} // namespace

class TestLocation : public QObject
{
    Q_OBJECT
private slots:
    void linear_data();
    void linear();
    void linearPairOfFirstHits();
    void planar_data();
    void planar();
    void aicFormula_data();
    void aicFormula();
    void aicOnSlowRise_data();
    void aicOnSlowRise();
    void events_data();
    void events();
    void checks_data();
    void checks();
    void demoSourcesFound();
    void csv();
    void iniBounds_data();
    void iniBounds();
};

void TestLocation::linear_data()
{
    QTest::addColumn<QList<double>>("in"); // x1, t1, x2, t2 (m, µs)
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("residual");
    // 5000 m/s: 200 µs per metre of path difference.
    QTest::newRow("middle") << QList<double>{0, 100, 1, 100} << 0.5 << 0.0;
    QTest::newRow("inside, nearer x1") << QList<double>{0, 50, 1, 150} << 0.25 << 0.0;
    QTest::newRow("at x1: the whole gap") << QList<double>{0, 0, 1, 200} << 0.0 << 0.0;
    QTest::newRow("beyond x1") << QList<double>{0, 0, 1, 300} << 0.0 << 0.5;
    QTest::newRow("beyond x2") << QList<double>{-0.3, 500, 0.9, 0} << 0.9 << 1.3;
}

void TestLocation::linear()
{
    QFETCH(QList<double>, in);
    double overshoot = -1;
    QTEST(ae::locateOnLine(in[0], in[1], in[2], in[3], V, &overshoot), "x");
    QTEST(overshoot, "residual");
}

void TestLocation::linearPairOfFirstHits()
{
    // Three sensors at 0, 1, 2 m; the first two hits (channels 3 and 2) make the pair: the source
    // 0.75 m of path nearer x = 2 than x = 1, so at 1.5 + 0.375 m.
    TWaveStor rec;
    makeRecord(rec, 3, 1000, 12); // 1 µs a sample
    ae::LocationSettings s;
    s.planar = false;
    s.pick = ae::PickMethod::Threshold;
    s.sensors = {{0, 0.0, 0.0}, {1, 1.0, 0.0}, {2, 2.0, 0.0}};
    std::vector<ae::Hit> hits(3);
    for (int ch = 0; ch < 3; ++ch)
        hits[std::size_t(ch)] =
            ae::Hit{ch, qint64(500 - 200 * ch + (ch == 1 ? -50 : 0)), 0, 0, 0.5 + ch, 1, 1, 1};
    const ae::LocationResult r = ae::locateHits(rec, hits, ae::HitSettings(), s); // arrivals 500, 250, 100 µs
    QVERIFY(r.check);
    QCOMPARE(r.events.size(), std::size_t(1));
    const ae::LocatedEvent& e = r.events[0];
    QCOMPARE((QList<double>{e.timeUs, e.x, e.residual, e.peakV}), (QList<double>{100, 1.875, 0, 2.5}));
    QVERIFY(std::isnan(e.y));
    QCOMPARE(e.channels, (std::vector<int>{2, 1, 0}));
}

void TestLocation::planar_data()
{
    QTest::addColumn<Points>("sensors");
    QTest::addColumn<QPointF>("source");
    QTest::addColumn<QList<double>>("jitter"); // µs added to the arrivals
    QTest::addColumn<QPointF>("exact");        // the answer, or (nan, nan): the grid's best point
    const Points plate{{0, 0}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}}, triangle{{0, 0}, {1, 0}, {0.3, 0.8}},
        corner{{0, 0}, {1, 0}, {0, 1}};
    const QList<double> none{0, 0, 0, 0};
    const QPointF grid(std::nan(""), std::nan(""));
    QTest::newRow("four, inside") << plate << QPointF(0.31, 0.12) << none << QPointF(0.31, 0.12);
    QTest::newRow("four, outside the array") << plate << QPointF(0.62, -0.17) << none << QPointF(0.62, -0.17);
    QTest::newRow("four, beyond the box") << plate << QPointF(3, 2) << none << grid;
    QTest::newRow("four, noisy arrivals")
        << plate << QPointF(0.2, 0.37) << QList<double>{3, -2, 4, 0} << grid;
    QTest::newRow("three, inside") << triangle << QPointF(0.4, 0.3) << none << QPointF(0.4, 0.3);
    QTest::newRow("three, outside the array") << triangle << QPointF(1.2, 0.5) << none << QPointF(1.2, 0.5);
    QTest::newRow("three, noisy arrivals")
        << triangle << QPointF(0.6, 0.2) << QList<double>{0, 5, -3} << grid;
    // Two exact solutions (by hand, from the quadratic in the distance to sensor 1): the one nearer the
    // sensors' centre (1/3, 1/3) is taken.
    QTest::newRow("two: behind sensor 1")
        << corner << QPointF(-0.47, -0.47) << none << QPointF(0.05083755086088641, 0.05083755086088641);
    QTest::newRow("two: beside sensor 2")
        << corner << QPointF(1.4, -0.15) << none << QPointF(0.9969133343379306, 0.01593177816543495);
}

void TestLocation::planar()
{
    QFETCH(Points, sensors);
    QFETCH(QPointF, source);
    QFETCH(QList<double>, jitter);
    QFETCH(QPointF, exact);
    QList<double> t = arrivals(sensors, source);
    for (int i = 0; i < t.size(); ++i)
        t[i] += jitter[i];
    double residual = -1;
    const QPointF p = locate(sensors, t, residual);
    const QPointF grid = gridSearch(sensors, t), want = std::isnan(exact.x()) ? grid : exact;
    QVERIFY2(
        distance(p, want) <= (std::isnan(exact.x()) ? 1e-3 : 1e-6),
        qPrintable(QStringLiteral("(%1, %2) vs (%3, %4)").arg(p.x()).arg(p.y()).arg(want.x()).arg(want.y())));
    // It fits no worse than the grid's best, and its residual is its RMS misfit.
    QVERIFY(residual <= rms(sensors, t, grid.x(), grid.y()) + 1e-12);
    QVERIFY(std::fabs(residual - rms(sensors, t, p.x(), p.y())) < 1e-12);
}

void TestLocation::aicFormula_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("onset");
    const double q = 5.0 / 256;
    QTest::newRow("step") << QList<int>{0, 0, 0, 0, 9, -9, 9, -9} << q << 4;
    // A first sample alone counts as a step squared / 12, not 0: the onset after the quiet stretch wins.
    QTest::newRow("one-sample stretch") << QList<int>{3, 0, 0, 0, 0, 0, 20, -20, 20, -20} << q << 6;
    QTest::newRow("flat: the first k") << QList<int>{7, 7, 7, 7, 7} << q << 1;
    QTest::newRow("0 V a step: the first k") << QList<int>{0, 0, 9, -9, 9} << 0.0 << 1;
    QTest::newRow("three samples") << QList<int>{0, 0, 50} << q << 1;
    QTest::newRow("two samples: none") << QList<int>{0, 50} << q << -1;
}

void TestLocation::aicFormula()
{
    QFETCH(QList<int>, codes);
    QFETCH(double, scale);
    std::vector<qint8> c(codes.begin(), codes.end());
    QTEST(int(ae::aicOnset(c.data(), qint64(c.size()), scale)), "onset");
}

void TestLocation::aicOnSlowRise_data()
{
    // Divider of 12 MHz, gain code, the burst's start (µs), the end of an earlier burst or -1.
    QTest::addColumn<QList<int>>("p");
    QTest::newRow("2 MHz") << QList<int>{6, 0, 900, -1};
    QTest::newRow("1 MHz, gain 2") << QList<int>{12, 2, 900, -1};
    QTest::newRow("window cut by the record's start") << QList<int>{6, 0, 60, -1};
    QTest::newRow("window cut by the previous hit") << QList<int>{6, 0, 900, 800};
}

// A burst that starts weak (6 steps) and rises over 100 µs to 50 steps, over noise of a step: the
// threshold of 0.3 V (15.4 steps at gain 0) is crossed tens of µs after the onset.
void TestLocation::aicOnSlowRise()
{
    QFETCH(QList<int>, p);
    const int divider = p[0], gain = p[1], onsetUs = p[2], previousUs = p[3];
    TWaveStor rec;
    makeRecord(rec, 1, 4000, divider);
    rec.channelHeader(0)->gainCode = quint16(gain);
    const double P = rec.samplePeriodUs();
    QRandomGenerator noise(7);
    for (int i = 0; i < 4000; ++i) {
        const double t = i * P;
        double v = noise.bounded(3) - 1; // -1, 0, 1
        if (t >= onsetUs)
            v += (6.0 + 44.0 * std::min(1.0, (t - onsetUs) / 100.0)) *
                 std::sin(2 * M_PI * 0.15 * (t - onsetUs) + 0.3);
        if (previousUs > 0 && t > previousUs - 300 && t <= previousUs)
            v += 40.0 * std::sin(2 * M_PI * 0.15 * t); // an earlier burst, ending before this one
        rec.channel(0)->setSample(i, qint8(std::lround(v)));
    }
    const double threshold = 0.3 / (1 << gain);
    const ae::HitSettings hitSettings{threshold, 50, 50, 0};
    std::vector<ae::Hit> hits = ae::detectHits(rec, hitSettings);
    QCOMPARE(hits.size(), std::size_t(previousUs > 0 ? 2 : 1));
    ae::LocationSettings s;
    s.sensors = {{0, 0, 0}};
    s.pick = ae::PickMethod::Threshold;
    const double late = ae::pickArrivals(rec, hits, hitSettings, s).back().arrivalUs - onsetUs;
    QVERIFY2(late >= 20 && late <= 60, qPrintable(QString::number(late)));
    s.pick = ae::PickMethod::Aic;
    const double aic = ae::pickArrivals(rec, hits, hitSettings, s).back().arrivalUs - onsetUs;
    QVERIFY2(std::fabs(aic) <= 2, qPrintable(QString::number(aic)));
}

void TestLocation::events_data()
{
    QTest::addColumn<QList<QList<double>>>("picks"); // channel, arrival µs
    QTest::addColumn<int>("minHits");
    QTest::addColumn<Groups>("groups");
    QTest::addColumn<int>("leftOut");
    using P = QList<QList<double>>;
    // Window 100 µs; channels 0 ... 3 carry sensors.
    QTest::newRow("split by the window")
        << P{{0, 0}, {1, 50}, {2, 120}, {3, 130}} << 2 << Groups{{0, 1}, {2, 3}} << 0;
    QTest::newRow("the window's end joins") << P{{0, 0}, {1, 100}, {2, 100.5}} << 2 << Groups{{0, 1}} << 1;
    QTest::newRow("one hit per channel, its earliest")
        << P{{0, 0}, {1, 10}, {1, 20}, {2, 30}} << 2 << Groups{{0, 1, 3}} << 1;
    QTest::newRow("by arrival, not by channel") << P{{2, 40}, {0, 70}, {1, 5}} << 3 << Groups{{2, 0, 1}} << 0;
    QTest::newRow("no sensor on channel 5") << P{{4, 0}, {0, 10}, {1, 20}} << 2 << Groups{{1, 2}} << 0;
    QTest::newRow("too few for planar")
        << P{{0, 0}, {1, 10}, {2, 500}, {3, 510}, {0, 520}} << 3 << Groups{{2, 3, 4}} << 1;
}

void TestLocation::events()
{
    QFETCH(QList<QList<double>>, picks);
    QFETCH(int, minHits);
    std::vector<ae::Pick> p;
    for (const QList<double>& k : picks) {
        ae::Pick one;
        one.hit.channel = int(k[0]);
        one.arrivalUs = k[1];
        p.push_back(one);
    }
    ae::LocationSettings s = planarSetUp({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    s.eventWindowUs = 100;
    int leftOut = -1;
    Groups got;
    for (const std::vector<int>& g : ae::groupEvents(p, s, minHits, &leftOut))
        got << QList<int>(g.begin(), g.end());
    QTEST(got, "groups");
    QTEST(leftOut, "leftOut");
}

void TestLocation::checks_data()
{
    QTest::addColumn<QList<QList<double>>>("sensors"); // channel, x[, y]
    QTest::addColumn<double>("velocity");
    QTest::addColumn<int>("problem");
    QTest::addColumn<QList<int>>("channels");
    using S = QList<QList<double>>;
    using C = ae::LocationCheck;
    auto row = [](const char* name, const S& sensors, double v, int problem, int a = -1, int b = -1) {
        QTest::newRow(name) << sensors << v << problem << QList<int>{a, b};
    };
    const S plate{{0, 0, 0}, {1, 0.5, 0}, {2, 0.5, 0.5}};
    row("fine", plate, 5000.0, C::Ok);
    row("velocity 0", plate, 0.0, C::BadVelocity);
    row("velocity nan", plate, std::nan(""), C::BadVelocity);
    row("two for planar", S{{0, 0, 0}, {1, 1, 0}}, 5000.0, C::TooFewSensors);
    row("one for linear", S{{0, 0}}, 5000.0, C::TooFewSensors);
    row("channel twice", S{{0, 0, 0}, {2, 1, 0}, {2, 0, 1}}, 5000.0, C::ChannelTwice, 2);
    row("coincident", S{{0, 0, 0}, {1, 0.5, 0.5}, {3, 0.5, 0.5}}, 5000.0, C::CoincidentSensors, 1, 3);
    row("coincident on a line", S{{0, 0.2}, {1, 0.2}}, 5000.0, C::CoincidentSensors, 0, 1);
    row("no period", plate, 5000.0, C::NoPeriod);
    row("channel the record lacks", S{{0, 0, 0}, {1, 0.5, 0}, {4, 0.5, 0.5}}, 5000.0, C::MissingChannel, 4);
}

void TestLocation::checks()
{
    QFETCH(QList<QList<double>>, sensors);
    ae::LocationSettings s;
    QFETCH(double, velocity);
    s.velocityMps = velocity;
    s.planar = sensors[0].size() == 3;
    for (const QList<double>& k : sensors)
        s.sensors.push_back({int(k[0]), k[1], k.value(2)});
    TWaveStor rec;
    makeRecord(rec, 4, 100, QByteArray(QTest::currentDataTag()) == "no period" ? 0 : 12);
    const ae::LocationCheck c = ae::checkRecord(s, rec);
    QTEST(int(c.problem), "problem");
    QTEST((QList<int>{c.a, c.b}), "channels");
    // Nothing is located then, and nothing comes out that is not a number.
    const ae::LocationResult r = ae::locateRecord(rec, ae::HitSettings(), s);
    QCOMPARE(int(r.check.problem), int(c.problem));
}

// The emulated unit at 250 kHz: every source loud enough for three sensors and 5 ms from others is
// located within a sample's travel (2 cm); every event lies that near the last source before it if alone.
void TestLocation::demoSourcesFound()
{
    ae::LocationSettings s;
    for (int ch = 0; ch < 4; ++ch)
        s.sensors.push_back({ch, k4SensorX(ch), k4SensorY(ch)});
    int found = 0;
    for (quint32 seed = 1; seed <= 8; ++seed) {
        K4Setup setup;
        setup.waitCount = 11;
        const int n = 131068;
        TWaveStor rec;
        makeRecord(rec, 4, n, 48);
        for (int ch = 0; ch < 4; ++ch) {
            const QByteArray b = k4ChannelBytes(setup, seed, ch, n);
            for (int i = 0; i < n; ++i)
                rec.channel(ch)->setSample(i, qint8(b[i]));
        }
        const double P = rec.samplePeriodUs();
        QCOMPARE(P, 4.0);
        const std::vector<K4Source> q = k4Sources(setup, seed, n * P * 1e-6);
        const ae::LocationResult r = ae::locateRecord(rec, ae::HitSettings(), s); // 0.1 V: 5.12 steps
        auto near = [&](std::size_t k, const ae::LocatedEvent& e) {
            const double t = q[k].timeS * 1e6;
            return distance({q[k].x, q[k].y}, {e.x, e.y}) <= V * P * 1e-6 && e.timeUs >= t - 2 * P &&
                   e.timeUs <= t + 0.75 / V * 1e6;
        };
        auto alone = [&](std::size_t k) {
            return (k == 0 || q[k].timeS - q[k - 1].timeS > 0.005) &&
                   (k + 1 == q.size() || q[k + 1].timeS - q[k].timeS > 0.005);
        };
        const QString at = QStringLiteral("seed %1, event or source at %2 µs");
        for (const ae::LocatedEvent& e : r.events) {
            const auto after = std::find_if(
                q.begin(), q.end(), [&](const K4Source& k) { return k.timeS * 1e6 > e.timeUs + 2 * P; });
            const std::size_t k = std::size_t(after - q.begin()) - 1;
            QVERIFY2(after != q.begin() && (!alone(k) || near(k, e)), qPrintable(at.arg(seed).arg(e.timeUs)));
        }
        for (std::size_t k = 0; k < q.size(); ++k) {
            std::vector<double> reach; // the burst's amplitude at each sensor, weakest sensitivity
            for (int ch = 0; ch < 4; ++ch)
                reach.push_back(0.8 * q[k].amplitude *
                                k4Attenuation(std::hypot(q[k].x - k4SensorX(ch), q[k].y - k4SensorY(ch))));
            std::sort(reach.rbegin(), reach.rend());
            if (!alone(k) || reach[2] < 2 * 5.12 || q[k].timeS * 1e6 > n * P - 2000)
                continue;
            QVERIFY2(std::any_of(r.events.begin(), r.events.end(),
                                 [&](const ae::LocatedEvent& e) { return near(k, e); }),
                     qPrintable(at.arg(seed).arg(q[k].timeS * 1e6)));
            ++found;
        }
    }
    QVERIFY2(found >= 35, qPrintable(QString::number(found)));
}

void TestLocation::csv()
{
    QCOMPARE(ae::locationCsvHeader(), QStringLiteral("file,event,time_us,x_m,y_m,residual_m,channels"));
    ae::LocatedEvent planar{1234.56789, 0.123456, -0.0004, 0.00126, 0.5, {}, {3, 0, 1}};
    ae::LocatedEvent linear{7.5, 2, std::nan(""), 0, 0.1, {}, {1, 4}};
    QByteArray out;
    ae::appendLocationCsv(out, QStringLiteral("a,b.raw"), {planar, linear});
    QCOMPARE(out, QByteArray("\"a,b.raw\",1,1234.568,0.1235,-0.0004,0.0013,4 1 2\n"
                             "\"a,b.raw\",2,7.500,2.0000,,0.0000,2 5\n"));
}

void TestLocation::iniBounds_data()
{
    QTest::addColumn<QByteArray>("lines"); // of the group AE_LOCATION, then of AE_HITS
    // Velocity, pick (1: AIC), AIC and event windows, channel 1 used, X of 2, Y of 3, threshold (V), PDT,
    // HDT, HLT (µs); the defaults: 5000 m/s, AIC, 200 µs, auto, the plate, 0.1 V, 200, 800, 1000 µs.
    QTest::addColumn<QString>("read");
    const QString defaults = QStringLiteral("5000 1 200 0 1 0.5 0.5 0.1 200 800 1000");
    QTest::newRow("edges") << QByteArray("Velocity=1e6\nPick=threshold\nAicWindow=1\nEventWindow=1000000\n"
                                         "Sensor1=0\nX2=-10000\nY3=\n[AE_HITS]\nThresholdUV=10000000")
                           << "1e+06 0 1 1e+06 0 -10000 nan 10 200 800 1000";
    QTest::newRow("beyond") << QByteArray("Velocity=1000001\nAicWindow=100001\nEventWindow=-1\nX2=10001\n"
                                          "Y3=nan\n[AE_HITS]\nThresholdUV=10000001\nPDT=-1\nHDT=1000001")
                            << defaults;
    QTest::newRow("garbage") << QByteArray("Velocity=fast\nPick=energy\nSensor1=2\nX2=abc\n[AE_HITS]\nHLT=x")
                             << defaults;
    QTest::newRow("zeros") << QByteArray("Velocity=0\nAicWindow=0\n[AE_HITS]") << defaults;
}

void TestLocation::iniBounds()
{
    QFETCH(QByteArray, lines);
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("adc.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[AE_LOCATION]\n" + lines + "\n"));
    f.close();
    ProgramSettings s;
    s.location.velocityMps = 1; // everything read replaces it
    s.hits = ae::HitSettings{1, 2, 3, 4};
    readSettings(f.fileName(), s);
    const ae::LocationSetup& l = s.location;
    QStringList got;
    for (double v : {l.velocityMps, double(l.pick == ae::PickMethod::Aic), l.aicWindowUs, l.eventWindowUs,
                     double(l.channels[0].used), l.channels[1].x, l.channels[2].y, s.hits.thresholdV,
                     s.hits.pdtUs, s.hits.hdtUs, s.hits.hltUs})
        got << QString::number(v);
    QTEST(got.join(' '), "read");
}

QTEST_GUILESS_MAIN(TestLocation)
#include "tst_location.moc"
