// The spectrum commands of a real main window: the forward FFT of a selection into a spectrum
// window, zeroing bands there, the inverse FFT back into the source, the close rules of the two
// windows, the commands they enable, and what a close request meets while a transform runs.

#include <QtTest>

#include "acquisition.h"
#include "fmain.h"
#include "init.h"
#include "selsig_dialog.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include <cmath>
#include <functional>

namespace {

using Samples = std::function<qint8(int ch, int i)>;

const QString AskInverse = QStringLiteral("Выполнить обратное преобразование?");
const QString AskWindow =
    QStringLiteral("Была использована оконная функция.\nДанные будут искажены.\nВыполнить преобразование?");
const QString ChannelsTitle = QStringLiteral("Преобразование");
const QString ProgressTitle = QStringLiteral("Идет преобразование...");

// Answers the modal dialogs as they come, one step each: "yes", "no", "cancel", "ok" press that
// button of a message box; "tick" ticks every channel of the channel dialog and presses OK,
// "first" only the first channel, "drop" presses its Cancel. Records each box's text and each channel dialog's title. A dialog
// beyond the steps is recorded as unexpected and dismissed, so that a test never hangs on it.
class Answers : public QObject
{
public:
    explicit Answers(QStringList steps)
        : steps(std::move(steps))
    {
        connect(&timer, &QTimer::timeout, this, &Answers::poll);
        timer.start(5);
    }
    QStringList seen;

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        auto* box = qobject_cast<QMessageBox*>(w);
        auto* channels = qobject_cast<TSelSigDlg*>(w);
        if (!box && !channels)
            return; // a progress dialog
        const QString step = steps.isEmpty() ? QString() : steps.takeFirst();
        if (box) {
            seen << (step.isEmpty() ? QStringLiteral("unexpected: ") : QString()) + box->text();
            static const QHash<QString, QMessageBox::StandardButton> buttons = {
                {"yes", QMessageBox::Yes}, {"no", QMessageBox::No}, {"cancel", QMessageBox::Cancel}};
            const QMessageBox::StandardButton b = buttons.value(step, QMessageBox::Ok);
            if (QAbstractButton* button = box->button(b))
                button->click();
            else
                box->done(b);
            return;
        }
        seen << (step.isEmpty() ? QStringLiteral("unexpected: ") : QString()) + channels->windowTitle();
        if (step == "tick")
            QTest::mouseClick(channels->findChild<QPushButton*>(QStringLiteral("allOn")), Qt::LeftButton);
        if (step == "first")
            channels->findChild<QCheckBox*>(QStringLiteral("selBox1"))->setChecked(true);
        const bool ok = step == "tick" || step == "first";
        QTest::mouseClick(channels->findChild<QPushButton*>(ok ? "okBtn" : "cancelBtn"), Qt::LeftButton);
    }

    QStringList steps;
    QTimer timer;
};

// Amplitude of the component of m cycles in samples from ... from + n - 1 of a channel, scaled as
// the program's forward transform scales it (a sine of amplitude a gives a).
double amplitudeAt(const TWaveView* v, int from, int n, int m)
{
    double re = 0.0, im = 0.0;
    for (int j = 0; j < n; ++j) {
        const double angle = 2.0 * M_PI * double(m) * j / n;
        re += v->sample(from + j) * std::cos(angle);
        im -= v->sample(from + j) * std::sin(angle);
    }
    return 2.0 / n * std::hypot(re, im);
}

// Two sines of whole periods in 1024 samples: 40 periods of amplitude 50, 200 of amplitude 40.
qint8 twoTones(int, int i)
{
    return qint8(std::lround(50.0 * std::sin(2.0 * M_PI * 40 * i / 1024) +
                             40.0 * std::sin(2.0 * M_PI * 200 * i / 1024 + 0.3)));
}

} // namespace

class TestSpectrum : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void filterEndToEnd();
    void spectrumSizes_data();
    void spectrumSizes();
    void spectrumOfTheSource_data();
    void spectrumOfTheSource();
    void stretchPastTheEnd();
    void closeRules_data();
    void closeRules();
    void commandStates_data();
    void commandStates();
    void transformHoldsItsWindows_data();
    void transformHoldsItsWindows();

