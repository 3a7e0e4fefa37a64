// The FFT dialogs: the settings (OK and Cancel) and the preview (scroll range, buttons, marker).

#include "boxwatch.h"
#include "fft_dialog.h"
#include "settings.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

// A preview over channels of 1000 samples (i % 7 each), the given size button checked first;
// null when refused.
std::unique_ptr<TFFTDlg> preview(TWaveStor& rec, int channels, int width, int size = 256)
{
    rec.init(channels, 1000);
    QVector<TWaveView*> views;
    for (int ch = 0; ch < channels; ++ch) {
        for (int i = 0; i < 1000; ++i)
            rec.channel(ch)->setSample(i, qint8(i % 7));
        views << rec.channel(ch);
    }
    auto dlg = std::make_unique<TFFTDlg>(nullptr, Qt::WindowFlags());
    if (!dlg->setUp())
        return nullptr;
    dlg->findChild<QRadioButton*>(QStringLiteral("rB%1").arg(size))->setChecked(true);
    return dlg->init(views, 0, width, 1.0) ? std::move(dlg) : nullptr;
}

} // namespace

class TestFFTDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startLibrary(); }
    void cleanup()
    {
        g_winFun = 0;
        g_logScale = false;
    }

    void settings_data()
    {
        // The settings before; the radio button checked on opening; the one chosen ("": none),
        // whether the log box is clicked and the dialog accepted; the settings after.
        QTest::addColumn<int>("winFun");
        QTest::addColumn<bool>("logScale");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<bool>("toggleLog");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("newWinFun");
        QTest::addColumn<bool>("newLogScale");
        QTest::newRow("ExactBlackman shown, OK keeps it, log from the box")
            << 4 << false << "rbExactBlackman"
            << "" << true << true << 4 << true;
        QTest::newRow("Welch chosen") << 0 << false << "rbNone"
                                      << "rbWelch" << false << true << 5 << false;
        QTest::newRow("Cancel keeps both after changes") << 2 << true << "rbHanning"
                                                         << "rbWelch" << true << false << 2 << true;
    }
    void settings()
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
                checked += rb->isChecked() ? rb->objectName() : QString();
            auto* logBox = dlg->findChild<QCheckBox*>(QStringLiteral("logCB"));
            logShown = logBox->isChecked();
            if (!choose.isEmpty())
                dlg->findChild<QRadioButton*>(choose)->click();
            if (toggleLog)
                logBox->click();
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

    void previewRange_data()
    {
        // The width shown, the size chosen, the channels; samples per scroll unit (0: refused), the
        // scroll bar's maximum, the channel buttons shown.
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("buttons");
        QTest::newRow("515 shown, 512") << 515 << 512 << 1 << 1 << 3 << "1";
        QTest::newRow("100000 shown, 256") << 100000 << 256 << 3 << 4 << 24936 << "123";
        QTest::newRow("33022 shown: one sample a unit") << 33022 << 256 << 4 << 1 << 32766 << "1234";
        QTest::newRow("33023 shown: two") << 33023 << 256 << 5 << 2 << 16383 << "1234";
        QTest::newRow("514 shown: too narrow") << 514 << 512 << 1 << 0 << 0 << "";
    }
    void previewRange()
    {
        QFETCH(int, width);
        QFETCH(int, size);
        QFETCH(int, channels);
        QFETCH(int, step);
        QFETCH(int, maximum);
        TWaveStor rec;
        auto dlg = preview(rec, channels, width, size);
        QCOMPARE(bool(dlg), step != 0);
        if (!dlg)
            return;
        auto* bar = dlg->findChild<QScrollBar*>(QStringLiteral("sBar"));
        QCOMPARE((QList<int>{dlg->N, dlg->step, bar->minimum(), bar->maximum()}),
                 (QList<int>{size, step, 0, maximum}));
        QString shown;
        for (int b = 1; b <= 4; ++b)
            if (!dlg->findChild<QRadioButton*>(QStringLiteral("rB%1").arg(b))->isHidden())
                shown += QString::number(b);
        QTEST(shown, "buttons");
    }

    void marker()
    {
        TWaveStor rec;
        auto dlg = preview(rec, 1, 3000);
        QVERIFY(dlg);
        dlg->grab();
        // Pressed within 4 pixels of the marker it is grabbed, 5 away not; it stays inside the box.
        const struct
        {
            QEvent::Type type;
            int x;
            int markerX;
        } steps[] = {{QEvent::MouseButtonPress, 252, 248}, {QEvent::MouseMove, 124, 124},
                     {QEvent::MouseMove, 496, 124},        {QEvent::MouseButtonRelease, 124, 124},
                     {QEvent::MouseMove, 200, 124},        {QEvent::MouseButtonPress, 129, 124},
                     {QEvent::MouseMove, 300, 124}};
        for (const auto& s : steps) {
            const QPointF at(s.x, 100);
            QMouseEvent e(s.type, at, dlg->box->mapToGlobal(at), Qt::LeftButton,
                          s.type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(dlg->box, &e);
            QCOMPARE(dlg->markerX, s.markerX);
        }
        QCOMPARE(dlg->freqLabel->text(), QStringLiteral("F= 128.91KHz")); // bin 33 of 256 at 1 MHz
    }
};

QTEST_MAIN(TestFFTDialog)
#include "tst_fft_dialog.moc"
