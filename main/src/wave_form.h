#pragma once

// The waveform window: an MDI sub-window showing one signal record as stacked channel traces,
// with a horizontal scroll bar over the record and the view commands of the main window.

#include "wave_stor.h"

#include <QByteArray>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QAbstractSlider;
struct AcquisitionReport;
class QMouseEvent;
class QPainter;
class QScrollBar;
class TWForm;

// Plain arithmetic of the view, usable without a window.
namespace wform {

// The visible stretch of a record: first sample and number of samples.
struct View
{
    int start = 0;
    int width = 0;
    bool operator==(const View& o) const { return start == o.start && width == o.width; }
    bool operator!=(const View& o) const { return !(*this == o); }
};

// Half as wide (never below 2, never wider than before), centred on the old middle.
View zoomedIn(View v);
// Twice as wide, centred on the old middle, kept inside 0 ... length.
View zoomedOut(View v, int length);
// The ordered selection, both ends included.
View selectionView(int selStart, int selEnd);
// Width value / maximum of the record (at least 2 samples when the record has them), with the
// start moved left so that the view stays inside the record. Unchanged when maximum is 0.
View stretchedView(View v, int value, int maximum, int length);
// Slider position showing width out of length on a slider of the given maximum; -1 when the
// record is empty (the slider is then left alone).
int stretchSliderValue(int maximum, int width, int length);
// Vertical scale in thousandths as stored: clamped to 0 ... 65535.
int clampVerticalScale(int value);
// The view that shows sample i: v itself when i is in it, else as wide with i a quarter of the
// way in, kept inside the record.
View viewShowing(View v, int i, int length);

// A stretch of one channel marked over the traces, both ends included.
struct SpanMark
{
    int channel = 0;
    int from = 0;
    int to = 0;
};

// The marks of one channel as drawn between the columns left and right: runs of tinted columns
// (first and last column of each), and the columns where a mark starts (dashed line) or ends
// (dotted line; not drawn where it also started). Several marks in one column make one mark
// there. marks are the channel's stretches (from, to) sorted by from and not overlapping, as a
// channel's hits are; toX gives a sample's column and must not decrease. The marks are found by
// binary search, so the cost follows the number of columns, not the number of marks.
struct MarkColumns
{
    QVector<QPair<int, int>> tinted;
    QVector<int> starts;
    QVector<int> ends;
};
MarkColumns markColumns(const std::vector<std::pair<int, int>>& marks, int left, int right,
                        const std::function<int(int)>& toX);

// Scroll bar over a record of length samples showing width of them from start. One unit of
// the bar is step samples, which keeps the range below 32768 units for any record.
struct ScrollSetup
{
    int step = 1;
    int maximum = 0;
    int value = 0;
    int pageStep = 1;
    bool enabled = false;
};
// quarterSamples: samples covered by a quarter of the plot width.
ScrollSetup scrollSetup(int length, int width, int start, int quarterSamples);

// Placement of the plot widget and the scroll bar for a sub-window of height h whose plot widget
// starts at row plotTop (heights in rows, bottoms inclusive).
enum class FrameState { Normal, Maximized, Minimized };
struct PlotLayout
{
    bool plotVisible = true;
    int plotBottom = 0;
    bool barVisible = true;
    int barTop = 0;
    int barBottom = 0;
};
PlotLayout plotLayout(FrameState state, int h, int plotTop);

// ---- selection ----
// A distance rounded to a power of two: |d| becomes 2^k for its highest set bit k, or 2^(k+1)
// when the bit below is set too; the sign is kept. 0 stays 0 with the exponent -1.
struct PowerOfTwo
{
    qint64 distance = 0;
    int exponent = -1;
};
PowerOfTwo roundToPowerOfTwo(qint64 d);

// A new selection end and the base-2 logarithm that goes with it; changed is false when the
// selection stays as it is.
struct SelectionEnd
{
    bool changed = false;
    int end = 0;
    int log2 = 1;
};
// The selection dragged to sample s. In selection mode the distance from the anchor is rounded to
// a power of two and an end outside 0 ... length changes nothing; otherwise s is clamped to
// 0 ... length and the logarithm is 1.
SelectionEnd draggedSelectionEnd(int selStart, int selEnd, qint64 s, int length, bool selectMode);
// The selection's width rounded to a power of two from the anchor, halved when the end would
// leave 0 ... length. Nothing changes for an empty selection; a width that already is a power of
// two keeps its end (changed false) and still gives its logarithm.
SelectionEnd roundedSelectionEnd(int selStart, int selEnd, int length);
// The ordered selection cut to the record's samples, both ends included: what the measurements
// walk. A selection may end one past the last sample; no measurement reads a sample that is not
// there.
View measuredSpan(int selStart, int selEnd, int length);

// ---- readout texts (the main window puts the channel prefix in front) ----
// The cursor time: "   12.5uS".
QString timeReadout(int cursor, double periodUs);
// The processed sample p at a cursor, in volts or coulombs. A unipolar (detector) channel reads
// from the bottom of its scale (p + 128), any other from its zero line (2p).
QString amplitudeReadout(qint8 p, bool unipolar, int gainCode, bool volts);
// Frequency of spectrum bin + 1 of a transform of 2 x length samples at periodUs; a record without
// a period or samples has no frequency.
QString frequencyReadout(int bin, double periodUs, int length);
// Amplitude of a spectrum sample: in dB, or in volts.
QString spectrumAmplitudeReadout(qint8 stored, double specStep, int gainCode, bool logScale);
// Mean value m of a channel (as the channel measures it) in volts, scaled as the cursor readout
// of the same level: a bipolar mean of magnitudes counts twice, as 2p does.
QString meanReadout(int m, bool bipolar, int gainCode);

} // namespace wform

