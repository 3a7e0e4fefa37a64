#include "ae/chart_util.h"

#include "wave_stor.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace ae {

QRectF equalScaleRanges(const QRectF& bounds, const QSizeF& pixels, double margin)
{
    const double w = std::max(bounds.width(), 1e-9), h = std::max(bounds.height(), 1e-9);
    const double pw = std::max(pixels.width(), 1.0), ph = std::max(pixels.height(), 1.0);
    const double perPixel = std::max(w / pw, h / ph) * (1.0 + 2.0 * margin);
    const QPointF c = bounds.center();
    return QRectF(c.x() - pw * perPixel / 2.0, c.y() - ph * perPixel / 2.0, pw * perPixel, ph * perPixel);
}

double roundTickStep(double range)
{
    if (!(range > 0.0) || !std::isfinite(range))
        return 1.0;
    const double raw = range / 6.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / power;
    return (m < 1.5 ? 1.0 : m < 3.5 ? 2.0 : m < 7.5 ? 5.0 : 10.0) * power;
}

void keepRoundTicks(QCategoryAxis* axis, double minimumStep)
{
    if (!axis)
        return;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    auto update = [axis, minimumStep](qreal low, qreal high) {
        const double step = std::max(roundTickStep(high - low), minimumStep);
        const int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 9);
        for (const QString& label : axis->categoriesLabels())
            axis->remove(label);
        axis->setStartValue(low);
        for (double k = std::ceil(low / step - 1e-9); k * step <= high + 1e-9 * step; k += 1.0) {
            const double v = k * step;
            // Whole multiples of the step: 0 is "0", never a rounding error's "-0.0".
            axis->append(QString::number(k == 0.0 ? 0.0 : v, 'f', decimals), v);
        }
    };
    QObject::connect(axis, &QValueAxis::rangeChanged, axis, update);
    update(axis->min(), axis->max());
}

ChartView::ChartView(QWidget* parent)
    : QChartView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    setToolTip(tr("Колесо мыши — масштаб, левая кнопка — сдвиг, правая — всё сразу"));
}

void ChartView::setEqualScale(QValueAxis* x, QValueAxis* y)
{
    m_x = x;
    m_y = y;
    connect(chart(), &QChart::plotAreaChanged, this, &ChartView::applyRanges, Qt::UniqueConnection);
}

void ChartView::setDataBounds(const QRectF& bounds)
{
    m_bounds = bounds;
    resetView();
}

void ChartView::resetView()
{
    m_fitted = true;
    m_perPixel = 0.0;
    if (!m_x || !m_y) {
        chart()->zoomReset();
        return;
    }
    applyRanges();
}

QPointF ChartView::unitsPerPixel() const
{
    const QRectF area = chart()->plotArea();
    if (!m_x || !m_y || area.width() <= 0 || area.height() <= 0)
        return {};
    return {(m_x->max() - m_x->min()) / area.width(), (m_y->max() - m_y->min()) / area.height()};
}

void ChartView::applyRanges()
{
    const QRectF area = chart()->plotArea();
    if (!m_x || !m_y || m_applying || area.width() <= 0 || area.height() <= 0)
        return;
    // Setting the ranges may change the labels and so the plot area, which calls this again.
    m_applying = true;
    if (m_fitted || m_perPixel <= 0.0) {
        const QRectF r = equalScaleRanges(m_bounds, area.size());
        m_centre = r.center();
        m_perPixel = r.width() / area.width();
    }
    for (int pass = 0; pass < 3; ++pass) {
        const QRectF a = chart()->plotArea();
        m_x->setRange(m_centre.x() - a.width() * m_perPixel / 2.0,
                      m_centre.x() + a.width() * m_perPixel / 2.0);
        m_y->setRange(m_centre.y() - a.height() * m_perPixel / 2.0,
                      m_centre.y() + a.height() * m_perPixel / 2.0);
        if (chart()->plotArea() == a)
            break;
    }
    m_applying = false;
}

void ChartView::zoomAt(const QPoint& pos, double factor)
{
    if (!(factor > 0.0))
        return;
    if (!m_x || !m_y) {
        chart()->zoom(factor);
        return;
    }
    if (m_perPixel <= 0.0)
        applyRanges();
    const QRectF area = chart()->plotArea();
    if (area.isEmpty())
        return;
    // The point under the mouse stays where it is.
    const QPointF at = chart()->mapFromScene(mapToScene(pos));
    const QPointF world(m_centre.x() + (at.x() - area.center().x()) * m_perPixel,
                        m_centre.y() - (at.y() - area.center().y()) * m_perPixel);
    m_fitted = false;
    m_perPixel /= factor;
    m_centre = world + (m_centre - world) / factor;
    applyRanges();
}

void ChartView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        event->ignore();
        return;
    }
    zoomAt(event->position().toPoint(), std::pow(1.25, steps));
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        resetView();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_pressAt = m_lastAt = event->position().toPoint();
        m_panning = false;
    }
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        if (!m_panning && (at - m_pressAt).manhattanLength() >= 4)
            m_panning = true;
        if (m_panning) {
            const QPoint d = at - m_lastAt;
            m_lastAt = at;
            if (m_x && m_y) {
                if (m_perPixel <= 0.0)
                    applyRanges();
                m_fitted = false;
                m_centre -= QPointF(d.x() * m_perPixel, -d.y() * m_perPixel);
                applyRanges();
            } else {
                chart()->scroll(-d.x(), d.y());
            }
            event->accept();
            return;
        }
    }
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool panned = m_panning;
    m_panning = false;
    if (panned && event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

int exportWidgetImage(QWidget* widget, const QString& path)
{
    if (!widget)
        return RawWriteFailed;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(widget->size());
        svg.setViewBox(QRect(QPoint(0, 0), widget->size()));
        svg.setTitle(widget->windowTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            return RawWriteFailed;
        widget->render(&painter);
        painter.end();
    } else if (!widget->grab().toImage().save(&buffer, "PNG")) {
        return RawWriteFailed;
    }
    buffer.close();
    return writeFileSafely(path, [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); });
}

} // namespace ae
