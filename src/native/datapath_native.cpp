// The default library's datapath: machine-integer engines sized by
// C_NFFT_MAX, with integer twiddles unfolded from a TWIDDLE_ROM that is
// released once they are built. A frame with a NaN sample on the data grid (a
// NaN input in fixed-point mode, an infinity or NaN in floating-point mode)
// carries invalid values through the datapath, which only the VFix registers
// model; such frames run through a reference engine, built for the first of
// them and kept with the state.
#include <memory>

#include "datapath/Datapath.h"
#include "datapath/transform.h"
#include "engine/ReferenceEngine.h"
#include "native/R22_native.h"
#include "native/R2_native.h"
#include "native/R4_native.h"

class Datapath {
public:
    explicit Datapath(const ConfigRecord& c) : config(c) {
        const TWIDDLE_ROM rom(config.nfft_max, config.twiddle_width);
        switch (config.arch) {
        case 1:
            r4 = std::make_unique<R4_native>(config, rom);
            break;
        case 3:
            r22 = std::make_unique<R22_native>(config, rom);
            break;
        default:
            r2 = std::make_unique<R2_native>(config, rom);
            break;
        }
    }

    int32_t transform(const Shape& shape, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out) {
        if (frame.invalid) {
            if (!reference) reference = std::make_unique<ReferenceEngine>(config);
            return reference->transform(shape, frame, out);
        }
        const auto run = [](auto& engine) { engine.run(); };
        if (r4) return ::transform(*r4, shape, frame, out, run);
        if (r22) return ::transform(*r22, shape, frame, out, run);
        return ::transform(*r2, shape, frame, out, run);
    }

private:
    ConfigRecord config;
    std::unique_ptr<R4_native> r4;        // C_ARCH 1
    std::unique_ptr<R2_native> r2;        // C_ARCH 2 and 4
    std::unique_ptr<R22_native> r22;      // C_ARCH 3
    std::unique_ptr<ReferenceEngine> reference;  // frames with NaN samples
};

Datapath* makeDatapath(const ConfigRecord& config) { return new Datapath(config); }

void destroyDatapath(Datapath* datapath) { delete datapath; }

int32_t transformFrame(Datapath& datapath, const Shape& shape, const Frame& frame,
                       velmor_ip_vfft_v8_0_outputs* out) {
    return datapath.transform(shape, frame, out);
}
