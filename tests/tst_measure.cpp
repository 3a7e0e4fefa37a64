// Measuring in a waveform window of a real main window: mouse, readouts and commands.

#include <QtTest>

#include "boxwatch.h"
#include "selsig_dialog.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <functional>

namespace {

using Samples = std::function<qint8(int ch, int i)>;

// Answers the next channel dialog: ticks the listed channels ("All" for -1), then OK or Cancel.
struct SelSigAnswer
{
    SelSigAnswer(QList<int> channels, bool accept = true)
        : driver([this, channels, accept](TSelSigDlg* d) {
            title = d->windowTitle();
            for (int i = 1; i <= 4; ++i)
                shown += d->findChild<QCheckBox*>(QStringLiteral("selBox%1").arg(i))->isVisibleTo(d) ? 1 : 0;
            for (int ch : channels) {
                if (ch < 0)
                    QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("allOn")), Qt::LeftButton);
                else
                    d->findChild<QCheckBox*>(QStringLiteral("selBox%1").arg(ch + 1))->setChecked(true);
            }
            QTest::mouseClick(d->findChild<QPushButton*>(accept ? "okBtn" : "cancelBtn"), Qt::LeftButton);
        })
    {}
    QString title;
    int shown = 0; // boxes shown
    ModalDriver<TSelSigDlg> driver;
};

} // namespace

class TestMeasure : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cursorDragShowsReadouts();
    void rightDragSelects_data();
    void rightDragSelects();
    void meanOrWarning_data();
    void meanOrWarning();
    void maximum();
    void zeroingTickedChannels();
    void keptPictureFollowsTheRecord();
    void readouts();

private:
    // A 600 x 400 window showing a whole record at 0.2 us a sample, cursors at 40, 300, 40 ...;
    // tweak changes the record before it is stored.
    TWForm* window(int channels, int length, const Samples& sample,
                   const std::function<void(TWaveStor&)>& tweak = {})
    {
        const QString path = dir.filePath(QStringLiteral("m%1.raw").arg(++files));
        TWForm* f = writeRecord(path, channels, length, sample,
                                [&](TWaveStor& r) {
                                    for (int ch = 0; ch < channels; ++ch)
                                        r.channel(ch)->cursor = ch % 2 ? 300 : 40;
                                    if (tweak)
                                        tweak(r);
                                })
                        ? main->openRawPath(path)
                        : nullptr;
        if (f)
            f->resize(600, 400);
        return f;
    }
    // Where the mouse finds channel ch: its zero line and the column of sample i.
    static int zeroRow(TWForm* f, int ch)
    {
        const TWaveView* v = f->record->channel(ch);
        return v->baseY - v->baseOffset;
    }
    static QPoint at(TWForm* f, int i, int row) { return {f->record->sampleToX(i), row}; }
    // A paint of the plot, which carries out the pending mouse step.
    static QImage paint(TWForm* f) { return f->plot->grab().toImage(); }
    QStringList labels() const
    {
        QStringList t;
        for (QLabel* l : {ui->tl1, ui->yl1, ui->tl2, ui->yl2, ui->tl3, ui->yl3, ui->tl4, ui->yl4})
            t << (l->isVisibleTo(main) ? l->text() : QStringLiteral("-"));
        return t;
    }

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    Ui::MainWindow* ui = nullptr;
    int files = 0;
};

void TestMeasure::init()
{
    startLibrary(); // no settings file: the readouts start in coulombs
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    ui = main->form();
    main->setUnit(true);
}

void TestMeasure::cleanup()
{
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestMeasure::cursorDragShowsReadouts()
{
    TWForm* f = window(2, 400, [](int ch, int i) { return qint8(ch ? 0 : i / 4 - 50); });
    QVERIFY(f);
    paint(f);
    QWidget* plot = f->plot;
    const int row = zeroRow(f, 0) - 20;
    QTest::mousePress(plot, Qt::LeftButton, {}, at(f, 40, row) + QPoint(-2, 0));
    QTest::mouseMove(plot, at(f, 120, row));
    paint(f);
    QCOMPARE(f->record->channel(0)->cursor, 120);
    QTest::mouseMove(plot, at(f, 250, row + 50)); // only the column counts
    QTest::mouseRelease(plot, Qt::LeftButton, {}, at(f, 250, row + 50));
    paint(f);
    QCOMPARE((QList<int>{f->record->channel(0)->cursor, f->record->channel(1)->cursor}),
             (QList<int>{250, 300}));
    QCOMPARE(f->grabbedCursorChannel, -1);
    // Sample 250 is 12: 24 steps of 2.5 V / 256 at 50 us.
    QCOMPARE(labels().mid(0, 4), (QStringList{"T1=   50.0uS", "Y1= 234.4mV", "T2=   60.0uS", "Y2= 0.000 V"}));
    // Dragged past the right edge, the cursor stays on the last sample.
    QTest::mousePress(plot, Qt::LeftButton, {}, at(f, 250, row));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(5000, row));
    paint(f);
    QCOMPARE(f->record->channel(0)->cursor, 399);
}

