-- Example bench of the vfft_ghdl package: a scoreboard without a core. It
-- reads a golden-vector set written by 'vfft vectors DIR' with textio
-- (input.hex and output.hex, or input.dec and output.dec, and the frame list
-- DIR/frames.txt written by vfft_frames.py from the manifest), runs every
-- frame through the model, and compares the model's codes, block exponent
-- and overflow flag with the expected ones. One line per frame and a
-- summary; a failure on any mismatch.
--
--   ghdl -r --std=08 vfft_bench -gVECTORS=DIR [-gFORMAT=dec]
--
-- The data files are read in order, frame after frame, as a core's input
-- and output streams would deliver them. In a bench with a core, the
-- expected codes would come from the core's output port and the stimulus
-- would drive its input port as well.
library ieee;
use ieee.std_logic_1164.all;
use ieee.numeric_std.all;
use std.textio.all;
use work.vfft_ghdl.all;

entity vfft_bench is
  generic (
    VECTORS : string := "";     -- the set's folder
    FORMAT  : string := "hex"); -- hex: input.hex, output.hex; dec: input.dec, output.dec
end entity;

architecture scoreboard of vfft_bench is

  type code_vector_access is access vfft_code_vector;

  -- One data file of the set and the samples read from it so far.
  type data_file is record
    name  : line;  -- DIR/input.hex ...
    width : natural;
    lines : natural;
  end record;

  procedure say(text : string) is
    variable l : line;
  begin
    write(l, text);
    writeline(output, l);
  end procedure;

  procedure fail(text : string) is
  begin
    report "vfft_bench: " & text severity failure;
  end procedure;

  -- The next whitespace-separated word of l, empty at the end of the line.
  procedure next_word(l : inout line; word : inout line) is
    variable text : string(1 to 64);
    variable length : natural;
  begin
    sread(l, text, length);
    deallocate(word);
    word := new string'(text(1 to length));
  end procedure;

  -- A decimal word as a code; ok is false for anything else.
  procedure decimal(word : string; code : out vfft_code; ok : out boolean) is
    variable value : vfft_code := 0;
    variable first : positive := word'low;
    variable digit : vfft_code;
  begin
    ok := false;
    if word'length > 0 and word(word'low) = '-' then
      first := first + 1;
    end if;
    if first > word'high then
      return;
    end if;
    for i in first to word'high loop
      if word(i) < '0' or word(i) > '9' then
        return;
      end if;
      digit := vfft_code(character'pos(word(i)) - character'pos('0'));
      if value > (vfft_code'high - digit) / 10 then
        return;
      end if;
      value := 10 * value + digit;
    end loop;
    code := -value when first > word'low else value;
    ok := true;
  end procedure;

  -- A code as the set's .dec files and the core's users read it: signed
  -- decimal, or the single's bit pattern in floating-point mode.
  function code_text(code : vfft_code; single : boolean) return string is
  begin
    if single then
      return to_hstring(vfft_to_signed(code, 32));
    end if;
    return vfft_code'image(code);
  end function;

begin

  process
    file frame_list, input_data, output_data : text;
    variable input_file, output_file : data_file;
    variable frames_name, l, word : line;
    variable line_number : natural := 0;
    variable status : file_open_status;
    variable generics : integer_vector(1 to 9);
    variable input_width, output_width, frame_count, sample_count, sample, passed : natural := 0;
    variable single, good : boolean;
    variable model : vfft_model;
    variable xn_re, xn_im, xk_re, xk_im, want_re, want_im : code_vector_access;
    variable schedule : integer_vector(0 to 15);

    impure function where return string is
    begin
      return frames_name.all & " line " & integer'image(line_number);
    end function;

    -- Reads the next line of the frame list.
    procedure next_line is
    begin
      if endfile(frame_list) then
        fail(frames_name.all & " ends early, at line " & integer'image(line_number));
      end if;
      readline(frame_list, l);
      line_number := line_number + 1;
    end procedure;

    -- Reads the word key and an integer from the frame list's current line.
    procedure keyed(key : string; value : out integer) is
    begin
      next_word(l, word);
      read(l, value, good);
      if word.all /= key or not good then
        fail(where & ": expected '" & key & "' and an integer");
      end if;
    end procedure;

    -- Reads the next sample of a data file: one hex word of two codes, or
    -- two decimal codes.
    procedure read_sample(file data : text; info : inout data_file; re, im : out vfft_code) is
      variable sample_line : line;
      variable ok_re, ok_im : boolean;
      impure function at return string is
      begin
        return info.name.all & " line " & integer'image(info.lines);
      end function;
      -- The hex word's bits, at least 2 * width of them.
      procedure unpack(text : string) is
        variable bits : unsigned(4 * text'length + 2 * info.width - 1 downto 0) := (others => '0');
        variable digit : natural;
      begin
        for i in text'range loop
          case text(i) is
            when '0' to '9' => digit := character'pos(text(i)) - character'pos('0');
            when 'a' to 'f' => digit := character'pos(text(i)) - character'pos('a') + 10;
            when 'A' to 'F' => digit := character'pos(text(i)) - character'pos('A') + 10;
            when others => fail(at & ": '" & text & "' is not a hex word");
          end case;
          bits := bits(bits'left - 4 downto 0) & to_unsigned(digit, 4);
        end loop;
        if text'length = 0 or bits(bits'left downto 2 * info.width) /= 0 then
          fail(at & ": '" & text & "' is not a word of two " & integer'image(info.width) & "-bit codes ("
               & integer'image(2 * info.width) & " bits)");
        end if;
        re := vfft_to_code(signed(bits(2 * info.width - 1 downto info.width)));
        im := vfft_to_code(signed(bits(info.width - 1 downto 0)));
      end procedure;
      variable code_re, code_im : vfft_code;
      variable high : vfft_code;
    begin
      if endfile(data) then
        fail(info.name.all & " holds fewer than the " & integer'image(sample_count) & " samples of "
             & frames_name.all);
      end if;
      readline(data, sample_line);
      info.lines := info.lines + 1;
      next_word(sample_line, word);
      if FORMAT = "hex" then
        unpack(word.all);
      else
        decimal(word.all, code_re, ok_re);
        next_word(sample_line, word);
        decimal(word.all, code_im, ok_im);
        high := 2 ** (info.width - 1);
        if not (ok_re and ok_im) or code_re < -high or code_re >= high or code_im < -high or code_im >= high then
          fail(at & ": expected two " & integer'image(info.width) & "-bit codes in signed decimal");
        end if;
        re := code_re;
        im := code_im;
      end if;
      next_word(sample_line, word);
      if word.all /= "" then
        fail(at & ": '" & word.all & "' after the sample");
      end if;
      deallocate(sample_line);
    end procedure;

    -- Runs the next frame of the list through the model and compares;
    -- passed counts it when it passes.
    procedure check_frame(f : natural) is
      variable index, nfft, direction, blk_exp, overflow, first, stages, points, rc : integer;
      variable model_blk_exp, model_overflow, differ, first_differ : integer := 0;
    begin
      next_line;
      keyed("frame", index);
      keyed("nfft", nfft);
      keyed("direction", direction);
      keyed("blk_exp", blk_exp);
      keyed("overflow", overflow);
      keyed("first_sample", first);
      keyed("stages", stages);
      if index /= f or nfft < 3 or nfft > generics(1) or stages < 0 or stages > 16 then
        fail(where & ": frame " & integer'image(index) & ", nfft " & integer'image(nfft) & ", "
             & integer'image(stages) & " stages; expected frame " & integer'image(f) & ", nfft 3 to "
             & integer'image(generics(1)) & ", 0 to 16 stages");
      end if;
      for s in 0 to stages - 1 loop
        read(l, schedule(s), good);
        if not good then
          fail(where & ": expected " & integer'image(stages) & " schedule values");
        end if;
      end loop;
      if first /= sample then
        fail(where & ": frame " & integer'image(f) & " starts at sample " & integer'image(first)
             & "; the frames before it end at sample " & integer'image(sample));
      end if;
      points := 2 ** nfft;
      for k in 0 to points - 1 loop
        read_sample(input_data, input_file, xn_re(k), xn_im(k));
        read_sample(output_data, output_file, want_re(k), want_im(k));
      end loop;
      sample := sample + points;

      vfft_transform(model, nfft, direction, schedule(0 to stages - 1), xn_re.all, xn_im.all, xk_re.all,
                     xk_im.all, model_blk_exp, model_overflow, rc);
      if rc = VFFT_BAD_CALL then
        say("frame " & integer'image(f) & ": FAIL, vfft_ghdl rejected the frame");
        return;
      elsif rc /= 0 then
        say("frame " & integer'image(f) & ": FAIL, the model rejected the frame with code " & integer'image(rc));
        return;
      end if;
      for k in 0 to points - 1 loop
        if xk_re(k) /= want_re(k) or xk_im(k) /= want_im(k) then
          if differ = 0 then
            first_differ := k;
          end if;
          differ := differ + 1;
        end if;
      end loop;
      if differ /= 0 then
        say("frame " & integer'image(f) & ": FAIL, " & integer'image(differ) & " of " & integer'image(points)
            & " samples differ; first sample " & integer'image(first_differ) & " (" & output_file.name.all
            & " line " & integer'image(first + first_differ + 1) & "): model re "
            & code_text(xk_re(first_differ), single) & " im " & code_text(xk_im(first_differ), single)
            & ", expected re " & code_text(want_re(first_differ), single) & " im "
            & code_text(want_im(first_differ), single));
      elsif model_blk_exp /= blk_exp or model_overflow /= overflow then
        say("frame " & integer'image(f) & ": FAIL, model blk_exp " & integer'image(model_blk_exp) & " overflow "
            & integer'image(model_overflow) & ", expected blk_exp " & integer'image(blk_exp) & " overflow "
            & integer'image(overflow));
      else
        say("frame " & integer'image(f) & ": pass, " & integer'image(points) & " points, blk_exp "
            & integer'image(blk_exp) & ", overflow " & integer'image(overflow));
        passed := passed + 1;
      end if;
    end procedure;

    procedure open_data(file data : text; info : inout data_file; part : string; width : natural) is
    begin
      info.name := new string'(VECTORS & "/" & part & "." & FORMAT);
      info.width := width;
      file_open(status, data, info.name.all, read_mode);
      if status /= open_ok then
        fail("cannot open " & info.name.all);
      end if;
    end procedure;

  begin
    if VECTORS = "" then
      fail("no vector set; expected -gVECTORS=DIR, a folder written by 'vfft vectors DIR'");
    end if;
    if FORMAT /= "hex" and FORMAT /= "dec" then
      fail("FORMAT is '" & FORMAT & "'; expected hex or dec");
    end if;
    frames_name := new string'(VECTORS & "/frames.txt");
    file_open(status, frame_list, frames_name.all, read_mode);
    if status /= open_ok then
      fail("cannot open " & frames_name.all & "; write it with 'vfft_frames.py " & VECTORS & "'");
    end if;

    next_line;
    next_word(l, word);
    for g in generics'range loop
      read(l, generics(g), good);
      if word.all /= "generics" or not good then
        fail(where & ": expected 'generics' and the nine generics");
      end if;
    end loop;
    model := vfft_create(generics(1), generics(2), generics(3), generics(4), generics(5), generics(6),
                         generics(7), generics(8), generics(9));
    if model = VFFT_NULL_MODEL then
      fail(where & ": the model rejected the generics");
    end if;
    next_line;
    keyed("widths", input_width);
    read(l, output_width, good);
    if not good or input_width /= generics(5) or output_width /= vfft_output_width(model) then
      fail(where & ": widths " & integer'image(input_width) & " and " & integer'image(output_width)
           & "; the model's are " & integer'image(generics(5)) & " and "
           & integer'image(vfft_output_width(model)));
    end if;
    next_line;
    keyed("frames", frame_count);
    keyed("samples", sample_count);
    if frame_count < 1 then
      fail(where & ": " & integer'image(frame_count) & " frames; expected 1 or more");
    end if;
    single := generics(4) = 1;

    open_data(input_data, input_file, "input", input_width);
    open_data(output_data, output_file, "output", output_width);
    xn_re := new vfft_code_vector(0 to 2 ** generics(1) - 1);
    xn_im := new vfft_code_vector(xn_re'range);
    xk_re := new vfft_code_vector(xn_re'range);
    xk_im := new vfft_code_vector(xn_re'range);
    want_re := new vfft_code_vector(xn_re'range);
    want_im := new vfft_code_vector(xn_re'range);
    for f in 0 to frame_count - 1 loop
      check_frame(f);
    end loop;
    if sample /= sample_count then
      fail(frames_name.all & " lists " & integer'image(sample_count) & " samples; its frames hold "
           & integer'image(sample));
    end if;
    if not endfile(input_data) then
      fail(input_file.name.all & " holds more than the " & integer'image(sample_count) & " samples of "
           & frames_name.all);
    elsif not endfile(output_data) then
      fail(output_file.name.all & " holds more than the " & integer'image(sample_count) & " samples of "
           & frames_name.all);
    end if;
    vfft_destroy(model);

    say("vfft_bench: " & integer'image(frame_count) & " frames, " & integer'image(passed) & " passed, "
        & integer'image(frame_count - passed) & " failed");
    if passed /= frame_count then
      fail(integer'image(frame_count - passed) & " of " & integer'image(frame_count) & " frames differ from "
           & VECTORS);
    end if;
    wait;
  end process;

end architecture;
