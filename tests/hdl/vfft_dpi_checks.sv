// The vfft_dpi package's own contract, checked from SystemVerilog: frames
// shorter than the arrays, codes sign- or zero-extended, single bit patterns,
// outputs zeroed beyond the frame and by failed calls, the library's codes
// passed through, and
// every call the C side rejects. The driver checks the messages on standard
// error; this module $fatal's at the first wrong answer.
module vfft_dpi_checks;
  import vfft_dpi::*;

  // Prefilled outputs; every call overwrites every element.
  localparam longint UNWRITTEN = 12345;

  longint xn_re[16], xn_im[16], xk_re[16], xk_im[16], short_frame[4];
  int schedule[3], short_schedule[2];
  int blk_exp, overflow, rc;
  chandle fixed_core, float_core;

  task automatic expect_rc(string what, int want);
    if (rc != want) $fatal(1, "%s: return code %0d, expected %0d", what, rc, want);
  endtask

  task automatic expect_outputs(string what, int points, longint re, longint im);
    for (int k = 0; k < 16; k++) begin
      longint want_re = k < points ? re : 0;
      longint want_im = k < points ? im : 0;
      if (xk_re[k] != want_re || xk_im[k] != want_im)
        $fatal(1, "%s: sample %0d is %0d %0d, expected %0d %0d", what, k, xk_re[k], xk_im[k], want_re, want_im);
    end
  endtask

  task automatic clear(longint impulse_re, longint impulse_im);
    foreach (xn_re[k]) begin
      xn_re[k] = 0;
      xn_im[k] = 0;
      xk_re[k] = UNWRITTEN;
      xk_im[k] = UNWRITTEN;
    end
    xn_re[0] = impulse_re;
    xn_im[0] = impulse_im;
  endtask

  initial begin
    if (vfft_dpi_create(4, 9, 1, 0, 8, 16, 1, 0, 0) != null) $fatal(1, "C_ARCH 9 built a model");
    rc = vfft_dpi_simulate(null, 3, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("null model", VFFT_DPI_BAD_CALL);

    // Radix-2, run-time length up to 16 points, 8-bit codes, one bit per stage.
    fixed_core = vfft_dpi_create(4, 2, 1, 0, 8, 16, 1, 0, 0);
    if (fixed_core == null) $fatal(1, "no radix-2 model");
    if (vfft_dpi_output_width(fixed_core) != 8) $fatal(1, "radix-2 output width %0d", vfft_dpi_output_width(fixed_core));
    schedule = '{1, 1, 1};
    short_schedule = '{1, 1};

    // An 8-point impulse of 64 (0.5) in 16-element arrays: every bin is 64/8.
    clear(64, -32);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("8-point impulse", 0);
    expect_outputs("8-point impulse", 8, 8, -4);
    if (blk_exp != 0 || overflow != 0) $fatal(1, "8-point impulse: blk_exp %0d overflow %0d", blk_exp, overflow);

    // -64 and -32 zero-extended from 8 bits; the results come sign-extended.
    clear(192, 224);
    rc = vfft_dpi_simulate(fixed_core, 3, 0, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("zero-extended codes", 0);
    expect_outputs("zero-extended codes", 8, -8, -4);

    // Rejected calls return zeros.
    clear(256, 0);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("code above the zero-extended range", VFFT_DPI_BAD_CALL);
    clear(0, -129);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("code below the signed range", VFFT_DPI_BAD_CALL);
    expect_outputs("rejected codes", 0, 0, 0);
    clear(64, 0);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, short_frame, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("4-element xn_re", VFFT_DPI_BAD_CALL);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, xn_re, xn_im, xk_re, short_frame, blk_exp, overflow);
    expect_rc("4-element xk_im", VFFT_DPI_BAD_CALL);
    rc = vfft_dpi_simulate(fixed_core, 3, 1, short_schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("2-element schedule", VFFT_DPI_BAD_CALL);
    rc = vfft_dpi_simulate(fixed_core, 5, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("nfft 5 of at most 4", 7);
    rc = vfft_dpi_simulate(fixed_core, 3, 2, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("direction 2", 19);
    schedule[2] = 4;
    blk_exp = 7;
    overflow = 1;
    rc = vfft_dpi_simulate(fixed_core, 3, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("schedule value 4", 17);
    expect_outputs("rejected calls", 0, 0, 0);
    if (blk_exp != 0 || overflow != 0) $fatal(1, "rejected call: blk_exp %0d overflow %0d", blk_exp, overflow);
    // The 4-element arrays hold a 4-point frame, but the core's shortest is 8.
    rc = vfft_dpi_simulate(fixed_core, 2, 1, schedule, short_frame, short_frame, short_frame, short_frame,
                           blk_exp, overflow);
    expect_rc("nfft 2", 7);
    vfft_dpi_destroy(fixed_core);

    // Single precision: 1.0 + 0.5j at sample 0 of 16 gives 1.0 + 0.5j in
    // every bin; -1.0 - 0.5j, zero-extended, comes back sign-extended. The
    // schedule array is not read.
    float_core = vfft_dpi_create(4, 3, 0, 1, 32, 24, 0, 0, 0);
    if (float_core == null) $fatal(1, "no floating-point model");
    if (vfft_dpi_output_width(float_core) != 32) $fatal(1, "single output width %0d", vfft_dpi_output_width(float_core));
    clear(longint'(32'h3f800000), longint'(32'h3f000000));
    rc = vfft_dpi_simulate(float_core, 4, 1, short_schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("single impulse", 0);
    expect_outputs("single impulse", 16, 64'h3f800000, 64'h3f000000);
    clear(longint'(32'hbf800000), longint'(32'hbf000000));
    rc = vfft_dpi_simulate(float_core, 4, 1, short_schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("negative single impulse", 0);
    expect_outputs("negative single impulse", 16, longint'(int'(32'hbf800000)), longint'(int'(32'hbf000000)));
    clear(64'h1_0000_0000, 0);
    rc = vfft_dpi_simulate(float_core, 4, 1, short_schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow);
    expect_rc("33-bit single pattern", VFFT_DPI_BAD_CALL);
    vfft_dpi_destroy(float_core);
    vfft_dpi_destroy(null);
    $display("vfft_dpi checks passed");
    $finish;
  end
endmodule
