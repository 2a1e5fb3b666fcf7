#!/usr/bin/env bash
# Tests of the HDL co-simulation packages and their example benches. The
# benches are built from an install tree with pkg-config alone (on
# PKG_CONFIG_PATH), as a user outside this source tree builds them.
#   hdl_test.sh verilate VERILATOR CC CFLAGS OUT TOP [SV]
#       verilate TOP, the example bench vfft_bench or the module of file SV,
#       with the package into OUT/TOP; vfft_dpi.c is compiled as strict C99
#       with CFLAGS, and must match the prototypes that Verilator derives
#       from the package
#   hdl_test.sh ghdl GHDL CC CFLAGS OUT [VHD]
#       build libvfft_ghdl.so and analyse the VHDL package, the example bench
#       vfft_bench and the file VHD into OUT
#   hdl_test.sh checks BINARY | vhdl-checks GHDL OUT
#       each package's contract and the message of every rejected call
#   hdl_test.sh fixed|float|mismatch BENCH VFFT PYTHON FRAMES_PY WORKDIR [GHDL OUT]
#       fixed, float: vector sets of every architecture and scaling, with
#       overflowing frames, pass frame by frame in both benches (the VHDL
#       bench of OUT, when given, reads the hex and the dec files in turn)
#       mismatch: corrupted sets fail, and the benches name what differs
set -u
group=$1
shift

fail() {
  echo "FAIL: $*" >&2
  for f in out.txt err.txt; do
    [ -s "$f" ] && sed "s/^/  $f: /" "$f" >&2
  done
  exit 1
}

case $group in
verilate)
  verilator=$1 cc=$2 cflags=$3 out=$4 top=$5 sv=${6:-}
  hdl=$(pkg-config --variable=hdldir vfft) || fail "no pkg-config file vfft"
  for pc in vfft vfft_reference; do
    library=$(pkg-config --variable=libdir $pc)/lib$(pkg-config --libs-only-l $pc | sed 's/^ *-l//; s/ *$//').so
    [ -e "$library" ] && [ -e "$(pkg-config --variable=includedir $pc)/vfft_v8_0_ext.h" ] ||
      fail "$pc.pc does not lead to its library and headers"
  done
  bench=${sv:-$hdl/example/vfft_bench.sv}
  rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
  svdpi=$("$verilator" --getenv VERILATOR_ROOT)/include/vltstd
  "$cc" -std=c99 -pedantic -Wall -Wextra -Werror $cflags -I "$svdpi" $(pkg-config --cflags vfft) \
    -c "$hdl/vfft_dpi.c" -o vfft_dpi.o >out.txt 2>err.txt || fail "vfft_dpi.c does not compile as C99"
  "$verilator" --binary -j 2 -Wall --top-module "$top" -Mdir "$out/obj" -o "$out/$top" \
    "$hdl/vfft_dpi.sv" "$bench" "$out/vfft_dpi.o" \
    -LDFLAGS "$cflags $(pkg-config --libs vfft) -Wl,-rpath,$(pkg-config --variable=libdir vfft)" >out.txt 2>err.txt || fail "verilator could not build $top"
  "$cc" -x c++ -fsyntax-only -Wall -Wextra -Werror -I "$svdpi" $(pkg-config --cflags vfft) \
    -include "obj/V${top}__Dpi.h" "$hdl/vfft_dpi.c" >out.txt 2>err.txt ||
    fail "vfft_dpi.c does not match the package's DPI imports"
  ;;

