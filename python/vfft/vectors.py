"""Golden-vector sets as `vfft vectors DIR` writes them: a JSON manifest and
the input and output samples as packed hex words and as decimal pairs."""

import json
import math
from pathlib import Path
from typing import List, NamedTuple

import numpy as np

from .config import Configuration
from .core import FFT
from .helpers import _values, to_codes

FORMAT = "vfft-vectors"
VERSION = 1


class VectorFrame(NamedTuple):
    """One frame of a set: its parameters from the manifest, its input and
    expected output as (re, im) codes and as values."""

    index: int
    nfft: int
    direction: int
    scaling_sch: list
    blk_exp: int
    overflow: int
    x_codes: np.ndarray
    y_codes: np.ndarray
    x: np.ndarray
    y: np.ndarray


class VectorSet(NamedTuple):
    """A whole set: the manifest, the generics and the frames in order."""

    manifest: dict
    generics: dict
    float_mode: bool
    input_width: int
    output_width: int
    output_point: int
    frames: List[VectorFrame]

    def fft(self, **kwargs):
        """A core configured by the set's generics (keyword arguments go to FFT.from_generics)."""
        return FFT.from_generics(self.generics, **kwargs)

    def verify(self, fft=None):
        """Runs every frame through the core and returns one line per frame
        whose codes, block exponent or overflow differ (empty when all match)."""
        own = fft is None
        fft = self.fft() if own else fft
        try:
            problems = []
            for frame in self.frames:
                schedule = frame.scaling_sch if fft.uses_schedule else None
                result = fft(frame.x, nfft=frame.nfft, inverse=frame.direction == 0, schedule=schedule)
                y_codes = _result_codes(result.y, self)
                if not np.array_equal(y_codes, frame.y_codes):
                    first = int(np.argmax(np.any(y_codes != frame.y_codes, axis=1)))
                    problems.append(f"frame {frame.index}: sample {first} is {y_codes[first].tolist()}, "
                                    f"expected {frame.y_codes[first].tolist()}")
                if (result.blk_exp, result.overflow) != (frame.blk_exp, frame.overflow):
                    problems.append(f"frame {frame.index}: blk_exp {result.blk_exp} overflow {result.overflow}, "
                                    f"expected {frame.blk_exp} and {frame.overflow}")
            return problems
        finally:
            if own:
                fft.close()


def _result_codes(y, vectors):
    return to_codes(y, vectors.output_width, frac_bits=vectors.output_point, float_mode=vectors.float_mode)


def _field(mapping, name, kind, where):
    if name not in mapping:
        raise ValueError(f"{where}: missing field {name!r}")
    value = mapping[name]
    if kind is int and (isinstance(value, bool) or not isinstance(value, int)):
        raise ValueError(f"{where}: field {name!r} must be an integer, got {value!r}")
    if kind is not int and not isinstance(value, kind):
        raise ValueError(f"{where}: field {name!r} must be a {kind.__name__}, got {value!r}")
    return value


def _read_lines(path, count):
    if not path.is_file():
        raise ValueError(f"{path}: no such file, named in the manifest")
    lines = path.read_text().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) != count:
        raise ValueError(f"{path}: {len(lines)} lines, expected {count} (one sample per line)")
    return lines


def _read_hex(path, count, width):
    digits = math.ceil(2 * width / 4)
    mask = (1 << width) - 1
    codes = np.empty((count, 2), np.int64)
    for number, line in enumerate(_read_lines(path, count), 1):
        if len(line) != digits or any(c not in "0123456789abcdef" for c in line):
            raise ValueError(f"{path} line {number}: {line!r}: expected {digits} lower-case hex digits")
        word = int(line, 16)
        if word >> (2 * width):
            raise ValueError(f"{path} line {number}: {line!r}: more than {2 * width} bits")
        re, im = word >> width, word & mask
        codes[number - 1] = (re - (re >> (width - 1) << width), im - (im >> (width - 1) << width))
    return codes


def _read_dec(path, count, width):
    high = 1 << (width - 1)
    codes = np.empty((count, 2), np.int64)
    for number, line in enumerate(_read_lines(path, count), 1):
        parts = line.split()
        try:
            pair = [int(p) for p in parts]
        except ValueError:
            pair = []
        if len(parts) != 2 or len(pair) != 2 or not all(-high <= c < high for c in pair):
            raise ValueError(f"{path} line {number}: {line!r}: expected two signed {width}-bit integers 're im'")
        codes[number - 1] = pair
    return codes


