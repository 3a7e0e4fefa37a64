#pragma once

// The table of a series folder's records (command "Открыть серию…"): file, start, hits and status
// of each record, from series.csv or, without it, from the files' modification times. A double
// click (or Enter) opens the record in a waveform window.

#include "series/series_log.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <memory>

class QTableView;
class TAnalysisWindow;

namespace ae {
struct AnalysisHit;
class SeriesHitCollector;
} // namespace ae

namespace Ui {
class SeriesTable;
}

namespace series {

class RecordTableModel : public QAbstractTableModel
{
public:
    enum Column { FileColumn, StartColumn, HitsColumn, StatusColumn, ColumnCount };
    // The start as the table shows it: local time with milliseconds.
    static QString startText(const QDateTime& utc);

    using QAbstractTableModel::QAbstractTableModel;
    void setRows(QVector<LogRow> rows);
    const LogRow& row(int r) const { return m_rows[r]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<LogRow> m_rows;
};

} // namespace series

class TSeriesTable : public QWidget
{
    Q_OBJECT
public:
    using Opener = std::function<void(const QString& path)>;

    // The table of folder among parent's children, made when there is none; read anew, shown
    // and raised. open opens a record's file.
    static TSeriesTable* showFor(QWidget* parent, const QString& folder, const Opener& open);
    // Reads anew the open tables of folder among parent's children (a series wrote to it).
    static void refreshFolder(const QWidget* parent, const QString& folder);

    TSeriesTable(QWidget* parent, const QString& folder, Opener open);
    ~TSeriesTable() override;

    QString folder() const { return m_folder; }
    const series::FolderListing& listing() const { return m_listing; }
    QTableView* view() const;
    // Reads the log and the folder again, keeping the current row.
    void reload();
    // Opens the record of row r (nothing for a record that was not saved or is gone).
    void openRow(int r);
    // The analysis plots of every hit of the series' records ("Графики…"), found with the hit
    // settings in force: made, or given the records that came since (a running series; reload()
    // does it after every record).
    TAnalysisWindow* showAnalysis();
    // A hit of the plots shown in its record's window (the one open, else one opened), the
    // channel's cursor on its arrival.
    void showHit(const ae::AnalysisHit& hit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // Enter and F5 on the view

private:
    Ui::SeriesTable* ui;
    series::RecordTableModel* m_model;
    QString m_folder;
    Opener m_open;
    series::FolderListing m_listing;
    std::unique_ptr<ae::SeriesHitCollector> m_collector; // while the analysis window is open
    bool m_collecting = false; // the records are being read (events are served meanwhile)
};
