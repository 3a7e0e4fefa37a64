// The FFT: the core against a direct transform, window weights, and the spectrum channel
// (quantisation, round trip, refusals, filtering).

#include "settings.h"
#include "ufft.h"
#include "wave_view.h"

#include <QProgressBar>
#include <QtTest>

#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;
using Floats = std::vector<float>;

template <typename F>
std::unique_ptr<TWaveView> channelOf(int length, F values)
{
    auto v = std::make_unique<TWaveView>(length);
    v->allocate();
    for (int i = 0; i < length; ++i)
        v->setSample(i, qint8(values(i)));
    v->modified = false;
    return v;
}

int randomByte(std::mt19937& gen)
{
    return int(gen() % 256) - 128;
}

// scale * sum x_j e^(sign 2 pi i m j / n), in double precision.
std::complex<double> dft(const Floats& re, const Floats& im, int m, int sign, double scale)
{
    const int n = int(re.size());
    std::complex<double> s = 0.0;
    for (int j = 0; j < n; ++j)
        s += std::complex<double>(re[size_t(j)], im[size_t(j)]) *
             std::polar(1.0, sign * 2.0 * Pi * double((qint64(m) * j) % n) / n);
    return s * scale;
}

} // namespace

class TestFFT : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { g_winFun = 0; }
    void coreAgainstDFT_data();
    void coreAgainstDFT();
    void windowValues_data();
    void windowValues();
    void spectrumValues_data();
    void spectrumValues();
    void roundTrip_data();
    void roundTrip();
    void zeroedBinIsFilteredOut();
    void refusals();
};

void TestFFT::coreAgainstDFT_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<int>("bins"); // bins compared, 0: all
    QTest::newRow("one point") << 0 << true << "complex" << 0;
    QTest::newRow("two points: (a + b, a - b)") << 1 << true << "random" << 0;
    QTest::newRow("impulse at 0") << 3 << true << "impulse0" << 0;
    QTest::newRow("impulse at 5") << 6 << true << "impulse5" << 0;
    QTest::newRow("tone in bin 3") << 5 << true << "tone" << 0;
    QTest::newRow("tone between bins") << 8 << true << "offtone" << 0;
    QTest::newRow("random, 128 points") << 7 << true << "random" << 0;
    QTest::newRow("random complex, 1024 points") << 10 << true << "complex" << 0;
    QTest::newRow("random complex inverse") << 9 << false << "complex" << 0;
    QTest::newRow("random, 2^17 points, some bins") << 17 << true << "random" << 24;
}

void TestFFT::coreAgainstDFT()
{
    QFETCH(int, k);
    QFETCH(bool, forward);
    QFETCH(QString, signal);
    QFETCH(int, bins);
    const int n = 1 << k;
    Floats re(static_cast<size_t>(n), 0.0f), im(static_cast<size_t>(n), 0.0f);
    std::mt19937 gen{unsigned(k)};
    double total = 0.0;
    for (int j = 0; j < n; ++j) {
        const double t = 2.0 * Pi * j / n;
        re[size_t(j)] = signal == "impulse0"   ? (j == 0 ? 100.0f : 0.0f)
                        : signal == "impulse5" ? (j == 5 ? -77.0f : 0.0f)
                        : signal == "tone"     ? float(std::lround(90.0 * std::cos(3 * t)))
                        : signal == "offtone"  ? float(std::lround(120.0 * std::sin(17.3 * t)))
                                               : float(randomByte(gen));
        im[size_t(j)] = signal == "complex" ? float(randomByte(gen)) : 0.0f;
        total += std::abs(re[size_t(j)]) + std::abs(im[size_t(j)]);
    }
    const Floats x = re, y = im;
    QCOMPARE(fft(forward, k, re.data(), im.data(), nullptr), 0);
    const double scale = forward ? 2.0 / n : 1.0;
    // Single-precision rounding, growing with the stages and the size of the input.
    const double tolerance = 5e-7 * (k + 1) * scale * total;
    for (int c = 0; c < (bins ? bins : n); ++c) {
        const int m = bins == 0 || c < 4 ? c : int(gen() % unsigned(n));
        const std::complex<double> want = dft(x, y, m, forward ? -1 : 1, scale);
        QVERIFY2(
            std::abs(want - std::complex<double>(re[size_t(m)], im[size_t(m)])) <= tolerance,
            qPrintable(QStringLiteral("bin %1: %2, expected %3").arg(m).arg(re[size_t(m)]).arg(want.real())));
    }
    if (!forward)
        return;
    // Back again: twice the input, within half the unit that rounding back to samples allows
    // (the single-precision twiddles drift to about 0.2 at 2^17).
    QCOMPARE(reverseFFT(re.data(), im.data(), k, nullptr), 0);
    for (int j = 0; j < n; ++j)
        QVERIFY2(std::abs(re[size_t(j)] - 2 * x[size_t(j)]) < 0.5 &&
                     std::abs(im[size_t(j)] - 2 * y[size_t(j)]) < 0.5,
                 qPrintable(QStringLiteral("point %1").arg(j)));
}

