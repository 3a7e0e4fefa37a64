#include "ae/analysis_window.h"

#include "ae/chart_util.h"
#include "ae/hit_csv.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include "ui_AnalysisWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Points closer than this share a cell: a marker is 5 pixels across.
constexpr int CellPx = 3;
constexpr qreal MarkerPx = 5;
// A point answers the mouse this far from its centre.
constexpr double PickPx = 6;

QColor channelColour(int channel)
{
    return channel >= 1 && channel <= MaxChannels ? g_traceColours[channel - 1] : QColor(Qt::black);
}

// A channel in a plot's legend; the tick boxes above the plots say it in full.
QString channelName(int channel)
{
    return QCoreApplication::translate("TAnalysisWindow", "К%1").arg(channel);
}

// A filled circle in the channel's colour, drawn for each point without an item of its own.
QImage markerImage(const QColor& colour)
{
    const int side = int(MarkerPx);
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(130), 0.8));
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, MarkerPx - 1, MarkerPx - 1));
    return img;
}

// A linear axis over r widened to round ticks; r becomes the axis's range, which the points are
// placed by.
QValueAxis* valueAxis(const QString& title, ae::AxisRange& r, const char* format = "%g")
{
    auto* a = new QValueAxis;
    a->setTitleText(title);
    a->setRange(r.low, r.high);
    a->setTickCount(5);
    a->applyNiceNumbers();
    a->setLabelFormat(QString::fromLatin1(format));
    r = {a->min(), a->max()};
    return a;
}

QLogValueAxis* logAxis(const QString& title, const ae::AxisRange& r)
{
    auto* a = new QLogValueAxis;
    a->setTitleText(title);
    a->setBase(10);
    a->setRange(r.low, r.high);
    a->setLabelFormat(QStringLiteral("%g"));
    a->setMinorTickCount(8);
    return a;
}

// The time axis of a series: clock times, as fine as the span needs and short enough for four
// labels in a narrow plot.
QDateTimeAxis* clockAxis(const ae::AxisRange& r)
{
    auto* a = new QDateTimeAxis;
    a->setTitleText(QCoreApplication::translate("TAnalysisWindow", "Время (местное)"));
    const double span = r.high - r.low;
    a->setFormat(span < 10e3      ? QStringLiteral("mm:ss.zzz")
                 : span < 3600e3  ? QStringLiteral("HH:mm:ss")
                 : span < 86400e3 ? QStringLiteral("HH:mm")
                                  : QStringLiteral("dd.MM HH:mm"));
    a->setRange(QDateTime::fromMSecsSinceEpoch(qint64(std::floor(r.low))),
                QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(r.high))));
    a->setTickCount(4);
    return a;
}

QList<QPointF> qtPoints(const ae::PlotPoints& points)
{
    QList<QPointF> out;
    out.reserve(qsizetype(points.size()));
    for (const ae::PlotPoint& p : points)
        out.append(QPointF(p.x, p.y));
    return out;
}

QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

// ---------------------------------------------------------------------------------------------

TAnalysisWindow* TAnalysisWindow::windowOf(const QWidget* parent, const QObject* owner)
{
    return owner ? umisc::findToolWindow<TAnalysisWindow>(
                       parent, [owner](TAnalysisWindow* w) { return w->owner() == owner; })
                 : nullptr;
}

TAnalysisWindow* TAnalysisWindow::showFor(QWidget* parent, QObject* owner, ae::AnalysisSource source)
{
    TAnalysisWindow* w = windowOf(parent, owner);
    if (!w)
        w = new TAnalysisWindow(parent, owner);
    w->setSource(std::move(source));
    w->show();
    w->raise();
    return w;
}

