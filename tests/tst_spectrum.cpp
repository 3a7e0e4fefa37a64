// The spectrum commands of a real main window, closing its windows, requests during a transform.

#include <QtTest>

#include "acquisition.h"
#include "boxwatch.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QMdiArea>
#include <QProgressBar>

#include <cmath>

namespace {

const QString AskInverse = QStringLiteral("Выполнить обратное преобразование?");
const QString AskWindow =
    QStringLiteral("Была использована оконная функция.\nДанные будут искажены.\nВыполнить преобразование?");
const QString Channels = QStringLiteral("Преобразование");

// Amplitude of m cycles in samples from ... from + n - 1, by a DFT in double precision.
double amplitudeAt(const TWaveView* v, int from, int n, int m)
{
    double re = 0.0, im = 0.0;
    for (int j = 0; j < n; ++j) {
        re += v->sample(from + j) * std::cos(2.0 * M_PI * m * j / n);
        im -= v->sample(from + j) * std::sin(2.0 * M_PI * m * j / n);
    }
    return 2.0 / n * std::hypot(re, im);
}

// 40 periods of amplitude 50 and 200 of amplitude 40 in every 1024 samples.
qint8 twoTones(int, int i)
{
    return qint8(std::lround(50.0 * std::sin(2.0 * M_PI * 40 * i / 1024) +
                             40.0 * std::sin(2.0 * M_PI * 200 * i / 1024 + 0.3)));
}

QList<qint8> samples(const TWaveView* v)
{
    QList<qint8> s;
    for (int i = 0; i < v->count; ++i)
        s << v->sample(i);
    return s;
}

} // namespace

class TestSpectrum : public QObject
{
    Q_OBJECT

    // A window on a record of channels x length samples, selected from a to b by a free-hand drag.
    TWForm* source(int channels, int length, const std::function<qint8(int, int)>& sample, int a, int b)
    {
        const QString path = dir.filePath(QString::number(++files) + ".raw");
        TWForm* f = writeRecord(path, channels, length, sample) ? main->openRawPath(path) : nullptr;
        if (f) {
            std::tie(f->selStart, f->selEnd, f->selLog2) = std::tuple(a, b, 1);
            main->mdi()->setActiveSubWindow(f);
        }
        return f;
    }
    // The forward FFT command on the active window: the new window, or null.
    TWForm* forward()
    {
        const qsizetype before = main->forms().size();
        ui->aDirectFFT->trigger();
        return main->forms().size() == before + 1 ? main->forms().last() : nullptr;
    }
    // Zeroes bins from ... to of every channel of the spectrum through the command.
    void zeroBand(TWForm* spectrum, int from, int to)
    {
        main->mdi()->setActiveSubWindow(spectrum);
        std::tie(spectrum->selStart, spectrum->selEnd) = std::pair(from, to);
        Answers answers({"all"});
        ui->aZeroSign->trigger();
    }

    QPointer<MainWnd> main;
    Ui::MainWindow* ui = nullptr;
    QTemporaryDir dir;
    int files = 0;

private slots:
    void init()
    {
        startLibrary();
        g_winFun = 0;
        g_logScale = false;
        QVERIFY(main = makeMainWindow(QSize(1000, 700)));
        ui = main->form();
        main->aSelectMode->setChecked(false);
    }
    void cleanup()
    {
        if (main)
            qDeleteAll(main->forms()); // without their close rules
        delete main.data();
    }

    void filterEndToEnd()
    {
        TWForm* src = source(2, 4096, twoTones, 2030, 1000); // leftwards, rounded to 1024: from 1006
        TWForm* spectrum = forward();
        QVERIFY(spectrum);
        QCOMPARE(src->selEnd, 1006);
        // Sample i shows bin i + 1: the stronger tone at the top of the linear scale.
        const TWaveView* s0 = spectrum->record->channel(0);
        QCOMPARE(int(s0->sample(39)), 127);
        QVERIFY(std::abs(s0->sample(199) - (std::lround(40.0 / 50.0 * 255) - 128)) <= 1);
        zeroBand(spectrum, 185, 215);
        QCOMPARE(int(s0->sample(199)), -128);

        const QList<qint8> other = samples(src->record->channel(1));
        Answers answers({"first"});
        ui->aReverseFFT->trigger();
        QCOMPARE(answers.seen, QStringList{Channels});
        // The zeroed tone is gone from the stretch, the other stays; nothing changes beside it.
        const TWaveView* filtered = src->record->channel(0);
        QVERIFY(amplitudeAt(filtered, 1006, 1024, 200) < 0.4);
        QVERIFY(std::abs(amplitudeAt(filtered, 1006, 1024, 40) - 50.0) < 1.5);
        QCOMPARE(filtered->sample(1005), twoTones(0, 1005));
        QCOMPARE(samples(src->record->channel(1)), other);
        QVERIFY(src->record->isModified());
    }

