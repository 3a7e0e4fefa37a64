// Output of a record: clipboard readings, preview shape, PDF and SVG files rendered back to pixels.

#include "boxwatch.h"
#include "print_dialog.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QCheckBox>
#include <QClipboard>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

namespace {

constexpr int Length = 4000;

// Channels 0 and 1 oscillate over the whole record; channel 2 is silent but for its last 1 %,
// which stands at the top of its band: it shows only when the end of the view is on the page.
qint8 plotSample(int ch, int i)
{
    if (ch < 2)
        return qint8(std::lround(80.0 * std::sin(i * (0.01 + 0.02 * ch))));
    return qint8(i >= Length * 99 / 100 ? 127 : 0);
}

// Dark and coloured pixels of a rendering, counted within rows of bands of the given area.
struct Ink
{
    QList<int> perBand;    // dark pixels in each band of equal height
    int topOfLastBand = 0; // dark pixels in the upper fifth of the last band
    int coloured = 0;      // pixels that are neither grey nor white
};

Ink inkOf(const QImage& image, const QRect& area, int bands)
{
    Ink ink;
    ink.perBand = QList<int>(bands, 0);
    const double bandHeight = double(area.height()) / bands;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const int band = std::min(int((y - area.top()) / bandHeight), bands - 1);
        const double inBand = (y - area.top()) / bandHeight - band;
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0)
                continue;
            if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 8)
                ++ink.coloured;
            if (c.lightness() < 128) {
                ++ink.perBand[band];
                if (band == bands - 1 && inBand < 0.2)
                    ++ink.topOfLastBand;
            }
        }
    }
    return ink;
}

// Runs a converter; the image it wrote, null when it failed.
QImage convert(const QString& program, const QStringList& arguments, const QString& output)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QImage();
    return QImage(output);
}

} // namespace

class TestOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void clipboardText_data();
    void clipboardText();
    void exportCommand();
    void previewGeometry_data();
    void previewGeometry();
    void fileOutput_data();
    void fileOutput();

private:
    // A window on a three-channel record of the plot samples, no zero lines or cursors drawn.
    TWForm* plotWindow();
    // A print dialog for plotWindow(), shown at a given size.
    TPrnDlg* dialogFor(TWForm* f);

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    QPointer<TPrnDlg> dialog;
};

void TestOutput::initTestCase()
{
    startLibrary();
}

void TestOutput::init()
{
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
}

void TestOutput::cleanup()
{
    QLocale::setDefault(QLocale::c());
    delete dialog.data();
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestOutput::clipboardText_data()
{
    QTest::addColumn<bool>("russian");
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("cursors");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<QList<int>>("gains");
    QTest::addColumn<QString>("expected");
    // 10000 kHz, divider 2: 0.2 us a sample. One unit is 19531.25 uV at gain code 0.
    const QList<int> cursors = {1000, 0, 12345}, samples = {-1, 127, 4}, gains = {0, 1, 2};
    QTest::newRow("C locale") << false << 10000 << 0 << cursors << samples << gains
                              << QStringLiteral("ZLT_TIMES: 200 0 2469\n"
                                                "ZLT_AMP: -19531.250000 1240234.375000 19531.250000");
    QTest::newRow("Russian: decimal comma, grouped digits")
        << true << 10000 << 0 << cursors << samples << gains
        << QStringLiteral("ZLT_TIMES: 200 0 2\u00a0469\n"
                          "ZLT_AMP: -19\u00a0531,250000 1\u00a0240\u00a0234,375000 19\u00a0531,250000");
    // Smoothed over 11 samples the value shown would be 9; the raw sample is exported.
    QTest::newRow("smoothed channel exports its raw sample")
        << false << 10000 << 2 << QList<int>{500} << QList<int>{100} << QList<int>{0}
        << QStringLiteral("ZLT_TIMES: 100\nZLT_AMP: 1953125.000000");
    QTest::newRow("gain code 12, and past it nothing is left")
        << false << 10000 << 0 << QList<int>{1, 2} << QList<int>{1, 100} << QList<int>{12, 40}
        << QStringLiteral("ZLT_TIMES: 0 0\nZLT_AMP: 4.768372 0.000000");
}

void TestOutput::clipboardText()
{
    QFETCH(bool, russian);
    QFETCH(int, clockKHz);
    QFETCH(int, mode);
    QFETCH(QList<int>, cursors);
    QFETCH(QList<int>, samples);
    QFETCH(QList<int>, gains);
    QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
    TWaveStor rec;
    QVERIFY(rec.init(int(cursors.size()), 20000));
    rec.header.clockKHz = quint16(clockKHz);
    for (int ch = 0; ch < cursors.size(); ++ch) {
        rec.channel(ch)->setSample(cursors[ch], qint8(samples[ch]));
        rec.channel(ch)->cursor = cursors[ch];
        rec.channelHeader(ch)->gainCode = quint16(gains[ch]);
    }
    rec.setFilter(mode, 5);
    QTEST(rec.clipboardText(), "expected");
}

void TestOutput::exportCommand()
{
    const QString path = dir.filePath(QStringLiteral("export.raw"));
    QVERIFY(writeRecord(path, 2, 3000, [](int ch, int i) { return qint8(i == 2000 ? ch - 3 : 0); }));
    TWForm* f = main->openRawPath(path);
    QVERIFY(f);
    f->record->channel(0)->cursor = f->record->channel(1)->cursor = 2000;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    main->aExport->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("ZLT_TIMES: 400 400\nZLT_AMP: -58593.750000 -39062.500000"));
}