TAnalysisWindow::TAnalysisWindow(QWidget* parent, QObject* owner)
    : QWidget(parent, Qt::Tool)
    , ui(new Ui::AnalysisWindow)
    , m_owner(owner)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    umisc::placeToolWindow(this, QStringLiteral("analysisWindow"));
    m_views = {ui->chart0, ui->chart1, ui->chart2, ui->chart3};
    static const char* const titles[PlotCount] = {
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Накопление импульсов и энергии"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Распределение амплитуд"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Длительность и амплитуда"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Средняя частота и RA"),
    };
    static const char* const tips[PlotCount] = {
        QT_TRANSLATE_NOOP("TAnalysisWindow",
                          "Число импульсов (сплошные линии, левая ось) и их суммарная энергия "
                          "(штриховые, правая ось) с начала"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Импульсы на 1 дБ амплитуды (линии), N(≥A) (точки) и прямая, "
                                             "по наклону которой найдено b-value (штриховая)"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Точка на импульс: длинные слабые импульсы обычно шум"),
        QT_TRANSLATE_NOOP("TAnalysisWindow", "Точка на импульс: отрыв (высокая частота, малое RA) или сдвиг"),
    };
    for (int p = 0; p < PlotCount; ++p) {
        auto* chart = new QChart;
        chart->setTitle(tr(titles[p]));
        QFont titleFont = font();
        titleFont.setBold(true);
        chart->setTitleFont(titleFont);
        // The b-values need their room: that legend stands at the side.
        chart->legend()->setAlignment(p == AmplitudePlot ? Qt::AlignRight : Qt::AlignBottom);
        chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
        // The plots share the window: no frame or padding around them.
        chart->setMargins(QMargins(2, 2, 2, 2));
        chart->layout()->setContentsMargins(0, 0, 0, 0);
        chart->setBackgroundRoundness(0);
        QChart* unused = m_views[std::size_t(p)]->chart(); // the view's own, released to us
        m_views[std::size_t(p)]->setChart(chart);
        delete unused;
        m_views[std::size_t(p)]->setRenderHint(QPainter::Antialiasing);
        m_views[std::size_t(p)]->setToolTip(tr(tips[p]));
        m_views[std::size_t(p)]->viewport()->installEventFilter(this);
        m_views[std::size_t(p)]->viewport()->setMouseTracking(true);
        auto* text = new QGraphicsSimpleTextItem(chart);
        text->setZValue(10);
        m_messages[std::size_t(p)] = text;
        // The points are thinned to the plot's size: a plot that grows gets them anew.
        connect(chart, &QChart::plotAreaChanged, this, [this, p](const QRectF& area) {
            const ae::PlotFrame& f = m_frames[std::size_t(p)];
            const bool moved = std::abs(area.width() - f.width) >= 2 * CellPx ||
                               std::abs(area.height() - f.height) >= 2 * CellPx;
            if (moved && !m_redrawPending) {
                m_redrawPending = true; // one redraw for all the plots that changed
                QTimer::singleShot(0, this, [this] {
                    m_redrawPending = false;
                    redraw();
                });
            }
        });
    }
    for (int p = 0; p < PlotCount; ++p)
        ui->plotChoice->addItem(tr(titles[p]));
    connect(ui->pngBtn, &QPushButton::clicked, this,
            [this] { choosePlotFile(Plot(ui->plotChoice->currentIndex()), false); });
    connect(ui->svgBtn, &QPushButton::clicked, this,
            [this] { choosePlotFile(Plot(ui->plotChoice->currentIndex()), true); });
    QStringList heads{tr("Канал"), tr("Импульсы"), tr("Энергия, В²·с"), tr("Макс., дБ"), tr("b-value")};
    ui->summaryView->setColumnCount(int(heads.size()));
    ui->summaryView->setHorizontalHeaderLabels(heads);
    ui->summaryView->verticalHeader()->hide();
    ui->summaryView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    ui->summaryView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->summaryView->horizontalHeader()->setStretchLastSection(true);
    ui->noteLabel->hide();
    connect(ui->copyBtn, &QPushButton::clicked, this, &TAnalysisWindow::copySummary);
    connect(ui->exportBtn, &QPushButton::clicked, this, &TAnalysisWindow::chooseSummaryFile);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::close);
    if (owner)
        connect(owner, &QObject::destroyed, this, [this] {
            m_owner = nullptr;
            close();
        });
}

TAnalysisWindow::~TAnalysisWindow()
{
    delete ui;
}

void TAnalysisWindow::setSource(ae::AnalysisSource source)
{
    m_source = std::move(source);
    ae::sortByTime(m_source.hits);
    setWindowTitle(tr("Анализ АЭ — %1").arg(m_source.title));
    setNote(m_source.note);
    rebuildData();
    redraw();
}

void TAnalysisWindow::appendHits(std::vector<ae::AnalysisHit> hits, const QStringList& newRecords)
{
    m_source.records += newRecords;
    m_source.hits.insert(m_source.hits.end(), hits.begin(), hits.end());
    ae::sortByTime(m_source.hits);
    rebuildData();
    redraw();
}

