// The waveform window: view arithmetic (zoom, stretch, scroll bar, frame layout), the window on
// records of several lengths, painting, and the close rules with their teardown.

#include <QtTest>

#include "tst_mainwnd_support.h"

#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>

using wform::View;

Q_DECLARE_METATYPE(View)

class TestWaveForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void zoomIn_data();
    void zoomIn();
    void zoomOut_data();
    void zoomOut();
    void stretch_data();
    void stretch();
    void scroll_data();
    void scroll();
    void scrollRangeStaysBelow32768();

    void emptyWindow();
    void windowOnRecord_data();
    void windowOnRecord();
    void hundredThousandShownThousandWide();
    void scrollingMovesTheView();
    void verticalScale();
    void zoomToSelection();
    void fileWithViewOutsideRecordIsShownWhole();
    void shownFrameFollowsTheTable();
    void paintsTracesAndInvertedSelection();
    void sineOverlay();

    void closeUnchangedWithoutQuestion();
    void closeChanged_data();
    void closeChanged();
    void sourceWithSpectrumRefuses();
    void changedSpectrum_data();
    void changedSpectrum();
    void teardownInAnyOrder_data();
    void teardownInAnyOrder();

private:
    TWForm* openInArea(const QString& path);
    QString writeFile(const QString& name, int length);

    QTemporaryDir dir;
    MainWnd* main = nullptr;
};

void TestWaveForm::initTestCase()
{
    QVERIFY(dir.isValid());
    main = support::makeMainWindow();
    QVERIFY(main);
}

void TestWaveForm::cleanup()
{
    // Windows left by a test go without their close rules.
    for (TWForm* f : main->forms())
        delete f;
}

QString TestWaveForm::writeFile(const QString& name, int length)
{
    const QString path = dir.filePath(name);
    if (support::writeRecordFile(path, 4, length) != 0)
        return QString();
    return path;
}

TWForm* TestWaveForm::openInArea(const QString& path)
{
    auto* f = new TWForm(nullptr);
    if (!f->initFromFile(path)) {
        delete f;
        return nullptr;
    }
    main->mdi()->addSubWindow(f);
    f->show();
    return f;
}

// ---- pure arithmetic -------------------------------------------------------------------------

void TestWaveForm::zoomIn_data()
{
    QTest::addColumn<View>("before");
    QTest::addColumn<View>("after");
    QTest::newRow("three wide stays at two, start kept") << View{7, 3} << View{7, 2};
    QTest::newRow("halved around the middle") << View{100, 1000} << View{350, 500};
    QTest::newRow("odd width 515") << View{0, 515} << View{128, 257};
    QTest::newRow("whole 163840") << View{0, 163840} << View{40960, 81920};
    QTest::newRow("two wide cannot shrink") << View{10, 2} << View{10, 2};
    QTest::newRow("one sample does not grow") << View{0, 1} << View{0, 1};
    QTest::newRow("empty record") << View{0, 0} << View{0, 0};
}

void TestWaveForm::zoomIn()
{
    QFETCH(View, before);
    QFETCH(View, after);
    const View got = wform::zoomedIn(before);
    QCOMPARE(got.start, after.start);
    QCOMPARE(got.width, after.width);
}

void TestWaveForm::zoomOut_data()
{
    QTest::addColumn<View>("before");
    QTest::addColumn<int>("length");
    QTest::addColumn<View>("after");
    QTest::newRow("cut on the left goes to the width") << View{10, 100} << 1000 << View{0, 240};
    QTest::newRow("short record shown whole") << View{10, 100} << 150 << View{0, 150};
    QTest::newRow("doubled around the middle") << View{400, 100} << 1000 << View{350, 200};
    QTest::newRow("pushed back from the end") << View{900, 100} << 1000 << View{800, 200};
    QTest::newRow("whole 515 stays") << View{0, 515} << 515 << View{0, 515};
    QTest::newRow("empty record") << View{0, 0} << 0 << View{0, 0};
    QTest::newRow("half of 163840") << View{40960, 81920} << 163840 << View{0, 163840};
}

void TestWaveForm::zoomOut()
{
    QFETCH(View, before);
    QFETCH(int, length);
    QFETCH(View, after);
    const View got = wform::zoomedOut(before, length);
    QCOMPARE(got.start, after.start);
    QCOMPARE(got.width, after.width);
}

