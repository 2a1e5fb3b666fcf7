// One build of the library loaded by path with its four functions, for the
// programs that compare the two builds in one process (the differential
// test, the fuzz targets, the benchmarks). Loaded privately, since both
// builds export the same names.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "vfft_v8_0.h"

struct Library {
    using Defaults = velmor_ip_vfft_v8_0_generics (*)();
    using Create = velmor_ip_vfft_v8_0_state* (*)(velmor_ip_vfft_v8_0_generics);
    using Destroy = void (*)(velmor_ip_vfft_v8_0_state*);
    using Simulate = int32_t (*)(velmor_ip_vfft_v8_0_state*, velmor_ip_vfft_v8_0_inputs,
                                 velmor_ip_vfft_v8_0_outputs*);

    // Exits with status 2 when the file cannot be loaded or lacks a function.
    explicit Library(const char* path) {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
            std::exit(2);
        }
        defaults = reinterpret_cast<Defaults>(dlsym(handle, "velmor_ip_vfft_v8_0_get_default_generics"));
        create = reinterpret_cast<Create>(dlsym(handle, "velmor_ip_vfft_v8_0_create_state"));
        destroy = reinterpret_cast<Destroy>(dlsym(handle, "velmor_ip_vfft_v8_0_destroy_state"));
        simulate = reinterpret_cast<Simulate>(dlsym(handle, "velmor_ip_vfft_v8_0_bitacc_simulate"));
        if (!defaults || !create || !destroy || !simulate) {
            std::fprintf(stderr, "%s lacks the interface functions\n", path);
            std::exit(2);
        }
    }

    Defaults defaults;
    Create create;
    Destroy destroy;
    Simulate simulate;
};

// The nine generics as NAME=VALUE, as the command line and reports write them.
inline std::string describe(const velmor_ip_vfft_v8_0_generics& g) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "C_NFFT_MAX=%d C_ARCH=%d C_HAS_NFFT=%d C_USE_FLT_PT=%d C_INPUT_WIDTH=%d C_TWIDDLE_WIDTH=%d "
                  "C_HAS_SCALING=%d C_HAS_BFP=%d C_HAS_ROUNDING=%d",
                  g.C_NFFT_MAX, g.C_ARCH, g.C_HAS_NFFT, g.C_USE_FLT_PT, g.C_INPUT_WIDTH, g.C_TWIDDLE_WIDTH,
                  g.C_HAS_SCALING, g.C_HAS_BFP, g.C_HAS_ROUNDING);
    return text;
}
