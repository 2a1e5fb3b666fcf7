// Memory running out while a state is built: this program replaces the
// global allocation functions with counting ones that can be told to fail
// from the k-th allocation on. For every configuration and every k up to the
// number of allocations a successful create_state makes, create_state must
// return null without an exception and leave no allocation behind; with the
// allocator healthy again the next state must work. Linked against the
// static archive of one datapath.
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#include "vfft_v8_0.h"

namespace {

long allocations = 0;  // made since the program started
long live = 0;         // not yet released
long failFrom = -1;    // the allocation number from which new fails; -1: never

void* allocate(std::size_t size, std::size_t alignment) {
    if (failFrom >= 0 && allocations >= failFrom) return nullptr;
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        p = std::malloc(size == 0 ? 1 : size);
    } else if (posix_memalign(&p, alignment, size == 0 ? 1 : size) != 0) {
        p = nullptr;
    }
    if (p != nullptr) {
        ++allocations;
        ++live;
    }
    return p;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    --live;
    std::free(p);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment) {
    void* p = allocate(size, alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return allocateOrThrow(n, 0); }
void* operator new[](std::size_t n) { return allocateOrThrow(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace {

int failures = 0;

void fail(const char* what, const velmor_ip_vfft_v8_0_generics& g, long k) {
    std::printf("FAILED: %s (C_ARCH %d, C_NFFT_MAX %d, C_USE_FLT_PT %d, failing from allocation %ld)\n", what,
                g.C_ARCH, g.C_NFFT_MAX, g.C_USE_FLT_PT, k);
    ++failures;
}

// A healthy state of these generics transforms a frame.
bool works(velmor_ip_vfft_v8_0_state* st, const velmor_ip_vfft_v8_0_generics& g) {
    const int32_t n = 1 << g.C_NFFT_MAX;
    const int32_t stages = g.C_ARCH == 1 || g.C_ARCH == 3 ? (g.C_NFFT_MAX + 1) / 2 : g.C_NFFT_MAX;
    std::vector<double> re(n, 0.0), im(n, 0.0), xkRe(n, 1.0), xkIm(n, 1.0);
    std::vector<int32_t> schedule(stages, 0);  // an impulse does not grow
    re[0] = 0.5;
    velmor_ip_vfft_v8_0_inputs in{g.C_NFFT_MAX, re.data(), n, im.data(), n, schedule.data(), stages, 1};
    velmor_ip_vfft_v8_0_outputs out{xkRe.data(), n, xkIm.data(), n, 0, 0};
    return velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out) == 0 && xkRe[n - 1] > 0.4 && xkIm[n - 1] == 0.0;
}

void exhaust(const velmor_ip_vfft_v8_0_generics& g) {
    const long before = live;
    const long start = allocations;
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
    const long count = allocations - start;
    if (st == nullptr || count == 0) fail("a healthy create_state", g, -1);
    velmor_ip_vfft_v8_0_destroy_state(st);
    if (live != before) fail("destroy_state released less than create_state took", g, -1);
    for (long k = 0; k < count; ++k) {
        failFrom = allocations + k;
        try {
            st = velmor_ip_vfft_v8_0_create_state(g);
            if (st != nullptr) {
                fail("create_state gave a state without memory", g, k);
                velmor_ip_vfft_v8_0_destroy_state(st);
            }
        } catch (...) {
            fail("an exception left create_state", g, k);
        }
        failFrom = -1;
        if (live != before) fail("create_state kept memory after failing", g, k);
    }
    st = velmor_ip_vfft_v8_0_create_state(g);
    if (st == nullptr || !works(st, g)) fail("a state built after the failures", g, -1);
    velmor_ip_vfft_v8_0_destroy_state(st);
    if (live != before) fail("memory kept after the last state", g, -1);
}

}  // namespace

int main() {
    int configurations = 0;
    // Every architecture at its smallest length in fixed point and at a
    // longer one in floating point.
    for (int32_t arch = 1; arch <= 4; ++arch)
        for (int32_t single = 0; single <= 1; ++single) {
            exhaust({single ? 9 : arch == 1 ? 6 : 3, arch, 0, single, single ? 32 : 16, 16, 1, 0, 0});
            ++configurations;
        }
    std::printf("%d configurations, %d failed\n", configurations, failures);
    return failures == 0 ? 0 : 1;
}