private:
    // A new window of the main window holding channels x length samples, shown whole in a
    // 600 x 400 sub-window, nothing in it counted as changed.
    TWForm* sourceWindow(int channels, int length, const Samples& sample,
                         const std::function<void(TWaveStor&)>& tweak = {})
    {
        TWForm* f = main->newWindow();
        if (!f)
            return nullptr;
        f->resize(600, 400);
        delete f->record;
        f->record = new TWaveStor(f->plotRect);
        if (!f->record->init(channels, length))
            return nullptr;
        for (int ch = 0; ch < channels; ++ch) {
            TWaveView* v = f->record->channel(ch);
            for (int i = 0; i < length; ++i)
                v->setSample(i, sample(ch, i));
            v->visible = true;
            v->modified = false;
        }
        f->record->header.winWidth = length;
        if (tweak)
            tweak(*f->record);
        f->record->relayout();
        f->updateScrollBar();
        f->repaintPlot();
        main->mdi()->setActiveSubWindow(f);
        return f;
    }
    // Drags the selection with the right button from the column of sample a to that of b.
    static void select(TWForm* f, int a, int b)
    {
        const int row = f->plot->height() / 2;
        QTest::mousePress(f->plot, Qt::RightButton, {}, QPoint(f->record->sampleToX(a), row));
        QTest::mouseMove(f->plot, QPoint(f->record->sampleToX(b), row));
        QTest::mouseRelease(f->plot, Qt::RightButton, {}, QPoint(f->record->sampleToX(b), row));
        f->plot->grab(); // the paint carries the drag out
    }
    // The forward FFT command on the active window; the new spectrum window, or null.
    TWForm* forward()
    {
        const QList<TWForm*> before = main->forms();
        ui->aDirectFFT->trigger();
        const QList<TWForm*> after = main->forms();
        return after.size() == before.size() + 1 ? after.last() : nullptr;
    }
    // Zeroes samples from ... to of every channel of the spectrum through its command.
    void zeroBand(TWForm* spectrum, int from, int to)
    {
        main->mdi()->setActiveSubWindow(spectrum);
        spectrum->selStart = from;
        spectrum->selEnd = to;
        Answers answers({"tick"});
        ui->aZeroSign->trigger();
    }
    static QList<qint8> samples(const TWaveView* v)
    {
        QList<qint8> s;
        for (int i = 0; i < v->count; ++i)
            s << v->sample(i);
        return s;
    }
    // What the plot shows equals the record drawn afresh.
    static bool showsItsRecord(TWForm* f)
    {
        QImage fresh(f->plot->size(), QImage::Format_RGB32);
        fresh.fill(Qt::black);
        {
            QPainter p(&fresh);
            f->record->draw(&p);
        }
        return f->plot->grab().toImage().convertToFormat(QImage::Format_RGB32) == fresh;
    }
    QString actionStates() const
    {
        QString s;
        for (QAction* a : {ui->aDirectFFT, ui->aReverseFFT, ui->aFFTView, ui->aSave, ui->aInfo, ui->aSin,
                           ui->mFilters->menuAction()})
            s += a->isEnabled() ? '1' : '0';
        s += main->FltEdit->isEnabled() ? '1' : '0';
        s += main->aSelectMode->isChecked() ? '1' : '0';
        return s;
    }

    QPointer<MainWnd> main;
    Ui::MainWindow* ui = nullptr;
};

