/* vfft v8.0: bit-accurate software model of the hardware FFT core.
 *
 * A host fills a generics record (start from
 * velmor_ip_vfft_v8_0_get_default_generics), creates a state for it, calls
 * velmor_ip_vfft_v8_0_bitacc_simulate once per frame and finally destroys the
 * state. Bad generics and bad calls are reported as one line on standard error
 * and as a null state or a non-zero return code. This header is plain C and
 * can be included from C and C++.
 *
 * Two libraries implement it with the same results bit for bit:
 * libvfft_v8_0 (machine-integer datapath, the fast default) and
 * libvfft_v8_0_reference (the datapath in arbitrary-width fixed-point
 * registers, step by step as the core computes).
 *
 * Data, fixed point: values are signed fractions, -1.0 <= x < 1.0, on the
 * grid of C_INPUT_WIDTH bits (multiples of 2^-(C_INPUT_WIDTH-1)). Values off
 * the grid are rounded to it (ties to even) after one warning per call.
 * Floating point (C_USE_FLT_PT = 1): any value within the single-precision
 * range; doubles are rounded to singles, subnormal singles are set to +0.0 in
 * the caller's xn_re / xn_im arrays with a warning each, and an infinity or
 * NaN makes every result NaN.
 *
 * Schedule (C_HAS_SCALING = 1, C_HAS_BFP = 0, fixed point only): one right
 * shift of 0..3 bits per stage, first stage first. C_ARCH 2 and 4 (radix-2)
 * have nfft stages; C_ARCH 1 and 3 have ceil(nfft/2) stages of radix 4, and
 * for odd nfft the last entry (a radix-2 stage) must be 0 or 1.
 *
 * Results, in natural order: X[k] = sum x[n] e^(-+2 pi j n k / N) (forward
 * direction 1: minus; inverse direction 0: plus; no 1/N), then
 *   scheduled:               X[k] / 2^(sum of the schedule), overflow flags
 *                            a result that left [-1, 1) at any stage (it wraps);
 *   block floating point:    X[k] / 2^blk_exp, blk_exp the total shift;
 *   unscaled:                X[k] itself, on the input grid, growing by up
 *                            to C_NFFT_MAX + 1 bits;
 *   floating point:          X[k] rounded to single significance; overflow
 *                            flags a result beyond the single range
 *                            (returned as an infinity). */
#ifndef VFFT_V8_0_H
#define VFFT_V8_0_H

#include <stdint.h>

#if defined(__GNUC__)
#define VFFT_V8_0_API __attribute__((visibility("default")))
#else
#define VFFT_V8_0_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Build-time parameters of the modelled core, named after the core's generics. */
typedef struct velmor_ip_vfft_v8_0_generics {
    int32_t C_NFFT_MAX;      /* log2 of the largest transform length, 3..16 (6..16 for C_ARCH 1) */
    int32_t C_ARCH;          /* 1 radix-4 burst, 2 and 4 radix-2 burst, 3 pipelined streaming */
    int32_t C_HAS_NFFT;      /* 1: transform length chosen per call; 0: always 2^C_NFFT_MAX */
    int32_t C_USE_FLT_PT;    /* 1: IEEE single-precision data (needs C_INPUT_WIDTH 32) */
    int32_t C_INPUT_WIDTH;   /* input sample width in bits, 8..34 */
    int32_t C_TWIDDLE_WIDTH; /* twiddle factor width in bits, 8..34 */
    int32_t C_HAS_SCALING;   /* 1: scaled datapath; 0: unscaled (full growth) */
    int32_t C_HAS_BFP;       /* 1: block floating point scaling (needs C_HAS_SCALING 1) */
    int32_t C_HAS_ROUNDING;  /* 1: convergent rounding in the butterflies; 0: truncation */
} velmor_ip_vfft_v8_0_generics;

/* One frame of input for a simulation call, passed by value. */
typedef struct velmor_ip_vfft_v8_0_inputs {
    int32_t nfft;             /* log2 of this call's transform length (used when C_HAS_NFFT is 1) */
    double* xn_re;            /* real parts of the input samples, natural order */
    int32_t xn_re_size;       /* number of values at xn_re, must be 2^nfft */
    double* xn_im;            /* imaginary parts of the input samples, natural order */
    int32_t xn_im_size;       /* number of values at xn_im, must be 2^nfft */
    int32_t* scaling_sch;     /* right shift 0..3 per stage, first stage first (fixed scaling only) */
    int32_t scaling_sch_size; /* number of values at scaling_sch */
    int32_t direction;        /* 1 forward transform, 0 inverse transform */
} velmor_ip_vfft_v8_0_inputs;

