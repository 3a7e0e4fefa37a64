// The FFT dialogs: the settings (OK and Cancel), the preview (scroll range, channel buttons,
// amplitudes, labels, marker) and both commands of the main window.

#include "boxwatch.h"
#include "fft_dialog.h"
#include "fmain.h"
#include "init.h"
#include "settings.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

constexpr double Pi = 3.14159265358979323846;

// Channels of length samples; channel ch holds values(ch, i).
std::unique_ptr<TWaveStor> recordOf(int channels, int length, const std::function<int(int, int)>& values)
{
    auto rec = std::make_unique<TWaveStor>(QRect(0, 0, 800, 400));
    if (!rec->init(channels, length))
        return nullptr;
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < length; ++i)
            rec->channel(ch)->setSample(i, qint8(values(ch, i)));
    return rec;
}

QVector<TWaveView*> channelsOf(const TWaveStor& rec)
{
    QVector<TWaveView*> v;
    for (int ch = 0; ch < rec.channelCount(); ++ch)
        v << rec.channel(ch);
    return v;
}

template <typename T = QRadioButton>
T* child(const TFFTDlg& dlg, const QString& name)
{
    return dlg.findChild<T*>(name);
}

QScrollBar* scrollBarOf(const TFFTDlg& dlg)
{
    return child<QScrollBar>(dlg, QStringLiteral("sBar"));
}

// A preview set up over the record, the given size button checked first.
std::unique_ptr<TFFTDlg> preview(const TWaveStor& rec, int width, double period, int size = 256)
{
    auto dlg = std::make_unique<TFFTDlg>(nullptr, Qt::WindowFlags());
    if (!dlg->setUp())
        return nullptr;
    child(*dlg, QStringLiteral("rB%1").arg(size))->setChecked(true);
    if (!dlg->init(channelsOf(rec), 0, width, period))
        return nullptr;
    return dlg;
}

void mouse(QWidget* w, QEvent::Type type, int x)
{
    const QPointF at(x, 100);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestFFTDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void settings_data();
    void settings();
    void previewRange_data();
    void previewRange();
    void channelButtons_data();
    void channelButtons();
    void previewAmplitudes_data();
    void previewAmplitudes();
    void labels_data();
    void labels();
    void marker();
    void commands();

private:
    QTemporaryDir dir;
};

