// vfft_dpi: the bit-accurate vfft v8.0 model in a SystemVerilog test bench.
//
// Compile vfft_dpi.c (with vfft_hdl.h beside it) with the bench and link
// libvfft_v8_0; pkg-config --cflags --libs vfft gives the flags. A bench
// creates one model per core configuration, calls it once per frame the core
// receives, and compares the core's output codes with the model's:
//
//   chandle model;
//   initial model = vfft_dpi_create(10, 1, 0, 0, 16, 16, 1, 0, 0);
//   final vfft_dpi_destroy(model);
//   ...
//   rc = vfft_dpi_simulate(model, nfft, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
//
// Samples are codes, one longint per sample and part: the W-bit
// two's-complement code of a port (sign- or zero-extended on the way in,
// sign-extended on the way out), where W is C_INPUT_WIDTH at the input and
// vfft_dpi_output_width(model) at the output. In floating-point mode
// (C_USE_FLT_PT = 1) the codes are IEEE single bit patterns.
package vfft_dpi;

  // Return code of a call rejected by the C side before it reaches the
  // library (wrong array sizes, codes the port cannot carry, a null model).
  // The library's own codes are 1 to 23; 0 is success. Every rejection
  // writes one line to standard error.
  localparam int VFFT_DPI_BAD_CALL = -1;

  // Builds a model for the core's generics; null after the library has named
  // the first invalid generic on standard error.
  import "DPI-C" function chandle vfft_dpi_create(
      input int C_NFFT_MAX, input int C_ARCH, input int C_HAS_NFFT, input int C_USE_FLT_PT,
      input int C_INPUT_WIDTH, input int C_TWIDDLE_WIDTH, input int C_HAS_SCALING,
      input int C_HAS_BFP, input int C_HAS_ROUNDING);

  // Releases a model; null is ignored.
  import "DPI-C" function void vfft_dpi_destroy(input chandle model);

  // Transforms one frame of 2^nfft samples (2^C_NFFT_MAX when C_HAS_NFFT is
  // 0). The frame is the first 2^nfft elements of xn_re and xn_im, from the
  // lowest index up, so arrays sized for the longest frame serve every length;
  // the results fill the first 2^nfft elements of xk_re and xk_im, and zeros
  // the rest. direction
  // is 1 forward, 0 inverse. scaling_sch holds one right shift (0 to 3) per
  // stage, first stage first: ceil(nfft/2) values for C_ARCH 1 and 3, nfft for
  // C_ARCH 2 and 4; it is read only by the scheduled fixed-point datapath, and
  // surplus elements are ignored. blk_exp and overflow are the core's outputs.
  // Returns 0, VFFT_DPI_BAD_CALL, or the library's code for a bad argument;
  // a failed call returns zeros in every output.
  import "DPI-C" function int vfft_dpi_simulate(
      input chandle model, input int nfft, input int direction, input int scaling_sch[],
      input longint xn_re[], input longint xn_im[],
      output longint xk_re[], output longint xk_im[],
      output int blk_exp, output int overflow);

  // Width of the model's output codes, as the library describes the core:
  // every result of every frame fits, overflowed frames included (32 in
  // floating-point mode). VFFT_DPI_BAD_CALL for a null model.
  import "DPI-C" function int vfft_dpi_output_width(input chandle model);

endpackage
