// Hit detection over a maximal record (5 x 163840 samples) with the default settings: a recording
// of the emulated unit (bursts over quiet noise, most samples outside any hit) and noisy sines
// that lie above the threshold nearly everywhere (nearly every sample inside a hit, the slow
// path).
//
//   nice -n 19 bench_ae --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

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

} // namespace

BENCHMARK_MAIN();
