#include "wave_form.h"

#include "acquisition.h"
#include "errors.h"
#include "fmain.h"
#include "init.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// View arithmetic

namespace wform {

View zoomedIn(View v)
{
    View n;
    n.width = std::max(v.width / 2, 2);
    if (n.width > v.width) // a record of fewer than 2 samples has nothing to enlarge
        return v;
    n.start = v.start + v.width / 4;
    return n;
}

View zoomedOut(View v, int length)
{
    View n;
    n.width = 2 * v.width;
    n.start = v.start - v.width / 2;
    if (n.start < 0) {
        n.width += -n.start; // what is cut off on the left is shown on the right
        n.start = 0;
    }
    if (n.start + n.width > length) {
        n.width = std::min(n.width, length);
        n.start = n.width >= length ? 0 : length - n.width;
    }
    return n;
}

View selectionView(int selStart, int selEnd)
{
    const int low = std::min(selStart, selEnd);
    const int high = std::max(selStart, selEnd);
    return View{low, high - low + 1};
}

View stretchedView(View v, int value, int maximum, int length)
{
    if (maximum == 0)
        return v;
    View n = v;
    n.width = int(qint64(value) * length / maximum);
    n.width = std::clamp(n.width, std::min(2, length), length);
    if (n.start + n.width > length)
        n.start = length - n.width;
    n.start = std::max(n.start, 0);
    return n;
}

int stretchSliderValue(int maximum, int width, int length)
{
    if (length <= 0)
        return -1;
    return int(qint64(maximum) * width / length);
}

int clampVerticalScale(int value)
{
    return std::clamp(value, 0, 65535);
}

ScrollSetup scrollSetup(int length, int width, int start, int quarterSamples)
{
    ScrollSetup s;
    if (length == 0 || width == 0)
        return s;
    s.step = (length - width) / 32768 + 1;
    if (s.step <= 0 || length < width) {
        // The view is wider than the record: everything is in sight, nothing to scroll.
        s.step = 1;
        return s;
    }
    s.maximum = int(quint32(length - width) / quint32(s.step));
    s.value = int(quint32(std::max(start, 0)) / quint32(s.step));
    s.pageStep = std::max(quarterSamples / s.step, 1);
    s.enabled = start != 0 || length != width;
    return s;
}

PlotLayout plotLayout(FrameState state, int h, int plotTop)
{
    PlotLayout l;
    switch (state) {
    case FrameState::Maximized:
        l.plotBottom = plotTop + h - 19;
        l.barTop = h - 17;
        l.barBottom = h - 1;
        break;
    case FrameState::Minimized:
        l.plotVisible = false;
        l.barVisible = false;
        break;
    case FrameState::Normal:
        if (h - 23 <= plotTop) {
            l.plotBottom = plotTop + h - 28;
            l.barVisible = false;
        } else {
            l.plotBottom = plotTop + h - 45;
            l.barTop = h - 21;
            l.barBottom = h - 5;
        }
        break;
    }
    return l;
}

} // namespace wform

// ---------------------------------------------------------------------------------------------
// Plot widget

TWFormInternalWidget::TWFormInternalWidget(TWForm* form)
    : QWidget(form)
{}

TWFormInternalWidget::~TWFormInternalWidget()
{
    delete painter;
}

bool TWFormInternalWidget::setup()
{
    QPalette p = palette();
    p.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::black));
    setPalette(p);
    setAutoFillBackground(true);
    setMouseTracking(true);
    painter = new QPainter();
    return painter != nullptr;
}

TWForm* TWFormInternalWidget::form() const
{
    return qobject_cast<TWForm*>(parent());
}

void TWFormInternalWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    TWForm* f = form();
    if (!f || !f->record || !painter || width() <= 0 || height() <= 0)
        return;
    // The whole picture is built off screen and shown in one piece, so it never flickers.
    QPixmap pixmap(size());
    pixmap.fill(Qt::black);
    if (!painter->begin(&pixmap))
        return;
    f->record->draw(painter);
    switch (paintAction) {
    case 5:
        f->drawSelection(painter, pixmap, f->selStart, f->selEnd);
        f->record->drawSine(painter);
        paintAction = 0;
        break;
    default: f->drawSelection(painter, pixmap, f->selStart, f->selEnd); break;
    }
    painter->end();
    if (!painter->begin(this))
        return;
    painter->drawPixmap(0, 0, pixmap);
    painter->end();
}

// ---------------------------------------------------------------------------------------------
// Waveform window

TWForm::TWForm(QWidget* parent, Qt::WindowFlags flags)
    : QMdiSubWindow(parent, flags)
{}

