#include "convert.h"

#include "wave_view.h"

#include <cmath>

QString padFixed(int width, int decimals, double value)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.size() < width)
        text.prepend(QString(width - text.size(), QLatin1Char(' ')));
    return text;
}

QString formatTime(int width, int index, double period)
{
    QString text = QString::number(nearest(period * index * 10.0));
    if (text.size() > 1)
        text.insert(text.size() - 1, QLatin1Char('.'));
    else
        text.prepend(QStringLiteral("0."));
    if (text.size() < width)
        text.prepend(QString(width - text.size(), QLatin1Char(' ')));
    return text;
}

QString formatEng(int digits, double value)
{
    constexpr double Ln10 = 2.302585092994046;
    const double a = std::abs(value);
    if (!(a < 1e12))
        return QStringLiteral("#######");
    double shown = value;
    int integerDigits = 1;
    int q = 0;
    if (a < 1e-12) {
        shown = 0.0;
    } else if (a < 1.0) {
        const int e1 = int(std::floor(std::log(1.0 / a) / Ln10 + 0.9999999));
        static const int byRest[3] = {1, 3, 2};
        integerDigits = byRest[e1 % 3];
        q = (-2 - e1) / 3;
    } else {
        const int e1 = int(std::floor(std::log10(a)));
        integerDigits = e1 % 3 + 1;
        q = e1 / 3;
    }
    if (q != 0)
        shown = value / std::exp(3 * q * Ln10);
    QString text;
    if (digits == 6 || digits == 7)
        text = padFixed(digits, digits - 2 - integerDigits, shown);
    static const char prefixes[] = "pnum KMG";
    return text + QLatin1Char(prefixes[q + 4]);
}
