#include "fmain.h"

#include "acquisition.h"
#include "ae/hit_dialog.h"
#include "ae/hit_table.h"
#include "ae/location_dialog.h"
#include "ae/location_window.h"
#include "com_dialog.h"
#include "errors.h"
#include "fft_dialog.h"
#include "init.h"
#include "language/language.h"
#include "print_dialog.h"
#include "rs232.h"
#include "series/series_dialog.h"
#include "series/series_table.h"
#include "set_record.h"
#include "settings.h"
#include "ui_AboutDialog.h"
#include "ui_InfoDialog.h"
#include "ui_MainWindow.h"
#include "umisc.h"
#include "ustrings.h"
#include "versioninfo.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QVariant>

#include <cmath>
#include <memory>

QColor g_readoutTextColours[5] = {QColor(0, 0, 0), QColor(0, 0, 0), QColor(0, 0, 0), QColor(0, 0, 0),
                                  QColor(0, 0, 0)};
QColor g_readoutBackColours[5] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                  QColor(255, 255, 0), QColor(0, 255, 255)};

MainSetupFault g_mainSetupFault = MainSetupFault::None;
QString g_missingAction;

static const QString RawFilter = QStringLiteral("Raw Data (*.raw)");

// ---------------------------------------------------------------------------------------------
// Plain helpers

