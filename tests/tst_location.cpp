// Acoustic-emission source location: linear and planar solutions worked out by hand or by an
// exhaustive 1-mm grid search in the test, the two-solution case, AIC onsets on slow rises, the
// grouping of hits into events, the checks of a set-up, and the emulated unit's plate sources found
// again from its recording.

#include "ae/location.h"
#include "k4demo.h"
#include "settings.h"
#include "wave_stor.h"

#include <QtTest>

#include <cmath>

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

// The located point of the planar set-up for arrivals t at sensors 0, 1, ... (in arrival order).
QPointF locate(const Points& sensors, const QList<double>& t, double* residual = nullptr)
{
    QList<int> order;
    for (int i = 0; i < t.size(); ++i)
        order << i;
    std::sort(order.begin(), order.end(), [&](int a, int b) { return t[a] < t[b]; });
    std::vector<int> idx;
    std::vector<double> at;
    for (int i : order)
        idx.push_back(i), at.push_back(t[i]);
    const ae::PlanarLocator locator(planarSetUp(sensors).sensors, V);
    double x, y, r;
    locator.locate(idx.data(), at.data(), int(idx.size()), x, y, r);
    if (residual)
        *residual = r;
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
    void twoSolutions_data();
    void twoSolutions();
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
    QTest::addColumn<bool>("exact");           // the source itself is the answer
    const Points plate{{0, 0}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}};
    const Points triangle{{0, 0}, {1, 0}, {0.3, 0.8}};
    const QList<double> none{0, 0, 0, 0};
    QTest::newRow("four, inside") << plate << QPointF(0.31, 0.12) << none << true;
    QTest::newRow("four, outside the array") << plate << QPointF(0.62, -0.17) << none << true;
    QTest::newRow("four, beyond the box") << plate << QPointF(3, 2) << none << false;
    QTest::newRow("four, noisy arrivals")
        << plate << QPointF(0.2, 0.37) << QList<double>{3, -2, 4, 0} << false;
    QTest::newRow("three, inside") << triangle << QPointF(0.4, 0.3) << none << true;
    QTest::newRow("three, outside the array") << triangle << QPointF(1.2, 0.5) << none << true;
    QTest::newRow("three, noisy arrivals")
        << triangle << QPointF(0.6, 0.2) << QList<double>{0, 5, -3} << false;
}

void TestLocation::planar()
{
    QFETCH(Points, sensors);
    QFETCH(QPointF, source);
    QFETCH(QList<double>, jitter);
    QList<double> t = arrivals(sensors, source);
    for (int i = 0; i < t.size(); ++i)
        t[i] += jitter[i];
    double residual = -1;
    const QPointF p = locate(sensors, t, &residual);
    const QPointF grid = gridSearch(sensors, t);
    QVERIFY2(
        distance(p, grid) <= 1e-3,
        qPrintable(
            QStringLiteral("(%1, %2) vs grid (%3, %4)").arg(p.x()).arg(p.y()).arg(grid.x()).arg(grid.y())));
    // The located point fits no worse than the grid's best, and its residual is its RMS misfit.
    QVERIFY(residual <= rms(sensors, t, grid.x(), grid.y()) + 1e-12);
    QVERIFY(std::fabs(residual - rms(sensors, t, p.x(), p.y())) < 1e-12);
    QFETCH(bool, exact);
    if (exact) {
        QVERIFY(distance(p, source) < 1e-6);
        QVERIFY(residual < 1e-9);
    }
}

void TestLocation::twoSolutions_data()
{
    QTest::addColumn<QPointF>("source");
    QTest::addColumn<QPointF>("other"); // the second exact solution, nearer the sensors' centre
    // Solved from the arrival differences by the quadratic in the distance to sensor 1.
    QTest::newRow("behind sensor 1") << QPointF(-0.47, -0.47)
                                     << QPointF(0.05083755086088641, 0.05083755086088641);
    QTest::newRow("beside sensor 2") << QPointF(1.4, -0.15)
                                     << QPointF(0.9969133343379306, 0.01593177816543495);
}

