#include "wave_form.h"

#include "acquisition.h"
#include "convert.h"
#include "errors.h"
#include "fmain.h"
#include "init.h"
#include "selsig_dialog.h"
#include "settings.h"
#include "ui_LoadProgress.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
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

View viewShowing(View v, int i, int length)
{
    if (i >= v.start && i < v.start + v.width)
        return v;
    View n = v;
    n.start = std::clamp(i - v.width / 4, 0, std::max(length - v.width, 0));
    return n;
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

PowerOfTwo roundToPowerOfTwo(qint64 d)
{
    if (d == 0)
        return {};
    const quint64 m = d < 0 ? quint64(0) - quint64(d) : quint64(d);
    int k = 63;
    while (!(m >> k))
        --k;
    if (k > 0 && (m >> (k - 1)) & 1)
        ++k;
    // Distances here are at most a few record lengths; the top bit stays clear.
    k = std::min(k, 62);
    const qint64 r = qint64(1) << k;
    return {d < 0 ? -r : r, k};
}

SelectionEnd draggedSelectionEnd(int selStart, int selEnd, qint64 s, int length, bool selectMode)
{
    SelectionEnd e{false, selEnd, 1};
    if (selectMode) {
        const PowerOfTwo r = roundToPowerOfTwo(s - selStart);
        s = selStart + r.distance;
        if (s < 0 || s > length)
            return e;
        e.log2 = r.exponent;
    } else {
        s = std::clamp<qint64>(s, 0, std::max(length, 0));
    }
    if (s == selEnd)
        return e;
    e.changed = true;
    e.end = int(s);
    return e;
}

SelectionEnd roundedSelectionEnd(int selStart, int selEnd, int length)
{
    SelectionEnd e{false, selEnd, 1};
    if (selStart == selEnd)
        return e;
    PowerOfTwo r = roundToPowerOfTwo(qint64(selEnd) - selStart);
    qint64 end = selStart + r.distance;
    if (end < 0 || end > length) {
        r.distance /= 2;
        --r.exponent;
        end = selStart + r.distance;
    }
    // An end that stays still gives its logarithm: a free-hand drag leaves 1 there, whatever
    // the width.
    return {end != selEnd, int(end), r.exponent};
}

View measuredSpan(int selStart, int selEnd, int length)
{
    const int last = std::max(length - 1, 0);
    const int low = std::clamp(std::min(selStart, selEnd), 0, last);
    const int high = std::clamp(std::max(selStart, selEnd), 0, last);
    return View{low, high - low + 1};
}

MarkColumns markColumns(const std::vector<std::pair<int, int>>& marks, int left, int right,
                        const std::function<int(int)>& toX)
{
    MarkColumns c;
    auto column = [&c](QVector<int>& list, int x) {
        if (list.isEmpty() || list.last() != x)
            list << x;
    };
    // The first mark that reaches the left column.
    auto i = std::partition_point(marks.begin(), marks.end(),
                                  [&](const std::pair<int, int>& m) { return toX(m.second) < left; });
    while (i != marks.end()) {
        const int x1 = toX(i->first);
        if (x1 > right)
            break;
        const int x2 = toX(i->second);
        const int a = std::max(x1, left);
        const int b = std::min(x2, right);
        if (!c.tinted.isEmpty() && c.tinted.last().second >= a - 1)
            c.tinted.last().second = std::max(c.tinted.last().second, b);
        else
            c.tinted.append({a, b});
        if (x1 >= left)
            column(c.starts, x1);
        if (x2 != x1 && x2 <= right)
            column(c.ends, x2);
        // The marks that follow and end in column x2 also start in it (they begin after this
        // one ends): one start there stands for them all; go on with the first that ends later.
        const auto next = std::partition_point(i + 1, marks.end(),
                                               [&](const std::pair<int, int>& m) { return toX(m.second) <= x2; });
        if (next != i + 1 && x2 <= right)
            column(c.starts, x2);
        i = next;
    }
    return c;
}

QString timeReadout(int cursor, double periodUs)
{
    return formatTime(7, cursor, periodUs) + QStringLiteral("uS");
}

QString amplitudeReadout(qint8 p, bool unipolar, int gainCode, bool volts)
{
    if (volts)
        return formatEng(6, sampleVolts(p, unipolar, gainCode)) + QStringLiteral("V");
    // One coulomb step as the single-precision constant gives it.
    constexpr double CoulombRef = double(1.5e-7f);
    const int n = unipolar ? p + 128 : 2 * p;
    return formatEng(6, CoulombRef * n * gainFactor(gainCode)) + QStringLiteral("Q");
}

QString frequencyReadout(int bin, double periodUs, int length)
{
    const double span = 2.0 * periodUs * length;
    const double f = span != 0.0 ? 1.0e6 * (double(bin) + 1.0) / span : std::nan("");
    return formatEng(7, f) + QStringLiteral("Hz");
}

QString spectrumAmplitudeReadout(qint8 stored, double specStep, int gainCode, bool logScale)
{
    if (logScale) {
        if (stored == -128)
            return QStringLiteral("-???? dB");
        return QString::number((int(stored) - 128) * specStep, 'f', 1) + QStringLiteral(" dB");
    }
    return formatEng(6, 5.0 * (int(stored) + 128) * specStep * gainFactor(gainCode)) + QStringLiteral("V");
}

QString meanReadout(int m, bool bipolar, int gainCode)
{
    const double n = bipolar ? 2.0 * m : double(m);
    return formatEng(6, 2.5 * n * gainFactor(gainCode)) + QStringLiteral("V");
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

void TWFormInternalWidget::forgetTraces()
{
    for (TraceShape& shape : shapes)
        shape.clear();
    layerKey.clear();
    layerBases.clear();
}

namespace {

// Appends the bytes of each value: a key that changes when any of them does.
template <class... T>
void putKey(QByteArray& key, const T&... values)
{
    (key.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
}

} // namespace

void TWFormInternalWidget::refreshTraceLayer()
{
    TWaveStor* record = form()->record;
    const bool markPoints = record->xScale > 2.0;
    // Everything the picture of the traces shows besides the samples and the zero levels.
    QByteArray key;
    key.reserve(512);
    const int w = width();
    const int h = height();
    const qint32 winStart = record->header.winStart;
    const qint32 winWidth = record->header.winWidth;
    const qint32 divider = record->header.divider;
    const quint16 clockKHz = record->header.clockKHz;
    const quint8 showSine = record->header.showSine;
    const int n = record->channelCount();
    const quint64 marks = form()->spanMarksRevision();
    putKey(key, w, h, n, showSine, winStart, winWidth, divider, clockKHz, record->rect, marks);
    QVector<int> bases;
    for (int i = 0; i < n; ++i) {
        const TWaveView* v = record->channel(i);
        if (!v)
            break;
        const TraceKey k = v->traceKey(w, markPoints);
        const QRgb colours[2] = {v->grColor.rgba(), v->pointColor.rgba()};
        putKey(key, k, v->visible, colours);
        bases << v->baseY;
    }
    const bool sameView = key == layerKey && traceLayer.size() == size();
    if (sameView && bases == layerBases)
        return;
    if (traceLayer.size() != size())
        traceLayer = QPixmap(size());
    QRect dirty = traceLayer.rect();
    if (sameView) {
        // Only zero levels moved: the rows from each moved trace's old band to its new one.
        qint64 top = h, bottom = -1;
        for (int i = 0; i < bases.size(); ++i) {
            if (bases[i] == layerBases[i])
                continue;
            const qint64 reach = nearest(128.0 * record->channel(i)->yScale) + 6;
            top = std::min(top, std::min<qint64>(bases[i], layerBases[i]) - reach);
            bottom = std::max(bottom, std::max<qint64>(bases[i], layerBases[i]) + reach);
        }
        top = std::clamp<qint64>(top, 0, h);
        bottom = std::clamp<qint64>(bottom, -1, h - 1);
        dirty = QRect(0, int(top), w, int(bottom - top + 1));
    }
    if (dirty.isValid() && painter->begin(&traceLayer)) {
        painter->setClipRect(dirty);
        painter->fillRect(dirty, Qt::black);
        record->drawTraces(painter, shapes);
        form()->drawSpanMarks(painter);
        painter->end();
    }
    layerKey = key;
    layerBases = bases;
}

void TWFormInternalWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    TWForm* f = form();
    if (!f || !f->record || !painter || width() <= 0 || height() <= 0)
        return;
    // The state first, so that the picture shows where the mouse is now.
    switch (paintAction) {
    case 2: f->dragTo(currentX, currentY); break;
    case 3:
        f->dragTo(currentX, currentY);
        f->endDrag();
        paintAction = 0;
        break;
    case 4:
        f->selEnd = pendingSelEnd;
        paintAction = 0;
        break;
    default: break;
    }
    refreshTraceLayer();
    if (!painter->begin(this))
        return;
    painter->drawPixmap(0, 0, traceLayer);
    f->record->drawMarks(painter);
    f->drawSelection(painter, f->selStart, f->selEnd);
    if (paintAction == 5) {
        f->record->drawSine(painter);
        paintAction = 0;
    }
    painter->end();
}

void TWFormInternalWidget::followShape(int x, int y)
{
    const TWForm* f = form();
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (f->grabbedCursorChannel >= 0 || f->record->channelAtCursor(x, y) >= 0)
        shape = Qt::SplitHCursor;
    else if (f->grabbedBaselineChannel >= 0 || f->record->channelAtBaseline(x, y) >= 0)
        shape = Qt::SplitVCursor;
    if (cursor().shape() != shape)
        setCursor(shape);
}

TWForm* TWFormInternalWidget::mouseTarget(const QMouseEvent* event, QPoint& p) const
{
    TWForm* f = form();
    if (!event || !f || !f->record)
        return nullptr;
    p = event->position().toPoint();
    return f;
}

void TWFormInternalWidget::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    QPoint p;
    TWForm* f = mouseTarget(event, p);
    if (!f)
        return;
    pressX = currentX = p.x();
    pressY = currentY = p.y();
    if (event->button() == Qt::LeftButton) {
        f->grabbedCursorChannel = f->record->channelAtCursor(pressX, pressY);
        if (f->grabbedCursorChannel == -1) {
            f->grabbedBaselineChannel = f->record->channelAtBaseline(pressX, pressY);
            f->record->commitBaseline();
        }
        paintAction = 0;
    } else if (event->button() == Qt::RightButton && !f->hasSpectrum) {
        // Started here rather than at the next paint: a move that comes before that paint
        // already drags the new selection.
        f->beginSelection(pressX);
        paintAction = 1;
    } else {
        return;
    }
    update();
}

void TWFormInternalWidget::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    QPoint p;
    TWForm* f = mouseTarget(event, p);
    if (!f)
        return;
    followShape(p.x(), p.y());
    const Qt::MouseButtons held = event->buttons();
    if (held == Qt::NoButton)
        return;
    const bool grabbed = f->grabbedCursorChannel >= 0 || f->grabbedBaselineChannel >= 0;
    if (((held & Qt::LeftButton) && grabbed) || ((held & Qt::RightButton) && f->selecting)) {
        currentX = p.x();
        currentY = p.y();
        paintAction = 2;
    } else {
        currentX = pressX;
        currentY = pressY;
        paintAction = 3;
    }
    update();
}

void TWFormInternalWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    QPoint p;
    if (!mouseTarget(event, p))
        return;
    currentX = p.x();
    currentY = p.y();
    followShape(currentX, currentY);
    paintAction = 3;
    update();
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

bool TWForm::acquire(int channelCount, int length, AcquisitionReport* report)
{
    if (!record || !plot || transforming)
        return false;
    // The layout is kept as it is: a new record is spread over the plot by its own set-up.
    if (record->length() != length || record->channelCount() != channelCount) {
        delete record;
        record = new TWaveStor(plotRect);
        if (!record->init(channelCount, length))
            return false; // reported by the record
        layoutFrame(nullptr);
    }
    const bool ok = g_mainWnd && acquireFromUnit(*record, g_mainWnd.data(), report);
    if (g_mainWnd)
        unsavedRecording = true; // even a failed run may have overwritten some channels
    updateScrollBar();
    repaintPlot(); // what the channels hold now, after a failed run as well
    if (ok) {
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

void TWForm::showSample(int ch, int i)
{
    TWaveView* v = record ? record->channel(ch) : nullptr;
    if (!v || !plot)
        return;
    const int length = record->length();
    i = std::clamp(i, 0, std::max(length - 1, 0));
    const wform::View n = wform::viewShowing(view(), i, length);
    if (n != view())
        viewChanged(n, false);
    v->cursor = i;
    refreshReadout(ch);
    plot->update();
}

void TWForm::showCursors(const QVector<QPair<int, int>>& cursors)
{
    if (!record || !plot || cursors.isEmpty())
        return;
    const int last = std::max(record->length() - 1, 0);
    const wform::View n =
        wform::viewShowing(view(), std::clamp(cursors[0].second, 0, last), record->length());
    if (n != view())
        viewChanged(n, false);
    for (const QPair<int, int>& c : cursors) {
        if (TWaveView* v = record->channel(c.first)) {
            v->cursor = std::clamp(c.second, 0, last);
            refreshReadout(c.first);
        }
    }
    plot->update();
}

void TWForm::setSpanMarks(const QVector<wform::SpanMark>& marks)
{
    m_spanMarks = marks;
    for (auto& list : m_marksOf)
        list.clear();
    for (const wform::SpanMark& m : marks) {
        if (m.channel >= 0 && m.channel < MaxChannels)
            m_marksOf[m.channel].emplace_back(std::min(m.from, m.to), std::max(m.from, m.to));
    }
    for (auto& list : m_marksOf)
        std::sort(list.begin(), list.end());
    ++m_marksRevision;
    if (plot)
        plot->update();
}

void TWForm::drawSpanMarks(QPainter* painter) const
{
    if (!record || m_spanMarks.isEmpty() || !painter || !painter->isActive() || plotRect.width() <= 0)
        return;
    // Magenta: no trace or cursor colour of the defaults. The stretch is tinted, its start drawn
    // dashed (4 rows on, 2 off) and its end dotted (1 on, 2 off), so that neither is taken for a
    // cursor. Every mark of a channel spans the same rows, so one strip of 6 rows, a pattern
    // period of both lines, holds the whole picture and is tiled down the channel's band: the
    // cost follows the plot's width.
    constexpr int Period = 6;
    const QRgb line = qRgb(255, 0, 255);
    const QRgb tint = qPremultiply(qRgba(255, 0, 255, 48));
    const int left = plotRect.left();
    const int width = plotRect.width();
    for (int ch = 0; ch < MaxChannels; ++ch) {
        const TWaveView* v = record->channel(ch);
        if (!v || !v->visible || m_marksOf[ch].empty())
            continue;
        // The rows of the channel's whole range of values.
        const int top = std::max(v->baseY - nearest(127.0 * v->yScale), plotRect.top());
        const int bottom = std::min(v->baseY + nearest(128.0 * v->yScale), plotRect.bottom());
        if (top > bottom)
            continue;
        const wform::MarkColumns c = wform::markColumns(m_marksOf[ch], left, plotRect.right(),
                                                        [v](int i) { return v->sampleToX(i); });
        if (c.tinted.isEmpty())
            continue;
        QImage strip(width, Period, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        for (int y = 0; y < Period; ++y) {
            auto* row = reinterpret_cast<QRgb*>(strip.scanLine(y));
            for (const QPair<int, int>& run : c.tinted)
                std::fill(row + run.first - left, row + run.second - left + 1, tint);
            if (y % 3 == 0)
                for (int x : c.ends)
                    row[x - left] = line;
            if (y < 4)
                for (int x : c.starts)
                    row[x - left] = line;
        }
        painter->drawTiledPixmap(QRect(left, top, width, bottom - top + 1), QPixmap::fromImage(strip));
    }
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
    if (!plot)
        return;
    plot->forgetTraces();
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
    const int n = record->channelCount();
    for (int ch = 0; ch < n; ++ch)
        refreshReadout(ch);
    for (int ch = n; ch < 4; ++ch)
        g_mainWnd->setReadout(this, ch, QString(), QString());
}

void TWForm::refreshReadout(int ch)
{
    if (!g_mainWnd || !record)
        return;
    TWaveView* v = record->channel(ch);
    const TChannelHeader* h = record->channelHeader(ch);
    if (!v || !v->visible || !h) {
        g_mainWnd->setReadout(this, ch, QString(), QString());
        return;
    }
    const int gain = h->gainCode;
    const double period = record->samplePeriodUs();
    QString position, amplitude;
    if (v->spectrum) {
        position = wform::frequencyReadout(v->cursor, period, record->length());
        amplitude = wform::spectrumAmplitudeReadout(v->sample(v->cursor), v->specStep, gain, logScale);
    } else {
        position = wform::timeReadout(v->cursor, period);
        amplitude =
            wform::amplitudeReadout(v->processedSample(v->cursor), v->unipolar, gain, g_mainWnd->unitVolts());
    }
    g_mainWnd->setReadout(this, ch, position, amplitude);
}

void TWForm::drawSelection(QPainter* painter, int from, int to)
{
    if (!record || !painter || !painter->isActive() || from == to)
        return;
    int x1 = std::clamp(record->sampleToX(from), plotRect.left(), plotRect.right());
    int x2 = std::clamp(record->sampleToX(to), plotRect.left(), plotRect.right());
    if (x1 == x2)
        return;
    if (x1 > x2)
        std::swap(x1, x2);
    // Whatever is under the strip shows inverted.
    const QRect strip(QPoint(x1, 0), QPoint(x2, plotRect.bottom() - plotRect.top()));
    const QPainter::CompositionMode mode = painter->compositionMode();
    painter->setCompositionMode(QPainter::RasterOp_NotDestination);
    painter->fillRect(strip, Qt::white);
    painter->setCompositionMode(mode);
}

bool TWForm::selectionMode() const
{
    return g_mainWnd && g_mainWnd->aSelectMode && g_mainWnd->aSelectMode->isChecked();
}

void TWForm::placeCursor(int ch, int x)
{
    if (!record->cursorFromX(ch, x))
        return;
    // The last column may map past the last sample; the cursor reads real samples only.
    TWaveView* v = record->channel(ch);
    v->cursor = std::clamp(v->cursor, 0, std::max(record->length() - 1, 0));
}

bool TWForm::dragTo(int x, int y)
{
    if (!record || !plot)
        return true;
    plot->pressX = x;
    plot->pressY = y;
    if (grabbedCursorChannel >= 0) {
        placeCursor(grabbedCursorChannel, x);
        refreshReadout(grabbedCursorChannel);
        return true;
    }
    if (grabbedBaselineChannel >= 0) {
        record->moveBaseline(grabbedBaselineChannel, x, y);
        return true;
    }
    if (!selecting)
        return true;
    const wform::SelectionEnd e =
        wform::draggedSelectionEnd(selStart, selEnd, record->xToSample(x), record->length(), selectionMode());
    if (!e.changed)
        return true;
    selLog2 = e.log2;
    selEnd = e.end;
    return false;
}

void TWForm::beginSelection(int x)
{
    if (!record)
        return;
    selStart = selEnd = std::clamp(record->xToSample(x), 0, record->length());
    selecting = true;
}

void TWForm::endDrag()
{
    grabbedCursorChannel = -1;
    grabbedBaselineChannel = -1;
    selecting = false;
}

void TWForm::roundSelectionToPowerOfTwo()
{
    // The selection of a window with an open spectrum is where its inverse goes back to.
    if (!record || !plot || hasSpectrum || selStart == selEnd)
        return;
    const wform::SelectionEnd e = wform::roundedSelectionEnd(selStart, selEnd, record->length());
    selLog2 = e.log2;
    if (!e.changed)
        return;
    // In force at once, so that a command right after it (the forward FFT) sees the new end.
    selEnd = plot->pendingSelEnd = e.end;
    plot->paintAction = 4;
    plot->update();
}

QList<int> TWForm::chooseChannels(const QString& title)
{
    TSelSigDlg dlg(this, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    if (!dlg.init())
        return {}; // reported by the dialog
    if (!title.isEmpty())
        dlg.setWindowTitle(title);
    const int n = record->channelCount();
    dlg.setChannelCount(n);
    if (dlg.exec() != QDialog::Accepted)
        return {};
    QList<int> ticked;
    for (int ch = 0; ch < n; ++ch) {
        if (dlg.isSelected(ch))
            ticked << ch;
    }
    return ticked;
}

void TWForm::centreCursors()
{
    if (!record || !plot)
        return;
    const int x = (plotRect.right() + 1 - plotRect.left()) / 2;
    const QList<int> ticked = chooseChannels(tr("Установка курсоров"));
    for (int ch : ticked) {
        placeCursor(ch, x);
        refreshReadout(ch);
    }
    plot->update();
}

bool TWForm::measuredSelection(int warning, int& low, int& high) const
{
    if (!record || !plot)
        return false;
    if (selStart == selEnd) {
        umisc::showWarning(warning);
        return false;
    }
    const wform::View span = wform::measuredSpan(selStart, selEnd, record->length());
    low = span.start;
    high = span.start + span.width - 1;
    return true;
}

namespace {

// The wait cursor for as long as it lives.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

void TWForm::findMaximum()
{
    int low = 0, high = 0;
    if (!measuredSelection(StringsKit::WarnMaxNeedsSelection, low, high))
        return;
    const QList<int> ticked = chooseChannels(tr("Преобразование"));
    if (ticked.isEmpty())
        return;
    changed = true;
    const WaitCursor wait;
    for (int ch : ticked) {
        if (TWaveView* v = record->channel(ch))
            v->cursor = record->maxPositionIn(ch, low, high);
        refreshReadout(ch);
    }
    plot->update();
}

void TWForm::zeroSignal()
{
    int low = 0, high = 0;
    if (!measuredSelection(StringsKit::WarnZeroNeedsSelection, low, high))
        return;
    const QList<int> ticked = chooseChannels(QString());
    if (ticked.isEmpty())
        return;
    changed = true;
    const WaitCursor wait;
    for (int ch : ticked) {
        record->zeroRange(ch, low, high);
        repaintPlot();
        updateReadouts();
    }
}

void TWForm::showMean()
{
    int low = 0, high = 0;
    if (!measuredSelection(StringsKit::WarnMeanNeedsSelection, low, high))
        return;
    QString text = tr("Среднее значение:");
    {
        const WaitCursor wait;
        for (int ch = 0; ch < record->channelCount(); ++ch) {
            const TWaveView* v = record->channel(ch);
            const int m = record->meanOver(ch, low, high);
            const bool bipolar = v && !v->unipolar && !v->spectrum;
            text += tr("\nКанал ") + QString::number(ch + 1) + QLatin1Char(':') +
                    wform::meanReadout(m, bipolar, record->channelHeader(ch)->gainCode);
        }
    }
    umisc::showInformation(StringsKit::InfoText, text);
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

// ---------------------------------------------------------------------------------------------
// Spectrum: forward transform into a new window, inverse transform back into the source

namespace {

// What a transform shows while it runs: the acquisition's progress form, modal (the rest of the
// program takes no input), without its close button and without STOP (a transform cannot be
// stopped half way), and the wait cursor.
class TransformProgress
{
public:
    explicit TransformProgress(int maximum)
        : dialog(g_mainWnd.data(), Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::WindowSystemMenuHint | Qt::WindowTitleHint |
                                       Qt::MSWindowsFixedSizeDialogHint)
    {
        form.setupUi(&dialog);
        dialog.setWindowTitle(QObject::tr("Идет преобразование..."));
        form.tStop->hide();
        form.progressBar->setValue(0);
        form.progressBar->setMaximum(maximum);
        dialog.show();
    }
    QProgressBar* bar() const { return form.progressBar; }

private:
    UnClosableDialog dialog;
    Ui::LoadProgress form;
    WaitCursor wait;
};

// Marks the windows a transform works on for as long as it lives.
class TransformingMark
{
public:
    TransformingMark(TWForm* a, TWForm* b)
        : windows{a, b}
    {
        for (const QPointer<TWForm>& w : windows)
            w->transforming = true;
    }
    ~TransformingMark()
    {
        for (const QPointer<TWForm>& w : windows)
            if (w)
                w->transforming = false;
    }
    TransformingMark(const TransformingMark&) = delete;
    TransformingMark& operator=(const TransformingMark&) = delete;

private:
    QPointer<TWForm> windows[2];
};

} // namespace

bool TWForm::initSpectrum(TWForm* from)
{
    if (!from || !from->record || from->transforming)
        return false;
    if (!buildWidgets())
        return false; // reported
    const int k = from->selLog2;
    const int start = std::min(from->selStart, from->selEnd);
    const int channels = from->record->channelCount();
    plotRect = QRect(0, 0, plot->width(), plot->height());
    record = new TWaveStor(plotRect);
    // Half the transform is shown: bins 1 ... 2^(k-1).
    if (k < 1 || k > MaxSpectrumLog2 || !record->init(channels, 1 << (k - 1))) {
        REPORT_CRITICAL(0xA402);
        return false;
    }
    layoutFrame(nullptr);
    logScale = g_logScale;
    windowFunction = g_winFun;
    {
        const TransformingMark mark(this, from);
        const TransformProgress progress(channels * (k + 5));
        for (int ch = 0; ch < channels; ++ch) {
            TWaveView* v = record->channel(ch);
            if (!v ||
                v->forwardFFT(from->record->channel(ch), start, k, progress.bar(), logScale) != SpectrumOk) {
                REPORT_CRITICAL(0xAC02);
                return false;
            }
            v->visible = true;
            *record->channelHeader(ch) = *from->record->channelHeader(ch);
        }
    }
    record->header.winWidth = record->length();
    record->header.winStart = 0;
    record->header.clockKHz = from->record->header.clockKHz;
    record->header.divider = from->record->header.divider;
    source = from;
    isSpectrum = true;
    from->hasSpectrum = true;
    record->recalcXScale();
    record->applyWindow();
    repaintPlot();
    if (g_mainWnd)
        g_mainWnd->syncToWindow(this);
    updateScrollBar();
    updateReadouts();
    return true;
}

bool TWForm::inverseFFT()
{
    if (!record || !source || !source->plot || !source->record || transforming || source->transforming)
        return false;
    if (windowFunction != 0) {
        const QMessageBox::StandardButton answer =
            umisc::askQuestion(StringsKit::AskWindowFunction, QString(), QString(), true, true,
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::No)
            return true;
        if (answer != QMessageBox::Yes)
            return false;
    }
    const QList<int> ticked = chooseChannels(tr("Преобразование"));
    // The dialogs served events: the source may have gone meanwhile.
    if (ticked.isEmpty() || !source || !source->record)
        return true;
    TWForm* target = source;
    const int start = std::min(target->selStart, target->selEnd);
    const int k = target->selLog2;
    {
        const TransformingMark mark(this, target);
        const TransformProgress progress(int(ticked.size()) * (k + 3));
        for (int ch : ticked) {
            TWaveView* v = record->channel(ch);
            TWaveView* t = target->record->channel(ch);
            if (v && t)
                v->inverseFFT(t, start, k, progress.bar());
        }
    }
    target->repaintPlot(); // its samples changed
    return true;
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
    // A transform between two of its stages still holds this window's channels.
    if (transforming) {
        event->ignore();
        return;
    }
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
