// Hit detection over a maximal record (5 x 163840 samples) with the default settings: a recording
// of the emulated unit (bursts over quiet noise, most samples outside any hit) and noisy sines
// that lie above the threshold nearly everywhere (nearly every sample inside a hit, the slow
// path); both include the spectra of the hits. Then the spectra alone, per hit: those of the
// emulated unit's hits, and hits of a fixed number of samples.
//
//   nice -n 19 bench_ae --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "ae/hit_features.h"
#include "ae/hits.h"
#include "k4demo.h"
#include "noisy_record.h"
#include "wave_stor.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Every channel of a maximal record from the emulated unit at 600 kHz, gain 1; the fifth
// channel repeats the first input with another seed.
std::unique_ptr<TWaveStor> demoRecord()
{
    auto rec = std::make_unique<TWaveStor>();
    if (!rec->init(MaxChannels, MaxSamples))
        return nullptr;
    K4Setup setup;
    setup.waitCount = 4;
    rec->header.clockKHz = 12000;
    rec->header.divider = 4 * setup.waitCount + 4;
    for (int ch = 0; ch < MaxChannels; ++ch) {
        const QByteArray bytes = k4ChannelBytes(setup, ch < 4 ? 7 : 8, ch % 4, MaxSamples);
        for (int i = 0; i < MaxSamples; ++i)
            rec->channel(ch)->setSample(i, qint8(bytes[i]));
    }
    return rec;
}

std::unique_ptr<TWaveStor> sineRecord()
{
    auto rec = std::make_unique<TWaveStor>();
    if (!rec->init(MaxChannels, MaxSamples))
        return nullptr;
    rec->header.clockKHz = 12000;
    rec->header.divider = 4;
    fillNoisySines(*rec);
    return rec;
}

void detect(benchmark::State& state, const TWaveStor* rec)
{
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    const ae::HitSettings settings;
    std::size_t hits = 0;
    for (auto _ : state) {
        const std::vector<ae::Hit> found = ae::detectHits(*rec, settings);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["hits"] = double(hits);
    state.SetItemsProcessed(state.iterations() * MaxChannels * qint64(MaxSamples));
}

void BM_DetectBursts(benchmark::State& state)
{
    static const std::unique_ptr<TWaveStor> rec = demoRecord();
    detect(state, rec.get());
}
BENCHMARK(BM_DetectBursts)->Unit(benchmark::kMillisecond);

void BM_DetectAboveThresholdEverywhere(benchmark::State& state)
{
    static const std::unique_ptr<TWaveStor> rec = sineRecord();
    detect(state, rec.get());
}
BENCHMARK(BM_DetectAboveThresholdEverywhere)->Unit(benchmark::kMillisecond);

// Time per hit: the counter's rate inverted.
benchmark::Counter perHit(double hits)
{
    return benchmark::Counter(hits,
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SpectraOfDemoHits(benchmark::State& state)
{
    static const std::unique_ptr<TWaveStor> rec = demoRecord();
    static std::vector<ae::Hit> hits = rec ? ae::detectHits(*rec, ae::HitSettings()) : std::vector<ae::Hit>();
    if (hits.empty()) {
        state.SkipWithError("no hits");
        return;
    }
    ae::HitSpectrometer spectra;
    double samples = 0;
    for (const ae::Hit& h : hits)
        samples += double(std::min(h.last - h.first + 1, ae::SpectrumSamples));
    for (auto _ : state) {
        for (ae::Hit& h : hits)
            spectra.measure(*rec->channel(h.channel), rec->channelHeader(h.channel)->gainCode, h);
        benchmark::DoNotOptimize(hits.data());
    }
    state.counters["hits"] = double(hits.size());
    state.counters["samples_per_hit"] = samples / double(hits.size());
    state.counters["s_per_hit"] = perHit(double(hits.size()));
}
BENCHMARK(BM_SpectraOfDemoHits)->Unit(benchmark::kMillisecond);

// A hit of state.range(0) samples of the noisy sines, taken along the channel.
void BM_SpectrumOfHitOfLength(benchmark::State& state)
{
    static const std::unique_ptr<TWaveStor> rec = sineRecord();
    if (!rec) {
        state.SkipWithError("no record");
        return;
    }
    const qint64 n = state.range(0);
    ae::HitSpectrometer spectra;
    ae::Hit h;
    qint64 at = 0;
    for (auto _ : state) {
        h.first = at;
        h.last = at + n - 1;
        spectra.measure(*rec->channel(0), 0, h);
        benchmark::DoNotOptimize(h.centroidCycles);
        at = at + 2 * n < MaxSamples ? at + n : 0;
    }
    state.counters["s_per_hit"] = perHit(1);
}
BENCHMARK(BM_SpectrumOfHitOfLength)
    ->Arg(2)
    ->Arg(64)
    ->Arg(1024)
    ->Arg(16384)
    ->Arg(65536)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