namespace fmain {

QString savePathWithSuffix(const QString& chosen, const QString& suffix)
{
    if (chosen.endsWith(suffix, Qt::CaseSensitive))
        return chosen;
    return chosen + suffix;
}

QString rawSavePath(const QString& chosen)
{
    return savePathWithSuffix(chosen, QStringLiteral(".raw"));
}

int filterModeFor(bool detect, bool smoothing, bool derivative, bool square)
{
    // Code of the check marks: detection 1, smoothing 2 (3 with detection), derivative 4 (only
    // on detection and smoothing), square 8; the table gives the processing mode of each code.
    static const int modeOfCode[11] = {0, 1, 2, 3, 0, 0, 0, 4, 5, 0, 6};
    int u = detect ? 1 : 0;
    if (smoothing)
        u = detect ? 3 : 2;
    if (derivative && u == 3)
        u += 4;
    if (square)
        u += 8;
    return u <= 10 ? modeOfCode[u] : 0;
}

QDate parseBuildDate(const QString& text)
{
    // The compiler pads a day below 10 with a blank ("Dec  6 2026"), which a two-digit day
    // format rejects; collapsing the blanks and reading the day as one or two digits takes
    // every form.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toDate(text.simplified(), QStringLiteral("MMM d yyyy"));
}

QString aboutVersionLine(int major, int minor, int build, const QString& marker, const QString& buildDate)
{
    const QDate date = parseBuildDate(buildDate);
    const QString dateText = date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    const QString version = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(build) + marker;
    return QStringLiteral("Ver. %1  %2").arg(version, dateText);
}

RecordFacts recordFacts(const TWaveStor& record)
{
    RecordFacts f;
    f.verMajor = record.header.verMajor;
    f.verMinor = record.header.verMinor;
    f.channels = record.header.channels;
    f.samples = record.header.samples;
    f.clockKHz = record.header.clockKHz;
    f.divider = record.header.divider;
    f.extSync = record.header.extSync != 0;
    f.detector = record.header.detector != 0;
    // A header from a file may claim more channels than there are slots.
    const int n = qBound(0, int(record.header.channels), MaxChannels);
    for (int ch = 0; ch < n; ++ch) {
        const TChannelHeader* h = record.channelHeader(ch);
        f.gainCodes << (h ? h->gainCode : 0);
        f.inputs << (h ? h->input : 0);
    }
    return f;
}

qint64 samplingFrequencyHz(int clockKHz, qint32 divider)
{
    return samplingRateHz(clockKHz, divider);
}

QStringList recordInfoValues(const RecordFacts& f)
{
    QStringList v;
    v << QString::number(f.verMajor) + QLatin1Char('.') +
             QStringLiteral("%1").arg(f.verMinor, 2, 10, QLatin1Char('0'));
    v << QString::number(f.channels);
    v << QString::number(f.samples);
    v << QString::number(samplingFrequencyHz(f.clockKHz, f.divider)) + QObject::tr(" Гц");
    QString inputs;
    QString gains;
    for (int i = 0; i < f.inputs.size(); ++i) {
        inputs += QString::number(f.inputs[i]) + QLatin1Char(' ');
        // Gain codes of real records are 0 ... 12; a damaged header must not shift past 63.
        const int g = qBound(0, f.gainCodes.value(i), 62);
        gains += QString::number(qint64(1) << g) + QLatin1Char(' ');
    }
    v << inputs;
    v << (f.extSync ? QObject::tr("внешняя") : QObject::tr("внутренняя"));
    v << (f.detector ? QObject::tr("вкл ") : QObject::tr("вык "));
    v << gains;
    return v;
}

QRect newWindowGeometry(const QSize& area, int others, int step)
{
    // Below this a window shows too little of a record to be of use; the area scrolls instead.
    const int width = std::max(area.width(), 320);
    const int height = std::max(area.height() * 4 / 5, 240);
    const int room = std::max(area.height() - height, 0);
    const int places = step > 0 ? room / step + 1 : 1;
    return QRect(0, others % places * std::max(step, 0), width, height);
}

QStringList localFiles(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace fmain

// ---------------------------------------------------------------------------------------------
// Set-up

namespace {

template <class T>
T* made(T* object, MainSetupFault fault)
{
    if (g_mainSetupFault == fault) {
        delete object;
        return nullptr;
    }
    return object;
}

bool linked(const QMetaObject::Connection& c, MainSetupFault fault)
{
    return bool(c) && g_mainSetupFault != fault;
}

// Connects unless the test hook refuses this connection (then nothing is connected).
template <class Sender, class Signal, class Receiver, class Slot>
bool connectChecked(Sender* sender, Signal signal, Receiver* receiver, Slot slot, MainSetupFault fault)
{
    if (!sender || g_mainSetupFault == fault)
        return false;
    return linked(QObject::connect(sender, signal, receiver, slot, Qt::UniqueConnection), fault);
}

struct ActionLink
{
    QAction* Ui::MainWindow::*action;
    int number;
    void (MainWnd::*slot)(bool);
};

// Table order; the number names the action in the condition code of a failed connection.
const ActionLink actionLinks[] = {
    {&Ui::MainWindow::aNew, 6, &MainWnd::slot_aNewTriggered},
    {&Ui::MainWindow::aRead, 8, &MainWnd::slot_aReadTriggered},
    {&Ui::MainWindow::aSave, 9, &MainWnd::slot_aSaveTriggered},
    {&Ui::MainWindow::aInfo, 11, &MainWnd::slot_aInfoTriggered},
    {&Ui::MainWindow::aPrint, 14, &MainWnd::slot_aPrintTriggered},
    {&Ui::MainWindow::aRunADC, 15, &MainWnd::slot_aRunADCTriggered},
    {&Ui::MainWindow::aADC, 16, &MainWnd::slot_aADCTriggered},
    {&Ui::MainWindow::aSin, 19, &MainWnd::slot_aSinTriggered},
    {&Ui::MainWindow::aCOM, 20, &MainWnd::slot_aCOMTriggered},
    {&Ui::MainWindow::aCfgSave, 22, &MainWnd::slot_aCfgSaveTriggered},
    {&Ui::MainWindow::aVolt, 23, &MainWnd::slot_aVoltTriggered},
    {&Ui::MainWindow::aCoulomb, 24, &MainWnd::slot_aCoulombTriggered},
    {&Ui::MainWindow::aZoomIn, 25, &MainWnd::slot_aZoomInTriggered},
    {&Ui::MainWindow::aZoomOut, 26, &MainWnd::slot_aZoomOutTriggered},
    {&Ui::MainWindow::aZoomSel, 29, &MainWnd::slot_aZoomSelTriggered},
    {&Ui::MainWindow::aSetGC1, 30, &MainWnd::slot_aSetGCTriggered},
    {&Ui::MainWindow::aSetGC2, 31, &MainWnd::slot_aSetGCTriggered},
    {&Ui::MainWindow::aSetGC3, 33, &MainWnd::slot_aSetGCTriggered},
    {&Ui::MainWindow::aSetGC4, 34, &MainWnd::slot_aSetGCTriggered},
    {&Ui::MainWindow::aSetCC1, 36, &MainWnd::slot_aSetCCTriggered},
    {&Ui::MainWindow::aSetCC2, 37, &MainWnd::slot_aSetCCTriggered},
    {&Ui::MainWindow::aSetCC3, 38, &MainWnd::slot_aSetCCTriggered},
    {&Ui::MainWindow::aSetCC4, 40, &MainWnd::slot_aSetCCTriggered},
    {&Ui::MainWindow::aSetTC1, 41, &MainWnd::slot_aSetTCTriggered},
    {&Ui::MainWindow::aSetTC2, 43, &MainWnd::slot_aSetTCTriggered},
    {&Ui::MainWindow::aSetTC3, 44, &MainWnd::slot_aSetTCTriggered},
    {&Ui::MainWindow::aSetTC4, 46, &MainWnd::slot_aSetTCTriggered},
    {&Ui::MainWindow::aSetBC1, 47, &MainWnd::slot_aSetBCTriggered},
    {&Ui::MainWindow::aSetBC2, 49, &MainWnd::slot_aSetBCTriggered},
    {&Ui::MainWindow::aSetBC3, 51, &MainWnd::slot_aSetBCTriggered},
    {&Ui::MainWindow::aSetBC4, 52, &MainWnd::slot_aSetBCTriggered},
    {&Ui::MainWindow::aPower, 54, &MainWnd::slot_aFilteringTriggered},
    {&Ui::MainWindow::aDetect, 55, &MainWnd::slot_aFilteringTriggered},
    {&Ui::MainWindow::aFiltering, 56, &MainWnd::slot_aFilteringTriggered},
    {&Ui::MainWindow::aDiff, 58, &MainWnd::slot_aFilteringTriggered},
    {&Ui::MainWindow::aZeroSign, 59, &MainWnd::slot_aZeroSignTriggered},
    {&Ui::MainWindow::aFFTView, 60, &MainWnd::slot_aFFTViewTriggered},
    {&Ui::MainWindow::aDirectFFT, 61, &MainWnd::slot_aDirectFFTTriggered},
    {&Ui::MainWindow::aReverseFFT, 62, &MainWnd::slot_aReverseFFTTriggered},
    {&Ui::MainWindow::aSetFFT, 63, &MainWnd::slot_aSetFFTTriggered},
    {&Ui::MainWindow::aSrcMax, 64, &MainWnd::slot_aSrcMaxTriggered},
    {&Ui::MainWindow::aAverage, 67, &MainWnd::slot_aAverageTriggered},
    {&Ui::MainWindow::aCascade, 68, &MainWnd::slot_aCascadeTriggered},
    {&Ui::MainWindow::aTile, 69, &MainWnd::slot_aTileTriggered},
    {&Ui::MainWindow::aNext, 71, &MainWnd::slot_aNextTriggered},
    {&Ui::MainWindow::aPrev, 72, &MainWnd::slot_aPrevTriggered},
    {&Ui::MainWindow::aClose, 74, &MainWnd::slot_aCloseTriggered},
    {&Ui::MainWindow::aMin, 76, &MainWnd::slot_aMinTriggered},
    {&Ui::MainWindow::aMinimizeAll, 78, &MainWnd::slot_aMinimizeAllTriggered},
    {&Ui::MainWindow::aAbout, 79, &MainWnd::slot_aAboutTriggered},
    {&Ui::MainWindow::aExportCsv, 80, &MainWnd::slot_aExportCsvTriggered},
    {&Ui::MainWindow::aExportWav, 81, &MainWnd::slot_aExportWavTriggered},
};

QString percentText(int value)
{
    return QString::number(value) + QLatin1Char('%');
}

} // namespace

MainWnd::MainWnd(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    umisc::setFileDialogFolderStore(&lastDir);
}

MainWnd::~MainWnd()
{
    umisc::releaseFileDialogFolderStore(&lastDir);
    closeLink();
    // The waveform windows go first, while the form they report to still exists.
    if (mdiArea) {
        disconnect(mdiArea, nullptr, this, nullptr);
        delete mdiArea;
        mdiArea = nullptr;
    }
    delete ui;
    ui = nullptr;
}

int MainWnd::connectActions(int base)
{
    auto failed = [base](int number) {
        const int r = base + number - 4;
        return (r < base || r > base + 80) ? base : r;
    };
    if (!ui)
        return base;
    for (const ActionLink& link : actionLinks) {
        QAction* a = ui->*link.action;
        const bool present = a && (g_missingAction.isEmpty() || a->objectName() != g_missingAction);
        if (!present || !connect(a, &QAction::triggered, this, link.slot, Qt::UniqueConnection))
            return failed(link.number);
        if (link.action == &Ui::MainWindow::aPrint) {
            // The exit command closes the window (its close rules run); it has no number of its
            // own, so its failure reports the base.
            QAction* exit = ui->aExit;
            const bool exitPresent = exit && exit->objectName() != g_missingAction;
            if (!exitPresent ||
                !connect(exit, &QAction::triggered, this, &QWidget::close, Qt::UniqueConnection))
                return base;
        }
    }
    return 0;
}

namespace {

struct SliderRange
{
    int minimum, maximum, singleStep, pageStep;
};

// The two zoom sliders of the tool bar: same size and behaviour, they differ in row and range.
// They take focus by tab, click and wheel and report a value only when a drag ends.
void setUpZoomSlider(QScrollBar* bar, const QString& name, int y, SliderRange r, const QString& tip)
{
    bar->setObjectName(name);
    bar->setGeometry(2, y, 95, 15);
    bar->setRange(r.minimum, r.maximum);
    bar->setSingleStep(r.singleStep);
    bar->setPageStep(r.pageStep);
    bar->setValue(100);
    bar->setToolTip(tip);
    bar->setFocusPolicy(Qt::WheelFocus);
    bar->setTracking(false);
}

} // namespace

bool MainWnd::setupWindow()
{
    quint16 condition = 0;
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true); // raw files dropped from a file manager open as with the read command
    ui = new Ui::MainWindow;
    ui->setupUi(this);

    do {
        if (const int n = connectActions(4)) {
            condition = checkCode(n);
            break;
        }
        connect(ui->aFindHits, &QAction::triggered, this, &MainWnd::slot_aFindHitsTriggered,
                Qt::UniqueConnection);
        connect(ui->aLocate, &QAction::triggered, this, &MainWnd::slot_aLocateTriggered,
                Qt::UniqueConnection);
        connect(ui->aSeries, &QAction::triggered, this, &MainWnd::slot_aSeriesTriggered,
                Qt::UniqueConnection);
        connect(ui->aSeriesStop, &QAction::triggered, this, &MainWnd::slot_aSeriesStopTriggered,
                Qt::UniqueConnection);
        connect(ui->aOpenSeries, &QAction::triggered, this, &MainWnd::slot_aOpenSeriesTriggered,
                Qt::UniqueConnection);
        language::setUpMenu(ui->aLangRu, ui->aLangEn, chosenLanguage, [this](int l) { chooseLanguage(l); });

        mdiArea = made(new QMdiArea(nullptr), MainSetupFault::MdiArea);
        if (!mdiArea) {
            condition = 0xFD02;
            break;
        }
        mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        if (!connectChecked(mdiArea, &QMdiArea::subWindowActivated, this, &MainWnd::slot_subWindowActivated,
                            MainSetupFault::MdiConnect)) {
            condition = 0xFE02;
            break;
        }
        // The status frame lives in the form's central widget, which the MDI area replaces and
        // which is then destroyed: take it out first.
        if (ui->frameSBar)
            ui->frameSBar->setParent(this);
        setCentralWidget(mdiArea);

        zoomPanel = made(new QWidget(nullptr), MainSetupFault::ZoomPanel);
        if (!zoomPanel) {
            condition = 0xFC02;
            break;
        }
        zoomPanel->setObjectName(QStringLiteral("zoomPanel"));
        zoomPanel->setGeometry(0, 0, 139, 38);
        zoomPanel->setFixedSize(139, 38);

        sbZY = made(new QScrollBar(Qt::Horizontal, zoomPanel), MainSetupFault::SbZY);
        if (!sbZY) {
            condition = 0xFD02;
            break;
        }
        setUpZoomSlider(sbZY, QStringLiteral("sbZY"), 2, {4, 400, 4, 40},
                        StringsKit::instance().verticalScale);
        if (!connectChecked(sbZY, &QScrollBar::valueChanged, this, &MainWnd::slot_sbZYValueChanged,
                            MainSetupFault::SbZYValueConnect)) {
            condition = 0xFE02;
            break;
        }
        if (!connectChecked(sbZY, &QScrollBar::sliderMoved, this, &MainWnd::slot_sbZYSliderMoved,
                            MainSetupFault::SbZYMovedConnect)) {
            condition = 0xFF02;
            break;
        }

        sbZX = made(new QScrollBar(Qt::Horizontal, zoomPanel), MainSetupFault::SbZX);
        if (!sbZX) {
            condition = 0xE402;
            break;
        }
        setUpZoomSlider(sbZX, QStringLiteral("sbZX"), 19, {1, 100, 1, 10},
                        StringsKit::instance().horizontalStretch);
        if (!connectChecked(sbZX, &QScrollBar::valueChanged, this, &MainWnd::slot_sbZXValueChanged,
                            MainSetupFault::SbZXValueConnect)) {
            condition = 0xE502;
            break;
        }
        if (!connectChecked(sbZX, &QScrollBar::sliderMoved, this, &MainWnd::slot_sbZXSliderMoved,
                            MainSetupFault::SbZXMovedConnect)) {
            condition = 0xE602;
            break;
        }

        sbZYLabel = made(new QLabel(zoomPanel), MainSetupFault::SbZYLabel);
        if (!sbZYLabel) {
            condition = 0xE702;
            break;
        }
        sbZYLabel->setObjectName(QStringLiteral("sbZYLabel"));
        sbZYLabel->setGeometry(sbZY->geometry().right() + 2, 2, 40, 15);
        sbZXLabel = made(new QLabel(zoomPanel), MainSetupFault::SbZXLabel);
        if (!sbZXLabel) {
            condition = 0xE402;
            break;
        }
        sbZXLabel->setObjectName(QStringLiteral("sbZXLabel"));
        sbZXLabel->setGeometry(sbZX->geometry().right() + 2, 19, 40, 15);

        // The start values reach the labels (and an active window) as a release would.
        if (g_mainWnd && !slidersSyncing)
            slot_sbZYValueChanged(sbZY->value());
        if (g_mainWnd && !slidersSyncing)
            slot_sbZXValueChanged(sbZX->value());

        QToolBar* bar = g_mainSetupFault == MainSetupFault::ToolBar ? nullptr : ui->toolBar;
        if (!bar) {
            condition = 0xFF02;
            break;
        }
        bar->addWidget(zoomPanel);
        bar->addAction(ui->aRunADC);
        bar->addAction(ui->aADC);
        bar->addAction(ui->aSeriesStop);
        if (!made(bar->addSeparator(), MainSetupFault::Separator)) {
            condition = 0xE602;
            break;
        }

        FltEdit = made(new QSpinBox(nullptr), MainSetupFault::FltEdit);
        if (!FltEdit) {
            condition = 0xED02;
            break;
        }
        FltEdit->setObjectName(QStringLiteral("FltEdit"));
        FltEdit->setRange(0, 125);
        FltEdit->setValue(1);
        FltEdit->setFixedHeight(24);
        FltEdit->setToolTip(StringsKit::instance().smoothingParameter);
        bar->addWidget(FltEdit);
        if (!connectChecked(FltEdit, QOverload<int>::of(&QSpinBox::valueChanged), this,
                            &MainWnd::slot_FltEditValueChanged, MainSetupFault::FltEditConnect)) {
            condition = 0xEE02;
            break;
        }

        aExport =
            made(new QAction(QIcon(QStringLiteral(":/export.png")), StringsKit::instance().buffer, this),
                 MainSetupFault::Export);
        if (!aExport) {
            condition = 0xEF02;
            break;
        }
        aExport->setObjectName(QStringLiteral("aExport"));
        aExport->setToolTip(StringsKit::instance().saveTimesToBuffer);
        bar->addAction(aExport);
        if (!connectChecked(aExport, &QAction::triggered, this, &MainWnd::slot_aExportTriggered,
                            MainSetupFault::ExportConnect)) {
            condition = 0xEC02;
            break;
        }

        aCentering = made(new QAction(QIcon(QStringLiteral(":/center.png")), QString(), this),
                          MainSetupFault::Centering);
        if (!aCentering) {
            condition = 0xEE02;
            break;
        }
        aCentering->setObjectName(QStringLiteral("aCentering"));
        aCentering->setToolTip(StringsKit::instance().centreCursors);
        bar->addAction(aCentering);
        if (!connectChecked(aCentering, &QAction::triggered, this, &MainWnd::slot_aCenteringTriggered,
                            MainSetupFault::CenteringConnect)) {
            condition = 0xEF02;
            break;
        }

        aSelectMode = made(new QAction(QIcon(QStringLiteral(":/monitor.png")), QString(), this),
                           MainSetupFault::SelectMode);
        if (!aSelectMode) {
            condition = 0xF402;
            break;
        }
        aSelectMode->setObjectName(QStringLiteral("aSelectMode"));
        aSelectMode->setToolTip(StringsKit::instance().selectionModeSwitch);
        aSelectMode->setCheckable(true);
        bar->addAction(aSelectMode);
        if (!connectChecked(aSelectMode, &QAction::triggered, this, &MainWnd::slot_aSelectModeTriggered,
                            MainSetupFault::SelectModeConnect)) {
            condition = 0xF502;
            break;
        }

        QFrame* frame = g_mainSetupFault == MainSetupFault::FrameSBar ? nullptr : ui->frameSBar;
        if (!frame) {
            condition = 0xF402;
            break;
        }
        QStatusBar* status = g_mainSetupFault == MainSetupFault::StatusBar ? nullptr : ui->statusbar;
        if (!status) {
            condition = 0xF602;
            break;
        }
        frame->setParent(status);
        frame->show();
        m_seriesLabel = new QLabel(frame);
        m_seriesLabel->setObjectName(QStringLiteral("seriesLabel"));
        m_seriesLabel->hide();
        m_seriesClock = new QTimer(this);
        connect(m_seriesClock, &QTimer::timeout, this, &MainWnd::showSeriesStatus);
        fitStatusFrame();
        for (QLabel* l : readoutLabels())
            l->hide();

        loadSettings();
        refreshActions();
        return true;
    } while (false);

    REPORT_CRITICAL(condition);
    return false;
}

// ---------------------------------------------------------------------------------------------
// Window state

TWForm* MainWnd::activeForm() const
{
    return mdiArea ? qobject_cast<TWForm*>(mdiArea->activeSubWindow()) : nullptr;
}

QList<TWForm*> MainWnd::forms() const
{
    QList<TWForm*> list;
    if (!mdiArea)
        return list;
    for (QMdiSubWindow* s : mdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* f = qobject_cast<TWForm*>(s))
            list << f;
    return list;
}

QList<QLabel*> MainWnd::readoutLabels() const
{
    if (!ui)
        return {};
    const QList<QLabel*> labels = {ui->tl1, ui->tl2, ui->tl3, ui->tl4, ui->yl1, ui->yl2, ui->yl3, ui->yl4};
    for (QLabel* l : labels)
        if (!l)
            return {};
    return labels;
}

void MainWnd::refreshActions()
{
    if (!mdiArea || !ui)
        return;
    TWForm* w = activeForm();
    const bool has = w != nullptr;
    ui->aPrint->setEnabled(has);
    ui->mZoom->setEnabled(has);
    ui->mColor->setEnabled(has);
    ui->mProcessing->setEnabled(has);
    if (aSelectMode)
        aSelectMode->setEnabled(has);

    if (!has) {
        if (aSelectMode)
            aSelectMode->setChecked(false);
        if (aCentering)
            aCentering->setEnabled(false);
        ui->mWindow->setEnabled(false);
        if (aExport)
            aExport->setEnabled(false);
        ui->aSave->setEnabled(false);
        ui->aExportCsv->setEnabled(false);
        ui->aExportWav->setEnabled(false);
        ui->aInfo->setEnabled(false);
        ui->aSin->setEnabled(false);
        ui->mFilters->setEnabled(false);
        if (FltEdit)
            FltEdit->setEnabled(false);
        for (QLabel* l : readoutLabels())
            l->hide();
        return;
    }

    if (aCentering)
        aCentering->setEnabled(true);
    ui->mWindow->setEnabled(true);
    if (aExport)
        aExport->setEnabled(true);
    ui->aSin->setEnabled(!w->isSpectrum);
    ui->aReverseFFT->setEnabled(w->isSpectrum);
    ui->aFFTView->setEnabled(!w->isSpectrum);
    // A spectrum has no time axis to export or search.
    ui->aExportCsv->setEnabled(!w->isSpectrum);
    ui->aExportWav->setEnabled(!w->isSpectrum);
    ui->aFindHits->setEnabled(!w->isSpectrum);
    ui->aLocate->setEnabled(!w->isSpectrum);
    if (w->isSpectrum && aSelectMode)
        aSelectMode->setChecked(false);

    const bool ordinary = !w->isSpectrum && !w->hasSpectrum;
    if (FltEdit)
        FltEdit->setEnabled(ordinary);
    ui->mFilters->setEnabled(ordinary);
    ui->aDirectFFT->setEnabled(ordinary);
    ui->aSave->setEnabled(ordinary);
    ui->aInfo->setEnabled(ordinary);
}

void MainWnd::fitStatusFrame()
{
    if (ui && ui->frameSBar && ui->statusbar && ui->frameSBar->parentWidget() == ui->statusbar)
        ui->frameSBar->setGeometry(0, 0, ui->statusbar->width(), ui->statusbar->height());
    // The series' progress takes the room right of the readouts.
    if (ui && ui->frameSBar && m_seriesLabel) {
        const int left = ui->yl4 ? ui->yl4->geometry().right() + 12 : 830;
        m_seriesLabel->setGeometry(left, 4, std::max(ui->frameSBar->width() - left - 4, 0), 16);
    }
}

void MainWnd::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fitStatusFrame();
}