void TestOutput::previewGeometry_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QSize>("shape");
    QTest::addColumn<QRect>("preview");
    const QSize a4 = QPageSize(QPageSize::A4).sizePixels(1200);
    QTest::newRow("A4 portrait") << a4 << QSize(400, 300) << QSize(707, 1000) << QRect(93, 0, 211, 299);
    QTest::newRow("square") << QSize(50, 50) << QSize(400, 300) << QSize(1000, 1000)
                            << QRect(50, 0, 299, 299);
    QTest::newRow("no page") << QSize(0, 100) << QSize(400, 300) << QSize() << QRect();
}

void TestOutput::previewGeometry()
{
    QFETCH(QSize, page);
    QFETCH(QSize, area);
    QFETCH(QSize, shape);
    QCOMPARE(prn::pageShape(page), shape);
    QTEST(prn::previewRect(shape, area), "preview");
}

TWForm* TestOutput::plotWindow()
{
    const QString path = dir.filePath(QStringLiteral("plot.raw"));
    if (!writeRecord(path, 3, Length, plotSample))
        return nullptr;
    TWForm* f = main->openRawPath(path);
    if (!f)
        return nullptr;
    for (int ch = 0; ch < 3; ++ch)
        f->record->channel(ch)->baseOn = f->record->channel(ch)->cursorOn = false;
    return f;
}

TPrnDlg* TestOutput::dialogFor(TWForm* f)
{
    dialog = new TPrnDlg(main, Qt::Window);
    if (!dialog->init())
        return nullptr;
    dialog->setForm(f);
    dialog->resize(500, 450);
    dialog->show();
    return QTest::qWaitForWindowExposed(dialog) ? dialog.data() : nullptr;
}

void TestOutput::fileOutput_data()
{
    QTest::addColumn<QString>("kind"); // printed to a file ("pdf"), to the printer, or exported ("svg")
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written"); // empty: nothing
    QTest::addColumn<QString>("failure"); // the cause the warning names; empty: none
    auto row = [](const char* name, const char* kind, const char* typed, const char* written,
                  const char* failure = "") {
        QTest::newRow(name) << kind << typed << written << QString::fromUtf8(failure);
    };
    row("PDF, no suffix", "pdf", "plot", "plot.pdf");
    row("PDF, .PDF is not recognised", "pdf", "plot.PDF", "plot.PDF.pdf");
    row("PDF, cancelled", "pdf", "", "");
    row("PDF into a missing folder", "pdf", "none/plot", "", "файл %1 не удаётся записать");
    row("no printer installed", "printer", "", "", "принтер не установлен");
    row("SVG, no suffix", "svg", "plot", "plot.svg");
}

