// The analysis window with 100 000 hits on four channels over an hour of a series: one change of
// the channel ticks (channel 4 unticked or ticked again), i.e. the four plots and the summary
// worked out anew, and the window painted. Two sets of hits: as AE gives them (amplitudes falling
// off with b = 1, durations growing with the amplitude, frequencies and RA in clusters), and
// spread evenly over every plot, where thinning to the plot's cells keeps the most points.
//
//   nice -n 19 bench_analysis --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "ae/analysis_window.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <QCheckBox>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>

#include <random>

namespace {

constexpr int Hits = 100000;

ae::AnalysisSource makeHits(bool even)
{
    std::mt19937 random(20);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::exponential_distribution<double> overThreshold(std::log(10.0) / 20.0); // b = 1
    std::normal_distribution<double> normal(0.0, 1.0);
    ae::AnalysisSource s;
    s.title = QStringLiteral("bench");
    s.absoluteTime = true;
    const double start = 1.8e12; // ms since the epoch
    for (int i = 0; i < Hits; ++i) {
        ae::AnalysisHit h;
        h.channel = 1 + i % 4;
        h.record = i / 100;
        h.first = 1000 * (i % 100);
        if (even) {
            h.timeMs = start + 3.6e6 * unit(random);
            h.peakDb = 45 + 70 * unit(random);
            h.durationUs = std::pow(10.0, 4 * unit(random));
            h.raMsPerV = 2 * unit(random);
            h.avgFreqKHz = 400 * unit(random);
        } else {
            // Activity growing over the hour.
            h.timeMs = start + 3.6e6 * std::sqrt(unit(random));
            h.peakDb = 45 + overThreshold(random);
            h.durationUs = std::pow(10.0, 1.5 + (h.peakDb - 45) / 30 + 0.3 * normal(random));
            const bool tensile = unit(random) < 0.6;
            h.raMsPerV = std::exp((tensile ? -4.0 : -1.5) + 0.5 * normal(random));
            h.avgFreqKHz = std::max(1.0, (tensile ? 220.0 : 90.0) + 25 * normal(random));
        }
        h.energyV2s = 1e-9 * std::pow(10.0, (h.peakDb - 45) / 10);
        s.hits.push_back(h);
    }
    return s;
}

void tickChange(benchmark::State& state, bool even)
{
    QWidget owner;
    TAnalysisWindow w(nullptr, &owner);
    w.setSource(makeHits(even));
    w.resize(1100, 860);
    w.show();
    QApplication::processEvents();
    QCheckBox* box = w.channelBox(4);
    if (!box) {
        state.SkipWithError("no channel 4");
        return;
    }
    qsizetype points = 0;
    for (auto _ : state) {
        box->toggle();
        w.repaint();
        for (int p = 0; p < TAnalysisWindow::PlotCount; ++p)
            w.chartView(TAnalysisWindow::Plot(p))->viewport()->repaint();
    }
    for (int p = 0; p < TAnalysisWindow::PlotCount; ++p)
        for (QAbstractSeries* s : w.chartView(TAnalysisWindow::Plot(p))->chart()->series())
            points += static_cast<QXYSeries*>(s)->count();
    state.counters["hits"] = Hits;
    state.counters["points_drawn"] = double(points);
}

void BM_TickChange(benchmark::State& state)
{
    tickChange(state, false);
}
BENCHMARK(BM_TickChange)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TickChangeEvenlySpread(benchmark::State& state)
{
    tickChange(state, true);
}
BENCHMARK(BM_TickChangeEvenlySpread)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