// The plot widget of a waveform window. The mouse places cursors, drags zero lines and marks
// the selection; a paint shows the record with the selection inverted. The traces are kept
// between paints, so that a step which only moves a cursor or a zero line does not walk the
// samples again.
class TWFormInternalWidget : public QWidget
{
public:
    explicit TWFormInternalWidget(TWForm* form);
    ~TWFormInternalWidget() override;
    // Black background, mouse tracking and the painter kept for every paint; false when the
    // painter cannot be made.
    bool setup();
    TWForm* form() const;
    // The samples changed: the next paint draws the traces anew.
    void forgetTraces();

    // What the next paint does besides drawing: 0 nothing more, 1 a selection was started,
    // 2 a drag step to currentX/currentY, 3 the last step of a drag, 4 the rounded selection end
    // pendingSelEnd, 5 the sine over everything.
    int paintAction = 0;
    int currentX = 0;
    int currentY = 0;
    int pressX = 0;
    int pressY = 0;
    int pendingSelEnd = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The mouse cursor's shape for a point: over a cursor line, over a zero line, or neither.
    void followShape(int x, int y);
    // Brings the kept picture of the traces up to date with the record.
    void refreshTraceLayer();
    // The window an event concerns (null without an event or a record) and its position.
    TWForm* mouseTarget(const QMouseEvent* event, QPoint& p) const;

    QPainter* painter = nullptr;
    TraceShape shapes[MaxChannels];
    QPixmap traceLayer;      // black, the traces, the span marks and the sine
    QByteArray layerKey;     // what traceLayer shows; empty when it must be drawn anew
    QVector<int> layerBases; // the zero level of each trace in it
};

class TWForm : public QMdiSubWindow
{
    Q_OBJECT
public:
    explicit TWForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~TWForm() override;

    // ---- set-up; false after a critical error has been reported ----
    bool initEmpty();
    bool initFromFile(const QString& path);
    // Makes this new window the spectrum of the source's selection (2^selLog2 samples from its
    // lower end), one spectrum channel per source channel, with a progress dialog, and links the
    // two. False after a critical error (the caller deletes the window).
    bool initSpectrum(TWForm* source);
    // One acquisition from the unit into the record, made anew when its size differs; the
    // acquisition's result (report, when given, as acquireFromUnit fills it).
    bool acquire(int channelCount, int length, AcquisitionReport* report = nullptr);
    // 100 without a record, else the writer's result (0 on success).
    int save(const QString& path);

    // ---- view commands ----
    void zoomIn();
    void zoomOut();
    void zoomToSelection();
    void setStretchFromSlider(bool apply, int value, int maximum);
    void stretchToSlider(QAbstractSlider* slider) const;
    void setVerticalScale(bool apply, int value);
    void verticalScaleToSlider(QAbstractSlider* slider) const;
    void setChannelColour(int ch, const QColor& colour);
    void setCursorColour(int ch, const QColor& colour);
    void setSineOverlay(bool on);
    void setFilter(int mode, int halfWidth);
    // Draws the record into rect of painter's device (printing, export); the window's own
    // picture is left exactly as it was.
    void print(QPainter* painter, const QRect& rect);
    // Puts the cursor times and amplitudes on the clipboard.
    void exportToClipboard();

