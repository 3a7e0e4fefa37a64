#pragma once

// The hit table of a waveform window: a non-modal window listing the hits of the window's record
// (sortable, rows copied as text, exported as CSV). A double click on a row shows the hit in the
// waveform window with the channel's cursor on its arrival; while the table is open the window
// marks every hit from its start to its end.

#include "ae/analysis_window.h"
#include "ae/hits.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <vector>

class QTableView;
class TAnalysisWindow;
class TWForm;

namespace Ui {
class HitTable;
}

namespace ae {

// The hits as rows: the CSV's fields after "file", in its order. Texts are made only for the rows
// a view asks for; sorting orders row numbers by one key per hit, worked out once per sort.
class HitTableModel : public QAbstractTableModel
{
public:
    enum Column {
        ChannelColumn,
        ArrivalColumn,
        PeakVColumn,
        PeakDbColumn,
        RiseColumn,
        DurationColumn,
        CountsColumn,
        CountsToPeakColumn,
        EnergyColumn,
        AvgFreqColumn,
        RaColumn,
        PeakFreqColumn,
        CentroidColumn,
        TimeUtcColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;
    // New hits, in the order last sorted by (as found when never sorted); startUtcUs: the
    // record's start, when known, for the absolute times.
    void setHits(std::vector<Hit> hits, double periodUs, std::optional<qint64> startUtcUs = std::nullopt);
    // The hit of row r as the rows are ordered now.
    const Hit& hit(int row) const { return m_hits[std::size_t(m_order[std::size_t(row)])]; }
    // The hits as found (the order of the marks), whatever the rows' order.
    const std::vector<Hit>& hits() const { return m_hits; }
    double periodUs() const { return m_period; }
    std::optional<qint64> startUtcUs() const { return m_start; }
    // The hit of row r as the table shows it.
    HitRow row(int r) const { return hitRow(hit(r), m_period, m_start); }
    // The value rows are sorted by in column c: times in samples, so that a record without a
    // known period still sorts; an absent frequency below every other.
    static double sortKey(const Hit& h, int column, double periodUs);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Stable: equal keys keep the order in which the hits were found.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void order();

    std::vector<Hit> m_hits;
    std::vector<int> m_order; // row -> index into m_hits
    double m_period = 0.0;
    std::optional<qint64> m_start;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace ae

class THitTable : public QWidget
{
    Q_OBJECT
public:
    // The table of window form among parent's children, made when there is none; its hits are
    // found anew with s and it is shown and raised.
    static THitTable* showFor(QWidget* parent, TWForm* form, const ae::HitSettings& s);
    // The open table of form among parent's children, or null.
    static THitTable* tableOf(const QWidget* parent, const TWForm* form);

    THitTable(QWidget* parent, TWForm* form);
    ~THitTable() override; // the window's marks go with the table

    // Finds the hits of the window's record and marks them on its plot. A search that takes
    // longer than progressDelayMs shows a progress dialog whose Stop ends it: the table then
    // shows the hits found so far and says that the search was stopped.
    void detect(const ae::HitSettings& s);
    static int progressDelayMs;
    // Samples searched between two looks at the clock and the Stop button.
    static constexpr qint64 SearchStepSamples = 32768;
    // Rows besides the visible ones whose texts size the columns.
    static constexpr int SizedRows = 200;
    bool searchStopped() const { return m_stopped; }
    TWForm* form() const { return m_form; }
    QTableView* view() const;
    const ae::HitTableModel& model() const { return *m_model; }
    // The hit shown in row r of the view (as sorted); null outside the rows.
    const ae::Hit* hitAt(int r) const;

    // The header and the selected rows in the view's order, fields separated by tabs.
    QString selectedText() const;
    void copySelection() const;
    // The header and every row in the view's order, as CSV.
    QByteArray csv() const;
    // Writes csv() to path through the safe writer: 0, or its failure.
    int exportCsv(const QString& path) const;
    // Asks for a file (".csv" appended when missing) and exports; warning 0x1505 on failure.
    void chooseExportFile();
    // The hit of row r shown in its window, the channel's cursor on its arrival.
    void goToRow(int r);
    // A hit (channel slot, sample) shown in its window, the channel's cursor on it.
    void goToHit(int slot, qint64 sample);
    // The analysis window of the hits ("Графики…"), made or brought up to date.
    TAnalysisWindow* showAnalysis();

signals:
    // A step of a search with its progress dialog shown, after the dialog took its value.
    void searchStep(qint64 searched, qint64 total);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // Ctrl+C on the view
    void closeEvent(QCloseEvent* event) override;               // the marks go at once

private:
    std::optional<ae::HitRow> rowAt(int r) const; // the hit of row r of the view as shown
    ae::AnalysisSource analysisSource() const;

    Ui::HitTable* ui = nullptr;
    // The search with its progress dialog; false when stopped.
    bool search(ae::RecordHitSearch& search);

    ae::HitTableModel* m_model = nullptr;
    bool m_stopped = false;
    QPointer<TWForm> m_form;
    QString m_file; // the window's title when the hits were found
};