void TestSpectrum::init()
{
    if (!velkit::libraryMessager()) {
        static QTemporaryDir appDir; // no settings file
        g_appDir = appDir.path();
        velkit::vlkInit(umisc::programHooks());
        StringsKit::instance().fill();
        initProgramResources();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    g_winFun = 0;
    g_logScale = false;
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
}

void TestSpectrum::cleanup()
{
    if (main) {
        qDeleteAll(main->forms()); // without their close rules
        delete main.data();
    }
}

void TestSpectrum::filterEndToEnd()
{
    TWForm* source = sourceWindow(2, 4096, twoTones);
    QVERIFY(source);
    select(source, 1000, 2030); // by hand: about 1024 samples, made exactly 1024 by the command
    TWForm* spectrum = forward();
    QVERIFY(spectrum);
    QCOMPARE(std::abs(source->selEnd - source->selStart), 1024);
    const int start = std::min(source->selStart, source->selEnd);
    QCOMPARE(spectrum->record->length(), 512);
    QCOMPARE(main->activeForm(), spectrum);
    // Sample i shows bin i + 1: the stronger tone at the top of the scale, the other below.
    const TWaveView* s0 = spectrum->record->channel(0);
    QCOMPARE(s0->maxPosition(0, 511), 39);
    QCOMPARE(int(s0->sample(39)), 127);
    QVERIFY(std::abs(s0->sample(199) - (nearest(40.0 / 50.0 * 255) - 128)) <= 1);

    zeroBand(spectrum, 185, 215);
    QVERIFY(spectrum->changed);
    QCOMPARE(int(s0->sample(199)), -128);

    const QList<qint8> untouched = samples(source->record->channel(1));
    Answers answers({"first"});
    ui->aReverseFFT->trigger();
    QCOMPARE(answers.seen, QStringList{ChannelsTitle});
    const TWaveView* filtered = source->record->channel(0);
    // The tone in the zeroed band is gone from the stretch, the other stays.
    QVERIFY2(amplitudeAt(filtered, start, 1024, 200) < 0.4,
             qPrintable(QString::number(amplitudeAt(filtered, start, 1024, 200))));
    QVERIFY(std::abs(amplitudeAt(filtered, start, 1024, 40) - 50.0) < 1.5);
    // Nothing outside the stretch, nothing of the channel not ticked.
    QCOMPARE(int(filtered->sample(start - 1)), int(twoTones(0, start - 1)));
    QCOMPARE(int(filtered->sample(start + 1024)), int(twoTones(0, start + 1024)));
    QCOMPARE(samples(source->record->channel(1)), untouched);
    QVERIFY(source->record->isModified());
    QVERIFY(spectrum->isVisible() && spectrum->changed); // the inverse closes nothing
    QVERIFY(showsItsRecord(source));
}

void TestSpectrum::spectrumSizes_data()
{
    // A drag by the mouse, then the forward FFT: 0 for the warning.
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("mode");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("spectrum");
    QTest::newRow("4 samples give 2") << 300 << false << 100 << 104 << 2;
    QTest::newRow("3 rounded to 4") << 300 << false << 100 << 103 << 2;
    QTest::newRow("6 leftwards rounded to 8") << 300 << false << 108 << 102 << 4;
    QTest::newRow("about 1024 give 512") << 1500 << false << 200 << 1227 << 512;
    QTest::newRow("selection mode, 5 dragged to 4") << 300 << true << 100 << 105 << 2;
    QTest::newRow("2 samples: warning") << 300 << false << 100 << 102 << 0;
    QTest::newRow("1 sample: warning") << 300 << false << 100 << 101 << 0;
    QTest::newRow("no selection: warning") << 300 << false << 100 << 100 << 0;
}

void TestSpectrum::spectrumSizes()
{
    QFETCH(int, length);
    QFETCH(bool, mode);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, spectrum);
    TWForm* source = sourceWindow(2, length, [](int ch, int i) { return qint8((i * (ch + 1)) % 50); });
    QVERIFY(source);
    main->aSelectMode->setChecked(mode);
    select(source, from, to);
    Answers answers({"ok"});
    TWForm* made = forward();
    QTest::qWait(20);
    if (spectrum == 0) {
        QVERIFY(!made);
        QCOMPARE(answers.seen, QStringList{"Необходимо правильно выделить область."});
        QVERIFY(!source->hasSpectrum);
        return;
    }
    QVERIFY(made);
    QVERIFY(answers.seen.isEmpty());
    QCOMPARE(made->record->channelCount(), 2);
    QCOMPARE(made->record->length(), spectrum);
    QCOMPARE(made->windowTitle(), "FFT: " + source->windowTitle());
    QVERIFY(made->isSpectrum && made->source == source && source->hasSpectrum);
}

void TestSpectrum::spectrumOfTheSource_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("amplitude"); // of a tone of 64 periods in 1024 samples
    QTest::addColumn<int>("window");
    QTest::addColumn<bool>("dB");
    QTest::addColumn<QString>("frequency"); // readout of the peak bin
    QTest::addColumn<QString>("level");     // empty: not compared
    QTest::newRow("1.5 MHz, linear") << 12000 << 8 << 100 << 0 << false << "F1= 93.750KHz"
                                     << "A1= 488.3mV";
    QTest::newRow("Hanning, dB") << 12000 << 8 << 100 << 2 << true << "F1= 93.750KHz" << QString();
    QTest::newRow("no clock, silence") << 0 << 8 << 0 << 0 << false << "F1=      ? Hz" << "A1= 0.000 V";
    QTest::newRow("divider 0, silence, dB") << 12000 << 0 << 0 << 0 << true << "F1=      ? Hz"
                                            << "A1=-???? dB";
}