void TAnalysisWindow::setNote(const QString& note)
{
    m_source.note = note;
    ui->noteLabel->setText(note);
    ui->noteLabel->setVisible(!note.isEmpty());
}

void TAnalysisWindow::rebuildData()
{
    m_data.clear();
    std::vector<int> present;
    for (const ae::AnalysisHit& h : m_source.hits)
        if (std::find(present.begin(), present.end(), h.channel) == present.end())
            present.push_back(h.channel);
    std::sort(present.begin(), present.end());
    const std::vector<ae::ChannelSummary> summaries = ae::summarizeAnalysis(m_source.hits, present);
    for (std::size_t i = 0; i < present.size(); ++i) {
        ChannelData& d = m_data[present[i]];
        d.cumulative = ae::cumulative(m_source.hits, present[i]);
        d.durations = ae::durationPoints(m_source.hits, present[i]);
        d.frequencies = ae::frequencyPoints(m_source.hits, present[i]);
        d.amplitudes = ae::amplitudeDistribution(ae::channelAmplitudes(m_source.hits, present[i]));
        d.fit = ae::bValueFit(d.amplitudes);
        d.summary = summaries[i];
    }
    makeChannelBoxes();
}

const TAnalysisWindow::ChannelData& TAnalysisWindow::dataOf(int channel) const
{
    static const ChannelData none;
    const auto at = m_data.find(channel);
    return at == m_data.end() ? none : at->second;
}

bool TAnalysisWindow::anyHitTicked(const QList<int>& channels) const
{
    return std::any_of(channels.begin(), channels.end(),
                       [this](int ch) { return dataOf(ch).summary.hits > 0; });
}

void TAnalysisWindow::makeChannelBoxes()
{
    QList<int> wanted;
    for (const auto& [channel, data] : m_data)
        wanted << channel;
    if (wanted == channels())
        return; // the ticks stay as the user left them
    const QList<int> unticked = [&] {
        QList<int> u;
        for (QCheckBox* b : m_boxes)
            if (!b->isChecked())
                u << b->property("channel").toInt();
        return u;
    }();
    for (QCheckBox* b : m_boxes)
        delete b;
    m_boxes.clear();
    for (int ch : wanted) {
        auto* box = new QCheckBox(tr("Канал &%1").arg(ch), this);
        box->setProperty("channel", ch);
        QPixmap swatch(12, 12);
        swatch.fill(channelColour(ch));
        box->setIcon(QIcon(swatch));
        box->setChecked(!unticked.contains(ch));
        ui->channelRow->insertWidget(int(m_boxes.size()) + 1, box); // after the label
        connect(box, &QCheckBox::toggled, this, &TAnalysisWindow::redraw);
        m_boxes.push_back(box);
    }
}

QList<int> TAnalysisWindow::channels() const
{
    QList<int> out;
    for (QCheckBox* b : m_boxes)
        out << b->property("channel").toInt();
    return out;
}

QList<int> TAnalysisWindow::tickedChannels() const
{
    QList<int> out;
    for (QCheckBox* b : m_boxes)
        if (b->isChecked())
            out << b->property("channel").toInt();
    return out;
}

QCheckBox* TAnalysisWindow::channelBox(int channel) const
{
    for (QCheckBox* b : m_boxes)
        if (b->property("channel").toInt() == channel)
            return b;
    return nullptr;
}

QChartView* TAnalysisWindow::chartView(Plot p) const
{
    return p >= 0 && p < PlotCount ? m_views[std::size_t(p)] : nullptr;
}

const ae::PlotPoints* TAnalysisWindow::drawnPoints(Plot p, int channel, int which) const
{
    if (p < 0 || p >= PlotCount)
        return nullptr;
    for (const Drawn& d : m_drawn[std::size_t(p)])
        if (d.channel == channel && d.which == which)
            return &d.points;
    return nullptr;
}

ae::PlotFrame TAnalysisWindow::frameOf(Plot p) const
{
    ae::PlotFrame f;
    QRectF area = m_views[std::size_t(p)]->chart()->plotArea();
    if (area.width() < 20 || area.height() < 20) // not laid out yet: about what it will be
        area = QRectF(QPointF(0, 0), QSizeF(m_views[std::size_t(p)]->size()) - QSizeF(110, 120));
    f.width = std::max(int(area.width()), 1);
    f.height = std::max(int(area.height()), 1);
    return f;
}

