"""Golden-vector sets: a set written here by a minimal writer of the format,
and sets written by the command-line program when it is built."""

import json
import os
import subprocess

import numpy as np
import pytest

import vfft
from conftest import random_frame


def signed_to_word(re, im, width):
    mask = (1 << width) - 1
    return ((int(re) & mask) << width) | (int(im) & mask)


def write_set(directory, fft, frames, nffts, directions):
    """Writes frames and the core's results in the golden-vector format."""
    rules = fft.describe()
    win, wout = rules.input_width, rules.output_width

    def codes(values, frac):
        if fft.float_mode:
            return [(int(np.float32(v.real).view(np.int32)), int(np.float32(v.imag).view(np.int32))) for v in values]
        return [(int(v.real * 2 ** frac), int(v.imag * 2 ** frac)) for v in values]

    lines = {"input.hex": [], "input.dec": [], "output.hex": [], "output.dec": []}
    entries, first = [], 0
    for index, (frame, nfft, direction) in enumerate(zip(frames, nffts, directions)):
        schedule = fft.default_schedule(nfft) if fft.uses_schedule else []
        result = fft(frame, nfft=nfft, inverse=direction == 0, schedule=schedule or None)
        for stem, values, width, frac in (("input", frame, win, rules.input_point),
                                          ("output", result.y, wout, rules.output_point)):
            for re, im in codes(values, frac):
                lines[f"{stem}.hex"].append(format(signed_to_word(re, im, width), f"0{-(-2 * width // 4)}x"))
                lines[f"{stem}.dec"].append(f"{re} {im}")
        entries.append({"index": index, "nfft": nfft, "points": 1 << nfft, "direction": direction,
                        "scaling_sch": schedule, "blk_exp": result.blk_exp, "overflow": result.overflow,
                        "first_sample": first})
        first += 1 << nfft
    manifest = {"format": "vfft-vectors", "version": 1, "generics": fft.generics, "float": fft.float_mode,
                "input_width": win, "output_width": wout, "input_word_width": 2 * win,
                "output_word_width": 2 * wout, "frame_count": len(entries), "sample_count_in": first,
                "sample_count_out": first, "frames": entries,
                "files": {"input_hex": "input.hex", "output_hex": "output.hex", "input_dec": "input.dec",
                          "output_dec": "output.dec"}}
    (directory / "manifest.json").write_text(json.dumps(manifest, indent=1))
    for name, text in lines.items():
        (directory / name).write_text("".join(line + "\n" for line in text))
    return manifest


@pytest.mark.parametrize("config", [
    dict(arch="radix2", nfft_max=6, runtime_nfft=True),
    dict(arch="radix4", nfft_max=7, scaling="unscaled", input_width=17),
    dict(arch="pipelined", nfft_max=6, scaling="bfp"),
    dict(arch="radix2", nfft_max=5, float_mode=True),
], ids=["radix2-runtime", "radix4-unscaled-17bit", "pipelined-bfp", "radix2-float"])
def test_written_set_reads_back_and_verifies(tmp_path, rng, config):
    with vfft.FFT(**config) as fft:
        nffts = [fft.nfft_max, 4, fft.nfft_max] if fft.runtime_nfft else [fft.nfft_max] * 3
        width = 24 if fft.float_mode else fft.input_width
        frames = [random_frame(rng, 1 << nfft, width) for nfft in nffts]
        if fft.float_mode:
            frames = [(1000 * frame).astype(np.complex64).astype(np.complex128) for frame in frames]
        write_set(tmp_path, fft, frames, nffts, [1, 0, 1])
        vectors = vfft.read_vectors(tmp_path)
        assert vectors.verify(fft) == []
    assert vectors.generics == fft.generics and len(vectors.frames) == 3
    for frame, x in zip(vectors.frames, frames):
        np.testing.assert_array_equal(frame.x, x)
    assert [f.direction for f in vectors.frames] == [1, 0, 1]
    assert vectors.verify() == []


