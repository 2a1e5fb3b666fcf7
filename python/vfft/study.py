"""Accuracy studies: a grid of core configurations driven by a signal model,
many frames per point, reduced to SQNR, error, overflow and block-exponent
statistics per point.

    study = vfft.Study(grid={"input_width": [16, 20, 24], "rounding": ["truncate", "convergent"]},
                       signal={"model": "noise", "level": 0.9}, frames=200, seed=1)
    table = study.run(workers=2)          # or study.run(client=dask.distributed.Client(...))
    table.to_csv("study.csv", index=False)
    vfft.plot_study(table, "plots")

Every frame draws its samples from its own random stream, derived from
(seed, point index, frame index), so a table depends on the description
only: not on the executor, the number of workers or the order in which
batches finish.
"""

import importlib
import itertools
import json
import math
import numbers
import os
import sys
import threading
import time
import uuid
from collections import OrderedDict
from concurrent.futures import ThreadPoolExecutor, as_completed
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

import numpy as np
import pandas as pd

from .core import ARCHES, DEFAULT_GENERICS, ROUNDINGS, SCALINGS, FFT, check_generics
from .helpers import quantize, reference_dft


class StudySpecError(ValueError):
    """A study description that cannot run; `field` names the offending entry."""

    def __init__(self, field, message):
        super().__init__(f"{field}: {message}")
        self.field = field


def _fail(field, value, expected):
    raise StudySpecError(field, f"{value!r} is not valid: expected {expected}")


def _integer(value, field, low=None, high=None):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        _fail(field, value, "an integer")
    if (low is not None and value < low) or (high is not None and value > high):
        bounds = f"from {low} to {high}" if high is not None else f"of at least {low}"
        _fail(field, value, f"an integer {bounds}")
    return int(value)


def _number(value, field):
    if isinstance(value, bool) or not isinstance(value, numbers.Real) or not math.isfinite(value):
        _fail(field, value, "a finite number")
    return float(value)


def _flag(value, field):
    if not isinstance(value, bool):
        _fail(field, value, "true or false")
    return value


def _word(table):
    def check(value, field):
        if not isinstance(value, str) or value not in table:
            _fail(field, value, "one of " + ", ".join(table))
        return value
    return check


def _level(value, field):
    level = _number(value, field)
    if level <= 0.0:
        _fail(field, value, "a gain above 0")
    return level


def _schedule(value, field):
    if value == "default":
        return value
    if not isinstance(value, (list, tuple)) or not value:
        _fail(field, value, '"default" or a list of right shifts, one per stage')
    return tuple(_integer(shift, f"{field}[{i}]", 0, 3) for i, shift in enumerate(value))


DIRECTIONS = ("forward", "inverse")

# Grid axes in the command-line program's words, with the generics each one sets.
_WORD_AXES = {
    "arch": (_word(ARCHES), ("C_ARCH",)),
    "nfft_max": (_integer, ("C_NFFT_MAX",)),
    "input_width": (_integer, ("C_INPUT_WIDTH",)),
    "twiddle_width": (_integer, ("C_TWIDDLE_WIDTH",)),
    "scaling": (_word(SCALINGS), ("C_HAS_SCALING", "C_HAS_BFP")),
    "rounding": (_word(ROUNDINGS), ("C_HAS_ROUNDING",)),
    "runtime_nfft": (_flag, ("C_HAS_NFFT",)),
    "float_mode": (_flag, ("C_USE_FLT_PT",)),
}
# Axes of the call, the library and the signal.
_CALL_AXES = {
    "nfft": _integer,
    "direction": _word(dict.fromkeys(DIRECTIONS)),
    "schedule": _schedule,
    "reference": _flag,
    "level": _level,
}
GRID_AXES = tuple(_WORD_AXES) + tuple(_CALL_AXES) + tuple(DEFAULT_GENERICS)

# Columns of a study table that describe its point, in this order.
PARAMETER_COLUMNS = ("arch", "nfft_max", "nfft", "points", "input_width", "twiddle_width", "scaling", "rounding",
                     "runtime_nfft", "float_mode", "reference", "direction", "schedule", "level")


