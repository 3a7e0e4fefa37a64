#include "ae/location_window.h"

#include "ae/chart_util.h"
#include "ae/location_dialog.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include "ui_LocationWindow.h"

#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QFileDialog>
#include <QHeaderView>
#include <QIODevice>
#include <QItemSelectionModel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMdiArea>
#include <QScatterSeries>
#include <QTableView>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace ae {

void LocationTableModel::setEvents(std::vector<LocatedEvent> events)
{
    beginResetModel();
    m_events = std::move(events);
    endResetModel();
}

int LocationTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

int LocationTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LocationTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int((index.column() == ChannelsColumn ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const LocatedEvent& e = m_events[std::size_t(index.row())];
    if (index.column() == PeakColumn)
        return QString::number(decibelsReMicrovolt(e.peakV), 'f', 1);
    // The CSV's fields, so that the table and the file agree.
    return eventFields(index.row() + 1, e).value(index.column());
}

QVariant LocationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    static const char* const titles[ColumnCount] = {
        QT_TRANSLATE_NOOP("TLocationWindow", "№"),
        QT_TRANSLATE_NOOP("TLocationWindow", "Время, мкс"),
        QT_TRANSLATE_NOOP("TLocationWindow", "X, м"),
        QT_TRANSLATE_NOOP("TLocationWindow", "Y, м"),
        QT_TRANSLATE_NOOP("TLocationWindow", "Невязка, м"),
        QT_TRANSLATE_NOOP("TLocationWindow", "Каналы"),
        QT_TRANSLATE_NOOP("TLocationWindow", "Амплитуда, дБ"),
    };
    return QCoreApplication::translate("TLocationWindow", titles[section]);
}

int AmplitudeClasses::classOf(double db) const
{
    if (!std::isfinite(db))
        return 0;
    return std::clamp(int(std::floor((db - low) / step)), 0, count - 1);
}

AmplitudeClasses amplitudeClasses(const std::vector<LocatedEvent>& events)
{
    AmplitudeClasses c;
    double lo = 1e300, hi = -1e300;
    for (const LocatedEvent& e : events) {
        const double db = decibelsReMicrovolt(e.peakV);
        if (std::isfinite(db))
            lo = std::min(lo, db), hi = std::max(hi, db);
    }
    if (lo > hi)
        return c;
    // Steps of 10 dB, or of a multiple of 10 so that there are at most five classes.
    c.low = std::floor(lo / 10.0) * 10.0;
    const double span = std::max(std::floor(hi / 10.0) * 10.0 + 10.0 - c.low, 10.0);
    c.step = std::ceil(span / 10.0 / 5.0) * 10.0;
    c.count = std::max(1, int(std::ceil(span / c.step - 1e-9)));
    return c;
}

} // namespace ae

namespace {

// From quiet to loud: blue to red, each readable on white.
const QColor ClassColours[5] = {QColor(0x31, 0x68, 0xb0), QColor(0x2e, 0x9e, 0x8f), QColor(0xc9, 0x9a, 0x00),
                                QColor(0xe0, 0x62, 0x1b), QColor(0xc0, 0x10, 0x20)};

} // namespace

TLocationWindow* TLocationWindow::windowOf(const QWidget* parent, const TWForm* form)
{
    return form ? umisc::findToolWindow<TLocationWindow>(
                      parent, [form](TLocationWindow* w) { return w->form() == form; })
                : nullptr;
}

TLocationWindow* TLocationWindow::showFor(QWidget* parent, TWForm* form, const ae::LocationSetup& setup,
                                          const ae::HitSettings& hits)
{
    if (!form || !form->record)
        return nullptr;
    ae::LocationSettings s;
    ae::LocationCheck check = ae::fromSetup(setup, s, form->record->channelCount());
    if (check)
        check = ae::checkRecord(s, *form->record);
    if (!check) {
        showLocationProblem(check);
        return nullptr;
    }
    TLocationWindow* w = windowOf(parent, form);
    if (!w)
        w = new TLocationWindow(parent, form);
    w->locate(setup, hits);
    w->show();
    w->raise();
    return w;
}

