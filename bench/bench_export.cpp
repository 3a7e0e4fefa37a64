// Export of a maximal record (5 x 163840 samples of noisy sines): CSV in each value mode and WAV,
// formatted into a device that drops the bytes, and the whole export to a file (temporary file,
// sync to the disk and rename included).
//
//   nice -n 19 bench_export --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "export/record_export.h"
#include "noisy_record.h"
#include "wave_stor.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QIODevice>
#include <QTemporaryDir>

#include <memory>

namespace {

using dataexport::Format;
using dataexport::ValueMode;

// Takes every byte and keeps none: the cost measured is the formatting alone.
class NullDevice : public QIODevice
{
public:
    NullDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 n) override { return n; }
};

std::unique_ptr<TWaveStor> maximalRecord()
{
    auto rec = std::make_unique<TWaveStor>(QRect(0, 0, 1920, 1080));
    if (!rec->init(MaxChannels, MaxSamples))
        return nullptr;
    fillNoisySines(*rec);
    rec->header.clockKHz = 12000;
    rec->header.divider = 4;
    for (int ch = 0; ch < MaxChannels; ++ch)
        rec->channelHeader(ch)->gainCode = quint16(ch * 3);
    rec->setFilter(pmEnvelope, 8); // for the processed mode
    return rec;
}

void BM_CsvToDevice(benchmark::State& state)
{
    auto rec = maximalRecord();
    dataexport::Request request;
    request.mode = ValueMode(state.range(0));
    for (auto _ : state) {
        NullDevice out;
        if (dataexport::writeCsv(out, *rec, request) != 0)
            state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_CsvToDevice)
    ->ArgName("mode")
    ->Arg(int(ValueMode::Raw))
    ->Arg(int(ValueMode::Volts))
    ->Arg(int(ValueMode::Processed))
    ->Unit(benchmark::kMillisecond);

void BM_WavToDevice(benchmark::State& state)
{
    auto rec = maximalRecord();
    for (auto _ : state) {
        NullDevice out;
        if (dataexport::writeWav(out, *rec, {}) != 0)
            state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_WavToDevice)->Unit(benchmark::kMillisecond);

// The whole command: a file beside the others in a temporary folder, replaced each time.
void BM_ExportToFile(benchmark::State& state)
{
    auto rec = maximalRecord();
    QTemporaryDir dir;
    const Format format = Format(state.range(0));
    const QString path = dir.filePath(QStringLiteral("max") + dataexport::suffix(format));
    dataexport::Request request; // volts
    for (auto _ : state)
        if (dataexport::exportRecord(format, path, *rec, request) != 0)
            state.SkipWithError("export failed");
}
BENCHMARK(BM_ExportToFile)
    ->ArgName("format")
    ->Arg(int(Format::Csv))
    ->Arg(int(Format::Wav))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
