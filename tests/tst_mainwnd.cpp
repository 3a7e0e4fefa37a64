// The main window and its waveform windows: action states, file commands, view arithmetic, closing and
// quitting, the record dialog (mouse selection and dragging are tst_measure's).

#include <QtTest>

#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QColorDialog>
#include <QLabel>
#include <QMdiArea>
#include <QScrollBar>
#include <QSpinBox>

#include <cmath>

using wform::View;
Q_DECLARE_METATYPE(View)

// A record opened with its stored view, one command (0 zoom in, -1 zoom out, else stretch to command / 1000);
// the view after it, samples per scroll-bar unit, the bar's range and, after a zoom, the stretch slider's
// label.
struct ViewCase
{
    int length;
    View stored;
    int command;
    View after;
    int step, maximum;
    const char* slider = nullptr; // none after a stretch
};
Q_DECLARE_METATYPE(ViewCase)

namespace {

// A recording of acoustic bursts: a decaying oscillation per channel on a little noise.
qint8 burstSample(int ch, int i)
{
    const int t = i - 1500 - 900 * ch;
    const double burst = t < 0 ? 0.0 : (100.0 - 15.0 * ch) * std::exp(-t / 1800.0) * std::sin(t * 0.05);
    return qint8(std::lround(burst + 3.0 * std::sin(i * 0.37 + ch) + 2.0 * std::sin(i * 1.91)));
}

// The window manager's part, which the offscreen platform leaves out: a moment after a dialog closes, the
// modal window still open, else the window below, is activated. A progress window that comes and goes within
// a run is never activated by the window manager.
class WindowManager : public QObject
{
public:
    WindowManager() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* d = qobject_cast<QDialog*>(o);
        if (e->type() != QEvent::Hide || !d || !d->isWindow() || d->inherits("UnClosableDialog"))
            return false;
        QPointer<QWidget> below = d->parentWidget() ? d->parentWidget()->window() : nullptr;
        ++pending;
        QTimer::singleShot(0, this, [this, below] {
            QWindow* modal = QGuiApplication::modalWindow();
            if (modal && modal->isVisible())
                modal->requestActivate();
            else if (below)
                below->activateWindow();
            --pending;
        });
        return false;
    }
    int pending = 0;
};

// A key as the window system delivers it once the window manager is done: to the open menu, else the modal
// dialog, else the main window. A letter carries its text (QTest spells only Latin ones).
void press(const WindowManager& wm, QWidget* main, const char* keys)
{
    QTRY_COMPARE(wm.pending, 0);
    QCoreApplication::processEvents();
    QWidget* to = QApplication::activePopupWidget();
    to = to ? to : QApplication::activeModalWidget();
    const QKeyCombination k = QKeySequence(QString::fromUtf8(keys))[0];
    const QString text = k.key() >= 0x410 && k.key() <= 0x42F ? QString(QChar(k.key())).toLower() : QString();
    QTest::sendKeyEvent(QTest::Click, (to ? to : main)->window()->windowHandle(), k.key(), text,
                        k.keyboardModifiers());
}

} // namespace

class TestMainWnd : public QObject
{
    Q_OBJECT

