#pragma once

// The hit table as text: the CSV rows that the program's export and the command-line tool write,
// and the fields that the table shows and copies.

#include "ae/hit_features.h"
#include "ae/hits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace ae {

// The header row, without a line end:
// file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,counts,counts_to_peak,energy_v2s,avg_freq_khz,
// ra_ms_per_v,peak_freq_khz,centroid_khz,time_utc
QString hitsCsvHeader();
// The fields of a row after "file", in header order, dot as the decimal separator; a value that
// is absent is an empty field.
QStringList hitFields(const HitRow& row);
// Field i (0 ... HitFieldCount - 1) of hitFields alone: the table formats what it shows.
constexpr int HitFieldCount = 14;
QString hitField(const HitRow& row, int i);
// A field as CSV holds it: quoted (quotes doubled) when it holds a comma, a quote or a line end.
QString csvField(const QString& text);
// One row, without a line end.
QString hitsCsvLine(const QString& file, const HitRow& row);
// The rows of the hits of one file, each ended by "\n", appended to out in UTF-8.
// startUtcUs: the record's start when known (time_utc).
void appendHitsCsv(QByteArray& out, const QString& file, const std::vector<Hit>& hits, double periodUs,
                   std::optional<qint64> startUtcUs = std::nullopt);

// An absolute time in ISO 8601 UTC with microseconds: 2026-12-07T10:15:02.347125Z.
QString utcText(qint64 microsecondsSinceEpoch);

// The summary of hits per channel (rawtool hits --summary, the analysis window), header without a
// line end: file,channel,hits,energy_v2s,peak_db_max,b_value
QString summaryCsvHeader();
QStringList summaryFields(const ChannelSummary& s); // after "file"
QString summaryCsvLine(const QString& file, const ChannelSummary& s);

} // namespace ae
