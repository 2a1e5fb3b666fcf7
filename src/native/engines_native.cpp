// The default library's engines: machine-integer engines sized by
// C_NFFT_MAX, with integer twiddles unfolded from a TWIDDLE_ROM that is
// released once they are built. A frame with a NaN sample on the data grid (a
// NaN input in fixed-point mode, an infinity or NaN in floating-point mode)
// carries invalid values through the datapath, which only the VFix registers
// model; such a frame runs through a reference engine and table built for
// the call.
#include <memory>

#include "api/State.h"
#include "api/transform.h"
#include "engine/R22_pipeline.h"
#include "engine/R2_loop.h"
#include "engine/R4_loop.h"

void buildTables(velmor_ip_vfft_v8_0_state* st)
{
    st->twiddle_rom = nullptr;
    st->r4 = nullptr;
    st->r2 = nullptr;
    st->r22 = nullptr;
    const std::unique_ptr<TWIDDLE_ROM> rom =
        std::make_unique<TWIDDLE_ROM>(st->generics.C_NFFT_MAX, st->generics.C_TWIDDLE_WIDTH);
    switch (st->generics.C_ARCH) {
    case 1:
        st->r4 = new R4_native(st->config, *rom);
        break;
    case 3:
        st->r22 = new R22_native(st->config, *rom);
        break;
    default:
        st->r2 = new R2_native(st->config, *rom);
        break;
    }
}

namespace {

template <class Reference>
int32_t runReference(velmor_ip_vfft_v8_0_state* st, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out)
{
    TWIDDLE_ROM rom(st->generics.C_NFFT_MAX, st->generics.C_TWIDDLE_WIDTH);
    const auto engine = std::make_unique<Reference>(st->config);
    return transform(*engine, st->config, frame, out, [&rom](Reference& e) { e.run(rom); });
}

}  // namespace

int32_t runEngine(velmor_ip_vfft_v8_0_state* st, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out)
{
    const auto run = [](auto& engine) { engine.run(); };
    switch (st->config.arch) {
    case 1:
        return frame.invalid ? runReference<R4_loop>(st, frame, out) : transform(*st->r4, st->config, frame, out, run);
    case 3:
        return frame.invalid ? runReference<R22_pipeline>(st, frame, out)
                             : transform(*st->r22, st->config, frame, out, run);
    default:
        return frame.invalid ? runReference<R2_loop>(st, frame, out) : transform(*st->r2, st->config, frame, out, run);
    }
}