    // A record file as writeRecord makes it; empty when it could not be written.
    QString recordFile(int channels, int length, const std::function<void(TWaveStor&)>& adjust = {},
                       const std::function<qint8(int, int)>& sample = burstSample)
    {
        const QString path = dir.filePath(QStringLiteral("w%1.raw").arg(++fileNumber));
        return writeRecord(path, channels, length, sample, adjust) ? path : QString();
    }
    // A window on such a file with the view stored in it, read as the Read command does.
    TWForm* openWith(int channels, int length, View stored, const std::function<void(TWaveStor&)>& more = {})
    {
        return main->openRawPath(recordFile(channels, length, [&](TWaveStor& r) {
            r.header.winStart = stored.start;
            r.header.winWidth = stored.width;
            if (more)
                more(r);
        }));
    }
    // Title and named labels of the dialog show opens; empty if none opened or it outlived closing.
    QStringList shownTexts(const std::function<void()>& show, const QList<const char*>& labels)
    {
        QStringList texts;
        ModalDriver<QDialog> driver([&](QDialog* d) {
            texts << d->windowTitle();
            for (const char* name : labels)
                texts << d->findChild<QLabel*>(QLatin1String(name))->text();
            d->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
        });
        show();
        return driver.handled == 1 && main->findChildren<QDialog*>().isEmpty() ? texts : QStringList();
    }

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    Ui::MainWindow* ui = nullptr;
    int fileNumber = 0;

private slots:
    void init()
    {
        startLibrary();
        main = makeMainWindow(QSize(1000, 700));
        QVERIFY(main && QTest::qWaitForWindowActive(main));
        ui = main->form();
        g_link.portName = demoPortName(); // the unit built into the program
        demoUnit().setPaced(false);
    }
    void cleanup()
    {
        if (main)
            qDeleteAll(main->forms()); // without their close rules
        delete main.data();
    }

    void refreshActions_data()
    {
        // Per control, in the order of the list below: 1 enabled, 0 disabled, - not concerned.
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no window") << 0 << QStringLiteral("000000000000----");
        QTest::newRow("ordinary window") << 1 << QStringLiteral("1111111111111101");
        QTest::newRow("spectrum window") << 2 << QStringLiteral("1111111100000010");
        QTest::newRow("window with a spectrum") << 3 << QStringLiteral("1111111100100001");
    }
    void refreshActions()
    {
        QFETCH(int, state);
        QFETCH(QString, expected);
        TWForm* f = main->newWindow();
        for (int ch = 0; ch < 4; ++ch)
            main->setReadout(f, ch, QStringLiteral("1uS"), QStringLiteral("1V"));
        std::tie(f->isSpectrum, f->hasSpectrum) = std::pair(state == 2, state == 3);
        if (state == 0) {
            f->close();
            QTRY_VERIFY(main->forms().isEmpty());
        }
        main->aSelectMode->setChecked(true);
        main->refreshActions();
        const QList<QObject*> controls = {
            ui->aPrint,        ui->mZoom,        ui->mColor,      ui->mProcessing,
            main->aSelectMode, main->aCentering, ui->mWindow,     main->aExport,
            ui->aSave,         ui->aInfo,        ui->aSin,        ui->mFilters,
            main->FltEdit,     ui->aDirectFFT,   ui->aReverseFFT, ui->aFFTView};
        for (int i = 0; i < controls.size(); ++i)
            QVERIFY2(expected[i] == '-' || controls[i]->property("enabled").toBool() == (expected[i] == '1'),
                     qPrintable(controls[i]->objectName()));
        // No selection mode without a window or on a spectrum; the readouts go with the last window.
        QCOMPARE(main->aSelectMode->isChecked(), state == 1 || state == 3);
        for (QLabel* l : {ui->tl1, ui->tl2, ui->tl3, ui->tl4, ui->yl1, ui->yl2, ui->yl3, ui->yl4})
            QVERIFY2(l->isVisibleTo(main) == (state > 0), qPrintable(l->objectName()));
    }