# Signal models. Each gives one frame of `points` samples at unit gain from
# the frame's own generator; the study applies the point's level.

class NoiseSignal:
    """Complex noise, real and imaginary parts uniform over the full scale [-1, 1)."""

    name = "noise"
    peak = 1.0

    def frame(self, rng, points, index):
        return rng.uniform(-1.0, 1.0, points) + 1j * rng.uniform(-1.0, 1.0, points)


class ToneSignal:
    """A sum of complex tones, each `level` * e^(j(2 pi frequency n + phase)),
    frequency in cycles per sample, with a random phase per tone and frame."""

    name = "tones"

    def __init__(self, tones):
        self.tones = tones
        self.peak = sum(level for _, level in tones)

    def frame(self, rng, points, index):
        n = np.arange(points)
        phases = rng.uniform(0.0, 2.0 * np.pi, len(self.tones))
        x = np.zeros(points, np.complex128)
        for (frequency, level), phase in zip(self.tones, phases):
            x += level * np.exp(1j * (2.0 * np.pi * frequency * n + phase))
        return x


class FrameSignal:
    """Frames given by the user, one per row: frame f of every point is row f - first."""

    name = "file"
    peak = None

    def __init__(self, rows, first=0):
        self.rows = rows
        self.first = first

    def part(self, start, stop):
        return FrameSignal(self.rows[start - self.first:stop - self.first], start)

    def frame(self, rng, points, index):
        return self.rows[index - self.first]


class GeneratorSignal:
    """Frames from a function(rng, points) returning one frame of `points` samples."""

    name = "generator"
    peak = None

    def __init__(self, function):
        self.function = function

    def frame(self, rng, points, index):
        x = np.asarray(self.function(rng, points))
        if x.shape != (points,) or x.dtype.kind not in "iufc":
            raise ValueError(f"signal generator {self.function!r} returned {x.dtype} values of shape {x.shape} "
                             f"for frame {index}: expected {points} numbers")
        return x.astype(np.complex128)


def _tones(value, field):
    if not isinstance(value, (list, tuple)) or not value:
        _fail(field, value, 'a list of tones, each {"frequency": cycles per sample, "level": amplitude}')
    tones = []
    for i, tone in enumerate(value):
        where = f"{field}[{i}]"
        if not isinstance(tone, dict) or set(tone) != {"frequency", "level"}:
            _fail(where, tone, 'a tone {"frequency": cycles per sample, "level": amplitude}')
        frequency = _number(tone["frequency"], f"{where}.frequency")
        if not -0.5 <= frequency < 0.5:
            _fail(f"{where}.frequency", tone["frequency"], "cycles per sample, -0.5 <= frequency < 0.5")
        tones.append((frequency, _level(tone["level"], f"{where}.level")))
    return tones


def _import_function(value, field):
    if not isinstance(value, str) or value.count(":") != 1:
        _fail(field, value, '"module:function", a function(rng, points) importable on every worker')
    module, name = value.split(":")
    try:
        return getattr(importlib.import_module(module), name)
    except (ImportError, AttributeError) as error:
        raise StudySpecError(field, f"{value!r} cannot be imported: {error}") from None


def _frame_rows(value, field):
    rows = np.asarray(value)
    if rows.ndim != 2 or rows.shape[0] == 0 or rows.dtype.kind not in "iufc":
        _fail(field, f"{rows.dtype} array of shape {rows.shape}", "a 2-D array of numbers, one frame per row")
    rows = rows.astype(np.complex128)
    if not np.isfinite(rows).all():
        raise StudySpecError(field, "holds values that are not finite")
    return rows


