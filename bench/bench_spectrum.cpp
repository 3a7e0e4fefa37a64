// The forward-FFT command of a main window on a record of 4 channels of 2^17 samples, the whole
// record selected: from the command to the new spectrum window painted, with its progress dialog
// shown and advanced between the stages of every channel's transform.
//
//   nice -n 19 bench_spectrum --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "main_window.h"
#include "noisy_record.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <QAction>
#include <QMdiArea>

namespace {

constexpr int Channels = 4;
constexpr int Log2 = 17;

MainWnd* g_main = nullptr;
TWForm* g_source = nullptr;

// A window of the main window on a record of noisy sines, selected whole.
TWForm* makeSource()
{
    TWForm* f = g_main->newWindow();
    if (!f)
        return nullptr;
    delete f->record;
    f->record = new TWaveStor(f->plotRect);
    if (!f->record->init(Channels, 1 << Log2))
        return nullptr;
    fillNoisySines(*f->record);
    f->record->header.winWidth = 1 << Log2;
    f->record->relayout();
    f->repaintPlot();
    f->selStart = 0;
    f->selEnd = 1 << Log2;
    return f;
}

void BM_DirectFFTCommand(benchmark::State& state)
{
    if (!g_source) {
        state.SkipWithError("no window");
        return;
    }
    for (auto _ : state) {
        g_main->mdi()->setActiveSubWindow(g_source);
        TWForm* spectrum = g_main->directFFT();
        if (!spectrum || spectrum->record->length() != 1 << (Log2 - 1)) {
            state.SkipWithError("no spectrum");
            return;
        }
        QApplication::processEvents(); // the new window painted
        state.PauseTiming();
        delete spectrum;
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_DirectFFTCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    auto prepare = [](MainWnd& mainWindow) {
        g_main = &mainWindow;
        mainWindow.aSelectMode->setChecked(false);
        g_source = makeSource();
        return true; // a missing window is reported by the benchmark
    };
    return runWithMainWindow(argc, argv, prepare);
}