void TestSpectrum::spectrumOfTheSource()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QFETCH(int, amplitude);
    QFETCH(int, window);
    QFETCH(bool, dB);
    QFETCH(QString, level);
    g_winFun = window;
    g_logScale = dB;
    TWForm* source = sourceWindow(
        2, 1500,
        [amplitude](int ch, int i) {
            return ch ? qint8(0) : qint8(std::lround(amplitude * std::sin(2.0 * M_PI * 64 * i / 1024)));
        },
        [&](TWaveStor& r) {
            r.header.clockKHz = quint16(clockKHz);
            r.header.divider = divider;
            r.channelHeader(0)->gainCode = 2;
            r.channelHeader(0)->input = 5;
            r.channelHeader(1)->input = 6;
        });
    QVERIFY(source);
    select(source, 300, 1330);
    TWForm* spectrum = forward();
    QVERIFY(spectrum);
    const int start = std::min(source->selStart, source->selEnd);
    TWaveStor* r = spectrum->record;
    QCOMPARE((QList<int>{r->header.clockKHz, r->header.divider, r->header.winStart, r->header.winWidth}),
             (QList<int>{clockKHz, divider, 0, 512}));
    QCOMPARE((QList<int>{r->channelHeader(0)->gainCode, r->channelHeader(0)->input, r->channelHeader(1)->input}),
             (QList<int>{2, 5, 6}));
    QVERIFY(r->channel(0)->visible && r->channel(1)->visible && r->channel(1)->spectrum);
    QCOMPARE(spectrum->windowFunction, window);
    QCOMPARE(spectrum->logScale, dB);
    QVERIFY(!r->isModified()); // a fresh spectrum is no change
    if (amplitude) {
        QCOMPARE(r->channel(0)->maxPosition(0, 511), 63);
        if (!window) // the top of the linear scale is the magnitude of the tone
            QVERIFY(std::abs(255.0 * r->channel(0)->specStep -
                             amplitudeAt(source->record->channel(0), start, 1024, 64)) < 1e-3);
    }
    r->channel(0)->cursor = 63;
    spectrum->refreshReadout(0);
    QTEST(ui->tl1->text(), "frequency");
    if (!level.isEmpty())
        QCOMPARE(ui->yl1->text(), level);
    for (QLabel* l : {ui->tl1, ui->yl1, ui->tl2, ui->yl2})
        QVERIFY2(!l->text().contains("nan", Qt::CaseInsensitive) && !l->text().contains("inf"),
                 qPrintable(l->text()));
}

void TestSpectrum::stretchPastTheEnd()
{
    // 300 samples of 64 from 1200 to the end of the record, transformed as 1024.
    auto level = [](int, int) { return qint8(64); };
    TWForm* source = sourceWindow(1, 1500, level);
    TWForm* padded = sourceWindow(1, 2300, [](int, int i) { return qint8(i < 1500 ? 64 : 0); });
    QVERIFY(source && padded);
    main->aSelectMode->setChecked(true); // taken as it stands
    QList<TWForm*> spectra;
    for (TWForm* f : {source, padded}) {
        main->mdi()->setActiveSubWindow(f);
        f->selStart = 1200;
        f->selEnd = 2224;
        f->selLog2 = 10;
        spectra << forward();
        QVERIFY(spectra.last());
    }
    // The missing samples count as zeros.
    QCOMPARE(samples(spectra[0]->record->channel(0)), samples(spectra[1]->record->channel(0)));
    QCOMPARE(spectra[0]->record->channel(0)->specStep, spectra[1]->record->channel(0)->specStep);

    // Every bin but the mean cleared: the inverse gives the mean of the whole stretch,
    // 300 * 64 / 1024 = 18.75, and writes it only where the source has samples.
    zeroBand(spectra[0], 0, 512);
    Answers answers({"tick"});
    ui->aReverseFFT->trigger();
    QCOMPARE(answers.seen, QStringList{ChannelsTitle});
    const TWaveView* v = source->record->channel(0);
    QCOMPARE(v->count, 1500);
    QCOMPARE((QList<int>{v->sample(0), v->sample(1199), v->sample(1200), v->sample(1499)}),
             (QList<int>{64, 64, 19, 19}));
}

