#include "series/series_run.h"

#include "wave_stor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <utility>

namespace series {

bool validPrefix(const QString& prefix)
{
    if (prefix.isEmpty() || prefix.size() > MaxPrefixLength || prefix.startsWith(QLatin1Char('.')) ||
        prefix.startsWith(QLatin1Char(' ')) || prefix.endsWith(QLatin1Char(' ')) ||
        prefix.endsWith(QLatin1Char('.')))
        return false;
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|,");
    for (const QChar c : prefix)
        if (c.category() == QChar::Other_Control || forbidden.contains(c))
            return false;
    return true;
}

QString elapsedText(qint64 ms)
{
    const qint64 s = std::max<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString statusText(const Status& s, const Settings& settings, const std::optional<End>& end)
{
    auto tr = [](const char* text) { return QCoreApplication::translate("series", text); };
    const QString of = settings.count > 0 ? tr(" из %1").arg(settings.count) : QString();
    QString text;
    if (end) {
        text = (*end == End::Completed ? tr("Серия завершена")
                : *end == End::Stopped ? tr("Серия остановлена")
                                       : tr("Серия прервана")) +
               tr(": сохранено %1").arg(s.saved) + of;
    } else if (s.phase == Phase::Acquiring) {
        text = tr("Серия: запись %1").arg(s.saved + 1) + of;
    } else if (s.phase == Phase::Waiting) {
        text = tr("Серия: ждёт закрытия диалога, сохранено %1").arg(s.saved) + of;
    } else {
        text = tr("Серия: пауза, сохранено %1").arg(s.saved) + of;
    }
    if (!end && s.failuresInRow > 0)
        text += tr(" (неудачных попыток: %1)").arg(s.failuresInRow);
    text += QStringLiteral(" · ") + elapsedText(s.elapsedMs);
    if (settings.findHits)
        text += tr(" · импульсов АЭ: %1").arg(s.hits);
    return text;
}

Run::Run(const Settings& settings, const ae::HitSettings* hits, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_hits(hits)
    , m_hooks(std::move(hooks))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { next(); });
}

void Run::start()
{
    if (m_status.phase != Phase::Idle)
        return;
    m_clock.start();
    report(Phase::Pausing);
    m_timer.start(0);
}

void Run::stop()
{
    if (!running())
        return;
    m_stopRequested = true;
    if (m_status.phase == Phase::Acquiring) {
        // Ended where the acquisition returns: nothing may go from under it.
        if (m_hooks.abort)
            m_hooks.abort();
        return;
    }
    m_timer.stop();
    finish(End::Stopped);
}

void Run::next()
{
    if (m_stopRequested) {
        finish(End::Stopped);
        return;
    }
    // A dialog open over the program may hold the series window's record: it goes first.
    if (m_hooks.mayAcquire && !m_hooks.mayAcquire()) {
        if (m_status.phase != Phase::Waiting)
            report(Phase::Waiting);
        m_timer.start(WaitPollMs);
        return;
    }
    ++m_status.attempt;
    report(Phase::Acquiring);
    const Acquired a = m_hooks.acquire ? m_hooks.acquire() : Acquired();
    if (a.ok && a.record) {
        m_status.failuresInRow = 0;
        if (!keep(a))
            return;
    } else {
        ++m_status.failuresInRow;
        LogRow row;
        row.startUtc = a.startUtc;
        row.endUtc = a.endUtc;
        // A stopped acquisition says so whatever the link made of it.
        row.status =
            QStringLiteral("failed: ") +
            (m_stopRequested ? QStringLiteral("stopped")
                             : (a.failure.isEmpty() ? QStringLiteral("acquisition failed") : a.failure));
        if (!logRow(row))
            return;
        if (!m_stopRequested && m_status.failuresInRow >= FailuresToStop) {
            finish(End::LoadFailed);
            return;
        }
    }
    if (m_stopRequested) {
        finish(End::Stopped);
        return;
    }
    if (m_settings.count > 0 && m_status.saved >= m_settings.count) {
        finish(End::Completed);
        return;
    }
    pause();
}

bool Run::keep(const Acquired& a)
{
    TWaveStor& record = *a.record;
    LogRow row;
    row.startUtc = a.startUtc;
    row.endUtc = a.endUtc;
    row.channels = record.channelCount();
    row.samples = record.length();
    row.rateHz = samplingRateHz(record.header.clockKHz, record.header.divider);

    // The next free name; a file that appears there meanwhile is passed over, never replaced.
    const QDir dir(m_settings.folder);
    QString path;
    int result = RawWriteNotReplaced;
    for (int tries = 0; tries < 10 && result == RawWriteNotReplaced; ++tries) {
        m_number = nextFreeNumber(m_settings.folder, m_settings.prefix, m_number);
        if (m_number == 0) {
            row.status = QStringLiteral("failed: no free file name");
            logRow(row);
            finish(End::NoFreeName, dir.filePath(recordName(m_settings.prefix, MaxRecordNumber)));
            return false;
        }
        path = dir.filePath(recordName(m_settings.prefix, m_number));
        result = record.writeFile(path, false);
        if (result != RawWriteNotReplaced)
            break;
        // Refused with nothing there: the folder itself is gone, no other name would do.
        const QFileInfo taken(path);
        if (!taken.exists() && !taken.isSymLink())
            break;
        ++m_number;
    }
    if (result != 0) {
        // Logged when the log can still be written; the series ends on the record either way.
        row.status = QStringLiteral("failed: not saved (%1)").arg(result);
        appendLogRow(m_settings.folder, row);
        finish(End::SaveFailed, path, result);
        return false;
    }
    ++m_number;
    ++m_status.saved;
    m_status.lastFile = path;
    if (m_hooks.saved)
        m_hooks.saved(path);

    row.file = recordName(m_settings.prefix, m_number - 1);
    if (m_hits) {
        const std::vector<ae::Hit> hits = ae::detectHits(record, *m_hits);
        row.hits = int(hits.size());
        m_status.hits += qint64(hits.size());
    }
    row.status = QStringLiteral("ok");
    return logRow(row);
}

bool Run::logRow(const LogRow& row)
{
    const int result = appendLogRow(m_settings.folder, row);
    if (result == 0)
        return true;
    finish(End::SaveFailed, QDir(m_settings.folder).filePath(logFileName()), result);
    return false;
}

void Run::pause()
{
    report(Phase::Pausing);
    m_timer.start(m_settings.pauseS * 1000);
}

void Run::report(Phase phase)
{
    m_status.phase = phase;
    m_status.elapsedMs = elapsedMs();
    if (m_hooks.status)
        m_hooks.status(m_status);
}

void Run::finish(End end, const QString& path, int writeResult)
{
    if (m_status.phase == Phase::Finished)
        return;
    m_timer.stop();
    report(Phase::Finished);
    Outcome o;
    o.end = end;
    o.status = m_status;
    o.path = path;
    o.writeResult = writeResult;
    if (m_hooks.finished)
        m_hooks.finished(o);
}

} // namespace series
