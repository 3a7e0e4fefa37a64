// The hit search on a real main window: the menu entry, the settings dialog, the hit table of a
// recording from the emulated unit (rows, sorting, copying, a double click that moves the cursor,
// the CSV export read back), the marks on the plot, and the table going with its window.

#include <QtTest>

#include "ae/hit_csv.h"
#include "ae/hit_dialog.h"
#include "ae/hit_table.h"
#include "boxwatch.h"
#include "fmain.h"
#include "init.h"
#include "k4demo.h"
#include "rs232.h"
#include "settings.h"
#include "ui_HitSetDialog.h"
#include "ui_MainWindow.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include <cmath>
#include <functional>

namespace {

// Answers the next hit settings dialog: edit runs on it, then OK (or Cancel).
class HitDialogAnswer : public QObject
{
public:
    HitDialogAnswer(std::function<void(THitSetDlg*)> edit, bool accept = true)
    {
        connect(&timer, &QTimer::timeout, this, [this, edit, accept] {
            auto* d = qobject_cast<THitSetDlg*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible())
                return;
            timer.stop();
            seen = true;
            if (edit)
                edit(d);
            auto* box = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            box->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        timer.start(10);
    }
    QTimer timer;
    bool seen = false;
};

// The mnemonic letter of a menu text, lower case; none when it has no '&'.
QChar mnemonic(const QString& text)
{
    const int i = text.indexOf(QLatin1Char('&'));
    return i < 0 || i + 1 >= text.size() ? QChar() : text.at(i + 1).toLower();
}

// Volts of a stored sample as the unit's range gives them: 5 V / 256 a step at gain code 0,
// halved for each gain step (the detector's envelope from the bottom of its scale, 2.5 V / 256).
double inputVolts(qint8 x, bool unipolar, int gain)
{
    return (unipolar ? (x + 128) * 2.5 : x * 5.0) / 256.0 / double(1 << gain);
}

} // namespace

class TestHitTable : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuEntry();
    void settingsDialog();
    void tableListsTheHits();
    void doubleClickMovesTheCursor();
    void sortingAndCopying();
    void csvExportReadsBack();
    void marksFollowTheTable();
    void tableGoesWithItsWindow();

private:
    // A recording of the emulated unit in a new window, made active.
    TWForm* record()
    {
        g_link.portName = demoPortName();
        demoUnit().setPaced(false);
        g_acquisitionParameters.halfLength = 20000; // 40000 samples
        g_acquisitionParameters.waitCount = 24;     // 120 kHz
        ui->aRunADC->trigger();
        TWForm* f = main->forms().value(0);
        if (f)
            f->resize(900, 500);
        return f;
    }
    // The command, its dialog answered with threshold (volts); the table it shows.
    THitTable* findHits(TWForm* f, double threshold)
    {
        main->mdi()->setActiveSubWindow(f);
        HitDialogAnswer answer([threshold](THitSetDlg* d) {
            d->findChild<QDoubleSpinBox*>(QStringLiteral("thresholdEdit"))->setValue(threshold);
        });
        ui->aFindHits->trigger();
        return answer.seen ? THitTable::tableOf(main, f) : nullptr;
    }

    QPointer<MainWnd> main;
    Ui::MainWindow* ui = nullptr;
    QTemporaryDir dir;
};

