// The reference library's engines: built from VFix registers, sized for the
// largest transform.
#include "api/State.h"
#include "api/transform.h"

void buildTables(velmor_ip_vfft_v8_0_state* st)
{
    st->twiddle_rom = nullptr;
    st->r4 = nullptr;
    st->r2 = nullptr;
    st->r22 = nullptr;
    st->twiddle_rom = new TWIDDLE_ROM(st->generics.C_NFFT_MAX, st->generics.C_TWIDDLE_WIDTH);
    switch (st->generics.C_ARCH) {
    case 1:
        st->r4 = new R4_loop(st->config);
        break;
    case 3:
        st->r22 = new R22_pipeline(st->config);
        break;
    default:
        st->r2 = new R2_loop(st->config);
        break;
    }
}

int32_t runEngine(velmor_ip_vfft_v8_0_state* st, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out)
{
    const auto run = [st](auto& engine) { engine.run(*st->twiddle_rom); };
    switch (st->config.arch) {
    case 1:
        return transform(*st->r4, st->config, frame, out, run);
    case 3:
        return transform(*st->r22, st->config, frame, out, run);
    default:
        return transform(*st->r2, st->config, frame, out, run);
    }
}

const char* datapathName() { return "reference"; }
