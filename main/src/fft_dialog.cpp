#include "fft_dialog.h"

#include "convert.h"
#include "errors.h"
#include "settings.h"
#include "ufft.h"
#include "ui_FFTDlg.h"
#include "ui_WinFunc.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The scroll bar's range stays below this many units.
constexpr int ScrollUnits = 32767;
// A visible stretch of this many samples or fewer is too narrow for the preview.
constexpr int NarrowestWidth = 514;
constexpr int BoxHeight = 257;

} // namespace

// ---------------------------------------------------------------------------------------------
// FFTPBox

FFTPBox::FFTPBox(TFFTDlg* dialog)
    : QFrame(dialog)
    , dialog(dialog)
{}

FFTPBox::~FFTPBox()
{
    delete painter;
}

bool FFTPBox::setUp()
{
    painter = new QPainter();
    return painter != nullptr;
}

void FFTPBox::paintEvent(QPaintEvent* event)
{
    if (!painter || !painter->begin(this)) {
        QFrame::paintEvent(event);
        return;
    }
    drawFrame(painter);
    dialog->drawBox(painter, QFrame::width(), height());
    painter->end();
}

void FFTPBox::mousePressEvent(QMouseEvent* event)
{
    dialog->pressBox(event->position().toPoint().x());
}

void FFTPBox::mouseMoveEvent(QMouseEvent* event)
{
    dialog->moveInBox(event->position().toPoint().x());
}

void FFTPBox::mouseReleaseEvent(QMouseEvent*)
{
    dialog->releaseBox();
}

// ---------------------------------------------------------------------------------------------
// TFFTDlg

TFFTDlg::TFFTDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{}

TFFTDlg::~TFFTDlg()
{
    delete ui;
}

bool TFFTDlg::setUp()
{
    ui = new Ui::FFTDlg();
    ui->setupUi(this);
    freqLabel = ui->freqLabel;
    timeLabel = ui->timeLabel;
    connect(ui->okBtn, &QPushButton::released, this, &QDialog::accept);

    quint16 condition = 0;
    box = new FFTPBox(this);
    if (!box->setUp()) {
        condition = checkCode(0);
    } else {
        box->setGeometry(6, 8, ui->sBar->width(), BoxHeight);
        box->setFrameShape(QFrame::Panel);
        box->setFrameShadow(QFrame::Sunken);
        markerX = box->QFrame::width() / 2;

        if (!connect(ui->sBar, &QScrollBar::valueChanged, this, &TFFTDlg::slot_sBarValueChanged))
            condition = checkCode(9);
        const struct
        {
            QRadioButton* button;
            void (TFFTDlg::*slot)();
            int check;
        } buttons[] = {
            {ui->rB1, &TFFTDlg::slot_rB1Released, 16},
            {ui->rB2, &TFFTDlg::slot_rB1Released, 17},
            {ui->rB3, &TFFTDlg::slot_rB1Released, 18},
            {ui->rB4, &TFFTDlg::slot_rB1Released, 24},
            {ui->rB128, &TFFTDlg::slot_rBSampleSizeReleased, 25},
            {ui->rB256, &TFFTDlg::slot_rBSampleSizeReleased, 26},
            {ui->rB512, &TFFTDlg::slot_rBSampleSizeReleased, 27},
        };
        for (const auto& b : buttons) {
            if (condition == 0 && !connect(b.button, &QAbstractButton::released, this, b.slot))
                condition = checkCode(b.check);
        }
    }
    if (condition == 0)
        return true;
    REPORT_CRITICAL(condition);
    return false;
}

bool TFFTDlg::init(const QVector<TWaveView*>& recordChannels, int first, int visibleWidth, double period)
{
    if (visibleWidth <= NarrowestWidth)
        return false;
    channels = recordChannels.mid(0, 4);
    samplePeriod = period;
    start = first;
    width = visibleWidth;
    updateRange();
    QRadioButton* buttons[4] = {ui->rB1, ui->rB2, ui->rB3, ui->rB4};
    for (int i = 1; i < 4; ++i)
        buttons[i]->setVisible(i < channels.size());
    return true;
}

void TFFTDlg::updateRange()
{
    k = ui->rB128->isChecked() ? 7 : ui->rB256->isChecked() ? 8 : 9;
    N = 1 << k;
    M = N / 2;
    const int room = std::max(width - N, 0);
    step = room / ScrollUnits + 1;
    ui->sBar->setMaximum(room / step);
    // Known before the next paint, so that the frequency label can follow a new size at once.
    if (box)
        pixelsPerBin = double(box->QFrame::width()) / M;
}

