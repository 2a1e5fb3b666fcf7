// Test signals: tones, impulses and full-scale noise, on a sample grid.
#ifndef VFFT_TOOLS_STIMULUS_H
#define VFFT_TOOLS_STIMULUS_H

#include <cstdint>
#include <vector>

namespace vfft_cli {

struct Tone {
    int bin;           // e^(2 pi i bin n / N)
    double amplitude;  // the sum of the amplitudes stays below 1
    double phase;      // radians
};

// Values of magnitude below 1 on the grid of steps 2^-gridBits, rounded
// towards minus infinity onto it.
struct Signal {
    std::vector<double> re, im;
};

Signal toneSignal(const std::vector<Tone>& tones, int points, int gridBits);
Signal impulseSignal(int points, int position, double re, double im);

// Deterministic 64-bit generator (splitmix64), so a seed gives the same
// vectors on every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next();

private:
    uint64_t state_;
};

// Uniform values over the whole grid of 2^gridBits steps per unit, from -1
// up to the largest value below 1: every code of a full-scale input.
Signal noiseSignal(int points, int gridBits, Random& random);

}  // namespace vfft_cli

#endif
