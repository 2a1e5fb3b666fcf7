#!/usr/bin/env bash
# Tests of the vfft program: vfft_program_test.sh GROUP VFFT WORKDIR.
#   demo     the demonstration names the five tones, strongest first, on any length
#   formats  run reads and writes values, codes and packed words consistently
#   vectors  a vector set read back and transformed again gives the same codes
#   errors   bad input: one message, the exit code, no output file left behind
#   outputs  FIFOs, links and devices written in place; every failed write fails
set -u
group=$1
vfft=$2
work=$3
rm -rf "$work" && mkdir -p "$work/out" && cd "$work" || exit 1

fail() {
  echo "FAIL: $*" >&2
  [ -s err.txt ] && sed 's/^/  stderr: /' err.txt >&2
  exit 1
}

# ok CMD...: the command succeeds; its output is in out.txt and err.txt.
ok() {
  "$@" >out.txt 2>err.txt || fail "exit $? from: $*"
}

# error CODE TEXT CMD...: the command fails with CODE, writes TEXT on
# standard error, and leaves out/ empty.
error() {
  local code=$1 text=$2
  shift 2
  "$@" >out.txt 2>err.txt
  local rc=$?
  [ "$rc" = "$code" ] || fail "exit $rc instead of $code from: $*"
  grep -qF -- "$text" err.txt || fail "no '$text' in the message of: $*"
  [ -z "$(ls -A out)" ] || fail "files left in out/ by: $* ($(ls -A out))"
}

# The demo's bins, in printed order, as "1 3 5 6 2".
demo_bins() {
  sed -n 's/^  X\[\([0-9]*\)\].*/\1/p' out.txt | tr '\n' ' ' | sed 's/ $//'
}

case $group in
demo)
  # Tones at 1, 3, N/2+1, N-2 and N/4 of falling strength.
  for args in "C_NFFT_MAX=3 C_ARCH=2:1 3 5 6 2" "C_NFFT_MAX=3 C_ARCH=3 C_HAS_ROUNDING=1:1 3 5 6 2" \
              "--arch pipelined --nfft-max 4 --scaling unscaled --input-width 8:1 3 9 14 4" \
              "C_NFFT_MAX=3 C_ARCH=4 --float:1 3 5 6 2" ":1 3 513 1022 256"; do
    ok "$vfft" ${args%%:*}
    [ "$(demo_bins)" = "${args#*:}" ] || fail "demo ${args%%:*}: bins $(demo_bins), expected ${args#*:}"
    grep -q "^SQNR against a double-precision transform: [0-9.]* dB" out.txt || fail "no SQNR from demo ${args%%:*}"
  done
  grep -q "^core: radix-4 burst I/O, 1024 points, 16-bit input, 16-bit output, 16-bit twiddles, scaled by schedule 2,2,2,2,2, truncation$" out.txt ||
    fail "default configuration in words: $(sed -n 2p out.txt)"
  grep -q "^1024-point forward transform: blk_exp 0, overflow 0, results scaled by 2^-10$" out.txt ||
    fail "default transform: $(sed -n 3p out.txt)"
  ok "$vfft" demo --arch pipelined --nfft-max 4 --scaling bfp --inverse
  grep -q "^core: pipelined streaming I/O, 16 points, 16-bit input, 17-bit output, 16-bit twiddles, block floating point, truncation$" out.txt ||
    fail "configuration in words: $(sed -n 2p out.txt)"
  [ "$(demo_bins)" = "15 13 7 2 12" ] || fail "inverse demo: bins $(demo_bins)"
  ok "$vfft" --version
  [ "$(head -1 out.txt)" = "vfft 8.0.0" ] && grep -q "^library vfft_v8_0 8.0.0, native.* datapath$" out.txt ||
    fail "version: $(cat out.txt)"
  for command in "" demo run vectors; do
    ok "$vfft" $command --help
    grep -q "^usage: vfft" out.txt || fail "no usage from vfft $command --help"
  done
  ;;