def test_verify_reports_a_changed_expected_sample(tmp_path, rng):
    with vfft.FFT(arch="radix2", nfft_max=5) as fft:
        write_set(tmp_path, fft, [random_frame(rng, 32, 16)], [5], [1])
    for name, change in (("output.hex", lambda s: format(int(s, 16) ^ 1, "08x")),
                         ("output.dec", lambda s: s.split()[0] + " " + str(int(s.split()[1]) ^ 1))):
        lines = (tmp_path / name).read_text().split("\n")
        lines[7] = change(lines[7])
        (tmp_path / name).write_text("\n".join(lines))
    problems = vfft.read_vectors(tmp_path).verify()
    assert len(problems) == 1 and problems[0].startswith("frame 0: sample 7 is ")


@pytest.mark.parametrize("spoil,text", [
    (lambda d: (d / "manifest.json").unlink(), "manifest.json: no such file"),
    (lambda d: (d / "manifest.json").write_text("{"), "manifest.json: not JSON"),
    (lambda d: (d / "output.dec").unlink(), "output.dec: no such file, named in the manifest"),
    (lambda d: edit(d, "input.hex", 2, "0000zz00"), "input.hex line 3: '0000zz00': expected 8 lower-case hex digits"),
    (lambda d: edit(d, "input.hex", 0, "00000000"), "input.hex and input.dec differ at line 1"),
    (lambda d: edit(d, "output.dec", 4, "1 2 3"), "output.dec line 5: '1 2 3': expected two signed 16-bit integers"),
    (lambda d: edit(d, "output.dec", 4, "40000 0"), "output.dec line 5: '40000 0'"),
    (lambda d: edit(d, "input.dec", None, None), "input.dec: 31 lines, expected 32"),
    (lambda d: manifest(d, lambda m: m.update(version=2)), "expected format 'vfft-vectors' version 1"),
    (lambda d: manifest(d, lambda m: m.update(output_width=31)), "widths 16 in and 31 out, expected 16 and 16"),
    (lambda d: manifest(d, lambda m: m.update(frame_count=2)), "frame_count is 2 but 1 frames are listed"),
    (lambda d: manifest(d, lambda m: m["frames"][0].update(first_sample=1)), "frames[0]: first_sample 1"),
    (lambda d: manifest(d, lambda m: m["frames"][0].pop("blk_exp")), "frames[0]: missing field 'blk_exp'"),
    (lambda d: manifest(d, lambda m: m.update(frames=[5])), "frames[0]: expected an object"),
    (lambda d: manifest(d, lambda m: m["generics"].update(C_ARCH=9)), "generics: ERROR:vfft_v8_0:create_state called with invalid C_ARCH generic"),
])
def test_malformed_sets_name_the_file_and_line(tmp_path, rng, spoil, text):
    with vfft.FFT(arch="radix2", nfft_max=5) as fft:
        write_set(tmp_path, fft, [random_frame(rng, 32, 16)], [5], [1])
    spoil(tmp_path)
    with pytest.raises(ValueError) as raised:
        vfft.read_vectors(tmp_path)
    assert text in str(raised.value)


def edit(directory, name, line, text):
    lines = (directory / name).read_text().split("\n")[:-1]
    if line is None:
        lines.pop()
    else:
        lines[line] = text
    (directory / name).write_text("".join(line + "\n" for line in lines))


def manifest(directory, change):
    data = json.loads((directory / "manifest.json").read_text())
    change(data)
    (directory / "manifest.json").write_text(json.dumps(data))


def program_with_vectors():
    program = os.environ.get("VFFT_TEST_PROGRAM")
    if not program or subprocess.run([program, "vectors", "--help"], capture_output=True).returncode != 0:
        pytest.skip("the vfft program of this build has no 'vectors' command")
    return program


@pytest.mark.parametrize("options", [
    ["--arch", "radix4", "--nfft-max", "7"],
    ["--arch", "radix2", "--nfft-max", "6", "--scaling", "unscaled", "--inverse"],
    ["--arch", "pipelined", "--nfft-max", "6", "--scaling", "bfp", "--rounding", "convergent"],
    ["--arch", "radix2-lite", "--nfft-max", "5", "--float"],
], ids=["radix4", "radix2-unscaled", "pipelined-bfp", "float"])
def test_sets_written_by_the_program_verify_through_the_package(tmp_path, options):
    program = program_with_vectors()
    done = subprocess.run([program, "vectors", str(tmp_path / "set"), "--quiet", *options],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    vectors = vfft.read_vectors(tmp_path / "set")
    assert len(vectors.frames) >= 1
    assert vectors.verify() == []
