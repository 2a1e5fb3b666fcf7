// The vector targets of the default library that this processor runs, and
// the choice of one of them for the library's next calls: the library's
// stage loops are dispatched by Highway, whose shared library lets a test
// process restrict the targets it may choose.
#pragma once

#include <hwy/targets.h>

#include <cstdint>
#include <string>
#include <vector>

// Every target compiled into the library that this processor supports.
inline std::vector<int64_t> vectorTargets() { return hwy::SupportedAndGeneratedTargets(); }

inline std::string vectorTargetName(int64_t target) { return hwy::TargetName(target); }

// The supported target of that name, or 0.
inline int64_t vectorTarget(const std::string& name) {
    for (const int64_t t : vectorTargets())
        if (vectorTargetName(t) == name) return t;
    return 0;
}

// The library's next calls run on the target (0: the best one again).
inline void runOn(int64_t target) { hwy::SetSupportedTargetsForTest(target); }
