// The default library's datapath: machine-integer engines sized by
// C_NFFT_MAX, with integer twiddles unfolded from a TWIDDLE_ROM that is
// released once they are built. A frame with a NaN sample on the data grid (a
// NaN input in fixed-point mode, an infinity or NaN in floating-point mode)
// carries invalid values through the datapath; the engines follow them
// (NativeEngine), except in the overflow test, which they make on every
// part. When some part of such a frame overflows, the frame runs once more
// through a reference engine, whose registers test the valid parts only;
// that engine is built for the first such frame and kept.
#include <memory>

#include "datapath/Datapath.h"
#include "datapath/scan.h"
#include "engine/ReferenceEngine.h"
#include "native/R22_native.h"
#include "native/R2_native.h"
#include "native/R4_native.h"
#include "native/Stages.h"

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
        const int32_t preDivision = r4 ? run(*r4, shape, frame, out) : r22 ? run(*r22, shape, frame, out)
                                                                          : run(*r2, shape, frame, out);
        if (!frame.invalid || !out->overflow) return preDivision;
        if (!reference) reference = std::make_unique<ReferenceEngine>(config);
        return reference->transform(shape, frame, out);
    }

private:
    template <class Engine>
    static int32_t run(Engine& engine, const Shape& shape, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out) {
        engine.expectNaN(frame.invalid);
        engine.setup(shape);
        engine.loadFrame(frame);
        engine.run();
        engine.readResults(frame, out);
        out->blk_exp = engine.blk_exp;
        out->overflow = engine.overflow;
        return engine.preDivision();
    }

    ConfigRecord config;
    std::unique_ptr<R4_native> r4;  // C_ARCH 1
    std::unique_ptr<R2_native> r2;  // C_ARCH 2 and 4
    std::unique_ptr<R22_native> r22;  // C_ARCH 3
    std::unique_ptr<ReferenceEngine> reference;  // overflowing frames with NaN samples
};

Datapath* makeDatapath(const ConfigRecord& config) { return new Datapath(config); }

void destroyDatapath(Datapath* datapath) { delete datapath; }

int32_t transformFrame(Datapath& datapath, const Shape& shape, const Frame& frame,
                       velmor_ip_vfft_v8_0_outputs* out) {
    return datapath.transform(shape, frame, out);
}

bool anyOutsideUnit(const double* values, int32_t points, int32_t step) {
    return step == 1 ? scanOutsideUnit(values, points) : portableAnyOutsideUnit(values, points, step);
}

bool anyOffGrid(const double* values, int32_t points, int32_t step, double scale) {
    return step == 1 ? scanOffGrid(values, points, scale) : portableAnyOffGrid(values, points, step, scale);
}

const char* datapathName() { return nativeDatapathName(); }