void MainWnd::closeEvent(QCloseEvent* event)
{
    if (seriesRunning()) {
        bool deferred = false;
        if (!askStopSeries(deferred)) {
            m_closeAfterSeries = deferred;
            event->ignore();
            return;
        }
    }
    // A request that reaches a running transform through its event processing (the session
    // ending, say) must not take windows from under it, nor ask questions on the way.
    for (TWForm* f : forms()) {
        if (f->transforming) {
            event->ignore();
            return;
        }
    }
    if (mdiArea) {
        // Spectra first: a source window refuses to close while its spectrum is open.
        QList<QPointer<QMdiSubWindow>> order;
        const QList<QMdiSubWindow*> all = mdiArea->subWindowList(QMdiArea::CreationOrder);
        for (QMdiSubWindow* s : all) {
            auto* f = qobject_cast<TWForm*>(s);
            if (f && f->isSpectrum)
                order << s;
        }
        for (QMdiSubWindow* s : all) {
            auto* f = qobject_cast<TWForm*>(s);
            if (!f || !f->isSpectrum)
                order << s;
        }
        for (const QPointer<QMdiSubWindow>& s : order) {
            if (s && !s->close()) {
                event->ignore();
                return;
            }
        }
    }
    QMainWindow::closeEvent(event);
}

