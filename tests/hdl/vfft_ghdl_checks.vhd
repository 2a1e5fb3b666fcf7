-- The vfft_ghdl package's own contract, checked from VHDL: GHDL's passing of
-- scalars, results and vectors whose index does not start at 0, frames
-- shorter than the vectors, codes sign- or zero-extended, outputs zeroed
-- beyond the frame and by failed calls, the library's codes passed through,
-- rejected calls, and the code conversions at 51 bits. The driver checks
-- the messages on standard error; this entity fails at the first wrong
-- answer.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;
use work.vfft_ghdl.all;

entity vfft_ghdl_checks is
end entity;

architecture checks of vfft_ghdl_checks is
begin
  process
    constant UNWRITTEN : vfft_code := 12345;
    constant LOWEST : signed(50 downto 0) := (50 => '1', others => '0');
    constant HIGHEST : signed(50 downto 0) := (50 => '0', others => '1');
    variable model : vfft_model;
    variable xn_re, xn_im, xk_re, xk_im : vfft_code_vector(4 to 19);
    variable short : vfft_code_vector(0 to 3);
    variable blk_exp, overflow, rc : integer;

    procedure frame(re, im : vfft_code) is
    begin
      xn_re := (others => 0);
      xn_im := (others => 0);
      xn_re(4) := re;
      xn_im(4) := im;
      xk_re := (others => UNWRITTEN);
      xk_im := (others => UNWRITTEN);
      blk_exp := 7;
      overflow := 1;
    end procedure;

    procedure expect(what : string; want_rc, points : integer; re, im : vfft_code) is
      variable want_re, want_im : vfft_code;
    begin
      assert rc = want_rc report what & ": return code " & integer'image(rc) severity failure;
      for k in 0 to 15 loop
        want_re := re when k < points else 0;
        want_im := im when k < points else 0;
        assert xk_re(4 + k) = want_re and xk_im(4 + k) = want_im
          report what & ": sample " & integer'image(k) & " is " & vfft_code'image(xk_re(4 + k)) & " "
                 & vfft_code'image(xk_im(4 + k)) severity failure;
      end loop;
      assert blk_exp = 0 and overflow = 0 report what & ": blk_exp or overflow set" severity failure;
    end procedure;
  begin
    assert vfft_create(4, 9, 1, 0, 8, 16, 1, 0, 0) = VFFT_NULL_MODEL report "C_ARCH 9 built a model"
      severity failure;
    frame(64, 0);
    vfft_transform(VFFT_NULL_MODEL, 3, 1, (1, 1, 1), xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
    expect("null model", VFFT_BAD_CALL, 0, 0, 0);
    assert vfft_output_width(VFFT_NULL_MODEL) = VFFT_BAD_CALL report "null model has a width" severity failure;

    -- Radix-2, run-time length up to 16 points, 8-bit codes, one bit per
    -- stage: an 8-point impulse of 64 (0.5) gives 64/8 in every bin.
    model := vfft_create(4, 2, 1, 0, 8, 16, 1, 0, 0);
    assert vfft_output_width(model) = 8 report "output width" severity failure;
    frame(64, -32);
    vfft_transform(model, 3, 1, (1, 1, 1), xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
    expect("8-point impulse", 0, 8, 8, -4);
    -- -64 and -32 zero-extended from 8 bits; the results come sign-extended.
    frame(192, 224);
    vfft_transform(model, 3, 0, (1, 1, 1), xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
    expect("zero-extended codes", 0, 8, -8, -4);

    frame(256, 0);
    vfft_transform(model, 3, 1, (1, 1, 1), xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
    expect("code above the zero-extended range", VFFT_BAD_CALL, 0, 0, 0);
    frame(64, 0);
    vfft_transform(model, 3, 1, (1, 1, 1), xn_re, xn_im, xk_re, short, blk_exp, overflow, rc);
    assert rc = VFFT_BAD_CALL report "4-element xk_im" severity failure;
    frame(64, 0);
    vfft_transform(model, 5, 1, (1, 1, 1), xn_re, xn_im, xk_re, xk_im, blk_exp, overflow, rc);
    expect("nfft 5 of at most 4", 7, 0, 0, 0);
    vfft_destroy(model);
    vfft_destroy(VFFT_NULL_MODEL);

    assert vfft_to_code(LOWEST) = -2**50 and vfft_to_code(HIGHEST) = 2**50 - 1 and
           vfft_to_signed(-2**50, 51) = LOWEST and vfft_to_signed(2**50 - 1, 51) = HIGHEST and
           vfft_to_signed(-5, 4) = "1011" and vfft_to_code(signed'("1011")) = -5
      report "code conversions" severity failure;
    report "vfft_ghdl checks passed";
    wait;
  end process;
end architecture;