void TestFFT::windowValues_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<double>>("points"); // first, middle (n / 2) and last
    QTest::addColumn<int>("mirror");           // w(i) = w(mirror - i)
    const double c = std::cos(Pi / 4);         // point 7 of 8 is point 1 of the cosine windows
    QTest::newRow("none") << 0 << 8 << QList<double>{1, 1, 1} << 7;
    QTest::newRow("Parzen, 8") << 1 << 8 << QList<double>{2.0 / 9, 8.0 / 9, 2.0 / 9} << 7;
    QTest::newRow("Parzen, 9") << 1 << 9 << QList<double>{0.2, 1, 0.2} << 8;
    QTest::newRow("Hanning") << 2 << 8 << QList<double>{0, 1, 0.5 * (1 - c)} << 8;
    QTest::newRow("Hamming") << 3 << 8 << QList<double>{0.08, 1, 0.54 - 0.46 * c} << 8;
    QTest::newRow("ExactBlackman") << 4 << 8 << QList<double>{0, 1, 0.42 - 0.5 * c} << 8;
    QTest::newRow("ExactBlackman, 17")
        << 4 << 17
        << QList<double>{0, 0.42 + 0.5 * std::cos(Pi / 17) + 0.08 * std::cos(2 * Pi / 17),
                         0.42 - 0.5 * std::cos(2 * Pi / 17) + 0.08 * std::cos(4 * Pi / 17)}
        << 17;
    QTest::newRow("Welch, 8") << 5 << 8 << QList<double>{32.0 / 81, 80.0 / 81, 32.0 / 81} << 7;
    QTest::newRow("Welch, 17") << 5 << 17 << QList<double>{1 - 64.0 / 81, 1, 1 - 64.0 / 81} << 16;
    QTest::newRow("unknown type 6") << 6 << 8 << QList<double>{0, 0, 0} << 7;
    QTest::newRow("unknown type -1") << -1 << 8 << QList<double>{0, 0, 0} << 7;
    QTest::newRow("no points") << 2 << 0 << QList<double>{0, 0, 0} << 0;
}

void TestFFT::windowValues()
{
    QFETCH(int, type);
    QFETCH(int, n);
    QFETCH(QList<double>, points);
    QFETCH(int, mirror);
    // Single-precision constants and angles: a few parts in 10^8.
    const int at[3] = {0, n / 2, n - 1};
    for (int p = 0; p < 3; ++p)
        QVERIFY2(std::abs(windowValue(at[p], n, type) - points[p]) < 1e-6,
                 qPrintable(QStringLiteral("point %1: %2").arg(at[p]).arg(windowValue(at[p], n, type))));
    for (int i = mirror - n + 1; i < n; ++i)
        QVERIFY2(std::abs(windowValue(i, n, type) - windowValue(mirror - i, n, type)) < 1e-6,
                 qPrintable(QString::number(i)));
}