formats)
  # An 8-point unscaled radix-2 core: output codes of 16 + 3 + 1 = 20 bits on
  # the input step 2^-15. Frame 0 is an impulse of 0.5 - 0.25j, whose
  # transform is that value in every bin; frame 1 a constant 2^-15, whose
  # bin 0 is 8 x 2^-15.
  core="--arch radix2 --nfft-max 3 --scaling unscaled"
  { for i in 0 1 2 3 4 5 6 7; do [ $i = 0 ] && echo "0.5 -0.25" || echo "0 0"; done
    echo
    for i in 0 1 2 3 4 5 6 7; do echo "3.0517578125e-05 0"; done; } >in.float
  { for i in 0 1 2 3 4 5 6 7; do [ $i = 0 ] && echo "16384 -8192" || echo "0 0"; done
    for i in 0 1 2 3 4 5 6 7; do echo "1 0"; done; } >in.int
  # Hex input as $readmemh takes it: comments, and addresses of the next sample.
  { echo "// impulse, then a constant"; echo "@0 4000e000 /* bin 0"; echo "  still a comment */"
    for i in 1 2 3 4 5 6 7; do echo "00000000"; done
    echo; echo "@8"
    for i in 0 1 2 3 4 5 6 7; do echo "00010000 // sample $i"; done; } >in.hex
  for from in float int hex; do
    ok "$vfft" run $core --input in.$from --input-format $from --output out.$from.int --output-format int
    cmp -s out.float.int out.$from.int || fail "$from input gives other codes than float input"
  done
  for to in float hex; do
    ok "$vfft" run $core --input in.float --output out.float.$to --output-format $to
  done
  [ "$(sed -n 1p out.float.int)" = "16384 -8192" ] || fail "impulse bin 0: $(sed -n 1p out.float.int)"
  [ "$(sed -n 8p out.float.float)" = "0.5 -0.25" ] || fail "impulse bin 7: $(sed -n 8p out.float.float)"
  [ "$(sed -n 8p out.float.hex)" = "04000fe000" ] || fail "impulse bin 7 as a 40-bit word: $(sed -n 8p out.float.hex)"
  [ "$(sed -n 9p out.float.int)" = "8 0" ] || fail "constant frame bin 0 (no blank line between frames): $(sed -n 9p out.float.int)"
  # Every value is its code times the step; every hex word packs the codes.
  paste -d' ' out.float.float out.float.int | awk 'NF && ($1 * 32768 != $3 || $2 * 32768 != $4) { exit 1 }' ||
    fail "float and int results disagree"
  paste -d' ' out.float.hex out.float.int | while read -r word re im; do
    [ -z "$word" ] && continue
    value=$((16#$word))
    hre=$((value >> 20)); him=$((value & 0xfffff))
    ((hre >= 1 << 19)) && hre=$((hre - (1 << 20)))
    ((him >= 1 << 19)) && him=$((him - (1 << 20)))
    [ "$hre $him" = "$re $im" ] || fail "hex word $word is not $re $im"
  done || exit 1
  # The inverse transform of the constant frame is 8 x 2^-15 in bin 0 as well.
  ok "$vfft" run $core --input in.int --input-format int --output inverse.int --output-format int --inverse
  grep -q "^frame 1: 8 points, inverse, blk_exp 0, overflow 0$" out.txt || fail "frame report: $(cat out.txt)"
  [ "$(sed -n 9p inverse.int)" = "8 0" ] || fail "inverse constant frame bin 0: $(sed -n 9p inverse.int)"
  # Quiet: nothing but the results.
  ok "$vfft" run $core --input in.int --input-format int --output quiet.int --output-format int --quiet
  [ ! -s out.txt ] && [ ! -s err.txt ] || fail "--quiet printed: $(cat out.txt err.txt)"
  cmp -s quiet.int out.float.int || fail "--quiet changed the results"
  # Single precision: codes are bit patterns, 1.0 is 3f800000.
  printf '1 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n' >one.float
  ok "$vfft" run --float --arch radix2 --nfft-max 3 --input one.float --output one.hex --output-format hex
  [ "$(sort -u one.hex)" = "3f80000000000000" ] || fail "single-precision impulse: $(sort -u one.hex | head -3)"
  # All ones transform to 8.0 (41000000) in bin 0.
  ok "$vfft" run --float --arch radix2 --nfft-max 3 --input one.hex --input-format hex --output-format int
  [ "$(head -2 out.txt | tr '\n' ,)" = "1090519040 0,0 0," ] || fail "single-precision codes: $(head -2 out.txt)"
  # Standard input and output, with the report on standard error.
  ok "$vfft" run $core --input-format int <in.int
  cmp -s out.txt out.float.float || fail "standard output differs from --output"
  grep -q "^frame 0: 8 points, forward, blk_exp 0, overflow 0$" err.txt || fail "no frame report on standard error"
  # Codes wider than 64 bits a word: a 34-bit unscaled core of 64 points has
  # 41-bit outputs. An impulse of -1.0 (input word 2^33 << 34) gives -2^33 in
  # every bin, the word (2^41 - 2^33) << 41 = 0xff << 74.
  wide="--arch radix2 --nfft-max 6 --scaling unscaled --input-width 34"
  { echo 80000000000000000; for i in $(seq 63); do echo 00000000000000000; done; } >wide.hex
  ok "$vfft" run $wide --input wide.hex --input-format hex --output wide.out --output-format hex
  [ "$(sort -u wide.out)" = "3fc000000000000000000" ] || fail "41-bit words: $(sort -u wide.out | head -3)"
  # A run-time length: 8-point frames on a core of up to 32 points, the
  # report as JSON instead of lines.
  ok "$vfft" run --arch radix2 --nfft-max 5 --nfft 3 --input in.float --output rt.int --output-format int --summary sum.json
  [ ! -s out.txt ] || fail "frame lines printed although --summary was given"
  [ "$(sed -n 1p rt.int)" = "2048 -1024" ] || fail "run-time length impulse: $(sed -n 1p rt.int)"
  grep -q '"C_NFFT_MAX": 5, "C_ARCH": 2, "C_HAS_NFFT": 1' sum.json && grep -q '"frame_count": 2' sum.json &&
    grep -q '{"index": 1, "nfft": 3, "points": 8, "direction": 1, "scaling_sch": \[1, 1, 1\], "blk_exp": 0, "overflow": 0, "first_sample": 8}' sum.json ||
    fail "summary: $(cat sum.json)"
  ;;

vectors)
  # Each set, re-read from its data files and transformed again by run, gives
  # the recorded results; the manifest tells the widths.
  for core in "--arch radix4 --nfft-max 7 --scaling bfp:16:16" \
              "--arch radix2-lite --nfft-max 6 --nfft 4 --input-width 34 --scaling unscaled:34:41" \
              "--float --arch pipelined --nfft-max 4:32:32" "--arch pipelined --nfft-max 5 --inverse --rounding convergent:16:17"; do
    args=${core%%:*}; widths=${core#*:}; wi=${widths%:*}; wo=${widths#*:}
    rm -rf set && ok "$vfft" vectors set $args --frames 4 --seed 7 --quiet
    [ ! -s out.txt ] && [ ! -s err.txt ] || fail "$args: --quiet printed $(cat out.txt err.txt)"
    grep -q "\"input_width\": $wi, .*\"output_width\": $wo, .*\"input_word_width\": $((2 * wi)), \"output_word_width\": $((2 * wo))" set/manifest.json ||
      fail "$args: widths in $(cat set/manifest.json)"
    grep -q '"frame_count": 4' set/manifest.json || fail "$args: frame count"
    points=$(sed -n 's/.*"points": \([0-9]*\).*/\1/p' set/manifest.json | head -1)
    [ "$(wc -l <set/input.hex)" = $((4 * points)) ] && [ "$(wc -l <set/output.dec)" = $((4 * points)) ] ||
      fail "$args: data files do not hold 4 frames of $points samples"
    awk -v d=$(((2 * wo + 3) / 4)) 'length($0) != d || /[^0-9a-f]/ { exit 1 }' set/output.hex || fail "$args: hex digits"
    ok "$vfft" run $args --input set/input.hex --input-format hex --output again.hex --output-format hex --summary again.json
    cmp -s again.hex set/output.hex || fail "$args: hex input does not reproduce output.hex"
    diff <(grep -o '"blk_exp": [0-9]*, "overflow": [01]' set/manifest.json) \
         <(grep -o '"blk_exp": [0-9]*, "overflow": [01]' again.json) >/dev/null || fail "$args: flags differ"
  done
  # Stimulus kinds and a set from a file of values on the input grid.
  rm -rf set && ok "$vfft" vectors set --arch radix2 --nfft-max 3 --stimulus impulse,tones --frames 3 --quiet
  [ "$(sed -n 1p set/input.dec)" = "16384 -8192" ] || fail "impulse stimulus: $(sed -n 1p set/input.dec)"
  sed -n 9,16p set/input.dec | awk '{ s += ($1 != 0) } END { exit s < 8 ? 1 : 0 }' || fail "tone stimulus has zeros"
  awk '{ printf "%.17g %.17g\n", $1 / 32768, $2 / 32768 }' set/input.dec >grid.float
  rm -rf set2 && ok "$vfft" vectors set2 --arch radix2 --nfft-max 3 --input grid.float
  cmp -s set/input.hex set2/input.hex && cmp -s set/output.hex set2/output.hex || fail "vectors from a file differ"
  grep -q '"scaling_sch": \[1, 1, 1\]' set2/manifest.json || fail "default schedule in the manifest"
  # Single precision: an infinite input invalidates the frame, every result
  # is the quiet NaN 7fffffff.
  { echo "inf 0"; for i in $(seq 7); do echo "0.5 -2"; done; } >inf.float
  rm -rf set3 && ok "$vfft" vectors set3 --float --arch radix2 --nfft-max 3 --input inf.float
  [ "$(sed -n 1p set3/input.hex)" = "7f80000000000000" ] && [ "$(sed -n 2p set3/input.dec)" = "1056964608 -1073741824" ] ||
    fail "single-precision stimulus codes: $(sed -n 1,2p set3/input.hex set3/input.dec)"
  [ "$(sort -u set3/output.hex)" = "7fffffff7fffffff" ] || fail "invalidated results: $(sort -u set3/output.hex | head -3)"
  ok "$vfft" run --arch radix2 --nfft-max 3 --input set/input.dec --input-format int --output again.dec --output-format int
  cmp -s again.dec set/output.dec || fail "decimal input does not reproduce output.dec"
  # A pipelined scheduled frame that overflows: its results have one more
  # integer bit, so bin 0 of 4 x 0.75 wraps from 3 to -1 and bin 1, about
  # 1.81 - 0.31j, keeps its code beyond the input range.
  printf '0.75 0\n0.75 0\n0.75 0\n0.75 0\n0 0\n0 0\n0 0\n0 0\n' >wrap.float
  rm -rf wrap && ok "$vfft" vectors wrap --arch pipelined --nfft-max 3 --schedule 0,0 --input wrap.float
  [ "$(cat out.txt)" = "wrap: 1 frame of 8 points, input 16 bits, output 17 bits" ] || fail "wrap: $(cat out.txt)"
  [ "$(sed -n 1,2p wrap/output.dec | tr '\n' ,)" = "-32768 0,24576 -59331," ] || fail "wrap codes: $(sed -n 1,2p wrap/output.dec)"
  [ "$(sed -n 2p wrap/output.hex)" = "0c001183d" ] || fail "wrap word: $(sed -n 2p wrap/output.hex)"
  grep -q '"output_width": 17, "output_point": 15' wrap/manifest.json && grep -q '"overflow": 1' wrap/manifest.json ||
    fail "wrap manifest: $(cat wrap/manifest.json)"
  # Frames of their own length, direction and schedule: the manifest of a
  # set gives the same set again, and run reproduces its results.
  cat >mixed.json <<'END'
{"frames": [{"nfft": 4, "scaling_sch": [0, 1, 1, 1]}, {"nfft": 3, "direction": 0},
            {"nfft": 5, "direction": 0, "scaling_sch": [1, 1, 0, 1, 1]}, {}]}
END
  mixed="--arch radix2 --nfft-max 5 --nfft 3"
  rm -rf mixed && ok "$vfft" vectors mixed $mixed --settings mixed.json --stimulus random,impulse
  [ "$(cat out.txt)" = "mixed: 4 frames of 8 to 32 points, input 16 bits, output 16 bits" ] || fail "mixed: $(cat out.txt)"
  [ "$(grep -o '"nfft": [0-9]*, "points": [0-9]*, "direction": [01], "scaling_sch": [^]]*]' mixed/manifest.json | tr '\n' ,)" = \
    '"nfft": 4, "points": 16, "direction": 1, "scaling_sch": [0, 1, 1, 1],"nfft": 3, "points": 8, "direction": 0, "scaling_sch": [1, 1, 1],"nfft": 5, "points": 32, "direction": 0, "scaling_sch": [1, 1, 0, 1, 1],"nfft": 3, "points": 8, "direction": 1, "scaling_sch": [1, 1, 1],' ] ||
    fail "mixed frames: $(cat mixed/manifest.json)"
  grep -q '"first_sample": 56}' mixed/manifest.json && [ "$(wc -l <mixed/output.hex)" = 64 ] || fail "mixed samples"
  rm -rf again && ok "$vfft" vectors again $mixed --settings mixed/manifest.json --input mixed/input.dec --input-format int
  for f in input.hex output.hex input.dec output.dec manifest.json; do
    cmp -s mixed/$f again/$f || fail "the manifest does not give the same $f again"
  done
  ok "$vfft" run $mixed --settings mixed/manifest.json --input mixed/input.hex --input-format hex --output-format hex
  cmp -s out.txt mixed/output.hex || fail "run of a mixed set differs from output.hex"
  # A set too large is refused at once, unless forced.
  error 1 "vectors: 2147483647 frames would make a set of more than 1 GiB; ask for fewer frames, or give --force" \
    "$vfft" vectors out/big --frames 2147483647 --arch radix2 --nfft-max 4
  ;;

errors)
  printf '0.5 0\n0 0\n' >short.float
  printf '0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0.1 0\n' >offgrid.float
  printf '0 0\n0 0\n0 0\n1.0 0\n0 0\n0 0\n0 0\n0 0\n' >one.float
  printf '0 0\n0 0 0\n' >three.int
  printf '0 0\n-32769 0\n' >wide.int
  printf '0 0\n99999999999999999999 0\n' >huge.int
  printf '00000000\n100000000\n' >long.hex
  core="--arch radix2 --nfft-max 3"
  error 2 "C_ARCH: 4294967299 is out of the range of a 32-bit integer, -2147483648 to 2147483647" "$vfft" C_ARCH=4294967299
  error 2 "--nfft-max: expected a decimal integer, got '12x'" "$vfft" run --nfft-max 12x --output out/r
  error 2 "unknown generic 'C_WIDTH'" "$vfft" run C_WIDTH=3 --output out/r
  error 2 "run: unknown argument '--outptu'" "$vfft" run --outptu out/r
  error 2 "run: option --input needs a value" "$vfft" run --input
  error 2 "--arch: expected radix4|radix2|pipelined|radix2-lite, got 'radix8'" "$vfft" run --arch radix8
  error 2 "--output-format: expected float|int|hex, got 'bin'" "$vfft" run --output-format bin
  error 2 "unknown command 'transform'" "$vfft" transform
  error 2 "--schedule: this core takes no scaling schedule" "$vfft" run --scaling bfp --schedule 1,1,1 --output out/r
  error 2 "--nfft: 9 is out of range; expected 3 to C_NFFT_MAX = 8" "$vfft" run --arch radix2 --nfft-max 8 --nfft 9
  error 2 "--nfft: a run-time length needs C_HAS_NFFT=1, but C_HAS_NFFT=0 was given" \
    "$vfft" run --arch radix2 --nfft 4 C_HAS_NFFT=0
  error 2 "vectors: expected the output directory" "$vfft" vectors
  error 2 "--stimulus: expected a comma list of random, tones and impulse, got 'chirp'" "$vfft" vectors out/v --stimulus chirp
  error 2 "vectors: --input gives the stimulus" "$vfft" vectors out/v --input one.float --frames 2
  # The library's own messages pass through unchanged.
  error 1 "ERROR:vfft_v8_0:create_state called with invalid C_ARCH generic: must be in the range 1 to 4: Value is 7" \
    "$vfft" run C_ARCH=7 --output out/r
  # Schedules and lengths checked against the library's rules.
  error 2 "--schedule: stage 1 is given 4; expected 0 to 3" "$vfft" run $core --schedule 1,4,1 --output out/r
  error 2 "--schedule: stage 3 is given 2; expected 0 to 1" "$vfft" run --arch radix4 --nfft-max 7 --schedule 1,1,1,2
  error 2 "--schedule: 2 values; a 8-point frame of this core has 3 stages" "$vfft" run $core --schedule 1,1
  printf '{"frames": [{"nfft": 3},\n {"nfft": 9}]}' >far.json
  error 1 "far.json:2: frame record 1: nfft: 9 is out of range; expected 3 to C_NFFT_MAX = 5" \
    "$vfft" vectors out/v --arch radix2 --nfft-max 5 --nfft 4 --settings far.json
  printf '{"frames": [{"direction": 2}]}' >dir.json
  error 1 "dir.json:1: frame record 0: direction: 2 is neither 1 (forward) nor 0 (inverse)" "$vfft" vectors out/v --settings dir.json
  printf '{"frames": [{"scaling_sch": [1, 1]}]}' >bfp.json
  error 1 "bfp.json:1: frame record 0: scaling_sch: this core takes no scaling schedule" "$vfft" vectors out/v --scaling bfp --settings bfp.json
  printf '{"frames": [{"nfft": 3.5}]}' >half.json
  error 1 "half.json:1: frame record 0: nfft: expected a 32-bit integer, got 3.5" "$vfft" vectors out/v --settings half.json
  printf '{"frames": [{"nfft": 3}' >cut.json
  error 1 "cut.json:1: not JSON: expected ']'" "$vfft" vectors out/v --settings cut.json
  printf '{"frame": []}' >none.json
  error 1 "none.json: expected an object with a list \"frames\" of one record per frame" "$vfft" vectors out/v --settings none.json
  printf '{"frames": [{}, {}]}' >two.json
  error 1 "offgrid.float: 1 frames, fewer than the 2 records of two.json" "$vfft" run $core --settings two.json --input offgrid.float --output out/r
  printf '0 0\n%.0s' $(seq 24) >three.float
  error 1 "three.float: more frames than the 2 records of two.json" "$vfft" vectors out/v $core --settings two.json --input three.float
  error 2 "vectors: --settings gives one frame per record" "$vfft" vectors out/v --settings two.json --frames 2
  # Files and lines.
  error 1 "cannot read 'missing.float': No such file or directory" "$vfft" run $core --input missing.float --output out/r
  error 1 "short.float:1-2: frame 0 ends after 2 samples; expected 8" "$vfft" run $core --input short.float --output out/r
  printf '@0 00000000\n@2 00000000\n' >gap.hex
  error 1 "gap.hex:2: address @2 is not that of the next sample, @1; the samples of a file follow one another from @0" \
    "$vfft" run $core --input gap.hex --input-format hex --output out/r
  error 1 "one.float:4: real value 1.0 is outside the fixed-point input range -1.0 <= x < 1.0" \
    "$vfft" run $core --input one.float --output out/r
  error 1 "three.int:2: expected two decimal integer codes 're im', got '0 0 0'" \
    "$vfft" run $core --input three.int --input-format int --output out/r
  error 1 "wide.int:2: real code -32769 is outside the 16-bit range -32768 to 32767" \
    "$vfft" run $core --input wide.int --input-format int --output out/r
  error 1 "huge.int:2: real code 99999999999999999999 is outside the 16-bit range" \
    "$vfft" run $core --input huge.int --input-format int --output out/r
  error 1 "long.hex:2: '100000000' is not a packed sample of at most 8 hex digits (2 x 16 bits)" \
    "$vfft" run $core --input long.hex --input-format hex --output out/r
  error 1 "offgrid.float:8: real value 0.1 is not a multiple of 2^-15, the step of the 16-bit input grid" \
    "$vfft" vectors out/v $core --input offgrid.float
  error 1 "offgrid.float:8: real value 0.1 is not exactly an IEEE single-precision value" \
    "$vfft" vectors out/v $core --float --input offgrid.float
  printf 'nan 0\n' >nan.float
  error 1 "nan.float:1: real value nan is outside the fixed-point input range -1.0 <= x < 1.0" \
    "$vfft" run $core --input nan.float --output out/r
  printf '40000000\n' >odd.hex
  error 1 "odd.hex:1: '40000000' is wider than the 30 bits of a packed sample" \
    "$vfft" run $core --input-width 15 --input odd.hex --input-format hex --output out/r
  error 1 "cannot write 'no/such/dir/r'" "$vfft" run $core --input offgrid.float --output no/such/dir/r
  # A run that fails after some frames leaves no partial file: frame 1 holds a
  # value just beyond the single-precision range, which the library rejects.
  { printf '0 0\n%.0s' 1 2 3 4 5 6 7 8; echo; printf '3.4028235e38 0\n'; printf '0 0\n%.0s' 1 2 3 4 5 6 7; } >late.float
  error 1 "late.float: frame 1 (lines 10-17): the library rejected the call with code 10" \
    "$vfft" run $core --float --input late.float --output out/r --summary out/s.json
  grep -qF "ERROR:vfft_v8_0:simulate called with invalid real data value: xn_re[0] = 3.40282e+38" err.txt ||
    fail "no library message for the out-of-range single"
  # An existing output stays as it was when a run fails.
  echo keep >kept && "$vfft" run $core --float --input late.float --output kept 2>/dev/null
  [ "$(cat kept)" = keep ] || fail "a failed run replaced an existing file"
  ;;

outputs)
  core="--arch radix2 --nfft-max 3 --scaling unscaled"
  printf '0.5 -0.25\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n0 0\n' >in.float
  ok "$vfft" run $core --input in.float --output plain.hex --output-format hex --quiet
  # A FIFO's reader gets the results, and the FIFO stays one.
  mkfifo pipe
  timeout 20 cat pipe >piped.hex &
  ok "$vfft" run $core --input in.float --output pipe --output-format hex --quiet
  wait $!
  [ -p pipe ] && cmp -s piped.hex plain.hex || fail "through a FIFO: $(cat piped.hex)"
  # A symbolic link: the file it names is written, and the link stays.
  echo old >target && ln -s target link
  ok "$vfft" run $core --input in.float --output link --output-format hex --quiet
  [ -L link ] && cmp -s target plain.hex || fail "through a symbolic link: $(ls -l link target)"
  # A character device of our own (that of /dev/null) stays a device.
  if mknod null c 1 3 2>/dev/null; then
    ok "$vfft" run $core --input in.float --output null --summary null --quiet
    [ -c null ] || fail "the device became a $(stat -c %F null)"
  fi
  # A full device: every failed write fails the command with one message.
  if [ -c /dev/full ]; then
    error 1 "cannot write '/dev/full': No space left on device" "$vfft" run $core --input in.float --output /dev/full
    error 1 "cannot write '/dev/full': No space left on device" "$vfft" run $core --input in.float --output out/r --summary /dev/full
    error 1 "cannot write standard output: No space left on device" bash -c '"$0" run $1 --input in.float >/dev/full' "$vfft" "$core"
    error 1 "cannot write standard output: No space left on device" bash -c '"$0" demo >/dev/full' "$vfft"
    error 1 "cannot write standard output: No space left on device" bash -c '"$0" vectors set --frames 1 >/dev/full' "$vfft"
    error 1 "cannot write standard output: No space left on device" \
      bash -c '"$0" run $1 --input in.float --output r >/dev/full' "$vfft" "$core"
  fi
  ;;

*)
  fail "unknown group $group"
  ;;
esac
echo "vfft program $group: passed"