ghdl)
  ghdl=$1 cc=$2 cflags=$3 out=$4 vhd=${5:-}
  hdl=$(pkg-config --variable=hdldir vfft) || fail "no pkg-config file vfft"
  rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
  "$cc" -std=c99 -pedantic -Wall -Wextra -Werror $cflags -shared -fPIC "$hdl/vhdl/vfft_ghdl.c" \
    $(pkg-config --cflags --libs vfft) -Wl,-rpath,"$(pkg-config --variable=libdir vfft)" \
    -o libvfft_ghdl.so >out.txt 2>err.txt || fail "vfft_ghdl.c does not build as C99"
  LD_LIBRARY_PATH=$out "$ghdl" -a --std=08 "$hdl/vhdl/vfft_ghdl.vhd" "$hdl/example/vfft_bench.vhd" $vhd \
    >out.txt 2>err.txt || fail "ghdl could not analyse the VHDL package and benches"
  [ -s err.txt ] && fail "warnings from ghdl"
  ;;

checks)
  binary=$1
  cd "$(dirname "$binary")" || exit 1
  "$binary" >out.txt 2>err.txt || fail "exit $? from $binary"
  grep -q "^vfft_dpi checks passed$" out.txt || fail "no pass line"
  while IFS= read -r text; do
    grep -qF -- "$text" err.txt || fail "no message '$text'"
  done <<'EOF'
ERROR:vfft_v8_0:create_state called with invalid C_ARCH generic: must be in the range 1 to 4: Value is 9
ERROR:vfft_dpi:vfft_dpi_simulate called with a null model (vfft_dpi_create failed or was not called)
ERROR:vfft_dpi:vfft_dpi_simulate called with xn_re[0] = 256: a code of the 8-bit input port lies in -128 to 255 (two's complement, sign- or zero-extended)
ERROR:vfft_dpi:vfft_dpi_simulate called with xn_im[0] = -129: a code of the 8-bit input port lies in -128 to 255
ERROR:vfft_dpi:vfft_dpi_simulate called with xn_re of 4 elements: a frame of 8 points needs 8
ERROR:vfft_dpi:vfft_dpi_simulate called with xk_im of 4 elements: a frame of 8 points needs 8
ERROR:vfft_dpi:vfft_dpi_simulate called with scaling_sch of 2 elements: the schedule of a frame of 8 points needs 3
ERROR:vfft_v8_0:simulate called with nfft input 5 out of legal range 3 to C_NFFT_MAX
ERROR:vfft_v8_0:simulate called with invalid direction input 2: must be 0 or 1
ERROR:vfft_v8_0:simulate called with invalid scaling value: scaling_sch[2] = 4
ERROR:vfft_v8_0:simulate called with nfft input 2 out of legal range 3 to C_NFFT_MAX
ERROR:vfft_dpi:vfft_dpi_simulate called with xn_re[0] = 4294967296: a code of the 32-bit input port lies in -2147483648 to 4294967295
EOF
  [ "$(grep -c . err.txt)" = 12 ] || fail "$(grep -c . err.txt) message lines instead of 12"
  ;;

vhdl-checks)
  ghdl=$1 vhdl=$2
  cd "$vhdl" || exit 1
  LD_LIBRARY_PATH=$vhdl "$ghdl" -r --std=08 vfft_ghdl_checks >out.txt 2>err.txt || fail "exit $? from the checks"
  grep -q "vfft_ghdl checks passed$" out.txt || fail "no pass line"
  while IFS= read -r text; do
    grep -qxF -- "$text" err.txt || fail "no message '$text'"
  done <<'EOF'