TLocationWindow::TLocationWindow(QWidget* parent, TWForm* form)
    : QWidget(parent, Qt::Tool)
    , ui(new Ui::LocationWindow)
    , m_model(new ae::LocationTableModel(this))
    , m_form(form)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    umisc::placeToolWindow(this, QStringLiteral("locationWindow"));
    ui->eventView->setModel(m_model);
    ui->eventView->verticalHeader()->hide();
    ui->eventView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 1);
    connect(ui->eventView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) { followEvent(i.row()); });
    connect(ui->exportMapBtn, &QPushButton::clicked, this, &TLocationWindow::chooseMapFile);
    connect(ui->exportCsvBtn, &QPushButton::clicked, this, &TLocationWindow::chooseCsvFile);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::close);
    // The window may go first: this one goes with it (let go of it before it is half gone).
    if (form)
        connect(form, &QObject::destroyed, this, [this] {
            m_form = nullptr;
            close();
        });
}

TLocationWindow::~TLocationWindow()
{
    delete ui;
}

QTableView* TLocationWindow::view() const
{
    return ui->eventView;
}

ae::ChartView* TLocationWindow::mapView() const
{
    return ui->mapView;
}

ae::ChartView* TLocationWindow::histogramView() const
{
    return ui->histView;
}

ae::LocationCheck TLocationWindow::locate(const ae::LocationSetup& setup, const ae::HitSettings& hits)
{
    if (!m_form || !m_form->record)
        return {ae::LocationCheck::MissingChannel};
    const TWaveStor& record = *m_form->record;
    ae::LocationCheck check = ae::fromSetup(setup, m_settings, record.channelCount());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_result = check ? ae::locateRecord(record, hits, m_settings) : ae::LocationResult();
    QApplication::restoreOverrideCursor();
    if (check)
        check = m_result.check;
    m_model->setEvents(check ? m_result.events : std::vector<ae::LocatedEvent>());
    m_file = m_form->windowTitle();
    setWindowTitle(tr("Локация АЭ — %1").arg(m_file));
    buildMap();

    int hitsInEvents = 0;
    for (const ae::LocatedEvent& e : m_result.events)
        hitsInEvents += int(e.picks.size());
    const QString pick = m_settings.pick == ae::PickMethod::Aic
                             ? tr("AIC (окно %1 мкс)").arg(m_settings.aicWindowUs)
                             : tr("по порогу");
    ui->summaryLabel->setText(
        tr("Событий: %1 (импульсов в них %2 из %3 на каналах датчиков; групп без локации: %4). %5 локация, "
           "датчиков %6, скорость %7 м/с, приход %8, окно события %9 мкс, порог %10 В.")
            .arg(m_result.events.size())
            .arg(hitsInEvents)
            .arg(m_result.picks.size())
            .arg(m_result.leftOut)
            .arg(m_settings.planar ? tr("Плоскостная") : tr("Линейная"))
            .arg(m_settings.sensors.size())
            .arg(m_settings.velocityMps, 0, 'f', 0)
            .arg(pick)
            .arg(ae::eventWindowUs(m_settings), 0, 'f', 0)
            .arg(hits.thresholdV, 0, 'g', 6));
    return check;
}

