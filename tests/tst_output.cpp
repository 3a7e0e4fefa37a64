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
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

class TestOutput : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    QPointer<TPrnDlg> dialog;

private slots:
    void initTestCase() { startLibrary(); }
    void init() { QVERIFY(main = makeMainWindow(QSize(1000, 700))); }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        delete dialog.data();
        if (main)
            qDeleteAll(main->forms());
        delete main.data();
    }

    void clipboardText_data()
    {
        // Per channel: the sample at the cursor and its gain code; the smoothing mode of all.
        QTest::addColumn<bool>("russian");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("cursors");
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<QList<int>>("gains");
        QTest::addColumn<QString>("expected");
        // 10000 kHz, divider 2: 0.2 us a sample. One unit is 19531.25 uV at gain code 0.
        const QList<int> cursors = {1000, 0, 12345}, samples = {-1, 127, 4}, gains = {0, 1, 2};
        QTest::newRow("C locale") << false << 0 << cursors << samples << gains
                                  << QStringLiteral("ZLT_TIMES: 200 0 2469\n"
                                                    "ZLT_AMP: -19531.250000 1240234.375000 19531.250000");
        QTest::newRow("Russian: decimal comma, grouped digits")
            << true << 0 << cursors << samples << gains
            << QStringLiteral("ZLT_TIMES: 200 0 2\u00a0469\n"
                              "ZLT_AMP: -19\u00a0531,250000 1\u00a0240\u00a0234,375000 19\u00a0531,250000");
        // Smoothed over 11 samples the value shown would be 9; the raw sample is exported.
        QTest::newRow("smoothed channel exports its raw sample")
            << false << 2 << QList<int>{500} << QList<int>{100} << QList<int>{0}
            << QStringLiteral("ZLT_TIMES: 100\nZLT_AMP: 1953125.000000");
        QTest::newRow("gain code 12, and past it nothing is left")
            << false << 0 << QList<int>{1, 2} << QList<int>{1, 100} << QList<int>{12, 40}
            << QStringLiteral("ZLT_TIMES: 0 0\nZLT_AMP: 4.768372 0.000000");
    }
    void clipboardText()
    {
        QFETCH(bool, russian);
        QFETCH(int, mode);
        QFETCH(QList<int>, cursors);
        QFETCH(QList<int>, samples);
        QFETCH(QList<int>, gains);
        QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
        TWaveStor rec;
        QVERIFY(rec.init(int(cursors.size()), 20000));
        rec.header.clockKHz = 10000;
        for (int ch = 0; ch < cursors.size(); ++ch) {
            rec.channel(ch)->setSample(cursors[ch], qint8(samples[ch]));
            rec.channel(ch)->cursor = cursors[ch];
            rec.channelHeader(ch)->gainCode = quint16(gains[ch]);
        }
        rec.setFilter(mode, 5);
        QTEST(rec.clipboardText(), "expected");
    }

    void exportCommand()
    {
        const QString path = dir.filePath(QStringLiteral("export.raw"));
        QVERIFY(writeRecord(path, 2, 3000, [](int ch, int i) { return qint8(i == 2000 ? ch - 3 : 0); }));
        TWForm* f = main->openRawPath(path);
        QVERIFY(f);
        f->record->channel(0)->cursor = f->record->channel(1)->cursor = 2000;
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        main->aExport->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("ZLT_TIMES: 400 400\nZLT_AMP: -58593.750000 -39062.500000"));
    }

    void previewGeometry_data()
    {
        // The page's shape, and where the preview of that shape goes in an area of 400 x 300.
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("shape");
        QTest::addColumn<QRect>("preview");
        const QSize a4 = QPageSize(QPageSize::A4).sizePixels(1200);
        QTest::newRow("A4 portrait") << a4 << QSize(707, 1000) << QRect(93, 0, 211, 299);
        QTest::newRow("square") << QSize(50, 50) << QSize(1000, 1000) << QRect(50, 0, 299, 299);
        QTest::newRow("no page") << QSize(0, 100) << QSize() << QRect();
    }
    void previewGeometry()
    {
        QFETCH(QSize, page);
        QFETCH(QSize, shape);
        QCOMPARE(prn::pageShape(page), shape);
        QTEST(prn::previewRect(shape, QSize(400, 300)), "preview");
    }

    void fileOutput_data()
    {
        // Printed to a file ("pdf"), to the printer, or exported ("svg"); the name typed in the file
        // dialog (empty: cancelled), the file written (empty: none), the cause the warning names.
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("failure");
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
    void fileOutput()
    {
        QFETCH(QString, kind);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(QString, failure);
        const bool pdf = kind == "pdf";
        const QString tool = QStandardPaths::findExecutable(pdf ? "pdftoppm" : "rsvg-convert");
        if (!written.isEmpty() && tool.isEmpty())
            QSKIP(pdf ? "pdftoppm (poppler-utils) is not installed: the PDF cannot be rendered"
                      : "rsvg-convert (librsvg2-bin) is not installed: the SVG cannot be rendered");
        if (kind == "printer" && !QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("a printer is installed here: the test would print");
        // Three channels: 0 and 1 oscillate over the whole record; 2 is silent but for its last 1 %,
        // at the top of its band: it shows only when the end of the view is on the page.
        const QString record = dir.filePath(QStringLiteral("plot.raw"));
        QVERIFY(writeRecord(record, 3, 4000, [](int ch, int i) {
            return qint8(ch < 2 ? std::lround(80.0 * std::sin(i * (0.01 + 0.02 * ch))) : i >= 3960 ? 127 : 0);
        }));
        TWForm* f = main->openRawPath(record);
        QVERIFY(f);
        for (int ch = 0; ch < 3; ++ch) // no zero lines or cursors drawn
            f->record->channel(ch)->baseOn = f->record->channel(ch)->cursorOn = false;
        dialog = new TPrnDlg(main, Qt::Window);
        QVERIFY(dialog->init());
        dialog->setForm(f);
        dialog->resize(500, 450);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QTemporaryDir out;
        // A destination chosen earlier in the set-up: the file dialog's answer replaces it.
        if (kind != "printer")
            dialog->printer->setOutputFileName(out.filePath(QStringLiteral("earlier.pdf")));
        dialog->findChild<QCheckBox*>(QStringLiteral("toFileBox"))->setChecked(kind != "printer");
        // The file dialog starts in the working directory: nothing may land there either.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(out.path());
        ModalDriver<QFileDialog> files([&](QFileDialog* fd) {
            typed.isEmpty() ? fd->reject() : acceptFileDialog(fd, out.filePath(typed));
        });
        BoxAnswerer warning;
        dialog->findChild<QPushButton*>(kind == "svg" ? "exportBtn" : "okBtn")->click();
        QDir::setCurrent(previous);
        QCOMPARE(files.handled, kind == "printer" ? 0 : 1);
        QCOMPARE(warning.seen.size(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QCOMPARE(warning.seen[0].text,
                     QStringLiteral("Печать не выполнена:\n%1.")
                         .arg(failure.arg(QDir::toNativeSeparators(out.filePath(typed + ".pdf")))));
        // Printing closes the dialog, also when nothing was printed but for a failure; the export
        // leaves it open.
        const bool closed = kind != "svg" && failure.isEmpty();
        QCOMPARE(dialog->isVisible(), !closed);
        QCOMPARE(dialog->result(), int(closed ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                 written.isEmpty() ? QStringList() : QStringList{written});
        if (written.isEmpty())
            return;

        // A PDF page at 40 dpi, inside margins of 10 points (5.6 pixels); an SVG drawing of the
        // preview's size, not the printer page's, inside the page's black border.
        const QString png = out.filePath(QStringLiteral("page.png"));
        const QStringList arguments =
            pdf ? QStringList{"-r",   "40",          "-aaVector",           "no",
                              "-png", "-singlefile", out.filePath(written), png.chopped(4)}
                : QStringList{"-b", "white", "-o", png, out.filePath(written)};
        QCOMPARE(QProcess::execute(tool, arguments), 0);
        const QImage image(png);
        QVERIFY(!image.isNull());
        if (!pdf)
            QCOMPARE(image.size(), dialog->img->size());
        const QRect inside = pdf ? image.rect().adjusted(6, 6, -6, -6) : image.rect().adjusted(2, 2, -3, -3);
        // Three bands of black traces on white; the last samples of the view are on the page too.
        QList<int> dark(3, 0);
        int topOfLast = 0, coloured = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            const double at = 3.0 * (y - inside.top()) / inside.height(); // band and place in it
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() == 0)
                    continue;
                coloured +=
                    std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 8;
                if (c.lightness() < 128) {
                    ++dark[std::min(int(at), 2)];
                    topOfLast += at >= 2.0 && at < 2.2;
                }
            }
        }
        QCOMPARE(coloured, 0);
        for (int n : dark)
            QVERIFY2(n > image.width() / 2, qPrintable(QString::number(n)));
        QVERIFY(topOfLast > 0);
    }
};

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
