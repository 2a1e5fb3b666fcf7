/* C side of the VHDL package vfft_ghdl (vfft_ghdl.vhd): the vfft v8.0 model
 * behind GHDL's VHPIDIRECT foreign subprograms. Build it as a shared object
 * named libvfft_ghdl.so, linked with libvfft_v8_0, where GHDL's loader finds
 * it (LD_LIBRARY_PATH); vfft_hdl.h, one folder up, converts the codes.
 *
 * The package passes scalars by value (integer as int32_t, the 64-bit types
 * vfft_code and vfft_model as int64_t), its constrained array vfft_results
 * as a pointer to its elements, and its unconstrained arrays as GHDL's fat
 * pointer: the address of the elements and of the bounds (left, right,
 * direction, length). Element k of such an array is the k-th from the left. */
#include "../vfft_hdl.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vfft_ghdl_bounds {
    int32_t left;
    int32_t right;
    int32_t dir;
    int32_t len;
} vfft_ghdl_bounds;

typedef struct vfft_ghdl_array {
    void* elements;
    const vfft_ghdl_bounds* bounds;
} vfft_ghdl_array;

#define TRANSFORM "vfft_ghdl:vfft_transform"

int64_t vfft_ghdl_create(int32_t C_NFFT_MAX, int32_t C_ARCH, int32_t C_HAS_NFFT, int32_t C_USE_FLT_PT,
                         int32_t C_INPUT_WIDTH, int32_t C_TWIDDLE_WIDTH, int32_t C_HAS_SCALING, int32_t C_HAS_BFP,
                         int32_t C_HAS_ROUNDING)
{
    const velmor_ip_vfft_v8_0_generics g = {C_NFFT_MAX,      C_ARCH,        C_HAS_NFFT,
                                            C_USE_FLT_PT,    C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                                            C_HAS_SCALING,   C_HAS_BFP,     C_HAS_ROUNDING};
    return (int64_t)(intptr_t)vfft_hdl_create("vfft_ghdl:vfft_create", g);
}

void vfft_ghdl_destroy(int64_t model)
{
    vfft_hdl_destroy((vfft_hdl_model*)(intptr_t)model);
}

int32_t vfft_ghdl_output_width(int64_t model)
{
    if (model == 0) return vfft_hdl_bad_call("vfft_ghdl:vfft_output_width", "a null model");
    return ((const vfft_hdl_model*)(intptr_t)model)->ports.output_width;
}

/* results receives the return code, blk_exp and overflow. */
void vfft_ghdl_transform(int64_t handle, int32_t nfft, int32_t direction, const vfft_ghdl_array* scaling_sch,
                         const vfft_ghdl_array* xn_re, const vfft_ghdl_array* xn_im, const vfft_ghdl_array* xk_re,
                         const vfft_ghdl_array* xk_im, int32_t results[3])
{
    int64_t* out_re = (int64_t*)xk_re->elements;
    int64_t* out_im = (int64_t*)xk_im->elements;
    for (int32_t i = 0; i < xk_re->bounds->len; ++i) out_re[i] = 0;
    for (int32_t i = 0; i < xk_im->bounds->len; ++i) out_im[i] = 0;
    results[0] = VFFT_HDL_BAD_CALL;
    results[1] = 0;
    results[2] = 0;
    vfft_hdl_model* model = (vfft_hdl_model*)(intptr_t)handle;
    if (model == NULL) {
        vfft_hdl_bad_call(TRANSFORM, "a null model (vfft_create failed or was not called)");
        return;
    }

    int32_t points = 0, stages = 0;
    results[0] = vfft_hdl_frame(model, nfft, direction, &points, &stages);
    if (results[0] != 0) return;
    const int64_t sizes[5] = {xn_re->bounds->len, xn_im->bounds->len, xk_re->bounds->len, xk_im->bounds->len,
                              scaling_sch->bounds->len};
    results[0] = vfft_hdl_check_sizes(TRANSFORM, points, stages, sizes);
    if (results[0] != 0) return;
    const int64_t* in_re = (const int64_t*)xn_re->elements;
    const int64_t* in_im = (const int64_t*)xn_im->elements;
    for (int32_t i = 0; i < points; ++i)
        if (vfft_hdl_input(model, TRANSFORM, "xn_re", i, in_re[i], &model->xn_re[i]) != 0 ||
            vfft_hdl_input(model, TRANSFORM, "xn_im", i, in_im[i], &model->xn_im[i]) != 0) {
            results[0] = VFFT_HDL_BAD_CALL;
            return;
        }
    if (stages > 0) memcpy(model->schedule, scaling_sch->elements, (size_t)stages * sizeof(int32_t));

    results[0] = vfft_hdl_simulate(model, nfft, direction, points, stages, &results[1], &results[2]);
    if (results[0] != 0) return;
    for (int32_t i = 0; i < points; ++i) {
        out_re[i] = vfft_hdl_output(model, model->xk_re[i]);
        out_im[i] = vfft_hdl_output(model, model->xk_im[i]);
    }
}

#ifdef __cplusplus
}
#endif
