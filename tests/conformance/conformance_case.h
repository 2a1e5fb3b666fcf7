// One recorded case: the generics, what create_state must do, and the calls
// made on the state with every field they must leave behind. Doubles are kept
// as their IEEE-754 bit patterns so that every comparison is exact.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "json_reader.h"
#include "vfft_v8_0.h"

namespace conformance {

using Bits = std::vector<uint64_t>;

struct CallInputs {
    bool null_state = false;    // pass a null state pointer
    bool outputs_null = false;  // pass a null outputs pointer
    int32_t nfft = 0;
    int32_t direction = 0;
    std::optional<Bits> xn_re, xn_im;  // empty for a null pointer
    int32_t xn_re_size = 0, xn_im_size = 0;
    std::optional<std::vector<int32_t>> scaling_sch;
    int32_t scaling_sch_size = 0;
    bool xk_re_null = false, xk_im_null = false;
    int32_t xk_re_capacity = 0, xk_im_capacity = 0;  // doubles allocated per output array
    int32_t xk_re_size = 0, xk_im_size = 0;          // size fields passed in the outputs record
};

struct CallExpected {
    int32_t rc = 0;
    std::string stderr_text;
    int32_t blk_exp = 0, overflow = 0, xk_re_size = 0, xk_im_size = 0;
    std::optional<Bits> xk_re, xk_im;              // whole arrays, capacity entries
    std::optional<Bits> xn_re_after, xn_im_after;  // input arrays after the call
};

struct Call {
    CallInputs inputs;
    CallExpected expected;
};

struct Case {
    std::string id;
    velmor_ip_vfft_v8_0_generics generics{};
    bool state_null = false;
    std::string create_stderr;
    std::vector<Call> calls;
};

// Decodes one parsed line of the case file; throws std::runtime_error naming
// the field that is missing or malformed.
Case decodeCase(const Json& record);

}  // namespace conformance
