#pragma once

// Hits on the absolute time axis: a record's start from the series.csv beside it, and the hits of
// a whole series folder read record by record (those of a running series as its records come).
// Plain code: the record reader, the hit search, the series log.

#include "ae/analysis.h"
#include "ae/hits.h"
#include "series/series_log.h"

#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

namespace ae {

// When the record in rawFilePath (an existing file) started, in µs since the epoch: the start_utc
// of the series.csv beside it that names it; none without such a file, log, line or readable time.
std::optional<qint64> recordStartUtcUs(const QString& rawFilePath);

// The hits of a series folder's records, each record read and searched once: a running series
// hands over its listing again after every record and gets the new ones.
class SeriesHitCollector
{
public:
    SeriesHitCollector(const QString& folder, const HitSettings& settings);

    // The rows of listing whose records are to be read now: saved ("ok", or a file without a
    // log) and not read before, in the listing's order.
    QVector<series::LogRow> pending(const series::FolderListing& listing) const;
    // Reads and searches the record of row (a pending one); its hits go to hits, with absolute
    // times (none without a start), its path to records (a hit's record indexes it). False when
    // the file cannot be read: it is counted and not tried again.
    bool collect(const series::LogRow& row, std::vector<AnalysisHit>& hits, QStringList& records);

    // What the plots leave out, in words for the window (empty when nothing): records not saved,
    // files missing or unreadable, log lines unreadable, records without a start time, a folder
    // without a log.
    QString note(const series::FolderListing& listing) const;

private:
    QString m_folder;
    HitSettings m_settings;
    QSet<QString> m_done; // file names read (or failed)
    int m_records = 0;    // records read, the index of the next one
    int m_unreadable = 0; // files that could not be read
    int m_withoutStart = 0;
};

} // namespace ae
