// The FFT: window weights and the spectrum channel (quantisation, round trip, refusals, clamping).

#include "settings.h"
#include "ufft.h"
#include "wave_view.h"

#include <QProgressBar>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

namespace {

constexpr double Pi = 3.14159265358979323846;

// A channel of length samples, value(i) each; length / 2 for a spectrum: values unused.
std::unique_ptr<TWaveView> channelOf(int length, const std::function<int(int)>& value = {})
{
    auto v = std::make_unique<TWaveView>(length);
    v->allocate();
    for (int i = 0; value && i < length; ++i)
        v->setSample(i, qint8(value(i)));
    v->modified = false;
    return v;
}

} // namespace

class TestFFT : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { g_winFun = 0; }

    void windowValues_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QList<double>>("points"); // of 8: first, middle and last
        QTest::addColumn<int>("mirror");           // w(i) = w(mirror - i)
        const double c = std::cos(Pi / 4);         // point 7 of 8 is point 1 of the cosine windows
        QTest::newRow("none") << 0 << QList<double>{1, 1, 1} << 7;
        QTest::newRow("Parzen") << 1 << QList<double>{2.0 / 9, 8.0 / 9, 2.0 / 9} << 7;
        QTest::newRow("Hanning") << 2 << QList<double>{0, 1, 0.5 * (1 - c)} << 8;
        QTest::newRow("Hamming") << 3 << QList<double>{0.08, 1, 0.54 - 0.46 * c} << 8;
        QTest::newRow("ExactBlackman") << 4 << QList<double>{0, 1, 0.42 - 0.5 * c} << 8;
        QTest::newRow("Welch") << 5 << QList<double>{32.0 / 81, 80.0 / 81, 32.0 / 81} << 7;
        QTest::newRow("unknown type 6") << 6 << QList<double>{0, 0, 0} << 7;
    }
    void windowValues()
    {
        QFETCH(int, type);
        QFETCH(QList<double>, points);
        QFETCH(int, mirror);
        // Single-precision constants and angles: a few parts in 10^8.
        for (int p = 0; p < 3; ++p)
            QVERIFY2(std::abs(windowValue((7 * p + 1) / 2, 8, type) - points[p]) < 1e-6,
                     qPrintable(QString::number(p)));
        for (int i = mirror - 7; i < 8; ++i)
            QVERIFY2(std::abs(windowValue(i, 8, type) - windowValue(mirror - i, 8, type)) < 1e-6,
                     qPrintable(QString::number(i)));
    }

    void spectrumValues_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("logScale");
        QTest::addColumn<int>("bin");          // the peak; 0: an empty spectrum
        QTest::addColumn<double>("amplitude"); // of the tone, and of the peak
        QTest::newRow("beyond the source") << "tone" << 5000 << 0 << true << 0 << 60.0;
        QTest::newRow("unknown window weighs all by 0") << "tone" << 0 << 7 << false << 0 << 60.0;
        QTest::newRow("tone, dB") << "tone" << 0 << 0 << true << 100 << 60.0;
        QTest::newRow("tone, next to the highest bin") << "high" << 0 << 0 << false << 511 << 40.0;
        // The fundamental of a square wave of 127 exceeds 128: shown at the top, not wrapped.
        QTest::newRow("square wave, dB") << "square" << 0 << 0 << true << 64 << 4 / Pi * 127;
    }
    void spectrumValues()
    {
        QFETCH(QString, signal);
        QFETCH(int, start);
        QFETCH(int, window);
        QFETCH(bool, logScale);
        QFETCH(int, bin);
        QFETCH(double, amplitude);
        auto source = channelOf(2000, [&](int i) {
            const double t = 2.0 * Pi * i / 1024;
            return signal == "square"
                       ? ((i / 8) % 2 ? -127 : 127)
                       : std::lround(amplitude * std::cos((signal == "high" ? 511 : 100) * t + 0.3));
        });
        g_winFun = window;
        auto spectrum = channelOf(512);
        QCOMPARE(spectrum->forwardFFT(source.get(), start, 10, nullptr, logScale), int(SpectrumOk));
        QVERIFY(spectrum->spectrum && !spectrum->modified);
        QCOMPARE(spectrum->baseOffset, -128);
        if (bin == 0) {
            QCOMPARE(spectrum->specStep, 0.0f);
            for (int i = 0; i < 512; ++i)
                QCOMPARE(int(spectrum->sample(i)), -128);
            return;
        }
        const int s = spectrum->sample(bin - 1);
        const double step = spectrum->specStep;
        int deepest = 127; // in dB: of the bins that have a level (-128 stands for none)
        for (int i = 0; i < 512; ++i) {
            QVERIFY2(i == bin - 1 || spectrum->sample(i) < s, qPrintable(QString::number(i)));
            if (spectrum->sample(i) != -128)
                deepest = std::min<int>(deepest, spectrum->sample(i));
        }
        if (!logScale) {
            QCOMPARE(s, 255 - 128);
            QVERIFY(std::abs((s + 128) * step - amplitude) < 0.01 * amplitude);
        } else if (amplitude < 128) {
            QVERIFY(std::abs((s - 128) * step - 20.0 * std::log10(amplitude / 128.0)) <= step);
            QCOMPARE(deepest, -255 + 128);
        } else {
            QCOMPARE(s, 127);
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("halfWidth");
        for (int k = 2; k <= 17; ++k)
            QTest::addRow("2^%d", k) << k << int(pmNone) << 37 << (1 << k) + 100 << 3;
        for (int mode = pmDetect; mode <= pmPowerSmooth; ++mode)
            QTest::addRow("2^10, mode %d", mode) << 10 << mode << 37 << 1200 << 3;
        QTest::newRow("2^11 envelope difference over both ends")
            << 11 << int(pmEnvelopeDiff) << -20 << 2000 << 5;
        QTest::newRow("2^9 smoothing over both ends") << 9 << int(pmSmooth) << -7 << 300 << 126;
        QTest::newRow("2^17 squared") << 17 << int(pmPower) << 37 << MaxSamples << 3;
        QTest::newRow("stretch past the end") << 6 << int(pmNone) << 80 << 100 << 3;
        QTest::newRow("stretch before the start") << 6 << int(pmDetect) << -20 << 100 << 3;
    }
    // An untouched spectrum goes back into exactly the processed stretch, where the target has samples.
    void roundTrip()
    {
        QFETCH(int, k);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(int, mode);
        QFETCH(int, halfWidth);
        const int n = 1 << k;
        std::mt19937 gen{unsigned(k)};
        auto source = channelOf(length, [&](int) { return int(gen() % 256) - 128; });
        source->mode = quint8(mode);
        source->setSmoothing(halfWidth);
        auto spectrum = channelOf(n / 2);
        QProgressBar bar;
        bar.setRange(0, 100);
        bar.setValue(0);
        QCOMPARE(spectrum->forwardFFT(source.get(), start, k, &bar, false), int(SpectrumOk));
        QCOMPARE(bar.value(), k + 5);
        auto target = channelOf(length, [](int) { return 5; });
        spectrum->inverseFFT(target.get(), start, k, &bar);
        QCOMPARE(bar.value(), (k + 5) + (k + 3));
        QVERIFY(target->modified);
        for (int i = 0; i < length; ++i)
            QVERIFY2(target->sample(i) == (i >= start && i < start + n ? source->processedSample(i) : 5),
                     qPrintable(QString::number(i)));
    }

    // Without its third harmonic a square wave of 127 overshoots: held at the range's ends, not wrapped.
    void zeroedBinIsClamped()
    {
        auto square = channelOf(1024, [](int i) { return (i / 8) % 2 ? -127 : 127; });
        auto spectrum = channelOf(512);
        QCOMPARE(spectrum->forwardFFT(square.get(), 0, 10, nullptr, false), int(SpectrumOk));
        spectrum->zero(191, 191);
        spectrum->inverseFFT(square.get(), 0, 10, nullptr);
        QCOMPARE((QList<int>{square->sample(3), square->sample(11)}), (QList<int>{127, -128}));
    }

    void refusals()
    {
        auto source = channelOf(64, [](int i) { return i; });
        auto spectrum = channelOf(32);
        QCOMPARE(spectrum->forwardFFT(source.get(), 0, -1, nullptr, false), int(SpectrumNoReal));
        QCOMPARE(spectrum->forwardFFT(source.get(), 0, MaxSpectrumLog2 + 1, nullptr, false),
                 int(SpectrumNoReal));
        QVERIFY(!spectrum->spectrum);
        QCOMPARE(spectrum->forwardFFT(source.get(), 0, 6, nullptr, false), int(SpectrumOk));
        const qint8 first = spectrum->sample(0);
        QCOMPARE(spectrum->forwardFFT(source.get(), 10, 6, nullptr, true), int(SpectrumAlready));
        QCOMPARE(spectrum->sample(0), first);
        // Longer than the kept transform, or from a channel that is no spectrum: nothing written.
        auto target = channelOf(256, [](int) { return 9; });
        spectrum->inverseFFT(target.get(), 0, 7, nullptr);
        source->inverseFFT(target.get(), 0, 6, nullptr);
        QVERIFY(!target->modified);
        // Zeroing past the transform in a destination longer than the spectrum stays in its arrays.
        auto longer = channelOf(100);
        QCOMPARE(longer->forwardFFT(source.get(), 0, 6, nullptr, false), int(SpectrumOk));
        QVERIFY(longer->specSize >= 200);
        longer->zero(90, 99);
    }
};

QTEST_MAIN(TestFFT)
#include "tst_fft.moc"