    // ---- cursors, selection and measurements ----
    // The selection's width rounded to a power of two (selection mode, forward FFT).
    void roundSelectionToPowerOfTwo();
    // Asks for channels and puts their cursors in the middle of the plot.
    void centreCursors();
    // Asks for channels and puts their cursors on the first maximum of the selection.
    void findMaximum();
    // Asks for channels and clears the selection in them.
    void zeroSignal();
    // Shows the mean value of every channel over the selection.
    void showMean();
    // One step of a drag to x, y: the grabbed cursor or zero line follows, or the selection's
    // end. False when the selection changed.
    bool dragTo(int x, int y);
    // A right press at column x starts a new, empty selection there.
    void beginSelection(int x);
    // The drag is over: nothing grabbed, no selection being made.
    void endDrag();

    void updateScrollBar();
    // Sends the readouts of the record's channels to the main window and clears the rest.
    void updateReadouts();
    // Sends the cursor readout of channel ch to the main window.
    void refreshReadout(int ch);
    // Redraws the whole plot; needed after any change of the samples. (A plain update of the plot
    // widget draws the traces from what it kept when the view is unchanged.)
    void repaintPlot();
    // The current view of the record (start, width); empty without a record.
    wform::View view() const;
    // Scrolls sample i of channel ch into view and puts the channel's cursor on it.
    void showSample(int ch, int i);
    // Puts the cursors of several channels on their samples (channel, sample) at once, the first
    // one's sample scrolled into view.
    void showCursors(const QVector<QPair<int, int>>& cursors);
    // Stretches marked over the traces until replaced (a hit table marks its hits; a channel's
    // marks do not overlap). They are drawn into the kept picture of the traces, merged per
    // column: a paint that changes nothing else only copies them, whatever their number.
    void setSpanMarks(const QVector<wform::SpanMark>& marks);
    const QVector<wform::SpanMark>& spanMarks() const { return m_spanMarks; }
    // Changes whenever the marks do.
    quint64 spanMarksRevision() const { return m_marksRevision; }
    void drawSpanMarks(QPainter* painter) const;
    // Inverts the picture on painter's device between the columns of samples from and to.
    void drawSelection(QPainter* painter, int from, int to);
    // A spectrum window lets go of its source: the source may close again.
    void detachFromSource();
    // Transforms the spectrum back into the ticked channels of its source, over the stretch it
    // was made from. True when the window may close afterwards (done, declined at the window
    // function question, the channel dialog cancelled or failed); false when cancelled or when
    // this is no spectrum of an open source.
    bool inverseFFT();

    // ---- state ----
    TWFormInternalWidget* plot = nullptr;
    QScrollBar* scrollBar = nullptr; // child of the sub-window, placed by hand below the plot
    TWaveStor* record = nullptr;     // owned
    QRect plotRect{QPoint(0, 0), QPoint(-1, -1)};
    bool inResize = false;
    bool laidOut = false;
    int scrollStep = 1; // samples per scroll-bar unit
    int grabbedCursorChannel = -1;
    int grabbedBaselineChannel = -1;
    int selStart = 0; // selection in samples; selStart is the anchor
    int selEnd = 0;
    bool selecting = false;
    int selLog2 = 1;
    int windowFunction = 0;
    // The window a spectrum was made from; guarded, so that the two can go in any order.
    QPointer<TWForm> source;
    bool isSpectrum = false;
    bool hasSpectrum = false;
    bool logScale = false;
    bool changed = false;
    // Samples came from the unit since the record was last saved: closing asks first, as for
    // changed data, so that a recording is never dropped without a question.
    bool unsavedRecording = false;
    // A transform reads or writes this window's channels. It serves events between its stages,
    // so until it ends the window refuses to close, to take a new record or to start another
    // transform.
    bool transforming = false;

public slots:
    void slot_SBarValueChanged(int value);
    void slot_aboutToActivate();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool buildWidgets();
    // Places the plot and the scroll bar; event is null when run after set-up.
    void layoutFrame(QResizeEvent* event);
    // The record's view changed: scales, channels, scroll bar, and for zooms the slider.
    void viewChanged(const wform::View& v, bool syncSlider);
    // Runs the channel selection dialog titled title (the form's own title when empty); the
    // ticked channels of the record, empty when it was cancelled.
    QList<int> chooseChannels(const QString& title);
    // Moves channel ch's cursor to column x, kept on the record's samples.
    void placeCursor(int ch, int x);
    // Whether the main window's selection mode is on.
    bool selectionMode() const;
    // The selection cut to the record's samples, both ends included; false after the warning
    // when there is no selection (or no record).
    bool measuredSelection(int warning, int& low, int& high) const;

    QVector<wform::SpanMark> m_spanMarks;
    std::vector<std::pair<int, int>> m_marksOf[MaxChannels]; // per slot, sorted by start
    quint64 m_marksRevision = 0;
};
