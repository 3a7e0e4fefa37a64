// Source location: the planar solver over 10 000 four-sensor events on the emulated unit's plate
// (sources over the whole search box, arrivals off by up to ±2 µs), AIC onsets for 10 000 hits at
// 1 and 3 MHz (full 200 µs windows: 211 and 631 samples), and a whole maximal recording of the
// emulated unit located (hits, picks, events).
//
//   nice -n 19 bench_location --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include "ae/location.h"
#include "k4demo.h"
#include "wave_stor.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int Events = 10000;
constexpr int Hits = 10000;

std::vector<ae::Sensor> plate()
{
    std::vector<ae::Sensor> s;
    for (int ch = 0; ch < 4; ++ch)
        s.push_back({ch, k4SensorX(ch), k4SensorY(ch)});
    return s;
}

void BM_PlanarEvents(benchmark::State& state)
{
    const std::vector<ae::Sensor> sensors = plate();
    QRandomGenerator random(11);
    std::vector<int> order(std::size_t(Events) * 4);
    std::vector<double> times(std::size_t(Events) * 4);
    for (int e = 0; e < Events; ++e) {
        const double x = -0.25 + random.generateDouble(), y = -0.25 + random.generateDouble();
        int* o = &order[std::size_t(e) * 4];
        double* t = &times[std::size_t(e) * 4];
        double at[4];
        for (int i = 0; i < 4; ++i) {
            at[i] = std::hypot(x - sensors[std::size_t(i)].x, y - sensors[std::size_t(i)].y) / 5000.0 * 1e6 +
                    4.0 * (random.generateDouble() - 0.5);
            o[i] = i;
        }
        std::sort(o, o + 4, [&](int a, int b) { return at[a] < at[b]; });
        for (int i = 0; i < 4; ++i)
            t[i] = at[o[i]];
    }
    double sum = 0;
    for (auto _ : state) {
        const ae::PlanarLocator locator(sensors, 5000.0); // once per run, as a location makes it
        for (int e = 0; e < Events; ++e) {
            double x, y, r;
            locator.locate(&order[std::size_t(e) * 4], &times[std::size_t(e) * 4], 4, x, y, r);
            sum += x + y + r;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Events);
}
BENCHMARK(BM_PlanarEvents)->Unit(benchmark::kMillisecond);

// 10 000 AIC picks over noisy records at megahertz MHz, hits 1.5 windows apart so that no window
// is cut by the previous hit.
void BM_AicPicks(benchmark::State& state)
{
    const int megahertz = int(state.range(0));
    TWaveStor rec;
    if (!rec.init(MaxChannels, MaxSamples)) {
        state.SkipWithError("no record");
        return;
    }
    rec.header.clockKHz = 12000;
    rec.header.divider = 12 / megahertz;
    QRandomGenerator random(5);
    for (int ch = 0; ch < MaxChannels; ++ch)
        for (int i = 0; i < MaxSamples; ++i)
            rec.channel(ch)->setSample(i, qint8(random.bounded(-40, 41)));
    const ae::HitSettings hitSettings{0.1, 200, 0, 0};
    ae::LocationSettings s;
    const qint64 spacing = 315 * megahertz; // samples
    std::vector<std::vector<ae::Hit>> runs(1);
    int n = 0;
    while (n < Hits) {
        for (int ch = 0; ch < MaxChannels && n < Hits; ++ch)
            for (qint64 at = spacing; at + spacing < MaxSamples && n < Hits; at += spacing, ++n)
                runs.back().push_back(ae::Hit{ch, at, at, at, 0.5, 1, 1, 1});
        if (n < Hits)
            runs.emplace_back();
    }
    for (auto _ : state) {
        qint64 sum = 0;
        for (const std::vector<ae::Hit>& hits : runs)
            for (const ae::Pick& p : ae::pickArrivals(rec, hits, hitSettings, s))
                sum += p.sample;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Hits);
}
BENCHMARK(BM_AicPicks)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// A maximal recording of the emulated unit at 250 kHz (4 x 163840 samples, about 0.65 s of the
// plate's bursts) from hits to located events.
void BM_LocateDemoRecord(benchmark::State& state)
{
    TWaveStor rec;
    if (!rec.init(4, MaxSamples)) {
        state.SkipWithError("no record");
        return;
    }
    K4Setup setup;
    setup.waitCount = 11;
    rec.header.clockKHz = 3000;
    rec.header.divider = 12;
    for (int ch = 0; ch < 4; ++ch) {
        const QByteArray b = k4ChannelBytes(setup, 3, ch, MaxSamples);
        for (int i = 0; i < MaxSamples; ++i)
            rec.channel(ch)->setSample(i, qint8(b[i]));
    }
    ae::LocationSettings s;
    s.sensors = plate();
    std::size_t events = 0;
    for (auto _ : state) {
        const ae::LocationResult r = ae::locateRecord(rec, ae::HitSettings(), s);
        events = r.events.size();
        benchmark::DoNotOptimize(r.events.data());
    }
    state.counters["events"] = double(events);
}
BENCHMARK(BM_LocateDemoRecord)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
