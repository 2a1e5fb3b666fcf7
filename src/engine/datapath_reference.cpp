// The reference library's datapath: the engines in VFix registers.
#include "datapath/Datapath.h"
#include "datapath/scan.h"
#include "engine/ReferenceEngine.h"

class Datapath : public ReferenceEngine {
public:
    using ReferenceEngine::ReferenceEngine;
};

const char* datapathName() { return "reference"; }

Datapath* makeDatapath(const ConfigRecord& config) { return new Datapath(config); }

void destroyDatapath(Datapath* datapath) { delete datapath; }

int32_t transformFrame(Datapath& datapath, const Shape& shape, const Frame& frame,
                       velmor_ip_vfft_v8_0_outputs* out) {
    return datapath.transform(shape, frame, out);
}

bool anyOutsideUnit(const double* values, int32_t points, int32_t step) {
    return portableAnyOutsideUnit(values, points, step);
}

bool anyOffGrid(const double* values, int32_t points, int32_t step, double scale) {
    return portableAnyOffGrid(values, points, step, scale);
}