void TestFFTDialog::initTestCase()
{
    g_appDir = dir.path(); // no settings file
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
    initProgramResources();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestFFTDialog::cleanup()
{
    g_winFun = 0;
    g_logScale = false;
}

// ---- settings -----------------------------------------------------------------------------------

void TestFFTDialog::settings_data()
{
    QTest::addColumn<int>("winFun");
    QTest::addColumn<bool>("logScale");
    QTest::addColumn<QString>("shown");  // the radio button checked on opening
    QTest::addColumn<QString>("choose"); // "" leaves the radio buttons
    QTest::addColumn<bool>("toggleLog");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("newWinFun");
    QTest::addColumn<bool>("newLogScale");
    QTest::newRow("ExactBlackman shown, OK keeps it, log from the box") << 4 << false << "rbExactBlackman"
                                                                        << "" << true << true << 4 << true;
    QTest::newRow("Welch chosen") << 0 << false << "rbNone"
                                  << "rbWelch" << false << true << 5 << false;
    QTest::newRow("log unticked") << 1 << true << "rbParzen"
                                  << "" << true << true << 1 << false;
    QTest::newRow("Cancel keeps both after changes") << 2 << true << "rbHanning"
                                                     << "rbWelch" << true << false << 2 << true;
    QTest::newRow("value outside 0 ... 5: None shown, OK gives 0") << 9 << false << "rbNone"
                                                                   << "" << false << true << 0 << false;
}

void TestFFTDialog::settings()
{
    QFETCH(int, winFun);
    QFETCH(bool, logScale);
    QFETCH(QString, shown);
    QFETCH(QString, choose);
    QFETCH(bool, toggleLog);
    QFETCH(bool, ok);
    QFETCH(int, newWinFun);
    QFETCH(bool, newLogScale);
    g_winFun = winFun;
    g_logScale = logScale;
    QString checked, title;
    bool logShown = !logScale;
    QTimer::singleShot(0, this, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        QVERIFY(dlg);
        title = dlg->windowTitle();
        for (auto* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                checked += rb->objectName();
        auto* log = dlg->findChild<QCheckBox*>(QStringLiteral("logCB"));
        logShown = log->isChecked();
        if (!choose.isEmpty())
            dlg->findChild<QRadioButton*>(choose)->click();
        if (toggleLog)
            log->click();
        dlg->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
            ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    runFFTSettingsDialog(nullptr);
    QCOMPARE(title, QStringLiteral("Настройка БПФ"));
    QCOMPARE(checked, shown);
    QCOMPARE(logShown, logScale);
    QCOMPARE(g_winFun, newWinFun);
    QCOMPARE(g_logScale, newLogScale);
}

// ---- preview ------------------------------------------------------------------------------------

void TestFFTDialog::previewRange_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("maximum");
    QTest::newRow("515 shown, 512") << 515 << 512 << true << 1 << 3;
    QTest::newRow("515 shown, 128") << 515 << 128 << true << 1 << 387;
    QTest::newRow("100000 shown, 256") << 100000 << 256 << true << 4 << 24936;
    QTest::newRow("33022 shown, 256: one sample a unit") << 33022 << 256 << true << 1 << 32766;
    QTest::newRow("33023 shown, 256: two") << 33023 << 256 << true << 2 << 16383;
    QTest::newRow("514 shown: too narrow") << 514 << 512 << false << 0 << 0;
    QTest::newRow("nothing shown") << 0 << 128 << false << 0 << 0;
}

void TestFFTDialog::previewRange()
{
    QFETCH(int, width);
    QFETCH(int, size);
    QFETCH(bool, opens);
    QFETCH(int, step);
    QFETCH(int, maximum);
    auto rec = recordOf(1, 1000, [](int, int i) { return i % 7; });
    auto dlg = preview(*rec, width, 1.0, size);
    QCOMPARE(bool(dlg), opens);
    if (!dlg)
        return;
    QCOMPARE(dlg->N, size);
    QCOMPARE(dlg->step, step);
    QCOMPARE(scrollBarOf(*dlg)->minimum(), 0);
    QCOMPARE(scrollBarOf(*dlg)->maximum(), maximum);
}

void TestFFTDialog::channelButtons_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QString>("visible");
    QTest::newRow("one channel") << 1 << "1";
    QTest::newRow("two") << 2 << "12";
    QTest::newRow("three") << 3 << "123";
    QTest::newRow("four") << 4 << "1234";
    QTest::newRow("five: four buttons") << 5 << "1234";
}

void TestFFTDialog::channelButtons()
{
    QFETCH(int, channels);
    QFETCH(QString, visible);
    auto rec = recordOf(channels, 1000, [](int, int) { return 0; });
    auto dlg = preview(*rec, 600, 1.0);
    QVERIFY(dlg);
    QString shown;
    for (int b = 1; b <= 4; ++b)
        if (!child(*dlg, QStringLiteral("rB%1").arg(b))->isHidden())
            shown += QString::number(b);
    QCOMPARE(shown, visible);
}

void TestFFTDialog::previewAmplitudes_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("peakBin"); // 0: silence
    QTest::addColumn<int>("peak");
    QTest::newRow("channel 1, tone of 50 in bin 10") << 1 << 0 << 10 << 100;
    QTest::newRow("channel 2, silent stretch") << 2 << 0 << 0 << 0;
    QTest::newRow("channel 2, tone of 127 in bin 30") << 2 << 1200 << 30 << 254;
    QTest::newRow("channel 3, square wave clipped at 255") << 3 << 500 << 16 << 255;
    // |100 cos| has its fundamental at twice the frequency, 400 / (3 pi) = 42.4 in amplitude.
    QTest::newRow("channel 4, detected: twice the frequency") << 4 << 0 << 16 << 85;
}

// Amplitudes drawn at twice their value; the stretch follows the channel button and the scroll
// bar; the channel's processing applies.
void TestFFTDialog::previewAmplitudes()
{
    QFETCH(int, button);
    QFETCH(int, scroll);
    QFETCH(int, peakBin);
    QFETCH(int, peak);
    auto rec = recordOf(4, 2000, [](int ch, int i) {
        switch (ch) {
        case 0: return int(std::lround(50.0 * std::cos(2 * Pi * 10 * i / 256)));
        case 1: return i < 1000 ? 0 : int(std::lround(127.0 * std::sin(2 * Pi * 30 * i / 256)));
        case 2: return (i / 8) % 2 ? 127 : -127;
        default: return int(std::lround(100.0 * std::cos(2 * Pi * 8 * i / 256)));
        }
    });
    rec->channel(3)->mode = pmDetect;
    auto dlg = preview(*rec, 2000, 1.0);
    QVERIFY(dlg);
    child(*dlg, QStringLiteral("rB%1").arg(button))->click();
    scrollBarOf(*dlg)->setValue(scroll);
    dlg->recompute();
    int best = 0, bestBin = 0;
    for (int m = 1; m <= dlg->M; ++m)
        if (dlg->spectrum[m - 1] > best) {
            best = dlg->spectrum[m - 1];
            bestBin = m;
        }
    QCOMPARE(best, peak);
    QCOMPARE(bestBin, peakBin);
}

void TestFFTDialog::labels_data()
{
    QTest::addColumn<double>("period");
    QTest::addColumn<QString>("frequency"); // after the first paint, marker in the middle
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("frequency512"); // at once after choosing 512
    QTest::addColumn<QString>("time512");
    QTest::newRow("1 us") << 1.0 << "F= 253.91KHz"
                          << "T=   128.0 uS"
                          << "F= 251.95KHz"
                          << "T=   256.0 uS";
    QTest::newRow("10/3 us") << 10.0 / 3 << "F= 76.172KHz"
                             << "T=   426.7 uS"
                             << "F= 75.586KHz"
                             << "T=   853.3 uS";
    QTest::newRow("no clock") << 0.0 << "F=0"
                              << "T=     0.0 uS"
                              << "F=0"
                              << "T=     0.0 uS";
}