def _signal_model(signal, base):
    """(model, level or None) from the `signal` entry of a study."""
    if isinstance(signal, np.ndarray):
        return FrameSignal(_frame_rows(signal, "signal")), None
    if callable(signal):
        return GeneratorSignal(signal), None
    if isinstance(signal, str):
        signal = {"model": signal}
    if not isinstance(signal, dict):
        _fail("signal", signal, 'a model name, a {"model": ...} mapping, an array of frames or a function')
    models = {"noise": set(), "tones": {"tones"}, "file": {"path"}, "generator": {"function"}}
    model = signal.get("model")
    if model not in models:
        _fail("signal.model", model, "one of " + ", ".join(models))
    allowed = models[model] | {"model", "level"}
    for key in signal:
        if key not in allowed:
            raise StudySpecError(f"signal.{key}", f"is not a field of the {model} model, whose fields are "
                                 + ", ".join(sorted(allowed)))
    for key in models[model]:
        if key not in signal:
            raise StudySpecError(f"signal.{key}", f"is missing: the {model} model needs it")
    level = _level(signal["level"], "signal.level") if "level" in signal else None
    if model == "noise":
        return NoiseSignal(), level
    if model == "tones":
        return ToneSignal(_tones(signal["tones"], "signal.tones")), level
    if model == "generator":
        return GeneratorSignal(_import_function(signal["function"], "signal.function")), level
    path = signal["path"]
    if not isinstance(path, str):
        _fail("signal.path", path, "the path of a .npy file of frames, one per row")
    path = Path(base or ".") / path
    try:
        rows = np.load(path, allow_pickle=False)
    except (OSError, ValueError) as error:
        raise StudySpecError("signal.path", f"{str(path)!r} cannot be read as a .npy array: {error}") from None
    return FrameSignal(_frame_rows(rows, "signal.path")), level


def _radix2(arch):
    return arch in ("radix2", "radix2-lite")


def _name(table, value):
    return next(name for name, code in table.items() if code == value)


def _describe(combination):
    return ", ".join(f"{key}={list(value) if isinstance(value, tuple) else value!r}"
                     for key, value in combination.items())


def _point(combination, where, signal_level):
    """The point's table parameters, its generics and its schedule (None for the
    default), from one combination of grid values."""
    raw = {key: value for key, value in combination.items() if key in DEFAULT_GENERICS}
    for word, (_, generics) in _WORD_AXES.items():
        if word not in combination:
            continue
        clash = [name for name in generics if name in raw]
        if clash:
            raise StudySpecError(where, f"{word} and {clash[0]} both set the core's {clash[0]}; give one of them")
        value = combination[word]
        if word == "arch":
            raw["C_ARCH"] = ARCHES[value]
        elif word == "scaling":
            raw["C_HAS_SCALING"], raw["C_HAS_BFP"] = SCALINGS[value]
        elif word == "rounding":
            raw["C_HAS_ROUNDING"] = ROUNDINGS[value]
        else:
            raw[generics[0]] = int(value)
    if raw.get("C_USE_FLT_PT") == 1:
        raw.setdefault("C_INPUT_WIDTH", 32)
    try:
        generics = check_generics(raw)
    except (TypeError, ValueError) as error:
        raise StudySpecError(where, str(error)) from None
    arch = _name(ARCHES, generics["C_ARCH"])
    scaling = _name(SCALINGS, (generics["C_HAS_SCALING"], generics["C_HAS_BFP"]))
    rounding = _name(ROUNDINGS, generics["C_HAS_ROUNDING"])
    nfft_max = generics["C_NFFT_MAX"]
    nfft = combination.get("nfft", nfft_max)
    if nfft != nfft_max:
        low = 6 if arch == "radix4" else 3
        if generics["C_HAS_NFFT"] == 0:
            raise StudySpecError(where, f"nfft = {nfft} differs from nfft_max = {nfft_max}: a shorter length "
                                 f"needs runtime_nfft = true (C_HAS_NFFT = 1)")
        if not low <= nfft <= nfft_max:
            raise StudySpecError(where, f"nfft = {nfft} is outside {low} to {nfft_max} for this core")
    schedule = combination.get("schedule", "default")
    float_mode = generics["C_USE_FLT_PT"] == 1
    if schedule != "default":
        stages = nfft if _radix2(arch) else (nfft + 1) // 2
        if scaling != "schedule" or float_mode:
            raise StudySpecError(where, f"schedule {list(schedule)} applies to scaling 'schedule' in fixed point "
                                 f"only; give \"default\" for this core")
        if len(schedule) != stages:
            raise StudySpecError(where, f"schedule {list(schedule)} has {len(schedule)} values, expected {stages}: "
                                 f"one per stage of a 2^{nfft}-point {arch} transform")
        if not _radix2(arch) and nfft % 2 and schedule[-1] > 1:
            raise StudySpecError(where, f"schedule {list(schedule)}: the last value belongs to a radix-2 stage "
                                 f"(odd nfft = {nfft}) and must be 0 or 1")
    if "level" in combination and signal_level is not None:
        raise StudySpecError(where, "level is given both by the grid and by signal.level; give one of them")
    level = combination.get("level", 1.0 if signal_level is None else signal_level)
    params = {"arch": arch, "nfft_max": nfft_max, "nfft": nfft, "points": 1 << nfft,
              "input_width": generics["C_INPUT_WIDTH"], "twiddle_width": generics["C_TWIDDLE_WIDTH"],
              "scaling": scaling, "rounding": rounding, "runtime_nfft": generics["C_HAS_NFFT"] == 1,
              "float_mode": float_mode, "reference": combination.get("reference", False),
              "direction": combination.get("direction", "forward"),
              "schedule": schedule if schedule == "default" else ",".join(map(str, schedule)),
              "level": level}
    return params, generics, None if schedule == "default" else list(schedule)


