/* The model behind the HDL packages: what the C sides of the SystemVerilog
 * package (vfft_dpi.c, DPI-C) and the VHDL package (vhdl/vfft_ghdl.c, GHDL's
 * VHPIDIRECT) share.
 *
 * A model is one library state, its generics, the rules the library
 * describes for it, and the double buffers of its longest frame, so that no
 * call allocates. Samples cross into the simulator as integer codes: the
 * two's-complement code of a port, whose width and binary point come from
 * the library's describe call (in floating-point mode the IEEE single bit
 * pattern). Each C side compiles alone, as C or as C++, with this header
 * beside it; every function is static inline, so that a side that leaves
 * one unused compiles without warnings. */
#ifndef VFFT_HDL_H
#define VFFT_HDL_H

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vfft_v8_0_ext.h"

/* Return code of a call rejected before it reaches the library; the
 * library's own codes are 1 to 23. */
#define VFFT_HDL_BAD_CALL (-1)

typedef struct vfft_hdl_model {
    velmor_ip_vfft_v8_0_state* state;
    velmor_ip_vfft_v8_0_generics generics;
    velmor_ip_vfft_v8_0_description ports; /* at C_NFFT_MAX: the code widths */
    double* xn_re;
    double* xn_im;
    double* xk_re;
    double* xk_im;
    int32_t schedule[VFFT_V8_0_MAX_STAGES];
} vfft_hdl_model;

/* One line on standard error for a call rejected here; caller is
 * "package:function". */
static inline int vfft_hdl_bad_call(const char* caller, const char* what)
{
    fprintf(stderr, "ERROR:%s called with %s\n", caller, what);
    fflush(stderr);
    return VFFT_HDL_BAD_CALL;
}

/* A model for the generics, or null after the library has named the first
 * invalid generic (or caller could not allocate the buffers). */
static inline vfft_hdl_model* vfft_hdl_create(const char* caller, velmor_ip_vfft_v8_0_generics generics)
{
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(generics);
    if (state == NULL) return NULL;
    vfft_hdl_model* model = (vfft_hdl_model*)calloc(1, sizeof *model);
    const size_t points = (size_t)1 << generics.C_NFFT_MAX;
    double* buffers = (double*)malloc(4 * points * sizeof(double));
    if (model == NULL || buffers == NULL) {
        fprintf(stderr, "ERROR:%s could not allocate the buffers of a %lu-point core\n", caller,
                (unsigned long)points);
        fflush(stderr);
        free(model);
        free(buffers);
        velmor_ip_vfft_v8_0_destroy_state(state);
        return NULL;
    }
    /* The library took the generics, so it describes them. */
    velmor_ip_vfft_v8_0_describe(generics, 0, &model->ports);
    model->state = state;
    model->generics = generics;
    model->xn_re = buffers;
    model->xn_im = buffers + points;
    model->xk_re = buffers + 2 * points;
    model->xk_im = buffers + 3 * points;
    return model;
}

static inline void vfft_hdl_destroy(vfft_hdl_model* model)
{
    if (model == NULL) return;
    velmor_ip_vfft_v8_0_destroy_state(model->state);
    free(model->xn_re);
    free(model);
}

/* The frame a call asks for: 0 with its points and schedule entries (0 when
 * the core takes no schedule), or, for a length the core does not have, the
 * library's code after the library has named the length. */
static inline int32_t vfft_hdl_frame(const vfft_hdl_model* model, int32_t nfft, int32_t direction,
                                     int32_t* points, int32_t* stages)
{
    const int32_t length = model->generics.C_HAS_NFFT ? nfft : model->ports.nfft_max;
    velmor_ip_vfft_v8_0_description rules;
    if (length < model->ports.nfft_min || length > model->ports.nfft_max ||
        velmor_ip_vfft_v8_0_describe(model->generics, length, &rules) != 0) {
        velmor_ip_vfft_v8_0_inputs in = {nfft, NULL, 0, NULL, 0, NULL, 0, direction};
        velmor_ip_vfft_v8_0_outputs out = {NULL, 0, NULL, 0, 0, 0};
        return velmor_ip_vfft_v8_0_bitacc_simulate(model->state, in, &out);
    }
    *points = (int32_t)1 << length;
    *stages = rules.stages;
    return 0;
}

/* Checks that the arrays of a call, sized as given in the order xn_re,
 * xn_im, xk_re, xk_im, scaling_sch, hold the frame and its schedule. */
static inline int vfft_hdl_check_sizes(const char* caller, int32_t points, int32_t stages, const int64_t sizes[5])
{
    static const char* const names[5] = {"xn_re", "xn_im", "xk_re", "xk_im", "scaling_sch"};
    for (int a = 0; a < 5; ++a) {
        const int32_t need = a < 4 ? points : stages;
        if (sizes[a] >= need) continue;
        char text[200];
        snprintf(text, sizeof text, "%s of %lld elements: %sa frame of %d points needs %d", names[a],
                 (long long)sizes[a], a < 4 ? "" : "the schedule of ", (int)points, (int)need);
        return vfft_hdl_bad_call(caller, text);
    }
    return 0;
}

/* The value of sample i of the input array name, given as a code of the
 * input port. A W-bit code may come sign- or zero-extended; anything else
 * has bits the port does not have. */
static inline int vfft_hdl_input(const vfft_hdl_model* model, const char* caller, const char* name, int32_t i,
                                 int64_t code, double* value)
{
    const int width = model->ports.input_width;
    const int64_t lowest = -((int64_t)1 << (width - 1));
    const int64_t highest = ((int64_t)1 << width) - 1;
    if (code < lowest || code > highest) {
        char text[240];
        snprintf(text, sizeof text,
                 "%s[%d] = %lld: a code of the %d-bit input port lies in %lld to %lld "
                 "(two's complement, sign- or zero-extended)",
                 name, (int)i, (long long)code, width, (long long)lowest, (long long)highest);
        return vfft_hdl_bad_call(caller, text);
    }
    if (model->ports.float_mode) {
        const uint32_t bits = (uint32_t)code;
        float f;
        memcpy(&f, &bits, sizeof f);
        *value = f;
        return 0;
    }
    const uint64_t pattern = (uint64_t)code & (((uint64_t)1 << width) - 1);
    const int64_t signed_code =
        (pattern >> (width - 1)) ? (int64_t)pattern - ((int64_t)1 << width) : (int64_t)pattern;
    *value = ldexp((double)signed_code, -model->ports.input_point);
    return 0;
}

/* The sign-extended code of the output port for one result. */
static inline int64_t vfft_hdl_output(const vfft_hdl_model* model, double value)
{
    if (model->ports.float_mode) {
        const float f = (float)value;
        int32_t bits;
        memcpy(&bits, &f, sizeof bits);
        return bits;
    }
    return (int64_t)ldexp(value, model->ports.output_point);
}

/* Runs the frame in the model's buffers with the schedule in model->schedule;
 * blk_exp and overflow are written by a successful call only. */
static inline int32_t vfft_hdl_simulate(vfft_hdl_model* model, int32_t nfft, int32_t direction, int32_t points,
                                        int32_t stages, int32_t* blk_exp, int32_t* overflow)
{
    velmor_ip_vfft_v8_0_inputs in = {nfft,        model->xn_re, points, model->xn_im, points,
                                     model->schedule, stages,   direction};
    velmor_ip_vfft_v8_0_outputs out = {model->xk_re, points, model->xk_im, points, 0, 0};
    const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(model->state, in, &out);
    if (code == 0) {
        *blk_exp = out.blk_exp;
        *overflow = out.overflow;
    }
    return code;
}

#endif /* VFFT_HDL_H */
