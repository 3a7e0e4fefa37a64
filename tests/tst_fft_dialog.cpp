// The FFT dialogs: the settings (OK and Cancel), the preview (scroll range, channel buttons,
// amplitudes, labels, marker) and both commands of the main window.

#include "boxwatch.h"
#include "fft_dialog.h"
#include "settings.h"
#include "uidriver.h"
#include "wave_form.h"

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

// Channel ch holds values(ch, i).
std::unique_ptr<TWaveStor> recordOf(int channels, int length, const std::function<int(int, int)>& values)
{
    auto rec = std::make_unique<TWaveStor>(QRect(0, 0, 800, 400));
    rec->init(channels, length);
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < length; ++i)
            rec->channel(ch)->setSample(i, qint8(values(ch, i)));
    return rec;
}

template <typename T = QRadioButton>
T* child(QWidget* w, const QString& name)
{
    return w->findChild<T*>(name);
}

// A preview over the record's channels, the given size button checked first; null when refused.
std::unique_ptr<TFFTDlg> preview(const TWaveStor& rec, int width, double period, int size = 256)
{
    auto dlg = std::make_unique<TFFTDlg>(nullptr, Qt::WindowFlags());
    if (!dlg->setUp())
        return nullptr;
    child(dlg.get(), QStringLiteral("rB%1").arg(size))->setChecked(true);
    QVector<TWaveView*> channels;
    for (int ch = 0; ch < rec.channelCount(); ++ch)
        channels << rec.channel(ch);
    return dlg->init(channels, 0, width, period) ? std::move(dlg) : nullptr;
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
    startLibrary();
}

void TestFFTDialog::cleanup()
{
    g_winFun = 0;
    g_logScale = false;
}

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
    QTest::newRow("outside 0 ... 5: None shown, OK gives 0") << 9 << false << "rbNone"
                                                             << "" << false << true << 0 << false;
}