def _axes(grid, field):
    """The grid's axes as (key, checked values) pairs, in the grid's order."""
    if not isinstance(grid, dict) or not grid:
        _fail(field, grid, "a mapping of grid axes to lists of values")
    axes = []
    for key, values in grid.items():
        where = f"{field}.{key}"
        if key not in GRID_AXES:
            raise StudySpecError(where, "is not a grid axis; the axes are " + ", ".join(GRID_AXES))
        if key == "schedule" and (values == "default" or (isinstance(values, list) and values
                                                          and not isinstance(values[0], (list, tuple, str)))):
            values = [values]
        elif not isinstance(values, (list, tuple)):
            values = [values]
        if not values:
            raise StudySpecError(where, "is empty: expected at least one value")
        if key in DEFAULT_GENERICS:
            check = _integer
        elif key in _WORD_AXES:
            check = _WORD_AXES[key][0]
        else:
            check = _CALL_AXES[key]
        axes.append((key, [check(value, f"{where}[{i}]") for i, value in enumerate(values)]))
    return axes


@dataclass
class _Task:
    """One batch of frames of one point: what a worker needs, and nothing it must share."""

    point: int
    start: int
    stop: int
    seed: int
    generics: dict
    reference: bool
    library: Optional[str]
    nfft: int
    inverse: bool
    schedule: Optional[list]
    level: float
    signal: object