void TestLocation::twoSolutions()
{
    QFETCH(QPointF, source);
    QFETCH(QPointF, other);
    const Points sensors{{0, 0}, {1, 0}, {0, 1}};
    const QList<double> t = arrivals(sensors, source);
    // Both fit exactly; the one nearer the centre (1/3, 1/3) is taken.
    QVERIFY(rms(sensors, t, other.x(), other.y()) < 1e-9 && distance(source, other) > 0.3);
    QVERIFY(distance(other, {1 / 3.0, 1 / 3.0}) < distance(source, {1 / 3.0, 1 / 3.0}));
    double residual = -1;
    const QPointF p = locate(sensors, t, &residual);
    QVERIFY2(distance(p, other) < 1e-6, qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
    QVERIFY(residual < 1e-9);
}

void TestLocation::aicFormula_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("onset");
    const double q = 5.0 / 256;
    QTest::newRow("step") << QList<int>{0, 0, 0, 0, 9, -9, 9, -9} << q << 4;
    // Its first sample alone has no variance; it counts as a step squared / 12, not as 0, so the
    // onset after the quiet stretch wins.
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
    QTest::addColumn<int>("divider");    // of a 12 MHz clock
    QTest::addColumn<int>("gain");       // gain code
    QTest::addColumn<int>("onsetUs");    // the burst's start
    QTest::addColumn<int>("previousUs"); // the end of an earlier burst, or -1
    QTest::newRow("2 MHz") << 6 << 0 << 900 << -1;
    QTest::newRow("1 MHz, gain 2") << 12 << 2 << 900 << -1;
    QTest::newRow("window cut by the record's start") << 6 << 0 << 60 << -1;
    QTest::newRow("window cut by the previous hit") << 6 << 0 << 900 << 800;
}