void TestFFT::spectrumValues_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("window");
    QTest::addColumn<bool>("logScale");
    QTest::addColumn<int>("bin");          // the peak; 0: an empty spectrum
    QTest::addColumn<double>("amplitude"); // of the peak
    QTest::newRow("silent, linear") << "silent" << 0 << 0 << false << 0 << 0.0;
    QTest::newRow("beyond the source") << "tone" << 5000 << 0 << true << 0 << 0.0;
    QTest::newRow("before the source") << "tone" << -1024 << 0 << false << 0 << 0.0;
    QTest::newRow("unknown window weighs all by 0") << "tone" << 0 << 7 << false << 0 << 0.0;
    QTest::newRow("tone, linear") << "tone" << 0 << 0 << false << 100 << 60.0;
    QTest::newRow("tone, dB") << "tone" << 0 << 0 << true << 100 << 60.0;
    QTest::newRow("tone, next to the highest bin") << "high" << 0 << 0 << false << 511 << 40.0;
    QTest::newRow("constant under Hanning: bin 1") << "constant" << 0 << 2 << false << 1 << 50.0;
    QTest::newRow("constant under Hamming") << "constant" << 0 << 3 << false << 1 << 46.0;
    // The fundamental of a square wave of 127 exceeds 128: shown at the top, not wrapped.
    QTest::newRow("square wave, dB") << "square" << 0 << 0 << true << 64 << 4 / Pi * 127;
}

void TestFFT::spectrumValues()
{
    QFETCH(QString, signal);
    QFETCH(int, start);
    QFETCH(int, window);
    QFETCH(bool, logScale);
    QFETCH(int, bin);
    QFETCH(double, amplitude);
    const int n = 1024;
    auto source = channelOf(2000, [&](int i) {
        const double t = 2.0 * Pi * i / n;
        return signal == "tone"       ? std::lround(60.0 * std::cos(100 * t + 0.3))
               : signal == "high"     ? std::lround(40.0 * std::cos(511 * t + 0.3))
               : signal == "constant" ? 100
               : signal == "square"   ? ((i / 8) % 2 ? -127 : 127)
                                      : 0;
    });
    g_winFun = window;
    TWaveView spectrum(n / 2);
    spectrum.allocate();
    QCOMPARE(spectrum.forwardFFT(source.get(), start, 10, nullptr, logScale), int(SpectrumOk));
    QVERIFY(spectrum.spectrum && !spectrum.modified);
    QCOMPARE(spectrum.baseOffset, -128);
    if (bin == 0) {
        QCOMPARE(spectrum.specStep, 0.0f);
        for (int i = 0; i < n / 2; ++i)
            QCOMPARE(int(spectrum.sample(i)), -128);
        return;
    }
    const int s = spectrum.sample(bin - 1);
    const double step = spectrum.specStep;
    int deepest = 127; // in dB: of the bins that have a level (-128 stands for none)
    for (int i = 0; i < n / 2; ++i) {
        if (i != bin - 1)
            QVERIFY2(spectrum.sample(i) < s, qPrintable(QString::number(i)));
        if (spectrum.sample(i) != -128)
            deepest = std::min<int>(deepest, spectrum.sample(i));
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

void TestFFT::roundTrip_data()
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
    QTest::newRow("2^11 envelope difference over both ends") << 11 << int(pmEnvelopeDiff) << -20 << 2000 << 5;
    QTest::newRow("2^9 smoothing over both ends") << 9 << int(pmSmooth) << -7 << 300 << 126;
    QTest::newRow("2^17 squared") << 17 << int(pmPower) << 37 << MaxSamples << 3;
    QTest::newRow("stretch past the end") << 6 << int(pmNone) << 80 << 100 << 3;
    QTest::newRow("stretch before the start") << 6 << int(pmDetect) << -20 << 100 << 3;
}

// An untouched spectrum made without a window goes back into exactly the processed stretch (each
// value as computed afresh for its sample alone), written only where the target has samples.
void TestFFT::roundTrip()
{
    QFETCH(int, k);
    QFETCH(int, mode);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, halfWidth);
    const int n = 1 << k;
    std::mt19937 gen{unsigned(k)};
    auto source = channelOf(length, [&](int) { return randomByte(gen); });
    source->mode = quint8(mode);
    source->setSmoothing(halfWidth);
    std::vector<int> want(static_cast<size_t>(length), 5);
    for (int i = std::max(start, 0); i < std::min(start + n, length); ++i)
        want[size_t(i)] = source->processedSample(i);

    TWaveView spectrum(n / 2);
    spectrum.allocate();
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.setValue(0);
    QCOMPARE(spectrum.forwardFFT(source.get(), start, k, &bar, false), int(SpectrumOk));
    QCOMPARE(bar.value(), k + 5);
    auto target = channelOf(length, [](int) { return 5; });
    spectrum.inverseFFT(target.get(), start, k, &bar);
    QCOMPARE(bar.value(), (k + 5) + (k + 3));
    QVERIFY(target->modified);
    for (int i = 0; i < length; ++i)
        QVERIFY2(target->sample(i) == want[size_t(i)], qPrintable(QStringLiteral("sample %1: %2, expected %3")
                                                                      .arg(i)
                                                                      .arg(target->sample(i))
                                                                      .arg(want[size_t(i)])));
}