void TestWaveForm::stretch_data()
{
    QTest::addColumn<View>("before");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("length");
    QTest::addColumn<View>("after");
    QTest::newRow("half of 100000") << View{0, 100000} << 500 << 1000 << 100000 << View{0, 50000};
    QTest::newRow("grown past the end moves start")
        << View{90000, 10000} << 1000 << 1000 << 100000 << View{0, 100000};
    QTest::newRow("start kept when it fits") << View{1000, 1000} << 20 << 1000 << 100000 << View{1000, 2000};
    QTest::newRow("never below two samples") << View{0, 100} << 10 << 1000 << 100 << View{0, 2};
    QTest::newRow("one percent of 163840")
        << View{162000, 1838} << 10 << 1000 << 163840 << View{162000, 1638};
    QTest::newRow("maximum 0 changes nothing") << View{3, 50} << 500 << 0 << 100 << View{3, 50};
    QTest::newRow("empty record") << View{0, 0} << 500 << 1000 << 0 << View{0, 0};
    QTest::newRow("515 at 40 percent") << View{400, 115} << 400 << 1000 << 515 << View{309, 206};
}

void TestWaveForm::stretch()
{
    QFETCH(View, before);
    QFETCH(int, value);
    QFETCH(int, maximum);
    QFETCH(int, length);
    QFETCH(View, after);
    const View got = wform::stretchedView(before, value, maximum, length);
    QCOMPARE(got.start, after.start);
    QCOMPARE(got.width, after.width);
}

void TestWaveForm::scroll_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("quarter");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pageStep");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty record") << 0 << 0 << 0 << 0 << 1 << 0 << 0 << 1 << false;
    QTest::newRow("515 whole") << 515 << 515 << 0 << 128 << 1 << 0 << 0 << 128 << false;
    QTest::newRow("515 partly") << 515 << 100 << 50 << 25 << 1 << 415 << 50 << 25 << true;
    QTest::newRow("100000 shown 1000 wide") << 100000 << 1000 << 0 << 250 << 4 << 24750 << 0 << 62 << true;
    QTest::newRow("value truncates") << 100000 << 1000 << 4003 << 250 << 4 << 24750 << 1000 << 62 << true;
    QTest::newRow("163840 whole") << 163840 << 163840 << 0 << 40960 << 1 << 0 << 0 << 40960 << false;
    QTest::newRow("163840 one wide") << 163840 << 1 << 0 << 0 << 5 << 32767 << 0 << 1 << true;
    QTest::newRow("whole view but scrolled") << 1000 << 1000 << 0 << 1 << 1 << 0 << 0 << 1 << false;
    QTest::newRow("view wider than record") << 100 << 200 << 0 << 10 << 1 << 0 << 0 << 1 << false;
}

void TestWaveForm::scroll()
{
    QFETCH(int, length);
    QFETCH(int, width);
    QFETCH(int, start);
    QFETCH(int, quarter);
    const wform::ScrollSetup s = wform::scrollSetup(length, width, start, quarter);
    QTEST(s.step, "step");
    QTEST(s.maximum, "maximum");
    QTEST(s.value, "value");
    QTEST(s.pageStep, "pageStep");
    QTEST(s.enabled, "enabled");
}

void TestWaveForm::scrollRangeStaysBelow32768()
{
    // Whatever the record and view, the bar stays in range and its last unit stays in the record.
    for (int length : {1, 515, 32768, 32769, 65537, 100000, 131068, 163840}) {
        for (int width : {1, 2, 100, 1000, length / 3 + 1, length - 1, length}) {
            if (width < 1 || width > length)
                continue;
            const wform::ScrollSetup s = wform::scrollSetup(length, width, 0, 0);
            QVERIFY2(s.maximum < 32768, qPrintable(QStringLiteral("%1/%2").arg(length).arg(width)));
            QVERIFY(qint64(s.maximum) * s.step <= length - width);
            QVERIFY(qint64(s.maximum + 1) * s.step > length - width);
        }
    }
}

// ---- the window ------------------------------------------------------------------------------

