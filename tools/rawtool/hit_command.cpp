// The hits subcommand: the acoustic-emission hits of every file as one CSV on standard output,
// found and written by the same code as the program's hit table; with --summary one row per file
// and channel instead.

#include "rawtool.h"

#include "ae/hit_csv.h"
#include "ae/hit_features.h"
#include "ae/hits.h"
#include "ae/series_hits.h"
#include "wave_stor.h"

#include <cmath>

namespace rawtool {

int readHitSettings(const Arguments& a, Streams& s, ae::HitSettings& settings)
{
    const std::pair<const char*, double*> numbers[] = {{"--threshold", &settings.thresholdV},
                                                       {"--pdt", &settings.pdtUs},
                                                       {"--hdt", &settings.hdtUs},
                                                       {"--hlt", &settings.hltUs}};
    for (const auto& [name, value] : numbers) {
        const QString option = QString::fromLatin1(name);
        if (!a.values.contains(option))
            continue;
        bool ok = false;
        const double v = a.values.value(option).toDouble(&ok);
        // A threshold of 0 would make every sample of the record one hit.
        const bool threshold = value == &settings.thresholdV;
        if (!ok || !std::isfinite(v) || v < 0 || (threshold && v == 0)) {
            s.err << "rawtool: " << option << ' ' << a.values.value(option) << ": "
                  << (threshold ? "a number of volts above 0" : "a number of microseconds, 0 or more") << '\n'
                  << "Try 'rawtool --help'.\n";
            return ExitUsage;
        }
        *value = v;
    }
    return ExitOk;
}

int runHits(const Arguments& a, Streams& s)
{
    ae::HitSettings settings;
    if (readHitSettings(a, s, settings) != ExitOk)
        return ExitUsage;
    const bool summary = a.switches.contains(QStringLiteral("--summary"));
    s.out << (summary ? ae::summaryCsvHeader() : ae::hitsCsvHeader()) << '\n';
    return forEachRecord(a, s, [&](const QString& file, const TWaveStor& record) {
        const std::vector<ae::Hit> hits = ae::detectHits(record, settings);
        const double period = record.samplePeriodUs();
        if (!summary) {
            QByteArray rows;
            ae::appendHitsCsv(rows, file, hits, period, ae::recordStartUtcUs(file));
            s.out << QString::fromUtf8(rows);
            return;
        }
        std::vector<ae::HitRow> rows;
        rows.reserve(hits.size());
        for (const ae::Hit& h : hits)
            rows.push_back(ae::hitRow(h, period));
        std::vector<int> channels;
        for (int slot : ae::searchedSlots(record))
            channels.push_back(slot + 1);
        for (const ae::ChannelSummary& c : ae::summarizeChannels(rows, channels))
            s.out << ae::summaryCsvLine(file, c) << '\n';
    });
}

} // namespace rawtool