void TestHitTable::init()
{
    if (!velkit::libraryMessager()) {
        static QTemporaryDir appDir; // no settings file
        g_appDir = appDir.path();
        velkit::vlkInit(umisc::programHooks());
        StringsKit::instance().fill();
        initProgramResources();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    main = new MainWnd(nullptr);
    g_mainWnd = main;
    QVERIFY(main->setupWindow());
    main->resize(1000, 700);
    main->show();
    velkit::MainContext ctx;
    ctx.window = main;
    velkit::vlkSetMainWindow(ctx);
    ui = main->form();
    main->setUnit(true);
    g_hitSettings = ae::HitSettings();
}

void TestHitTable::cleanup()
{
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestHitTable::menuEntry()
{
    const QList<QAction*> entries = ui->mProcessing->actions();
    QVERIFY(entries.contains(ui->aFindHits));
    QCOMPARE(ui->aFindHits->text(), QStringLiteral("Поиск импульсов &АЭ…"));
    // Its letter is none of the other entries' letters.
    const QChar letter = mnemonic(ui->aFindHits->text());
    QVERIFY(!letter.isNull());
    for (QAction* a : entries)
        if (a != ui->aFindHits && !a->isSeparator())
            QVERIFY2(mnemonic(a->text()) != letter, qPrintable(a->text()));

    // The processing menu needs a window; a spectrum has no hits to find.
    QVERIFY(!ui->mProcessing->isEnabled());
    TWForm* f = main->newWindow();
    QVERIFY(f);
    main->refreshActions();
    QVERIFY(ui->mProcessing->isEnabled() && ui->aFindHits->isEnabled());
    f->isSpectrum = true;
    main->refreshActions();
    QVERIFY(!ui->aFindHits->isEnabled());
    f->isSpectrum = false;
}

void TestHitTable::settingsDialog()
{
    THitSetDlg d;
    auto* threshold = d.findChild<QDoubleSpinBox*>(QStringLiteral("thresholdEdit"));
    auto* db = d.findChild<QLabel*>(QStringLiteral("thresholdDb"));
    QCOMPARE(db->text(), QStringLiteral("= 100.0 дБ отн. 1 мкВ")); // the default 0.1 V
    threshold->setValue(0.001);
    QCOMPARE(db->text(), QStringLiteral("= 60.0 дБ отн. 1 мкВ"));
    ae::HitSettings s;
    s.thresholdV = 0.0125;
    s.pdtUs = 150;
    s.hdtUs = 600;
    s.hltUs = 0;
    d.setSettings(s);
    QVERIFY(d.settings() == s);
    QCOMPARE(db->text(), QStringLiteral("= 81.9 дБ отн. 1 мкВ"));

    // Cancel leaves the settings as they were; OK takes the dialog's.
    ae::HitSettings kept = s;
    {
        HitDialogAnswer cancel([](THitSetDlg* d) { d->findChild<QSpinBox*>(QStringLiteral("pdtEdit"))->setValue(7); },
                               false);
        QVERIFY(!runHitSettingsDialog(nullptr, kept));
    }
    QVERIFY(kept == s);
    HitDialogAnswer ok([](THitSetDlg* d) { d->findChild<QSpinBox*>(QStringLiteral("hltEdit"))->setValue(2500); });
    QVERIFY(runHitSettingsDialog(nullptr, kept));
    QCOMPARE(kept.hltUs, 2500.0);
    QCOMPARE(kept.pdtUs, 150.0);
}

void TestHitTable::tableListsTheHits()
{
    TWForm* f = record();
    QVERIFY(f);
    THitTable* t = findHits(f, 0.2);
    QVERIFY(t);
    QVERIFY(t->isVisible());
    QCOMPARE(g_hitSettings.thresholdV, 0.2); // the dialog's settings are kept for the next time
    const TWaveStor& rec = *f->record;
    const std::vector<ae::Hit> hits = ae::detectHits(rec, g_hitSettings);
    const int rows = t->model().rowCount();
    QCOMPARE(rows, int(hits.size()));
    QVERIFY2(rows >= 4, qPrintable(QString::number(rows)));
    QSet<int> channels;
    for (int r = 0; r < rows; ++r) {
        const ae::Hit& h = t->model().hit(r);
        QCOMPARE((QList<qint64>{h.channel, h.first, h.last}),
                 (QList<qint64>{hits[r].channel, hits[r].first, hits[r].last}));
        // The arrival reaches the threshold, the sample before it does not or lies in the lockout
        // of an earlier hit of the channel.
        const TWaveView* v = rec.channel(h.channel);
        const int gain = rec.channelHeader(h.channel)->gainCode;
        QVERIFY(std::fabs(inputVolts(v->sample(int(h.first)), v->unipolar, gain)) >= 0.2);
        channels << h.channel;
    }
    QVERIFY(channels.size() >= 2);
    QCOMPARE(t->windowTitle(), QStringLiteral("Импульсы АЭ — NoName - 1"));
    // The table's rows go first by arrival time.
    for (int r = 1; r < rows; ++r)
        QVERIFY(t->hitAt(r - 1)->first <= t->hitAt(r)->first);

    // The command again, with a higher threshold, refreshes the same table.
    THitTable* again = findHits(f, 0.6);
    QCOMPARE(again, t);
    QVERIFY(t->model().rowCount() < rows);
    QCOMPARE(main->findChildren<THitTable*>().size(), 1);
}

void TestHitTable::doubleClickMovesTheCursor()
{
    TWForm* f = record();
    QVERIFY(f);
    THitTable* t = findHits(f, 0.15);
    QVERIFY(t && t->model().rowCount() >= 2);
    // A narrow view: some hit lies outside it.
    f->zoomIn();
    f->zoomIn();
    f->zoomIn();
    const wform::View before = f->view();
    int last = -1;
    for (int r = 0; r < t->model().rowCount() && last < 0; ++r)
        if (t->hitAt(r)->first >= before.start + before.width)
            last = r;
    QVERIFY(last >= 0);
    const ae::Hit h = *t->hitAt(last);

    QTableView* v = t->view();
    v->scrollTo(v->model()->index(last, 1));
    const QRect cell = v->visualRect(v->model()->index(last, 1));
    // A double click as the system delivers it: press, release, double click, release.
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseRelease(v->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(f->record->channel(h.channel)->cursor, int(h.first));
    QVERIFY(h.first >= f->view().start && h.first < f->view().start + f->view().width);
    QCOMPARE(f->view().width, before.width);
    QCOMPARE(main->activeForm(), f);
    // The readout of the channel shows the arrival time, at 1000 x 100 / 12000 us per sample.
    QLabel* time = main->findChild<QLabel*>(QStringLiteral("tl%1").arg(h.channel + 1));
    const double us = h.first * 1000.0 * 100 / 12000;
    QCOMPARE(time->text().trimmed().remove(QLatin1Char(' ')),
             QStringLiteral("T%1=%2uS").arg(h.channel + 1).arg(us, 0, 'f', 1));
}

void TestHitTable::sortingAndCopying()
{
    TWForm* f = record();
    QVERIFY(f);
    THitTable* t = findHits(f, 0.15);
    QVERIFY(t && t->model().rowCount() >= 3);
    QTableView* v = t->view();
    v->sortByColumn(ae::HitTableModel::PeakVColumn, Qt::DescendingOrder);
    for (int r = 1; r < t->model().rowCount(); ++r)
        QVERIFY(t->hitAt(r - 1)->peakV >= t->hitAt(r)->peakV);
    v->sortByColumn(ae::HitTableModel::DurationColumn, Qt::AscendingOrder);
    for (int r = 1; r < t->model().rowCount(); ++r)
        QVERIFY(t->hitAt(r - 1)->last - t->hitAt(r - 1)->first <= t->hitAt(r)->last - t->hitAt(r)->first);

    // Rows 0 and 2 selected, copied with Ctrl+C: the header and those rows, by tabs.
    v->selectRow(2);
    v->selectionModel()->select(v->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    v->setFocus();
    QTest::keySequence(v, QKeySequence::Copy);
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], ae::hitsCsvHeader().replace(QLatin1Char(','), QLatin1Char('\t')));
    for (int k : {1, 2}) {
        const ae::Hit* h = t->hitAt(k == 1 ? 0 : 2);
        const QStringList fields = lines[k].split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 11);
        QCOMPARE(fields[0], QStringLiteral("NoName - 1"));
        QCOMPARE(fields[1].toInt(), h->channel + 1);
        QCOMPARE(fields[7].toInt(), h->counts);
    }
}

void TestHitTable::csvExportReadsBack()
{
    TWForm* f = record();
    QVERIFY(f);
    THitTable* t = findHits(f, 0.15);
    QVERIFY(t && t->model().rowCount() >= 2);
    const QString path = dir.filePath(QStringLiteral("hits.csv"));
    QCOMPARE(t->exportCsv(path), 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), t->model().rowCount() + 2); // header, rows, the empty rest after the last line end
    QCOMPARE(lines.first(), ae::hitsCsvHeader().toUtf8());
    QVERIFY(lines.last().isEmpty());
    const double period = 1000.0 * 100 / 12000;
    for (int r = 0; r < t->model().rowCount(); ++r) {
        const QList<QByteArray> fields = lines[r + 1].split(',');
        QCOMPARE(fields.size(), 11);
        const ae::Hit* h = t->hitAt(r);
        QCOMPARE(fields[0], QByteArray("NoName - 1"));
        QCOMPARE(fields[1].toInt(), h->channel + 1);
        QCOMPARE(fields[2].toDouble(), std::round(h->first * period * 1000) / 1000);
        QCOMPARE(fields[3].toDouble(), h->peakV); // exact: the shortest text that reads back
        QCOMPARE(fields[6].toDouble(), std::round((h->last - h->first) * period * 1000) / 1000);
        QCOMPARE(fields[7].toInt(), h->counts);
        QCOMPARE(fields[8].toInt(), h->countsToPeak);
        QCOMPARE(fields[9].toDouble(), h->sumSquares * period * 1e-6);
    }
    // A path that cannot be written: the writer's failure, nothing left behind.
    QVERIFY(t->exportCsv(dir.filePath(QStringLiteral("missing/hits.csv"))) != 0);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void TestHitTable::marksFollowTheTable()
{
    TWForm* f = record();
    QVERIFY(f);
    f->showMaximized();
    THitTable* t = findHits(f, 0.15);
    QVERIFY(t);
    const QVector<wform::SpanMark> marks = f->spanMarks();
    QCOMPARE(marks.size(), t->model().rowCount());
    for (int r = 0; r < marks.size(); ++r) {
        const ae::Hit& h = t->model().hit(r);
        QCOMPARE((QList<int>{marks[r].channel, marks[r].from, marks[r].to}),
                 (QList<int>{h.channel, int(h.first), int(h.last)}));
    }
    // The start of a hit shows in magenta on the plot, at its column in the channel's band.
    const ae::Hit& h = t->model().hit(0);
    const int x = f->record->sampleToX(int(h.first));
    const int base = f->record->channel(h.channel)->baseY;
    auto magentaInColumn = [&](const QImage& img) {
        int n = 0;
        for (int y = base - 20; y <= base + 20; ++y)
            n += img.pixelColor(x, y) == QColor(255, 0, 255) ? 1 : 0;
        return n;
    };
    QVERIFY(magentaInColumn(f->plot->grab().toImage()) > 5);
    t->close();
    QVERIFY(f->spanMarks().isEmpty());
    QCOMPARE(magentaInColumn(f->plot->grab().toImage()), 0);
}

void TestHitTable::tableGoesWithItsWindow()
{
    TWForm* f = record();
    QVERIFY(f);
    QPointer<THitTable> t = findHits(f, 0.15);
    QVERIFY(t);
    QPointer<TWForm> window = f;
    {
        BoxAnswerer yes(QMessageBox::Yes); // the recording is not saved: close anyway
        QVERIFY(f->close());
    }
    QTRY_VERIFY(window.isNull());
    QTRY_VERIFY(t.isNull());
    // A table left without its window (closed behind it) does nothing when used.
    TWForm* g = record();
    QVERIFY(g);
    THitTable* u = findHits(g, 0.15);
    QVERIFY(u);
    delete g;
    u->goToRow(0);
    u->detect(ae::HitSettings());
    QTest::qWait(20);
}

QTEST_MAIN(TestHitTable)
#include "tst_hit_table.moc"