void TAnalysisWindow::setPlotMessage(Plot p, const QString& text)
{
    QGraphicsSimpleTextItem* item = m_messages[std::size_t(p)];
    item->setText(text);
    item->setVisible(!text.isEmpty());
    QFont f = item->font();
    f.setPointSizeF(QApplication::font().pointSizeF() * 1.1);
    item->setFont(f);
    const QRectF area = m_views[std::size_t(p)]->chart()->plotArea();
    const QRectF box = item->boundingRect();
    item->setPos(area.center() - QPointF(box.width() / 2, box.height() / 2));
}

QXYSeries* TAnalysisWindow::addSeries(Plot p, QXYSeries* s, int channel, int which, ae::PlotPoints points)
{
    QChart* chart = m_views[std::size_t(p)]->chart();
    s->replace(qtPoints(points));
    chart->addSeries(s);
    // The energy has the cumulative plot's right axis; everything else the left one.
    const Qt::Alignment side = p == CumulativePlot && which == 1 ? Qt::AlignRight : Qt::AlignLeft;
    for (QAbstractAxis* a : chart->axes())
        if (a->orientation() == Qt::Horizontal || a->alignment() == side)
            s->attachAxis(a);
    m_drawn[std::size_t(p)].push_back({channel, which, std::move(points)});
    return s;
}

void TAnalysisWindow::redraw()
{
    const QList<int> ticked = tickedChannels();
    for (int p = 0; p < PlotCount; ++p) {
        QChart* chart = m_views[std::size_t(p)]->chart();
        chart->removeAllSeries();
        for (QAbstractAxis* a : chart->axes()) {
            chart->removeAxis(a);
            delete a;
        }
        m_drawn[std::size_t(p)].clear();
        m_frames[std::size_t(p)] = frameOf(Plot(p));
    }
    drawCumulative(ticked);
    drawAmplitudes(ticked);
    drawScatter(DurationPlot, ticked);
    drawScatter(FrequencyPlot, ticked);
    fillSummary(ticked);
}

void TAnalysisWindow::drawCumulative(const QList<int>& channels)
{
    const Plot p = CumulativePlot;
    QChart* chart = m_views[std::size_t(p)]->chart();
    std::vector<const ae::Cumulative*> curves;
    std::vector<const ae::PlotPoints*> counts, energies;
    for (int ch : channels) {
        curves.push_back(&dataOf(ch).cumulative);
        counts.push_back(&curves.back()->hits);
        energies.push_back(&curves.back()->energy);
    }
    ae::PlotFrame& f = m_frames[std::size_t(p)];
    f.x = ae::axisRange(counts, false, false, {0, 1});
    if (!m_source.absoluteTime)
        f.x.low = 0; // from the record's start
    f.y = ae::axisRange(counts, true, false, {0, 1});
    f.y.low = 0;
    ae::PlotFrame fe = f;
    fe.y = ae::axisRange(energies, true, false, {0, 1});
    fe.y.low = 0;
    QAbstractAxis* x =
        m_source.absoluteTime ? static_cast<QAbstractAxis*>(clockAxis(f.x)) : valueAxis(tr("Время, мс"), f.x);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(valueAxis(tr("Импульсы (сплошные)"), f.y, "%.0f"), Qt::AlignLeft);
    chart->addAxis(valueAxis(tr("Энергия, В²·с (штрихи)"), fe.y, "%.3g"), Qt::AlignRight);
    fe.x = f.x;
    bool any = false;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const int ch = channels[int(i)];
        any = any || !curves[i]->hits.empty();
        auto* hits = new QLineSeries;
        hits->setName(channelName(ch));
        hits->setPen(QPen(channelColour(ch), 2));
        addSeries(p, hits, ch, 0, ae::thinCurve(curves[i]->hits, f));
        auto* energy = new QLineSeries;
        energy->setPen(QPen(channelColour(ch), 1.5, Qt::DashLine));
        addSeries(p, energy, ch, 1, ae::thinCurve(curves[i]->energy, fe));
    }
    // One legend entry a channel: the axes' titles tell the lines apart.
    for (QLegendMarker* m : chart->legend()->markers())
        m->setVisible(!m->series()->name().isEmpty());
    // Times need the record's sampling rate (and, in a series, its start).
    setPlotMessage(p, any || !anyHitTicked(channels)
                          ? QString()
                          : tr("Времена импульсов неизвестны:\nнет частоты дискретизации "
                               "или времени начала записи"));
}

