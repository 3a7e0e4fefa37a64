// The hit search on a recording of the emulated unit: the command, its dialog, the table (sorting,
// CSV, copying, double click, place, plots), the marks; 163840 hits (sorting, marks, Stop).

#include "ae/hit_csv.h"
#include "ae/hit_dialog.h"
#include "ae/hit_table.h"
#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMdiArea>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtTest>

#include <cmath>

const double Period = 1000.0 * 100 / 12000; // µs a sample at the 120 kHz of record()

class TestHitTable : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete main.data(); }
    void commandTableMarksAndClose();
    void markColumns_data();
    void markColumns();
    void manyHitsDrawnInTheirColumns();
    void largeTableSorts();
    void stopDuringSearch_data();
    void stopDuringSearch();

private:
    // A recording of the emulated unit (seed 1), 40000 samples at 120 kHz, in a new active window.
    TWForm* record()
    {
        g_link.portName = demoPortName();
        demoUnit().setPaced(false);
        demoUnit().setSeed(1); // the same signals on every run
        demoUnit().setVarySeed(false);
        g_acquisitionParameters.halfLength = 20000;
        g_acquisitionParameters.waitCount = 24;
        main->form()->aRunADC->trigger();
        return main->forms().value(0);
    }
    // The command on f, its dialog given threshold and OK.
    THitTable* findHits(TWForm* f, double threshold)
    {
        main->mdi()->setActiveSubWindow(f);
        ModalDriver<THitSetDlg> driver([&](THitSetDlg* d) {
            d->findChild<QDoubleSpinBox*>(QStringLiteral("thresholdEdit"))->setValue(threshold);
            QCOMPARE(d->findChild<QLabel*>(QStringLiteral("thresholdDb"))->text(), // 20 log10(V / 1 µV)
                     QStringLiteral("= %1 дБ отн. 1 мкВ").arg(20 * std::log10(threshold * 1e6), 0, 'f', 1));
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        main->form()->aFindHits->trigger();
        return THitTable::tableOf(main, f);
    }
    // A window on a one-channel record of MaxSamples samples, sample(i) each, shown whole.
    TWForm* largeRecord(const std::function<qint8(int)>& sample)
    {
        const QString path = dir.filePath(QStringLiteral("large.raw"));
        if (!writeRecord(path, 1, MaxSamples, [&](int, int i) { return sample(i); }))
            return nullptr;
        return main->openRawPath(path);
    }
    // Every sample that reaches it is a hit of its own.
    static ae::HitSettings everySample() { return ae::HitSettings{1e-6, 0, 0, 0}; }

    QPointer<MainWnd> main;
    QTemporaryDir dir;
};

void TestHitTable::init()
{
    startLibrary();
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    main->setUnit(true);
    g_hitSettings = ae::HitSettings();
    umisc::forgetToolWindowPlaces();
}

// The marks' columns by definition: tinted start to end, a start line, an end line in another column.
static wform::MarkColumns markColumnsByDefinition(const std::vector<std::pair<int, int>>& marks, int left,
                                                  int right, const std::function<int(int)>& toX)
{
    std::vector<int> kind(std::size_t(right - left + 1), 0); // 1 tinted, 2 start, 4 end
    for (const auto& [from, to] : marks) {
        const int x1 = toX(from), x2 = toX(to);
        for (int x = std::max(x1, left); x <= std::min(x2, right); ++x)
            kind[std::size_t(x - left)] |= 1;
        if (x1 >= left && x1 <= right)
            kind[std::size_t(x1 - left)] |= 2;
        if (x2 != x1 && x2 >= left && x2 <= right)
            kind[std::size_t(x2 - left)] |= 4;
    }
    wform::MarkColumns c;
    for (int x = left; x <= right; ++x) {
        const int k = kind[std::size_t(x - left)];
        if ((k & 1) && !c.tinted.isEmpty() && c.tinted.last().second == x - 1)
            c.tinted.last().second = x;
        else if (k & 1)
            c.tinted.append({x, x});
        if (k & 2)
            c.starts << x;
        if (k & 4)
            c.ends << x;
    }
    return c;
}

void TestHitTable::commandTableMarksAndClose()
{
    QCOMPARE(main->form()->aFindHits->text(), QStringLiteral("Поиск импульсов &АЭ…"));
    TWForm* f = record();
    QVERIFY(f);
    QPointer<THitTable> t = findHits(f, 0.2);
    QVERIFY(t && t->isVisible());
    QCOMPARE(g_hitSettings.thresholdV, 0.2);
    QCOMPARE(t->windowTitle(), QStringLiteral("Импульсы АЭ — NoName - 1"));
    const int rows = t->model().rowCount();
    QVERIFY2(rows >= 4, qPrintable(QString::number(rows)));
    for (int r = 1; r < rows; ++r)
        QVERIFY(t->hitAt(r - 1)->first <= t->hitAt(r)->first); // by arrival
    QCOMPARE(findHits(f, 0.15), t);                            // again: the same table, more rows
    QVERIFY(t->model().rowCount() > rows);
    QTableView* view = t->view();
    view->sortByColumn(ae::HitTableModel::PeakVColumn, Qt::DescendingOrder);
    for (int r = 1; r < t->model().rowCount(); ++r)
        QVERIFY(t->hitAt(r - 1)->peakV >= t->hitAt(r)->peakV);

    // The export through the button and the file dialog, ".csv" appended, in the view's order.
    ModalDriver<QFileDialog> driver(
        [&](QFileDialog* d) { acceptFileDialog(d, dir.filePath(QStringLiteral("h"))); });
    t->findChild<QPushButton*>(QStringLiteral("exportBtn"))->click();
    QFile file(dir.filePath(QStringLiteral("h.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines{ae::hitsCsvHeader()};
    for (int r = 0; r < t->model().rowCount(); ++r)
        lines << ae::hitsCsvLine(QStringLiteral("NoName - 1"), ae::hitRow(*t->hitAt(r), Period));
    QCOMPARE(QString::fromUtf8(file.readAll()), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    // A directory that is not there: the writer's failure, nothing left behind.
    QCOMPARE(t->exportCsv(dir.filePath(QStringLiteral("missing/h.csv"))), int(RawWriteFailed));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    // Rows 2 and 0 selected, copied with Ctrl+C: the header and those rows in order, by tabs.
    view->selectRow(2);
    view->selectionModel()->select(view->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keySequence(view, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringList({lines[0], lines[1], lines[3], QString()}).join('\n').replace(',', '\t'));

    // Every hit marked; the start of the first in magenta in its column, in the channel's band.
    const QVector<wform::SpanMark> marks = f->spanMarks(); // in the order found
    QCOMPARE(marks.size(), t->model().rowCount());
    const ae::Hit& h0 = t->model().hits()[0];
    QCOMPARE((QList<int>{marks[0].channel, marks[0].from, marks[0].to}),
             (QList<int>{h0.channel, int(h0.first), int(h0.last)}));
    const int x = f->record->sampleToX(int(h0.first)), base = f->record->channel(h0.channel)->baseY;
    auto magenta = [&] {
        const QImage img = f->plot->grab().toImage();
        int n = 0;
        for (int y = base - 20; y <= base + 20; ++y)
            n += img.pixelColor(x, y) == QColor(255, 0, 255) ? 1 : 0;
        return n;
    };
    QVERIFY(magenta() > 5);
    t->close();
    QVERIFY(f->spanMarks().isEmpty());
    QCOMPARE(magenta(), 0);

    // A double click on a hit beyond the zoomed-in view.
    t = findHits(f, 0.15);
    QVERIFY(t);
    for (int k = 0; k < 3; ++k)
        f->zoomIn();
    const wform::View before = f->view();
    int row = 0; // a hit beyond the view
    while (row < t->model().rowCount() && t->hitAt(row)->first < before.start + before.width)
        ++row;
    QVERIFY(row < t->model().rowCount());
    const ae::Hit h = *t->hitAt(row);
    // Beside the plot, inside the screen; a table moved by the user opens there again.
    const QRect screen = t->screen()->availableGeometry();
    QVERIFY(screen.contains(t->frameGeometry()));
    QVERIFY(!t->frameGeometry().contains(f->plot->mapToGlobal(QPoint(0, 0))));
    QTableView* v = t->view();
    v->scrollTo(v->model()->index(row, 1));
    const QPoint at = v->visualRect(v->model()->index(row, 1)).center();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(main->activeForm(), f);
    QCOMPARE(f->record->channel(h.channel)->cursor, int(h.first));
    // As wide as before, the arrival a quarter of the way in (or the view at the record's end).
    QCOMPARE(f->view().start, std::min(int(h.first) - before.width / 4, f->record->length() - before.width));
    QCOMPARE(f->view().width, before.width);
    QCOMPARE(main->findChild<QLabel*>(QStringLiteral("tl%1").arg(h.channel + 1))->text().remove(' '),
             QStringLiteral("T%1=%2uS").arg(h.channel + 1).arg(h.first * Period, 0, 'f', 1));

    t->move(screen.topLeft() + QPoint(30, 40));
    t->close();
    QTRY_VERIFY(t.isNull());
    t = findHits(f, 0.15);
    QCOMPARE(t->pos(), screen.topLeft() + QPoint(30, 40));

    // "Графики…": the table's hits, a cumulative curve a channel counting all of them; a double
    // click on a point of the duration plot puts the channel's cursor on that hit's arrival.
    t->findChild<QPushButton*>(QStringLiteral("plotsBtn"))->click();
    QPointer<TAnalysisWindow> plots = TAnalysisWindow::windowOf(main, t);
    QVERIFY(plots && QTest::qWaitForWindowExposed(plots));
    qsizetype counted = 0;
    for (int ch : plots->tickedChannels())
        counted += qsizetype(plots->drawnPoints(TAnalysisWindow::CumulativePlot, ch)->back().y);
    QCOMPARE(counted, t->model().rowCount());
    const int ch = plots->tickedChannels().last();
    QVERIFY(!plots->drawnPoints(TAnalysisWindow::DurationPlot, ch)->empty());
    const ae::PlotPoint q = plots->drawnPoints(TAnalysisWindow::DurationPlot, ch)->front();
    QChartView* chart = plots->chartView(TAnalysisWindow::DurationPlot);
    QAbstractSeries* series = chart->chart()->series()[plots->tickedChannels().size() - 1];
    QTest::mouseDClick(
        chart->viewport(), Qt::LeftButton, {},
        chart->mapFromScene(chart->chart()->mapToScene(chart->chart()->mapToPosition({q.x, q.y}, series))));
    QCOMPARE(f->record->channel(ch - 1)->cursor, int(plots->source().hits[std::size_t(q.hit)].first));

    // Closing the window closes its table and the table's plots.
    QPointer<TWForm> window = f;
    BoxAnswerer yes(QMessageBox::Yes); // the recording is not saved: close anyway
    QVERIFY(f->close());
    QTRY_VERIFY(window.isNull() && t.isNull() && plots.isNull());
}

void TestHitTable::markColumns_data()
{
    QTest::addColumn<double>("samplesPerColumn");
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("maxRun"); // runs of hits and gaps of 1 ... maxRun samples
    QTest::newRow("a hit a sample, 85 a column") << 85.3 << 1 << 1;
    QTest::newRow("short hits, several a column") << 40.0 << 2 << 30;
    QTest::newRow("long hits over many columns") << 10.0 << 3 << 400;
    QTest::newRow("a column a sample") << 1.0 << 4 << 5;
    QTest::newRow("zoomed in: 4 columns a sample") << 0.25 << 5 << 3;
}

void TestHitTable::markColumns()
{
    QFETCH(double, samplesPerColumn);
    QFETCH(int, seed);
    QFETCH(int, maxRun);
    std::vector<std::pair<int, int>> marks;
    quint32 r = quint32(seed);
    auto next = [&] {
        r = r * 1664525u + 1013904223u;
        return 1 + int((r >> 8) % quint32(maxRun));
    };
    for (int i = next() - 1; i < MaxSamples;) {
        const int last = std::min(i + next() - 1, MaxSamples - 1);
        marks.emplace_back(i, last);
        i = last + 1 + next();
    }
    // The view starts a third of the way in: marks before it, across its left edge and past its right.
    const int left = 20, right = 979;
    auto toX = [&](int i) { return nearest((i - MaxSamples / 3) / samplesPerColumn) + left; };
    const wform::MarkColumns got = wform::markColumns(marks, left, right, toX);
    const wform::MarkColumns want = markColumnsByDefinition(marks, left, right, toX);
    QCOMPARE(got.tinted, want.tinted);
    QCOMPARE((QList<QList<int>>{got.starts, got.ends}), (QList<QList<int>>{want.starts, want.ends}));
    QVERIFY(want.starts.size() > 10);
}

void TestHitTable::manyHitsDrawnInTheirColumns()
{
    // Dense one-sample hits (dozens a column) in the first half, hits of 1400 samples after; with
    // an HDT of 2 samples the gaps of 3 part them. Samples of ±10 keep the trace near its zero
    // line, away from the band's top rows checked here.
    TWForm* f = largeRecord([](int i) {
        if (i < MaxSamples / 2)
            return qint8(i % 4 ? 0 : (i % 8 ? 10 : -10));
        return qint8((i / 700) % 3 ? 10 : 0);
    });
    QVERIFY(f);
    const double period = f->record->samplePeriodUs();
    ae::HitSettings s = everySample();
    s.hdtUs = 2.5 * (ae::periodKnown(period) ? period : 1.0);
    THitTable* t = THitTable::showFor(main, f, s);
    QVERIFY(t && t->model().rowCount() > 20000);
    const TWaveView* v = f->record->channel(0);
    std::vector<std::pair<int, int>> marks;
    for (const ae::Hit& h : t->model().hits())
        marks.emplace_back(int(h.first), int(h.last));
    const wform::MarkColumns want = markColumnsByDefinition(marks, f->plotRect.left(), f->plotRect.right(),
                                                            [v](int i) { return v->sampleToX(i); });
    QVERIFY(want.starts.size() > 100 && want.ends.size() > 10);
    const QImage img = f->plot->grab().toImage();
    const int top = std::max(v->baseY - nearest(127.0 * v->yScale), f->plotRect.top());
    // Six rows from the band's top, a period of both lines: a start is dashed (rows 0 ... 3 of
    // each six), an end dotted (rows 0 and 3); elsewhere the tint or nothing.
    const QColor line(255, 0, 255), tint(48, 0, 48), none(0, 0, 0);
    for (int x = f->plotRect.left(); x <= f->plotRect.right(); ++x) {
        if (std::abs(x - v->sampleToX(v->cursor)) <= 8)
            continue; // the cursor's cross is drawn over the marks
        bool tinted = false;
        for (const QPair<int, int>& run : want.tinted)
            tinted |= run.first <= x && x <= run.second;
        for (int y = 0; y < 6; ++y) {
            const bool lined = (want.starts.contains(x) && y < 4) || (want.ends.contains(x) && y % 3 == 0);
            const QColor seen = img.pixelColor(x, top + y), expected = lined ? line : tinted ? tint : none;
            QVERIFY2(qAbs(seen.red() - expected.red()) <= 1 && seen.green() == 0 &&
                         qAbs(seen.blue() - expected.blue()) <= 1,
                     qPrintable(QStringLiteral("column %1 row %2: %3").arg(x).arg(y).arg(seen.name())));
        }
    }
    // Marks given in any order are drawn alike.
    QVector<wform::SpanMark> reversed = f->spanMarks();
    std::reverse(reversed.begin(), reversed.end());
    f->setSpanMarks(reversed);
    QCOMPARE(f->plot->grab().toImage(), img);
}

void TestHitTable::largeTableSorts()
{
    auto sample = [](int i) { return qint8((i * 7919) % 251 - 125 + ((i * 7919) % 251 >= 125 ? 1 : 0)); };
    TWForm* f = largeRecord(sample);
    QVERIFY(f);
    THitTable* t = THitTable::showFor(main, f, everySample());
    QVERIFY(t);
    QCOMPARE(t->model().rowCount(), MaxSamples);
    // Highest peak first, equal peaks in the order found: first the earliest largest, last the latest least.
    int firstMax = 0, lastMin = 0;
    for (int i = 0; i < MaxSamples; ++i) {
        const int m = std::abs(sample(i)), best = std::abs(sample(firstMax)),
                  least = std::abs(sample(lastMin));
        firstMax = m > best ? i : firstMax;
        lastMin = m <= least ? i : lastMin;
    }
    QTableView* view = t->view();
    view->selectRow(5); // the selection stays on its hit
    const qint64 selected = t->hitAt(5)->first;
    view->sortByColumn(ae::HitTableModel::PeakVColumn, Qt::DescendingOrder);
    QCOMPARE((QList<qint64>{t->hitAt(0)->first, t->hitAt(MaxSamples - 1)->first}),
             (QList<qint64>{firstMax, lastMin}));
    for (int r = 1; r < MaxSamples; ++r)
        QVERIFY(t->hitAt(r - 1)->peakV >= t->hitAt(r)->peakV);
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(t->hitAt(rows[0].row())->first, selected);
    QCOMPARE(view->model()->index(0, ae::HitTableModel::ArrivalColumn).data().toString(),
             ae::hitField(ae::hitRow(*t->hitAt(0), t->model().periodUs()), ae::HitTableModel::ArrivalColumn));
    view->sortByColumn(ae::HitTableModel::ArrivalColumn, Qt::AscendingOrder);
    QCOMPARE((QList<qint64>{t->hitAt(0)->first, t->hitAt(MaxSamples - 1)->first}),
             (QList<qint64>{0, MaxSamples - 1}));
}

void TestHitTable::stopDuringSearch_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Stop pressed") << false;
    QTest::newRow("Esc") << true;
}

void TestHitTable::stopDuringSearch()
{
    QFETCH(bool, escape);
    TWForm* f = largeRecord([](int i) { return qint8(i % 2 ? -128 : 127); });
    QVERIFY(f);
    THitTable* t = new THitTable(main, f);
    THitTable::progressDelayMs = 0; // the dialog at the first step
    int steps = 0;
    connect(t, &THitTable::searchStep, t, [&](qint64 searched, qint64 total) {
        QCOMPARE((QList<qint64>{searched, total}), (QList<qint64>{THitTable::SearchStepSamples, MaxSamples}));
        ++steps;
        auto* d = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        QVERIFY(d && f->transforming); // the window holds its samples meanwhile
        if (escape)
            QTest::keyClick(d->windowHandle(), Qt::Key_Escape); // as the key arrives from the system
        else
            d->findChild<QPushButton*>()->click();
    });
    t->detect(everySample());
    THitTable::progressDelayMs = 500;
    QCOMPARE(steps, 1);
    // The hits that had ended: every sample of the first step but its last, whose hit was running.
    QCOMPARE(t->model().rowCount(), int(THitTable::SearchStepSamples) - 1);
    QCOMPARE(f->spanMarks().size(), t->model().rowCount());
    QVERIFY(t->searchStopped() && !f->transforming);
    const QString summary = t->findChild<QLabel*>(QStringLiteral("summaryLabel"))->text();
    QVERIFY(summary.startsWith(
        "Поиск остановлен: показаны импульсы, найденные до остановки. Найдено импульсов: 32767."));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    t->detect(everySample()); // again, not stopped: all of them
    QCOMPARE(t->model().rowCount(), MaxSamples);
    QVERIFY(!t->searchStopped());
}

QTEST_MAIN(TestHitTable)
#include "tst_hit_table.moc"
