// Series of records.
//
// SeriesTurnaround: the series engine between two acquisitions, from the end of one record's
// reading to the start of the next acquisition, pause 0: the save of a 4 x 163840 record under a
// new name (temporary file, sync, rename, folder sync), the hit search with the default settings,
// the log line appended and synced, and the way back through the event loop. The acquisition is
// a stand-in that hands over the same record of the emulated unit's signals at once; the folder is
// a temporary one (TMPDIR chooses the disk). Save, search and log line are timed alone beside it.
//
//   nice -n 19 bench_series --benchmark_filter='Turnaround|Alone' --benchmark_repetitions=9
//   (add --benchmark_report_aggregates_only=true for the mean, median and spread only)
//
// SeriesGapInProgram: the gap as series.csv records it (end_utc to the next start_utc) for 20
// pairs of 4 x 131068 records through a main window and the in-process unit:
//
//   nice -n 19 bench_series --benchmark_filter=SeriesGapInProgram
//
// SeriesMemory: 1000 records of 4 x 1000 samples through a main window and the in-process unit
// (unpaced, pause 0, hit search on): the process's peak RSS once 100 and once 1000 records are
// saved, beside the peak before the series. Run it alone (a peak is the process's own), it takes
// a few minutes:
//
//   bench_series --benchmark_filter=SeriesMemory

#include "k4demo.h"
#include "main_window.h"
#include "rs232.h"
#include "series/series_run.h"
#include "settings.h"
#include "wave_stor.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

constexpr int Channels = 4;

MainWnd* g_main = nullptr;

// The emulated unit's channels at 250 kHz, gain 1: bursts over quiet noise.
std::unique_ptr<TWaveStor> demoRecord(int samples)
{
    auto rec = std::make_unique<TWaveStor>();
    if (!rec->init(Channels, samples))
        return nullptr;
    K4Setup setup;
    setup.waitCount = 11;
    rec->header.clockKHz = 12000;
    rec->header.divider = 4 * setup.waitCount + 4;
    for (int ch = 0; ch < Channels; ++ch) {
        const QByteArray bytes = k4ChannelBytes(setup, 7, ch, samples);
        for (int i = 0; i < samples; ++i)
            rec->channel(ch)->setSample(i, qint8(bytes[i]));
    }
    return rec;
}

