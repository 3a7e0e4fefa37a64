// Readout texts and selection arithmetic, without a display: each row gives what the function
// made of its arguments and the text expected.

#include "convert.h"
#include "wave_form.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

void row(const char* name, const QString& got, const char* expected)
{
    QTest::newRow(name) << got << QString::fromUtf8(expected);
}

// changed, end and logarithm; an end that stays after a drag leaves its logarithm out.
QString selection(const wform::SelectionEnd& e, bool drag = false)
{
    return QStringLiteral("%1 %2").arg(int(e.changed)).arg(e.end) +
           (e.changed || !drag ? QStringLiteral(" %1").arg(e.log2) : QString());
}

QString drag(int start, int end, int s, bool mode, int length)
{
    return selection(wform::draggedSelectionEnd(start, end, s, length, mode), true);
}

} // namespace

class TestConvert : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts()
    {
        QFETCH(QString, got);
        QTEST(got, "expected");
    }
};

void TestConvert::texts_data()
{
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    row("1.25 milli", formatEng(6, 0.00125), " 1.250m");
    row("2.5 kilo", formatEng(6, 2500), " 2.500K");
    row("seven digits", formatEng(7, 1.5), " 1.5000 ");
    row("negative: no leading blank", formatEng(6, -0.5), "-500.0m");
    row("rounds up past the digits, same prefix", formatEng(6, 999.96), "1000.0 ");
    row("pico at the edge", formatEng(6, 1e-12), " 1.000p");
    row("below pico, negative: zero without a sign", formatEng(6, -1e-13), " 0.000 ");
    row("1e12", formatEng(6, 1e12), "#######");
    row("infinity", formatEng(6, Inf), "#######");
    row("not a number", formatEng(6, NaN), "     ? ");
    row("other digits: the letter alone", formatEng(5, 2500), "K");

    row("time 0", formatTime(7, 0, 3.7), "    0.0");
    row("12345 tenths", formatTime(7, 12345, 0.1), " 1234.5");
    row("time half up", formatTime(7, 1, 0.25), "    0.3");
    row("time half away from zero", formatTime(7, 1, -0.25), "   -0.3");
    row("no period", formatTime(7, 100, 0.0), "    0.0");
    row("time not a number", formatTime(7, 5, NaN), "      ?");

    // Readouts: amplitude (sample, unipolar, gain code), frequency (bin, period, length), spectrum
    // amplitude (stored sample, step), mean (mean, bipolar, gain code).
    row("time readout", wform::timeReadout(125, 0.1), "   12.5uS");
    row("bipolar 64: 1.25 V", wform::amplitudeReadout(64, false, 0, true), " 1.250 V");
    row("gain code 1 halves", wform::amplitudeReadout(64, false, 1, true), " 625.0mV");
    row("gain code 13 shifts every bit out", wform::amplitudeReadout(127, false, 13, true), " 0.000 V");
    row("unipolar 0 reads 128", wform::amplitudeReadout(0, true, 0, true), " 1.250 V");
    row("frequency of bin 0", wform::frequencyReadout(0, 0.2, 1024), " 2.4414KHz");
    row("frequency of an empty record", wform::frequencyReadout(3, 0.2, 0), "      ? Hz");
    row("linear spectrum", wform::spectrumAmplitudeReadout(127, 1.0, 0, false), " 4.980 V");
    row("dB at the top: at or above", wform::spectrumAmplitudeReadout(127, 0.5, 0, true), "≥-0.5 dB");
    row("dB at the top, a small step", wform::spectrumAmplitudeReadout(127, 0.02, 0, true), "≥0.0 dB");
    row("dB just below the top: no minus zero", wform::spectrumAmplitudeReadout(126, 0.02, 0, true),
        "0.0 dB");
    row("dB at the bottom", wform::spectrumAmplitudeReadout(-127, 0.5, 0, true), "-127.5 dB");
    row("dB without a level", wform::spectrumAmplitudeReadout(-128, 0.5, 0, true), "-???? dB");
    row("bipolar mean counts twice", wform::meanReadout(64, true, 0), " 1.250 V");
    row("unipolar mean", wform::meanReadout(192, false, 0), " 1.875 V");

    // The selection's end dragged to s (anchor, end, s, selection mode, length), or rounded.
    row("leftwards", drag(100, 100, 95, true, 1000), "1 96 2");
    row("same end: no change", drag(100, 104, 105, true, 1000), "0 104");
    row("past the end: no change", drag(90, 92, 102, true, 100), "0 92");
    row("back to the anchor", drag(100, 104, 100, true, 1000), "1 100 -1");
    row("mode off: as it is", drag(100, 100, 105, false, 1000), "1 105 1");
    row("mode off: clamped to 0", drag(5, 5, -40, false, 50), "1 0 1");
    row("2..5 of 8", selection(wform::roundedSelectionEnd(2, 5, 8)), "1 6 2");
    row("backwards", selection(wform::roundedSelectionEnd(5, 2, 8)), "1 1 2");
    row("backwards past 0: halved", selection(wform::roundedSelectionEnd(7, 0, 8)), "1 3 2");
    row("already a power of two", selection(wform::roundedSelectionEnd(2, 6, 8)), "0 6 2");
    row("empty", selection(wform::roundedSelectionEnd(3, 3, 8)), "0 3 1");
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
