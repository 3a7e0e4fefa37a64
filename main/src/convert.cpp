#include "convert.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Ln10 = 2.302585092994046;
// Prefix letters of the exponents -12, -9, ... 9.
constexpr char Prefixes[] = "pnum KMG";
constexpr int NoPrefix = 4; // index of the blank

// Tenths rounded half away from zero, kept within the 64-bit range.
qint64 roundedTenths(double tenths)
{
    constexpr double limit = 9.0e18;
    if (tenths >= limit)
        return qint64(limit);
    if (tenths <= -limit)
        return -qint64(limit);
    return std::llround(tenths);
}

} // namespace

QString padFixed(int width, int decimals, double value)
{
    QString text = QString::number(value, 'f', decimals);
    // A small negative value rounds to zero: a readout never shows "-0.0".
    if (text.startsWith(QLatin1Char('-')) &&
        text.count(QLatin1Char('0')) + text.count(QLatin1Char('.')) == text.size() - 1)
        text.remove(0, 1);
    return text.rightJustified(width, QLatin1Char(' '));
}

QString formatTime(int width, int index, double period)
{
    const double tenths = period * index * 10.0;
    if (!std::isfinite(tenths))
        return QStringLiteral("?").rightJustified(width, QLatin1Char(' '));
    const qint64 t = roundedTenths(tenths);
    // Digits of the magnitude; the sign goes in front of the whole number, so -7 is "-0.7".
    QString text = QString::number(t < 0 ? -t : t);
    if (text.size() > 1)
        text.insert(text.size() - 1, QLatin1Char('.'));
    else
        text.prepend(QStringLiteral("0."));
    if (t < 0)
        text.prepend(QLatin1Char('-'));
    return text.rightJustified(width, QLatin1Char(' '));
}

QString formatEng(int digits, double value)
{
    const double a = std::fabs(value);
    if (a >= 1e12) // infinity included
        return QStringLiteral("#######");
    const bool known = digits == 6 || digits == 7;
    const int width = known ? digits : 0;
    if (std::isnan(value))
        return QStringLiteral("?").rightJustified(width, QLatin1Char(' ')) + QLatin1Char(' ');

    int integerDigits = 1;
    int q = 0; // exponent / 3
    double shown = 0.0;
    if (a >= 1e-12) {
        if (a < 1.0) {
            const int e1 = int(std::floor(std::log(1.0 / a) / Ln10 + 0.9999999));
            static const int byRest[3] = {1, 3, 2};
            integerDigits = byRest[e1 % 3];
            q = (-2 - e1) / 3; // truncated toward zero
        } else {
            const int e1 = int(std::floor(std::log10(a)));
            integerDigits = e1 % 3 + 1;
            q = e1 / 3;
        }
        q = std::clamp(q, -NoPrefix, 3); // the letters end at p and G
        shown = value / std::exp(3 * q * Ln10);
    }
    QString text;
    if (known) {
        // 6 digits: 3, 2, 1 decimals for 1, 2, 3 integer digits; 7 digits: one more each.
        const int decimals = digits - 2 - integerDigits;
        text = padFixed(width, decimals, shown);
    }
    return text + QLatin1Char(Prefixes[q + NoPrefix]);
}

double gainFactor(int gainCode)
{
    if (gainCode < 0 || gainCode > 12)
        return 0.0;
    return double(4096 >> gainCode) * 9.5367431640625e-07; // 2^-20
}

double sampleVolts(int p, bool unipolar, int gainCode)
{
    return 2.5 * (unipolar ? p + 128 : 2 * p) * gainFactor(gainCode);
}
