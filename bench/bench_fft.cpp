// The FFT core at 2^10, 2^14 and 2^17 points, with a single-precision plan of FFTW on the same
// split arrays as the yardstick (when the library is found), and the channel transforms at 2^17.
// Every timed round copies its input in first (a forward transform shrinks its data towards
// denormal numbers); BM_CopyOnly gives that share.
//
//   nice -n 19 bench_fft --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include "ufft.h"
#include "wave_view.h"

#include "run_benchmarks.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#ifdef TAVREL_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

struct Data
{
    explicit Data(int n)
        : re(static_cast<size_t>(n))
        , im(static_cast<size_t>(n))
        , re0(static_cast<size_t>(n))
        , im0(static_cast<size_t>(n))
    {
        std::mt19937 gen(5);
        for (int i = 0; i < n; ++i) {
            re0[size_t(i)] = float(int(gen() % 256) - 128);
            im0[size_t(i)] = 0.0f;
        }
    }
    void reset()
    {
        std::memcpy(re.data(), re0.data(), re.size() * sizeof(float));
        std::memcpy(im.data(), im0.data(), im.size() * sizeof(float));
    }
    std::vector<float> re, im, re0, im0;
};

void setCounters(benchmark::State& state, int k)
{
    state.counters["points"] = double(1 << k);
}

void BM_CopyOnly(benchmark::State& state)
{
    const int k = int(state.range(0));
    Data d(1 << k);
    for (auto _ : state) {
        d.reset();
        benchmark::DoNotOptimize(d.re.data());
        benchmark::ClobberMemory();
    }
    setCounters(state, k);
}

void BM_DirectFFT(benchmark::State& state)
{
    const int k = int(state.range(0));
    Data d(1 << k);
    for (auto _ : state) {
        d.reset();
        directFFT(d.re.data(), d.im.data(), k, nullptr);
        benchmark::ClobberMemory();
    }
    setCounters(state, k);
}

#ifdef TAVREL_HAVE_FFTW
void BM_FFTWSinglePrecision(benchmark::State& state)
{
    const int k = int(state.range(0));
    Data d(1 << k);
    fftwf_iodim dim{1 << k, 1, 1};
    // In place on the same split arrays; planning overwrites them, the rounds copy in anyway.
    fftwf_plan plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, d.re.data(), d.im.data(), d.re.data(),
                                                d.im.data(), FFTW_MEASURE);
    if (!plan) {
        state.SkipWithError("no plan");
        return;
    }
    for (auto _ : state) {
        d.reset();
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    setCounters(state, k);
}
#endif

// The spectrum of one channel of 2^17 samples and its way back.
void BM_ChannelForward(benchmark::State& state)
{
    const int k = 17;
    auto source = std::make_unique<TWaveView>(1 << k);
    source->allocate();
    std::mt19937 gen(9);
    for (int i = 0; i < source->count; ++i)
        source->setSample(i, qint8(int(gen() % 256) - 128));
    for (auto _ : state) {
        state.PauseTiming();
        auto spectrum = std::make_unique<TWaveView>(1 << (k - 1));
        spectrum->allocate();
        state.ResumeTiming();
        benchmark::DoNotOptimize(spectrum->forwardFFT(source.get(), 0, k, nullptr, state.range(0) != 0));
        state.PauseTiming();
        spectrum.reset();
        state.ResumeTiming();
    }
}

void BM_ChannelInverse(benchmark::State& state)
{
    const int k = 17;
    auto source = std::make_unique<TWaveView>(1 << k);
    source->allocate();
    for (int i = 0; i < source->count; ++i)
        source->setSample(i, qint8(i % 200 - 100));
    TWaveView spectrum(1 << (k - 1));
    spectrum.allocate();
    spectrum.forwardFFT(source.get(), 0, k, nullptr, false);
    for (auto _ : state)
        spectrum.inverseFFT(source.get(), 0, k, nullptr);
}

} // namespace

BENCHMARK(BM_CopyOnly)->Arg(10)->Arg(14)->Arg(17)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DirectFFT)->Arg(10)->Arg(14)->Arg(17)->Unit(benchmark::kMicrosecond);
#ifdef TAVREL_HAVE_FFTW
BENCHMARK(BM_FFTWSinglePrecision)->Arg(10)->Arg(14)->Arg(17)->Unit(benchmark::kMicrosecond);
#endif
BENCHMARK(BM_ChannelForward)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChannelInverse)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QGuiApplication app(argc, argv); // the transforms serve events between their stages
    return runBenchmarks(argc, argv);
}
