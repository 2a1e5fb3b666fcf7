/* C side of the SystemVerilog package vfft_dpi (vfft_dpi.sv): the vfft v8.0
 * model behind DPI-C, for test benches that compare a core's output codes
 * with the model's.
 *
 * A bench holds one chandle per configuration. Frames cross the boundary as
 * open arrays of longint codes: the two's-complement code of each port sample
 * (in floating-point mode the IEEE single bit pattern), converted here to and
 * from the library's doubles. A fixed-point code c stands for c / 2^(W - 1)
 * with W = C_INPUT_WIDTH at both ports; unscaled output codes are wider on the
 * same grid. Only the standard svdpi.h interface is used, so any simulator
 * with DPI-C can compile this file with its bench (as C or as C++). */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "svdpi.h"
#include "vfft_v8_0.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Return code of a call rejected here, before it reaches the library; the
 * library's own codes are 1 to 23. */
#define VFFT_DPI_BAD_CALL (-1)

/* One configuration: the library state, the generics it was built from, and
 * the double buffers of the longest frame, so that no call allocates. */
typedef struct vfft_dpi_core {
    velmor_ip_vfft_v8_0_state* state;
    velmor_ip_vfft_v8_0_generics generics;
    int32_t max_points;
    double* xn_re;
    double* xn_im;
    double* xk_re;
    double* xk_im;
    int32_t schedule[16];
} vfft_dpi_core;

static int bad_call(const char* what)
{
    fprintf(stderr, "ERROR:vfft_dpi:vfft_dpi_simulate called with %s\n", what);
    fflush(stderr);
    return VFFT_DPI_BAD_CALL;
}

void* vfft_dpi_create(int C_NFFT_MAX, int C_ARCH, int C_HAS_NFFT, int C_USE_FLT_PT, int C_INPUT_WIDTH,
                      int C_TWIDDLE_WIDTH, int C_HAS_SCALING, int C_HAS_BFP, int C_HAS_ROUNDING)
{
    velmor_ip_vfft_v8_0_generics g;
    g.C_NFFT_MAX = C_NFFT_MAX;
    g.C_ARCH = C_ARCH;
    g.C_HAS_NFFT = C_HAS_NFFT;
    g.C_USE_FLT_PT = C_USE_FLT_PT;
    g.C_INPUT_WIDTH = C_INPUT_WIDTH;
    g.C_TWIDDLE_WIDTH = C_TWIDDLE_WIDTH;
    g.C_HAS_SCALING = C_HAS_SCALING;
    g.C_HAS_BFP = C_HAS_BFP;
    g.C_HAS_ROUNDING = C_HAS_ROUNDING;
    /* The library checks the generics and names the first bad one. */
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(g);
    if (state == NULL) return NULL;

    vfft_dpi_core* core = (vfft_dpi_core*)calloc(1, sizeof *core);
    const size_t points = (size_t)1 << C_NFFT_MAX;
    double* buffers = (double*)malloc(4 * points * sizeof(double));
    if (core == NULL || buffers == NULL) {
        fprintf(stderr, "ERROR:vfft_dpi:vfft_dpi_create could not allocate the buffers of a %lu-point core\n",
                (unsigned long)points);
        fflush(stderr);
        free(core);
        free(buffers);
        velmor_ip_vfft_v8_0_destroy_state(state);
        return NULL;
    }
    core->state = state;
    core->generics = g;
    core->max_points = (int32_t)points;
    core->xn_re = buffers;
    core->xn_im = buffers + points;
    core->xk_re = buffers + 2 * points;
    core->xk_im = buffers + 3 * points;
    return core;
}

void vfft_dpi_destroy(void* handle)
{
    vfft_dpi_core* core = (vfft_dpi_core*)handle;
    if (core == NULL) return;
    velmor_ip_vfft_v8_0_destroy_state(core->state);
    free(core->xn_re);
    free(core);
}

/* Element i of an open array: the element at index low + i. */
static void* element(const svOpenArrayHandle array, int i)
{
    return svGetArrElemPtr1(array, svLow(array, 1) + i);
}

static int holds(const svOpenArrayHandle array, const char* name, int32_t count, const char* what)
{
    if (svSize(array, 1) >= count) return 1;
    char text[200];
    snprintf(text, sizeof text, "%s of %d elements: %s needs %d", name, svSize(array, 1), what, (int)count);
    bad_call(text);
    return 0;
}

/* The input codes of one part of the frame as the library's values. A W-bit
 * code may come sign- or zero-extended; anything else has bits the port does
 * not have. */
static int read_codes(const svOpenArrayHandle array, const char* name, int32_t points, int width, int single,
                      double* values)
{
    const int64_t lowest = -((int64_t)1 << (width - 1));
    const int64_t highest = ((int64_t)1 << width) - 1;
    for (int32_t i = 0; i < points; ++i) {
        const int64_t code = *(const int64_t*)element(array, i);
        if (code < lowest || code > highest) {
            char text[240];
            snprintf(text, sizeof text,
                     "%s[%d] = %lld: a code of the %d-bit input port lies in %lld to %lld "
                     "(two's complement, sign- or zero-extended)",
                     name, (int)i, (long long)code, width, (long long)lowest, (long long)highest);
            return bad_call(text);
        }
        if (single) {
            const uint32_t bits = (uint32_t)code;
            float f;
            memcpy(&f, &bits, sizeof f);
            values[i] = f;
        } else {
            const uint64_t pattern = (uint64_t)code & (((uint64_t)1 << width) - 1);
            const int64_t value = (pattern >> (width - 1)) ? (int64_t)pattern - ((int64_t)1 << width)
                                                            : (int64_t)pattern;
            values[i] = ldexp((double)value, -(width - 1));
        }
    }
    return 0;
}