void TAnalysisWindow::drawAmplitudes(const QList<int>& channels)
{
    const Plot p = AmplitudePlot;
    QChart* chart = m_views[std::size_t(p)]->chart();
    int low = 0, high = 0;
    qint64 most = 1;
    bool any = false;
    for (int ch : channels) {
        const ae::AmplitudeDistribution& d = dataOf(ch).amplitudes;
        if (d.atLeast.empty())
            continue;
        const int top = d.lowest + int(d.atLeast.size());
        low = any ? std::min(low, d.lowest) : d.lowest;
        high = any ? std::max(high, top) : top;
        most = std::max(most, d.atLeast.front());
        any = true;
    }
    ae::PlotFrame& f = m_frames[std::size_t(p)];
    f.x = any ? ae::AxisRange{double(low - 1), double(high + 1)} : ae::AxisRange{0, 100};
    // Down to half a hit, so that a level of one hit still shows; up to the next decade.
    f.y = {0.5, std::pow(10.0, std::ceil(std::log10(double(most) * 1.01)))};
    f.logY = true;
    chart->addAxis(valueAxis(tr("Амплитуда, дБ (отн. 1 мкВ)"), f.x, "%.0f"), Qt::AlignBottom);
    chart->addAxis(logAxis(tr("Импульсы: на 1 дБ, N(≥A)"), f.y), Qt::AlignLeft);
    for (int ch : channels) {
        const ae::AmplitudeDistribution& d = dataOf(ch).amplitudes;
        if (d.atLeast.empty())
            continue;
        const QColor colour = channelColour(ch);
        // The hits per 1-dB level as bars' outlines; N(>=A) as points.
        ae::PlotPoints bars, atLeast;
        for (std::size_t k = 0; k < d.perLevel.size(); ++k) {
            const double level = d.lowest + double(k), n = std::max<double>(double(d.perLevel[k]), f.y.low);
            bars.push_back({level, f.y.low, -1});
            bars.push_back({level, n, -1});
            bars.push_back({level + 1, n, -1});
            bars.push_back({level + 1, f.y.low, -1});
            atLeast.push_back({level, double(d.atLeast[k]), -1});
        }
        auto* barSeries = new QLineSeries;
        barSeries->setPen(QPen(colour, 1.2));
        addSeries(p, barSeries, ch, 0, std::move(bars));
        auto* cumulativeSeries = new QLineSeries;
        cumulativeSeries->setPen(Qt::NoPen);
        cumulativeSeries->setColor(colour);
        cumulativeSeries->setPointsVisible(true);
        cumulativeSeries->setMarkerSize(MarkerPx + 1);
        cumulativeSeries->setLightMarker(markerImage(colour));
        const std::optional<ae::BValueFit>& fit = dataOf(ch).fit;
        cumulativeSeries->setName(fit ? tr("К%1: b = %2").arg(ch).arg(number(fit->b, 2))
                                      : tr("К%1: b —").arg(ch));
        addSeries(p, cumulativeSeries, ch, 1, std::move(atLeast));
        if (fit) {
            auto* line = new QLineSeries;
            line->setPen(QPen(colour.darker(140), 1.5, Qt::DashLine));
            ae::PlotPoints ends;
            for (int level : {fit->first, fit->last})
                ends.push_back({double(level), std::pow(10.0, fit->intercept + fit->slope * level), -1});
            addSeries(p, line, ch, 2, std::move(ends));
        }
    }
    // Only the points' entries (with the b-value) stand in the legend.
    for (QLegendMarker* m : chart->legend()->markers()) {
        auto* s = static_cast<QXYSeries*>(m->series());
        m->setVisible(s->pointsVisible());
        if (s->pointsVisible()) {
            m->setShape(QLegend::MarkerShapeCircle);
            m->setBrush(s->color());
        }
    }
    setPlotMessage(p, QString());
}