void TFFTDlg::recompute()
{
    int c = 3;
    const QRadioButton* buttons[3] = {ui->rB1, ui->rB2, ui->rB3};
    for (int i = 0; i < 3; ++i) {
        if (buttons[i]->isChecked()) {
            c = i;
            break;
        }
    }
    const qint64 from = qint64(start) + qint64(ui->sBar->value()) * step;
    const int clamped = int(std::clamp<qint64>(from, -MaxSamples, MaxSamples));
    computeSpectrum(c < channels.size() ? channels[c] : nullptr, clamped);
    if (box)
        box->update();
    // The time of the middle of the analysed stretch.
    const int middle = int(std::clamp<qint64>(from + N / 2, 0, std::numeric_limits<int>::max()));
    timeLabel->setText(QStringLiteral("T= ") + formatTime(7, middle, samplePeriod) + QStringLiteral(" uS"));
}

bool TFFTDlg::computeSpectrum(TWaveView* channel, int from)
{
    if (!channel || k < 1 || N > 512)
        return true;
    qint8 x[512];
    double re[512];
    double im[512];
    channel->processedStretch(from, N, x);
    for (int n = 0; n < N; ++n) {
        re[n] = x[n];
        im[n] = 0.0;
    }
    forwardFFTDouble(re, im, k);
    // Amplitude 2 |X_m| / N of bin m, drawn at twice its value.
    for (int m = 1; m <= M; ++m) {
        const double amplitude = 2.0 * std::hypot(re[m], im[m]) / N;
        spectrum[m - 1] = quint8(std::min(255, nearest(2.0 * amplitude)));
    }
    return false;
}

void TFFTDlg::updateFrequencyLabel()
{
    const double span = N * samplePeriod;
    if (!(span >= 1e-9) || !(pixelsPerBin > 0.0))
        return;
    const double f = (markerX / pixelsPerBin + 1.0) * 1000000.0 / span;
    freqLabel->setText(QStringLiteral("F=") + formatEng(7, f) + QStringLiteral("Hz"));
}

void TFFTDlg::drawBox(QPainter* p, int boxWidth, int boxHeight)
{
    if (!painted) {
        painted = true;
        updateRange();
        recompute();
        updateFrequencyLabel();
    }
    if (M <= 0)
        return;
    pixelsPerBin = double(boxWidth) / M;
    const int h = boxHeight - 5;
    QPolygon curve;
    curve.reserve(M);
    for (int b = 0; b < M; ++b)
        curve << QPoint(nearest(b * pixelsPerBin), h - nearest(h / 256.0 * spectrum[b]));
    p->setPen(Qt::black);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->drawPolyline(curve);
    p->setPen(Qt::gray);
    p->setCompositionMode(QPainter::CompositionMode_Xor);
    p->drawLine(markerX, 0, markerX, boxHeight - 2);
}

void TFFTDlg::pressBox(int x)
{
    if (std::abs(x - markerX) < 5)
        dragging = true;
}

void TFFTDlg::moveInBox(int x)
{
    if (!dragging || !box || x < 0 || x > box->QFrame::width() - 1)
        return;
    markerX = x;
    box->update();
    updateFrequencyLabel();
}

void TFFTDlg::releaseBox()
{
    dragging = false;
}

void TFFTDlg::slot_sBarValueChanged(int v)
{
    if (v == lastScroll)
        return;
    lastScroll = v;
    recompute();
}

void TFFTDlg::slot_rB1Released()
{
    if (ui->rB2->isHidden())
        ui->rB1->setChecked(true);
    recompute();
}

void TFFTDlg::slot_rBSampleSizeReleased()
{
    updateRange();
    recompute();
    updateFrequencyLabel();
}

// ---------------------------------------------------------------------------------------------
// Commands

void showFFTPreview(QWidget* parent, TWaveStor* record)
{
    if (!record)
        return;
    auto dlg = std::make_unique<TFFTDlg>(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint);
    if (!dlg->setUp())
        return;
    QVector<TWaveView*> channels;
    for (int ch = 0; ch < record->channelCount(); ++ch)
        channels << record->channel(ch);
    const int first = record->header.winStart;
    const int visible = record->header.winWidth;
    if (dlg->init(channels, first, visible, record->samplePeriodUs()))
        dlg->exec();
    else
        umisc::showWarning(StringsKit::WarnTooNarrowForFFT);
}

void runFFTSettingsDialog(QWidget* parent)
{
    auto form = std::make_unique<Ui::WinFunc>();
    auto dlg = std::make_unique<QDialog>(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint);
    form->setupUi(dlg.get());
    QObject::connect(form->buttonBox, &QDialogButtonBox::accepted, dlg.get(), &QDialog::accept);
    QObject::connect(form->buttonBox, &QDialogButtonBox::rejected, dlg.get(), &QDialog::reject);
    // In the order of the window function numbers.
    QRadioButton* const types[6] = {form->rbNone,    form->rbParzen,        form->rbHanning,
                                    form->rbHamming, form->rbExactBlackman, form->rbWelch};
    if (g_winFun >= 0 && g_winFun <= 5)
        types[g_winFun]->setChecked(true);
    form->logCB->setChecked(g_logScale);
    if (dlg->exec() != QDialog::Accepted)
        return;
    g_logScale = form->logCB->isChecked();
    for (int i = 0; i < 6; ++i) {
        if (types[i]->isChecked()) {
            g_winFun = i;
            break;
        }
    }
}
