#pragma once

// The files of a series in its folder: the record names PREFIX_NNNNN.raw and the series log
// series.csv (one line per acquisition, UTC times with milliseconds). Plain code: Qt Core and the
// safe file writer; usable without widgets (the series table, the activity plots, tools).

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace series {

// The log's file name in the folder of a series, and its first line.
QString logFileName();
QString logHeader();

// 2026-12-07T10:15:02.347Z: ISO 8601 in UTC with milliseconds; empty for an invalid time.
QString utcText(const QDateTime& t);
// The time of such a text (UTC); invalid unless the text has exactly that form.
QDateTime parseUtc(const QString& text);

// The file of record number (1 ... MaxRecordNumber): prefix, '_', five digits, ".raw".
QString recordName(const QString& prefix, int number);
constexpr int MaxRecordNumber = 99999;
// The first number from `from` on whose file does not exist in folder; 0 when none is left.
int nextFreeNumber(const QString& folder, const QString& prefix, int from);

// One line of the log.
struct LogRow
{
    QString file; // the record's file name in the folder; empty when it was not saved
    QDateTime startUtc;
    QDateTime endUtc;
    int channels = 0;
    qint64 samples = 0; // per channel
    qint64 rateHz = 0;
    int hits = -1;  // -1: the hit search was off (an empty field)
    QString status; // "ok", or "failed: " and the reason
    bool ok() const { return status == QLatin1String("ok"); }
};

// A row as a line of the log (no line end); fields holding a comma or a quote are quoted.
QString logLine(const LogRow& row);
// The row of a line; nothing when the line does not have the log's eight fields with readable
// times and numbers (an empty time or number field is allowed: it reads as invalid or 0).
std::optional<LogRow> parseLogLine(const QString& line);

struct LogContents
{
    bool found = false;    // the file exists and could be read
    bool headerOk = false; // its first line is the log's header
    QVector<LogRow> rows;  // every readable line after the header, in file order
    int unreadable = 0;    // lines that could not be read (empty lines are not counted)
};
// Reads a log; a missing or foreign file gives no rows.
LogContents readLog(const QString& path);

// Appends row to the log of folder. A folder without a log gets one with its header first,
// written through the safe writer so that a log appearing meanwhile is never replaced; then the
// line is appended in one write, flushed and synced, so that it is on the disk before the next
// acquisition starts. A log whose last line was cut (a power cut) gets a line end first. Lines
// already there are never rewritten. 0, or a RawWriteResult (RawWriteFailed when the log cannot
// be opened, written or synced).
int appendLogRow(const QString& folder, const LogRow& row);

// The records of a folder: the log's rows in its order, then the raw files the log does not
// name (or all of them without a log), by their modification time (their start then; no end,
// no hits, empty status).
struct FolderListing
{
    bool hasLog = false;
    QVector<LogRow> rows;
    int unreadable = 0; // lines of the log that could not be read
};
FolderListing listRecords(const QString& folder);

// The log row of a raw file, from the series.csv beside it (the last row naming it).
std::optional<LogRow> logRowFor(const QString& rawFilePath);

} // namespace series
