#include "rawfile_entry.h"

#include "wave_form.h"

#include <QScrollBar>

#include <memory>

namespace {

// The plot widget paints into a pixmap of its own size; grabbing it runs that paint.
void drawPlot(TWForm& w)
{
    if (w.plot)
        w.plot->grab();
}

} // namespace

bool fuzzWaveWindowInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = writeFuzzInput(data, size);
    if (path.isEmpty())
        return false;
    const auto w = std::make_unique<TWForm>();
    if (!w->initFromFile(path))
        return false;
    // The main window's zoom sliders, with their ranges, follow a window that was opened.
    QScrollBar stretch(Qt::Horizontal), vertical(Qt::Horizontal);
    stretch.setRange(1, 100);
    vertical.setRange(4, 400);
    w->stretchToSlider(&stretch);
    w->verticalScaleToSlider(&vertical);
    drawPlot(*w);

    // To the end of the record, then zoomed in there until two samples fill the plot.
    if (w->scrollBar)
        w->scrollBar->setValue(w->scrollBar->maximum());
    for (int i = 0; i < 24 && w->view().width > 2; ++i)
        w->zoomIn();
    drawPlot(*w);

    // The stretch slider moved as far out as it goes; the vertical one in as far as it goes.
    w->setStretchFromSlider(true, stretch.maximum() * 10, stretch.maximum() * 10);
    w->setVerticalScale(true, vertical.maximum() * 10);
    drawPlot(*w);
    return true;
}