void TestWaveForm::emptyWindow()
{
    TWForm f;
    QVERIFY(f.initEmpty());
    QVERIFY(f.record);
    QCOMPARE(f.record->channelCount(), 4);
    QCOMPARE(f.record->length(), 0);
    QVERIFY(f.testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!f.windowIcon().isNull());
    QCOMPARE(f.widget(), static_cast<QWidget*>(f.plot));
    QCOMPARE(f.size(), QSize(379, 294));
    QCOMPARE(f.scrollBar->parentWidget(), static_cast<QWidget*>(&f));
    QCOMPARE(f.scrollBar->orientation(), Qt::Horizontal);
    QCOMPARE(f.scrollBar->toolTip(), QStringLiteral("Положение временного окна"));
    QCOMPARE(f.scrollBar->minimum(), 0);
    QCOMPARE(f.scrollBar->maximum(), 0);
    QVERIFY(!f.scrollBar->isEnabled());
    QCOMPARE(f.plot->palette().color(QPalette::Window), QColor(Qt::black));
    QVERIFY(f.plot->hasMouseTracking());
    QCOMPARE(f.record->rect, f.plotRect);
    QCOMPARE(f.plotRect, QRect(0, 0, f.plot->width(), f.plot->height()));

    TWForm bare;
    QCOMPARE(bare.save(dir.filePath(QStringLiteral("bare.raw"))), 100);
    bare.zoomIn(); // nothing to act on
    bare.zoomOut();
    bare.setVerticalScale(true, 500);
}

void TestWaveForm::windowOnRecord_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<View>("zoomed");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("slider");
    QTest::newRow("515") << 515 << View{128, 257} << 1 << 258 << 128 << 49;
    QTest::newRow("100000") << 100000 << View{25000, 50000} << 2 << 25000 << 12500 << 50;
    QTest::newRow("163840") << 163840 << View{40960, 81920} << 3 << 27306 << 13653 << 50;
}

void TestWaveForm::windowOnRecord()
{
    QFETCH(int, length);
    QFETCH(View, zoomed);
    QFETCH(int, step);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, slider);
    const QString path = writeFile(QStringLiteral("rec%1.raw").arg(length), length);
    QVERIFY(!path.isEmpty());
    TWForm* f = openInArea(path);
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(path));
    QVERIFY(f->view() == (View{0, length}));
    QCOMPARE(f->scrollBar->maximum(), 0);
    QVERIFY(!f->scrollBar->isEnabled());

    f->zoomIn();
    QCOMPARE(f->view().start, zoomed.start);
    QCOMPARE(f->view().width, zoomed.width);
    QCOMPARE(f->scrollStep, step);
    QCOMPARE(f->scrollBar->maximum(), maximum);
    QCOMPARE(f->scrollBar->value(), value);
    QVERIFY(f->scrollBar->isEnabled());
    QCOMPARE(main->sbZX->value(), slider);
    QCOMPARE(main->sbZXLabel->text(), QString::number(slider) + QLatin1Char('%'));
    // The channels follow the record's view.
    QCOMPARE(f->record->channel(0)->winStart, zoomed.start);
    QCOMPARE(f->record->xScale, (f->plotRect.right() - 1.0) / (zoomed.width - 1));

    // Scrolled to the end, the view ends inside the record.
    f->scrollBar->setValue(f->scrollBar->maximum());
    QCOMPARE(f->view().start, maximum * step);
    QVERIFY(f->view().start + f->view().width <= length);
    QCOMPARE(f->record->channel(3)->winStart, maximum * step);

    f->zoomOut();
    QVERIFY(f->view().start >= 0);
    QVERIFY(f->view().start + f->view().width <= length);
    QVERIFY(f->view().width >= qMin(length, 2 * zoomed.width - 1));
    QCOMPARE(f->scrollBar->value(), f->view().start / f->scrollStep);
}

void TestWaveForm::hundredThousandShownThousandWide()
{
    const QString path = writeFile(QStringLiteral("k100.raw"), 100000);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    f->setStretchFromSlider(true, 10, 1000);
    QVERIFY(f->view() == (View{0, 1000}));
    QCOMPARE(f->scrollStep, 4);
    QCOMPARE(f->scrollBar->minimum(), 0);
    QCOMPARE(f->scrollBar->maximum(), 24750);
    // A quarter of the plot, in units of four samples.
    const int quarter = f->record->xToSample((f->plotRect.right() + 1) / 4) - f->record->xToSample(0);
    QCOMPARE(f->scrollBar->pageStep(), qMax(quarter / 4, 1));
    QVERIFY(f->scrollBar->pageStep() > 1);

    // Not applied unless asked to.
    f->setStretchFromSlider(false, 500, 1000);
    QCOMPARE(f->view().width, 1000);
    f->setStretchFromSlider(true, 500, 0);
    QCOMPARE(f->view().width, 1000);
}

