// The analysis plots' data (times, cumulative curves, axes' ranges, thinning); the window on a known
// list of hits (what each plot draws, ticks, points under the mouse, exports); a series' plots.

#include "ae/analysis.h"
#include "ae/analysis_window.h"
#include "series/series_table.h"
#include "settings.h"
#include "uidriver.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <QCheckBox>
#include <QGraphicsSimpleTextItem>
#include <QPushButton>
#include <QSvgRenderer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QXYSeries>
#include <QtTest>

#include <cmath>

using Points = QList<QList<double>>; // x, y, hit
Q_DECLARE_METATYPE(ae::AnalysisHit)

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
    void windowPlots();
    void seriesPlots();
};

void TestAnalysis::hitsOfARecord()
{
    // Channel, first, peak, last, peak V, counts, to peak, sum of V²; 2 µs a sample.
    std::vector<ae::Hit> hits{{1, 500, 510, 600, 0.5, 8, 2, 4.0},
                              {0, 1000, 1000, 1000, 0.25, 1, 1, 1.0},
                              {1, 200, 250, 260, 0.1, 3, 1, 2.0}};
    const qint64 start = 1'800'000'000'000'000;
    std::vector<ae::AnalysisHit> rel = ae::analysisHits(hits, 2.0, 4, start, false);
    std::vector<ae::AnalysisHit> abs = ae::analysisHits(hits, 2.0, 4, start, true);
    QCOMPARE(
        (QList<double>{rel[0].timeMs, abs[0].timeMs, rel[0].durationUs, rel[0].energyV2s * 1e6,
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
    QTest::addColumn<QList<double>>("x"); // of the points
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<QList<double>>("range"); // 7 ... 9: the fallback
    QTest::newRow("4 % on each side") << QList<double>{10, 60} << false << QList<double>{8, 62};
    QTest::newRow("kept at 0") << QList<double>{1, 51} << false << QList<double>{0, 53};
    QTest::newRow("below 0") << QList<double>{-10, 40} << false << QList<double>{-12, 42};
    QTest::newRow("one value") << QList<double>{20} << false << QList<double>{19, 21};
    QTest::newRow("decades") << QList<double>{3, 0, 250} << true << QList<double>{1, 1000};
    QTest::newRow("a power of ten") << QList<double>{100} << true << QList<double>{100, 1000};
    QTest::newRow("none") << QList<double>{-1} << true << QList<double>{7, 9};
}

void TestAnalysis::ranges()
{
    QFETCH(QList<double>, x);
    QFETCH(bool, logarithmic);
    ae::PlotPoints pts;
    for (double v : x)
        pts.push_back({v, 0, 0});
    const ae::AxisRange r = ae::axisRange({&pts}, false, logarithmic, {7, 9});
    QTEST((QList<double>{r.low, r.high}), "range");
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
    QTest::newRow("outside left out")
        << Points{{-0.1, 5, 0}, {5, 10.1, 1}, {10, 10, 2}} << false << false << QList<int>{2};
    // 10 and 11 lie at pixel 5 of 1 … 100 (log10 11 = 1.04), 16 at pixel 6 (1.20): the next cell.
    QTest::newRow("logarithmic x") << Points{{10, 5, 0}, {11, 5, 1}, {16, 5, 2}} << true << false
                                   << QList<int>{0, 2};
    // A curve: the first and the last of every pixel column.
    QTest::newRow("curve") << Points{{0.1, 1, 0}, {0.5, 2, 1}, {0.7, 3, 2},
                                     {0.9, 4, 3}, {3.5, 5, 4}, {9.9, 6, 5}}
                           << false << true << QList<int>{0, 3, 4, 5};
}

void TestAnalysis::thinning()
{
    QFETCH(Points, p);
    QFETCH(bool, logX);
    QFETCH(bool, curve);
    ae::PlotFrame frame;
    frame.x = logX ? ae::AxisRange{1, 100} : ae::AxisRange{0, 10};
    frame.y = {0, 10};
    frame.logX = logX;
    frame.width = frame.height = 10;
    const ae::PlotPoints pts = points(p);
    QList<int> got;
    for (const ae::PlotPoint& q : curve ? ae::thinCurve(pts, frame) : ae::thinScatter(pts, frame, 2))
        got << q.hit;
    QTEST(got, "kept");
}

namespace {

// Channel 1: twelve hits 2 ms apart, 60 (2), 61 (5), 62 (5) dB (a b-value), durations doubling
// from 20 µs, the first of one sample (no duration, frequency or RA); channel 3: three hits.
ae::AnalysisSource knownHits()
{
    ae::AnalysisSource s;
    s.title = QStringLiteral("known.raw");
    s.records << QStringLiteral("/data/known.raw");
    for (int i = 0; i < 15; ++i) {
        ae::AnalysisHit h;
        h.channel = i < 12 ? 1 : 3;
        h.first = 100 + 500 * i;
        h.timeMs = 1 + 2.0 * i;
        h.peakDb = i < 12 ? (i < 2 ? 60.2 : i < 7 ? 61.5 : 62.9) : 70.0 + i;
        h.energyV2s = std::ldexp(i + 1, -20);
        h.durationUs = i == 0 ? 0.0 : i < 12 ? 10.0 * (1 << i) : 5.0 + i;
        if (h.durationUs > 0) {
            h.avgFreqKHz = 100.0 + 20 * i;
            h.raMsPerV = 0.01 * i;
        }
        s.hits.push_back(h);
    }
    return s;
}

// How many points each series of a plot has, per channel in the legend's order.
QList<qsizetype> seriesCounts(TAnalysisWindow& w, TAnalysisWindow::Plot p)
{
    QList<qsizetype> n;
    for (QAbstractSeries* s : w.chartView(p)->chart()->series())
        n << static_cast<QXYSeries*>(s)->count();
    return n;
}

QString plotMessage(TAnalysisWindow& w, TAnalysisWindow::Plot p)
{
    for (QGraphicsItem* i : w.chartView(p)->chart()->childItems())
        if (auto* t = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(i); t && t->isVisible())
            return t->text();
    return QString();
}

} // namespace

void TestAnalysis::windowPlots()
{
    QWidget main;
    QObject owner;
    TAnalysisWindow* w = TAnalysisWindow::showFor(&main, &owner, knownHits());
    QVERIFY(w && QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->windowTitle(), QStringLiteral("Анализ АЭ — known.raw"));
    QCOMPARE(w->tickedChannels(), (QList<int>{1, 3}));
    using W = TAnalysisWindow;
    // Cumulative: hits and energy per channel; amplitudes: 3 levels × 4 corners, 3 N(≥A) points,
    // the fit's 2 ends (none for three hits); durations and frequencies without the one-sample hit.
    QCOMPARE(seriesCounts(*w, W::CumulativePlot), (QList<qsizetype>{12, 12, 3, 3}));
    QCOMPARE(seriesCounts(*w, W::AmplitudePlot), (QList<qsizetype>{12, 3, 2, 12, 3}));
    QCOMPARE(seriesCounts(*w, W::DurationPlot), (QList<qsizetype>{11, 3}));
    QCOMPARE(seriesCounts(*w, W::FrequencyPlot), (QList<qsizetype>{11, 3}));
    QVERIFY(
        w->chartView(W::AmplitudePlot)->chart()->series()[1]->name().startsWith(QStringLiteral("К1: b = ")));
    QCOMPARE(w->chartView(W::AmplitudePlot)->chart()->series()[4]->name(), QStringLiteral("К3: b —"));
    // N(≥A) of channel 1 at 60, 61, 62 dB; its energy on the right-hand axis.
    QCOMPARE(listed(*w->drawnPoints(W::AmplitudePlot, 1, 1)),
             (Points{{60, 12, -1}, {61, 10, -1}, {62, 5, -1}}));
    QCOMPARE(w->chartView(W::CumulativePlot)->chart()->series()[1]->attachedAxes().last()->alignment(),
             Qt::AlignRight);
    QCOMPARE(w->summaryCsv(), QByteArray("file,channel,hits,energy_v2s,peak_db_max,b_value\n"
                                         "known.raw,1,12,7.43865966796875e-05,62.90,") +
                                  QByteArray::number(*ae::bValue({60.2, 60.2, 61.5, 61.5, 61.5, 61.5, 61.5,
                                                                  62.9, 62.9, 62.9, 62.9, 62.9}),
                                                     'f', 3) +
                                  "\nknown.raw,3,3,4.00543212890625e-05,84.00,\n");

    // The fourth duration point of channel 1 (hit 4: 160 µs, 61.5 dB): colour, tooltip, double click.
    QChartView* view = w->chartView(W::DurationPlot);
    const ae::PlotPoint q = w->drawnPoints(W::DurationPlot, 1)->at(3);
    QCOMPARE((QList<double>{q.x, q.y, double(q.hit)}), (QList<double>{61.5, 160, 4}));
    const QPoint at = view->mapFromScene(view->chart()->mapToScene(
        view->chart()->mapToPosition(QPointF(q.x, q.y), view->chart()->series()[0])));
    const QImage shot = view->grab().toImage();
    bool red = false;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            red = red || shot.pixelColor(at + QPoint(dx, dy)) == g_traceColours[0];
    QVERIFY(red);
    QCOMPARE(w->hitAt(W::DurationPlot, at + QPoint(3, 2)), 4);
    QCOMPARE(w->hitAt(W::DurationPlot, at + QPoint(12, 0)), -1);
    QVERIFY(w->hitText(4).contains(
        QStringLiteral("known.raw, канал 1\nПриход: 9000.000 мкс\nАмплитуда: 61.50 дБ")));
    QSignalSpy activated(w, &TAnalysisWindow::hitActivated);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated[0][0].value<ae::AnalysisHit>().first, qint64(2100));

    // Channel 3 unticked from the keyboard: its series go; ticked again, they come back.
    QCheckBox* box = w->channelBox(3);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(w->tickedChannels(), QList<int>{1});
    QCOMPARE(seriesCounts(*w, W::DurationPlot), QList<qsizetype>{11});
    QVERIFY(!w->summaryCsv().contains("known.raw,3"));
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(seriesCounts(*w, W::FrequencyPlot), (QList<qsizetype>{11, 3}));

    // Hits of a record that came later: added to the curves, the ticks kept.
    box->setChecked(false);
    std::vector<ae::AnalysisHit> more(2, knownHits().hits[5]);
    more[0].timeMs = 40;
    more[1].timeMs = 42;
    more[1].channel = 2; // a new box: the others keep their ticks
    w->appendHits(more, {QStringLiteral("/data/next.raw")});
    QCOMPARE(w->tickedChannels(), (QList<int>{1, 2}));
    QCOMPARE(seriesCounts(*w, W::CumulativePlot), (QList<qsizetype>{13, 13, 1, 1}));
    QCOMPARE(w->source().records.size(), 2);

    // Every plot as PNG (the view's picture) and SVG.
    QTemporaryDir dir;
    for (int p = 0; p < W::PlotCount; ++p) {
        const QString png = dir.filePath(QStringLiteral("p%1.png").arg(p)),
                      svg = dir.filePath(QStringLiteral("p%1.svg").arg(p));
        QCOMPARE((QList<int>{w->exportPlot(W::Plot(p), png), w->exportPlot(W::Plot(p), svg)}),
                 (QList<int>{0, 0}));
        QCOMPARE(QImage(png).size(), w->chartView(W::Plot(p))->size());
        QVERIFY(QSvgRenderer(svg).isValid());
    }
    QCOMPARE(w->exportSummaryCsv(dir.filePath(QStringLiteral("none/s.csv"))), int(RawWriteFailed));

    // Another owner, another window; it goes with its owner.
    auto* other = new QObject;
    TAnalysisWindow::showFor(&main, other, knownHits());
    QCOMPARE(main.findChildren<TAnalysisWindow*>().size(), 2);
    delete other;
    QTRY_COMPARE(main.findChildren<TAnalysisWindow*>().size(), 1);

    // A record without a sampling rate: the time plots say why they are empty; amplitudes drawn.
    ae::AnalysisSource s = knownHits();
    for (ae::AnalysisHit& h : s.hits)
        h.timeMs = h.durationUs = h.avgFreqKHz = h.raMsPerV = h.energyV2s = ae::NoValue;
    w->setSource(s);
    QCOMPARE(w->tickedChannels(), QList<int>{1}); // the ticks kept
    w->channelBox(3)->setChecked(true);           // (the boxes were made anew)
    QVERIFY(plotMessage(*w, W::CumulativePlot).startsWith(QStringLiteral("Времена импульсов неизвестны")));
    QVERIFY(plotMessage(*w, W::DurationPlot).startsWith(QStringLiteral("Длительности неизвестны")));
    QVERIFY(plotMessage(*w, W::FrequencyPlot).startsWith(QStringLiteral("Частоты и RA неизвестны")));
    QCOMPARE(plotMessage(*w, W::AmplitudePlot), QString());
    QCOMPARE(seriesCounts(*w, W::AmplitudePlot), (QList<qsizetype>{12, 3, 2, 12, 3}));
    QVERIFY(w->summaryCsv().endsWith("\nknown.raw,3,3,,84.00,\n"));
    // No hits at all: nothing to tick, nothing said.
    w->setSource({});
    QCOMPARE(w->channels(), QList<int>{});
    QCOMPARE(plotMessage(*w, W::CumulativePlot), QString());
}

void TestAnalysis::seriesPlots()
{
    startLibrary();
    QPointer<MainWnd> main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    QTemporaryDir dir;
    // 1 µs a sample: rec 1 has hits at samples 100 and 250, rec 2 one at 50, rec 4 (later) at 200.
    auto write = [&](const char* name, QList<int> at) {
        return writeRecord(
            dir.filePath(QString::fromLatin1(name)), 1, 400,
            [&](int, int i) { return qint8(at.contains(i) ? 60 : 0); },
            [](TWaveStor& r) {
                r.header.clockKHz = 12000;
                r.header.divider = 12;
            });
    };
    QVERIFY(write("rec_00001.raw", {100, 250}) && write("rec_00002.raw", {50}));
    // A failed acquisition, a record whose file is gone and a line that cannot be read.
    QFile log(dir.filePath(QStringLiteral("series.csv")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("file,start_utc,end_utc,channels,samples,rate_hz,hits,status\n"
              "rec_00001.raw,2026-12-07T10:15:02.347Z,2026-12-07T10:15:02.400Z,1,400,1000000,2,ok\n"
              ",2026-12-07T10:15:03.000Z,,0,0,0,,failed: no answer to the parameters\n"
              "rec_00002.raw,2026-12-07T10:15:04.000Z,2026-12-07T10:15:04.100Z,1,400,1000000,1,ok\n"
              "rec_00003.raw,2026-12-07T10:15:05.000Z,2026-12-07T10:15:05.100Z,1,400,1000000,0,ok\n"
              "rec_00009.raw,yesterday,,1,400,1000000,0,ok\n");
    log.close();
    g_hitSettings = ae::HitSettings{0.5, 10, 20, 0};
    TSeriesTable* table = main->openSeriesFolder(dir.path());
    QVERIFY(table);
    table->findChild<QPushButton*>(QStringLiteral("plotsBtn"))->click();
    TAnalysisWindow* w = TAnalysisWindow::windowOf(main, table);
    QVERIFY(w && QTest::qWaitForWindowExposed(w));

    // On the clock: ms since the epoch, the record's start + the arrival.
    const double t1 =
        double(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 2, 347), Qt::UTC).toMSecsSinceEpoch());
    const double t2 = t1 + 1653;
    using W = TAnalysisWindow;
    QCOMPARE(listed(*w->drawnPoints(W::CumulativePlot, 1)),
             (Points{{t1 + 0.1, 1, 0}, {t1 + 0.25, 2, 1}, {t2 + 0.05, 3, 2}}));
    QVERIFY(qobject_cast<QDateTimeAxis*>(
        w->chartView(W::CumulativePlot)->chart()->axes(Qt::Horizontal).value(0)));
    QCOMPARE(w->source().records, (QStringList{dir.filePath(QStringLiteral("rec_00001.raw")),
                                               dir.filePath(QStringLiteral("rec_00002.raw"))}));
    QVERIFY2(w->source().note.contains(
                 QStringLiteral("записей не сохранено (строки журнала с ошибкой): 1; файлов нет "
                                "или они не читаются: 1; нечитаемых строк журнала: 1")),
             qPrintable(w->source().note));
    QVERIFY(
        w->hitText(2).contains(QStringLiteral("rec_00002.raw, канал 1\nВремя: 2026-12-07T10:15:04.000050Z")));

    // A double click on rec 2's hit opens it with the cursor there; a second one finds it open.
    QChartView* view = w->chartView(W::CumulativePlot);
    const QPoint at = view->mapFromScene(
        view->chart()->mapToScene(view->chart()->mapToPosition({t2 + 0.05, 3}, view->chart()->series()[0])));
    for (int k = 0; k < 2; ++k) {
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(main->forms().size(), 1);
        TWForm* f = main->forms()[0];
        QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(dir.filePath(QStringLiteral("rec_00002.raw"))));
        QCOMPARE(f->record->channel(0)->cursor, 50);
    }

    // The series goes on: a new record and line, the table read anew: its hit joins the plots.
    QVERIFY(write("rec_00004.raw", {200}));
    QVERIFY(log.open(QIODevice::Append));
    log.write("rec_00004.raw,2026-12-07T10:15:06.000Z,2026-12-07T10:15:06.100Z,1,400,1000000,1,ok\n");
    log.close();
    table->reload();
    QCOMPARE(w->drawnPoints(W::CumulativePlot, 1)->size(), std::size_t(4));
    QCOMPARE(w->source().records.size(), 3);
    QCOMPARE(w->source().hits.back().record, 2);
    delete main.data();
}

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
