#include "rawfile_entry.h"

#include "wave_stor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdio>
#include <limits>

namespace {

// One file per process, rewritten for every input; in shared memory where there is some.
const QByteArray& inputPath()
{
    static const QByteArray path = [] {
        const QString dir =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        return QFile::encodeName(
            dir + QStringLiteral("/tavrel-fuzz-%1.raw").arg(QCoreApplication::applicationPid()));
    }();
    return path;
}

void drawAll(TWaveStor& rec, QImage& image)
{
    for (bool print : {false, true}) {
        g_printMode = print;
        image.fill(print ? Qt::white : Qt::black);
        QPainter painter(&image);
        rec.draw(&painter);
        rec.drawSine(&painter);
        rec.drawCursors(&painter);
        rec.moveCursor(&painter, 0, rec.xToSample(image.width() / 2));
    }
    g_printMode = false;
}

} // namespace

QString writeFuzzInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(inputPath().constData(), "wb");
    if (!f)
        return QString();
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok ? QFile::decodeName(inputPath()) : QString();
}

bool fuzzRawFileInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = writeFuzzInput(data, size);
    if (path.isEmpty())
        return false;
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(159, 119)));
    // A record that failed half way is still destroyed, and may still be looked at.
    const bool read = rec.readFile(path);

    QImage image(160, 120, QImage::Format_RGB32);
    drawAll(rec, image);

    const int n = rec.channelCount();
    const int len = rec.length();
    for (int ch = 0; ch < n; ++ch) {
        rec.meanOver(ch, 0, len - 1);
        // A header cut short may still announce up to INT_MAX samples.
        rec.maxPositionIn(ch, -5, len > std::numeric_limits<int>::max() - 5 ? len : len + 5);
        if (TWaveView* view = rec.channel(ch)) {
            view->processedSample(view->cursor);
            view->processedSample(len - 1);
        }
        rec.cursorFromX(ch, 80);
        rec.channelAtCursor(80, 60);
        rec.channelAtBaseline(80, 60);
        rec.moveBaseline(ch, 0, 30);
        QRect span(0, 0, 160, 120);
        rec.baselineRepaintSpan(ch, span);
    }
    rec.samplePeriodUs();

    // Another plot size, then the window as the header states it, as a view command does.
    rec.setPlotRect(QRect(QPoint(7, 3), QPoint(150, 100)));
    rec.recalcXScale();
    rec.recalcYScale();
    rec.applyWindow();
    drawAll(rec, image);

    // The filter as read, then a windowed one.
    int mode = 0;
    const int half = rec.filter(&mode);
    rec.setFilter(pmEnvelopeDiff, half + 1);
    drawAll(rec, image);
    for (int ch = 0; ch < n; ++ch)
        rec.zeroRange(ch, len / 3, len / 2);
    rec.setFilter(mode, half);
    return read;
}