TWForm::~TWForm()
{
    detachFromSource();
    delete record;
    record = nullptr;
    delete scrollBar;
    scrollBar = nullptr;
    delete plot;
    plot = nullptr;
}

bool TWForm::buildWidgets()
{
    quint16 condition = 0;
    do {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowIcon(QIcon(QStringLiteral(":/wform.ico")));
        if (!connect(this, &QMdiSubWindow::aboutToActivate, this, &TWForm::slot_aboutToActivate,
                     Qt::UniqueConnection)) {
            condition = 0xA602;
            break;
        }
        // The sub-window's own menu would claim Ctrl+F4 (and, on some desktops, Ctrl+W); a key
        // wanted by two actions reaches neither, so the main window's commands keep them.
        if (QMenu* menu = systemMenu()) {
            for (QAction* a : menu->actions())
                a->setShortcuts({});
        }
        setGeometry(QRect(QPoint(x(), y()), QPoint(x() + 378, y() + 293)));
        plot = new TWFormInternalWidget(this);
        if (!plot->setup()) {
            condition = 0xA702;
            break;
        }
        plot->setGeometry(QRect(QPoint(0, 0), QPoint(width() - 1, 272)));
        scrollBar = new QScrollBar(Qt::Horizontal, this);
        scrollBar->setMaximum(100);
        scrollBar->setToolTip(tr("Положение временного окна"));
        if (!connect(scrollBar, &QScrollBar::valueChanged, this, &TWForm::slot_SBarValueChanged,
                     Qt::UniqueConnection)) {
            condition = 0xAC02;
            break;
        }
        setWidget(plot);
        scrollBar->raise(); // placed by hand over the bottom of the sub-window
        return true;
    } while (false);
    REPORT_CRITICAL(condition);
    return false;
}

bool TWForm::initEmpty()
{
    if (!buildWidgets())
        return false;
    plotRect = QRect(0, 0, plot->width(), plot->height());
    record = new TWaveStor(plotRect);
    if (!record->init(4, 0)) {
        REPORT_CRITICAL(0xAF02);
        return false;
    }
    layoutFrame(nullptr);
    updateScrollBar();
    return true;
}

bool TWForm::initFromFile(const QString& path)
{
    if (!buildWidgets())
        return false;
    plotRect = QRect(0, 0, plot->width(), plot->height());
    record = new TWaveStor(plotRect);
    if (!record->readFile(path))
        return false;
    // A file may carry a view outside its record (hand-made or damaged): show it whole then.
    const int length = record->length();
    int start = record->header.winStart; // packed header fields: work on copies
    int width = record->header.winWidth;
    if (width <= 0 || width > length || start < 0 || start > length - width) {
        if (width <= 0 || width > length)
            width = length;
        start = std::clamp(start, 0, length - width);
        record->header.winStart = start;
        record->header.winWidth = width;
        record->recalcXScale();
        record->applyWindow();
    }
    setWindowTitle(QDir::toNativeSeparators(path));
    layoutFrame(nullptr);
    updateScrollBar();
    if (g_mainWnd)
        g_mainWnd->syncToWindow(this);
    updateReadouts();
    return true;
}

bool TWForm::acquire(int channelCount, int length)
{
    if (!record || !plot)
        return false;
    // The layout is kept as it is: a new record is spread over the plot by its own set-up.
    if (record->length() != length || record->channelCount() != channelCount) {
        delete record;
        record = new TWaveStor(plotRect);
        if (!record->init(channelCount, length))
            return false; // reported by the record
        layoutFrame(nullptr);
    }
    const bool ok = g_mainWnd && acquireFromUnit(*record, g_mainWnd.data());
    if (g_mainWnd)
        unsavedRecording = true; // even a failed run may have overwritten some channels
    updateScrollBar();
    if (ok) {
        repaintPlot();
        updateReadouts();
        if (g_mainWnd && g_mainWnd->activeForm() == this)
            g_mainWnd->syncToWindow(this);
    }
    return ok;
}

int TWForm::save(const QString& path)
{
    if (!record)
        return 100;
    const int result = record->writeFile(path);
    if (result == 0)
        unsavedRecording = false;
    return result;
}

wform::View TWForm::view() const
{
    if (!record)
        return {};
    return wform::View{record->header.winStart, record->header.winWidth};
}

void TWForm::viewChanged(const wform::View& v, bool syncSlider)
{
    record->header.winStart = v.start;
    record->header.winWidth = v.width;
    record->recalcXScale();
    record->applyWindow();
    updateScrollBar();
    if (syncSlider && g_mainWnd)
        g_mainWnd->syncStretchSlider(this);
    repaintPlot();
}

void TWForm::zoomIn()
{
    if (!record || !plot)
        return;
    const wform::View n = wform::zoomedIn(view());
    if (n != view())
        viewChanged(n, true);
}

