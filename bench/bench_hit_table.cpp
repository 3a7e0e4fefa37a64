// The hit table and the plot's marks with 163840 hits: a one-channel record whose samples
// alternate between 127 and -128, searched with a threshold of 1 uV and PDT, HDT and HLT 0, so
// that every sample is a hit. Measured: the command's table shown (search, rows, first paint), a
// sort by a column with its repaint, and repaints of the 1920 x 1080 plot with every hit marked
// (a plain repaint, and a zoom in and out, which draws the traces and the marks anew).
//
//   nice -n 19 bench_hit_table --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "ae/hit_table.h"
#include "main_window.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <QHeaderView>
#include <QTableView>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

MainWnd* g_main = nullptr;
TWForm* g_form = nullptr;

ae::HitSettings everySample()
{
    ae::HitSettings s;
    s.thresholdV = 0.000001;
    s.pdtUs = s.hdtUs = s.hltUs = 0;
    return s;
}

TWForm* makeWindow()
{
    return sizedPlotWindow(1, QSize(Width, Height), [](TWaveStor& r) {
        r.header.clockKHz = 12000;
        r.header.divider = 4;
        TWaveView* v = r.channel(0);
        for (int i = 0; i < MaxSamples; ++i)
            v->setSample(i, i % 2 ? qint8(-128) : qint8(127));
        v->visible = true;
    });
}

THitTable* openTable()
{
    THitTable* t = THitTable::showFor(g_main, g_form, everySample());
    if (t)
        t->repaint();
    QApplication::processEvents();
    return t;
}

void BM_TableShown(benchmark::State& state)
{
    if (!g_form) {
        state.SkipWithError("no window");
        return;
    }
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        delete THitTable::tableOf(g_main, g_form);
        QApplication::processEvents();
        state.ResumeTiming();
        THitTable* t = openTable();
        rows = t ? t->model().rowCount() : 0;
    }
    state.counters["rows"] = rows;
    if (rows != MaxSamples)
        state.SkipWithError("not every sample was a hit");
}

void BM_SortByPeak(benchmark::State& state)
{
    THitTable* t = g_form ? openTable() : nullptr;
    if (!t) {
        state.SkipWithError("no table");
        return;
    }
    bool down = false;
    for (auto _ : state) {
        down = !down;
        t->view()->sortByColumn(2, down ? Qt::DescendingOrder : Qt::AscendingOrder);
        t->view()->viewport()->repaint();
    }
}

void plotRepaint(benchmark::State& state, bool zoom, bool marks = true)
{
    if (!g_form || !openTable()) {
        state.SkipWithError("no table");
        return;
    }
    if (!marks) {
        delete THitTable::tableOf(g_main, g_form);
        QApplication::processEvents();
    }
    for (auto _ : state) {
        if (zoom) {
            g_form->zoomIn();
            g_form->plot->repaint();
            g_form->zoomOut();
        }
        g_form->plot->repaint();
    }
    state.counters["marks"] = g_form->spanMarks().size();
}

void BM_PlotRepaintWithMarks(benchmark::State& state)
{
    plotRepaint(state, false);
}

// Two full redraws an iteration: zoomed in, then back out.
void BM_PlotZoomInOutWithMarks(benchmark::State& state)
{
    plotRepaint(state, true);
}

// The same without a table: what the traces alone cost.
void BM_PlotZoomInOutWithoutMarks(benchmark::State& state)
{
    plotRepaint(state, true, false);
}

} // namespace

BENCHMARK(BM_TableShown)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SortByPeak)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlotRepaintWithMarks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlotZoomInOutWithMarks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlotZoomInOutWithoutMarks)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    auto prepare = [](MainWnd& m) {
        g_main = &m;
        g_form = makeWindow();
        return true;
    };
    return runWithMainWindow(argc, argv, prepare, [] {
        delete THitTable::tableOf(g_main, g_form);
        delete g_form;
    });
}
