#include "engine/ReferenceEngine.h"

#include "datapath/transform.h"

ReferenceEngine::ReferenceEngine(const ConfigRecord& config) : rom(config.nfft_max, config.twiddle_width) {
    switch (config.arch) {
    case 1:
        r4 = std::make_unique<R4_loop>(config);
        break;
    case 3:
        r22 = std::make_unique<R22_pipeline>(config);
        break;
    default:
        r2 = std::make_unique<R2_loop>(config);
        break;
    }
}

int32_t ReferenceEngine::transform(const Shape& shape, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out) {
    const auto run = [this](auto& engine) { engine.run(rom); };
    if (r4) return ::transform(*r4, shape, frame, out, run);
    if (r22) return ::transform(*r22, shape, frame, out, run);
    return ::transform(*r2, shape, frame, out, run);
}
