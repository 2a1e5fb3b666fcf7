// Example bench of the vfft_dpi package: a scoreboard without a core. It
// reads a golden-vector set written by 'vfft vectors DIR' (input.hex and
// output.hex with $readmemh, and the frame list DIR/frames.txt written by
// vfft_frames.py from the manifest), runs every frame through the model, and
// compares the model's codes, block exponent and overflow flag with the
// expected ones. One line per frame and a summary; $fatal on any mismatch.
//
//   vfft_bench +vectors=DIR
//
// In a bench with a core, the expected codes would come from the core's
// output port and the stimulus would drive its input port as well.
module vfft_bench;
  import vfft_dpi::*;

  // Samples a set's data files may hold; override with -GMAX_SAMPLES=N.
  parameter int MAX_SAMPLES = 1 << 20;
  localparam int MAX_POINTS = 1 << 16;
  // A packed word holds two codes of at most 51 bits.
  localparam logic [127:0] UNREAD = '1;

  logic [127:0] input_words[MAX_SAMPLES];
  logic [127:0] output_words[MAX_SAMPLES];
  longint xn_re[MAX_POINTS], xn_im[MAX_POINTS], xk_re[MAX_POINTS], xk_im[MAX_POINTS];
  longint want_re[MAX_POINTS], want_im[MAX_POINTS];
  int scaling_sch[16];
  chandle model;

  string dir;
  int fd;  // frames.txt
  int C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH, C_HAS_SCALING,
      C_HAS_BFP, C_HAS_ROUNDING;
  int input_width, output_width, frame_count, sample_count;

  // The signed code in bits [shift + width - 1 : shift] of a packed word.
  function automatic longint code_at(logic [127:0] word, int shift, int width);
    longint pattern = longint'(word >> shift) & ((longint'(1) << width) - 1);
    return pattern[width - 1] ? pattern - (longint'(1) << width) : pattern;
  endfunction

  // A code as the vector set's .dec files and the core's users read it:
  // signed decimal, or the single's bit pattern in floating-point mode.
  function automatic string code_text(longint code);
    if (C_USE_FLT_PT == 1) return $sformatf("%08h", code[31:0]);
    return $sformatf("%0d", code);
  endfunction

  // Each data file is read whole; the sentinels show a file that is shorter
  // or longer than the frame list says.
  function automatic void check_length(string name, logic [127:0] last, logic [127:0] next);
    if (last === UNREAD)
      $fatal(1, "vfft_bench: %s/%s holds fewer than the %0d samples of frames.txt", dir, name, sample_count);
    if (sample_count < MAX_SAMPLES && next !== UNREAD)
      $fatal(1, "vfft_bench: %s/%s holds more than the %0d samples of frames.txt", dir, name, sample_count);
  endfunction

  // Unpacks one data-file word, which must not have bits above its two codes.
  task automatic unpack(string name, logic [127:0] word, int line, int width, output longint re,
                        output longint im);
    if ((word >> (2 * width)) != 0)
      $fatal(1, "vfft_bench: %s/%s line %0d: %0h is wider than the %0d bits of two %0d-bit codes", dir, name,
             line, word, 2 * width, width);
    re = code_at(word, width, width);
    im = code_at(word, 0, width);
  endtask

  task automatic read_header(string path);
    if ($fscanf(fd, " generics %d %d %d %d %d %d %d %d %d", C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT,
                C_INPUT_WIDTH, C_TWIDDLE_WIDTH, C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING) != 9)
      $fatal(1, "vfft_bench: %s line 1: expected 'generics' and the nine generics", path);
    if ($fscanf(fd, " widths %d %d", input_width, output_width) != 2)
      $fatal(1, "vfft_bench: %s line 2: expected 'widths INPUT OUTPUT'", path);
    if ($fscanf(fd, " frames %d samples %d", frame_count, sample_count) != 2)
      $fatal(1, "vfft_bench: %s line 3: expected 'frames COUNT samples COUNT'", path);
    model = vfft_dpi_create(C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                            C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING);
    if (model == null) $fatal(1, "vfft_bench: %s line 1: the model rejected the generics", path);
    if (input_width != C_INPUT_WIDTH || output_width != vfft_dpi_output_width(model))
      $fatal(1, "vfft_bench: %s line 2: widths %0d and %0d; the model's are %0d and %0d", path, input_width,
             output_width, C_INPUT_WIDTH, vfft_dpi_output_width(model));
    if (frame_count < 1 || sample_count < 1 || sample_count > MAX_SAMPLES)
      $fatal(1, "vfft_bench: %s line 3: %0d frames of %0d samples; expected 1 or more frames and 1 to %0d samples (MAX_SAMPLES)",
             path, frame_count, sample_count, MAX_SAMPLES);
  endtask

  // Runs frame f through the model and compares; returns 1 when it passes.
  function automatic bit check_frame(string path, int f);
    int index, nfft, direction, blk_exp, overflow, first, stages, points, rc, model_blk_exp, model_overflow;
    int differ, first_differ;
    longint re, im;
    if ($fscanf(fd, " frame %d nfft %d direction %d blk_exp %d overflow %d first_sample %d stages %d", index,
                nfft, direction, blk_exp, overflow, first, stages) != 7)
      $fatal(1, "vfft_bench: %s line %0d: expected the record of frame %0d", path, f + 4, f);
    if (index != f || nfft < 3 || nfft > 16 || stages < 0 || stages > 16)
      $fatal(1, "vfft_bench: %s line %0d: frame %0d, nfft %0d, %0d stages; expected frame %0d, nfft 3 to 16, 0 to 16 stages",
             path, f + 4, index, nfft, stages, f);
    // Entries beyond the frame's own schedule are out of range, so that a
    // frame listing fewer stages than the core has is rejected by the model.
    for (int s = 0; s < 16; s++) scaling_sch[s] = -1;
    for (int s = 0; s < stages; s++)
      if ($fscanf(fd, "%d", scaling_sch[s]) != 1)
        $fatal(1, "vfft_bench: %s line %0d: expected %0d schedule values", path, f + 4, stages);
    points = 1 << nfft;
    if (first < 0 || first > sample_count - points)
      $fatal(1, "vfft_bench: %s line %0d: samples %0d to %0d of a %0d-point frame lie outside samples 0 to %0d of the data files",
             path, f + 4, first, first + points - 1, points, sample_count - 1);

    for (int k = 0; k < points; k++) begin
      unpack("input.hex", input_words[first + k], first + k + 1, input_width, re, im);
      xn_re[k] = re;
      xn_im[k] = im;
      unpack("output.hex", output_words[first + k], first + k + 1, output_width, re, im);
      want_re[k] = re;
      want_im[k] = im;
    end

    rc = vfft_dpi_simulate(model, nfft, direction, scaling_sch, xn_re, xn_im, xk_re, xk_im, model_blk_exp,
                           model_overflow);
    if (rc != 0) begin
      $display("frame %0d: FAIL, %s rejected the frame with code %0d", f,
               rc == VFFT_DPI_BAD_CALL ? "vfft_dpi" : "the model", rc);
      return 0;
    end
    differ = 0;
    first_differ = 0;
    for (int k = 0; k < points; k++)
      if (xk_re[k] != want_re[k] || xk_im[k] != want_im[k]) begin
        if (differ == 0) first_differ = k;
        differ++;
      end
    if (differ != 0) begin
      $display("frame %0d: FAIL, %0d of %0d samples differ; first sample %0d (output.hex line %0d): model re %s im %s, expected re %s im %s",
               f, differ, points, first_differ, first + first_differ + 1, code_text(xk_re[first_differ]),
               code_text(xk_im[first_differ]), code_text(want_re[first_differ]), code_text(want_im[first_differ]));
      return 0;
    end
    if (model_blk_exp != blk_exp || model_overflow != overflow) begin
      $display("frame %0d: FAIL, model blk_exp %0d overflow %0d, expected blk_exp %0d overflow %0d", f,
               model_blk_exp, model_overflow, blk_exp, overflow);
      return 0;
    end
    $display("frame %0d: pass, %0d points, blk_exp %0d, overflow %0d", f, points, blk_exp, overflow);
    return 1;
  endfunction

  initial begin
    int passed;
    string path;
    if (!$value$plusargs("vectors=%s", dir))
      $fatal(1, "vfft_bench: no vector set; expected +vectors=DIR, a directory written by 'vfft vectors DIR'");
    path = {dir, "/frames.txt"};
    fd = $fopen(path, "r");
    if (fd == 0)
      $fatal(1, "vfft_bench: cannot open %s; write it with 'vfft_frames.py %s'", path, dir);
    read_header(path);
    input_words[sample_count - 1] = UNREAD;
    output_words[sample_count - 1] = UNREAD;
    if (sample_count < MAX_SAMPLES) begin
      input_words[sample_count] = UNREAD;
      output_words[sample_count] = UNREAD;
    end
    $readmemh({dir, "/input.hex"}, input_words);
    $readmemh({dir, "/output.hex"}, output_words);
    check_length("input.hex", input_words[sample_count - 1], input_words[sample_count]);
    check_length("output.hex", output_words[sample_count - 1], output_words[sample_count]);

    passed = 0;
    for (int f = 0; f < frame_count; f++) passed += int'(check_frame(path, f));
    $fclose(fd);
    $display("vfft_bench: %0d frames, %0d passed, %0d failed", frame_count, passed, frame_count - passed);
    if (passed != frame_count) $fatal(1, "vfft_bench: %0d of %0d frames differ from %s", frame_count - passed,
                                      frame_count, dir);
    $finish;
  end

  final vfft_dpi_destroy(model);
endmodule
