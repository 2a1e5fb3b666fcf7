/* vfft v8.0 extensions: calls beside the four of vfft_v8_0.h, which they
 * leave as they are.
 *
 * - velmor_ip_vfft_v8_0_version and velmor_ip_vfft_v8_0_datapath name the
 *   library and the datapath it runs.
 * - velmor_ip_vfft_v8_0_describe answers the rules of a configuration: the
 *   run-time length range, the schedule, and the widths and binary points of
 *   the input and result codes. Programs and bindings ask it instead of
 *   deriving the rules again.
 * - velmor_ip_vfft_v8_0_simulate_batch transforms many frames of one length
 *   in one call, bit for bit as that many single calls.
 * - A message sink receives the library's lines instead of standard error. */
#ifndef VFFT_V8_0_EXT_H
#define VFFT_V8_0_EXT_H

#include "vfft_v8_0.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, "8.0.0" for this release. */
VFFT_V8_0_API const char* velmor_ip_vfft_v8_0_version(void);

/* The datapath of this library: "reference" for libvfft_v8_0_reference, or
 * "native" for libvfft_v8_0, possibly followed by a blank and the vector
 * target the processor runs (for example "native AVX2"). */
VFFT_V8_0_API const char* velmor_ip_vfft_v8_0_datapath(void);

/* Largest number of schedule entries of any call. */
#define VFFT_V8_0_MAX_STAGES 16

/* The rules of one configuration at one transform length. */
typedef struct velmor_ip_vfft_v8_0_description {
    int32_t nfft;          /* log2 of the length described */
    int32_t nfft_min;      /* smallest nfft a call may ask for (C_NFFT_MAX when C_HAS_NFFT is 0) */
    int32_t nfft_max;      /* largest, C_NFFT_MAX */
    int32_t stages;        /* schedule entries a call at nfft must pass; 0 when it takes no schedule */
    int32_t schedule_max[VFFT_V8_0_MAX_STAGES];      /* largest shift of each of those stages */
    int32_t default_schedule[VFFT_V8_0_MAX_STAGES];  /* the schedule used when a user gives none:
                                                        1 per radix-2 stage, 2 per radix-4 stage */
    int32_t float_mode;    /* 1: data are IEEE singles; the codes are their bit patterns */
    int32_t input_width;   /* bits of an input code (32 in floating point) */
    int32_t input_point;   /* fraction bits of an input code (0 in floating point) */
    int32_t output_width;  /* bits of a result code: every result of every frame fits, overflowed
                              frames included (32 in floating point) */
    int32_t output_point;  /* fraction bits of a result code (0 in floating point) */
    int32_t has_blk_exp;   /* 1 when calls report a block exponent (block floating point) */
    int32_t has_overflow;  /* 1 when calls report overflow (fixed schedule, floating point) */
} velmor_ip_vfft_v8_0_description;

/* Fills *description for the generics at length 2^nfft (nfft 0 stands for
 * C_NFFT_MAX). Writes no message. Returns 0; 3 when description is null; else
 * 1 when the generics are invalid (create_state would refuse them: it says
 * why); else 2 when nfft is outside nfft_min..nfft_max. Nothing is written to
 * *description unless it returns 0. Entries of schedule_max and
 * default_schedule beyond stages are 0. */
VFFT_V8_0_API int32_t velmor_ip_vfft_v8_0_describe(velmor_ip_vfft_v8_0_generics generics, int32_t nfft,
                                                    velmor_ip_vfft_v8_0_description* description);

/* Receives one line of the library's messages, without its newline: the
 * text that would otherwise go to standard error. Errors begin with
 * "ERROR:vfft_v8_0:", warnings with "WARNING:vfft_v8_0:". The line is valid
 * during the call only. */
typedef void (*velmor_ip_vfft_v8_0_sink)(void* user, const char* line);

/* create_state whose messages, and those of every later call on the state,
 * go to sink(user, line); a null sink means standard error. */
VFFT_V8_0_API velmor_ip_vfft_v8_0_state* velmor_ip_vfft_v8_0_create_state_with_sink(
    velmor_ip_vfft_v8_0_generics generics, velmor_ip_vfft_v8_0_sink sink, void* user);

/* Sends the messages of later calls on state to sink(user, line), or to
 * standard error when sink is null. A null state is ignored. */
VFFT_V8_0_API void velmor_ip_vfft_v8_0_set_sink(velmor_ip_vfft_v8_0_state* state, velmor_ip_vfft_v8_0_sink sink,
                                                void* user);

/* What a batch adds to the single call's records. */
typedef struct velmor_ip_vfft_v8_0_batch {
    int64_t frames;            /* K >= 0 frames, all of 2^nfft points */
    int32_t step;              /* doubles from one sample to the next in every data array: 1 for
                                  split arrays, 2 for interleaved (re, im) pairs as complex128
                                  stores them (then xn_im = xn_re + 1, xk_im = xk_re + 1) */
    const int32_t* directions; /* null: inputs.direction for every frame; else K directions */
    int32_t schedule_per_frame;/* 0: inputs.scaling_sch for every frame; 1: K schedules of
                                  inputs.scaling_sch_size entries, frame after frame (read only
                                  where a single call reads the schedule) */
    int32_t* blk_exp;          /* K block exponents, frame by frame (may be null) */
    int32_t* overflow;         /* K overflow flags, frame by frame (may be null) */
    int64_t failed_frame;      /* on return: -1 when every frame ran, else the first frame not
                                  delivered (0 when the shared arguments were refused) */
} velmor_ip_vfft_v8_0_batch;

/* Transforms batch->frames frames, frame-major: sample i of frame f is
 * inputs.xn_re[(f * 2^nfft + i) * step] (and likewise xn_im, xk_re, xk_im).
 * xn_re_size, xn_im_size, xk_re_size and xk_im_size are the sizes of one
 * frame, checked as in a single call. The results, the block exponents, the
 * overflow flags, the messages and the input arrays after the call are
 * those of batch->frames single calls made in order; outputs->blk_exp and
 * outputs->overflow end as the last frame's. Frame 0 is checked as a single
 * call, so a bad shared argument stops the batch before any frame runs, with
 * the single call's code and message and failed_frame 0; the values,
 * directions and per-frame schedules of later frames are checked as each
 * frame comes. A frame with bad values
 * (or a bad direction or schedule) stops the batch: the call returns that
 * frame's code, sets failed_frame to its index, and leaves the frames after
 * it untouched; the frames before it are delivered. A warning of a single
 * call (an ignored nfft, values off the grid, special singles) is written
 * for every frame it concerns. Returns 0 when every frame ran (at once when
 * frames is 0, which checks nothing else); -1 when batch is null, frames is
 * negative, step is neither 1 nor 2 or schedule_per_frame neither 0 nor 1
 * (with one "ERROR:vfft_v8_0:simulate_batch called with " line, and
 * failed_frame 0 when batch is not null). The frames run on the state's
 * engine, as single calls do. */
VFFT_V8_0_API int32_t velmor_ip_vfft_v8_0_simulate_batch(velmor_ip_vfft_v8_0_state* state,
                                                         velmor_ip_vfft_v8_0_inputs inputs,
                                                         velmor_ip_vfft_v8_0_outputs* outputs,
                                                         velmor_ip_vfft_v8_0_batch* batch);

#ifdef __cplusplus
}
#endif

#endif /* VFFT_V8_0_EXT_H */
