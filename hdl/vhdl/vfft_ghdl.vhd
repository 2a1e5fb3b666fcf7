-- vfft_ghdl: the bit-accurate vfft v8.0 model in a VHDL-2008 test bench,
-- through GHDL's VHPIDIRECT foreign subprograms.
--
-- The foreign subprograms live in libvfft_ghdl.so, built from vfft_ghdl.c
-- and linked with libvfft_v8_0; GHDL loads it by that name when it analyses
-- and runs a design that uses this package, so its folder must be on
-- LD_LIBRARY_PATH. A bench creates one model per core configuration, calls
-- it once per frame the core receives, and compares the core's output codes
-- with the model's:
--
--   variable model : vfft_model;
--   model := vfft_create(10, 1, 0, 0, 16, 16, 1, 0, 0);
--   vfft_transform(model, 10, 1, schedule, xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
--   vfft_destroy(model);
--
-- Samples are codes of type vfft_code, one per sample and part: the W-bit
-- two's-complement code of a port (sign- or zero-extended on the way in,
-- sign-extended on the way out), where W is C_INPUT_WIDTH at the input and
-- vfft_output_width(model) at the output, up to 51 bits. vfft_code is an
-- integer type of 64 bits, which GHDL gives every integer type whose range
-- needs more than 32; vfft_to_code and vfft_to_signed convert codes from and
-- to the ports' numeric_std values. In floating-point mode (C_USE_FLT_PT = 1)
-- the codes are IEEE single bit patterns.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;

package vfft_ghdl is

  type vfft_code is range -2**51 to 2**51 - 1;
  type vfft_code_vector is array (natural range <>) of vfft_code;

  -- A model, or VFFT_NULL_MODEL.
  type vfft_model is range 0 to 2**62 - 1;
  constant VFFT_NULL_MODEL : vfft_model := 0;

  -- Return code of a call rejected by the C side before it reaches the
  -- library (arrays too short for the frame, codes the port cannot carry, a
  -- null model). The library's own codes are 1 to 23; 0 is success. Every
  -- rejection writes one line to standard error.
  constant VFFT_BAD_CALL : integer := -1;

  -- Builds a model for the core's generics; VFFT_NULL_MODEL after the library
  -- has named the first invalid generic on standard error.
  impure function vfft_create(C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                              C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING : integer) return vfft_model;

  -- Releases a model; VFFT_NULL_MODEL is ignored.
  procedure vfft_destroy(model : vfft_model);

  -- Width of the model's output codes, as the library describes the core:
  -- every result of every frame fits, overflowed frames included (32 in
  -- floating-point mode). VFFT_BAD_CALL for a null model.
  impure function vfft_output_width(model : vfft_model) return integer;

  -- Transforms one frame of 2^nfft samples (2^C_NFFT_MAX when C_HAS_NFFT is
  -- 0): the first 2^nfft elements of xn_re and xn_im from the left, so that
  -- vectors sized for the longest frame serve every length. The results fill
  -- the first 2^nfft elements of xk_re and xk_im, and zeros the rest.
  -- direction is 1 forward, 0 inverse. scaling_sch holds one right shift
  -- (0 to 3) per stage, first stage first; it is read only by the scheduled
  -- fixed-point datapath (pass a null vector otherwise), and surplus elements
  -- are ignored. blk_exp and overflow are the core's outputs. rc is 0,
  -- VFFT_BAD_CALL, or the library's code for a bad argument; a failed call
  -- returns zeros in every output.
  procedure vfft_transform(model : vfft_model; nfft, direction : integer; scaling_sch : integer_vector;
                           xn_re, xn_im : vfft_code_vector; xk_re, xk_im : out vfft_code_vector;
                           blk_exp, overflow, rc : out integer);

  -- The code of a port value, and the value of a code at a port's width.
  function vfft_to_code(value : signed) return vfft_code;
  function vfft_to_signed(code : vfft_code; width : positive) return signed;