void TestSpectrum::closeRules_data()
{
    // A spectrum made with a window function or not, zeroed in a band or not, closed with the
    // dialogs answered in order; then its source is closed.
    QTest::addColumn<int>("window");
    QTest::addColumn<bool>("zeroed");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("transformed");
    QTest::newRow("unchanged: no question") << 0 << false << QStringList{} << QStringList{} << true << false;
    QTest::newRow("changed, cancel") << 0 << true << QStringList{"cancel"} << QStringList{AskInverse} << false
                                     << false;
    QTest::newRow("changed, no") << 0 << true << QStringList{"no"} << QStringList{AskInverse} << true << false;
    QTest::newRow("changed, yes") << 0 << true << QStringList{"yes", "tick"}
                                  << QStringList{AskInverse, ChannelsTitle} << true << true;
    QTest::newRow("changed, yes, channels cancelled")
        << 0 << true << QStringList{"yes", "drop"} << QStringList{AskInverse, ChannelsTitle} << true << false;
    QTest::newRow("window used, yes, yes") << 2 << true << QStringList{"yes", "yes", "tick"}
                                           << QStringList{AskInverse, AskWindow, ChannelsTitle} << true << true;
    QTest::newRow("window used, yes, no") << 4 << true << QStringList{"yes", "no"}
                                          << QStringList{AskInverse, AskWindow} << true << false;
    QTest::newRow("window used, yes, cancel")
        << 5 << true << QStringList{"yes", "cancel"} << QStringList{AskInverse, AskWindow} << false << false;
}

void TestSpectrum::closeRules()
{
    QFETCH(int, window);
    QFETCH(bool, zeroed);
    QFETCH(QStringList, steps);
    QFETCH(bool, closes);
    QFETCH(bool, transformed);
    g_winFun = window;
    TWForm* source = sourceWindow(2, 2048, twoTones);
    QVERIFY(source);
    source->selStart = 512;
    source->selEnd = 1536;
    QPointer<TWForm> spectrum = forward();
    QVERIFY(spectrum);
    const QList<qint8> before = samples(source->record->channel(0));
    if (zeroed)
        zeroBand(spectrum, 190, 210);

    // While the spectrum is open, its source refuses, changed or not.
    {
        Answers answers({"ok"});
        QVERIFY(!source->close());
        QCOMPARE(answers.seen, QStringList{"Вначале закройте окно со спектром!"});
    }
    {
        Answers answers(steps);
        QCOMPARE(spectrum->close(), closes);
        QTEST(answers.seen, "seen");
    }
    QCOMPARE(samples(source->record->channel(0)) != before, transformed);
    QCOMPARE(source->record->isModified(), transformed);
    if (!closes) {
        QVERIFY(spectrum && source->hasSpectrum);
        return;
    }
    QTRY_VERIFY(!spectrum);
    QVERIFY(!source->hasSpectrum);
    // Free now; changed data ask first.
    QPointer<TWForm> gone = source;
    Answers answers({"yes"});
    QVERIFY(source->close());
    QCOMPARE(answers.seen.size(), transformed ? 1 : 0);
    QTRY_VERIFY(!gone);
}

void TestSpectrum::commandStates_data()
{
    // aDirectFFT aReverseFFT aFFTView aSave aInfo aSin mFilters FltEdit, aSelectMode checked
    QTest::addColumn<int>("stage");
    QTest::addColumn<QString>("states");
    QTest::newRow("the new spectrum") << 0 << "010000000";
    QTest::newRow("its source") << 1 << "001001001";
    QTest::newRow("the source after the spectrum closed") << 2 << "101111111";
}

