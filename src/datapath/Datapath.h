// The contract between the library interface and a datapath. Each library
// links the interface with one datapath: the reference engines in VFix
// registers (src/engine) or the machine-integer engines (src/native), which
// give the same results bit for bit. A datapath builds, for a state's
// configuration, the engine of its architecture and whatever tables it runs
// with, and transforms one frame at a time.
#pragma once

#include <cstdint>

#include "datapath/ConfigRecord.h"
#include "datapath/Frame.h"
#include "datapath/Shape.h"
#include "vfft_v8_0.h"

// A state's engine and tables; each datapath defines it.
class Datapath;

// The datapath for a valid configuration. Throws std::bad_alloc when memory
// runs out, after releasing what it built.
Datapath* makeDatapath(const ConfigRecord& config);
void destroyDatapath(Datapath* datapath);

// The name of this datapath, as velmor_ip_vfft_v8_0_datapath reports it.
const char* datapathName();

// Transforms the frame with the shape of its call and fills the results,
// blk_exp and overflow of *out. Returns the pre-division (log2) of the loaded
// samples, which the caller undoes.
int32_t transformFrame(Datapath& datapath, const Shape& shape, const Frame& frame,
                       velmor_ip_vfft_v8_0_outputs* out);

// Scans of the caller's values, which a datapath may run in vectors (value i
// of an array is values[i * step]): whether some value lies outside [-1, 1)
// (NaN does not), and whether some value times scale (a power of two; the
// products lie within 2^33) is not an integer (NaN is not). datapath/scan.h
// has the portable loops.
bool anyOutsideUnit(const double* values, int32_t points, int32_t step);
bool anyOffGrid(const double* values, int32_t points, int32_t step, double scale);