    void filterActions_data()
    {
        // The filter actions triggered in turn (D detection, F smoothing, d derivative, P square; a disabled
        // one ignores the trigger), the mode the window gets, and the actions' states after, in the order D F
        // d P: + checked, o unchecked, - unchecked and disabled.
        QTest::addColumn<QString>("triggers");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("states");
        QTest::newRow("none") << "" << 0 << "oo-o";
        QTest::newRow("detection") << "D" << 1 << "+o--";
        QTest::newRow("smoothing") << "F" << 2 << "o+-o";
        QTest::newRow("smoothing, derivative refused") << "Fd" << 2 << "o+-o";
        QTest::newRow("envelope") << "DF" << 3 << "++o-";
        QTest::newRow("envelope difference") << "DFd" << 4 << "+++-";
        QTest::newRow("smoothing off again") << "DFdF" << 1 << "+o--";
        QTest::newRow("detection off again") << "DFdD" << 2 << "o+-o";
        QTest::newRow("square") << "P" << 5 << "-o-+";
        QTest::newRow("smoothed square") << "PF" << 6 << "-+-+";
        QTest::newRow("square off again") << "PFP" << 2 << "o+-o";
        QTest::newRow("square refused after detection") << "DP" << 1 << "+o--";
        QTest::newRow("detection refused after square") << "PD" << 5 << "-o-+";
    }
    void filterActions()
    {
        QFETCH(QString, triggers);
        QFETCH(int, mode);
        TWForm* f = main->newWindow();
        main->FltEdit->setValue(7);
        const QList<QAction*> actions = {ui->aDetect, ui->aFiltering, ui->aDiff, ui->aPower};
        for (QChar c : triggers)
            actions[QStringLiteral("DFdP").indexOf(c)]->trigger();
        auto states = [&] {
            QString s;
            for (QAction* a : actions)
                s += QLatin1Char(!a->isEnabled() ? (a->isChecked() ? '#' : '-') : a->isChecked() ? '+' : 'o');
            return s;
        };
        int got = -1;
        QCOMPARE(f->record->filter(&got), 7);
        QCOMPARE(got, mode);
        QTEST(states(), "states");
        // The marks follow the active window and come back with it; the spin box applies its width.
        QCOMPARE(main->newWindow()->windowTitle(), QStringLiteral("NoName - 2"));
        QCOMPARE(states(), QStringLiteral("oo-o"));
        main->mdi()->setActiveSubWindow(f);
        QTEST(states(), "states");
        main->FltEdit->setValue(12);
        QCOMPARE(f->record->filter(&got), 12);
        QCOMPARE(got, mode);
    }