void MainWnd::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && !fmain::localFiles(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void MainWnd::dropEvent(QDropEvent* event)
{
    const QStringList paths =
        event->mimeData() ? fmain::localFiles(event->mimeData()->urls()) : QStringList();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop has finished: a warning about a bad file must not hold the drag.
    QTimer::singleShot(0, this, [this, paths] { openPaths(paths); });
}

// ---------------------------------------------------------------------------------------------
// File commands

TWForm* MainWnd::newWindow()
{
    if (!mdiArea)
        return nullptr;
    auto* w = new TWForm(nullptr);
    if (!w->initEmpty()) {
        delete w;
        return nullptr;
    }
    w->setWindowTitle(QStringLiteral("NoName - ") + QString::number(newCounter));
    showNewWindow(w);
    ++newCounter;
    return w;
}

void MainWnd::openRawFile()
{
    if (!mdiArea || !velkit::libraryMessager() || !sbZY || !sbZX)
        return;
    const QString path = QFileDialog::getOpenFileName(this, QString(), lastDir, RawFilter);
    if (path.isEmpty())
        return;
    openRawPath(path);
}

TWForm* MainWnd::openRawPath(const QString& path)
{
    if (!mdiArea || !sbZY || !sbZX)
        return nullptr;
    auto* w = new TWForm(nullptr);
    if (!w->initFromFile(path)) {
        delete w;
        umisc::showWarning(StringsKit::WarnReadFailed, QStringLiteral("4"), QString(), false, true);
        return nullptr;
    }
    // The new window is not active yet: the slider changes must not reach the active one.
    slidersSyncing = true;
    w->verticalScaleToSlider(sbZY);
    w->stretchToSlider(sbZX);
    slidersSyncing = false;
    if (sbZYLabel)
        sbZYLabel->setText(percentText(sbZY->value()));
    if (sbZXLabel)
        sbZXLabel->setText(percentText(sbZX->value()));
    showNewWindow(w);
    lastDir = umisc::directoryOf(path);
    return w;
}

void MainWnd::openPaths(const QStringList& paths)
{
    for (const QString& path : paths)
        openRawPath(QFileInfo(path).absoluteFilePath());
}

namespace {

// Where a window opened and its place in the stack, kept on the window: as long as it still
// has that geometry, the user has not moved it and it follows the area's size.
const char* const OpenedAt = "tavrelOpenedAt";
const char* const OpenedAmong = "tavrelOpenedAmong";

int titleBarStep(QWidget* window)
{
    return window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
}

void placeOpened(QMdiSubWindow* window, const QSize& area, int others)
{
    const QRect r = fmain::newWindowGeometry(area, others, titleBarStep(window));
    window->setGeometry(r);
    window->setProperty(OpenedAt, r);
    window->setProperty(OpenedAmong, others);
}

// The main window reaches its full size only after it is shown, when windows named on the
// command line may already be open: windows left where they opened grow with the area.
class OpenedWindowsFollow : public QObject
{
public:
    static constexpr const char* Name = "tavrelOpenedWindowsFollow";

    explicit OpenedWindowsFollow(QMdiArea* area)
        : QObject(area)
        , m_area(area)
    {
        setObjectName(QLatin1String(Name));
        area->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Resize || watched != m_area->viewport())
            return false;
        const QSize size = static_cast<QResizeEvent*>(event)->size();
        for (QMdiSubWindow* w : m_area->subWindowList()) {
            const QVariant at = w->property(OpenedAt);
            if (at.isValid() && !w->isMaximized() && !w->isMinimized() && w->geometry() == at.toRect())
                placeOpened(w, size, w->property(OpenedAmong).toInt());
        }
        return false;
    }

private:
    QMdiArea* m_area;
};

} // namespace

