/* vfft v8.0: bit-accurate software model of the hardware FFT core.
 *
 * A host fills a generics record (start from
 * velmor_ip_vfft_v8_0_get_default_generics), creates a state for it, calls
 * velmor_ip_vfft_v8_0_bitacc_simulate once per frame and finally destroys the
 * state. Bad generics and bad calls are reported as one line on standard error
 * and as a null state or a non-zero return code. This header is plain C and
 * can be included from C and C++. */
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
