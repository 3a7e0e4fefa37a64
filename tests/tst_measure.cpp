// Measuring in a waveform window of a real main window: the mouse on the plot (cursors, zero
// lines, the selection), the status-bar readouts, the channel selection dialog and the
// measurement commands.

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

// Answers the next channel selection dialog: ticks the boxes of the listed channels (all of them
// with "All" for -1), then presses OK, or Cancel when accept is false.
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

// A move of the mouse with no button held.
void hover(QWidget* w, QPoint p)
{
    QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestMeasure : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cursorDragShowsReadouts();
    void zeroLineDragMovesTrace();
    void rightDragSelects_data();
    void rightDragSelects();
    void meanOrWarning_data();
    void meanOrWarning();
    void maximumAndCentring();
    void zeroingTickedChannels();
    void roundingToPowersOfTwo();
    void keptPictureFollowsTheRecord();
    void readouts();

private:
    // A window on a record of channels x length samples at 0.2 us per sample, shown whole in a
    // 600 x 400 sub-window; cursors at samples 40, 300, 40 ...; tweak changes the record before it
    // is stored.
    TWForm* window(int channels, int length, const Samples& sample,
                   const std::function<void(TWaveStor&)>& tweak = {})
    {
        TWaveStor r(QRect(0, 0, 400, 300));
        if (!r.init(channels, length))
            return nullptr;
        for (int ch = 0; ch < channels; ++ch) {
            for (int i = 0; i < length; ++i)
                r.channel(ch)->setSample(i, sample(ch, i));
            r.channel(ch)->cursor = ch % 2 ? 300 : 40;
        }
        r.header.winWidth = length;
        if (tweak)
            tweak(r);
        const QString path = dir.filePath(QStringLiteral("m%1.raw").arg(++files));
        if (r.writeFile(path) != 0)
            return nullptr;
        TWForm* f = main->openRawPath(path);
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
    // The mouse shows what it would grab: a cursor, a zero line, or nothing.
    hover(plot, at(f, 40, row) + QPoint(3, 0));
    QCOMPARE(plot->cursor().shape(), Qt::SplitHCursor);
    hover(plot, at(f, 150, zeroRow(f, 1) - 4));
    QCOMPARE(plot->cursor().shape(), Qt::SplitVCursor);
    hover(plot, at(f, 150, zeroRow(f, 1) - 5));
    QCOMPARE(plot->cursor().shape(), Qt::ArrowCursor);

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

void TestMeasure::zeroLineDragMovesTrace()
{
    // Channel 1 a flat line 60 units above its zero line.
    TWForm* f = window(2, 400, [](int ch, int) { return qint8(ch ? 60 : 0); });
    QVERIFY(f);
    const QColor trace = g_traceColours[1];
    const TWaveView* v = f->record->channel(1);
    auto traceRow = [&] { return v->baseY - nearest(60 * v->yScale); };
    const int before = traceRow();
    QCOMPARE(paint(f).pixelColor(f->record->sampleToX(100), before), trace);
    const int row = zeroRow(f, 1);
    QTest::mousePress(f->plot, Qt::LeftButton, {}, at(f, 200, row + 3));
    QTest::mouseMove(f->plot, at(f, 200, row + 20));
    paint(f);
    QTest::mouseRelease(f->plot, Qt::LeftButton, {}, at(f, 220, row + 33));
    const QImage img = paint(f);
    QCOMPARE(zeroRow(f, 1), row + 33);
    QCOMPARE(f->grabbedBaselineChannel, -1);
    // The trace went down with its zero line, and nothing is left where it was.
    QCOMPARE(traceRow(), before + 33);
    QCOMPARE(img.pixelColor(f->record->sampleToX(100), before + 33), trace);
    QCOMPARE(img.pixelColor(f->record->sampleToX(100), before), QColor(Qt::black));
    QCOMPARE(img.pixelColor(f->record->sampleToX(100), row + 33), f->record->channel(1)->baseColor);
}

void TestMeasure::rightDragSelects_data()
{
    QTest::addColumn<bool>("mode");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<int>("selLog2");
    QTest::newRow("mode off") << false << 200 << 200 << 1;
    QTest::newRow("mode off, past the start") << false << -30 << 0 << 1;
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
    // A window with an open spectrum keeps its selection.
    f->hasSpectrum = true;
    QTest::mousePress(f->plot, Qt::RightButton, {}, at(f, 300, row));
    QTest::mouseMove(f->plot, at(f, 350, row));
    QTest::mouseRelease(f->plot, Qt::RightButton, {}, at(f, 350, row));
    paint(f);
    QCOMPARE(f->selStart, 100);
    QTEST(f->selEnd, "selEnd");
}

void TestMeasure::meanOrWarning_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    // The selection ends at 390; it may start one past the last sample, as a drag to the right
    // edge leaves it: only real samples count. Channel 1: +-64; channel 2: 32 at gain code 1.
    QTest::newRow("mean") << "aAverage" << 400 << "Среднее значение:\nКанал 1: 1.250 V\nКанал 2: 312.5mV"
                          << int(QMessageBox::Information);
    QTest::newRow("mean, nothing selected")
        << "aAverage" << 390 << "Необходимо выделить участок\nдля расчета среднего значения"
        << int(QMessageBox::Warning);
    QTest::newRow("maximum, nothing selected")
        << "aSrcMax" << 390 << "Необходимо выделить участок для поиска максимума."
        << int(QMessageBox::Warning);
    QTest::newRow("zeroing, nothing selected")
        << "aZeroSign" << 390 << "Необходимо выделить участок для обнуления." << int(QMessageBox::Warning);
}

void TestMeasure::meanOrWarning()
{
    QFETCH(QString, action);
    QFETCH(int, selStart);
    TWForm* f = window(
        2, 400, [](int ch, int i) { return qint8(ch ? 32 : (i % 2 ? 64 : -64)); },
        [](TWaveStor& r) { r.channelHeader(1)->gainCode = 1; });
    QVERIFY(f);
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

void TestMeasure::maximumAndCentring()
{
    // Channel 1 peaks at 12 and 15 alike; channel 2 at 17.
    TWForm* f = window(2, 400, [](int ch, int i) {
        return qint8(ch ? (i == 17 ? 90 : 0) : (i == 12 || i == 15 ? 100 : i % 7));
    });
    QVERIFY(f);
    f->selStart = 20;
    f->selEnd = 10;
    SelSigAnswer first({0});
    ui->aSrcMax->trigger();
    QCOMPARE(first.title, QStringLiteral("Преобразование"));
    QCOMPARE(first.shown, 2);
    QCOMPARE((QList<int>{f->record->channel(0)->cursor, f->record->channel(1)->cursor}),
             (QList<int>{12, 300}));
    QVERIFY(f->changed);
    QCOMPARE(ui->tl1->text(), QStringLiteral("T1=    2.4uS"));

    SelSigAnswer all({-1});
    main->aCentering->trigger();
    QCOMPARE(all.title, QStringLiteral("Установка курсоров"));
    const int middle = f->record->xToSample(f->plot->width() / 2);
    QCOMPARE((QList<int>{f->record->channel(0)->cursor, f->record->channel(1)->cursor}),
             (QList<int>{middle, middle}));
    QCOMPARE(ui->tl2->text(), "T2=" + QString::number(middle * 2 / 10.0, 'f', 1).rightJustified(7) + "uS");
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
    // The picture shows the zeroed stretch, not the trace drawn before.
    f->selStart = f->selEnd = 0;
    const QImage img = paint(f);
    const int row = b->baseY - nearest(50 * b->yScale);
    QCOMPARE(img.pixelColor(f->record->sampleToX(50), row), g_traceColours[1]);
    QCOMPARE(img.pixelColor(f->record->sampleToX(150), row), QColor(Qt::black));
}

void TestMeasure::roundingToPowersOfTwo()
{
    TWForm* f = window(1, 5, [](int, int) { return qint8(0); });
    QVERIFY(f);
    f->selStart = 2;
    f->selEnd = 5;
    main->aSelectMode->trigger(); // switched on: 2 ... 5 rounded to 4 samples, past the end: halved
    QVERIFY(main->aSelectMode->isChecked());
    // In force before any paint, for a command that follows at once.
    QCOMPARE(f->selEnd, 4);
    QCOMPARE(f->selLog2, 1);
    paint(f);
    QCOMPARE(f->selEnd, 4);
    f->selEnd = 5;
    main->aSelectMode->trigger(); // switched off: nothing
    QCOMPARE(f->selEnd, 5);
}

void TestMeasure::keptPictureFollowsTheRecord()
{
    // Whatever changed, the plot shows what drawing the record afresh shows.
    TWForm* f = window(3, 3000, [](int ch, int i) { return qint8((i * (ch + 3)) % 200 - 100); });
    QVERIFY(f);
    auto fresh = [f] {
        QImage img(f->plot->size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        f->record->draw(&p);
        return img;
    };
    const QList<std::function<void()>> changes = {
        [] {},
        [f] { f->record->channel(1)->baseY += 40; }, // down: its old rows above the new band
        [f] { f->zoomIn(); },
        [f] { f->scrollBar->setValue(f->scrollBar->maximum()); },
        [f] { f->setVerticalScale(true, 2500); },
        [f] { f->setFilter(3, 4); },
        [f] { f->setChannelColour(1, Qt::magenta); },
        [f] { f->record->channel(2)->baseY -= 17; },
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

    main->setReadout(f, 1, QStringLiteral("12.5uS"), QStringLiteral("+1.00mV"));
    QCOMPARE(labels().mid(2, 2), (QStringList{"T2=12.5uS", "Y2=+1.00mV"}));
    main->setReadout(f, 1, QStringLiteral("12.5uS"), QString());
    QCOMPARE(labels().mid(2, 2), (QStringList{"T2=12.5uS", "-"}));

    // A spectrum window: frequency and level of the bin under the cursor, as the transform leaves
    // them; a record without a clock has no frequency.
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