void MainWnd::showNewWindow(TWForm* window)
{
    if (!mdiArea || !window)
        return;
    if (!mdiArea->findChild<QObject*>(QLatin1String(OpenedWindowsFollow::Name), Qt::FindDirectChildrenOnly))
        new OpenedWindowsFollow(mdiArea);
    // Asked before the new window joins: it would be the active one after that.
    const QMdiSubWindow* active = mdiArea->activeSubWindow();
    const bool maximised = active && active->isMaximized();
    int others = 0;
    for (const QMdiSubWindow* s : mdiArea->subWindowList())
        others += s->isVisible() && !s->isMinimized();
    mdiArea->addSubWindow(window);
    window->show();
    // After show: the first layout of the window has taken its title bar into account. A window
    // opened maximised keeps this place for when it is restored.
    if (window->isMaximized())
        window->showNormal();
    placeOpened(window, mdiArea->viewport()->size(), others);
    if (maximised)
        window->showMaximized();
}

void MainWnd::runAcquisition()
{
    if (!mdiArea || !ui || !velkit::libraryMessager())
        return;
    ui->aRunADC->setEnabled(false);
    const int length = 2 * int(g_acquisitionParameters.halfLength);
    bool ok = false;
    TWForm* w = activeForm();
    if (w && !w->isSpectrum && !w->hasSpectrum) {
        // A window that fails keeps what it had read so far and stays open.
        ok = w->acquire(channelCount, length);
    } else {
        QPointer<TWForm> fresh = new TWForm(nullptr);
        if (fresh->initEmpty()) {
            fresh->setWindowTitle(QStringLiteral("NoName - ") + QString::number(newCounter));
            showNewWindow(fresh);
            ++newCounter;
            ok = fresh->acquire(channelCount, length);
        }
        if (!ok)
            delete fresh.data();
    }
    if (!ok)
        umisc::showWarning(StringsKit::WarnLoadFailed, QString(), QString(), true, true);
    ui->aRunADC->setEnabled(true);
}

void MainWnd::saveRawFile()
{
    if (!mdiArea || !velkit::libraryMessager() || !activeForm())
        return;
    const QString path = QFileDialog::getSaveFileName(this, QString(), lastDir, RawFilter);
    if (path.isEmpty())
        return;
    saveRawPath(path);
}

int MainWnd::saveRawPath(const QString& chosen)
{
    TWForm* w = activeForm();
    if (!w)
        return 100;
    const QString path = fmain::rawSavePath(chosen);
    const int result = w->save(path);
    if (result == 0) {
        w->setWindowTitle(QDir::toNativeSeparators(path));
        lastDir = umisc::directoryOf(path);
    } else {
        umisc::showWarning(StringsKit::WarnWriteFailed, QString::number(result), QString(), false, true);
    }
    return result;
}

void MainWnd::exportFile(dataexport::Format format)
{
    TWForm* w = activeForm();
    if (!mdiArea || !velkit::libraryMessager() || !w || !w->record || w->isSpectrum)
        return;
    // Said before any dialog: the file could not carry the rate anyway.
    if (format == dataexport::Format::Wav && dataexport::wavSampleRate(*w->record) == 0) {
        umisc::showWarning(StringsKit::WarnNoSamplingRate, QString(), QString(), true, true);
        return;
    }
    if (!dataexport::askOptions(this, format, w->selStart != w->selEnd, m_exportChoice))
        return;
    const QString filter =
        format == dataexport::Format::Csv ? QStringLiteral("CSV (*.csv)") : QStringLiteral("WAV (*.wav)");
    const QString path = QFileDialog::getSaveFileName(this, QString(), lastDir, filter);
    if (path.isEmpty())
        return;
    exportPath(path, format, m_exportChoice);
}

int MainWnd::exportPath(const QString& chosen, dataexport::Format format, const dataexport::Choice& choice)
{
    TWForm* w = activeForm();
    if (!w)
        return 100;
    const QString path = fmain::savePathWithSuffix(chosen, dataexport::suffix(format));
    const int result = dataexport::exportWindow(this, *w, format, choice, path);
    if (result == 0)
        lastDir = umisc::directoryOf(path);
    else if (result == dataexport::ExportNoRate)
        umisc::showWarning(StringsKit::WarnNoSamplingRate, QString(), QString(), true, true);
    else if (result != dataexport::ExportCancelled)
        umisc::showWarning(StringsKit::WarnWriteFailed, QString::number(result), QString(), false, true);
    return result;
}

TWForm* MainWnd::directFFT()
{
    TWForm* w = activeForm();
    if (!mdiArea || !w || !w->record || w->isSpectrum || w->hasSpectrum || w->transforming)
        return nullptr;
    if (!aSelectMode || !aSelectMode->isChecked())
        w->roundSelectionToPowerOfTwo();
    if (w->selLog2 < 2 || w->selStart == w->selEnd) {
        umisc::showWarning(StringsKit::WarnBadSelection);
        return nullptr;
    }
    auto* spectrum = new TWForm(nullptr);
    spectrum->setWindowTitle(QStringLiteral("FFT: ") + w->windowTitle());
    if (!spectrum->initSpectrum(w)) {
        delete spectrum;
        return nullptr;
    }
    showNewWindow(spectrum);
    refreshActions();
    return spectrum;
}

// ---------------------------------------------------------------------------------------------
// Dialogs

void MainWnd::showRecordInfo()
{
    TWForm* w = activeForm();
    if (!mdiArea || !w || !w->record)
        return;
    std::unique_ptr<Ui::InfoDialog> form(new Ui::InfoDialog);
    std::unique_ptr<QDialog> dialog(new QDialog(this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint));
    form->setupUi(dialog.get());
    QObject::connect(form->pushButton, &QPushButton::clicked, dialog.get(), &QDialog::accept);

    const QStringList values = fmain::recordInfoValues(fmain::recordFacts(*w->record));
    QLabel* const labels[] = {form->verL, form->numWL, form->wSizeL, form->frqL,
                              form->muxL, form->syncL, form->detL,   form->gainL};
    int i = 0;
    for (QLabel* l : labels) {
        if (!l)
            return; // a form without the label shows nothing
        l->setText(l->text() + values.value(i++));
    }
    dialog->exec();
}