// The frequency-domain filter on one channel: zeroing the bin of one of two tones removes it
// from the stretch written back and leaves the other.
void TestFFT::zeroedBinIsFilteredOut()
{
    const int k = 10, n = 1 << k;
    auto source = channelOf(n, [&](int i) {
        return std::lround(50.0 * std::sin(2.0 * Pi * 20 * i / n) + 40.0 * std::cos(2.0 * Pi * 150 * i / n));
    });
    TWaveView spectrum(n / 2);
    spectrum.allocate();
    QCOMPARE(spectrum.forwardFFT(source.get(), 0, k, nullptr, false), int(SpectrumOk));
    spectrum.zero(149, 149); // the bin of the second tone and its mirror
    spectrum.inverseFFT(source.get(), 0, k, nullptr);
    Floats re(static_cast<size_t>(n)), im(static_cast<size_t>(n), 0.0f);
    for (int j = 0; j < n; ++j)
        re[size_t(j)] = source->sample(j);
    QVERIFY(std::abs(dft(re, im, 150, -1, 2.0 / n)) < 0.5);
    QVERIFY(std::abs(std::abs(dft(re, im, 20, -1, 2.0 / n)) - 50.0) < 0.5);

    // Without its third harmonic a square wave of 127 rises beyond the range in the middle of
    // its plateaus: held at the ends of the range, not wrapped round.
    auto square = channelOf(n, [](int i) { return (i / 8) % 2 ? -127 : 127; });
    TWaveView squareSpectrum(n / 2);
    squareSpectrum.allocate();
    QCOMPARE(squareSpectrum.forwardFFT(square.get(), 0, k, nullptr, false), int(SpectrumOk));
    squareSpectrum.zero(191, 191);
    squareSpectrum.inverseFFT(square.get(), 0, k, nullptr);
    QCOMPARE(int(square->sample(3)), 127);
    QCOMPARE(int(square->sample(11)), -128);
}

void TestFFT::refusals()
{
    Floats re(8, 1.0f), im(8, 0.0f);
    QCOMPARE(fft(true, -1, re.data(), im.data(), nullptr), -1);
    QCOMPARE(fft(false, MaxFFTLog2 + 1, re.data(), im.data(), nullptr), -1);
    QCOMPARE(fft(true, 3, re.data(), nullptr, nullptr), -1);
    QCOMPARE(re[0], 1.0f); // nothing touched
    auto source = channelOf(64, [](int i) { return i; });
    TWaveView spectrum(32);
    spectrum.allocate();
    QCOMPARE(spectrum.forwardFFT(source.get(), 0, -1, nullptr, false), int(SpectrumNoReal));
    QCOMPARE(spectrum.forwardFFT(source.get(), 0, MaxSpectrumLog2 + 1, nullptr, false), int(SpectrumNoReal));
    QVERIFY(!spectrum.spectrum);
    QCOMPARE(spectrum.forwardFFT(source.get(), 0, 6, nullptr, false), int(SpectrumOk));
    const qint8 first = spectrum.sample(0);
    QCOMPARE(spectrum.forwardFFT(source.get(), 10, 6, nullptr, true), int(SpectrumAlready));
    QCOMPARE(spectrum.sample(0), first);
    // Longer than the kept transform, or from a channel that is no spectrum: nothing written.
    auto target = channelOf(256, [](int) { return 9; });
    spectrum.inverseFFT(target.get(), 0, 7, nullptr);
    source->inverseFFT(target.get(), 0, 6, nullptr);
    QVERIFY(!target->modified);
    // A destination longer than the spectrum: zeroing its far end (bins and mirrors past the
    // transform) stays inside the kept arrays.
    TWaveView longer(100);
    longer.allocate();
    QCOMPARE(longer.forwardFFT(source.get(), 0, 6, nullptr, false), int(SpectrumOk));
    QVERIFY(longer.specSize >= 200);
    longer.zero(90, 99);
}

QTEST_MAIN(TestFFT)
#include "tst_fft.moc"
