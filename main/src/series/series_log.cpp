#include "series/series_log.h"

#include "wave_stor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace series {

namespace {

constexpr int Fields = 8;

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The fields of one CSV line; nothing when a quote is left open or text follows a closing quote.
std::optional<QStringList> splitCsv(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    bool closed = false; // a quoted field has ended: only a comma may follow
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != QLatin1Char('"'))
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                field += line[++i];
            else {
                quoted = false;
                closed = true;
            }
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            closed = false;
        } else if (closed) {
            return std::nullopt;
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    fields << field;
    return fields;
}

// A whole number field: empty reads as fallback; anything else must be digits.
bool readNumber(const QString& text, qint64 fallback, qint64& out)
{
    if (text.isEmpty()) {
        out = fallback;
        return true;
    }
    bool ok = false;
    out = text.toLongLong(&ok);
    return ok && out >= 0;
}

bool readTime(const QString& text, QDateTime& out)
{
    out = parseUtc(text);
    return text.isEmpty() || out.isValid();
}

} // namespace

QString logFileName()
{
    return QStringLiteral("series.csv");
}

QString logHeader()
{
    return QStringLiteral("file,start_utc,end_utc,channels,samples,rate_hz,hits,status");
}

QString utcText(const QDateTime& t)
{
    if (!t.isValid())
        return QString();
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

QDateTime parseUtc(const QString& text)
{
    // Exactly 2026-12-07T10:15:02.347Z; the date and time parsers check the ranges.
    if (text.size() != 24 || text[10] != QLatin1Char('T') || text[23] != QLatin1Char('Z'))
        return QDateTime();
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11, 12), QStringLiteral("HH:mm:ss.zzz"));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

QString recordName(const QString& prefix, int number)
{
    return prefix + QStringLiteral("_%1.raw").arg(number, 5, 10, QLatin1Char('0'));
}

int nextFreeNumber(const QString& folder, const QString& prefix, int from)
{
    const QDir dir(folder);
    for (int n = std::max(from, 1); n <= MaxRecordNumber; ++n) {
        // A dangling link or anything else at the name counts as taken.
        const QFileInfo info(dir.filePath(recordName(prefix, n)));
        if (!info.exists() && !info.isSymLink())
            return n;
    }
    return 0;
}

QString logLine(const LogRow& r)
{
    const QStringList fields = {csvField(r.file),
                                utcText(r.startUtc),
                                utcText(r.endUtc),
                                QString::number(r.channels),
                                QString::number(r.samples),
                                QString::number(r.rateHz),
                                r.hits < 0 ? QString() : QString::number(r.hits),
                                csvField(r.status)};
    return fields.join(QLatin1Char(','));
}

std::optional<LogRow> parseLogLine(const QString& line)
{
    const std::optional<QStringList> f = splitCsv(line);
    if (!f || f->size() != Fields)
        return std::nullopt;
    LogRow r;
    r.file = (*f)[0];
    qint64 channels = 0, hits = 0;
    if (!readTime((*f)[1], r.startUtc) || !readTime((*f)[2], r.endUtc) || !readNumber((*f)[3], 0, channels) ||
        !readNumber((*f)[4], 0, r.samples) || !readNumber((*f)[5], 0, r.rateHz) ||
        !readNumber((*f)[6], -1, hits) || channels > 1000 || hits > std::numeric_limits<int>::max())
        return std::nullopt;
    r.channels = int(channels);
    r.hits = int(hits);
    r.status = (*f)[7];
    return r;
}

LogContents readLog(const QString& path)
{
    LogContents c;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return c;
    c.found = true;
    bool first = true;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (first) {
            first = false;
            c.headerOk = line == logHeader();
            if (!c.headerOk)
                return c; // another file of that name: none of its lines are ours
            continue;
        }
        if (line.isEmpty())
            continue;
        if (const std::optional<LogRow> r = parseLogLine(line))
            c.rows << *r;
        else
            ++c.unreadable;
    }
    return c;
}

int appendLogRow(const QString& folder, const LogRow& row)
{
    const QString path = QDir(folder).filePath(logFileName());
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        const QByteArray header = logHeader().toUtf8() + '\n';
        TemporaryFileOptions once;
        once.replaceExisting = false;
        const int made = writeFileSafely(
            path, [&header](QIODevice& out) { return out.write(header) == header.size(); }, once);
        // Made meanwhile by someone else: appended to as it is.
        if (made != 0 && made != RawWriteNotReplaced)
            return made;
    }
    QByteArray line = logLine(row).toUtf8() + '\n';
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RawWriteFailed;
    if (file.size() > 0 && file.seek(file.size() - 1)) {
        char last = '\n';
        if (file.read(&last, 1) == 1 && last != '\n')
            line.prepend('\n');
    }
    file.close();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly |
                   QIODevice::Unbuffered))
        return RawWriteFailed;
    if (file.write(line) != line.size() || !syncToDisk(file))
        return RawWriteFailed;
    return 0;
}

FolderListing listRecords(const QString& folder)
{
    FolderListing listing;
    const QDir dir(folder);
    const LogContents log = readLog(dir.filePath(logFileName()));
    listing.hasLog = log.found && log.headerOk;
    listing.rows = log.rows;
    listing.unreadable = log.unreadable;
    QSet<QString> named;
    for (const LogRow& r : log.rows)
        named.insert(r.file);

    QFileInfoList files = dir.entryInfoList({QStringLiteral("*.raw")}, QDir::Files, QDir::Name);
    std::stable_sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    for (const QFileInfo& f : files) {
        if (named.contains(f.fileName()))
            continue;
        LogRow r;
        r.file = f.fileName();
        r.startUtc = f.lastModified().toUTC();
        listing.rows << r;
    }
    return listing;
}

std::optional<LogRow> logRowFor(const QString& rawFilePath)
{
    const QFileInfo info(rawFilePath);
    const LogContents log = readLog(info.dir().filePath(logFileName()));
    for (auto r = log.rows.crbegin(); r != log.rows.crend(); ++r)
        if (r->file == info.fileName())
            return *r;
    return std::nullopt;
}

} // namespace series