void TestMeasure::rightDragSelects_data()
{
    QTest::addColumn<bool>("mode");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<int>("selLog2");
    QTest::newRow("mode off") << false << 200 << 200 << 1;
    QTest::newRow("mode on, to 105") << true << 105 << 104 << 2;
    QTest::newRow("mode on, to 106") << true << 106 << 108 << 3;
}

void TestMeasure::rightDragSelects()
{
    QFETCH(bool, mode);
    QFETCH(int, to);
    TWForm* f = window(1, 400, [](int, int) { return qint8(0); });
    QVERIFY(f);
    main->aSelectMode->setChecked(mode);
    const int row = zeroRow(f, 0) - 60;
    // Press and move come before any paint, as a quick hand gives them.
    QTest::mousePress(f->plot, Qt::RightButton, {}, at(f, 100, row));
    QTest::mouseMove(f->plot, at(f, to, row));
    QTest::mouseRelease(f->plot, Qt::RightButton, {}, at(f, to, row));
    paint(f);
    QCOMPARE(f->selStart, 100);
    QTEST(f->selEnd, "selEnd");
    QTEST(f->selLog2, "selLog2");
    QVERIFY(!f->selecting);
}

void TestMeasure::meanOrWarning_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    // From one past the last sample (a drag to the right edge) to 390: real samples only count.
    QTest::newRow("mean") << "aAverage" << 400 << "Среднее значение:\nКанал 1: 1.250 V\nКанал 2: 156.3mV"
                          << int(QMessageBox::Information);
    QTest::newRow("maximum, nothing selected")
        << "aSrcMax" << 390 << "Необходимо выделить участок для поиска максимума."
        << int(QMessageBox::Warning);
}

void TestMeasure::meanOrWarning()
{
    QFETCH(QString, action);
    QFETCH(int, selStart);
    TWForm* f = window(
        2, 400, [](int ch, int i) { return qint8(ch ? 32 : (i % 2 ? 64 : -64)); },
        [](TWaveStor& r) { r.channelHeader(1)->gainCode = 1; });
    QVERIFY(f);
    f->record->channel(1)->spectrum = true; // its values as they are, not doubled as bipolar ones
    f->selStart = selStart;
    f->selEnd = 390;
    BoxAnswerer boxes(QMessageBox::Ok, 2);
    main->findChild<QAction*>(action)->trigger();
    QTest::qWait(50);
    QCOMPARE(boxes.seen.size(), 1);
    QTEST(boxes.seen[0].text, "text");
    QTEST(int(boxes.seen[0].icon), "icon");
    QVERIFY(!f->changed && !f->record->isModified());
    QCOMPARE(f->record->channel(0)->cursor, 40);
}

void TestMeasure::maximum()
{
    // Channel 1 peaks at 10 (the selection's first sample) and 15 alike; channel 2 at 17.
    TWForm* f = window(2, 400, [](int ch, int i) {
        return qint8(ch ? (i == 17 ? 90 : 0) : (i == 10 || i == 15 ? 100 : i % 7));
    });
    QVERIFY(f);
    f->selStart = 20;
    f->selEnd = 10;
    SelSigAnswer first({0});
    ui->aSrcMax->trigger();
    QCOMPARE(first.title, QStringLiteral("Преобразование"));
    QCOMPARE(first.shown, 2);
    QCOMPARE((QList<int>{f->record->channel(0)->cursor, f->record->channel(1)->cursor}),
             (QList<int>{10, 300}));
    QVERIFY(f->changed);
    QCOMPARE(ui->tl1->text(), QStringLiteral("T1=    2.0uS"));
}