void TLocationWindow::buildMap()
{
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* ax = new QCategoryAxis;
    auto* ay = new QCategoryAxis;
    ax->setTitleText(tr("X, м"));
    ay->setTitleText(tr("Y, м"));
    ae::keepRoundTicks(ax);
    ae::keepRoundTicks(ay);
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignLeft);
    auto add = [&](QScatterSeries* s) {
        chart->addSeries(s);
        s->attachAxis(ax);
        s->attachAxis(ay);
    };

    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    auto extend = [&](double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    };
    bool first = true;
    for (const ae::Sensor& s : m_settings.sensors) {
        auto* series = new QScatterSeries;
        series->setName(tr("Датчики"));
        series->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        series->setMarkerSize(11);
        series->setColor(Qt::black);
        series->setBorderColor(Qt::black);
        const double y = m_settings.planar ? s.y : 0.0;
        series->append(s.x, y);
        series->setPointLabelsFormat(QString::number(s.channel + 1));
        series->setPointLabelsVisible(true);
        series->setPointLabelsClipping(false);
        QFont f = series->pointLabelsFont();
        f.setBold(true);
        series->setPointLabelsFont(f);
        add(series);
        if (!first)
            for (QLegendMarker* m : chart->legend()->markers(series))
                m->setVisible(false);
        first = false;
        extend(s.x, y);
    }

    const std::vector<ae::LocatedEvent>& events = m_model->events();
    const ae::AmplitudeClasses classes = ae::amplitudeClasses(events);
    std::vector<QScatterSeries*> classSeries;
    for (int k = 0; k < (events.empty() ? 0 : classes.count); ++k) {
        auto* series = new QScatterSeries;
        const double from = classes.low + k * classes.step;
        series->setName(tr("%1–%2 дБ").arg(from, 0, 'f', 0).arg(from + classes.step, 0, 'f', 0));
        series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        series->setMarkerSize(7 + 3 * k);
        series->setColor(ClassColours[std::min(k, 4)]);
        series->setBorderColor(ClassColours[std::min(k, 4)].darker(140));
        classSeries.push_back(series);
    }
    for (int r = 0; r < int(events.size()); ++r) {
        const ae::LocatedEvent& e = events[std::size_t(r)];
        const double y = m_settings.planar ? e.y : 0.0;
        classSeries[std::size_t(classes.classOf(ae::decibelsReMicrovolt(e.peakV)))]->append(e.x, y);
        extend(e.x, y);
    }
    for (QScatterSeries* s : classSeries) {
        add(s);
        // A click on an event selects its row.
        connect(s, &QScatterSeries::clicked, this, [this](const QPointF& p) {
            const std::vector<ae::LocatedEvent>& ev = m_model->events();
            int best = -1;
            double nearest = 0.0;
            for (int r = 0; r < int(ev.size()); ++r) {
                const double d = std::hypot(ev[std::size_t(r)].x - p.x(),
                                            (m_settings.planar ? ev[std::size_t(r)].y : 0.0) - p.y());
                if (best < 0 || d < nearest)
                    best = r, nearest = d;
            }
            selectEvent(best);
        });
    }

    m_mark = new QScatterSeries;
    m_mark->setName(tr("Выбранное"));
    m_mark->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    m_mark->setMarkerSize(24);
    m_mark->setColor(Qt::transparent);
    m_mark->setBorderColor(QColor(255, 0, 255));
    QPen pen(QColor(255, 0, 255));
    pen.setWidth(3);
    m_mark->setPen(pen);
    add(m_mark);

    QChart* old = ui->mapView->chart();
    ui->mapView->setChart(chart);
    delete old;
    ui->mapView->setEqualScale(ax, ay);
    ui->mapView->setDataBounds(x0 <= x1 ? QRectF(QPointF(x0, y0), QPointF(x1, y1)) : QRectF(0, 0, 1, 1));

    // On a line the map is a strip without a y scale: the room goes to the histogram.
    ay->setVisible(m_settings.planar);
    ui->mapView->setMaximumHeight(m_settings.planar ? QWIDGETSIZE_MAX : 170);
    ui->mapView->setMinimumHeight(m_settings.planar ? 300 : 130);
    ui->histView->setVisible(!m_settings.planar);
    if (!m_settings.planar)
        buildHistogram(ax);
}

