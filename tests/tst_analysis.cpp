// The analysis plots' data: the hits of a record on a relative and an absolute time axis, the
// cumulative curves, the axes' ranges, and the thinning of points to the cells of a plot.

#include "ae/analysis.h"

#include <QtTest>

#include <cmath>

using Points = QList<QList<double>>; // x, y, hit

namespace {

ae::PlotPoints points(const Points& p)
{
    ae::PlotPoints out;
    for (const QList<double>& q : p)
        out.push_back({q[0], q[1], int(q[2])});
    return out;
}

Points listed(const ae::PlotPoints& p)
{
    Points out;
    for (const ae::PlotPoint& q : p)
        out << QList<double>{q.x, q.y, double(q.hit)};
    return out;
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT
private slots:
    void hitsOfARecord();
    void ranges_data();
    void ranges();
    void thinning_data();
    void thinning();
};

void TestAnalysis::hitsOfARecord()
{
    // Channel, first, peak, last, peak V, counts, to peak, sum of V²; 2 µs a sample.
    std::vector<ae::Hit> hits{{1, 500, 510, 600, 0.5, 8, 2, 4.0}, {0, 1000, 1000, 1000, 0.25, 1, 1, 1.0},
                              {1, 200, 250, 260, 0.1, 3, 1, 2.0}};
    const qint64 start = 1'800'000'000'000'000;
    std::vector<ae::AnalysisHit> rel = ae::analysisHits(hits, 2.0, 4, start, false);
    std::vector<ae::AnalysisHit> abs = ae::analysisHits(hits, 2.0, 4, start, true);
    QCOMPARE((QList<double>{rel[0].timeMs, abs[0].timeMs, rel[0].durationUs, rel[0].energyV2s * 1e6,
                            rel[0].avgFreqKHz, rel[0].raMsPerV, double(rel[0].channel), double(rel[0].record)}),
             (QList<double>{1.0, 1'800'000'000'001.0, 200, 8.0, 40, 0.04, 2, 4}));
    // One sample: no average frequency; without a start no absolute time, without a period none.
    QVERIFY(std::isnan(rel[1].avgFreqKHz) && rel[1].durationUs == 0);
    QVERIFY(std::isnan(ae::analysisHits(hits, 2.0, 0, std::nullopt, true)[0].timeMs));
    QVERIFY(std::isnan(ae::analysisHits(hits, 0.0, 0, start, false)[0].timeMs));

    // In time order: the cumulative curves of channel 2 count 1, 2 and add the energies.
    ae::sortByTime(rel);
    QCOMPARE((QList<qint64>{rel[0].first, rel[1].first, rel[2].first}), (QList<qint64>{200, 500, 1000}));
    const ae::Cumulative c = ae::cumulative(rel, 2);
    QCOMPARE(listed(c.hits), (Points{{0.4, 1, 0}, {1.0, 2, 1}}));
    QCOMPARE(listed(c.energy), (Points{{0.4, 4e-6, 0}, {1.0, 12e-6, 1}}));
    // The one-sample hit has no duration for the logarithmic axis.
    QCOMPARE(ae::durationPoints(rel, 1).size(), std::size_t(0));
    QCOMPARE(listed(ae::frequencyPoints(rel, 2)), (Points{{1.0, 3000.0 / 120, 0}, {0.04, 40, 1}}));
    // An unknown energy ends the energy curve there; the hits go on.
    rel[1].energyV2s = ae::NoValue;
    QCOMPARE((QList<std::size_t>{ae::cumulative(rel, 2).hits.size(), ae::cumulative(rel, 2).energy.size()}),
             (QList<std::size_t>{2, 1}));
}

void TestAnalysis::ranges_data()
{
    QTest::addColumn<Points>("p");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<QList<double>>("range");
    QTest::newRow("4 % on each side") << Points{{10, 0, 0}, {60, 0, 0}} << false << QList<double>{8, 62};
    QTest::newRow("kept at 0") << Points{{1, 0, 0}, {51, 0, 0}} << false << QList<double>{0, 53};
    QTest::newRow("below 0") << Points{{-10, 0, 0}, {40, 0, 0}} << false << QList<double>{-12, 42};
    QTest::newRow("one value") << Points{{20, 0, 0}} << false << QList<double>{19, 21};
    QTest::newRow("decades") << Points{{3, 0, 0}, {0, 0, 0}, {250, 0, 0}} << true << QList<double>{1, 1000};
    QTest::newRow("a power of ten") << Points{{100, 0, 0}} << true << QList<double>{100, 1000};
    QTest::newRow("none") << Points{{-1, 0, 0}} << true << QList<double>{7, 9};
}

void TestAnalysis::ranges()
{
    QFETCH(Points, p);
    QFETCH(bool, logarithmic);
    QFETCH(QList<double>, range);
    const ae::PlotPoints pts = points(p);
    const ae::AxisRange r = ae::axisRange({&pts}, false, logarithmic, {7, 9});
    QCOMPARE((QList<double>{r.low, r.high}), range);
}

void TestAnalysis::thinning_data()
{
    // A plot of 10 × 10 pixels over x and y 0 … 10 (x 1 … 100 when logarithmic).
    QTest::addColumn<Points>("p");
    QTest::addColumn<bool>("logX");
    QTest::addColumn<bool>("curve");
    QTest::addColumn<QList<int>>("kept"); // the hits kept
    // Cells of 2 px: (0.5, 0.5) and (1.9, 1.2) share the first; 2.1 starts the next column.
    QTest::newRow("first of a cell")
        << Points{{0.5, 0.5, 0}, {1.9, 1.2, 1}, {2.1, 0.5, 2}, {0.2, 9.9, 3}, {0.1, 0.1, 4}} << false << false
        << QList<int>{0, 2, 3};
    QTest::newRow("outside left out") << Points{{-0.1, 5, 0}, {5, 10.1, 1}, {10, 10, 2}} << false << false
                                      << QList<int>{2};
    // 10 and 11 lie at pixel 5 of 1 … 100 (log10 11 = 1.04), 16 at pixel 6 (1.20): the next cell.
    QTest::newRow("logarithmic x") << Points{{10, 5, 0}, {11, 5, 1}, {16, 5, 2}} << true << false
                                   << QList<int>{0, 2};
    // A curve: the first and the last of every pixel column.
    QTest::newRow("curve") << Points{{0.1, 1, 0}, {0.5, 2, 1}, {0.7, 3, 2}, {0.9, 4, 3}, {3.5, 5, 4}, {9.9, 6, 5}}
                           << false << true << QList<int>{0, 3, 4, 5};
}

void TestAnalysis::thinning()
{
    QFETCH(Points, p);
    QFETCH(bool, logX);
    QFETCH(bool, curve);
    QFETCH(QList<int>, kept);
    ae::PlotFrame frame;
    frame.x = logX ? ae::AxisRange{1, 100} : ae::AxisRange{0, 10};
    frame.y = {0, 10};
    frame.logX = logX;
    frame.width = frame.height = 10;
    const ae::PlotPoints pts = points(p);
    QList<int> got;
    for (const ae::PlotPoint& q : curve ? ae::thinCurve(pts, frame) : ae::thinScatter(pts, frame, 2))
        got << q.hit;
    QCOMPARE(got, kept);
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
