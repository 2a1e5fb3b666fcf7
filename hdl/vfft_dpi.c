/* C side of the SystemVerilog package vfft_dpi (vfft_dpi.sv): the vfft v8.0
 * model behind DPI-C, for test benches that compare a core's output codes
 * with the model's.
 *
 * A bench holds one chandle per configuration. Frames cross the boundary as
 * open arrays of longint codes, converted here to and from the library's
 * doubles by vfft_hdl.h. Only the standard svdpi.h interface is used, so any
 * simulator with DPI-C can compile this file with its bench (as C or as
 * C++), with vfft_hdl.h beside it. */
#include "svdpi.h"
#include "vfft_hdl.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SIMULATE "vfft_dpi:vfft_dpi_simulate"

void* vfft_dpi_create(int C_NFFT_MAX, int C_ARCH, int C_HAS_NFFT, int C_USE_FLT_PT, int C_INPUT_WIDTH,
                      int C_TWIDDLE_WIDTH, int C_HAS_SCALING, int C_HAS_BFP, int C_HAS_ROUNDING)
{
    const velmor_ip_vfft_v8_0_generics g = {C_NFFT_MAX,      C_ARCH,        C_HAS_NFFT,
                                            C_USE_FLT_PT,    C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                                            C_HAS_SCALING,   C_HAS_BFP,     C_HAS_ROUNDING};
    return vfft_hdl_create("vfft_dpi:vfft_dpi_create", g);
}

void vfft_dpi_destroy(void* model)
{
    vfft_hdl_destroy((vfft_hdl_model*)model);
}

int vfft_dpi_output_width(void* model)
{
    if (model == NULL) return vfft_hdl_bad_call("vfft_dpi:vfft_dpi_output_width", "a null model");
    return ((const vfft_hdl_model*)model)->ports.output_width;
}

/* Element i of an open array: the element at index low + i. */
static void* element(const svOpenArrayHandle array, int i)
{
    return svGetArrElemPtr1(array, svLow(array, 1) + i);
}

int vfft_dpi_simulate(void* handle, int nfft, int direction, const svOpenArrayHandle scaling_sch,
                      const svOpenArrayHandle xn_re, const svOpenArrayHandle xn_im,
                      const svOpenArrayHandle xk_re, const svOpenArrayHandle xk_im, int* blk_exp, int* overflow)
{
    /* Output arguments have no defined value on entry, so every call defines
     * all of them: zeros until a successful call writes its results. */
    for (int i = 0; i < svSize(xk_re, 1); ++i) *(int64_t*)element(xk_re, i) = 0;
    for (int i = 0; i < svSize(xk_im, 1); ++i) *(int64_t*)element(xk_im, i) = 0;
    *blk_exp = 0;
    *overflow = 0;
    vfft_hdl_model* model = (vfft_hdl_model*)handle;
    if (model == NULL) return vfft_hdl_bad_call(SIMULATE, "a null model (vfft_dpi_create failed or was not called)");

    int32_t points = 0, stages = 0;
    const int32_t length_code = vfft_hdl_frame(model, nfft, direction, &points, &stages);
    if (length_code != 0) return length_code;
    const int64_t sizes[5] = {svSize(xn_re, 1), svSize(xn_im, 1), svSize(xk_re, 1), svSize(xk_im, 1),
                              svSize(scaling_sch, 1)};
    if (vfft_hdl_check_sizes(SIMULATE, points, stages, sizes) != 0) return VFFT_HDL_BAD_CALL;
    for (int32_t i = 0; i < points; ++i)
        if (vfft_hdl_input(model, SIMULATE, "xn_re", i, *(const int64_t*)element(xn_re, i), &model->xn_re[i]) != 0 ||
            vfft_hdl_input(model, SIMULATE, "xn_im", i, *(const int64_t*)element(xn_im, i), &model->xn_im[i]) != 0)
            return VFFT_HDL_BAD_CALL;
    for (int32_t s = 0; s < stages; ++s) model->schedule[s] = *(const int32_t*)element(scaling_sch, s);

    int32_t exponent = 0, flag = 0;
    const int32_t code = vfft_hdl_simulate(model, nfft, direction, points, stages, &exponent, &flag);
    if (code != 0) return code;
    for (int32_t i = 0; i < points; ++i) {
        *(int64_t*)element(xk_re, i) = vfft_hdl_output(model, model->xk_re[i]);
        *(int64_t*)element(xk_im, i) = vfft_hdl_output(model, model->xk_im[i]);
    }
    *blk_exp = exponent;
    *overflow = flag;
    return 0;
}

#ifdef __cplusplus
}
#endif
