#include "acquisition.h"

#include "rs232.h"
#include "ui_LoadProgress.h"
#include "wave_stor.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QToolButton>

#include <memory>

void UnClosableDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void UnClosableDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (escapeStops)
            emit escapePressed();
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

namespace {

constexpr int Attempts = 3;
constexpr int WaitStep = 20; // progress given to the parameters and the wait for the unit

template <class Command>
bool tryThrice(Command command)
{
    for (int i = 0; i < Attempts; ++i)
        if (command())
            return true;
    return false;
}

bool run(TWaveStor& record, QWidget* mainWindow, AcquisitionReport& report)
{
    using F = AcquisitionReport;
    auto failed = [&report](F::Failure f) {
        report.failure = g_link.aborted ? F::Stopped : f;
        return false;
    };
    const int channels = record.channelCount();
    const int samples = record.length();

    auto dlg = std::make_unique<UnClosableDialog>(
        mainWindow, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint);
    Ui::LoadProgress form;
    form.setupUi(dlg.get());
    QProgressBar* bar = form.progressBar;
    bar->setValue(0);
    bar->setMaximum(channels * samples + WaitStep);

    QToolButton* stop = dlg->findChild<QToolButton*>(QStringLiteral("tStop"));
    if (!stop || !QObject::connect(stop, SIGNAL(released()), mainWindow, SLOT(slot_tStopReleased()),
                                   Qt::UniqueConnection)) {
        report.failure = F::NoWindow;
        return false;
    }
    dlg->escapeStops = report.escapeStops;
    QObject::connect(dlg.get(), &UnClosableDialog::escapePressed, stop, &QToolButton::click);
    dlg->show();

    // A Stop of an earlier run must not end this one.
    resetLinkFlags();

    const AcquisitionParameters& p = g_acquisitionParameters;
    if (!tryThrice([&] {
            report.sentUtc = QDateTime::currentDateTimeUtc();
            return sendAcquisitionParameters(p);
        }))
        return failed(F::Parameters);

    quint8 state = 1;
    do {
        if (!tryThrice([&] { return queryUnitState(&state); }))
            return failed(F::UnitState);
        pauseWithEvents(100);
        if (g_link.aborted)
            return failed(F::Stopped);
    } while (state != 0);

    bar->setValue(WaitStep);
    QCoreApplication::processEvents();

    for (int i = 0; i < channels; ++i) {
        TWaveView* view = record.channel(i);
        report.channel = i;
        if (!view || !tryThrice([&] { return readChannelData(i, samples, bar, *view); }))
            return failed(F::Channel);
    }
    report.channel = -1;
    report.readUtc = QDateTime::currentDateTimeUtc();

    TWaveHeader& h = record.header;
    h.winWidth = samples;
    h.winStart = 0;
    h.divider = 4 * qint32(p.waitCount) + 4;
    h.clockKHz = 12000;
    h.reserved18 = 0;
    h.extSync = p.sync;
    const bool detector = p.detector != 0;
    for (int i = 0; i < channels; ++i) {
        TChannelHeader* ch = record.channelHeader(i);
        TWaveView* view = record.channel(i);
        if (ch) {
            ch->gainCode = i < 4 ? p.gain[i] : 0;
            ch->reserved2 = 0;
            ch->input = quint8(i + 1 + 4 * int(p.mux));
        }
        if (detector)
            view->setUnipolar();
        else
            view->resetOffset();
    }
    h.detector = detector ? 1 : 0;
    record.recalcXScale();
    record.applyWindow();
    for (int i = 0; i < channels; ++i) {
        TWaveView* view = record.channel(i);
        if (detector)
            view->setUnipolar(); // the new scales may have moved the offset
        view->visible = true;
    }
    return true;
}

} // namespace

QString acquisitionFailureText(const AcquisitionReport& r)
{
    switch (r.failure) {
    case AcquisitionReport::None: return QString();
    case AcquisitionReport::NoWindow: return QStringLiteral("no window to acquire into");
    case AcquisitionReport::Parameters: return QStringLiteral("no answer to the parameters");
    case AcquisitionReport::UnitState: return QStringLiteral("no state from the unit");
    case AcquisitionReport::Channel: return QStringLiteral("channel %1 not read").arg(r.channel + 1);
    case AcquisitionReport::Stopped: return QStringLiteral("stopped");
    }
    return QString();
}

bool acquireFromUnit(TWaveStor& record, QWidget* mainWindow, AcquisitionReport* report)
{
    AcquisitionReport local;
    AcquisitionReport& r = report ? *report : local;
    r.sentUtc = r.readUtc = QDateTime();
    r.failure = AcquisitionReport::None;
    r.channel = -1;
    if (!mainWindow) {
        r.failure = AcquisitionReport::NoWindow;
        return false;
    }
    return run(record, mainWindow, r);
}