void TestFFTDialog::labels()
{
    QFETCH(double, period);
    QFETCH(QString, frequency);
    QFETCH(QString, time);
    QFETCH(QString, frequency512);
    QFETCH(QString, time512);
    auto rec = recordOf(1, 3000, [](int, int i) { return i % 5; });
    auto dlg = preview(*rec, 3000, period);
    QVERIFY(dlg);
    QCOMPARE(dlg->freqLabel->text(), QStringLiteral("F=0"));
    QCOMPARE(dlg->timeLabel->text(), QStringLiteral("T=0"));
    dlg->grab(); // the first paint
    QCOMPARE(dlg->markerX, 248);
    QCOMPARE(dlg->freqLabel->text(), frequency);
    QCOMPARE(dlg->timeLabel->text(), time);
    child(*dlg, QStringLiteral("rB512"))->click();
    QCOMPARE(dlg->freqLabel->text(), frequency512);
    QCOMPARE(dlg->timeLabel->text(), time512);
}

void TestFFTDialog::marker()
{
    auto rec = recordOf(1, 3000, [](int, int) { return 0; });
    auto dlg = preview(*rec, 3000, 1.0);
    QVERIFY(dlg);
    dlg->grab();
    QWidget* box = dlg->box;
    mouse(box, QEvent::MouseButtonPress, 252); // within 4 pixels
    mouse(box, QEvent::MouseMove, 124);
    QCOMPARE(dlg->markerX, 124);
    QCOMPARE(dlg->freqLabel->text(), QStringLiteral("F= 128.91KHz")); // bin 33 of 256 at 1 MHz
    mouse(box, QEvent::MouseMove, 496);                               // outside the box
    QCOMPARE(dlg->markerX, 124);
    mouse(box, QEvent::MouseButtonRelease, 124);
    mouse(box, QEvent::MouseMove, 200);
    QCOMPARE(dlg->markerX, 124);
    mouse(box, QEvent::MouseButtonPress, 129); // 5 pixels away: no grip
    mouse(box, QEvent::MouseMove, 300);
    QCOMPARE(dlg->markerX, 124);
}

// ---- the main window's commands -----------------------------------------------------------------

void TestFFTDialog::commands()
{
    MainWnd main;
    g_mainWnd = &main;
    QVERIFY(main.setupWindow());
    main.resize(1000, 700);
    main.show();
    velkit::MainContext ctx;
    ctx.window = &main;
    velkit::vlkSetMainWindow(ctx);
    auto* aSetFFT = main.findChild<QAction*>(QStringLiteral("aSetFFT"));
    auto* aFFTView = main.findChild<QAction*>(QStringLiteral("aFFTView"));
    QVERIFY(aSetFFT && aFFTView);

    // Settings: Welch and dB chosen.
    QTimer::singleShot(0, this, [] {
        QWidget* dlg = QApplication::activeModalWidget();
        QVERIFY(dlg);
        dlg->findChild<QRadioButton*>(QStringLiteral("rbWelch"))->click();
        dlg->findChild<QCheckBox*>(QStringLiteral("logCB"))->click();
        dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    aSetFFT->trigger();
    QCOMPARE(g_winFun, 5);
    QVERIFY(g_logScale);

    // Preview: nothing without a window; a narrow view is refused, a wide one opens the dialog.
    int previews = 0;
    auto countPreview = [&] {
        QTimer::singleShot(0, this, [&] {
            if (auto* d = qobject_cast<TFFTDlg*>(QApplication::activeModalWidget())) {
                ++previews;
                d->accept();
            }
        });
    };
    countPreview();
    aFFTView->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(previews, 0);

    for (int shown : {300, 600}) {
        auto rec = recordOf(1, 600, [](int, int i) { return i % 9; });
        rec->header.winWidth = shown;
        const QString path = dir.filePath(QStringLiteral("view%1.raw").arg(shown));
        QCOMPARE(rec->writeFile(path), 0);
        TWForm* w = main.openRawPath(path);
        QVERIFY(w);
        QCOMPARE(main.activeForm(), w);
        BoxAnswerer boxes(QMessageBox::Ok);
        countPreview();
        aFFTView->trigger();
        QCoreApplication::processEvents();
        if (shown == 300) {
            QCOMPARE(previews, 0);
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].text, StringsKit::instance().warnText(StringsKit::WarnTooNarrowForFFT));
        } else {
            QCOMPARE(previews, 1);
            QCOMPARE(boxes.seen.size(), 0);
        }
    }
    qDeleteAll(main.forms());
    g_mainWnd = nullptr;
}

QTEST_MAIN(TestFFTDialog)
#include "tst_fft_dialog.moc"
