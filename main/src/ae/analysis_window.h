#pragma once

// The analysis window of a set of hits (one record's hit table, or a whole series): four plots for
// the ticked channels in the traces' colours (cumulative hits and energy against time, the
// amplitude distribution with its b-value fit, duration against amplitude, average frequency
// against RA), each exported as PNG or SVG, and the per-channel summary, copied or exported as
// CSV. Points under the mouse show their hit; a double click on one asks the owner to show it.
// The window belongs to an owner (a hit table, a series table) and closes with it.

#include "ae/analysis.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <map>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QCheckBox;
class QGraphicsSimpleTextItem;
class QXYSeries;

namespace Ui {
class AnalysisWindow;
}

namespace ae {

// What a window shows: the hits and where they come from.
struct AnalysisSource
{
    QString title;                 // the window's title after "Анализ АЭ — ", the summary's file
    std::vector<AnalysisHit> hits; // any order
    QStringList records;           // the records' files (AnalysisHit::record indexes them)
    bool absoluteTime = false;     // times in ms since the epoch (a series), else from the record's start
    QString note;                  // shown above the plots when not empty (a series log's problems)
};

} // namespace ae

class TAnalysisWindow : public QWidget
{
    Q_OBJECT
public:
    enum Plot { CumulativePlot, AmplitudePlot, DurationPlot, FrequencyPlot, PlotCount };

    // The window of owner among parent's children, made when there is none, with source's hits;
    // shown and raised.
    static TAnalysisWindow* showFor(QWidget* parent, QObject* owner, ae::AnalysisSource source);
    static TAnalysisWindow* windowOf(const QWidget* parent, const QObject* owner);

    TAnalysisWindow(QWidget* parent, QObject* owner);
    ~TAnalysisWindow() override;

    QObject* owner() const { return m_owner; }
    // Everything anew: channels (all ticked), plots, summary.
    void setSource(ae::AnalysisSource source);
    // Hits of records that came since (a running series): added and drawn; newRecords continue
    // the list of records.
    void appendHits(std::vector<ae::AnalysisHit> hits, const QStringList& newRecords);
    const ae::AnalysisSource& source() const { return m_source; }
    // The text above the plots (hidden when empty).
    void setNote(const QString& note);

    // The channels (from 1) with a tick box, and those ticked.
    QList<int> channels() const;
    QList<int> tickedChannels() const;
    QCheckBox* channelBox(int channel) const;

    QChartView* chartView(Plot p) const;
    // The points of channel's series of plot p as drawn, each with its hit (an index into
    // source().hits): for the cumulative plot, which 0 is the hits, 1 the energy; for the
    // amplitudes 0 is the hits per dB, 1 N(>=A), 2 the fit.
    const ae::PlotPoints* drawnPoints(Plot p, int channel, int which = 0) const;
    // The hit drawn nearest to pos (viewport pixels of p's view), within a few pixels; -1 if none.
    int hitAt(Plot p, const QPoint& pos) const;
    // The text of a hit's tooltip.
    QString hitText(int hit) const;

    // The summary of the ticked channels as CSV (header and rows, "\n" after each).
    QByteArray summaryCsv() const;
    void copySummary() const;
    int exportSummaryCsv(const QString& path) const;
    void chooseSummaryFile();
    // Writes plot p as PNG or SVG (by the path's suffix) through the safe writer: 0, or its failure.
    int exportPlot(Plot p, const QString& path) const;
    void choosePlotFile(Plot p, bool svg);

    // Draws the plots and the summary for the ticked channels (after a tick changes).
    void redraw();

    // Room for four plots: the place of tool windows holds it to half the screen's width.
    QSize sizeHint() const override { return {1100, 860}; }

signals:
    // A double click on a point: the owner shows that hit.
    void hitActivated(const ae::AnalysisHit& hit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // tooltips and double clicks

private:
    // What the plots of one channel draw, worked out once for a set of hits: a change of the
    // ticks only places and thins it.
    struct ChannelData
    {
        ae::Cumulative cumulative;
        ae::PlotPoints durations, frequencies;
        ae::AmplitudeDistribution amplitudes;
        std::optional<ae::BValueFit> fit;
        ae::ChannelSummary summary;
    };
    struct Drawn
    {
        int channel = 0;
        int which = 0;
        ae::PlotPoints points;
    };
    void rebuildData(); // m_data from the hits, channel boxes for its channels
    const ChannelData& dataOf(int channel) const;
    bool anyHitTicked(const QList<int>& channels) const;
    void makeChannelBoxes();
    void drawCumulative(const QList<int>& channels);
    void drawAmplitudes(const QList<int>& channels);
    void drawScatter(Plot p, const QList<int>& channels);
    void fillSummary(const QList<int>& channels);
    // Says why plot p is empty (no times), or nothing.
    void setPlotMessage(Plot p, const QString& text);
    // Adds s with points to plot p on its axes; drawnPoints() gives them back.
    QXYSeries* addSeries(Plot p, QXYSeries* s, int channel, int which, ae::PlotPoints points);
    // The plotting area of p in pixels, and where x, y fall in it.
    ae::PlotFrame frameOf(Plot p) const;
    int plotOf(const QObject* viewport) const;

    Ui::AnalysisWindow* ui = nullptr;
    QObject* m_owner = nullptr;
    ae::AnalysisSource m_source;
    std::map<int, ChannelData> m_data;
    std::array<QChartView*, PlotCount> m_views{};
    std::array<ae::PlotFrame, PlotCount> m_frames{};
    std::array<std::vector<Drawn>, PlotCount> m_drawn;
    std::array<QGraphicsSimpleTextItem*, PlotCount> m_messages{};
    std::vector<QCheckBox*> m_boxes;
    bool m_redrawPending = false;
};