// Peak resident set of the process, MB (VmHWM).
double peakRssMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void SeriesTurnaround(benchmark::State& state)
{
    const std::unique_ptr<TWaveStor> rec = demoRecord(MaxSamples);
    QTemporaryDir dir;
    if (!rec || !dir.isValid()) {
        state.SkipWithError("no record or folder");
        return;
    }
    series::Settings s;
    s.folder = dir.path();
    s.findHits = true;
    const ae::HitSettings hits;
    using Clock = std::chrono::steady_clock;
    Clock::time_point handedOver;
    bool first = true;
    QString lastFile;
    QEventLoop loop;
    series::Run* run = nullptr;
    series::Hooks hooks;
    hooks.acquire = [&] {
        const Clock::time_point now = Clock::now();
        if (!first)
            state.SetIterationTime(std::chrono::duration<double>(now - handedOver).count());
        first = false;
        // Out of the timed span: keep the disk from filling up.
        if (!lastFile.isEmpty())
            QFile::remove(lastFile);
        series::Acquired a;
        if (!state.KeepRunning()) {
            run->stop();
            return a;
        }
        a.ok = true;
        a.record = rec.get();
        a.startUtc = a.endUtc = QDateTime::currentDateTimeUtc();
        handedOver = Clock::now();
        return a;
    };
    hooks.saved = [&](const QString& path) { lastFile = path; };
    hooks.finished = [&](const series::Outcome& o) {
        if (o.end != series::End::Stopped)
            state.SkipWithError("the series ended by itself");
        loop.quit();
    };
    series::Run r(s, &hits, hooks);
    run = &r;
    r.start();
    loop.exec();
    state.counters["hits"] = double(r.status().hits) / std::max(1, r.status().saved);
}
BENCHMARK(SeriesTurnaround)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void SaveAlone(benchmark::State& state)
{
    const std::unique_ptr<TWaveStor> rec = demoRecord(MaxSamples);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec_00001.raw"));
    for (auto _ : state) {
        if (rec->writeFile(path, false) != 0)
            state.SkipWithError("not saved");
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(SaveAlone)->Unit(benchmark::kMillisecond);

void HitSearchAlone(benchmark::State& state)
{
    const std::unique_ptr<TWaveStor> rec = demoRecord(MaxSamples);
    const ae::HitSettings hits;
    for (auto _ : state)
        benchmark::DoNotOptimize(ae::detectHits(*rec, hits).size());
}
BENCHMARK(HitSearchAlone)->Unit(benchmark::kMillisecond);

void LogLineAlone(benchmark::State& state)
{
    QTemporaryDir dir;
    series::LogRow row;
    row.file = QStringLiteral("rec_00001.raw");
    row.startUtc = row.endUtc = QDateTime::currentDateTimeUtc();
    row.channels = Channels;
    row.samples = MaxSamples;
    row.rateHz = 250000;
    row.hits = 12;
    row.status = QStringLiteral("ok");
    for (auto _ : state)
        if (series::appendLogRow(dir.path(), row) != 0)
            state.SkipWithError("not logged");
}
BENCHMARK(LogLineAlone)->Unit(benchmark::kMillisecond);

// The same gap as the program logs it: from one record's end_utc to the next one's start_utc in
// series.csv, for records of 4 x 131068 samples (the most the unit sends) acquired through a main
// window and the in-process unit, unpaced: the repaint of the series window, the readouts, the
// save, the hit search, the log line and the next acquisition's dialog included.
void SeriesGapInProgram(benchmark::State& state)
{
    QTemporaryDir dir;
    g_link.portName = demoPortName();
    demoUnit().setPaced(false);
    g_acquisitionParameters.halfLength = 65534;
    g_acquisitionParameters.waitCount = 11;
    series::Settings s;
    s.folder = dir.path();
    s.count = 21;
    s.findHits = true;
    for (auto _ : state) {
        if (!g_main->startSeries(s)) {
            state.SkipWithError("the series did not start");
            return;
        }
        while (g_main->seriesRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const QVector<series::LogRow> rows = series::listRecords(dir.path()).rows;
        double sum = 0, worst = 0;
        for (int i = 1; i < rows.size(); ++i) {
            const double gap = double(rows[i - 1].endUtc.msecsTo(rows[i].startUtc));
            sum += gap;
            worst = std::max(worst, gap);
        }
        const double mean = rows.size() > 1 ? sum / double(rows.size() - 1) : 0;
        state.SetIterationTime(mean / 1000.0);
        state.counters["gaps"] = double(rows.size() - 1);
        state.counters["gap_max_ms"] = worst;
    }
}
BENCHMARK(SeriesGapInProgram)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void SeriesMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    g_link.portName = demoPortName();
    demoUnit().setPaced(false);
    g_acquisitionParameters.halfLength = 500;
    g_acquisitionParameters.waitCount = 11;
    series::Settings s;
    s.folder = dir.path();
    s.count = 1000;
    s.findHits = true;
    for (auto _ : state) {
        state.counters["peak_MB_before"] = peakRssMb();
        if (!g_main->startSeries(s)) {
            state.SkipWithError("the series did not start");
            return;
        }
        QEventLoop loop;
        QTimer poll;
        bool at100 = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const series::Run* run = g_main->seriesRun();
            if (!run) {
                loop.quit();
                return;
            }
            if (!at100 && run->status().saved >= 100) {
                at100 = true;
                state.counters["peak_MB_after_100"] = peakRssMb();
            }
        });
        poll.start(5);
        loop.exec();
        state.counters["peak_MB_after_1000"] = peakRssMb();
        state.counters["saved"] = series::listRecords(dir.path()).rows.size();
    }
}
BENCHMARK(SeriesMemory)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    auto prepare = [](MainWnd& mainWindow) {
        g_main = &mainWindow;
        return true;
    };
    return runWithMainWindow(argc, argv, prepare);
}