// A burst that starts weak (6 steps) and rises over 100 µs to 50 steps, over noise of a step: the
// threshold of 0.3 V (15.4 steps at gain 0) is crossed tens of µs after the onset.
void TestLocation::aicOnSlowRise()
{
    QFETCH(int, divider);
    QFETCH(int, gain);
    QFETCH(int, onsetUs);
    QFETCH(int, previousUs);
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
    const S plate{{0, 0, 0}, {1, 0.5, 0}, {2, 0.5, 0.5}};
    QTest::newRow("fine") << plate << 5000.0 << int(ae::LocationCheck::Ok) << QList<int>{-1, -1};
    QTest::newRow("velocity 0") << plate << 0.0 << int(ae::LocationCheck::BadVelocity) << QList<int>{-1, -1};
    QTest::newRow("velocity nan") << plate << std::nan("") << int(ae::LocationCheck::BadVelocity)
                                  << QList<int>{-1, -1};
    QTest::newRow("two for planar") << S{{0, 0, 0}, {1, 1, 0}} << 5000.0
                                    << int(ae::LocationCheck::TooFewSensors) << QList<int>{-1, -1};
    QTest::newRow("one for linear") << S{{0, 0}} << 5000.0 << int(ae::LocationCheck::TooFewSensors)
                                    << QList<int>{-1, -1};
    QTest::newRow("channel twice") << S{{0, 0, 0}, {2, 1, 0}, {2, 0, 1}} << 5000.0
                                   << int(ae::LocationCheck::ChannelTwice) << QList<int>{2, -1};
    QTest::newRow("coincident") << S{{0, 0, 0}, {1, 0.5, 0.5}, {3, 0.5, 0.5}} << 5000.0
                                << int(ae::LocationCheck::CoincidentSensors) << QList<int>{1, 3};
    QTest::newRow("coincident on a line")
        << S{{0, 0.2}, {1, 0.2}} << 5000.0 << int(ae::LocationCheck::CoincidentSensors) << QList<int>{0, 1};
    QTest::newRow("no period") << plate << 5000.0 << int(ae::LocationCheck::NoPeriod) << QList<int>{-1, -1};
    QTest::newRow("channel the record lacks") << S{{0, 0, 0}, {1, 0.5, 0}, {4, 0.5, 0.5}} << 5000.0
                                              << int(ae::LocationCheck::MissingChannel) << QList<int>{4, -1};
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

// The recording of the emulated unit at the sampling rate of the README's set-up (250 kHz): every
// source loud enough for three sensors is located within one sample's travel (4 µs x 5000 m/s =
// 2 cm), and every located event lies that near the source the unit drew then.
void TestLocation::demoSourcesFound()
{
    ae::LocationSettings s;
    for (int ch = 0; ch < 4; ++ch)
        s.sensors.push_back({ch, k4SensorX(ch), k4SensorY(ch)});
    const ae::HitSettings hits; // 0.1 V: 5.12 steps at gain 1
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
        const double P = rec.samplePeriodUs(), travel = V * P * 1e-6;
        QCOMPARE(P, 4.0);
        const std::vector<K4Source> sources = k4Sources(setup, seed, n * P * 1e-6);
        const ae::LocationResult r = ae::locateRecord(rec, hits, s);
        auto near = [&](const K4Source& q, const ae::LocatedEvent& e) {
            return distance({q.x, q.y}, {e.x, e.y}) <= travel && e.timeUs >= q.timeS * 1e6 - 2 * P &&
                   e.timeUs <= q.timeS * 1e6 + 0.75 / V * 1e6;
        };
        // Bursts that come too close together to be told apart (within 5 ms) are left aside.
        std::vector<bool> alone(sources.size());
        for (std::size_t k = 0; k < sources.size(); ++k)
            alone[k] = (k == 0 || sources[k].timeS - sources[k - 1].timeS > 0.005) &&
                       (k + 1 == sources.size() || sources[k + 1].timeS - sources[k].timeS > 0.005);
        // An event belongs to the last source before it; that one must be near unless it came
        // within 5 ms of another.
        for (const ae::LocatedEvent& e : r.events) {
            const auto after = std::find_if(sources.begin(), sources.end(), [&](const K4Source& q) {
                return q.timeS * 1e6 > e.timeUs + 2 * P;
            });
            QVERIFY2(after != sources.begin(),
                     qPrintable(QStringLiteral("seed %1: event at %2 µs").arg(seed).arg(e.timeUs)));
            const std::size_t k = std::size_t(after - sources.begin()) - 1;
            QVERIFY2(!alone[k] || near(sources[k], e),
                     qPrintable(QStringLiteral("seed %1: event at %2 µs (%3, %4), source (%5, %6)")
                                    .arg(seed)
                                    .arg(e.timeUs)
                                    .arg(e.x)
                                    .arg(e.y)
                                    .arg(sources[k].x)
                                    .arg(sources[k].y)));
        }
        for (std::size_t k = 0; k < sources.size(); ++k) {
            const K4Source& q = sources[k];
            std::vector<double> reach; // the burst's amplitude at each sensor, weakest sensitivity
            for (int ch = 0; ch < 4; ++ch)
                reach.push_back(0.8 * q.amplitude *
                                k4Attenuation(std::hypot(q.x - k4SensorX(ch), q.y - k4SensorY(ch))));
            std::sort(reach.rbegin(), reach.rend());
            if (!alone[k] || reach[2] < 2 * 5.12 || q.timeS * 1e6 > n * P - 2000)
                continue;
            QVERIFY2(std::any_of(r.events.begin(), r.events.end(),
                                 [&](const ae::LocatedEvent& e) { return near(q, e); }),
                     qPrintable(QStringLiteral("seed %1: source at %2 µs (%3, %4)")
                                    .arg(seed)
                                    .arg(q.timeS * 1e6)
                                    .arg(q.x)
                                    .arg(q.y)));
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
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("expected"); // the defaults: 5000 m/s, AIC, 200 µs, auto, the plate
    QTest::newRow("velocity 1e6") << QByteArray("Velocity=1e6") << "velocity" << 1e6;
    QTest::newRow("velocity above 1e6") << QByteArray("Velocity=1000001") << "velocity" << 5000.0;
    QTest::newRow("velocity 0") << QByteArray("Velocity=0") << "velocity" << 5000.0;
    QTest::newRow("velocity text") << QByteArray("Velocity=fast") << "velocity" << 5000.0;
    QTest::newRow("pick threshold") << QByteArray("Pick=threshold") << "pick" << 0.0;
    QTest::newRow("pick unknown") << QByteArray("Pick=energy") << "pick" << 1.0;
    QTest::newRow("AIC window 1") << QByteArray("AicWindow=1") << "aic" << 1.0;
    QTest::newRow("AIC window 0") << QByteArray("AicWindow=0") << "aic" << 200.0;
    QTest::newRow("AIC window above") << QByteArray("AicWindow=100001") << "aic" << 200.0;
    QTest::newRow("event window 1000000") << QByteArray("EventWindow=1000000") << "event" << 1e6;
    QTest::newRow("event window -1") << QByteArray("EventWindow=-1") << "event" << 0.0;
    QTest::newRow("sensor 2") << QByteArray("Sensor1=2") << "used1" << 1.0;
    QTest::newRow("sensor 0") << QByteArray("Sensor1=0") << "used1" << 0.0;
    QTest::newRow("X text") << QByteArray("X2=abc") << "x2" << 0.5;
    QTest::newRow("X beyond 10 km") << QByteArray("X2=10001") << "x2" << 0.5;
    QTest::newRow("X -10 km") << QByteArray("X2=-10000") << "x2" << -1e4;
    QTest::newRow("Y empty: none") << QByteArray("Y3=") << "y3" << std::nan("");
    QTest::newRow("Y nan") << QByteArray("Y3=nan") << "y3" << 0.5;
}

void TestLocation::iniBounds()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("adc.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[AE_LOCATION]\n" + line + "\n"));
    f.close();
    ProgramSettings s;
    s.location.velocityMps = 1; // everything read replaces it
    readSettings(f.fileName(), s);
    const ae::LocationSetup& l = s.location;
    const QMap<QString, double> got{
        {"velocity", l.velocityMps}, {"pick", double(l.pick == ae::PickMethod::Aic)}, {"aic", l.aicWindowUs},
        {"event", l.eventWindowUs},  {"used1", double(l.channels[0].used)},           {"x2", l.channels[1].x},
        {"y3", l.channels[2].y}};
    QFETCH(double, expected);
    QVERIFY(got.contains(field));
    if (std::isnan(expected))
        QVERIFY(std::isnan(got[field]));
    else
        QCOMPARE(got[field], expected);
}

QTEST_GUILESS_MAIN(TestLocation)
#include "tst_location.moc"