/* Results of a simulation call; the caller owns the record and both arrays. */
typedef struct velmor_ip_vfft_v8_0_outputs {
    double* xk_re;      /* receives the real parts of the results, natural order */
    int32_t xk_re_size; /* capacity of xk_re on entry; 2^nfft after a successful call */
    double* xk_im;      /* receives the imaginary parts of the results, natural order */
    int32_t xk_im_size; /* capacity of xk_im on entry; 2^nfft after a successful call */
    int32_t blk_exp;    /* block exponent of the results (block floating point), else 0 */
    int32_t overflow;   /* 1 when the scheduled-scaling datapath overflowed or, with
                           single-precision data, a result left the single range; else 0 */
} velmor_ip_vfft_v8_0_outputs;

/* Return codes of velmor_ip_vfft_v8_0_bitacc_simulate: 0 or the first bad argument. */
enum velmor_ip_vfft_v8_0_code {
    VFFT_V8_0_SUCCESS = 0,
    VFFT_V8_0_NULL_STATE = 1,              /* state is null */
    VFFT_V8_0_NULL_OUTPUTS = 2,            /* outputs is null */
    VFFT_V8_0_CORRUPT_RADIX4_STATE = 3,    /* C_ARCH 1 state without its engine */
    VFFT_V8_0_CORRUPT_RADIX2_STATE = 4,    /* C_ARCH 2 or 4 state without its engine */
    VFFT_V8_0_CORRUPT_PIPELINE_STATE = 5,  /* C_ARCH 3 state without its engine */
    VFFT_V8_0_NFFT_RANGE_RADIX4 = 6,       /* nfft outside 6..C_NFFT_MAX (C_ARCH 1, C_HAS_NFFT 1) */
    VFFT_V8_0_NFFT_RANGE = 7,              /* nfft outside 3..C_NFFT_MAX (C_HAS_NFFT 1) */
    VFFT_V8_0_NULL_XN_RE = 8,              /* xn_re is null */
    VFFT_V8_0_XN_RE_SIZE = 9,              /* xn_re_size is not 2^nfft */
    VFFT_V8_0_XN_RE_VALUE = 10,            /* a value of xn_re is out of range */
    VFFT_V8_0_NULL_XN_IM = 11,             /* xn_im is null */
    VFFT_V8_0_XN_IM_SIZE = 12,             /* xn_im_size is not 2^nfft */
    VFFT_V8_0_XN_IM_VALUE = 13,            /* a value of xn_im is out of range */
    VFFT_V8_0_NULL_SCHEDULE = 14,          /* scaling_sch is null where a schedule is needed */
    VFFT_V8_0_SCHEDULE_SIZE_RADIX4 = 15,   /* scaling_sch_size is not ceil(nfft/2) (C_ARCH 1, 3) */
    VFFT_V8_0_SCHEDULE_SIZE_RADIX2 = 16,   /* scaling_sch_size is not nfft (C_ARCH 2, 4) */
    VFFT_V8_0_SCHEDULE_VALUE = 17,         /* a schedule value is outside 0..3 */
    VFFT_V8_0_FINAL_SCHEDULE_VALUE = 18,   /* last value above 1 for odd nfft (C_ARCH 1, 3) */
    VFFT_V8_0_DIRECTION = 19,              /* direction is neither 0 nor 1 */
    VFFT_V8_0_NULL_XK_RE = 20,             /* xk_re is null */
    VFFT_V8_0_NULL_XK_IM = 21,             /* xk_im is null */
    VFFT_V8_0_XK_RE_SIZE = 22,             /* xk_re_size is below 2^nfft */
    VFFT_V8_0_XK_IM_SIZE = 23              /* xk_im_size is below 2^nfft */
};

/* Simulation state of one configuration; opaque to the host. */
typedef struct velmor_ip_vfft_v8_0_state velmor_ip_vfft_v8_0_state;

/* Returns the default generics: 1024-point radix-4 burst core, 16-bit data and
 * twiddles, scaled, truncating, fixed length, fixed point. */
VFFT_V8_0_API velmor_ip_vfft_v8_0_generics velmor_ip_vfft_v8_0_get_default_generics(void);

/* Validates the generics and builds a state for them; returns null after
 * writing one error line when they are invalid. */
VFFT_V8_0_API velmor_ip_vfft_v8_0_state* velmor_ip_vfft_v8_0_create_state(
    velmor_ip_vfft_v8_0_generics generics);

/* Releases a state returned by velmor_ip_vfft_v8_0_create_state; null is ignored. */
VFFT_V8_0_API void velmor_ip_vfft_v8_0_destroy_state(velmor_ip_vfft_v8_0_state* state);

/* Transforms one frame. Returns 0 on success, or 1..23 after writing one error
 * line for the first bad argument, leaving *outputs unchanged. */
VFFT_V8_0_API int32_t velmor_ip_vfft_v8_0_bitacc_simulate(
    velmor_ip_vfft_v8_0_state* state, velmor_ip_vfft_v8_0_inputs inputs,
    velmor_ip_vfft_v8_0_outputs* outputs);

#ifdef __cplusplus
}
#endif

#endif /* VFFT_V8_0_H */