class Study:
    """A sweep of the core over a grid of configurations with a signal model.

    `grid` maps axes to lists of values, and every combination is a point; a
    list of such mappings concatenates their points. The axes are the core's
    options in the command-line program's words (arch, nfft_max, input_width,
    twiddle_width, scaling, rounding, runtime_nfft, float_mode) or its raw
    generics (C_ARCH, ...), and nfft (the call's length), direction (forward
    or inverse), schedule ("default" or one right shift per stage), reference
    (the reference library) and level (the signal's gain). A single value
    may stand for a list of one.

    `signal` is "noise" (complex, parts uniform over the full scale), a
    mapping {"model": "noise" | "tones" | "file" | "generator", ...}, an
    array of frames (one per row) or a function(rng, points) returning one
    frame. Fixed-point frames are rounded to the input grid as the core rounds
    them (exactly +1.0 becoming the largest code) and must lie in [-1, 1];
    floating-point frames are rounded to single precision.

    `frames` per point (by default all rows of an array of frames),
    `seed` (an integer >= 0), `percentiles` of the per-frame SQNR to report,
    `batch` frames per task, `library` (a file or directory, else the usual
    search on each worker).
    """

    def __init__(self, grid, signal="noise", frames=None, seed=0, percentiles=(5, 50, 95), batch=64,
                 library=None, *, base=None):
        self.signal, signal_level = _signal_model(signal, base)
        available = len(self.signal.rows) if isinstance(self.signal, FrameSignal) else None
        if frames is None:
            frames = available or 100
        self.frames = _integer(frames, "frames", 1)
        if available is not None and self.frames > available:
            raise StudySpecError("frames", f"{self.frames} frames per point, but the signal holds {available}")
        self.seed = _integer(seed, "seed", 0)
        self.batch = _integer(batch, "batch", 1)
        if not isinstance(percentiles, (list, tuple)):
            _fail("percentiles", percentiles, "a list of percentiles from 0 to 100")
        self.percentiles = []
        for i, q in enumerate(percentiles):
            q = _number(q, f"percentiles[{i}]")
            if not 0.0 <= q <= 100.0 or q in self.percentiles:
                _fail(f"percentiles[{i}]", percentiles[i], "a percentile from 0 to 100, each given once")
            self.percentiles.append(q)
        if library is not None and not isinstance(library, (str, os.PathLike)):
            _fail("library", library, "the path of the library file or its directory")
        self.library = None if library is None else os.path.abspath(library)
        grids = grid if isinstance(grid, list) else [grid]
        if not grids:
            _fail("grid", grid, "a mapping of grid axes to lists of values, or a list of them")
        self.points, self._runs = [], []
        for g, sub in enumerate(grids):
            axes = _axes(sub, "grid" if sub is grid else f"grid[{g}]")
            for values in itertools.product(*(values for _, values in axes)):
                combination = dict(zip((key for key, _ in axes), values))
                where = f"grid point {len(self.points)} ({_describe(combination)})"
                params, generics, schedule = _point(combination, where, signal_level)
                self._check_signal(params, where)
                self.points.append(params)
                self._runs.append((generics, schedule))

    @classmethod
    def from_dict(cls, description, base=None):
        """A study from a mapping with the fields grid, signal, frames, seed,
        percentiles, batch and library; `base` is the directory that a file
        signal's path is relative to."""
        if not isinstance(description, dict):
            _fail("study", description, "a mapping of study fields")
        fields = ("grid", "signal", "frames", "seed", "percentiles", "batch", "library")
        for key in description:
            if key not in fields:
                raise StudySpecError(key, "is not a study field; the fields are " + ", ".join(fields))
        if "grid" not in description:
            raise StudySpecError("grid", "is missing: a study needs the grid of configurations to sweep")
        return cls(**description, base=base)

    @classmethod
    def from_file(cls, path):
        """A study from a JSON file; a file signal's path is relative to the file's directory."""
        path = Path(path)
        with open(path, encoding="utf-8") as source:
            try:
                description = json.load(source)
            except json.JSONDecodeError as error:
                raise StudySpecError(f"line {error.lineno} column {error.colno}",
                                     f"not valid JSON: {error.msg}") from None
        return cls.from_dict(description, base=path.parent)

    def _check_signal(self, params, where):
        peak = self.signal.peak
        if params["float_mode"] or peak is None:
            if isinstance(self.signal, FrameSignal) and self.signal.rows.shape[1] != params["points"]:
                raise StudySpecError(where, f"the signal's frames hold {self.signal.rows.shape[1]} samples, "
                                     f"but this point transforms {params['points']}")
            return
        if peak * params["level"] > 1.0:
            raise StudySpecError(where, f"the {self.signal.name} signal at level {params['level']:g} peaks at "
                                 f"{peak * params['level']:g}, beyond the full scale 1.0 of fixed-point input")

    def _tasks(self):
        for index, (params, (generics, schedule)) in enumerate(zip(self.points, self._runs)):
            for start in range(0, self.frames, self.batch):
                stop = min(start + self.batch, self.frames)
                signal = self.signal.part(start, stop) if isinstance(self.signal, FrameSignal) else self.signal
                yield _Task(index, start, stop, self.seed, generics, params["reference"], self.library,
                            params["nfft"], params["direction"] == "inverse", schedule, params["level"], signal)

    def run(self, *, workers=None, client=None, progress=None):
        """Runs every point and returns the table (a pandas DataFrame, one row per point).

        Without `client` the batches run on a pool of `workers` threads (by
        default one per processor), each with its own core states; with a
        dask.distributed Client they become tasks on its workers. `progress`
        shows a bar on standard error once the study has run for a second, by
        default when standard error is a terminal.
        """
        tasks = list(self._tasks())
        if progress is None:
            progress = sys.stderr.isatty()
        bar = None
        if progress:
            from tqdm import tqdm
            # Shown once the study has run for a second: short studies stay silent.
            bar = tqdm(total=len(self.points) * self.frames, unit="frame", file=sys.stderr, leave=False, delay=1.0)
        try:
            if client is None:
                if workers is None:
                    workers = os.cpu_count() or 1
                workers = _integer(workers, "workers", 1)
                outcomes = _run_local(tasks, workers, bar)
            else:
                outcomes = _run_dask(tasks, client, bar)
        finally:
            if bar is not None:
                bar.close()
        return self._table(tasks, outcomes)

    def _table(self, tasks, outcomes):
        per_point = [[] for _ in self.points]
        for task, outcome in zip(tasks, outcomes):
            per_point[task.point].append(outcome)
        measured = [{key: np.concatenate([batch[key] for batch in batches]) for key in batches[0]}
                    for batches in per_point]
        exponents = sorted(set(itertools.chain.from_iterable(np.unique(m["blk_exp"]).tolist() for m in measured)))
        rows = []
        for params, m in zip(self.points, measured):
            sqnr = m["sqnr"]
            row = dict(params, frames=len(sqnr), sqnr_mean=float(np.mean(sqnr)), sqnr_min=float(np.min(sqnr)))
            for q in self.percentiles:
                row[f"sqnr_p{q:g}"] = float(np.percentile(sqnr, q))
            row["max_error_lsb"] = float(np.max(m["error_lsb"]))
            row["overflow_rate"] = float(np.mean(m["overflow"]))
            for e in exponents:
                row[f"blk_exp_{e}"] = int(np.count_nonzero(m["blk_exp"] == e))
            rows.append(row)
        return pd.DataFrame(rows)