void TestWaveForm::scrollingMovesTheView()
{
    const QString path = writeFile(QStringLiteral("scroll.raw"), 100000);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    f->setStretchFromSlider(true, 10, 1000);
    QSignalSpy moved(f->scrollBar, &QScrollBar::valueChanged);
    f->scrollBar->setValue(100);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(f->view().start, 400);
    QCOMPARE(f->record->channel(0)->winStart, 400);
    QCOMPARE(f->record->channel(0)->winPixel, nearest(400 * f->record->xScale));
    // Updating the bar from the view leaves the view alone.
    f->updateScrollBar();
    QCOMPARE(f->view().start, 400);
    QCOMPARE(f->scrollBar->value(), 100);
}

void TestWaveForm::verticalScale()
{
    TWForm f;
    QVERIFY(f.initEmpty());
    QCOMPARE(int(f.record->header.vScale), 1000);
    const double before = f.record->yScale;
    f.setVerticalScale(false, 2000);
    QCOMPARE(int(f.record->header.vScale), 1000);
    f.setVerticalScale(true, 2000);
    QCOMPARE(int(f.record->header.vScale), 2000);
    QVERIFY(qAbs(f.record->yScale - 2 * before) < 1e-9);
    f.setVerticalScale(true, 70000);
    QCOMPARE(int(f.record->header.vScale), 65535);
    f.setVerticalScale(true, -5);
    QCOMPARE(int(f.record->header.vScale), 0);
    QCOMPARE(f.record->yScale, 1.0);

    QSlider s;
    s.setRange(0, 10000);
    f.setVerticalScale(true, 2500);
    f.verticalScaleToSlider(&s);
    QCOMPARE(s.value(), 250);
}

void TestWaveForm::zoomToSelection()
{
    const QString path = writeFile(QStringLiteral("sel.raw"), 5000);
    TWForm* f = openInArea(path);
    QVERIFY(f);

    f->selStart = 3000;
    f->selEnd = 1000; // dragged leftwards
    f->zoomToSelection();
    QVERIFY(f->view() == (View{1000, 2001}));
    QCOMPARE(f->selStart, 0);
    QCOMPARE(f->selEnd, 0);
    QCOMPARE(main->sbZX->value(), 40);

    // No selection: nothing.
    f->zoomToSelection();
    QVERIFY(f->view() == (View{1000, 2001}));

    // A selection running to one past the last sample stays inside the record.
    f->selStart = 4000;
    f->selEnd = 5000;
    f->zoomToSelection();
    QVERIFY(f->view() == (View{4000, 1000}));

    // Refused while a spectrum made from this window is open.
    f->hasSpectrum = true;
    f->selStart = 10;
    f->selEnd = 20;
    f->zoomToSelection();
    QVERIFY(f->view() == (View{4000, 1000}));
    QCOMPARE(f->selEnd, 20);
    f->hasSpectrum = false;
}

void TestWaveForm::fileWithViewOutsideRecordIsShownWhole()
{
    TWaveStor r(QRect(0, 0, 400, 300));
    QVERIFY(r.init(2, 3000));
    r.header.winStart = 2900;
    r.header.winWidth = 0;
    const QString path = dir.filePath(QStringLiteral("badview.raw"));
    QCOMPARE(r.writeFile(path), 0);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    QVERIFY(f->view() == (View{0, 3000}));

    r.header.winStart = 2900;
    r.header.winWidth = 500;
    QCOMPARE(r.writeFile(path), 0);
    TWForm* g = openInArea(path);
    QVERIFY(g);
    QVERIFY(g->view() == (View{2500, 500}));
}

