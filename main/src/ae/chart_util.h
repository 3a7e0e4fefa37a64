#pragma once

// Small helpers for the acoustic-emission plots, which are Qt Charts charts: a chart view that
// zooms with the wheel and pans with the mouse, optionally at equal scales on both axes (a map in
// metres), and the export of a chart (or any widget holding charts) as PNG or SVG.

#include <QChartView>
#include <QPointF>
#include <QRectF>

class QCategoryAxis;
class QValueAxis;

namespace ae {

// A chart view for maps and plots. The wheel zooms about the mouse, a drag with the left button
// pans, the right button shows the whole data again (resetView). With equal scales the two value
// axes always show as many units per pixel, whatever the size of the view; until the user zooms
// or pans, a new size fits the whole data again.
class ChartView : public QChartView
{
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

    // Keeps x and y of the chart (the one set when this is called) at equal scales from now on.
    void setEqualScale(QValueAxis* x, QValueAxis* y);
    // The data the whole view shows (with a margin); shown at once.
    void setDataBounds(const QRectF& bounds);
    const QRectF& dataBounds() const { return m_bounds; }
    // Back to the whole data.
    void resetView();
    // Zooms by factor (> 1: closer) about the point at pos (view coordinates).
    void zoomAt(const QPoint& pos, double factor);
    // Units per pixel along x and y: equal for a map.
    QPointF unitsPerPixel() const;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyRanges();

    QValueAxis* m_x = nullptr;
    QValueAxis* m_y = nullptr;
    QRectF m_bounds;
    QPointF m_centre;
    double m_perPixel = 0.0; // 0: fit the bounds at the next layout
    bool m_fitted = true;    // not zoomed or panned: a new size shows the whole data again
    bool m_applying = false;
    QPoint m_pressAt, m_lastAt;
    bool m_panning = false;
};

// Ticks of axis at round steps (1, 2 or 5 times a power of ten, about six over the range, at
// least minimumStep) labelled with as many decimals as the step needs ("0", never "-0.0"), kept so
// as the range changes (zoom, pan).
void keepRoundTicks(QCategoryAxis* axis, double minimumStep = 0.0);
// The round step for a range: 1, 2 or 5 times a power of ten, about range / 6.
double roundTickStep(double range);

// The ranges that show bounds whole in a plot area of size pixels at equal scales, centred, with
// margin (a share of the larger side) around it: x range, then y range.
QRectF equalScaleRanges(const QRectF& bounds, const QSizeF& pixels, double margin = 0.05);

// Writes widget as it is drawn into path, as SVG when the path ends in ".svg" (any case), else as
// PNG, through the safe writer: 0 or its failure.
int exportWidgetImage(QWidget* widget, const QString& path);

} // namespace ae