void MainWnd::showAbout()
{
    std::unique_ptr<Ui::AboutDialog> form(new Ui::AboutDialog);
    std::unique_ptr<QDialog> dialog(new QDialog(this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint));
    form->setupUi(dialog.get());
    QObject::connect(form->pushButton, &QPushButton::clicked, dialog.get(), &QDialog::accept);
    form->lVersion->setText(fmain::aboutVersionLine(VersionMajor, VersionMinor, VersionBuild,
                                                    QString::fromLatin1(VersionMarker),
                                                    QString::fromLatin1(BuildDate)));
    dialog->exec();
}

// ---------------------------------------------------------------------------------------------
// Mirroring the active window

void MainWnd::syncToWindow(TWForm* window)
{
    if (!FltEdit || !ui || !sbZY || !sbZX || !window)
        return;
    int mode = 0;
    syncingFilter = true;
    if (window->record) {
        const int half = window->record->filter(&mode);
        FltEdit->setValue(half);
    }
    syncingFilter = false;

    ui->aDetect->setChecked(mode == 1 || mode == 3 || mode == 4);
    ui->aFiltering->setChecked(mode == 2 || mode == 3 || mode == 4 || mode == 6);
    ui->aDiff->setEnabled(mode == 3 || mode == 4);
    ui->aDiff->setChecked(mode == 4);
    ui->aPower->setChecked(mode == 5 || mode == 6);
    ui->aPower->setEnabled(!ui->aDetect->isChecked());
    ui->aDetect->setEnabled(!ui->aPower->isChecked());

    slidersSyncing = true;
    window->verticalScaleToSlider(sbZY);
    window->stretchToSlider(sbZX);
    slidersSyncing = false;
    if (sbZYLabel)
        sbZYLabel->setText(percentText(sbZY->value()));
    if (sbZXLabel)
        sbZXLabel->setText(percentText(sbZX->value()));

    if (window->record)
        ui->aSin->setChecked(window->record->header.showSine != 0);
}

void MainWnd::syncStretchSlider(TWForm* window)
{
    if (!sbZX || !window)
        return;
    // Only the slider follows: its rounded value must not be applied back to the window.
    slidersSyncing = true;
    window->stretchToSlider(sbZX);
    slidersSyncing = false;
    if (sbZXLabel)
        sbZXLabel->setText(percentText(sbZX->value()));
}

void MainWnd::setReadout(TWForm* window, int channel, const QString& positionText,
                         const QString& amplitudeText)
{
    const QList<QLabel*> labels = readoutLabels();
    if (labels.isEmpty() || channel < 0 || channel > 3)
        return;
    const bool spectrum = window && window->isSpectrum;
    const QString number = QString::number(channel + 1) + QLatin1Char('=');
    auto show = [](QLabel* l, const QString& text) {
        l->setText(text);
        l->setVisible(!text.isEmpty());
    };
    show(labels[channel], positionText.isEmpty() ? QString()
                                                 : (spectrum ? QStringLiteral("F") : QStringLiteral("T")) +
                                                       number + positionText);
    show(labels[4 + channel],
         amplitudeText.isEmpty()
             ? QString()
             : (spectrum ? QStringLiteral("A") : QStringLiteral("Y")) + number + amplitudeText);
}

void MainWnd::setUnit(bool volts)
{
    if (!ui || !mdiArea)
        return;
    m_unitVolts = volts;
    ui->aVolt->setChecked(volts);
    ui->aCoulomb->setChecked(!volts);
    if (TWForm* w = activeForm())
        w->updateReadouts();
}

void MainWnd::setReadoutTextColour(const QColor& colour, int channel)
{
    const QList<QLabel*> labels = readoutLabels();
    if (labels.isEmpty() || channel < 0 || channel > 3)
        return;
    for (QLabel* l : {labels[channel], labels[4 + channel]}) {
        QPalette p = l->palette();
        p.setBrush(QPalette::All, QPalette::WindowText, QBrush(colour, Qt::SolidPattern));
        l->setPalette(p);
    }
}

void MainWnd::setReadoutBackColour(const QColor& colour, int channel)
{
    const QList<QLabel*> labels = readoutLabels();
    if (labels.isEmpty() || channel < 0 || channel > 3)
        return;
    for (QLabel* l : {labels[channel], labels[4 + channel]}) {
        QPalette p = l->palette();
        p.setBrush(QPalette::All, QPalette::Window, QBrush(colour, Qt::SolidPattern));
        l->setPalette(p);
    }
}

void MainWnd::applyFilterMode()
{
    if (!ui || !mdiArea || !FltEdit)
        return;
    if (ui->aDetect->isChecked()) {
        ui->aPower->setChecked(false);
        ui->aPower->setEnabled(false);
    } else {
        ui->aPower->setEnabled(true);
    }
    if (ui->aFiltering->isChecked() && ui->aDetect->isChecked()) {
        ui->aDiff->setEnabled(true);
    } else {
        ui->aDiff->setEnabled(false);
        ui->aDiff->setChecked(false);
    }
    if (ui->aPower->isChecked()) {
        ui->aDetect->setChecked(false);
        ui->aDetect->setEnabled(false);
    } else {
        ui->aDetect->setEnabled(true);
    }
    const int mode = fmain::filterModeFor(ui->aDetect->isChecked(), ui->aFiltering->isChecked(),
                                          ui->aDiff->isChecked(), ui->aPower->isChecked());
    if (TWForm* w = activeForm())
        w->setFilter(mode, FltEdit->value());
}

void MainWnd::chooseColour(int group)
{
    if (!ui)
        return;
    auto* sender = qobject_cast<QAction*>(this->sender());
    if (!sender)
        return;
    QAction* const groups[4][4] = {
        {ui->aSetGC1, ui->aSetGC2, ui->aSetGC3, ui->aSetGC4},
        {ui->aSetCC1, ui->aSetCC2, ui->aSetCC3, ui->aSetCC4},
        {ui->aSetTC1, ui->aSetTC2, ui->aSetTC3, ui->aSetTC4},
        {ui->aSetBC1, ui->aSetBC2, ui->aSetBC3, ui->aSetBC4},
    };
    int index = 0;
    for (int i = 0; i < 4; ++i)
        if (groups[group][i] == sender)
            index = i;
    QColor* const tables[4] = {g_traceColours, g_cursorColours, g_readoutTextColours, g_readoutBackColours};
    const QColor colour = QColorDialog::getColor(tables[group][index], this);
    if (!colour.isValid())
        return;
    switch (group) {
    case 0:
        for (TWForm* f : forms())
            f->setChannelColour(index, colour);
        break;
    case 1:
        for (TWForm* f : forms())
            f->setCursorColour(index, colour);
        break;
    case 2:
        g_readoutTextColours[index] = colour;
        setReadoutTextColour(colour, index);
        break;
    default:
        g_readoutBackColours[index] = colour;
        setReadoutBackColour(colour, index);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Slots

void MainWnd::slot_aNewTriggered(bool)
{
    newWindow();
}

void MainWnd::slot_aReadTriggered(bool)
{
    openRawFile();
}

void MainWnd::slot_aSaveTriggered(bool)
{
    if (refusedBySeries(activeForm(), false))
        return;
    saveRawFile();
}

void MainWnd::slot_aInfoTriggered(bool)
{
    showRecordInfo();
}

void MainWnd::slot_aPrintTriggered(bool)
{
    if (mdiArea)
        runPrintDialog(this, activeForm());
}

void MainWnd::slot_aRunADCTriggered(bool)
{
    if (refusedBySeries(nullptr, true))
        return;
    runAcquisition();
}

void MainWnd::slot_aADCTriggered(bool)
{
    runAcquisitionParametersDialog(this, g_acquisitionParameters, forAll);
}

void MainWnd::slot_aSinTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->setSineOverlay(ui->aSin->isChecked());
}

void MainWnd::slot_aCOMTriggered(bool)
{
    if (refusedBySeries(nullptr, true))
        return;
    runComPortDialog(this);
}

void MainWnd::slot_aCfgSaveTriggered(bool)
{
    saveSettings();
}

void MainWnd::slot_aVoltTriggered(bool)
{
    setUnit(true);
}

void MainWnd::slot_aCoulombTriggered(bool)
{
    setUnit(false);
}

void MainWnd::slot_aZoomInTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->zoomIn();
}