void TestMeasure::zeroingTickedChannels()
{
    TWForm* f = window(2, 400, [](int, int) { return qint8(50); });
    QVERIFY(f);
    paint(f);
    f->selStart = 100;
    f->selEnd = 200;
    {
        SelSigAnswer cancel({0, 1}, false);
        ui->aZeroSign->trigger();
        QVERIFY(!cancel.title.isEmpty());
        QVERIFY(!f->changed && !f->record->isModified());
    }
    SelSigAnswer second({1});
    ui->aZeroSign->trigger();
    QCOMPARE(second.title, QStringLiteral("Обнуление"));
    const TWaveView* a = f->record->channel(0);
    const TWaveView* b = f->record->channel(1);
    QCOMPARE((QList<int>{b->sample(99), b->sample(100), b->sample(200), b->sample(201), a->sample(150)}),
             (QList<int>{50, 0, 0, 50, 50}));
    QVERIFY(f->changed && f->record->isModified());
}

void TestMeasure::keptPictureFollowsTheRecord()
{
    // Whatever changed (first channel 2's zero line dragged down), the plot shows a fresh drawing.
    TWForm* f = window(3, 3000, [](int ch, int i) { return qint8((i * (ch + 3)) % 200 - 100); });
    QVERIFY(f);
    auto fresh = [f] {
        QImage img(f->plot->size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        f->record->draw(&p);
        return img;
    };
    const int row = zeroRow(f, 1);
    paint(f);
    QTest::mousePress(f->plot, Qt::LeftButton, {}, at(f, 200, row + 3));
    QTest::mouseMove(f->plot, at(f, 200, row + 20));
    paint(f);
    QTest::mouseRelease(f->plot, Qt::LeftButton, {}, at(f, 220, row + 40));
    paint(f);
    QCOMPARE(zeroRow(f, 1), row + 40);
    const QList<std::function<void()>> changes = {
        [] {},
        [f] { f->zoomIn(); },
        [f] { f->scrollBar->setValue(f->scrollBar->maximum()); },
        [f] { f->setFilter(3, 4); },
        [f] {
            f->record->channel(0)->setSample(f->view().start + 5, 127);
            f->repaintPlot();
        },
        [f] { f->resize(500, 300); },
    };
    for (int i = 0; i < changes.size(); ++i) {
        changes[i]();
        QVERIFY2(paint(f).convertToFormat(QImage::Format_RGB32) == fresh(), qPrintable(QString::number(i)));
    }
}

void TestMeasure::readouts()
{
    TWForm* f = window(
        2, 400, [](int ch, int i) { return qint8(ch ? 64 : i % 2 - 128); },
        [](TWaveStor& r) { r.header.detector = 1; });
    QVERIFY(f);
    // Detector channels read from the bottom of their scale: -128 is 0 V, 64 is 192 steps.
    QCOMPARE(labels(),
             (QStringList{"T1=    8.0uS", "Y1= 0.000 V", "T2=   60.0uS", "Y2= 1.875 V", "-", "-", "-", "-"}));
    main->setReadout(f, 2, QStringLiteral("1uS"), QStringLiteral("1V"));
    main->setReadout(f, 3, QStringLiteral("2uS"), QStringLiteral("2V"));
    ui->aCoulomb->trigger(); // slots 0 and 1 refreshed in coulombs, 2 and 3 cleared
    QCOMPARE(labels(),
             (QStringList{"T1=    8.0uS", "Y1= 0.000 Q", "T2=   60.0uS", "Y2= 112.5nQ", "-", "-", "-", "-"}));

    // A spectrum window: frequency and level of the bin under the cursor; no clock, no frequency.
    f->isSpectrum = f->logScale = true;
    TWaveView* v = f->record->channel(0);
    v->spectrum = true;
    v->specStep = 0.5f;
    v->cursor = 3;
    v->setSample(3, -28);
    f->refreshReadout(0);
    QCOMPARE(labels().mid(0, 2), (QStringList{"F1= 25.000KHz", "A1=-78.0 dB"}));
    f->record->header.divider = 0;
    v->setSample(3, -128);
    f->refreshReadout(0);
    QCOMPARE(labels().mid(0, 2), (QStringList{"F1=      ? Hz", "A1=-???? dB"}));
}

QTEST_MAIN(TestMeasure)
#include "tst_measure.moc"
