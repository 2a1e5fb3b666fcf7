#!/usr/bin/python3
"""Writes DIR/frames.txt, the frame list of the example benches, from the
DIR/manifest.json of a vector set written by 'vfft vectors DIR'.

    usage: vfft_frames.py DIR

frames.txt holds whitespace-separated words that the benches read ($fscanf
in SystemVerilog, textio in VHDL), one record per line:

    generics C_NFFT_MAX C_ARCH C_HAS_NFFT C_USE_FLT_PT C_INPUT_WIDTH C_TWIDDLE_WIDTH C_HAS_SCALING C_HAS_BFP C_HAS_ROUNDING
    widths INPUT_WIDTH OUTPUT_WIDTH
    frames FRAME_COUNT samples SAMPLE_COUNT
    frame INDEX nfft N direction D blk_exp E overflow V first_sample S stages K S0 ... S(K-1)

with one frame line per frame. The sample count is that of both data files.
"""
import json
import os
import sys

GENERICS = ("C_NFFT_MAX", "C_ARCH", "C_HAS_NFFT", "C_USE_FLT_PT", "C_INPUT_WIDTH",
            "C_TWIDDLE_WIDTH", "C_HAS_SCALING", "C_HAS_BFP", "C_HAS_ROUNDING")
FRAME_FIELDS = ("index", "nfft", "direction", "blk_exp", "overflow", "first_sample")


class ManifestError(Exception):
    pass


def integer(record, key, where):
    if key not in record:
        raise ManifestError(f"{where} has no '{key}'; expected an integer there")
    value = record[key]
    if not isinstance(value, int) or isinstance(value, bool):
        raise ManifestError(f"{where}: '{key}' is {json.dumps(value)}; expected an integer")
    return value


def frame_lines(manifest):
    if not isinstance(manifest, dict) or manifest.get("format") != "vfft-vectors" or manifest.get("version") != 1:
        raise ManifestError("not a vector set of version 1; expected \"format\": \"vfft-vectors\", \"version\": 1")
    generics = manifest.get("generics")
    if not isinstance(generics, dict):
        raise ManifestError("'generics' is missing or not an object of the nine generics")
    lines = ["generics " + " ".join(str(integer(generics, g, "'generics'")) for g in GENERICS),
             "widths %d %d" % (integer(manifest, "input_width", "the manifest"),
                               integer(manifest, "output_width", "the manifest"))]
    frames = manifest.get("frames")
    if not isinstance(frames, list) or not frames:
        raise ManifestError("'frames' is missing or empty; expected a list of frame records")
    count = integer(manifest, "frame_count", "the manifest")
    if count != len(frames):
        raise ManifestError(f"'frame_count' is {count} but 'frames' lists {len(frames)} frames")
    samples = integer(manifest, "sample_count_out", "the manifest")
    lines.append("frames %d samples %d" % (count, samples))
    for position, frame in enumerate(frames):
        where = f"frame record {position}"
        if not isinstance(frame, dict):
            raise ManifestError(f"{where} is not an object")
        values = [integer(frame, key, where) for key in FRAME_FIELDS]
        schedule = frame.get("scaling_sch")
        if not isinstance(schedule, list) or not all(isinstance(s, int) and not isinstance(s, bool)
                                                     for s in schedule):
            raise ManifestError(f"{where}: 'scaling_sch' is {json.dumps(schedule)}; expected a list of integers")
        fields = " ".join(f"{key} {value}" for key, value in zip(FRAME_FIELDS[1:], values[1:]))
        lines.append(f"frame {values[0]} {fields} stages {len(schedule)}" +
                     "".join(f" {s}" for s in schedule))
    return lines


def main(argv):
    if len(argv) != 2 or argv[1].startswith("-"):
        print("usage: vfft_frames.py DIR  (reads DIR/manifest.json, writes DIR/frames.txt)", file=sys.stderr)
        return 2
    path = os.path.join(argv[1], "manifest.json")
    try:
        with open(path, encoding="utf-8") as f:
            manifest = json.load(f)
        lines = frame_lines(manifest)
    except OSError as e:
        print(f"vfft_frames.py: cannot read {path}: {e.strerror}", file=sys.stderr)
        return 1
    except json.JSONDecodeError as e:
        print(f"vfft_frames.py: {path} line {e.lineno}: not JSON ({e.msg})", file=sys.stderr)
        return 1
    except ManifestError as e:
        print(f"vfft_frames.py: {path}: {e}", file=sys.stderr)
        return 1
    out = os.path.join(argv[1], "frames.txt")
    try:
        with open(out, "w", encoding="ascii") as f:
            f.write("\n".join(lines) + "\n")
    except OSError as e:
        print(f"vfft_frames.py: cannot write {out}: {e.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
