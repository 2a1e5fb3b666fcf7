#include "api/quantize.h"

#include <cmath>

double roundHalfEven(double x) {
    const double f = std::floor(x);
    const double c = std::ceil(x);
    const double d = std::fabs(x - f);
    if (d < 0.5) return f;
    if (d > 0.5) return c;
    return std::fmod(f, 2.0) == 0.0 ? f : c;
}

double quantizeToWidth(double x, int w, int noClamp) {
    const double s = std::ldexp(1.0, w - 1);
    double r = roundHalfEven(s * x);
    if (noClamp == 0) {
        if (r >= s)
            r = std::floor(s * x);
        else if (r < -s)
            r = std::ceil(s * x);
    }
    return r / s;
}
