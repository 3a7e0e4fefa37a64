// Measuring on a maximal record (5 x 163840 samples) in a waveform window whose plot is
// 1920 x 1080: one step of a cursor drag and one of a zero-line drag, each with the repaint of
// the plot it causes, and a full redraw of the same plot after its samples changed.
//
//   nice -n 19 bench_measure --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "main_window.h"
#include "noisy_record.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <QMouseEvent>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

TWForm* g_form = nullptr;

// A window on a maximal record of noisy sines, every channel shown whole with its cursor.
TWForm* makeWindow()
{
    return sizedPlotWindow(MaxChannels, QSize(Width, Height), fillNoisySines);
}

void send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Grabs with the left button at grab, then each step moves by one of the offsets and repaints.
void dragSteps(benchmark::State& state, QPoint grab, QPoint offset)
{
    TWForm* f = g_form;
    if (!f) {
        state.SkipWithError("no window");
        return;
    }
    QWidget* plot = f->plot;
    send(plot, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    if (f->grabbedCursorChannel < 0 && f->grabbedBaselineChannel < 0) {
        state.SkipWithError("nothing grabbed");
        return;
    }
    const int cursorBefore = f->record->channel(2)->cursor;
    const int baseBefore = f->record->channel(2)->baseY;
    int k = 0;
    for (auto _ : state) {
        const int m = 1 + k++ % 40; // there and back, 1 ... 40 pixels from the grab
        send(plot, QEvent::MouseMove, grab + offset * m, Qt::LeftButton);
        plot->repaint();
    }
    const bool moved = f->grabbedCursorChannel >= 0 ? f->record->channel(2)->cursor != cursorBefore
                                                    : f->record->channel(2)->baseY != baseBefore;
    send(plot, QEvent::MouseButtonRelease, grab, Qt::NoButton);
    plot->repaint();
    if (!moved)
        state.SkipWithError("the paint did not take the step");
}

void BM_CursorDragStep(benchmark::State& state)
{
    const TWaveView* v = g_form ? g_form->record->channel(2) : nullptr;
    if (!v) {
        state.SkipWithError("no window");
        return;
    }
    dragSteps(state, QPoint(v->sampleToX(v->cursor), v->baseY - 20), QPoint(3, 0));
}

void BM_ZeroLineDragStep(benchmark::State& state)
{
    const TWaveView* v = g_form ? g_form->record->channel(2) : nullptr;
    if (!v) {
        state.SkipWithError("no window");
        return;
    }
    dragSteps(state, QPoint(Width / 10, v->baseY), QPoint(0, 1));
}

// The samples changed (as after zeroing): every trace is walked and drawn again.
void BM_FullRedraw(benchmark::State& state)
{
    if (!g_form) {
        state.SkipWithError("no window");
        return;
    }
    for (auto _ : state) {
        g_form->repaintPlot();
        g_form->plot->repaint();
    }
}

} // namespace

BENCHMARK(BM_CursorDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZeroLineDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    // The readouts of a cursor step go to a main window's status bar, as in the program.
    // A window that could not be made is reported by each benchmark.
    auto prepare = [](MainWnd&) {
        g_form = makeWindow();
        return true;
    };
    return runWithMainWindow(argc, argv, prepare, [] { delete g_form; });
}