void MainWnd::slot_aZoomOutTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->zoomOut();
}

void MainWnd::slot_aZoomSelTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->zoomToSelection();
}

void MainWnd::slot_aSetGCTriggered(bool)
{
    chooseColour(0);
}

void MainWnd::slot_aSetCCTriggered(bool)
{
    chooseColour(1);
}

void MainWnd::slot_aSetTCTriggered(bool)
{
    chooseColour(2);
}

void MainWnd::slot_aSetBCTriggered(bool)
{
    chooseColour(3);
}

void MainWnd::slot_aFilteringTriggered(bool checked)
{
    auto* a = qobject_cast<QAction*>(sender());
    if (a && a->isEnabled())
        a->setChecked(checked);
    applyFilterMode();
}

void MainWnd::slot_aZeroSignTriggered(bool)
{
    if (refusedBySeries(activeForm(), false))
        return;
    if (TWForm* w = activeForm())
        w->zeroSignal();
}

void MainWnd::slot_aFFTViewTriggered(bool)
{
    if (TWForm* w = activeForm())
        showFFTPreview(w, w->record);
}

void MainWnd::slot_aDirectFFTTriggered(bool)
{
    if (refusedBySeries(activeForm(), false))
        return;
    directFFT();
}

void MainWnd::slot_aReverseFFTTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->inverseFFT();
}

void MainWnd::slot_aSetFFTTriggered(bool)
{
    runFFTSettingsDialog(this);
}

void MainWnd::slot_aSrcMaxTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->findMaximum();
}

void MainWnd::slot_aAverageTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->showMean();
}

void MainWnd::slot_aCascadeTriggered(bool)
{
    if (mdiArea)
        mdiArea->cascadeSubWindows();
}

void MainWnd::slot_aTileTriggered(bool)
{
    if (mdiArea)
        mdiArea->tileSubWindows();
}

void MainWnd::slot_aNextTriggered(bool)
{
    if (mdiArea)
        mdiArea->activateNextSubWindow();
}

void MainWnd::slot_aPrevTriggered(bool)
{
    if (mdiArea)
        mdiArea->activatePreviousSubWindow();
}

void MainWnd::slot_aCloseTriggered(bool)
{
    if (mdiArea)
        mdiArea->closeActiveSubWindow();
}

void MainWnd::slot_aMinTriggered(bool)
{
    if (mdiArea && mdiArea->activeSubWindow())
        mdiArea->activeSubWindow()->showMinimized();
}

void MainWnd::slot_aMinimizeAllTriggered(bool)
{
    if (!mdiArea)
        return;
    for (QMdiSubWindow* s : mdiArea->subWindowList(QMdiArea::CreationOrder))
        s->showMinimized();
}

void MainWnd::slot_aAboutTriggered(bool)
{
    showAbout();
}

void MainWnd::slot_aExportCsvTriggered(bool)
{
    exportFile(dataexport::Format::Csv);
}

void MainWnd::slot_aExportWavTriggered(bool)
{
    exportFile(dataexport::Format::Wav);
}

void MainWnd::slot_sbZXValueChanged(int value)
{
    if (!g_mainWnd || slidersSyncing || !sbZX || !mdiArea)
        return;
    if (sbZXLabel)
        sbZXLabel->setText(percentText(value));
    if (TWForm* w = activeForm())
        w->setStretchFromSlider(true, value * 10, sbZX->maximum() * 10);
}

void MainWnd::slot_sbZXSliderMoved(int value)
{
    if (!sbZX || !mdiArea)
        return;
    if (sbZXLabel)
        sbZXLabel->setText(percentText(value));
    if (TWForm* w = activeForm())
        w->setStretchFromSlider(false, value * 10, sbZX->maximum() * 10);
}

void MainWnd::slot_sbZYValueChanged(int value)
{
    if (!g_mainWnd || slidersSyncing || !mdiArea)
        return;
    if (sbZYLabel)
        sbZYLabel->setText(percentText(value));
    if (TWForm* w = activeForm())
        w->setVerticalScale(true, value * 10);
}

void MainWnd::slot_sbZYSliderMoved(int value)
{
    if (!mdiArea)
        return;
    if (sbZYLabel)
        sbZYLabel->setText(percentText(value));
    if (TWForm* w = activeForm())
        w->setVerticalScale(false, value * 10);
}

void MainWnd::slot_FltEditValueChanged(int)
{
    if (syncingFilter)
        return;
    applyFilterMode();
}

void MainWnd::slot_aExportTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->exportToClipboard();
}

void MainWnd::slot_aCenteringTriggered(bool)
{
    if (TWForm* w = activeForm())
        w->centreCursors();
}

void MainWnd::slot_aSelectModeTriggered(bool checked)
{
    if (!checked)
        return;
    if (TWForm* w = activeForm())
        w->roundSelectionToPowerOfTwo();
}

void MainWnd::slot_subWindowActivated(QMdiSubWindow*)
{
    refreshActions();
}

void MainWnd::slot_BeforeQuit()
{
    delete g_translator; // a deleted translator removes itself from the application
    g_translator = nullptr;
    velkit::vlkShutdown();
}

void MainWnd::slot_tStopReleased()
{
    // STOP (or Escape) in the progress dialog of a series ends the series.
    if (seriesRunning())
        stopSeries();
    else
        abortLink();
}

void MainWnd::slot_aFindHitsTriggered(bool)
{
    TWForm* w = activeForm();
    if (!w || w->isSpectrum || refusedBySeries(w, false) || !runHitSettingsDialog(this, g_hitSettings))
        return;
    THitTable::showFor(this, w, g_hitSettings);
}

void MainWnd::slot_aLocateTriggered(bool)
{
    TWForm* w = activeForm();
    if (!w || w->isSpectrum || !w->record || refusedBySeries(w, false) ||
        !runLocationDialog(this, w->record->channelCount(), g_locationSetup, g_hitSettings))
        return;
    TLocationWindow::showFor(this, w, g_locationSetup, g_hitSettings);
}

// ---------------------------------------------------------------------------------------------
// Series of records

void MainWnd::slot_aSeriesTriggered(bool)
{
    if (refusedBySeries(nullptr, true))
        return;
    series::Settings s = g_seriesSettings;
    if (s.folder.isEmpty())
        s.folder = lastDir;
    if (!runSeriesDialog(this, s))
        return;
    g_seriesSettings = s;
    startSeries(s);
}

void MainWnd::slot_aSeriesStopTriggered(bool)
{
    stopSeries();
}

