"""Signal models of a study. A model's reader(seed, point, first, points,
gain) writes frames first, first + 1, ... of a grid point, times `gain`, into
the arrays of frames it is given in turn. Frame f depends on (seed, point, f)
only, never on how the frames are batched: the random models draw frame f
from a fixed place of the point's own stream."""

import importlib
from pathlib import Path

import numpy as np

from .description import StudySpecError, fail, level, number


def _stream(seed, point, first, draws_per_frame):
    """The point's random generator, advanced to frame `first`."""
    bits = np.random.PCG64DXSM(np.random.SeedSequence(seed, spawn_key=(point,)))
    bits.advance(first * draws_per_frame)
    return np.random.Generator(bits)


class NoiseSignal:
    """Complex noise, real and imaginary parts uniform over the full scale [-1, 1)."""

    name = "noise"
    peak = 1.0

    def reader(self, seed, point, first, points, gain):
        generator = _stream(seed, point, first, 2 * points)

        def fill(out):
            parts = out.view(np.float64)
            generator.random(out=parts)
            parts *= 2.0 * gain
            parts -= gain
        return fill


class ToneSignal:
    """A sum of complex tones, each `level` * e^(j(2 pi frequency n + phase)),
    frequency in cycles per sample, with a random phase per tone and frame."""

    name = "tones"

    def __init__(self, tones):
        self.frequencies = np.array([frequency for frequency, _ in tones])
        self.levels = np.array([gain for _, gain in tones])
        self.peak = float(self.levels.sum())

    def reader(self, seed, point, first, points, gain):
        generator = _stream(seed, point, first, len(self.levels))
        tones = np.exp(2j * np.pi * np.outer(self.frequencies, np.arange(points)))
        levels = gain * self.levels

        def fill(out):
            phases = generator.uniform(0.0, 2.0 * np.pi, (len(out), len(levels)))
            np.matmul(levels * np.exp(1j * phases), tones, out=out)
        return fill


class FrameSignal:
    """Frames given by the user, one per row: frame f of every point is row f - first."""

    name = "file"
    peak = None

    def __init__(self, rows, first=0):
        self.rows = rows
        self.first = first

    def part(self, start, stop):
        return FrameSignal(self.rows[start - self.first:stop - self.first], start)

    def reader(self, seed, point, first, points, gain):
        rows = iter(self.rows[first - self.first:])

        def fill(out):
            for row in out:
                np.multiply(next(rows), gain, out=row)
        return fill


class GeneratorSignal:
    """Frames from a function(rng, points) returning one frame of `points`
    samples, given a generator of the frame's own."""

    name = "generator"
    peak = None

    def __init__(self, function):
        self.function = function

    def reader(self, seed, point, first, points, gain):
        indices = iter(range(first, 1 << 62))

        def fill(out):
            for row in out:
                index = next(indices)
                rng = np.random.default_rng(np.random.SeedSequence(seed, spawn_key=(point, index)))
                x = np.asarray(self.function(rng, points))
                if x.shape != (points,) or x.dtype.kind not in "iufc":
                    raise ValueError(f"signal generator {self.function!r} returned {x.dtype} values of shape "
                                     f"{x.shape} for frame {index}: expected {points} numbers")
                np.multiply(x, gain, out=row)
        return fill


def _tones(value, field):
    if not isinstance(value, (list, tuple)) or not value:
        fail(field, value, 'a list of tones, each {"frequency": cycles per sample, "level": amplitude}')
    tones = []
    for i, tone in enumerate(value):
        where = f"{field}[{i}]"
        if not isinstance(tone, dict) or set(tone) != {"frequency", "level"}:
            fail(where, tone, 'a tone {"frequency": cycles per sample, "level": amplitude}')
        frequency = number(tone["frequency"], f"{where}.frequency")
        if not -0.5 <= frequency < 0.5:
            fail(f"{where}.frequency", tone["frequency"], "cycles per sample, -0.5 <= frequency < 0.5")
        tones.append((frequency, level(tone["level"], f"{where}.level")))
    return tones


def _import_function(value, field):
    if not isinstance(value, str) or value.count(":") != 1:
        fail(field, value, '"module:function", a function(rng, points) importable on every worker')
    module, name = value.split(":")
    try:
        return getattr(importlib.import_module(module), name)
    except (ImportError, AttributeError) as error:
        raise StudySpecError(field, f"{value!r} cannot be imported: {error}") from None


def _frame_rows(value, field):
    rows = np.asarray(value)
    if rows.ndim != 2 or rows.shape[0] == 0 or rows.dtype.kind not in "iufc":
        fail(field, f"{rows.dtype} array of shape {rows.shape}", "a 2-D array of numbers, one frame per row")
    rows = rows.astype(np.complex128)
    if not np.isfinite(rows).all():
        raise StudySpecError(field, "holds values that are not finite")
    return rows


_MODELS = {"noise": set(), "tones": {"tones"}, "file": {"path"}, "generator": {"function"}}


def signal_model(signal, base):
    """(model, level or None) from the `signal` entry of a study."""
    if isinstance(signal, np.ndarray):
        return FrameSignal(_frame_rows(signal, "signal")), None
    if callable(signal):
        return GeneratorSignal(signal), None
    if isinstance(signal, str):
        signal = {"model": signal}
    if not isinstance(signal, dict):
        fail("signal", signal, 'a model name, a {"model": ...} mapping, an array of frames or a function')
    model = signal.get("model")
    if model not in _MODELS:
        fail("signal.model", model, "one of " + ", ".join(_MODELS))
    allowed = _MODELS[model] | {"model", "level"}
    for key in signal:
        if key not in allowed:
            raise StudySpecError(f"signal.{key}", f"is not a field of the {model} model, whose fields are "
                                 + ", ".join(sorted(allowed)))
    for key in _MODELS[model]:
        if key not in signal:
            raise StudySpecError(f"signal.{key}", f"is missing: the {model} model needs it")
    gain = level(signal["level"], "signal.level") if "level" in signal else None
    if model == "noise":
        return NoiseSignal(), gain
    if model == "tones":
        return ToneSignal(_tones(signal["tones"], "signal.tones")), gain
    if model == "generator":
        return GeneratorSignal(_import_function(signal["function"], "signal.function")), gain
    path = signal["path"]
    if not isinstance(path, str):
        fail("signal.path", path, "the path of a .npy file of frames, one per row")
    path = Path(base or ".") / path
    try:
        rows = np.load(path, allow_pickle=False)
    except (OSError, ValueError) as error:
        raise StudySpecError("signal.path", f"{str(path)!r} cannot be read as a .npy array: {error}") from None
    return FrameSignal(_frame_rows(rows, "signal.path")), gain
