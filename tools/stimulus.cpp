#include "stimulus.h"

#include <cmath>

namespace vfft_cli {

Signal toneSignal(const std::vector<Tone>& tones, int points, int gridBits) {
    Signal s;
    s.re.resize(points);
    s.im.resize(points);
    for (int n = 0; n < points; ++n) {
        double re = 0, im = 0;
        for (const Tone& t : tones) {
            const double angle = 2.0 * M_PI * double((int64_t(t.bin) * n) % points) / points + t.phase;
            re += t.amplitude * std::cos(angle);
            im += t.amplitude * std::sin(angle);
        }
        s.re[n] = std::ldexp(std::floor(std::ldexp(re, gridBits)), -gridBits);
        s.im[n] = std::ldexp(std::floor(std::ldexp(im, gridBits)), -gridBits);
    }
    return s;
}

Signal impulseSignal(int points, int position, double re, double im) {
    Signal s;
    s.re.assign(points, 0.0);
    s.im.assign(points, 0.0);
    s.re[position] = re;
    s.im[position] = im;
    return s;
}

uint64_t Random::next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

Signal noiseSignal(int points, int gridBits, Random& random) {
    Signal s;
    s.re.resize(points);
    s.im.resize(points);
    const auto draw = [&] {
        const int64_t code = int64_t(random.next() >> (63 - gridBits)) - (int64_t(1) << gridBits);
        return std::ldexp(double(code), -gridBits);
    };
    for (int n = 0; n < points; ++n) {
        s.re[n] = draw();
        s.im[n] = draw();
    }
    return s;
}

}  // namespace vfft_cli