    void forwardCommand_data()
    {
        // A selection, then the forward FFT: the spectrum's length, 0 for the warning.
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("length");
        QTest::newRow("4 samples give 2") << 100 << 104 << 2;
        QTest::newRow("6 leftwards, 8") << 108 << 102 << 4;
        QTest::newRow("1024 give 512") << 200 << 1224 << 512;
        QTest::newRow("2 samples: warning") << 100 << 102 << 0;
    }
    void forwardCommand()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, length);
        TWForm* src = source(
            2, 1500, [](int ch, int i) { return qint8(i * (ch + 1) % 50); }, from, to);
        src->record->channelHeader(1)->gainCode = 3; // packed headers: no references into them
        Answers answers({"ok"});
        TWForm* made = forward();
        QCOMPARE(src->hasSpectrum, length != 0);
        if (!made) {
            QVERIFY(!length);
            QTRY_COMPARE(answers.seen, QStringList{"Необходимо правильно выделить область."});
            return;
        }
        TWaveStor* r = made->record;
        QCOMPARE(
            (QList<int>{r->channelCount(), r->length(), r->header.winWidth, r->channelHeader(1)->gainCode}),
            (QList<int>{2, length, length, 3}));
        QVERIFY(made->isSpectrum && made->source == src && !r->isModified());
    }

    void stretchPastTheEnd()
    {
        // 300 samples of 64 from 1200 to the end, transformed as 1024 in dB.
        g_logScale = true;
        main->aSelectMode->setChecked(true); // the selection taken as it stands
        TWForm* src = source(
            1, 1500, [](int, int) { return qint8(64); }, 1200, 2224);
        src->selLog2 = 10;
        TWForm* spectrum = forward();
        QVERIFY(spectrum && spectrum->logScale);
        // Selection mode switched on at the source leaves the stretch the inverse goes back to.
        main->mdi()->setActiveSubWindow(src);
        main->aSelectMode->setChecked(false);
        main->aSelectMode->trigger();
        QCOMPARE((QList<int>{src->selStart, src->selEnd, src->selLog2}), (QList<int>{1200, 2224, 10}));
        // All but the mean cleared: 300 * 64 / 1024 = 18.75, written only where the source has samples.
        zeroBand(spectrum, 0, 512);
        Answers answers({"all"});
        ui->aReverseFFT->trigger();
        const TWaveView* v = src->record->channel(0);
        QCOMPARE((QList<int>{v->count, v->sample(1199), v->sample(1200), v->sample(1499)}),
                 (QList<int>{1500, 64, 19, 19}));
    }

    void closeSpectrum_data()
    {
        // A changed spectrum made with a window function or not, closed with the dialogs answered.
        QTest::addColumn<int>("window");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("seen");
        const QStringList asked{AskInverse, AskWindow, Channels};
        QTest::newRow("no") << 0 << QStringList{"no"} << asked.mid(0, 1);
        QTest::newRow("yes") << 0 << QStringList{"yes", "all"} << QStringList{AskInverse, Channels};
        QTest::newRow("window used, yes, yes") << 2 << QStringList{"yes", "yes", "all"} << asked;
        QTest::newRow("window used, yes, cancel") << 5 << QStringList{"yes", "cancel"} << asked.mid(0, 2);
    }
    void closeSpectrum()
    {
        QFETCH(int, window);
        QFETCH(QStringList, steps);
        const bool closes = steps.last() != "cancel", transformed = steps.last() == "all";
        g_winFun = window;
        TWForm* src = source(2, 2048, twoTones, 512, 1536);
        QPointer<TWForm> spectrum = forward();
        QVERIFY(spectrum);
        const QList<qint8> before = samples(src->record->channel(0));
        zeroBand(spectrum, 190, 210);
        {
            Answers answers({"ok"}); // the source refuses while its spectrum is open
            QVERIFY(!src->close());
            QCOMPARE(answers.seen, QStringList{"Вначале закройте окно со спектром!"});
        }
        Answers answers(steps);
        QCOMPARE(spectrum->close(), closes);
        QTEST(answers.seen, "seen");
        QCOMPARE(samples(src->record->channel(0)) != before, transformed);
        QCOMPARE(src->hasSpectrum, !closes);
    }

    void transformHoldsItsWindows()
    {
        // Between two stages, close requests, an acquisition and the transform commands arrive.
        QVERIFY(main->newWindow()); // a bystander, before the others in the closing order
        TWForm* src = source(2, 4096, twoTones, 0, 1024);
        TWaveStor* const record = src->record;
        int last = -1;
        QList<bool> refused; // main window, source, progress dialog, acquisition
        QTimer between;
        connect(&between, &QTimer::timeout, this, [&] {
            auto* d = qobject_cast<UnClosableDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible() || !refused.isEmpty())
                return;
            connect(d->findChild<QProgressBar*>(), &QProgressBar::valueChanged, this,
                    [&last](int v) { last = v; });
            refused << !main->close() << !src->close() << !d->close() << !src->acquire(1, 100);
            ui->aDirectFFT->trigger();
        });
        between.start(0);
        TWForm* spectrum = forward();
        between.stop();
        QCOMPARE(last, 2 * (10 + 5)); // two channels of 2^10
        QCOMPARE(refused, QList<bool>(4, true));
        // Everything is still there, with one spectrum, which closes as usual once it has ended.
        QVERIFY(main && spectrum && src->record == record && main->forms().size() == 3);
        QVERIFY(spectrum->close());
    }
};

QTEST_MAIN(TestSpectrum)
#include "tst_spectrum.moc"