def _read_samples(directory, files, stem, count, width):
    hex_name = _field(files, f"{stem}_hex", str, "manifest.json files")
    dec_name = _field(files, f"{stem}_dec", str, "manifest.json files")
    from_hex = _read_hex(directory / hex_name, count, width)
    from_dec = _read_dec(directory / dec_name, count, width)
    differ = np.any(from_hex != from_dec, axis=1)
    if differ.any():
        line = int(np.argmax(differ)) + 1
        raise ValueError(f"{directory / hex_name} and {dec_name} differ at line {line}: "
                         f"{from_hex[line - 1].tolist()} against {from_dec[line - 1].tolist()}")
    return from_hex


def read_vectors(directory):
    """Reads a golden-vector set; malformed files raise ValueError naming the file and line."""
    directory = Path(directory)
    manifest_path = directory / "manifest.json"
    try:
        manifest = json.loads(manifest_path.read_text())
    except FileNotFoundError:
        raise ValueError(f"{manifest_path}: no such file; expected a directory written by 'vfft vectors'") from None
    except json.JSONDecodeError as error:
        raise ValueError(f"{manifest_path}: not JSON: {error}") from None
    where = str(manifest_path)
    if not isinstance(manifest, dict) or manifest.get("format") != FORMAT or manifest.get("version") != VERSION:
        raise ValueError(f"{where}: expected format {FORMAT!r} version {VERSION}")
    try:
        config = Configuration(_field(manifest, "generics", dict, where))
    except (TypeError, ValueError) as error:
        raise ValueError(f"{where}: generics: {error}") from None
    generics, rules = config.generics, config.describe()
    float_mode = _field(manifest, "float", bool, where)
    input_width = _field(manifest, "input_width", int, where)
    output_width = _field(manifest, "output_width", int, where)
    count_in = _field(manifest, "sample_count_in", int, where)
    count_out = _field(manifest, "sample_count_out", int, where)
    files = _field(manifest, "files", dict, where)
    entries = _field(manifest, "frames", list, where)
    if _field(manifest, "frame_count", int, where) != len(entries):
        raise ValueError(f"{where}: frame_count is {manifest['frame_count']} but {len(entries)} frames are listed")
    if float_mode != bool(generics["C_USE_FLT_PT"]):
        raise ValueError(f"{where}: 'float' is {float_mode} but C_USE_FLT_PT is {generics['C_USE_FLT_PT']}")
    if (input_width, output_width) != (rules.input_width, rules.output_width):
        raise ValueError(f"{where}: widths {input_width} in and {output_width} out, expected {rules.input_width} "
                         f"and {rules.output_width} for these generics")
    x_codes = _read_samples(directory, files, "input", count_in, input_width)
    y_codes = _read_samples(directory, files, "output", count_out, output_width)
    frames = []
    offset = 0
    for position, entry in enumerate(entries):
        at = f"{where} frames[{position}]"
        if not isinstance(entry, dict):
            raise ValueError(f"{at}: expected an object with the frame's fields, got {entry!r}")
        nfft = _field(entry, "nfft", int, at)
        points = _field(entry, "points", int, at)
        first = _field(entry, "first_sample", int, at)
        if not 0 <= nfft <= 16 or points != 1 << nfft:
            raise ValueError(f"{at}: points {points} is not 2^nfft for nfft {nfft}")
        if first != offset or first + points > min(count_in, count_out):
            raise ValueError(f"{at}: first_sample {first}, expected {offset} with {points} samples available")
        offset += points
        xs, ys = x_codes[first:first + points], y_codes[first:first + points]
        frames.append(VectorFrame(
            index=_field(entry, "index", int, at), nfft=nfft, direction=_field(entry, "direction", int, at),
            scaling_sch=_field(entry, "scaling_sch", list, at), blk_exp=_field(entry, "blk_exp", int, at),
            overflow=_field(entry, "overflow", int, at), x_codes=xs, y_codes=ys,
            x=_values(xs, rules.input_point, float_mode), y=_values(ys, rules.output_point, float_mode)))
    if offset != count_in or offset != count_out:
        raise ValueError(f"{where}: the frames cover {offset} samples, but the files hold {count_in} in "
                         f"and {count_out} out")
    return VectorSet(manifest, generics, float_mode, input_width, output_width, rules.output_point, frames)