/* Output arguments have no defined value on entry, so every call defines
 * all of them: zeros until a successful call writes its results. */
static void clear_outputs(const svOpenArrayHandle xk_re, const svOpenArrayHandle xk_im, int* blk_exp,
                          int* overflow)
{
    for (int i = 0; i < svSize(xk_re, 1); ++i) *(int64_t*)element(xk_re, i) = 0;
    for (int i = 0; i < svSize(xk_im, 1); ++i) *(int64_t*)element(xk_im, i) = 0;
    *blk_exp = 0;
    *overflow = 0;
}

/* The library's results as sign-extended output codes. */
static void write_codes(const svOpenArrayHandle array, int32_t points, int fraction_bits, int single,
                        const double* values)
{
    for (int32_t i = 0; i < points; ++i) {
        int64_t code;
        if (single) {
            const float f = (float)values[i];
            int32_t bits;
            memcpy(&bits, &f, sizeof bits);
            code = bits;
        } else {
            code = (int64_t)ldexp(values[i], fraction_bits);
        }
        *(int64_t*)element(array, i) = code;
    }
}

int vfft_dpi_simulate(void* handle, int nfft, int direction, const svOpenArrayHandle scaling_sch,
                      const svOpenArrayHandle xn_re, const svOpenArrayHandle xn_im,
                      const svOpenArrayHandle xk_re, const svOpenArrayHandle xk_im, int* blk_exp, int* overflow)
{
    clear_outputs(xk_re, xk_im, blk_exp, overflow);
    vfft_dpi_core* core = (vfft_dpi_core*)handle;
    if (core == NULL) return bad_call("a null model (vfft_dpi_create failed or was not called)");
    const velmor_ip_vfft_v8_0_generics* g = &core->generics;

    const int32_t length = g->C_HAS_NFFT ? nfft : g->C_NFFT_MAX;
    if (length < (g->C_ARCH == 1 ? 6 : 3) || length > g->C_NFFT_MAX) {
        /* The library names the bad length and returns its own code. */
        velmor_ip_vfft_v8_0_inputs in = {nfft, NULL, 0, NULL, 0, NULL, 0, direction};
        velmor_ip_vfft_v8_0_outputs out = {NULL, 0, NULL, 0, 0, 0};
        return velmor_ip_vfft_v8_0_bitacc_simulate(core->state, in, &out);
    }
    const int32_t points = (int32_t)1 << length;
    char frame[40];
    snprintf(frame, sizeof frame, "a frame of %d points", (int)points);
    if (!holds(xn_re, "xn_re", points, frame) || !holds(xn_im, "xn_im", points, frame) ||
        !holds(xk_re, "xk_re", points, frame) || !holds(xk_im, "xk_im", points, frame))
        return VFFT_DPI_BAD_CALL;

    const int single = g->C_USE_FLT_PT == 1;
    const int width = g->C_INPUT_WIDTH;
    if (read_codes(xn_re, "xn_re", points, width, single, core->xn_re) != 0 ||
        read_codes(xn_im, "xn_im", points, width, single, core->xn_im) != 0)
        return VFFT_DPI_BAD_CALL;

    /* Only the scheduled fixed-point datapath takes a schedule: one value per
     * radix-4 stage (C_ARCH 1 and 3) or per radix-2 stage (C_ARCH 2 and 4). */
    int32_t stages = 0;
    if (g->C_HAS_SCALING == 1 && g->C_HAS_BFP == 0 && !single) {
        stages = (g->C_ARCH == 1 || g->C_ARCH == 3) ? (length + 1) / 2 : length;
        char what[60];
        snprintf(what, sizeof what, "the schedule of a frame of %d points", (int)points);
        if (!holds(scaling_sch, "scaling_sch", stages, what)) return VFFT_DPI_BAD_CALL;
        for (int32_t s = 0; s < stages; ++s) core->schedule[s] = *(const int32_t*)element(scaling_sch, s);
    }

    velmor_ip_vfft_v8_0_inputs in = {nfft,           core->xn_re, points, core->xn_im, points,
                                     core->schedule, stages,      direction};
    velmor_ip_vfft_v8_0_outputs out = {core->xk_re, points, core->xk_im, points, 0, 0};
    const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(core->state, in, &out);
    if (code != 0) return code;

    write_codes(xk_re, points, width - 1, single, core->xk_re);
    write_codes(xk_im, points, width - 1, single, core->xk_im);
    *blk_exp = out.blk_exp;
    *overflow = out.overflow;
    return 0;
}

#ifdef __cplusplus
}
#endif