void TAnalysisWindow::drawScatter(Plot p, const QList<int>& channels)
{
    QChart* chart = m_views[std::size_t(p)]->chart();
    const bool duration = p == DurationPlot;
    std::vector<const ae::PlotPoints*> all;
    for (int ch : channels)
        all.push_back(duration ? &dataOf(ch).durations : &dataOf(ch).frequencies);
    ae::PlotFrame& f = m_frames[std::size_t(p)];
    f.logY = duration;
    f.x = ae::axisRange(all, false, false, duration ? ae::AxisRange{40, 100} : ae::AxisRange{0, 1});
    f.y = ae::axisRange(all, true, duration, duration ? ae::AxisRange{1, 1000} : ae::AxisRange{0, 500});
    if (duration) {
        chart->addAxis(valueAxis(tr("Амплитуда, дБ (отн. 1 мкВ)"), f.x, "%.0f"), Qt::AlignBottom);
        chart->addAxis(logAxis(tr("Длительность, мкс"), f.y), Qt::AlignLeft);
    } else {
        chart->addAxis(valueAxis(tr("RA, мс/В"), f.x), Qt::AlignBottom);
        chart->addAxis(valueAxis(tr("Ср. частота, кГц"), f.y), Qt::AlignLeft);
    }
    bool any = false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const int ch = channels[int(i)];
        any = any || !all[i]->empty();
        auto* s = new QLineSeries;
        s->setName(channelName(ch));
        s->setPen(Qt::NoPen);
        s->setColor(channelColour(ch));
        s->setPointsVisible(true);
        s->setMarkerSize(MarkerPx);
        s->setLightMarker(markerImage(channelColour(ch)));
        addSeries(p, s, ch, 0, ae::thinScatter(*all[i], f, CellPx));
    }
    for (QLegendMarker* m : chart->legend()->markers()) {
        m->setShape(QLegend::MarkerShapeCircle);
        m->setBrush(static_cast<QXYSeries*>(m->series())->color());
    }
    setPlotMessage(p, any || !anyHitTicked(channels) ? QString()
                      : duration ? tr("Длительности неизвестны:\nнет частоты дискретизации "
                                      "или все импульсы из одного отсчёта")
                                 : tr("Частоты и RA неизвестны:\nнет частоты дискретизации "
                                      "или все импульсы из одного отсчёта"));
}

