// The FFT dialogs: the settings (OK and Cancel) and the preview (scroll range, buttons, marker).

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

#include <functional>
#include <memory>

namespace {

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
    void marker();
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
    QTest::newRow("Cancel keeps both after changes") << 2 << true << "rbHanning"
                                                     << "rbWelch" << true << false << 2 << true;
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
    QString checked;
    bool logShown = !logScale;
    ModalDriver<QDialog> answer([&](QDialog* dlg) {
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
    QTest::newRow("100000 shown, 256") << 100000 << 256 << 3 << 4 << 24936 << "123";
    QTest::newRow("33022 shown: one sample a unit") << 33022 << 256 << 4 << 1 << 32766 << "1234";
    QTest::newRow("33023 shown: two") << 33023 << 256 << 5 << 2 << 16383 << "1234";
    QTest::newRow("514 shown: too narrow") << 514 << 512 << 1 << 0 << 0 << "";
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

QTEST_MAIN(TestFFTDialog)
#include "tst_fft_dialog.moc"