void TWForm::zoomOut()
{
    if (!record || !plot)
        return;
    const wform::View n = wform::zoomedOut(view(), record->length());
    if (n != view())
        viewChanged(n, true);
}

void TWForm::zoomToSelection()
{
    if (!record || !plot || hasSpectrum || selStart == selEnd)
        return;
    const int length = record->length();
    // A selection may end one past the last sample; the view stays inside the record.
    const int low = std::clamp(std::min(selStart, selEnd), 0, std::max(length - 1, 0));
    const int high = std::clamp(std::max(selStart, selEnd), 0, std::max(length - 1, 0));
    selStart = selEnd = 0;
    viewChanged(wform::selectionView(low, high), true);
}

void TWForm::setStretchFromSlider(bool apply, int value, int maximum)
{
    if (!record || !plot || !apply || maximum == 0)
        return;
    const wform::View n = wform::stretchedView(view(), value, maximum, record->length());
    if (n != view())
        viewChanged(n, false);
}

void TWForm::stretchToSlider(QAbstractSlider* slider) const
{
    if (!record || !slider)
        return;
    const int v = wform::stretchSliderValue(slider->maximum(), record->header.winWidth, record->length());
    if (v >= 0)
        slider->setValue(v);
}

void TWForm::setVerticalScale(bool apply, int value)
{
    if (!record || !plot)
        return;
    value = wform::clampVerticalScale(value);
    if (!apply || value == record->header.vScale)
        return;
    record->header.vScale = quint16(value);
    record->recalcYScale();
    record->applyWindow();
    repaintPlot();
}

void TWForm::verticalScaleToSlider(QAbstractSlider* slider) const
{
    if (record && slider)
        slider->setValue(record->header.vScale / 10);
}

void TWForm::setChannelColour(int ch, const QColor& colour)
{
    if (!record || !plot)
        return;
    record->setTraceColour(ch, colour);
    repaintPlot();
}

void TWForm::setCursorColour(int ch, const QColor& colour)
{
    if (!record || !plot)
        return;
    record->setCursorColour(ch, colour);
    repaintPlot();
}

void TWForm::setSineOverlay(bool on)
{
    if (!record || !plot || isSpectrum)
        return;
    record->header.showSine = on ? 1 : 0;
    if (on) {
        plot->paintAction = 5;
        plot->update();
    } else {
        repaintPlot();
    }
}

void TWForm::setFilter(int mode, int halfWidth)
{
    if (!record || !plot)
        return;
    if (record->setFilter(mode, halfWidth)) {
        repaintPlot();
        updateReadouts();
    }
}

void TWForm::print(QPainter* painter, const QRect& rect)
{
    if (!record || !painter)
        return;
    // The zero lines are rescaled to the target and back, each time rounded: on a preview
    // smaller than the plot they would creep a row per repaint. Keep them as they were.
    int rows[MaxChannels];
    for (int ch = 0; ch < MaxChannels; ++ch)
        rows[ch] = record->channel(ch) ? record->channel(ch)->baseY : 0;
    record->setPlotRect(rect);
    record->draw(painter);
    record->setPlotRect(plotRect);
    for (int ch = 0; ch < MaxChannels; ++ch)
        if (TWaveView* view = record->channel(ch))
            view->baseY = rows[ch];
}

void TWForm::exportToClipboard()
{
    if (record)
        record->copyToClipboard();
}

void TWForm::repaintPlot()
{
    if (plot)
        plot->update();
}

void TWForm::updateScrollBar()
{
    if (!record || !scrollBar)
        return;
    const int length = record->length();
    const int quarter =
        record->xToSample((plotRect.right() + 1 - plotRect.left()) / 4) - record->xToSample(0);
    const wform::ScrollSetup s =
        wform::scrollSetup(length, record->header.winWidth, record->header.winStart, quarter);
    scrollStep = s.step;
    // Setting the range must not move the view through the value handler.
    const QSignalBlocker block(scrollBar);
    scrollBar->setRange(0, s.maximum);
    scrollBar->setValue(s.value);
    scrollBar->setPageStep(s.pageStep);
    scrollBar->setEnabled(s.enabled);
}

void TWForm::updateReadouts()
{
    if (!g_mainWnd || !record)
        return;
    // The channels' own readouts come with the cursor readouts; the slots beyond the record's
    // channels are cleared.
    for (int ch = record->channelCount(); ch < 4; ++ch)
        g_mainWnd->setReadout(this, ch, QString(), QString());
}

