#pragma once

#include "export/export_dialog.h"
#include "series/series_cli.h"
#include "series/series_run.h"

#include <QColor>
#include <QDate>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QScrollBar;
class QSpinBox;
class QTimer;
class TSeriesTable;
class TWForm;
class TWaveStor;

namespace Ui {
class MainWindow;
}

// Readout label colours of channel slots 0 ... 4 (only 0 ... 3 have labels); the settings file
// saves and restores them.
extern QColor g_readoutTextColours[5];
extern QColor g_readoutBackColours[5];

// Plain helpers of the main window's commands, usable without a display.
namespace fmain {

// The path a file is saved under: suffix (with its dot) is appended unless the name already
// ends in exactly that suffix (so "data.RAW" becomes "data.RAW.raw").
QString savePathWithSuffix(const QString& chosen, const QString& suffix);
// The path a record is saved under: savePathWithSuffix with ".raw".
QString rawSavePath(const QString& chosen);

// Processing mode of the filter check marks (detection, smoothing, derivative, square).
int filterModeFor(bool detect, bool smoothing, bool derivative, bool square);

// The compiler's build date ("Oct 23 2012"; a day below 10 comes as "Dec  6 2026" or
// "Dec 06 2026"); an invalid date when the text is none of these.
QDate parseBuildDate(const QString& text);
// "Ver. 0.2.3 beta  23/10/2012"; the date part is left empty when it cannot be parsed.
QString aboutVersionLine(int major, int minor, int build, const QString& marker, const QString& buildDate);

// What the record information dialog shows, taken from a record's headers.
struct RecordFacts
{
    int verMajor = 0;
    int verMinor = 0;
    int channels = 0;
    quint32 samples = 0;
    int clockKHz = 0;
    qint32 divider = 0;
    bool extSync = false;
    bool detector = false;
    QVector<int> gainCodes; // one per channel
    QVector<int> inputs;    // one per channel
};
RecordFacts recordFacts(const TWaveStor& record);
// Sampling frequency in Hz, 1000 * clockKHz / divider rounded half away from zero; 0 when the
// divider is 0 or negative (such a record carries no usable frequency).
qint64 samplingFrequencyHz(int clockKHz, qint32 divider);
// The values appended to the eight labels, in label order: version, channels, samples,
// frequency, inputs, synchronisation, detector, gains.
QStringList recordInfoValues(const RecordFacts& facts);

// Where a new waveform window opens in an MDI area of the given size when other windows are
// already open in it: the area's full width and most of its height, each further window a
// title bar (step rows) lower than the one before, starting at the top again when there is no
// room left.
QRect newWindowGeometry(const QSize& area, int others, int step);
// The local files among dropped URLs.
QStringList localFiles(const QList<QUrl>& urls);

} // namespace fmain

