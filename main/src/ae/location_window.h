#pragma once

// The location window of a waveform window: a map of the located sources (Qt Charts, metres at
// equal scales; for linear location a histogram of the events along the line under it) and the
// table of events. Selecting an event puts the cursors of the window's channels on its picked
// arrivals; the map exports as PNG or SVG, the table as CSV. It closes with its waveform window.

#include "ae/location.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QWidget>

class QChart;
class QScatterSeries;
class QTableView;
class QValueAxis;
class TWForm;

namespace Ui {
class LocationWindow;
}

namespace ae {

class ChartView;

// The located events as rows: number, time, X, Y, residual, channels, peak amplitude in dB.
class LocationTableModel : public QAbstractTableModel
{
public:
    enum Column {
        NumberColumn,
        TimeColumn,
        XColumn,
        YColumn,
        ResidualColumn,
        ChannelsColumn,
        PeakColumn,
        ColumnCount
    };
    using QAbstractTableModel::QAbstractTableModel;
    void setEvents(std::vector<LocatedEvent> events);
    const std::vector<LocatedEvent>& events() const { return m_events; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<LocatedEvent> m_events;
};

// Classes of peak amplitude that the map colours and sizes its events by: dB steps from low.
struct AmplitudeClasses
{
    double low = 0.0;
    double step = 10.0;
    int count = 1;
    int classOf(double db) const; // 0 ... count - 1
};
AmplitudeClasses amplitudeClasses(const std::vector<LocatedEvent>& events);

} // namespace ae

class TLocationWindow : public QWidget
{
    Q_OBJECT
public:
    // The window of form among parent's children, made when there is none, located anew with the
    // settings and shown. Null, after the warning, when the record cannot be located (no sampling
    // rate, a sensor on a channel the record lacks, a set-up with a problem).
    static TLocationWindow* showFor(QWidget* parent, TWForm* form, const ae::LocationSetup& setup,
                                    const ae::HitSettings& hits);
    static TLocationWindow* windowOf(const QWidget* parent, const TWForm* form);

    TLocationWindow(QWidget* parent, TWForm* form);
    ~TLocationWindow() override;

    // Finds, picks, groups and locates the record's hits; the check of the set-up (Ok: done).
    ae::LocationCheck locate(const ae::LocationSetup& setup, const ae::HitSettings& hits);

    TWForm* form() const { return m_form; }
    QTableView* view() const;
    ae::ChartView* mapView() const;
    ae::ChartView* histogramView() const; // shown for linear location only
    const ae::LocationTableModel& model() const { return *m_model; }
    const ae::LocationResult& result() const { return m_result; }
    bool planar() const { return m_settings.planar; }
    // The point that marks the selected event on the map; empty when none is.
    QList<QPointF> selectedMark() const;

    // Room for a square map above a table of several rows (the tool-window placement keeps it
    // inside half the screen).
    QSize sizeHint() const override { return QSize(760, 760); }

    QByteArray csv() const;
    int exportCsv(const QString& path) const;
    int exportMap(const QString& path) const;
    // Ask for a file, export; warning 0x1505 on failure.
    void chooseCsvFile();
    void chooseMapFile();
    // Selects row r (the cursors follow).
    void selectEvent(int r);

private:
    void buildMap();
    void buildHistogram(const QValueAxis* mapX);
    void followEvent(int r); // cursors and the map's mark for row r

    Ui::LocationWindow* ui = nullptr;
    ae::LocationTableModel* m_model = nullptr;
    QPointer<TWForm> m_form;
    QString m_file; // the window's title when located
    ae::LocationSettings m_settings;
    ae::LocationResult m_result;
    QScatterSeries* m_mark = nullptr; // the selected event on the map
};