void TestOutput::fileOutput()
{
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, failure);
    const bool pdf = kind == "pdf";
    const QString tool =
        QStandardPaths::findExecutable(pdf ? QStringLiteral("pdftoppm") : QStringLiteral("rsvg-convert"));
    if (!written.isEmpty() && tool.isEmpty()) {
        if (pdf)
            QSKIP("pdftoppm (poppler-utils) is not installed: the PDF cannot be rendered");
        QSKIP("rsvg-convert (librsvg2-bin) is not installed: the SVG cannot be rendered");
    }
    if (kind == "printer" && !QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("a printer is installed here: the test would print");
    TPrnDlg* d = dialogFor(plotWindow());
    QVERIFY(d);
    QTemporaryDir out;
    // A destination chosen earlier in the set-up: the file dialog's answer replaces it.
    if (kind != "printer")
        d->printer->setOutputFileName(out.filePath(QStringLiteral("earlier.pdf")));
    d->findChild<QCheckBox*>(QStringLiteral("toFileBox"))->setChecked(kind != "printer");
    // The file dialog starts in the working directory: nothing may land there either.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(out.path());
    ModalDriver<QFileDialog> files([&](QFileDialog* fd) {
        if (typed.isEmpty())
            fd->reject();
        else
            acceptFileDialog(fd, out.filePath(typed));
    });
    BoxAnswerer warning;
    d->findChild<QPushButton*>(kind == "svg" ? QStringLiteral("exportBtn") : QStringLiteral("okBtn"))
        ->click();
    QDir::setCurrent(previous);
    QCOMPARE(files.handled, kind == "printer" ? 0 : 1);
    QCOMPARE(warning.seen.size(), failure.isEmpty() ? 0 : 1);
    if (!failure.isEmpty())
        QCOMPARE(warning.seen[0].text,
                 QStringLiteral("Печать не выполнена:\n%1.")
                     .arg(failure.arg(QDir::toNativeSeparators(out.filePath(typed + ".pdf")))));
    // Printing closes the dialog, also when nothing was printed but for a failure; the export leaves
    // it open.
    const bool closed = kind != "svg" && failure.isEmpty();
    QCOMPARE(d->isVisible(), !closed);
    QCOMPARE(d->result(), int(closed ? QDialog::Accepted : QDialog::Rejected));
    const QStringList made = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(made, written.isEmpty() ? QStringList() : QStringList{written});
    if (written.isEmpty())
        return;

    QImage image;
    QRect inside;
    if (pdf) {
        const QString png = out.filePath(QStringLiteral("page"));
        image = convert(tool,
                        {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-aaVector"),
                         QStringLiteral("no"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                         out.filePath(written), png},
                        png + QStringLiteral(".png"));
        // The printable page, between margins of 10 points (40 dpi: 5.6 pixels).
        inside = image.rect().adjusted(6, 6, -6, -6);
    } else {
        // The drawing has the preview's size, not the printer page's.
        const QSize size = d->img->size();
        const QString png = out.filePath(QStringLiteral("drawing.png"));
        image = convert(
            tool,
            {QStringLiteral("-b"), QStringLiteral("white"), QStringLiteral("-o"), png, out.filePath(written)},
            png);
        QCOMPARE(image.size(), size);
        // Inside the page's black border.
        inside = QRect(QPoint(2, 2), QPoint(size.width() - 4, size.height() - 4));
    }
    QVERIFY(!image.isNull());
    // Three bands of black traces on white.
    const Ink ink = inkOf(image, inside, 3);
    QCOMPARE(ink.coloured, 0);
    for (int n : ink.perBand)
        QVERIFY2(n > image.width() / 2, qPrintable(QString::number(n)));
    // The last samples of the view are on the page too.
    QVERIFY(ink.topOfLastBand > 0);
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
