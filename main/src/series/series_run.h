#pragma once

// The series engine: record after record acquired through the shell, each saved at once under the
// next free PREFIX_NNNNN.raw, searched for hits when asked, and logged in series.csv before the
// next acquisition starts. Plain code on the GUI thread: the acquisition itself is the shell's
// (it serves events while it runs); the pause between records is a timer, so the program stays
// usable meanwhile. Knows nothing of windows: what it needs comes as hooks.

#include "ae/hits.h"
#include "series/series_log.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class TWaveStor;

namespace series {

// What the series dialog sets and adc.ini keeps (group SERIES).
struct Settings
{
    QString folder;
    QString prefix = QStringLiteral("rec");
    int count = 0;  // records to save; 0: until stopped
    int pauseS = 0; // between records, 0 ... MaxPauseS
    bool findHits = false;
    bool operator==(const Settings& o) const
    {
        return folder == o.folder && prefix == o.prefix && count == o.count && pauseS == o.pauseS &&
               findHits == o.findHits;
    }
};
constexpr int MaxPauseS = 3600;
constexpr int MaxCount = MaxRecordNumber;
constexpr int MaxPrefixLength = 64;

// A prefix that makes a file name on every system: 1 ... MaxPrefixLength characters, no path
// separator, none of : * ? " < > | , and no control character, not beginning with a dot or a
// blank, not ending with a blank or a dot.
bool validPrefix(const QString& prefix);

// One acquisition as the shell made it.
struct Acquired
{
    bool ok = false;
    TWaveStor* record = nullptr; // the record it went into; saved when ok
    QDateTime startUtc;          // the parameters were sent
    QDateTime endUtc;            // the last channel was read (invalid when that never happened)
    QString failure;             // why it failed, as the log says it ("unit does not answer")
};

enum class Phase { Idle, Acquiring, Pausing, Waiting, Finished };

struct Status
{
    Phase phase = Phase::Idle;
    int attempt = 0; // the acquisition under way or last made, from 1
    int saved = 0;
    int failuresInRow = 0;
    qint64 hits = 0; // found so far (0 with the search off)
    qint64 elapsedMs = 0;
    QString lastFile; // path of the last record saved
};

enum class End {
    Completed,  // the records asked for are saved
    Stopped,    // Stop
    LoadFailed, // FailuresToStop acquisitions in a row failed
    SaveFailed, // a record or the log could not be written (path, writeResult)
    NoFreeName, // every number of the prefix is taken
};

struct Outcome
{
    End end = End::Completed;
    Status status;
    QString path; // the file that could not be written
    int writeResult = 0;
};

struct Hooks
{
    // One record into the series window; serves events while it runs.
    std::function<Acquired()> acquire;
    // Ends the acquisition under way at its next poll (Stop).
    std::function<void()> abort;
    // False while the next acquisition must wait (polled every WaitPollMs): a dialog is open.
    std::function<bool()> mayAcquire;
    // A record is saved under path (the window's record no longer needs saving).
    std::function<void(const QString& path)> saved;
    std::function<void(const Status&)> status;
    // Once, at the end; the run may be deleted from here on (deleteLater).
    std::function<void(const Outcome&)> finished;
};

// "1:02:03": hours (any number), minutes and seconds of ms.
QString elapsedText(qint64 ms);
// The status bar's text: the record under way (or the end), the elapsed time, the hits so far.
QString statusText(const Status& s, const Settings& settings, const std::optional<End>& end = std::nullopt);

class Run : public QObject
{
public:
    static constexpr int FailuresToStop = 3;
    static constexpr int WaitPollMs = 200;

    // hits: the settings of the hit search in force (read at each record), null when it is off.
    Run(const Settings& settings, const ae::HitSettings* hits, Hooks hooks, QObject* parent = nullptr);

    // The first acquisition starts from the event loop.
    void start();
    // During a pause the series ends at once; during an acquisition that acquisition is stopped
    // and the series ends when it returns (a record read whole is still saved).
    void stop();

    bool running() const { return m_status.phase != Phase::Idle && m_status.phase != Phase::Finished; }
    const Status& status() const { return m_status; }
    const Settings& settings() const { return m_settings; }
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

private:
    void next();
    // Saves, searches and logs a record read whole; false when the series ended.
    bool keep(const Acquired& a);
    bool logRow(const LogRow& row);
    void pause();
    void report(Phase phase);
    void finish(End end, const QString& path = QString(), int writeResult = 0);

    Settings m_settings;
    const ae::HitSettings* m_hits;
    Hooks m_hooks;
    QTimer m_timer;
    QElapsedTimer m_clock;
    Status m_status;
    int m_number = 1; // the number tried first for the next file
    bool m_stopRequested = false;
};

} // namespace series