void MainWnd::slot_aOpenSeriesTriggered(bool)
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Открыть серию"), lastDir);
    if (folder.isEmpty())
        return;
    lastDir = QDir::toNativeSeparators(folder);
    openSeriesFolder(folder);
}

TSeriesTable* MainWnd::openSeriesFolder(const QString& folder)
{
    return TSeriesTable::showFor(this, folder, [this](const QString& path) { openRawPath(path); });
}

TWForm* MainWnd::seriesWindow() const
{
    return qobject_cast<TWForm*>(m_seriesWindow.data());
}

bool MainWnd::seriesRunning() const
{
    return m_series && m_series->running();
}

bool MainWnd::refusedBySeries(const TWForm* w, bool usesUnit)
{
    if (!seriesRunning())
        return false;
    if (usesUnit)
        umisc::showWarning(StringsKit::WarnSeriesUnitBusy);
    else if (w && w == m_seriesWindow)
        umisc::showWarning(StringsKit::WarnSeriesWindowBusy, w->windowTitle());
    else
        return false;
    return true;
}

bool MainWnd::startSeries(const series::Settings& given)
{
    if (!mdiArea || !ui || refusedBySeries(nullptr, true))
        return false;
    series::Settings s = given;
    if (s.folder.isEmpty()) {
        umisc::showWarning(StringsKit::WarnSeriesNoFolder);
        return false;
    }
    if (!QFileInfo(s.folder).isDir()) {
        umisc::showWarning(StringsKit::WarnSeriesFolderMissing, QDir::toNativeSeparators(s.folder));
        return false;
    }
    if (!series::validPrefix(s.prefix)) {
        umisc::showWarning(StringsKit::WarnSeriesBadPrefix, s.prefix);
        return false;
    }
    s.folder = QDir(s.folder).absolutePath();
    const QString title = tr("Серия — %1").arg(QDir::toNativeSeparators(s.folder));
    TWForm* w = nullptr;
    for (TWForm* f : forms())
        if (f->windowTitle() == title && !f->isSpectrum && !f->hasSpectrum && !f->transforming)
            w = f;
    if (!w) {
        w = new TWForm(nullptr);
        if (!w->initEmpty()) {
            delete w;
            return false;
        }
        w->setWindowTitle(title);
        showNewWindow(w);
    }
    mdiArea->setActiveSubWindow(w);
    m_seriesWindow = w;
    w->installEventFilter(this);

    series::Hooks hooks;
    hooks.acquire = [this] {
        series::Acquired a;
        AcquisitionReport report;
        report.escapeStops = true;
        TWForm* f = seriesWindow();
        a.ok = f && f->acquire(channelCount, 2 * int(g_acquisitionParameters.halfLength), &report);
        a.record = f ? f->record : nullptr;
        a.startUtc = report.sentUtc;
        a.endUtc = report.readUtc;
        a.failure = f ? acquisitionFailureText(report) : QStringLiteral("series window closed");
        return a;
    };
    hooks.abort = [] { abortLink(); };
    // A dialog may hold the series window's record, and the acquisition's own dialog is modal.
    hooks.mayAcquire = [] { return QApplication::activeModalWidget() == nullptr; };
    hooks.saved = [this](const QString&) {
        if (TWForm* f = seriesWindow())
            f->unsavedRecording = false;
    };
    const QString folder = s.folder;
    hooks.status = [this, folder](const series::Status& st) {
        showSeriesStatus();
        if (st.phase == series::Phase::Pausing && st.attempt > 0)
            TSeriesTable::refreshFolder(this, folder);
    };
    hooks.finished = [this](const series::Outcome& o) { seriesFinished(o); };
    m_series = new series::Run(s, s.findHits ? &g_hitSettings : nullptr, hooks, this);
    m_closeAfterSeries = false;
    m_closeWindowAfterSeries = nullptr;
    ui->aSeriesStop->setEnabled(true);
    m_seriesClock->start(1000);
    m_series->start();
    return true;
}

void MainWnd::stopSeries()
{
    if (seriesRunning())
        m_series->stop();
}

bool MainWnd::startCommandLineSeries(const series::CommandLine& line)
{
    switch (line.error) {
    case series::CommandLine::NoFolder: umisc::showWarning(StringsKit::WarnSeriesNoFolder); return false;
    case series::CommandLine::BadValue:
        if (line.badValue.isEmpty())
            umisc::showWarning(StringsKit::WarnSeriesNoValue, line.badOption);
        else
            umisc::showWarning(StringsKit::WarnSeriesBadValue, line.badOption, line.badValue);
        return false;
    case series::CommandLine::NoError: break;
    }
    if (!line.series)
        return false;
    // adc.ini's values for the rest; what the command line gave is not kept.
    series::Settings s = g_seriesSettings;
    s.folder = line.folder;
    s.count = line.count.value_or(s.count);
    s.pauseS = line.pause.value_or(s.pauseS);
    s.prefix = line.prefix.value_or(s.prefix);
    return startSeries(s);
}

void MainWnd::showSeriesStatus()
{
    if (!m_series || !m_seriesLabel)
        return;
    series::Status st = m_series->status();
    st.elapsedMs = m_series->elapsedMs();
    m_seriesLabel->setText(series::statusText(st, m_series->settings()));
    m_seriesLabel->show();
}

void MainWnd::seriesFinished(const series::Outcome& o)
{
    series::Run* run = m_series;
    m_series = nullptr;
    m_seriesClock->stop();
    ui->aSeriesStop->setEnabled(false);
    m_seriesLabel->setText(series::statusText(o.status, run->settings(), o.end));
    m_seriesLabel->show();
    TSeriesTable::refreshFolder(this, run->settings().folder);
    if (TWForm* f = seriesWindow()) {
        f->removeEventFilter(this);
        // The window keeps the last record; failed and stopped acquisitions are logged as not
        // saved and are not asked about on closing, a whole record that could not be saved is.
        if (o.end != series::End::SaveFailed && o.end != series::End::NoFreeName)
            f->unsavedRecording = false;
    }
    run->deleteLater();
    // From the event loop: the run returns first, and a deferred close finds it gone.
    QTimer::singleShot(0, this, [this, o] {
        switch (o.end) {
        case series::End::LoadFailed:
            umisc::showWarning(StringsKit::WarnSeriesLoadFailed, QString::number(o.status.failuresInRow),
                               QString::number(o.status.saved));
            break;
        case series::End::SaveFailed:
            umisc::showWarning(StringsKit::WarnSeriesWriteFailed, QDir::toNativeSeparators(o.path),
                               QString::number(o.writeResult));
            break;
        case series::End::NoFreeName:
            umisc::showWarning(StringsKit::WarnSeriesNoFreeName, QDir::toNativeSeparators(o.path));
            break;
        default: break;
        }
        if (m_closeWindowAfterSeries)
            m_closeWindowAfterSeries->close();
        m_closeWindowAfterSeries = nullptr;
        if (m_closeAfterSeries)
            close();
    });
}

bool MainWnd::askStopSeries(bool& deferred)
{
    deferred = false;
    const QString folder = QDir::toNativeSeparators(m_series->settings().folder);
    if (umisc::askQuestion(StringsKit::AskStopSeries, folder, QString(), false, true,
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    // The answer may come after the series ended by itself.
    if (!seriesRunning())
        return true;
    deferred = m_series->status().phase == series::Phase::Acquiring;
    stopSeries();
    return !deferred;
}

bool MainWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == m_seriesWindow && seriesRunning()) {
        bool deferred = false;
        if (!askStopSeries(deferred)) {
            if (deferred)
                m_closeWindowAfterSeries = m_seriesWindow;
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