end package;

package body vfft_ghdl is

  -- The return code, blk_exp and overflow of a transform.
  type vfft_results is array (0 to 2) of integer;

  -- The C side's entry points. GHDL calls the functions in libvfft_ghdl.so
  -- and never runs these bodies.
  impure function vfft_ghdl_create(C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                                   C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING : integer) return vfft_model is
  begin
    report "vfft_ghdl: libvfft_ghdl.so is not loaded" severity failure;
    return VFFT_NULL_MODEL;
  end function;
  attribute foreign of vfft_ghdl_create : function is "VHPIDIRECT libvfft_ghdl.so vfft_ghdl_create";

  procedure vfft_ghdl_destroy(model : vfft_model) is
  begin
    report "vfft_ghdl: libvfft_ghdl.so is not loaded" severity failure;
  end procedure;
  attribute foreign of vfft_ghdl_destroy : procedure is "VHPIDIRECT libvfft_ghdl.so vfft_ghdl_destroy";

  impure function vfft_ghdl_output_width(model : vfft_model) return integer is
  begin
    report "vfft_ghdl: libvfft_ghdl.so is not loaded" severity failure;
    return VFFT_BAD_CALL;
  end function;
  attribute foreign of vfft_ghdl_output_width : function is "VHPIDIRECT libvfft_ghdl.so vfft_ghdl_output_width";

  procedure vfft_ghdl_transform(model : vfft_model; nfft, direction : integer; scaling_sch : integer_vector;
                                xn_re, xn_im : vfft_code_vector; xk_re, xk_im : out vfft_code_vector;
                                results : out vfft_results) is
  begin
    report "vfft_ghdl: libvfft_ghdl.so is not loaded" severity failure;
  end procedure;
  attribute foreign of vfft_ghdl_transform : procedure is "VHPIDIRECT libvfft_ghdl.so vfft_ghdl_transform";

  impure function vfft_create(C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                              C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING : integer) return vfft_model is
  begin
    return vfft_ghdl_create(C_NFFT_MAX, C_ARCH, C_HAS_NFFT, C_USE_FLT_PT, C_INPUT_WIDTH, C_TWIDDLE_WIDTH,
                            C_HAS_SCALING, C_HAS_BFP, C_HAS_ROUNDING);
  end function;

  procedure vfft_destroy(model : vfft_model) is
  begin
    vfft_ghdl_destroy(model);
  end procedure;

  impure function vfft_output_width(model : vfft_model) return integer is
  begin
    return vfft_ghdl_output_width(model);
  end function;

  procedure vfft_transform(model : vfft_model; nfft, direction : integer; scaling_sch : integer_vector;
                           xn_re, xn_im : vfft_code_vector; xk_re, xk_im : out vfft_code_vector;
                           blk_exp, overflow, rc : out integer) is
    variable results : vfft_results;
  begin
    vfft_ghdl_transform(model, nfft, direction, scaling_sch, xn_re, xn_im, xk_re, xk_im, results);
    rc := results(0);
    blk_exp := results(1);
    overflow := results(2);
  end procedure;

  function vfft_to_code(value : signed) return vfft_code is
    alias bits : signed(value'length - 1 downto 0) is value;
    variable code : vfft_code := 0;
  begin
    if bits(bits'left) = '1' then
      code := -1;
    end if;
    for i in bits'left - 1 downto 0 loop
      code := 2 * code;
      if bits(i) = '1' then
        code := code + 1;
      end if;
    end loop;
    return code;
  end function;

  function vfft_to_signed(code : vfft_code; width : positive) return signed is
    variable bits : signed(width - 1 downto 0);
    variable rest : vfft_code := code;
  begin
    for i in 0 to width - 1 loop
      bits(i) := '1' when rest mod 2 = 1 else '0';
      rest := (rest - rest mod 2) / 2;
    end loop;
    return bits;
  end function;

end package body;