void TestFFTDialog::settings()
{
    QFETCH(int, winFun);
    QFETCH(bool, logScale);
    QFETCH(QString, choose);
    QFETCH(bool, toggleLog);
    QFETCH(bool, ok);
    g_winFun = winFun;
    g_logScale = logScale;
    QString checked, title;
    bool logShown = !logScale;
    ModalDriver<QDialog> answer([&](QDialog* dlg) {
        title = dlg->windowTitle();
        for (auto* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                checked += rb->objectName();
        logShown = child<QCheckBox>(dlg, QStringLiteral("logCB"))->isChecked();
        if (!choose.isEmpty())
            child(dlg, choose)->click();
        if (toggleLog)
            child<QCheckBox>(dlg, QStringLiteral("logCB"))->click();
        dlg->findChild<QDialogButtonBox*>()
            ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    runFFTSettingsDialog(nullptr);
    QCOMPARE(title, QStringLiteral("Настройка БПФ"));
    QTEST(checked, "shown");
    QCOMPARE(logShown, logScale);
    QTEST(g_winFun, "newWinFun");
    QTEST(g_logScale, "newLogScale");
}

void TestFFTDialog::previewRange_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("step"); // 0: refused
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QString>("buttons"); // channel buttons shown
    QTest::newRow("515 shown, 512") << 515 << 512 << 1 << 1 << 3 << "1";
    QTest::newRow("515 shown, 128") << 515 << 128 << 2 << 1 << 387 << "12";
    QTest::newRow("100000 shown, 256") << 100000 << 256 << 3 << 4 << 24936 << "123";
    QTest::newRow("33022 shown: one sample a unit") << 33022 << 256 << 4 << 1 << 32766 << "1234";
    QTest::newRow("33023 shown: two") << 33023 << 256 << 5 << 2 << 16383 << "1234";
    QTest::newRow("514 shown: too narrow") << 514 << 512 << 1 << 0 << 0 << "";
    QTest::newRow("nothing shown") << 0 << 128 << 1 << 0 << 0 << "";
}

void TestFFTDialog::previewRange()
{
    QFETCH(int, width);
    QFETCH(int, size);
    QFETCH(int, channels);
    QFETCH(int, step);
    QFETCH(int, maximum);
    auto rec = recordOf(channels, 1000, [](int, int i) { return i % 7; });
    auto dlg = preview(*rec, width, 1.0, size);
    QCOMPARE(bool(dlg), step != 0);
    if (!dlg)
        return;
    QCOMPARE(dlg->N, size);
    QCOMPARE(dlg->step, step);
    auto* bar = child<QScrollBar>(dlg.get(), QStringLiteral("sBar"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), maximum);
    QString shown;
    for (int b = 1; b <= 4; ++b)
        if (!child(dlg.get(), QStringLiteral("rB%1").arg(b))->isHidden())
            shown += QString::number(b);
    QTEST(shown, "buttons");
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

// Amplitudes are drawn at twice their value; the stretch follows the channel button and the
// scroll bar; the channel's processing applies.
void TestFFTDialog::previewAmplitudes()
{
    QFETCH(int, button);
    QFETCH(int, scroll);
    auto rec = recordOf(4, 2000, [](int ch, int i) {
        const double t = 2 * Pi * i / 256;
        switch (ch) {
        case 0: return int(std::lround(50.0 * std::cos(10 * t)));
        case 1: return i < 1000 ? 0 : int(std::lround(127.0 * std::sin(30 * t)));
        case 2: return (i / 8) % 2 ? 127 : -127;
        default: return int(std::lround(100.0 * std::cos(8 * t)));
        }
    });
    rec->channel(3)->mode = pmDetect;
    auto dlg = preview(*rec, 2000, 1.0);
    QVERIFY(dlg);
    child(dlg.get(), QStringLiteral("rB%1").arg(button))->click();
    child<QScrollBar>(dlg.get(), QStringLiteral("sBar"))->setValue(scroll);
    int best = 0, bestBin = 0;
    for (int m = 1; m <= dlg->M; ++m) {
        if (dlg->spectrum[m - 1] > best) {
            best = dlg->spectrum[m - 1];
            bestBin = m;
        }
    }
    QTEST(best, "peak");
    QTEST(bestBin, "peakBin");
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
    auto rec = recordOf(1, 3000, [](int, int i) { return i % 5; });
    auto dlg = preview(*rec, 3000, period);
    QVERIFY(dlg);
    QCOMPARE(dlg->freqLabel->text(), QStringLiteral("F=0"));
    dlg->grab(); // the first paint
    QCOMPARE(dlg->markerX, 248);
    QTEST(dlg->freqLabel->text(), "frequency");
    QTEST(dlg->timeLabel->text(), "time");
    child(dlg.get(), QStringLiteral("rB512"))->click();
    QTEST(dlg->freqLabel->text(), "frequency512");
    QTEST(dlg->timeLabel->text(), "time512");
}

void TestFFTDialog::marker()
{
    auto rec = recordOf(1, 3000, [](int, int) { return 0; });
    auto dlg = preview(*rec, 3000, 1.0);
    QVERIFY(dlg);
    dlg->grab();
    const struct
    {
        QEvent::Type type;
        int x;
        int markerX;
    } steps[] = {
        {QEvent::MouseButtonPress, 252, 248},                                  // within 4 pixels: grabbed
        {QEvent::MouseMove, 124, 124},          {QEvent::MouseMove, 496, 124}, // outside the box
        {QEvent::MouseButtonRelease, 124, 124}, {QEvent::MouseMove, 200, 124},
        {QEvent::MouseButtonPress, 129, 124}, // 5 pixels away: not grabbed
        {QEvent::MouseMove, 300, 124},
    };
    for (const auto& s : steps) {
        mouse(dlg->box, s.type, s.x);
        QCOMPARE(dlg->markerX, s.markerX);
    }
    QCOMPARE(dlg->freqLabel->text(), QStringLiteral("F= 128.91KHz")); // bin 33 of 256 at 1 MHz
}

// The commands of the main window: settings, and the preview of the active window.
void TestFFTDialog::commands()
{
    QPointer<MainWnd> main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    {
        ModalDriver<QDialog> settings(
            [](QDialog* dlg) { dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); });
        g_logScale = true;
        main->findChild<QAction*>(QStringLiteral("aSetFFT"))->trigger();
        QCOMPARE(settings.handled, 1);
    }

    int previews = 0;
    auto viewFFT = [&] {
        ModalDriver<TFFTDlg> answer([](TFFTDlg* d) { d->accept(); });
        main->findChild<QAction*>(QStringLiteral("aFFTView"))->trigger();
        QTest::qWait(50);
        previews += answer.handled;
    };
    viewFFT(); // no window: nothing
    QCOMPARE(previews, 0);
    for (int shown : {300, 600}) {
        auto rec = recordOf(1, 600, [](int, int i) { return i % 9; });
        rec->header.winWidth = shown;
        const QString path = dir.filePath(QStringLiteral("view%1.raw").arg(shown));
        QCOMPARE(rec->writeFile(path), 0);
        QVERIFY(main->openRawPath(path));
        BoxAnswerer boxes(QMessageBox::Ok);
        viewFFT();
        QCOMPARE(previews, shown == 600 ? 1 : 0);
        QCOMPARE(boxes.seen.size(), shown == 600 ? 0 : 1);
        if (shown == 300)
            QCOMPARE(boxes.seen[0].text, StringsKit::instance().warnText(StringsKit::WarnTooNarrowForFFT));
    }
    qDeleteAll(main->forms());
    delete main.data();
}

QTEST_MAIN(TestFFTDialog)
#include "tst_fft_dialog.moc"
