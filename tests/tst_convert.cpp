// Readout texts and selection arithmetic, without a display.

#include "convert.h"
#include "wave_form.h"

#include <QtTest>

#include <cmath>
#include <limits>

using wform::SelectionEnd;
Q_DECLARE_METATYPE(SelectionEnd)

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestConvert : public QObject
{
    Q_OBJECT
private slots:
    void formatEng_data();
    void formatEng();
    void formatTime_data();
    void formatTime();
    void readouts_data();
    void readouts();
    void selectionEnd_data();
    void selectionEnd();
};

void TestConvert::formatEng_data()
{
    QTest::addColumn<int>("digits");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    auto row = [](const char* name, int digits, double value, const char* text) {
        QTest::newRow(name) << digits << value << QString::fromUtf8(text);
    };
    row("1.25 milli", 6, 0.00125, " 1.250m");
    row("2.5 kilo", 6, 2500, " 2.500K");
    row("seven digits", 7, 1.5, " 1.5000 ");
    row("negative: no leading blank", 6, -0.5, "-500.0m");
    row("rounds up past the digits, same prefix", 6, 999.96, "1000.0 ");
    row("pico at the edge", 6, 1e-12, " 1.000p");
    row("below pico, negative: zero without a sign", 6, -1e-13, " 0.000 ");
    row("1e12", 6, 1e12, "#######");
    row("infinity", 6, Inf, "#######");
    row("not a number", 6, NaN, "     ? ");
    row("other digits: the letter alone", 5, 2500, "K");
}

void TestConvert::formatEng()
{
    QFETCH(int, digits);
    QFETCH(double, value);
    QTEST(::formatEng(digits, value), "text");
}

void TestConvert::formatTime_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("period");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << 3.7 << "    0.0";
    QTest::newRow("12345 tenths") << 12345 << 0.1 << " 1234.5";
    QTest::newRow("half up") << 1 << 0.25 << "    0.3";
    QTest::newRow("half away from zero") << 1 << -0.25 << "   -0.3";
    QTest::newRow("no period") << 100 << 0.0 << "    0.0";
    QTest::newRow("not a number") << 5 << NaN << "      ?";
}

void TestConvert::formatTime()
{
    QFETCH(int, index);
    QFETCH(double, period);
    QTEST(::formatTime(7, index, period), "text");
}

void TestConvert::readouts_data()
{
    // Kinds: "t" time (a = cursor, x = period), "v" amplitude (a = sample, b = unipolar, g = gain
    // code), "f" frequency (a = bin, x = period, b = length), "lin" linear spectrum amplitude (a =
    // stored sample, x = step), "dB" (a = stored sample, x = step), "m" mean (a = mean, b = unipolar).
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("g");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("text");
    auto row = [](const char* name, const char* kind, int a, int b, int g, double x, const char* text) {
        QTest::newRow(name) << kind << a << b << g << x << QString::fromUtf8(text);
    };
    row("time", "t", 125, 0, 0, 0.1, "   12.5uS");
    row("bipolar 64: 1.25 V", "v", 64, 0, 0, 0, " 1.250 V");
    row("gain code 1 halves", "v", 64, 0, 1, 0, " 625.0mV");
    row("gain code 13 shifts every bit out", "v", 127, 0, 13, 0, " 0.000 V");
    row("unipolar 0 reads 128", "v", 0, 1, 0, 0, " 1.250 V");
    row("frequency of bin 0", "f", 0, 1024, 0, 0.2, " 2.4414KHz");
    row("frequency of an empty record", "f", 3, 0, 0, 0.2, "      ? Hz");
    row("linear spectrum", "lin", 127, 0, 0, 1.0, " 4.980 V");
    row("dB at the top: at or above", "dB", 127, 0, 0, 0.5, "≥-0.5 dB");
    row("dB at the top, a small step", "dB", 127, 0, 0, 0.02, "≥0.0 dB");
    row("dB just below the top: no minus zero", "dB", 126, 0, 0, 0.02, "0.0 dB");
    row("dB at the bottom", "dB", -127, 0, 0, 0.5, "-127.5 dB");
    row("dB without a level", "dB", -128, 0, 0, 0.5, "-???? dB");
    row("bipolar mean counts twice", "m", 64, 0, 0, 0, " 1.250 V");
    row("unipolar mean", "m", 192, 1, 0, 0, " 1.875 V");
}

void TestConvert::readouts()
{
    QFETCH(QString, kind);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, g);
    QFETCH(double, x);
    QString got;
    if (kind == "t")
        got = wform::timeReadout(a, x);
    else if (kind == "v")
        got = wform::amplitudeReadout(qint8(a), b != 0, g, true);
    else if (kind == "f")
        got = wform::frequencyReadout(a, x, b);
    else if (kind == "lin" || kind == "dB")
        got = wform::spectrumAmplitudeReadout(qint8(a), x, g, kind == "dB");
    else
        got = wform::meanReadout(a, b == 0, g);
    QTEST(got, "text");
}

void TestConvert::selectionEnd_data()
{
    // op: "drag" to sample s with selection mode on or off, "round" the selection as it is.
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<int>("s");
    QTest::addColumn<bool>("mode");
    QTest::addColumn<int>("length");
    QTest::addColumn<SelectionEnd>("expected");
    auto drag = [](const char* name, int start, int end, int s, bool mode, int length, SelectionEnd e) {
        QTest::newRow(name) << "drag" << start << end << s << mode << length << e;
    };
    auto round = [](const char* name, int start, int end, int length, SelectionEnd e) {
        QTest::newRow(name) << "round" << start << end << 0 << true << length << e;
    };
    drag("leftwards", 100, 100, 95, true, 1000, {true, 96, 2});
    drag("same end: no change", 100, 104, 105, true, 1000, {false, 104, 1});
    drag("past the end: no change", 90, 92, 102, true, 100, {false, 92, 1});
    drag("back to the anchor", 100, 104, 100, true, 1000, {true, 100, -1});
    drag("mode off: as it is", 100, 100, 105, false, 1000, {true, 105, 1});
    drag("mode off: clamped to 0", 5, 5, -40, false, 50, {true, 0, 1});
    round("2..5 of 8", 2, 5, 8, {true, 6, 2});
    round("backwards", 5, 2, 8, {true, 1, 2});
    round("backwards past 0: halved", 7, 0, 8, {true, 3, 2});
    round("already a power of two", 2, 6, 8, {false, 6, 2});
    round("empty", 3, 3, 8, {false, 3, 1});
}

void TestConvert::selectionEnd()
{
    QFETCH(QString, op);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(int, s);
    QFETCH(bool, mode);
    QFETCH(int, length);
    QFETCH(SelectionEnd, expected);
    const SelectionEnd e = op == "drag" ? wform::draggedSelectionEnd(selStart, selEnd, s, length, mode)
                                        : wform::roundedSelectionEnd(selStart, selEnd, length);
    QCOMPARE(e.changed, expected.changed);
    QCOMPARE(e.end, expected.end);
    if (e.changed || op == "round") // an end that stays gives its logarithm all the same
        QCOMPARE(e.log2, expected.log2);
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