    void readOpensWindowAndSlidersFollow()
    {
        const QString path = recordFile(3, 100000, [](TWaveStor& r) {
            r.header.winStart = 5000;
            r.header.winWidth = 25000;
            r.header.vScale = 2000;
            r.header.showSine = 1;
            r.setFilter(3, 9);
        });
        TWForm* other = main->newWindow(); // active while reading: keeps its own view and scale
        QStringList filters;
        ModalDriver<QFileDialog> driver([&](QFileDialog* d) {
            filters = d->nameFilters();
            acceptFileDialog(d, path);
        });
        ui->aRead->trigger();
        QCOMPARE(filters, QStringList{QStringLiteral("Raw Data (*.raw)")});
        TWForm* f = main->activeForm();
        QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(path));
        QCOMPARE(f->view(), (View{5000, 25000}));
        QCOMPARE(main->lastDir, QDir::toNativeSeparators(dir.path()));
        QCOMPARE((QStringList{main->sbZXLabel->text(), main->sbZYLabel->text()}),
                 (QStringList{"25%", "200%"}));
        QCOMPARE((QList<int>{main->sbZX->value(), main->sbZY->value(), main->FltEdit->value()}),
                 (QList<int>{25, 200, 9}));
        QVERIFY(ui->aDetect->isChecked() && ui->aFiltering->isChecked() && ui->aSin->isChecked());
        QCOMPARE((QList<int>{other->record->header.vScale, other->record->header.winWidth}),
                 (QList<int>{1000, 0}));
        // The sliders reach the active window.
        main->sbZY->setValue(300);
        main->sbZX->setValue(50);
        QCOMPARE((QList<int>{f->record->header.vScale, f->view().width}), (QList<int>{3000, 50000}));
    }

    void storedView_data()
    {
        // A 1000-sample file's stored view and flags (external sync, detector), and what is shown.
        QTest::addColumn<View>("stored");
        QTest::addColumn<int>("extSync");
        QTest::addColumn<int>("detector");
        QTest::addColumn<View>("shown");
        QTest::addColumn<bool>("unipolar");
        QTest::newRow("width 0: the whole record") << View{0, 0} << 0 << 0 << View{0, 1000} << false;
        QTest::newRow("past the end") << View{950, 100} << 0 << 0 << View{900, 100} << false;
        QTest::newRow("external sync is no detector") << View{0, 1000} << 1 << 0 << View{0, 1000} << false;
        QTest::newRow("detector") << View{0, 1000} << 0 << 1 << View{0, 1000} << true;
    }
    void storedView()
    {
        QFETCH(View, stored);
        QFETCH(int, extSync);
        QFETCH(int, detector);
        TWForm* f = openWith(2, 1000, stored, [&](TWaveStor& r) {
            r.header.extSync = quint8(extSync);
            r.header.detector = quint8(detector);
        });
        QVERIFY(f);
        QTEST(f->view(), "shown");
        QTEST(f->record->channel(1)->unipolar, "unipolar");
    }

    void corruptFileOpensNothing()
    {
        const QString path = dir.filePath(QStringLiteral("corrupt.raw"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(600, 'x')) == 600);
        file.close();
        BoxAnswerer boxes(QMessageBox::Ok, 2);
        QVERIFY(!main->openRawPath(path));
        QTest::qWait(150);
        QVERIFY(main->mdi()->subWindowList().isEmpty());
        // The reader names the failed check (the magic is wrong), then the command warns.
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(
            boxes.seen[0].text.contains(QRegularExpression(QStringLiteral("0x[0-9a-f]*ac02(?![0-9a-f])"))));
        QCOMPARE(boxes.seen[1].text, QStringLiteral("Ошибка чтения файла 4"));
    }

    void save()
    {
        TWForm* f = main->openRawPath(recordFile(2, 4000));
        QVERIFY(f);
        f->record->channel(1)->setSample(7, -99);
        const QString path = dir.filePath(QStringLiteral("saved.raw"));
        main->lastDir = QStringLiteral("/elsewhere");
        ModalDriver<QFileDialog> driver(
            [&](QFileDialog* d) { acceptFileDialog(d, dir.filePath(QStringLiteral("saved"))); });
        ui->aSave->trigger();
        QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(path));
        QCOMPARE(main->lastDir, QDir::toNativeSeparators(dir.path()));
        TWaveStor back(QRect(0, 0, 100, 100));
        QVERIFY(back.readFile(path));
        QCOMPARE(back.channel(1)->sample(7), qint8(-99));
        QCOMPARE(back.channel(0)->sample(2000), burstSample(0, 2000));
        // An empty new record has nothing to save: a warning, and nothing written or renamed.
        ui->aNew->trigger();
        TWForm* empty = main->activeForm();
        QVERIFY(empty && empty != f);
        const QString emptyTitle = empty->windowTitle();
        const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        BoxAnswerer boxes(QMessageBox::Ok, 2);
        {
            ModalDriver<QFileDialog> emptyDriver(
                [&](QFileDialog* d) { acceptFileDialog(d, dir.filePath(QStringLiteral("empty.raw"))); });
            ui->aSave->trigger();
        }
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].text, QStringLiteral("Ошибка записи файла -1"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
        QCOMPARE(empty->windowTitle(), emptyTitle);
        QVERIFY(main->saveRawPath(dir.filePath(QStringLiteral("missing/x"))) != 0);
        QCOMPARE(boxes.seen.size(), 2);
    }

    void acquisition()
    {
        g_acquisitionParameters.halfLength = 1000;
        QSignalSpy run(ui->aRunADC, &QAction::enabledChanged);
        ui->aRunADC->trigger();                                                     // into a new window
        QCOMPARE(QList<QVariantList>(run), (QList<QVariantList>{{false}, {true}})); // disabled while it runs
        QPointer<TWForm> f = main->forms().value(0);
        QVERIFY(f && !f->record->isModified()); // the samples themselves are as the
                                                // unit sent them
        // A recording not saved yet is not closed without a question; once saved it is.
        {
            BoxAnswerer no(QMessageBox::No);
            QVERIFY(!f->close());
            QCOMPARE(no.seen.value(0).text,
                     QStringLiteral("Данные в окне NoName - 1 изменены!\nЗакрыть окно?"));
        }
        g_acquisitionParameters.halfLength = 1500;
        ui->aRunADC->trigger(); // into the active one, remade for the new length
        QCOMPARE(main->forms(), QList<TWForm*>{f});
        QCOMPARE((QList<int>{f->record->channelCount(), f->record->length()}), (QList<int>{4, 3000}));
        // Never into a spectrum or its source: into a new window, which goes again if the run fails.
        f->hasSpectrum = true;
        ui->aRunADC->trigger();
        QCOMPARE(main->forms().size(), 2);
        QCOMPARE(main->forms()[1]->windowTitle(), QStringLiteral("NoName - 2"));
        main->forms()[1]->isSpectrum = true;
        demoUnit().setFault(K4Fault{K4Fault::NoAck});
        BoxAnswerer boxes(QMessageBox::Ok);
        ui->aRunADC->trigger();
        demoUnit().setFault(K4Fault());
        QCOMPARE(boxes.seen.value(0).text, QStringLiteral("Ошибка загрузки!"));
        QCOMPARE(main->forms().size(), 2);
        f->hasSpectrum = false;
        QCOMPARE(f->save(dir.filePath(QStringLiteral("rec.raw"))), 0);
        BoxAnswerer none;
        QVERIFY(f->close());
        QTest::qWait(20);
        QVERIFY(none.seen.isEmpty());
    }

    void viewCommands_data()
    {
        QTest::addColumn<ViewCase>("c");
        auto row = [](const char* name, ViewCase c) { QTest::newRow(name) << c; };
        row("in: three wide gives two, start kept", {100, {7, 3}, 0, {7, 2}, 1, 98, "2%"});
        row("in: one sample does not grow", {1, {0, 1}, 0, {0, 1}, 1, 0, "100%"});
        row("in: 163840", {163840, {0, 163840}, 0, {40960, 81920}, 3, 27306, "50%"});
        row("out: cut on the left goes to the width", {1000, {10, 100}, -1, {0, 240}, 1, 760, "24%"});
        row("out: short record shown whole", {150, {10, 100}, -1, {0, 150}, 1, 0, "100%"});
        row("out: pushed back from the end", {1000, {900, 100}, -1, {800, 200}, 1, 800, "20%"});
        row("stretch: past the end moves start", {100000, {90000, 10000}, 1000, {0, 100000}, 1, 0});
        row("stretch: never below two", {100, {0, 100}, 10, {0, 2}, 1, 98});
        row("stretch: 1 percent of 100000", {100000, {0, 100000}, 10, {0, 1000}, 4, 24750});
    }
    void viewCommands()
    {
        QFETCH(ViewCase, c);
        const auto [length, stored, command, after, step, maximum, slider] = c;
        TWForm* f = openWith(4, length, stored);
        QVERIFY(f);
        command == 0  ? f->zoomIn()
        : command < 0 ? f->zoomOut()
                      : f->setStretchFromSlider(true, command, 1000);
        const View v = f->view();
        QCOMPARE(v, after);
        QCOMPARE((QList<int>{f->scrollStep, f->scrollBar->maximum(), f->scrollBar->value()}),
                 (QList<int>{step, maximum, v.start / step}));
        QCOMPARE(f->scrollBar->isEnabled(), maximum > 0);
        if (slider)
            QCOMPARE(main->sbZXLabel->text(), QString::fromLatin1(slider));
        // Scrolled to the end, the view ends inside the record.
        f->scrollBar->setValue(maximum);
        QCOMPARE(f->view(), (View{maximum * step, v.width}));
        QVERIFY(maximum * step + v.width <= length);
    }

    void scrollingMovesThePicture()
    {
        // One spike every 100 samples, the window maximised; what the screen shows is read back.
        TWForm* f =
            main->openRawPath(recordFile(1, 4000, {}, [](int, int i) { return qint8(i % 100 ? 0 : 100); }));
        QVERIFY(f);
        f->showMaximized();
        main->sbZX->setValue(25); // a quarter of the record, from its start
        QCOMPARE(f->view(), (View{0, 1000}));
        QVERIFY(f->scrollBar->isEnabled());
        const int w = f->plot->width(), h = f->plot->height();
        auto screen = [&] {
            QTest::qWait(30);
            const QPoint at = f->plot->mapTo(main, QPoint(0, 0));
            return main->screen()->grabWindow(main->winId(), at.x(), at.y(), w, h).toImage();
        };
        const QImage before = screen();
        f->scrollBar->setValue(250); // one unit is one sample here
        QCOMPARE(f->view().start, 250);
        // The picture moves left by the pixels of 250 samples; only the strip coming in is new.
        const int shift = int(std::lround(250 * (w - 2) / 999.0));
        const QImage after = screen();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x + shift < w; ++x)
                if (after.pixel(x, y) != before.pixel(x + shift, y))
                    QFAIL(qPrintable(QStringLiteral("column %1 row %2").arg(x).arg(y)));
    }

    void closing_data()
    {
        // Kind: 0 unchanged, 1 changed, 2 changed spectrum, 3 a spectrum's source; closed how: 0 the window,
        // 1 the main window, 2 aExit; the answer; whether it goes; the question (none: empty).
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("how");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("message");
        const QString changed = QStringLiteral("Данные в окне %1 изменены!\nЗакрыть окно?");
        const QString inverse = QStringLiteral("Выполнить обратное преобразование?");
        QTest::newRow("unchanged: no question") << 0 << 0 << QMessageBox::Cancel << true << QString();
        QTest::newRow("changed, yes") << 1 << 0 << QMessageBox::Yes << true << changed;
        QTest::newRow("changed, no") << 1 << 0 << QMessageBox::No << false << changed;
        QTest::newRow("spectrum, no") << 2 << 0 << QMessageBox::No << true << inverse;
        QTest::newRow("source: refused, even unchanged")
            << 3 << 0 << QMessageBox::Ok << false << QStringLiteral("Вначале закройте окно со спектром!");
        QTest::newRow("quit: changed, no, by aExit") << 1 << 2 << QMessageBox::No << false << changed;
        QTest::newRow("quit: spectrum closed before its source")
            << 3 << 1 << QMessageBox::Cancel << true << QString();
        QTest::newRow("quit: changed spectrum kept") << 2 << 1 << QMessageBox::Cancel << false << inverse;
    }
    void closing()
    {
        QFETCH(int, kind);
        QFETCH(int, how);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        QFETCH(QString, message);
        QPointer<TWForm> plain = main->openRawPath(recordFile(1, 500));
        QPointer<TWForm> f = main->openRawPath(recordFile(4, 512));
        // The spectrum's source, or the source's spectrum; the source is on top.
        QPointer<TWForm> other = kind >= 2 ? main->openRawPath(recordFile(4, 1000)) : nullptr;
        QVERIFY(plain && f);
        if (kind == 1)
            f->record->channel(2)->setSample(10, 5);
        if (kind >= 2) {
            TWForm* spectrum = kind == 2 ? f : other;
            spectrum->source = kind == 2 ? other : f;
            spectrum->isSpectrum = spectrum->source->hasSpectrum = true;
            if (kind == 3)
                main->mdi()->setActiveSubWindow(f);
        }
        f->changed = kind == 1 || kind == 2; // as zeroing leaves a window
        message.replace(QLatin1String("%1"), f->windowTitle());
        {
            BoxAnswerer boxes(answer, 3);
            if (how == 0)
                QCOMPARE(f->close(), closes);
            else if (how == 1)
                QCOMPARE(main->close(), closes);
            else
                ui->aExit->trigger();
            QTest::qWait(50);
            // Only the window's own question; a source was not asked and did not complain.
            QCOMPARE(boxes.seen.size(), message.isEmpty() ? 0 : 1);
            if (!message.isEmpty())
                QCOMPARE(boxes.seen[0].text, message);
            if (how == 0 && (kind == 1 || kind == 2))
                QCOMPARE(boxes.seen[0].buttonTexts.size(), 3); // yes, no, cancel
        }
        if (closes && how > 0) // the main window deletes itself, and its windows with it
            QTRY_VERIFY(!main && !plain && !f && !other);
        else if (closes)
            QTRY_VERIFY(!f);
        else
            QVERIFY(main && main->isVisible() && f && f->isVisible() &&
                    (kind != 2 || (plain && other->hasSpectrum)));
    }

    void recordInfo()
    {
        QCOMPARE(shownTexts([this] { main->showRecordInfo(); }, {}),
                 QStringList()); // no window
        TWaveStor& r = *main->newWindow()->record;
        QVERIFY(r.init(5, 2000));
        r.header.clockKHz = 12000;
        r.header.divider = 12;
        r.header.extSync = r.header.detector = 1;
        r.header.verMinor = 5;
        for (int ch = 0; ch < 5; ++ch) {
            r.channelHeader(ch)->gainCode = quint16(ch ? 2 * ch + 1 : 0);
            r.channelHeader(ch)->input = quint8(9 + ch);
        }
        QCOMPARE(shownTexts([this] { main->form()->aInfo->trigger(); },
                            {"verL", "numWL", "wSizeL", "frqL", "muxL", "syncL", "detL", "gainL"}),
                 (QStringList{"Информация", "Версия:1.05", "Количество графиков: 5", "Размер в сэмплах: 2000",
                              "Частота оцифровки: 1000000 Гц", "Входной мультиплексор: 9 10 11 12 13 ",
                              "Тип синхронизации: внешняя", "Детектор: вкл ", "Усиление: 1 8 32 128 512 "}));
    }

    void readoutContrast_data()
    {
        // Background of channel 3's readouts and the text colour the user chose first (none when invalid),
        // both through the colour commands; the colour of the text drawn.
        QTest::addColumn<QColor>("back");
        QTest::addColumn<QColor>("own");
        QTest::addColumn<QColor>("text");
        const QColor none, black(Qt::black), white(Qt::white), orange(255, 128, 0);
        QTest::newRow("blue") << QColor(0, 0, 255) << none << white;
        QTest::newRow("cyan") << QColor(0, 255, 255) << none << black;
        QTest::newRow("grey 116: white stands out more") << QColor(116, 116, 116) << none << white;
        QTest::newRow("grey 118: black stands out more") << QColor(118, 118, 118) << none << black;
        QTest::newRow("own black on blue") << QColor(0, 0, 255) << black << black;
        QTest::newRow("own orange on white") << white << orange << orange;
    }
    void readoutContrast()
    {
        QFETCH(QColor, back);
        QFETCH(QColor, own);
        QFETCH(QColor, text);
        main->setReadout(main->newWindow(), 2, QStringLiteral("   12.5uS"), QStringLiteral(" 1.250 V"));
        for (auto [a, c] : {std::pair(ui->aSetTC3, own), std::pair(ui->aSetBC3, back)}) {
            ModalDriver<QColorDialog> pick(
                [c = c](QColorDialog* d) { c.isValid() ? d->setCurrentColor(c), d->accept() : d->reject(); });
            a->trigger();
        }
        // The cores of the glyphs in the text colour, none in the other of black and white.
        const QColor other = text == QColor(Qt::black) ? QColor(Qt::white) : QColor(Qt::black);
        for (QLabel* l : {ui->tl3, ui->yl3}) {
            const QImage shot = l->grab().toImage();
            int drawn = 0, wrong = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    drawn += QColor(shot.pixel(x, y)) == text;
                    wrong += QColor(shot.pixel(x, y)) == other && other != back;
                }
            QVERIFY2(drawn > 5 && wrong == 0, qPrintable(QStringLiteral("%1 %2").arg(drawn).arg(wrong)));
        }
        g_readoutTextOwn[2] = false;
    }

    void windowCommandAfterDialog_data()
    {
        // Keys that open a kind of modal dialog ("sel": the active window's selection set to 10 ... 40,
        // "nosel": none) and the answers given there, then a window command by its keys.
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("command");
        const QList<std::tuple<const char*, QStringList, QStringList>> dialogs = {
            {"channels", {"Ctrl+Z"}, {"all"}},
            {"transform progress", {"Alt+О", "П"}, {}},
            {"channels, transform progress", {"Alt+О", "П", "sel", "Ctrl+Z", "Alt+О", "О"}, {"all", "all"}},
            {"acquisition", {"F9"}, {}},
            {"message box", {"nosel", "Ctrl+Z"}, {"ok"}},
            {"acquisition settings", {"Ctrl+A"}, {"OK"}},
            {"port settings", {"Ctrl+P"}, {"OK"}},
            {"FFT settings", {"Alt+О", "Н"}, {"OK"}},
            {"hit search settings", {"Alt+О", "А"}, {"Cancel"}},
            {"location settings", {"Alt+О", "Л"}, {"Cancel"}},
            {"series settings", {"Alt+Н", "Е"}, {"Cancel"}},
            {"record information", {"Ctrl+I"}, {"pushButton"}},
            {"FFT preview", {"Ctrl+Shift+F"}, {"okBtn"}},
        };
        for (const auto& [name, keys, answers] : dialogs)
            for (const char* c : {"close", "next", "previous", "tile", "cascade", "minimise", "minimise all"})
                QTest::addRow("%s, %s", name, c) << keys << answers << QString::fromLatin1(c);
    }
    void windowCommandAfterDialog()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, answers);
        QFETCH(QString, command);
        const WindowManager wm;
        g_acquisitionParameters.halfLength = 2048;
        for (int n = 0; n < 3; ++n)
            QVERIFY(main->openRawPath(recordFile(4, 4096)));
        std::tie(main->activeForm()->selStart, main->activeForm()->selEnd) = std::pair(100, 612);
        {
            Answers given(answers);
            for (const QString& k : keys) {
                if (k.endsWith(QLatin1String("sel")))
                    std::tie(main->activeForm()->selStart, main->activeForm()->selEnd) =
                        k == "sel" ? std::pair(10, 40) : std::pair(0, 0);
                else
                    press(wm, main, k.toUtf8().constData());
            }
            QCOMPARE(given.seen.size(), answers.size());
        }
        QVERIFY(!QApplication::activeModalWidget());

        QMdiArea* mdi = main->mdi();
        const QList<QMdiSubWindow*> all = mdi->subWindowList(QMdiArea::CreationOrder);
        const QPointer<QMdiSubWindow> active = mdi->activeSubWindow();
        const qsizetype i = all.indexOf(active), n = all.size();
        if (command == "close") {
            Answers keep({"cancel"}); // a window with changes asks first: the command arrived
            press(wm, main, "Ctrl+F4");
            QVERIFY(!active || keep.seen.size() == 1);
        } else if (command == "next" || command == "previous") {
            press(wm, main, command == "next" ? "Ctrl+F6" : "Ctrl+F7");
            QCOMPARE(mdi->activeSubWindow(), all[(i + (command == "next" ? 1 : n - 1)) % n]);
        } else if (command == "tile" || command == "cascade") {
            press(wm, main, command == "tile" ? "Shift+F4" : "Shift+F5");
            // Tiled windows share no pixel; cascaded ones overlap, each a step right of and below the one
            // before.
            QList<QRect> r;
            for (QMdiSubWindow* s : all)
                r << s->geometry();
            std::sort(r.begin(), r.end(), [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
            for (int a = 1; a < n; ++a)
                QVERIFY(command == "tile" ? !r[a].intersects(r[a - 1])
                                          : r[a].intersects(r[a - 1]) && r[a].x() > r[a - 1].x() &&
                                                r[a].y() > r[a - 1].y());
        } else {
            press(wm, main, "Alt+К");
            press(wm, main, command == "minimise" ? "И" : "В");
            for (QMdiSubWindow* s : all)
                QCOMPARE(s->isMinimized(), s == active || command == "minimise all");
        }
    }
};

QTEST_MAIN(TestMainWnd)
#include "tst_mainwnd.moc"