ERROR:vfft_v8_0:create_state called with invalid C_ARCH generic: must be in the range 1 to 4: Value is 9
ERROR:vfft_ghdl:vfft_transform called with a null model (vfft_create failed or was not called)
ERROR:vfft_ghdl:vfft_output_width called with a null model
ERROR:vfft_ghdl:vfft_transform called with xn_re[0] = 256: a code of the 8-bit input port lies in -128 to 255 (two's complement, sign- or zero-extended)
ERROR:vfft_ghdl:vfft_transform called with xk_im of 4 elements: a frame of 8 points needs 8
ERROR:vfft_v8_0:simulate called with nfft input 5 out of legal range 3 to C_NFFT_MAX
EOF
  [ "$(grep -c . err.txt)" = 6 ] || fail "$(grep -c . err.txt) message lines instead of 6"
  ;;

fixed | float | mismatch)
  bench=$1 vfft=$2 python=$3 frames_py=$4 work=$5 ghdl=${6:-} vhdl=${7:-}
  rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

  # vectors SET ARGS...: a vector set and its frame list.
  vectors() {
    local set=$1
    shift
    "$vfft" vectors "$set" --quiet "$@" >out.txt 2>err.txt || fail "exit $? from: vfft vectors $set $*"
    "$python" "$frames_py" "$set" >out.txt 2>err.txt || fail "exit $? from: vfft_frames.py $set"
  }

  # run BENCH SET: the SystemVerilog (sv) or VHDL (vhdl) bench on SET; the
  # VHDL bench reads the data files of the format in $format.
  format=hex
  run() {
    if [ "$1" = sv ]; then
      "$bench" +vectors="$2"
    else
      LD_LIBRARY_PATH=$vhdl "$ghdl" -r --std=08 --workdir="$vhdl" vfft_bench -gVECTORS="$2" -gFORMAT=$format
    fi >out.txt 2>err.txt
  }
  benches=sv
  [ -n "$vhdl" ] && benches="sv vhdl"

  # passes SET FRAMES [OVERFLOW_FRAME]: both benches pass every frame of
  # SET, and OVERFLOW_FRAME, when given, is one that overflowed. The VHDL
  # bench reads the hex and the dec files in turn from one set to the next.
  passes() {
    local set=$1 frames=$2
    [ $format = hex ] && format=dec || format=hex
    for b in $benches; do
      run $b "$set" || fail "exit $? from the $b bench on $set"
      [ "$(grep -c '^frame [0-9]*: pass, ' out.txt)" = "$frames" ] || fail "$b, $set: not $frames frames passed"
      grep -q "^vfft_bench: $frames frames, $frames passed, 0 failed$" out.txt || fail "$b, $set: no summary"
      if [ $# -gt 2 ]; then
        grep -q "^frame $3: pass, .*, overflow 1$" out.txt || fail "$b, $set: frame $3 did not overflow"
      fi
    done
  }

  # fails BENCH SET TEXT...: BENCH exits non-zero on SET and prints each TEXT.
  fails() {
    local b=$1 set=$2
    shift 2
    run $b "$set" && fail "the $b bench passed $set"
    for text in "$@"; do
      grep -qF -- "$text" out.txt err.txt || fail "$b, $set: no '$text'"
    done
  }

  case $group in
  fixed)
    vectors radix4 --arch radix4 --nfft-max 8 --frames 3
    passes radix4 3
    vectors radix4_overflow --arch radix4 --nfft-max 7 --schedule 0,0,0,1 --stimulus random --frames 2
    passes radix4_overflow 2 0
    vectors radix2 --arch radix2 --nfft-max 5 --scaling unscaled --rounding convergent --frames 3
    passes radix2 3
    vectors radix2_lite --arch radix2-lite --nfft-max 6 --schedule 0,0,0,0,0,1 --stimulus random,tones --frames 2
    passes radix2_lite 2 0
    vectors pipelined --arch pipelined --nfft-max 7 --scaling bfp --inverse --frames 3
    passes pipelined 3
    # Overflowed pipelined frames: the result register has one integer bit
    # more than the input, so results reach +-2, and their codes fit the
    # 17-bit output port (the benches check every word's width).
    vectors pipelined_overflow --arch pipelined --nfft-max 7 --schedule 0,0,0,0 --stimulus random --frames 2
    passes pipelined_overflow 2 0
    grep -q '"output_width": 17' pipelined_overflow/manifest.json || fail "pipelined_overflow: not 17-bit outputs"
    awk '$1 < -32768 || $1 > 32767 { n++ } END { exit n == 0 }' pipelined_overflow/output.dec ||
      fail "pipelined_overflow: no result beyond the 16-bit range"
    # Run-time lengths shorter than the core's, odd and even, in arrays
    # sized for the longest frame.
    vectors runtime_radix4 --arch radix4 --nfft-max 9 --nfft 7 --scaling bfp --input-width 12 --frames 3
    passes runtime_radix4 3
    vectors runtime_pipelined --arch pipelined --nfft-max 10 --nfft 9 --twiddle-width 18 --frames 3
    passes runtime_pipelined 3
    # One set whose frames differ in length, direction and schedule.
    echo '{"frames": [{"nfft": 7, "scaling_sch": [0, 0, 0, 1]}, {"nfft": 4, "direction": 0},
      {"nfft": 5, "scaling_sch": [1, 1, 1]}]}' >mixed.json
    vectors mixed --arch pipelined --nfft-max 7 --nfft 6 --stimulus random --settings mixed.json
    passes mixed 3 0
    grep -q "^frame 1 nfft 4 direction 0 .* stages 2 2 2$" mixed/frames.txt || fail "mixed: frame 1 is not as asked"
    # The widest codes: 34-bit inputs, 51-bit unscaled outputs in 102-bit words.
    vectors widest --arch pipelined --nfft-max 16 --scaling unscaled --input-width 34 --twiddle-width 34 --frames 1
    passes widest 1
    grep -q '"output_width": 51' widest/manifest.json || fail "widest: outputs are not 51 bits"
    ;;

  float)
    vectors radix4 --float --arch radix4 --nfft-max 6 --frames 3
    passes radix4 3
    vectors radix2 --float --arch radix2 --nfft-max 5 --inverse --frames 3
    passes radix2 3
    vectors pipelined --float --arch pipelined --nfft-max 7 --frames 3
    passes pipelined 3
    vectors runtime_lite --float --arch radix2-lite --nfft-max 6 --nfft 4 --frames 3
    passes runtime_lite 3
    # 2^127 in every sample: bin 0 leaves the single range (an infinity,
    # overflow 1). An infinite input makes every result a NaN (7fffffff).
    {
      for k in 0 1 2 3 4 5 6 7; do echo "1.7014118346046923e+38 0"; done
      echo
      echo "inf 0.5"
      for k in 1 2 3 4 5 6 7; do echo "0.25 -0.5"; done
    } >special.txt
    for arch in radix2 pipelined; do
      vectors special_$arch --float --arch $arch --nfft-max 3 --input special.txt
      passes special_$arch 2 0
      grep -q '^7f8000000000000[0-9a-f]$' special_$arch/output.hex || fail "special_$arch: no infinite bin"
      [ "$(grep -c '^7fffffff7fffffff$' special_$arch/output.hex)" = 8 ] || fail "special_$arch: not 8 NaN results"
    done
    ;;

  mismatch)
    vectors good --arch radix2 --nfft-max 6 --frames 3
    passes good 3

    # One code of frame 1, sample 5 changed, in the hex and in the dec file.
    cp -r good code
    awk 'NR == 70 { d = substr($0, length($0)); $0 = substr($0, 1, length($0) - 1) (d == "0" ? "1" : "0") } 1' \
      good/output.hex >code/output.hex
    awk 'NR == 70 { $1 = $1 + 1 } 1' good/output.dec >code/output.dec
    for format in hex dec; do
      for b in $benches; do
        [ $b = sv ] && [ $format = dec ] && continue
        fails $b code "frame 0: pass" "frame 2: pass" "vfft_bench: 3 frames, 2 passed, 1 failed" \
          "frame 1: FAIL, 1 of 64 samples differ; first sample 5 (" "output.$format line 70): model re " \
          "vfft_bench: 1 of 3 frames differ from code"
      done
    done
    format=hex

    # A flag of frame 2 changed in the frame list.
    cp -r good flag
    sed -i 's/^\(frame 2 .*\) overflow 0 /\1 overflow 1 /' flag/frames.txt
    for b in $benches; do
      fails $b flag "frame 2: FAIL, model blk_exp 0 overflow 0, expected blk_exp 0 overflow 1" \
        "vfft_bench: 3 frames, 2 passed, 1 failed"
    done

    # A schedule one stage short for frame 0: the SystemVerilog bench passes
    # a -1 in its place, the VHDL bench a vector one short.
    cp -r good schedule
    sed -i 's/^\(frame 0 .*\) stages 6 1/\1 stages 5/' schedule/frames.txt
    fails sv schedule "ERROR:vfft_v8_0:simulate called with invalid scaling value: scaling_sch[5] = -1" \
      "frame 0: FAIL, the model rejected the frame with code 17" "vfft_bench: 3 frames, 2 passed, 1 failed"

    # Data files too short or with over-wide words, and frame lists that do
    # not fit the set.
    cp -r good short
    sed -i '$d' short/output.hex
    fails sv short "short/output.hex holds fewer than the 192 samples of frames.txt"
    cp -r good wide
    sed -i '100s/^/1/' wide/output.hex
    fails sv wide "wide/output.hex line 100: 1"  "is wider than the 32 bits of two 16-bit codes"
    cp -r good widths
    sed -i 's/^widths 16 16$/widths 16 20/' widths/frames.txt
    cp -r good frame
    sed -i 's/first_sample 128 /first_sample 129 /' frame/frames.txt
    fails sv widths "widths/frames.txt line 2: widths 16 and 20; the model's are 16 and 16"
    fails sv frame "frame/frames.txt line 6: samples 129 to 192 of a 64-point frame lie outside samples 0 to 191 of the data files"
    fails sv missing "cannot open missing/frames.txt; write it with 'vfft_frames.py missing'"
    "$bench" >out.txt 2>err.txt && fail "the bench ran without +vectors"
    grep -qF "no vector set; expected +vectors=DIR" out.txt err.txt || fail "no usage message"
    if [ -n "$vhdl" ]; then
      fails vhdl schedule "ERROR:vfft_ghdl:vfft_transform called with scaling_sch of 5 elements: the schedule of a frame of 64 points needs 6" \
        "frame 0: FAIL, vfft_ghdl rejected the frame" "vfft_bench: 3 frames, 2 passed, 1 failed"
      fails vhdl short "short/output.hex holds fewer than the 192 samples of short/frames.txt"
      fails vhdl wide "wide/output.hex line 100: '1" "' is not a word of two 16-bit codes (32 bits)"
      sed -i '50s/ .*/ 99999999999999999999/' wide/output.dec
      format=dec
      fails vhdl wide "wide/output.dec line 50: expected two 16-bit codes in signed decimal"
      format=hex
      fails vhdl widths "widths/frames.txt line 2: widths 16 and 20; the model's are 16 and 16"
      fails vhdl frame "frame/frames.txt line 6: frame 2 starts at sample 129; the frames before it end at sample 128"
      fails vhdl missing "cannot open missing/frames.txt; write it with 'vfft_frames.py missing'"
      LD_LIBRARY_PATH=$vhdl "$ghdl" -r --std=08 --workdir="$vhdl" vfft_bench >out.txt 2>err.txt &&
        fail "the VHDL bench ran without VECTORS"
      grep -qF "no vector set; expected -gVECTORS=DIR" out.txt err.txt || fail "no VHDL usage message"
    fi

    # A manifest the frame list cannot come from.
    mkdir -p broken
    sed 's/"frame_count": 3/"frame_count": 4/' good/manifest.json >broken/manifest.json
    "$python" "$frames_py" broken >out.txt 2>err.txt && fail "vfft_frames.py took a wrong frame count"
    grep -qF "broken/manifest.json: 'frame_count' is 4 but 'frames' lists 3 frames" err.txt ||
      fail "no frame count message"
    [ -e broken/frames.txt ] && fail "vfft_frames.py wrote a frame list from a broken manifest"
    ;;
  esac
  ;;

*)
  echo "hdl_test.sh: unknown group '$group'" >&2
  exit 2
  ;;
esac
exit 0
