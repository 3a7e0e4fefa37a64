// The hit search on a main window and a recording of the emulated unit: the command and its dialog,
// the table (rows, sorting, CSV export, copying, double click), the marks, the table's end.

#include "ae/hit_csv.h"
#include "ae/hit_dialog.h"
#include "ae/hit_table.h"
#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <cmath>

const double Period = 1000.0 * 100 / 12000; // µs a sample at the 120 kHz of record()

class TestHitTable : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete main.data(); }
    void commandTableAndMarks();
    void doubleClickAndClose();

private:
    // A recording of the emulated unit (seed 1), 40000 samples at 120 kHz, in a new active window.
    TWForm* record()
    {
        g_link.portName = demoPortName();
        demoUnit().setPaced(false);
        demoUnit().setSeed(1); // the same signals on every run
        demoUnit().setVarySeed(false);
        g_acquisitionParameters.halfLength = 20000;
        g_acquisitionParameters.waitCount = 24;
        main->form()->aRunADC->trigger();
        return main->forms().value(0);
    }
    // The command on f, its dialog given threshold and OK.
    THitTable* findHits(TWForm* f, double threshold)
    {
        main->mdi()->setActiveSubWindow(f);
        ModalDriver<THitSetDlg> driver([&](THitSetDlg* d) {
            d->findChild<QDoubleSpinBox*>(QStringLiteral("thresholdEdit"))->setValue(threshold);
            QCOMPARE(d->findChild<QLabel*>(QStringLiteral("thresholdDb"))->text(), // 20 log10(V / 1 µV)
                     QStringLiteral("= %1 дБ отн. 1 мкВ").arg(20 * std::log10(threshold * 1e6), 0, 'f', 1));
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        main->form()->aFindHits->trigger();
        return THitTable::tableOf(main, f);
    }

    QPointer<MainWnd> main;
    QTemporaryDir dir;
};

void TestHitTable::init()
{
    startLibrary();
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    main->setUnit(true);
    g_hitSettings = ae::HitSettings();
}

void TestHitTable::commandTableAndMarks()
{
    Ui::MainWindow* ui = main->form();
    QCOMPARE(ui->aFindHits->text(), QStringLiteral("Поиск импульсов &АЭ…"));
    for (QAction* a : ui->mProcessing->actions()) // no other entry has the letter
        QVERIFY(a == ui->aFindHits || !a->text().contains(QStringLiteral("&А"), Qt::CaseInsensitive));
    TWForm* f = record();
    QVERIFY(f);
    THitTable* t = findHits(f, 0.2);
    QVERIFY(t && t->isVisible());
    QCOMPARE(g_hitSettings.thresholdV, 0.2);
    QCOMPARE(t->windowTitle(), QStringLiteral("Импульсы АЭ — NoName - 1"));
    const int rows = t->model().rowCount();
    QVERIFY2(rows >= 4, qPrintable(QString::number(rows)));
    for (int r = 1; r < rows; ++r)
        QVERIFY(t->hitAt(r - 1)->first <= t->hitAt(r)->first); // by arrival
    QCOMPARE(findHits(f, 0.15), t);                            // again: the same table, more rows
    QVERIFY(t->model().rowCount() > rows);
    QTableView* view = t->view();
    view->sortByColumn(ae::HitTableModel::PeakVColumn, Qt::DescendingOrder);
    for (int r = 1; r < t->model().rowCount(); ++r)
        QVERIFY(t->hitAt(r - 1)->peakV >= t->hitAt(r)->peakV);

    // The export through the button and the file dialog, ".csv" appended, read back in the view's order.
    ModalDriver<QFileDialog> driver(
        [&](QFileDialog* d) { acceptFileDialog(d, dir.filePath(QStringLiteral("h"))); });
    t->findChild<QPushButton*>(QStringLiteral("exportBtn"))->click();
    QFile file(dir.filePath(QStringLiteral("h.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), t->model().rowCount() + 2); // header, rows, nothing after the last line end
    QCOMPARE(lines.first(), ae::hitsCsvHeader());
    for (int r = 0; r < t->model().rowCount(); ++r) {
        const QStringList f = lines[r + 1].split(QLatin1Char(','));
        const ae::Hit* h = t->hitAt(r);
        QCOMPARE((QList<double>{double(f.size()), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(),
                                f[7].toDouble(), f[9].toDouble()}),
                 (QList<double>{11, h->channel + 1.0, std::round(h->first * Period * 1000) / 1000, h->peakV,
                                double(h->counts), h->sumSquares * Period * 1e-6}));
    }
    // A directory that is not there: the writer's failure, nothing left behind.
    QCOMPARE(t->exportCsv(dir.filePath(QStringLiteral("missing/h.csv"))), int(RawWriteFailed));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    // Rows 0 and 2 copied with Ctrl+C: the header and those rows, fields by tabs.
    view->selectRow(2);
    view->selectionModel()->select(view->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keySequence(view, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringList({lines[0], lines[1], lines[3], QString()})
                                                    .join(QLatin1Char('\n'))
                                                    .replace(QLatin1Char(','), QLatin1Char('\t')));

    // Every hit marked; the start of the first in magenta in its column, in the channel's band.
    const QVector<wform::SpanMark> marks = f->spanMarks();
    QCOMPARE(marks.size(), t->model().rowCount());
    const ae::Hit& h = t->model().hit(0);
    QCOMPARE((QList<int>{marks[0].channel, marks[0].from, marks[0].to}),
             (QList<int>{h.channel, int(h.first), int(h.last)}));
    const int x = f->record->sampleToX(int(h.first)), base = f->record->channel(h.channel)->baseY;
    auto magenta = [&] {
        const QImage img = f->plot->grab().toImage();
        int n = 0;
        for (int y = base - 20; y <= base + 20; ++y)
            n += img.pixelColor(x, y) == QColor(255, 0, 255) ? 1 : 0;
        return n;
    };
    QVERIFY(magenta() > 5);
    t->close();
    QVERIFY(f->spanMarks().isEmpty());
    QCOMPARE(magenta(), 0);
}

void TestHitTable::doubleClickAndClose()
{
    TWForm* f = record();
    QPointer<THitTable> t = findHits(f, 0.15);
    QVERIFY(t && t->model().rowCount() >= 2);
    for (int k = 0; k < 3; ++k)
        f->zoomIn();
    const wform::View before = f->view();
    int row = 0; // a hit beyond the view
    while (row < t->model().rowCount() && t->hitAt(row)->first < before.start + before.width)
        ++row;
    QVERIFY(row < t->model().rowCount());
    const ae::Hit h = *t->hitAt(row);
    QTableView* v = t->view();
    v->scrollTo(v->model()->index(row, 1));
    const QPoint at = v->visualRect(v->model()->index(row, 1)).center();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(main->activeForm(), f);
    QCOMPARE(f->record->channel(h.channel)->cursor, int(h.first));
    // As wide as before, the arrival a quarter of the way in (or the view at the record's end).
    QCOMPARE(f->view().start, std::min(int(h.first) - before.width / 4, f->record->length() - before.width));
    QCOMPARE(f->view().width, before.width);
    QCOMPARE(
        main->findChild<QLabel*>(QStringLiteral("tl%1").arg(h.channel + 1))->text().remove(QLatin1Char(' ')),
        QStringLiteral("T%1=%2uS").arg(h.channel + 1).arg(h.first * Period, 0, 'f', 1));

    // Closing the window closes its table.
    QPointer<TWForm> window = f;
    BoxAnswerer yes(QMessageBox::Yes); // the recording is not saved: close anyway
    QVERIFY(f->close());
    QTRY_VERIFY(window.isNull() && t.isNull());
}

QTEST_MAIN(TestHitTable)
#include "tst_hit_table.moc"