void TWForm::drawSelection(QPainter* painter, const QPixmap& pixmap, int from, int to)
{
    if (!record || !painter || !painter->isActive() || from == to)
        return;
    int x1 = std::clamp(record->sampleToX(from), plotRect.left(), plotRect.right());
    int x2 = std::clamp(record->sampleToX(to), plotRect.left(), plotRect.right());
    if (x1 == x2)
        return;
    if (x1 > x2)
        std::swap(x1, x2);
    // The strip is drawn back onto itself inverted, so the selection shows whatever is under it.
    const QRect strip(QPoint(x1, 0), QPoint(x2, plotRect.bottom() - plotRect.top()));
    const QPixmap copy = pixmap.copy(strip);
    const QPainter::CompositionMode mode = painter->compositionMode();
    painter->setCompositionMode(QPainter::RasterOp_NotSource);
    painter->drawPixmap(strip.topLeft(), copy);
    painter->setCompositionMode(mode);
}

void TWForm::detachFromSource()
{
    if (isSpectrum && source) {
        source->hasSpectrum = false;
        if (source->plot)
            source->plot->update();
    }
    source = nullptr;
}

bool TWForm::inverseFFT()
{
    if (!record || !source || !source->plot)
        return false;
    // The transform back into the source comes with the spectrum commands; until then the
    // window stays open rather than pretend the data went back.
    return false;
}

// ---------------------------------------------------------------------------------------------
// Slots and events

void TWForm::slot_SBarValueChanged(int value)
{
    if (!record || !plot || scrollStep <= 0)
        return;
    if (record->header.winStart / scrollStep == value)
        return;
    const int oldX = record->sampleToX(record->header.winStart);
    const int newStart = value * scrollStep;
    const int newX = record->sampleToX(newStart);
    record->header.winStart = newStart;
    record->applyWindow();
    // Only the strip that comes into view is painted anew.
    if (oldX != newX)
        plot->scroll(oldX - newX, 0);
}

void TWForm::slot_aboutToActivate()
{
    if (!g_mainWnd)
        return;
    g_mainWnd->syncToWindow(this);
    updateReadouts();
}

void TWForm::resizeEvent(QResizeEvent* event)
{
    if (inResize) {
        QMdiSubWindow::resizeEvent(event);
        return;
    }
    layoutFrame(event);
}

void TWForm::layoutFrame(QResizeEvent* event)
{
    inResize = true;
    if (event && !laidOut && plot) {
        // The first layout puts the plot below the title bar: win back the rows it took.
        const int grow = plot->y() - 1;
        if (grow > 0) {
            plot->resize(plot->width(), plot->height() + grow);
            resize(width(), height() + grow);
        }
    }
    if (event)
        QMdiSubWindow::resizeEvent(event);
    const int h = height();
    if (scrollBar && record && plot) {
        const wform::FrameState state = isMinimized()   ? wform::FrameState::Minimized
                                        : isMaximized() ? wform::FrameState::Maximized
                                                        : wform::FrameState::Normal;
        const int top = plot->y();
        const wform::PlotLayout l = wform::plotLayout(state, h, top);
        const int left = plot->x();
        const int right = plot->geometry().right();
        plot->setVisible(l.plotVisible);
        if (l.plotVisible)
            plot->setGeometry(QRect(QPoint(left, top), QPoint(right, l.plotBottom)));
        scrollBar->setVisible(l.barVisible);
        if (l.barVisible)
            scrollBar->setGeometry(QRect(QPoint(left, l.barTop), QPoint(right, l.barBottom)));
        plotRect = QRect(0, 0, plot->width(), plot->height());
        record->setPlotRect(plotRect);
        if (event && !laidOut) {
            laidOut = true;
            record->relayout();
        }
        updateScrollBar();
    }
    inResize = false;
}

void TWForm::closeEvent(QCloseEvent* event)
{
    if (!record) {
        detachFromSource();
        QMdiSubWindow::closeEvent(event);
        return;
    }
    if (hasSpectrum) {
        umisc::showWarning(StringsKit::WarnCloseSpectrumFirst, QString(), QString(), true, true);
        event->ignore();
        return;
    }
    bool close = true;
    if (!isSpectrum || !changed) {
        if (record->isModified() || unsavedRecording) {
            const QMessageBox::StandardButton answer = umisc::askQuestion(
                StringsKit::AskCloseChanged, windowTitle(), QString(), true, true,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
            close = answer == QMessageBox::Yes;
        }
    } else {
        const QMessageBox::StandardButton answer =
            umisc::askQuestion(StringsKit::AskInverseFFT, QString(), QString(), true, true,
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            close = inverseFFT();
        else
            close = answer == QMessageBox::No;
    }
    if (!close) {
        event->ignore();
        return;
    }
    // Let go of the source at once: it may be the next window asked to close.
    detachFromSource();
    QMdiSubWindow::closeEvent(event);
}
