#pragma once

// The FFT dialogs: the preview, a quick amplitude spectrum of one channel over 128, 256 or 512
// samples of the visible part of a waveform window, and the FFT settings (window function and
// dB scale of new spectra).

#include <QDialog>
#include <QFrame>
#include <QVector>

class QLabel;
class QPainter;
class TFFTDlg;
class TWaveStor;
class TWaveView;

namespace Ui {
class FFTDlg;
}

// The drawing frame of the preview: the spectrum curve and the frequency marker.
class FFTPBox : public QFrame
{
public:
    explicit FFTPBox(TFFTDlg* dialog);
    ~FFTPBox() override;
    // The painter kept for every paint; false when it cannot be made.
    bool setUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPainter* painter = nullptr;
    TFFTDlg* dialog;
};

class TFFTDlg : public QDialog
{
    Q_OBJECT
public:
    TFFTDlg(QWidget* parent, Qt::WindowFlags flags);
    ~TFFTDlg() override;

    // Builds the form and the box and connects the controls; false after a critical error.
    bool setUp();
    // The record's channels (up to four are used), the first visible sample, the visible width
    // and the sample period in microseconds. False, and nothing kept, when the width is 514
    // samples or less: the longest stretch would not fit with room to move.
    bool init(const QVector<TWaveView*>& recordChannels, int first, int visibleWidth, double period);

    // Stretch length from the size buttons, scroll step and range over the visible width.
    void updateRange();
    // Spectrum of the chosen channel at the scroll position, repaint and time label.
    void recompute();
    // Spectrum of N processed samples of channel from from on (double precision, no window);
    // true when it cannot be made (the previous spectrum stays).
    bool computeSpectrum(TWaveView* channel, int from);
    // "F=" and the frequency under the marker; unchanged while the stretch has no duration.
    void updateFrequencyLabel();

    // ---- the box's painting and mouse ----
    void drawBox(QPainter* p, int boxWidth, int boxHeight);
    void pressBox(int x);
    void moveInBox(int x);
    void releaseBox();

    // ---- state ----
    Ui::FFTDlg* ui = nullptr; // owned
    FFTPBox* box = nullptr;   // child of the dialog
    QLabel* freqLabel = nullptr;
    QLabel* timeLabel = nullptr;
    int start = 0;
    int step = 1; // samples per scroll-bar unit
    quint8 spectrum[256] = {};
    int markerX = 0;
    double samplePeriod = 1.0; // microseconds
    double pixelsPerBin = 1.0;
    int lastScroll = -1;
    int k = 0;
    int N = 0;
    int M = 0;
    int width = 0;
    bool dragging = false;
    bool painted = false;
    QVector<TWaveView*> channels; // not owned

public slots:
    void slot_sBarValueChanged(int v);
    void slot_rB1Released();
    void slot_rBSampleSizeReleased();
};

// The FFT preview of a record as its window shows it: nothing without a record, warning 0x1510
// when the visible stretch is too narrow, else the dialog runs modally.
void showFFTPreview(QWidget* parent, TWaveStor* record);

// The FFT settings dialog over g_winFun and g_logScale; OK takes the choice, Cancel keeps both.
void runFFTSettingsDialog(QWidget* parent);
