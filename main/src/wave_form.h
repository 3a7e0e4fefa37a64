#pragma once

// The waveform window: an MDI sub-window showing one signal record as stacked channel traces,
// with a horizontal scroll bar over the record and the view commands of the main window.

#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QAbstractSlider;
class QPainter;
class QPixmap;
class QScrollBar;
class TWaveStor;
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

} // namespace wform

// The plot widget of a waveform window: paints the record double-buffered.
class TWFormInternalWidget : public QWidget
{
public:
    explicit TWFormInternalWidget(TWForm* form);
    ~TWFormInternalWidget() override;
    // Black background, mouse tracking and the painter kept for every paint; false when the
    // painter cannot be made.
    bool setup();
    TWForm* form() const;

    // What the next paint adds to the picture: 0 the selection, 5 the selection and the sine.
    int paintAction = 0;
    int currentX = 0;
    int currentY = 0;
    int pressX = 0;
    int pressY = 0;
    int pendingSelEnd = 0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPainter* painter = nullptr;
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
    // One acquisition from the unit into the record, made anew when its size differs; the
    // acquisition's result.
    bool acquire(int channelCount, int length);
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

    void updateScrollBar();
    // Sends the readouts of the record's channels to the main window and clears the rest.
    void updateReadouts();
    // Redraws the whole plot.
    void repaintPlot();
    // The current view of the record (start, width); empty without a record.
    wform::View view() const;
    // Draws the selection from ... to inverted onto pixmap, through painter active on it.
    void drawSelection(QPainter* painter, const QPixmap& pixmap, int from, int to);
    // A spectrum window lets go of its source: the source may close again.
    void detachFromSource();

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
    // Transforms an edited spectrum back into its source; true when the window may close.
    bool inverseFFT();
};
