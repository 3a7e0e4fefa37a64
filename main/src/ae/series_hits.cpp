#include "ae/series_hits.h"

#include "wave_stor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ae {

namespace {

std::optional<qint64> startUs(const QDateTime& utc)
{
    if (!utc.isValid())
        return std::nullopt;
    return utc.toMSecsSinceEpoch() * 1000;
}

} // namespace

std::optional<qint64> recordStartUtcUs(const QString& rawFilePath)
{
    // A window's title names its file, or is no file at all ("NoName - 1").
    const QString path = QDir::fromNativeSeparators(rawFilePath);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    const std::optional<series::LogRow> row = series::logRowFor(path);
    return row ? startUs(row->startUtc) : std::nullopt;
}

SeriesHitCollector::SeriesHitCollector(const QString& folder, const HitSettings& settings)
    : m_folder(folder)
    , m_settings(settings)
{}

QVector<series::LogRow> SeriesHitCollector::pending(const series::FolderListing& listing) const
{
    QVector<series::LogRow> rows;
    for (const series::LogRow& r : listing.rows)
        if (!r.file.isEmpty() && (r.ok() || r.status.isEmpty()) && !m_done.contains(r.file))
            rows << r;
    return rows;
}

bool SeriesHitCollector::collect(const series::LogRow& row, std::vector<AnalysisHit>& hits,
                                 QStringList& records)
{
    m_done.insert(row.file);
    const QString path = QDir(m_folder).filePath(row.file);
    TWaveStor record;
    if (record.readFileCondition(path) != 0) {
        ++m_unreadable;
        return false;
    }
    const std::optional<qint64> start = startUs(row.startUtc);
    if (!start)
        ++m_withoutStart;
    const std::vector<AnalysisHit> found =
        analysisHits(detectHits(record, m_settings), record.samplePeriodUs(), m_records++, start, true);
    hits.insert(hits.end(), found.begin(), found.end());
    records << path;
    return true;
}

QString SeriesHitCollector::note(const series::FolderListing& listing) const
{
    int failed = 0;
    for (const series::LogRow& r : listing.rows)
        failed += r.file.isEmpty() || (!r.ok() && !r.status.isEmpty()) ? 1 : 0;
    QStringList parts;
    auto say = [&parts](int n, const char* text) {
        if (n > 0)
            parts << QCoreApplication::translate("TAnalysisWindow", text).arg(n);
    };
    say(failed, QT_TRANSLATE_NOOP("TAnalysisWindow", "записей не сохранено (строки журнала с ошибкой): %1"));
    say(m_unreadable, QT_TRANSLATE_NOOP("TAnalysisWindow", "файлов нет или они не читаются: %1"));
    say(listing.unreadable, QT_TRANSLATE_NOOP("TAnalysisWindow", "нечитаемых строк журнала: %1"));
    say(m_withoutStart,
        QT_TRANSLATE_NOOP("TAnalysisWindow", "записей без времени начала (их импульсов нет на "
                                             "графиках по времени): %1"));
    QString text;
    if (!parts.isEmpty())
        text = QCoreApplication::translate("TAnalysisWindow", "Пропущено: %1.")
                   .arg(parts.join(QStringLiteral("; ")));
    if (!listing.hasLog)
        text = (text.isEmpty() ? QString() : text + QLatin1Char(' ')) +
               QCoreApplication::translate("TAnalysisWindow", "Журнала series.csv нет: время записи — время "
                                                              "изменения её файла.");
    return text;
}

} // namespace ae
