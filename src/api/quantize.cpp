#include "api/quantize.h"

#include <cmath>

double roundHalfEven(double x) {
    // Below 2^51 in magnitude, adding and subtracting 1.5 * 2^52 rounds to
    // the nearest integer, ties to even; larger values, infinities and NaN
    // are returned as they are. A zero result keeps the sign of x, as
    // floor and ceil give it.
    constexpr double kRound = 6755399441055744.0;
    if (!(std::fabs(x) < 2251799813685248.0)) return x;
    const double r = (x + kRound) - kRound;
    return r == 0.0 ? std::copysign(0.0, x) : r;
}

double quantizeToWidth(double x, int w, int noClamp) {
    const double s = powerOfTwo(w - 1);
    double r = roundHalfEven(s * x);
    if (noClamp == 0) {
        if (r >= s)
            r = std::floor(s * x);
        else if (r < -s)
            r = std::ceil(s * x);
    }
    return r / s;
}