def run_study(description, **options):
    """Study.from_dict(description).run(**options), or from_file when `description` is a path."""
    study = Study.from_file(description) if isinstance(description, (str, os.PathLike)) else Study.from_dict(description)
    return study.run(**options)


# Execution: a batch runs on a core state that its thread keeps for later
# batches of the same configuration.

_CACHED_CORES = 4
_thread_cores = threading.local()


def _core(generics, reference, library):
    cores = getattr(_thread_cores, "cores", None)
    if cores is None:
        cores = _thread_cores.cores = OrderedDict()
    key = (tuple(sorted(generics.items())), reference, library)
    core = cores.pop(key, None) or FFT.from_generics(generics, reference=reference, library=library)
    cores[key] = core
    while len(cores) > _CACHED_CORES:
        cores.popitem(last=False)[1].close()
    return core


def _frames(task, first, stop, points, float_mode, width):
    """Frames first..stop-1 of the task, at the point's level, on the core's input grid."""
    rows = np.empty((stop - first, points), np.complex128)
    for row, index in enumerate(range(first, stop)):
        rng = np.random.default_rng(np.random.SeedSequence(task.seed, spawn_key=(task.point, index)))
        rows[row] = task.signal.frame(rng, points, index)
    rows *= task.level
    if float_mode:
        return rows.astype(np.complex64).astype(np.complex128)
    for part, name in ((rows.real, "real"), (rows.imag, "imaginary")):
        bad = ~((part >= -1.0) & (part <= 1.0))
        if bad.any():
            row, sample = np.unravel_index(np.argmax(bad), bad.shape)
            raise ValueError(f"signal frame {first + row} of grid point {task.point}: the {name} part of "
                             f"sample {sample} is {part[row, sample]!r} at level {task.level:g}, outside the "
                             f"fixed-point input range -1.0 to 1.0")
    below_one = np.nextafter(1.0, 0.0)
    return quantize(np.minimum(rows.real, below_one) + 1j * np.minimum(rows.imag, below_one), width)