void TAnalysisWindow::fillSummary(const QList<int>& channels)
{
    std::vector<ae::ChannelSummary> rows;
    for (int ch : channels)
        rows.push_back(dataOf(ch).summary);
    ui->summaryView->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        QStringList fields = ae::summaryFields(rows[std::size_t(r)]);
        // The energy as read, not to its last digit (the CSV keeps every digit).
        if (rows[std::size_t(r)].energyV2s)
            fields[2] = QString::number(*rows[std::size_t(r)].energyV2s, 'g', 6);
        for (int c = 0; c < fields.size(); ++c) {
            auto* item = new QTableWidgetItem(fields[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->summaryView->setItem(r, c, item);
        }
    }
}

QByteArray TAnalysisWindow::summaryCsv() const
{
    QByteArray out = ae::summaryCsvHeader().toUtf8() + '\n';
    for (int ch : tickedChannels())
        out += ae::summaryCsvLine(m_source.title, dataOf(ch).summary).toUtf8() + '\n';
    return out;
}

void TAnalysisWindow::copySummary() const
{
    QApplication::clipboard()->setText(QString::fromUtf8(summaryCsv()));
}

int TAnalysisWindow::exportSummaryCsv(const QString& path) const
{
    const QByteArray text = summaryCsv();
    return writeFileSafely(path, [&text](QIODevice& out) { return out.write(text) == text.size(); });
}

namespace {

// Asks for a file to save into, suffix appended when missing; empty when cancelled.
QString askSaveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suffix)
{
    QString path = QFileDialog::getSaveFileName(parent, title, umisc::fileDialogFolder(), filter);
    if (!path.isEmpty() && !path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    return path;
}

void reportWrite(int result, const QString& path)
{
    if (result != 0)
        umisc::showWarning(StringsKit::WarnWriteFailed, path, QString(), false, true);
    else
        umisc::rememberFileDialogFolder(path);
}

} // namespace

void TAnalysisWindow::chooseSummaryFile()
{
    const QString path =
        askSaveFile(this, tr("Экспорт сводки АЭ"), tr("CSV (*.csv)"), QStringLiteral(".csv"));
    if (!path.isEmpty())
        reportWrite(exportSummaryCsv(path), path);
}

int TAnalysisWindow::exportPlot(Plot p, const QString& path) const
{
    QChartView* view = chartView(p);
    return view ? ae::exportWidgetImage(view, path) : int(RawWriteFailed);
}

void TAnalysisWindow::choosePlotFile(Plot p, bool svg)
{
    const QString path =
        svg ? askSaveFile(this, tr("Сохранить график"), tr("SVG (*.svg)"), QStringLiteral(".svg"))
            : askSaveFile(this, tr("Сохранить график"), tr("PNG (*.png)"), QStringLiteral(".png"));
    if (!path.isEmpty())
        reportWrite(exportPlot(p, path), path);
}

int TAnalysisWindow::plotOf(const QObject* viewport) const
{
    for (int p = 0; p < PlotCount; ++p)
        if (m_views[std::size_t(p)]->viewport() == viewport)
            return p;
    return -1;
}

int TAnalysisWindow::hitAt(Plot p, const QPoint& pos) const
{
    if (p < 0 || p >= PlotCount)
        return -1;
    QChartView* view = m_views[std::size_t(p)];
    const QPointF at =
        view->chart()->mapFromScene(view->mapToScene(pos)) - view->chart()->plotArea().topLeft();
    const ae::PlotFrame& f = m_frames[std::size_t(p)];
    const QRectF area = view->chart()->plotArea();
    double best = PickPx * PickPx;
    int hit = -1;
    for (const Drawn& d : m_drawn[std::size_t(p)]) {
        if (d.which != 0) // the energy curve stands for the same hits as the counts
            continue;
        for (const ae::PlotPoint& q : d.points) {
            if (q.hit < 0)
                continue;
            const double u = ae::framePosition(q.x, f.x, f.logX), v = ae::framePosition(q.y, f.y, f.logY);
            const double dx = u * area.width() - at.x(), dy = (1 - v) * area.height() - at.y();
            const double d2 = dx * dx + dy * dy;
            if (d2 < best) {
                best = d2;
                hit = q.hit;
            }
        }
    }
    return hit;
}

QString TAnalysisWindow::hitText(int hit) const
{
    if (hit < 0 || hit >= int(m_source.hits.size()))
        return QString();
    const ae::AnalysisHit& h = m_source.hits[std::size_t(hit)];
    QStringList lines;
    const QString record = h.record >= 0 && h.record < m_source.records.size()
                               ? QFileInfo(m_source.records[h.record]).fileName()
                               : QString();
    const QString channel = tr("канал %1").arg(h.channel);
    lines << (record.isEmpty() ? channel : tr("%1, %2").arg(record, channel));
    if (std::isfinite(h.timeMs))
        lines << (m_source.absoluteTime
                      ? tr("Время: %1").arg(ae::utcText(qint64(std::llround(h.timeMs * 1000))))
                      : tr("Приход: %1 мкс").arg(number(h.timeMs * 1000, 3)));
    else
        lines << tr("Приход: отсчёт %1").arg(h.first);
    lines << tr("Амплитуда: %1 дБ").arg(number(h.peakDb, 2));
    if (std::isfinite(h.durationUs))
        lines << tr("Длительность: %1 мкс").arg(number(h.durationUs, 3));
    if (std::isfinite(h.energyV2s))
        lines << tr("Энергия: %1 В²·с").arg(QString::number(h.energyV2s, 'g', 4));
    if (std::isfinite(h.avgFreqKHz))
        lines << tr("Средняя частота: %1 кГц").arg(number(h.avgFreqKHz, 1));
    if (std::isfinite(h.raMsPerV))
        lines << tr("RA: %1 мс/В").arg(QString::number(h.raMsPerV, 'g', 4));
    lines << tr("Двойной щелчок: показать импульс в записи");
    return lines.join(QLatin1Char('\n'));
}

bool TAnalysisWindow::eventFilter(QObject* watched, QEvent* event)
{
    const int p = plotOf(watched);
    if (p >= 0 && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int hit = hitAt(Plot(p), help->pos());
        if (hit >= 0)
            QToolTip::showText(help->globalPos(), hitText(hit), m_views[std::size_t(p)]);
        else
            QToolTip::showText(help->globalPos(), m_views[std::size_t(p)]->toolTip(),
                               m_views[std::size_t(p)]);
        return true;
    }
    if (p >= 0 && event->type() == QEvent::MouseButtonDblClick) {
        const int hit = hitAt(Plot(p), static_cast<QMouseEvent*>(event)->position().toPoint());
        if (hit >= 0) {
            emit hitActivated(m_source.hits[std::size_t(hit)]);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
