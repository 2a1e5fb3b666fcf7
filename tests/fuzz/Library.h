// What the fuzz targets share besides the loaded library and the capture of standard error: a cache of states, and a
// reader that turns the fuzzer's bytes into arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <list>
#include <string>
#include <utility>

#include "LoadedLibrary.h"
#include "Stderr.h"
#include "vfft_v8_0.h"

// The states of the last few generics, most recent first. Building a
// reference engine (65536 samples of registers) takes a quarter of a second
// under the fuzzing instrumentation, so such states are kept for the inputs
// that follow; the oldest is released when the cache is full.
template <class Value>
class RecentStates {
public:
    RecentStates(size_t capacity, std::function<void(Value&)> release)
        : capacity(capacity), release(std::move(release)) {}

    Value* find(const velmor_ip_vfft_v8_0_generics& g) {
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (std::memcmp(&it->first, &g, sizeof g) == 0) {
                entries.splice(entries.begin(), entries, it);
                return &entries.front().second;
            }
        return nullptr;
    }

    void add(const velmor_ip_vfft_v8_0_generics& g, Value v) {
        entries.emplace_front(g, std::move(v));
        if (entries.size() > capacity) {
            release(entries.back().second);
            entries.pop_back();
        }
    }

private:
    size_t capacity;
    std::function<void(Value&)> release;
    std::list<std::pair<velmor_ip_vfft_v8_0_generics, Value>> entries;
};

// True for about one input in `period`, decided by a hash of the whole input:
// any mutation draws again, and a saved input decides the same way on replay.
inline bool oneIn(uint32_t period, const uint8_t* data, size_t size) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h % period == 0;
}

// Reads the fuzzer's bytes front to back; past the end every read gives zero,
// so that any input decodes.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : p(data), end(data + size) {}

    uint8_t byte() { return p < end ? *p++ : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 8) | byte();
        return v;
    }
    int32_t i32() {
        const uint32_t u = u32();
        int32_t v;
        std::memcpy(&v, &u, sizeof v);
        return v;
    }
    double f64() {
        uint64_t u = static_cast<uint64_t>(u32()) << 32;
        u |= u32();
        double v;
        std::memcpy(&v, &u, sizeof v);
        return v;
    }
    // A value in [lo, hi].
    int32_t range(int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(byte() % (hi - lo + 1)); }

private:
    const uint8_t* p;
    const uint8_t* end;
};

inline uint64_t bitsOf(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline bool sameBits(const double* a, const double* b, size_t n) {
    return n == 0 || std::memcmp(a, b, n * sizeof(double)) == 0;
}

// Aborts with a description; the fuzzer saves the input that led here.
[[noreturn]] inline void fault(const std::string& what) {
    std::fprintf(stderr, "FAULT: %s\n", what.c_str());
    std::abort();
}
