// The signal record under load: a full redraw of a maximal record (5 x 163840 samples) at
// 1920 x 1080 in several processing modes, a processed walk over one channel, and reading and
// writing a maximal raw file.
//
//   bench_record --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "noisy_record.h"
#include "wave_stor.h"

#include "run_benchmarks.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

// A maximal record of noisy sines, every channel visible, window over the whole record.
std::unique_ptr<TWaveStor> makeRecord(int mode, int halfWidth, int winWidth = MaxSamples)
{
    auto rec = std::make_unique<TWaveStor>(QRect(QPoint(0, 0), QPoint(Width - 1, Height - 1)));
    if (!rec->init(MaxChannels, MaxSamples))
        return nullptr;
    fillNoisySines(*rec);
    rec->header.winWidth = winWidth;
    rec->header.winStart = 0;
    rec->relayout();
    rec->setFilter(mode, halfWidth);
    return rec;
}

template <class Device>
void redraw(benchmark::State& state, Device& device, TWaveStor& rec)
{
    for (auto _ : state) {
        device.fill(Qt::black);
        QPainter painter(&device);
        rec.draw(&painter);
        painter.end();
        benchmark::ClobberMemory();
    }
}

void BM_RedrawImage(benchmark::State& state)
{
    auto rec = makeRecord(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    QImage image(Width, Height, QImage::Format_RGB32);
    redraw(state, image, *rec);
}

void BM_RedrawPixmap(benchmark::State& state)
{
    auto rec = makeRecord(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    QPixmap pixmap(Width, Height);
    redraw(state, pixmap, *rec);
}

void BM_RedrawPrint(benchmark::State& state)
{
    auto rec = makeRecord(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    QImage image(Width, Height, QImage::Format_RGB32);
    g_printMode = true;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        rec->draw(&painter);
        painter.end();
        benchmark::ClobberMemory();
    }
    g_printMode = false;
}

void BM_ProcessedWalk(benchmark::State& state)
{
    auto rec = makeRecord(int(state.range(0)), int(state.range(1)));
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    TWaveView* v = rec->channel(0);
    for (auto _ : state) {
        int sum = v->processed(v->sample(0), 0);
        for (int i = 1; i < MaxSamples; ++i)
            sum += v->processedNext(v->sample(i), i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * MaxSamples);
}

void BM_WriteMaximalFile(benchmark::State& state)
{
    auto rec = makeRecord(0, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("max.raw"));
    for (auto _ : state) {
        if (rec->writeFile(path) != 0) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * rawFileSize(MaxChannels, MaxSamples));
}

void BM_ReadMaximalFile(benchmark::State& state)
{
    auto rec = makeRecord(0, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("max.raw"));
    if (rec->writeFile(path) != 0) {
        state.SkipWithError("write failed");
        return;
    }
    for (auto _ : state) {
        TWaveStor back(QRect(QPoint(0, 0), QPoint(Width - 1, Height - 1)));
        if (!back.readFile(path)) {
            state.SkipWithError("read failed");
            return;
        }
        benchmark::DoNotOptimize(back.channel(4)->sample(MaxSamples - 1));
    }
    state.SetBytesProcessed(state.iterations() * rawFileSize(MaxChannels, MaxSamples));
}

// Arguments: processing mode, half-width, window width in samples.
void redrawArgs(benchmark::internal::Benchmark* b)
{
    b->Args({0, 0, MaxSamples})->Args({2, 126, MaxSamples})->Args({4, 126, MaxSamples});
    // Zoomed in: line mode with point markers, and two samples per pixel.
    b->Args({0, 0, 600})->Args({2, 126, 3839});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_RedrawImage)->Apply(redrawArgs);
BENCHMARK(BM_RedrawPixmap)->Apply(redrawArgs);
BENCHMARK(BM_RedrawPrint)
    ->Args({0, 0, MaxSamples})
    ->Args({4, 126, MaxSamples})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessedWalk)
    ->Args({0, 0})
    ->Args({2, 126})
    ->Args({4, 126})
    ->Args({6, 126})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteMaximalFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadMaximalFile)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QGuiApplication app(argc, argv); // pixmaps need the GUI application
    return runBenchmarks(argc, argv);
}