void TestWaveForm::shownFrameFollowsTheTable()
{
    const QString path = writeFile(QStringLiteral("frame.raw"), 2000);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    f->showNormal();
    f->resize(500, 320);
    QVERIFY(f->laidOut);
    const int h = f->height();
    const int top = f->plot->y();
    QCOMPARE(f->plot->geometry().bottom(), top + h - 45);
    QVERIFY(f->scrollBar->isVisible());
    QCOMPARE(f->scrollBar->geometry().top(), h - 21);
    QCOMPARE(f->scrollBar->geometry().bottom(), h - 5);
    QCOMPARE(f->scrollBar->geometry().left(), f->plot->geometry().left());
    QCOMPARE(f->scrollBar->geometry().right(), f->plot->geometry().right());
    // The record draws into the whole plot widget.
    QCOMPARE(f->record->rect, QRect(0, 0, f->plot->width(), f->plot->height()));

    f->showMaximized();
    QVERIFY(f->isMaximized());
    const int hm = f->height();
    QCOMPARE(f->plot->geometry().bottom(), f->plot->y() + hm - 19);
    QCOMPARE(f->scrollBar->geometry().top(), hm - 17);
    QCOMPARE(f->record->rect, QRect(0, 0, f->plot->width(), f->plot->height()));

    f->showMinimized();
    QVERIFY(!f->plot->isVisible());
    QVERIFY(!f->scrollBar->isVisible());
    f->showNormal();
}

void TestWaveForm::paintsTracesAndInvertedSelection()
{
    // Channel 0 a full-height square wave, the others silent.
    const QString path = dir.filePath(QStringLiteral("paint.raw"));
    QCOMPARE(
        support::writeRecordFile(
            path, 2, 400, [](int ch, int i) { return qint8(ch == 0 ? ((i / 50) % 2 ? 100 : -100) : 0); }),
        0);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    f->showNormal();
    f->resize(600, 400);
    QCoreApplication::processEvents();

    auto countColour = [](const QImage& img, const QRect& area, QRgb rgb) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += (img.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
        return n;
    };
    f->record->channel(0)->cursor = 300;
    QImage img = f->plot->grab().toImage();
    const QRect all = img.rect();
    QVERIFY(countColour(img, all, g_traceColours[0].rgb()) > 100); // the square wave
    QVERIFY(countColour(img, all, g_cursorColours[0].rgb()) > 10); // its cursor line
    QVERIFY(countColour(img, all, QColor(Qt::black).rgb()) > all.width() * all.height() / 2);

    // A selection over samples 100 ... 200: the black background turns white there only.
    f->selStart = 100;
    f->selEnd = 200;
    img = f->plot->grab().toImage();
    const int x1 = f->record->sampleToX(100);
    const int x2 = f->record->sampleToX(200);
    const int row = f->record->channel(1)->baseY - 60; // empty space above channel 1's zero line
    QCOMPARE(img.pixel((x1 + x2) / 2, row) & 0xFFFFFF, QColor(Qt::white).rgb() & 0xFFFFFF);
    QCOMPARE(img.pixel(x1 - 5, row) & 0xFFFFFF, 0u);
    QCOMPARE(img.pixel(x2 + 5, row) & 0xFFFFFF, 0u);
    f->selStart = f->selEnd = 0;
}

void TestWaveForm::sineOverlay()
{
    const QString path = writeFile(QStringLiteral("sine.raw"), 20000);
    TWForm* f = openInArea(path);
    QVERIFY(f);
    f->setSineOverlay(true);
    QCOMPARE(int(f->record->header.showSine), 1);
    QCOMPARE(f->plot->paintAction, 5);
    f->plot->grab();
    QCOMPARE(f->plot->paintAction, 0);
    f->setSineOverlay(false);
    QCOMPARE(int(f->record->header.showSine), 0);

    f->isSpectrum = true; // a spectrum has no time axis for a sine
    f->setSineOverlay(true);
    QCOMPARE(int(f->record->header.showSine), 0);
    f->isSpectrum = false;
}

// ---- closing ---------------------------------------------------------------------------------

void TestWaveForm::closeUnchangedWithoutQuestion()
{
    QPointer<TWForm> f = openInArea(writeFile(QStringLiteral("plain.raw"), 1000));
    QVERIFY(f);
    BoxAnswerer boxes(QMessageBox::Cancel);
    QVERIFY(f->close());
    QVERIFY(boxes.seen.isEmpty());
    QTRY_VERIFY(!f); // deletes itself
}

void TestWaveForm::closeChanged_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
}