# Frames go through in chunks of at most this many samples (32 KiB per
# complex array), so that glibc serves every array from memory the heap keeps.
# Larger arrays cost fresh pages on every chunk wherever MALLOC_TRIM_THRESHOLD_
# is set, as Dask sets it to 64 KiB for its workers: that fixes the mmap
# threshold and hands free heap tops back to the system at once.
_CHUNK_SAMPLES = 2048


def _run_batch(task):
    """Per-frame measurements of one batch: SQNR (dB), largest error (output LSB), overflow, block exponent."""
    core = _core(task.generics, task.reference, task.library)
    points = 1 << task.nfft
    step = max(1, _CHUNK_SAMPLES // points)
    parts = [_measure(core, task, _frames(task, first, min(first + step, task.stop), points, core.float_mode,
                                          core.input_width))
             for first in range(task.start, task.stop, step)]
    return {key: np.concatenate([part[key] for part in parts]) for key in parts[0]}


def _measure(core, task, x):
    result = core.run_many(x, workers=1, nfft=task.nfft, inverse=task.inverse, schedule=task.schedule)
    reference = reference_dft(x, result.scale, inverse=task.inverse)
    error = result.y - reference
    signal = np.sum(np.abs(reference) ** 2, axis=1)
    noise = np.sum(np.abs(error) ** 2, axis=1)
    with np.errstate(divide="ignore"):
        sqnr = np.where(noise == 0.0, np.inf, 10.0 * np.log10(signal) - 10.0 * np.log10(noise))
    largest = np.maximum(np.abs(error.real), np.abs(error.imag)).max(axis=1)
    if core.float_mode:
        # A unit in the last place of a single at the frame's largest result.
        peak = np.maximum(np.abs(reference.real), np.abs(reference.imag)).max(axis=1)
        lsb = np.ldexp(1.0, np.frexp(peak)[1] - 24)
    else:
        lsb = math.ldexp(1.0, 1 - core.input_width)
    return {"sqnr": sqnr, "error_lsb": largest / lsb, "overflow": result.overflow, "blk_exp": result.blk_exp}


def _run_local(tasks, workers, bar):
    outcomes = [None] * len(tasks)
    with ThreadPoolExecutor(max_workers=workers) as pool:
        futures = {pool.submit(_run_batch, task): i for i, task in enumerate(tasks)}
        try:
            for future in as_completed(futures):
                i = futures[future]
                outcomes[i] = future.result()
                if bar is not None:
                    bar.update(tasks[i].stop - tasks[i].start)
        except BaseException:
            for future in futures:
                future.cancel()
            raise
    return outcomes


def _run_dask(tasks, client, bar):
    from distributed import as_completed as dask_completed

    prefix = f"vfft-study-{uuid.uuid4().hex}"
    futures = [client.submit(_run_batch, task, key=f"{prefix}-{i}", pure=False) for i, task in enumerate(tasks)]
    index = {future.key: i for i, future in enumerate(futures)}
    outcomes = [None] * len(tasks)
    try:
        for future in dask_completed(futures):
            i = index[future.key]
            outcomes[i] = future.result()
            if bar is not None:
                bar.update(tasks[i].stop - tasks[i].start)
    finally:
        client.cancel(futures)
    return outcomes


# Plots.

def _series(table, x):
    """Lines along `x`: groups of rows that differ in anything but `x`, each
    labelled by what sets it apart; groups with a single value of `x` are left out."""
    fixed = ("points", "frames")
    varying = [c for c in PARAMETER_COLUMNS if c != x and c not in fixed and table[c].nunique() > 1]
    groups = table.groupby(varying, sort=False) if varying else [((), table)]
    for values, rows in groups:
        if rows[x].nunique() < 2:
            continue
        values = values if isinstance(values, tuple) else (values,)
        label = ", ".join(str(v) if c in ("arch", "scaling", "rounding", "direction") else f"{c} {v}"
                          for c, v in zip(varying, values))
        yield label, rows.sort_values(x)


def _common(table):
    """What all rows share, in words, for a plot's title."""
    words = {"arch": "{}", "points": "{} points", "twiddle_width": "{}-bit twiddles", "direction": "{}",
             "level": "level {:g}"}
    return ", ".join(form.format(table[c].iloc[0]) for c, form in words.items() if table[c].nunique() == 1)


def _figure(title, table):
    from matplotlib.figure import Figure

    figure = Figure(figsize=(8, 5))
    axes = figure.add_subplot()
    axes.set_title(f"{title}\n{_common(table)}, {int(table['frames'].min())} frames or more per point", fontsize=10)
    axes.grid(True, alpha=0.3)
    return figure, axes


def plot_study(table, directory):
    """Writes the plots that the table's grid supports into `directory` and
    returns their paths: sqnr_vs_width.png (mean SQNR against input width, a
    line per scaling and rounding mode and whatever else varies, the band
    spanning the reported percentiles) when fixed-point points differ only
    in their width, and overflow_vs_level.png (overflow rate against the
    signal's level, for scheduled cores, which report overflow) when
    scheduled points differ only in their level."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    written = []
    fixed = table[~table["float_mode"]]
    lines = list(_series(fixed, "input_width"))
    if lines:
        bands = [c for c in table.columns if c.startswith("sqnr_p")]
        shaded = f" (mean; shaded from {bands[0][6:]}th to {bands[-1][6:]}th percentile)" if bands else " (mean)"
        figure, axes = _figure("SQNR against input width" + shaded, pd.concat([rows for _, rows in lines]))
        for label, rows in lines:
            line, = axes.plot(rows["input_width"], rows["sqnr_mean"], marker="o", label=label or None)
            if bands:
                axes.fill_between(rows["input_width"], rows[bands[0]], rows[bands[-1]], color=line.get_color(),
                                  alpha=0.15)
        axes.set_xlabel("input width (bits)")
        axes.set_ylabel("SQNR against a double-precision DFT (dB)")
        written.append(_save(figure, axes, directory / "sqnr_vs_width.png"))
    lines = list(_series(fixed[fixed["scaling"] == "schedule"], "level"))
    if lines:
        figure, axes = _figure("Overflow rate against input level, scheduled scaling",
                               pd.concat([rows for _, rows in lines]))
        for label, rows in lines:
            axes.plot(rows["level"], rows["overflow_rate"], marker="o", label=label or None)
        axes.set_xlabel("signal level (gain of the signal model)")
        axes.set_ylabel("frames with overflow")
        axes.set_ylim(-0.05, 1.05)
        written.append(_save(figure, axes, directory / "overflow_vs_level.png"))
    return written


def _save(figure, axes, path):
    if axes.get_legend_handles_labels()[1]:
        axes.legend(fontsize=8)
    figure.savefig(path, dpi=80)
    return path


def study_command(args):
    """python3 -m vfft study: runs a JSON study, writes study.csv and the plots into --out."""
    name = "python3 -m vfft study"
    try:
        study = Study.from_file(args.study_file)
    except OSError as error:
        print(f"{name}: error: cannot read {args.study_file}: {error.strerror}", file=sys.stderr)
        return 1
    except (StudySpecError, TypeError) as error:
        print(f"{name}: error: {args.study_file}: {error}", file=sys.stderr)
        return 1
    out = Path(args.out)
    try:
        out.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        print(f"{name}: error: cannot create {out}: {error.strerror}", file=sys.stderr)
        return 1
    progress = not args.quiet and sys.stderr.isatty()
    start = time.perf_counter()
    try:
        if args.scheduler:
            from distributed import Client

            with Client(args.scheduler, timeout="20s") as client:
                table = study.run(client=client, progress=progress)
        else:
            table = study.run(workers=args.workers, progress=progress)
        seconds = time.perf_counter() - start
        csv = out / "study.csv"
        partial = out / ".study.csv.part"
        table.to_csv(partial, index=False)
        os.replace(partial, csv)
        written = [csv] + plot_study(table, out)
    except (OSError, ValueError) as error:
        print(f"{name}: error: {error}", file=sys.stderr)
        return 1
    frames = int(table["frames"].sum())
    print(f"{len(table)} points, {frames} frames in {seconds:.2f} s ({frames / seconds:.1f} frames/s)")
    for path in written:
        print(f"wrote {path}")
    return 0