void TestSpectrum::commandStates()
{
    QFETCH(int, stage);
    TWForm* source = sourceWindow(1, 1024, [](int, int i) { return qint8(i % 9); });
    QVERIFY(source);
    // Past the end of the record: rounding would halve it.
    main->aSelectMode->setChecked(true);
    source->selStart = 900;
    source->selEnd = 1156;
    source->selLog2 = 8;
    QPointer<TWForm> spectrum = forward();
    QVERIFY(spectrum);
    if (stage >= 1) {
        main->aSelectMode->setChecked(false);
        main->mdi()->setActiveSubWindow(source);
        main->aSelectMode->trigger(); // on: the source's selection is where the inverse goes back
        QCOMPARE((QList<int>{source->selStart, source->selEnd, source->selLog2}), (QList<int>{900, 1156, 8}));
    }
    if (stage == 2) {
        QVERIFY(spectrum->close());
        QTRY_VERIFY(!spectrum);
        main->mdi()->setActiveSubWindow(source);
    }
    QCOMPARE(main->activeForm(), stage == 0 ? spectrum.data() : source);
    QTEST(actionStates(), "states");
}

void TestSpectrum::transformHoldsItsWindows_data()
{
    QTest::addColumn<bool>("inverse");
    QTest::newRow("forward") << false;
    QTest::newRow("inverse") << true;
}

void TestSpectrum::transformHoldsItsWindows()
{
    QFETCH(bool, inverse);
    TWForm* source = sourceWindow(2, 4096, twoTones);
    QVERIFY(source);
    source->selStart = 0;
    source->selEnd = 1024;
    QPointer<TWForm> spectrum;
    if (inverse) {
        spectrum = forward();
        QVERIFY(spectrum);
        zeroBand(spectrum, 190, 210);
    }
    const QList<TWForm*> windowsBefore = main->forms();
    TWaveStor* const sourceRecord = source->record;

    // Between two stages of the transform, close requests and commands arrive as the event loop
    // may bring them (a session ending, a queued call).
    struct Seen
    {
        QString title;
        bool modal = false;
        int maximum = -1;
        int last = -1;
        QList<bool> closed; // main window, source, spectrum, progress dialog
        bool acquired = true;
    } seen;
    QTimer between;
    connect(&between, &QTimer::timeout, this, [&] {
        auto* d = qobject_cast<UnClosableDialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible() || seen.maximum >= 0)
            return;
        auto* bar = d->findChild<QProgressBar*>();
        seen.title = d->windowTitle();
        seen.modal = d->windowModality() == Qt::ApplicationModal;
        seen.maximum = bar->maximum();
        connect(bar, &QProgressBar::valueChanged, this, [&seen](int v) { seen.last = v; });
        TWForm* other = spectrum; // the spectrum being made is no sub-window yet
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* f = qobject_cast<TWForm*>(w);
            if (!other && f && f != source && f->transforming)
                other = f;
        }
        seen.closed << main->close() << source->close() << (other ? other->close() : true) << d->close();
        seen.acquired = source->acquire(1, 100);
        // Nothing else is started on them.
        main->mdi()->setActiveSubWindow(source);
        ui->aDirectFFT->trigger();
        if (spectrum) {
            main->mdi()->setActiveSubWindow(spectrum);
            ui->aReverseFFT->trigger();
        }
    });
    between.start(0);
    Answers answers({"tick"});
    if (inverse) {
        main->mdi()->setActiveSubWindow(spectrum);
        ui->aReverseFFT->trigger();
    } else {
        spectrum = forward();
    }
    between.stop();
    QTest::qWait(20);

    QCOMPARE(seen.title, ProgressTitle);
    QVERIFY(seen.modal);
    QCOMPARE(seen.maximum, 2 * (10 + (inverse ? 3 : 5))); // two channels of 2^10
    QCOMPARE(seen.last, seen.maximum);
    QCOMPARE(seen.closed, (QList<bool>{false, false, false, false}));
    QVERIFY(!seen.acquired);
    QCOMPARE(answers.seen, inverse ? QStringList{ChannelsTitle} : QStringList{});
    // Everything is still there; the forward transform made one spectrum, the inverse none.
    QVERIFY(main && main->isVisible() && spectrum && source->record == sourceRecord);
    QCOMPARE(main->forms().size(), windowsBefore.size() + (inverse ? 0 : 1));
    QCOMPARE(spectrum->record->length(), 512);
    QVERIFY(!source->transforming && !spectrum->transforming);
    if (inverse)
        QVERIFY(amplitudeAt(source->record->channel(1), 0, 1024, 200) < 0.4);
    if (!inverse) // once it has ended, the windows close as usual
        QVERIFY(spectrum->close());
}

QTEST_MAIN(TestSpectrum)
#include "tst_spectrum.moc"