void TestWaveForm::closeChanged()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QPointer<TWForm> f = openInArea(writeFile(QStringLiteral("changed.raw"), 1000));
    QVERIFY(f);
    f->record->channel(2)->setSample(10, 5);
    BoxAnswerer boxes{QMessageBox::StandardButton(answer)};
    QCOMPARE(f->close(), closes);
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen[0].icon, QMessageBox::Question);
    QCOMPARE(
        boxes.seen[0].text,
        QStringLiteral("Данные в окне %1 изменены!\nЗакрыть окно?").arg(f ? f->windowTitle() : QString()));
    QCOMPARE(boxes.seen[0].buttonTexts.size(), 3);
    if (closes)
        QTRY_VERIFY(!f);
    else
        QVERIFY(f && f->isVisible());
}

void TestWaveForm::sourceWithSpectrumRefuses()
{
    QPointer<TWForm> source = openInArea(writeFile(QStringLiteral("src.raw"), 1000));
    QPointer<TWForm> spectrum = openInArea(writeFile(QStringLiteral("spec.raw"), 512));
    QVERIFY(source && spectrum);
    spectrum->isSpectrum = true;
    spectrum->source = source;
    source->hasSpectrum = true;

    {
        BoxAnswerer boxes(QMessageBox::Ok);
        QVERIFY(!source->close()); // unchanged, and still refused
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes.seen[0].text, QStringLiteral("Вначале закройте окно со спектром!"));
    }
    // Closing the spectrum frees the source at once, before the spectrum is deleted.
    QVERIFY(spectrum->close());
    QVERIFY(!source->hasSpectrum);
    BoxAnswerer none(QMessageBox::Cancel);
    QVERIFY(source->close());
    QVERIFY(none.seen.isEmpty());
    QTRY_VERIFY(!spectrum && !source);
}

void TestWaveForm::changedSpectrum_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no closes without touching the source") << int(QMessageBox::No) << true;
    QTest::newRow("cancel keeps it") << int(QMessageBox::Cancel) << false;
}

void TestWaveForm::changedSpectrum()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QPointer<TWForm> source = openInArea(writeFile(QStringLiteral("src2.raw"), 1000));
    QPointer<TWForm> spectrum = openInArea(writeFile(QStringLiteral("spec2.raw"), 512));
    QVERIFY(source && spectrum);
    spectrum->isSpectrum = true;
    spectrum->source = source;
    spectrum->changed = true;
    source->hasSpectrum = true;
    const qint8 before = source->record->channel(0)->sample(100);

    BoxAnswerer boxes{QMessageBox::StandardButton(answer)};
    QCOMPARE(spectrum->close(), closes);
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen[0].text, QStringLiteral("Выполнить обратное преобразование?"));
    QCOMPARE(source->hasSpectrum, !closes);
    QCOMPARE(source->record->channel(0)->sample(100), before);
    QVERIFY(!source->record->isModified());
    if (closes)
        QTRY_VERIFY(!spectrum);
}

void TestWaveForm::teardownInAnyOrder_data()
{
    QTest::addColumn<bool>("sourceFirst");
    QTest::addColumn<bool>("throughArea");
    QTest::newRow("source deleted first") << true << false;
    QTest::newRow("spectrum deleted first") << false << false;
    QTest::newRow("area, spectrum raised") << false << true;
    QTest::newRow("area, source raised") << true << true;
}

void TestWaveForm::teardownInAnyOrder()
{
    QFETCH(bool, sourceFirst);
    QFETCH(bool, throughArea);
    // An area of its own, whose deletion takes its windows in stacking order.
    auto* area = new QMdiArea;
    auto make = [&](int length) {
        auto* f = new TWForm(nullptr);
        if (!f->initFromFile(writeFile(QStringLiteral("t%1.raw").arg(length), length))) {
            delete f;
            return static_cast<TWForm*>(nullptr);
        }
        area->addSubWindow(f);
        f->show();
        return f;
    };
    QPointer<TWForm> source = make(1000);
    QPointer<TWForm> spectrum = make(256);
    QVERIFY(source && spectrum);
    spectrum->isSpectrum = true;
    spectrum->source = source;
    source->hasSpectrum = true;

    if (throughArea) {
        // The later window in the child list goes later.
        (sourceFirst ? spectrum : source)->raise();
        delete area;
        QVERIFY(!source && !spectrum);
        return;
    }
    if (sourceFirst) {
        delete source.data();
        QVERIFY(!spectrum->source);
        delete spectrum.data();
    } else {
        delete spectrum.data();
        QVERIFY(!source->hasSpectrum); // the source may close again
        delete source.data();
    }
    delete area;
}

QTEST_MAIN(TestWaveForm)
#include "tst_wave_form.moc"