// The program's one top-level window: an MDI area holding the waveform windows, the menus, the
// tool bar with the scale sliders and the status bar with the readouts.
class MainWnd : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWnd(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWnd() override;

    // Second phase of construction; false after a critical error has been reported.
    bool setupWindow();
    // Connects the form's actions to their slots in table order; 0, or base + (number - 4) of
    // the first action that is missing or cannot be connected.
    int connectActions(int base);
    // Enables and disables the commands for the active waveform window.
    void refreshActions();

    QMdiArea* mdi() const { return mdiArea; }
    Ui::MainWindow* form() const { return ui; }
    // The MDI area's active sub-window when it is a waveform window.
    TWForm* activeForm() const;
    // The waveform windows of the MDI area in creation order.
    QList<TWForm*> forms() const;

    // ---- commands (the slots call these) ----
    // A new empty window "NoName - n"; null when its set-up failed.
    TWForm* newWindow();
    void openRawFile();
    // Reads path into a new window; null (after warning 0x1504) when it cannot be read.
    TWForm* openRawPath(const QString& path);
    // Files given from outside (command line, drop): one window each, as the read command
    // opens them; a file that cannot be read shows its warning and the others still open.
    void openPaths(const QStringList& paths);
    // Adds a new waveform window to the MDI area and shows it at its opening size (maximised
    // when the active window is). Every new window comes through here.
    void showNewWindow(TWForm* window);
    void saveRawFile();
    // Saves the active window under rawSavePath(path); the writer's result (0 on success).
    int saveRawPath(const QString& path);
    // Exports the active window (not a spectrum) after the options and file dialogs.
    void exportFile(dataexport::Format format);
    // Exports the active window to the chosen path with the format's suffix appended as the save
    // command appends ".raw"; a failure shows warning 0x1505 with the result, a WAV of a record
    // without a sampling rate warning 0x1511, a cancelled export nothing. The result (0 on
    // success, 100 without a window).
    int exportPath(const QString& chosen, dataexport::Format format, const dataexport::Choice& choice);
    // Acquires into the active ordinary window, or into a new one (deleted when it fails).
    void runAcquisition();
    void showRecordInfo();
    void showAbout();
    // The spectrum of the active window's selection (rounded to a power of two unless the
    // selection mode is on) in a new window "FFT: " + its title; null after warning 0x150A, a
    // failed set-up, or on a window that is a spectrum, has one or is being transformed.
    TWForm* directFFT();

    // ---- series of records (series/) ----
    // Starts a series with s into the window "Серия — <folder>" (made, or reused when one is
    // open); false after its warning when the folder is missing, the prefix is unusable or a
    // series runs already.
    bool startSeries(const series::Settings& s);
    // Stop: at once during a pause, else once the acquisition under way has stopped.
    void stopSeries();
    bool seriesRunning() const;
    TWForm* seriesWindow() const;
    // The series under way, null when none runs.
    const series::Run* seriesRun() const { return m_series; }
    // The unattended start: the values given on the command line over those of adc.ini. A bad
    // value shows its warning and starts nothing; false then, or without --series.
    bool startCommandLineSeries(const series::CommandLine& line);
    // The table of the records of folder (made, or the open one read anew).
    TSeriesTable* openSeriesFolder(const QString& folder);

    // ---- called by the waveform windows ----
    void syncToWindow(TWForm* window);
    void syncStretchSlider(TWForm* window);
    void setReadout(TWForm* window, int channel, const QString& positionText, const QString& amplitudeText);

    // ---- unit and readout colours ----
    bool unitVolts() const { return m_unitVolts; }
    // The only way to change the unit: the flag and the check marks of aVolt and aCoulomb
    // always agree. Refreshes the active window's readouts.
    void setUnit(bool volts);
    void setReadoutTextColour(const QColor& colour, int channel);
    void setReadoutBackColour(const QColor& colour, int channel);
    void applyFilterMode();

    // ---- settings file adc.ini beside the executable ----
    // Read once at the end of set-up; written only by the save command.
    void loadSettings();
    void saveSettings();
    // The interface language of the next start, from the menu "Язык интерфейса": stored at
    // once (UI/Language alone, asking again when the file cannot be written) and said to
    // take effect at the next start.
    void chooseLanguage(int language);

    // ---- program-wide state ----
    quint16 channelCount = 4; // channels of a new acquisition
    quint32 newCounter = 1;   // number in the title of the next new window
    bool forAll = true;       // option of the acquisition parameters dialog
    bool syncingFilter = false;
    QString settingsDir;
    QString lastDir;        // last directory of the file dialogs
    int chosenLanguage = 0; // UI/Language; the running one is g_language
    bool slidersSyncing = false;

    // ---- widgets made by setupWindow (owned) ----
    QScrollBar* sbZY = nullptr; // vertical scale, percent
    QScrollBar* sbZX = nullptr; // horizontal stretch, percent of the record
    QLabel* sbZYLabel = nullptr;
    QLabel* sbZXLabel = nullptr;
    QWidget* zoomPanel = nullptr;
    QSpinBox* FltEdit = nullptr; // smoothing half-width
    QAction* aExport = nullptr;
    QAction* aCentering = nullptr;
    QAction* aSelectMode = nullptr;

public slots:
    void slot_aNewTriggered(bool checked);
    void slot_aReadTriggered(bool checked);
    void slot_aSaveTriggered(bool checked);
    void slot_aInfoTriggered(bool checked);
    void slot_aPrintTriggered(bool checked);
    void slot_aRunADCTriggered(bool checked);
    void slot_aADCTriggered(bool checked);
    void slot_aSinTriggered(bool checked);
    void slot_aCOMTriggered(bool checked);
    void slot_aCfgSaveTriggered(bool checked);
    void slot_aVoltTriggered(bool checked);
    void slot_aCoulombTriggered(bool checked);
    void slot_aZoomInTriggered(bool checked);
    void slot_aZoomOutTriggered(bool checked);
    void slot_aZoomSelTriggered(bool checked);
    void slot_aSetGCTriggered(bool checked);
    void slot_aSetCCTriggered(bool checked);
    void slot_aSetTCTriggered(bool checked);
    void slot_aSetBCTriggered(bool checked);
    void slot_aFilteringTriggered(bool checked);
    void slot_aZeroSignTriggered(bool checked);
    void slot_aFFTViewTriggered(bool checked);
    void slot_aDirectFFTTriggered(bool checked);
    void slot_aReverseFFTTriggered(bool checked);
    void slot_aSetFFTTriggered(bool checked);
    void slot_aSrcMaxTriggered(bool checked);
    void slot_aAverageTriggered(bool checked);
    void slot_aCascadeTriggered(bool checked);
    void slot_aTileTriggered(bool checked);
    void slot_aNextTriggered(bool checked);
    void slot_aPrevTriggered(bool checked);
    void slot_aCloseTriggered(bool checked);
    void slot_aMinTriggered(bool checked);
    void slot_aMinimizeAllTriggered(bool checked);
    void slot_aAboutTriggered(bool checked);
    void slot_aExportCsvTriggered(bool checked);
    void slot_aExportWavTriggered(bool checked);
    void slot_sbZXValueChanged(int value);
    void slot_sbZXSliderMoved(int value);
    void slot_sbZYValueChanged(int value);
    void slot_sbZYSliderMoved(int value);
    void slot_FltEditValueChanged(int value);
    void slot_aExportTriggered(bool checked);
    void slot_aCenteringTriggered(bool checked);
    void slot_aSelectModeTriggered(bool checked);
    void slot_subWindowActivated(QMdiSubWindow* window);
    void slot_BeforeQuit();
    void slot_tStopReleased();
    // Hit search on the active window: settings dialog, then its hit table.
    void slot_aFindHitsTriggered(bool checked);
    void slot_aLocateTriggered(bool checked);
    void slot_aSeriesTriggered(bool checked);
    void slot_aSeriesStopTriggered(bool checked);
    void slot_aOpenSeriesTriggered(bool checked);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Every waveform window goes through its own close rules first (spectra before their
    // sources); when one of them stays open, so does the program. Nothing is asked while a
    // transform runs: the program stays open.
    void closeEvent(QCloseEvent* event) override;
    // Files dropped on the window open as from the command line.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Closing the series window while the series runs asks first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QLabel*> readoutLabels() const; // tl1 ... tl4, yl1 ... yl4; empty when one is missing
    void chooseColour(int group);
    void showLanguageChoice();
    void fitStatusFrame();
    // True, after its warning, when a command would disturb the running series: one that uses
    // the unit, or one that changes the series window w.
    bool refusedBySeries(const TWForm* w, bool usesUnit);
    // Asks whether to stop the running series; on Yes stops it. True when nothing runs any more
    // (answered Yes during a pause); false when the caller must wait for the end (then it is
    // deferred) or must not go on (No).
    bool askStopSeries(bool& deferred);
    void showSeriesStatus();
    void seriesFinished(const series::Outcome& outcome);

    Ui::MainWindow* ui = nullptr;
    QMdiArea* mdiArea = nullptr;
    // The form's aVolt is checked, so the readouts start in volts until the settings say else.
    bool m_unitVolts = true;
    // The export options last chosen: the next export offers them again.
    dataexport::Choice m_exportChoice;

    series::Run* m_series = nullptr;
    QPointer<QMdiSubWindow> m_seriesWindow; // the TWForm the series acquires into
    QLabel* m_seriesLabel = nullptr;        // in the status frame, right of the readouts
    QTimer* m_seriesClock = nullptr;        // the elapsed time in the label
    bool m_closeAfterSeries = false;        // the program closes once the series has ended
    QPointer<QMdiSubWindow> m_closeWindowAfterSeries;
};

// Lets tests make one check of MainWnd::setupWindow fail as if its object could not be made or
// its connection were refused.
enum class MainSetupFault {
    None,
    MdiArea,
    MdiConnect,
    ToolBar,
    ZoomPanel,
    SbZY,
    SbZYValueConnect,
    SbZYMovedConnect,
    SbZX,
    SbZXValueConnect,
    SbZXMovedConnect,
    SbZYLabel,
    SbZXLabel,
    Separator,
    FltEdit,
    FltEditConnect,
    Export,
    ExportConnect,
    Centering,
    CenteringConnect,
    SelectMode,
    SelectModeConnect,
    FrameSBar,
    StatusBar,
};
extern MainSetupFault g_mainSetupFault;
// Object name of a form action that connectActions treats as missing (tests only).
extern QString g_missingAction;
