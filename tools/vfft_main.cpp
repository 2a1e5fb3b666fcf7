// vfft: creates a simulation state for the default generics, shows the
// configuration it was built for, and releases it again.
#include <cstdio>

#include "vfft_v8_0.h"

int main()
{
    const velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    const struct {
        const char* name;
        int32_t value;
    } fields[] = {
        {"C_NFFT_MAX", g.C_NFFT_MAX},
        {"C_ARCH", g.C_ARCH},
        {"C_HAS_NFFT", g.C_HAS_NFFT},
        {"C_USE_FLT_PT", g.C_USE_FLT_PT},
        {"C_INPUT_WIDTH", g.C_INPUT_WIDTH},
        {"C_TWIDDLE_WIDTH", g.C_TWIDDLE_WIDTH},
        {"C_HAS_SCALING", g.C_HAS_SCALING},
        {"C_HAS_BFP", g.C_HAS_BFP},
        {"C_HAS_ROUNDING", g.C_HAS_ROUNDING},
    };
    std::printf("vfft v8.0 default generics:\n");
    for (const auto& f : fields) {
        std::printf("  %-16s %d\n", f.name, static_cast<int>(f.value));
    }
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(g);
    if (state == nullptr) {
        std::printf("state creation failed\n");
        return 1;
    }
    std::printf("state created for a %d-point transform\n", 1 << g.C_NFFT_MAX);
    velmor_ip_vfft_v8_0_destroy_state(state);
    std::printf("state released\n");
    return 0;
}