void TLocationWindow::buildHistogram(const QValueAxis* mapX)
{
    double lo = 0, hi = 0;
    for (std::size_t i = 0; i < m_settings.sensors.size(); ++i) {
        const double x = m_settings.sensors[i].x;
        lo = i ? std::min(lo, x) : x;
        hi = i ? std::max(hi, x) : x;
    }
    // Linear events lie between their pair of sensors: 20 bins from the first sensor to the last.
    constexpr int Bins = 20;
    const double width = std::max(hi - lo, 1e-9) / Bins;
    std::vector<int> counts(Bins, 0);
    for (const ae::LocatedEvent& e : m_model->events())
        ++counts[std::size_t(std::clamp(int(std::floor((e.x - lo) / width)), 0, Bins - 1))];

    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    int most = 1;
    for (int b = 0; b < Bins; ++b) {
        const double a = lo + b * width;
        *upper << QPointF(a, 0) << QPointF(a, counts[std::size_t(b)])
               << QPointF(a + width, counts[std::size_t(b)]) << QPointF(a + width, 0);
        most = std::max(most, counts[std::size_t(b)]);
    }
    *lower << QPointF(lo, 0) << QPointF(hi, 0);
    auto* area = new QAreaSeries(upper, lower);
    upper->setParent(area); // the area series does not own its lines
    lower->setParent(area);
    area->setName(tr("Событий на %1 м").arg(width, 0, 'g', 3));
    area->setColor(ClassColours[0].lighter(150));
    area->setBorderColor(ClassColours[0]);

    auto* chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->addSeries(area);
    auto* ax = new QCategoryAxis;
    auto* ay = new QCategoryAxis;
    ax->setTitleText(tr("X, м"));
    ae::keepRoundTicks(ax);
    ay->setTitleText(tr("Событий"));
    ay->setRange(0, most + 1);
    ae::keepRoundTicks(ay, 1.0);
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignLeft);
    area->attachAxis(ax);
    area->attachAxis(ay);
    // Along the line as the map above shows it.
    ax->setRange(mapX->min(), mapX->max());
    connect(mapX, &QValueAxis::rangeChanged, ax, [ax](qreal a, qreal b) { ax->setRange(a, b); });

    QChart* old = ui->histView->chart();
    ui->histView->setChart(chart);
    delete old;
}

void TLocationWindow::selectEvent(int r)
{
    if (r < 0 || r >= m_model->rowCount())
        return;
    ui->eventView->selectionModel()->setCurrentIndex(
        m_model->index(r, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->eventView->scrollTo(m_model->index(r, 0));
}

void TLocationWindow::followEvent(int r)
{
    if (m_mark)
        m_mark->clear();
    if (r < 0 || r >= m_model->rowCount())
        return;
    const ae::LocatedEvent& e = m_model->events()[std::size_t(r)];
    if (m_mark)
        m_mark->append(e.x, m_settings.planar ? e.y : 0.0);
    if (!m_form)
        return;
    QVector<QPair<int, int>> cursors;
    for (int k : e.picks) {
        const ae::Pick& p = m_result.picks[std::size_t(k)];
        cursors.push_back({p.hit.channel, int(p.sample)});
    }
    // The readouts show the active window: this one.
    if (QMdiArea* area = m_form->mdiArea(); area && area->activeSubWindow() != m_form)
        area->setActiveSubWindow(m_form);
    m_form->showCursors(cursors);
}

QList<QPointF> TLocationWindow::selectedMark() const
{
    return m_mark ? m_mark->points() : QList<QPointF>();
}

QByteArray TLocationWindow::csv() const
{
    QByteArray out = ae::locationCsvHeader().toUtf8() + '\n';
    ae::appendLocationCsv(out, m_file, m_model->events());
    return out;
}

int TLocationWindow::exportCsv(const QString& path) const
{
    const QByteArray text = csv();
    return writeFileSafely(path, [&text](QIODevice& out) { return out.write(text) == text.size(); });
}

int TLocationWindow::exportMap(const QString& path) const
{
    return ae::exportWidgetImage(ui->mapArea, path);
}

void TLocationWindow::chooseCsvFile()
{
    QString path = QFileDialog::getSaveFileName(this, tr("Экспорт событий АЭ"), umisc::fileDialogFolder(),
                                                tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QLatin1String(".csv");
    if (exportCsv(path) != 0) {
        umisc::showWarning(StringsKit::WarnWriteFailed, path);
        return;
    }
    umisc::rememberFileDialogFolder(path);
}

void TLocationWindow::chooseMapFile()
{
    const QString png = tr("Рисунок PNG (*.png)"), svg = tr("Рисунок SVG (*.svg)");
    QString filter = png;
    QString path = QFileDialog::getSaveFileName(this, tr("Экспорт карты"), umisc::fileDialogFolder(),
                                                png + QStringLiteral(";;") + svg, &filter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        path += filter == svg ? QLatin1String(".svg") : QLatin1String(".png");
    if (exportMap(path) != 0) {
        umisc::showWarning(StringsKit::WarnWriteFailed, path);
        return;
    }
    umisc::rememberFileDialogFolder(path);
}
