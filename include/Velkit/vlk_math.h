#pragma once

#include <cmath>
#include <limits>

namespace velkit {

// The integer nearest to v, halves away from zero (2.5 -> 3, -2.5 -> -3). Values outside the
// int range, and NaN, are clamped so that callers never meet undefined conversions.
inline int roundHalfAway(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v); // std::round rounds halves away from zero
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

} // namespace velkit
