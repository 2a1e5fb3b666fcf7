"""Accuracy studies: a grid of core configurations driven by a signal model,
many frames per point, reduced to SQNR, error, overflow and block-exponent
statistics per point.

    study = vfft.Study(grid={"input_width": [16, 20, 24], "rounding": ["truncate", "convergent"]},
                       signal={"model": "noise", "level": 0.9}, frames=200, seed=1)
    table = study.run(workers=2)          # or study.run(client=dask.distributed.Client(...))
    table.to_csv("study.csv", index=False)
    vfft.plot_study(table, "plots")

Every frame depends on (seed, point index, frame index) only, so a table
depends on the description only: not on the executor, the number of workers
or the order in which batches finish.
"""

import itertools
import json
import os
import sys
from pathlib import Path

from .description import StudySpecError, axes, describe, fail, integer, number, point
from .execution import Task, run_dask, run_local
from .signals import FrameSignal, signal_model
from .tables import build_table, plot_study

__all__ = ["Study", "StudySpecError", "plot_study", "run_study"]


class Study:
    """A sweep of the core over a grid of configurations with a signal model.

    `grid` maps axes to lists of values, and every combination is a point; a
    list of such mappings concatenates their points. The axes are the core's
    options in the command-line program's words (arch, nfft_max, input_width,
    twiddle_width, scaling, rounding, runtime_nfft, float_mode) or its raw
    generics (C_ARCH, ...), and nfft (the call's length), direction (forward
    or inverse), schedule ("default" or one right shift per stage), reference
    (the reference library) and level (the signal's gain). A single value
    may stand for a list of one. Options left out take the library's defaults.

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

    def __init__(self, grid, signal="noise", frames=None, seed=0, percentiles=(5, 50, 95), batch=256,
                 library=None, *, base=None):
        self.signal, signal_level = signal_model(signal, base)
        available = len(self.signal.rows) if isinstance(self.signal, FrameSignal) else None
        if frames is None:
            frames = available or 100
        self.frames = integer(frames, "frames", 1)
        if available is not None and self.frames > available:
            raise StudySpecError("frames", f"{self.frames} frames per point, but the signal holds {available}")
        self.seed = integer(seed, "seed", 0)
        self.batch = integer(batch, "batch", 1)
        if not isinstance(percentiles, (list, tuple)):
            fail("percentiles", percentiles, "a list of percentiles from 0 to 100")
        self.percentiles = []
        for i, q in enumerate(percentiles):
            q = number(q, f"percentiles[{i}]")
            if not 0.0 <= q <= 100.0 or q in self.percentiles:
                fail(f"percentiles[{i}]", percentiles[i], "a percentile from 0 to 100, each given once")
            self.percentiles.append(q)
        if library is not None and not isinstance(library, (str, os.PathLike)):
            fail("library", library, "the path of the library file or its directory")
        self.library = None if library is None else os.path.abspath(library)
        grids = grid if isinstance(grid, list) else [grid]
        if not grids:
            fail("grid", grid, "a mapping of grid axes to lists of values, or a list of them")
        self.points, self._runs = [], []
        for g, sub in enumerate(grids):
            checked = axes(sub, "grid" if sub is grid else f"grid[{g}]")
            for values in itertools.product(*(values for _, values in checked)):
                combination = dict(zip((key for key, _ in checked), values))
                where = f"grid point {len(self.points)} ({describe(combination)})"
                params, config, schedule = point(combination, where, signal_level, self.library)
                self._check_signal(params, config, where)
                self.points.append(params)
                self._runs.append((config.generics, schedule))

    @classmethod
    def from_dict(cls, description, base=None):
        """A study from a mapping with the fields grid, signal, frames, seed,
        percentiles, batch and library; `base` is the directory that a file
        signal's path is relative to."""
        if not isinstance(description, dict):
            fail("study", description, "a mapping of study fields")
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

    def _check_signal(self, params, config, where):
        peak = self.signal.peak
        if params["float_mode"] or peak is None:
            if isinstance(self.signal, FrameSignal) and self.signal.rows.shape[1] != params["points"]:
                raise StudySpecError(where, f"the signal's frames hold {self.signal.rows.shape[1]} samples, "
                                     f"but this point transforms {params['points']}")
            return
        rules = config.describe(params["nfft"])
        full_scale = 2.0 ** (rules.input_width - 1 - rules.input_point)
        if peak * params["level"] > full_scale:
            raise StudySpecError(where, f"the {self.signal.name} signal at level {params['level']:g} peaks at "
                                 f"{peak * params['level']:g}, beyond the full scale {full_scale:g} of "
                                 f"fixed-point input")

    def _tasks(self):
        for index, (params, (generics, schedule)) in enumerate(zip(self.points, self._runs)):
            for start in range(0, self.frames, self.batch):
                stop = min(start + self.batch, self.frames)
                signal = self.signal.part(start, stop) if isinstance(self.signal, FrameSignal) else self.signal
                yield Task(index, start, stop, self.seed, generics, params["reference"], self.library,
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
                outcomes = run_local(tasks, integer(workers, "workers", 1), bar)
            else:
                outcomes = run_dask(tasks, client, bar)
        finally:
            if bar is not None:
                bar.close()
        return build_table(self.points, self.percentiles, tasks, outcomes)


def run_study(description, **options):
    """Study.from_dict(description).run(**options), or from_file when `description` is a path."""
    study = Study.from_file(description) if isinstance(description, (str, os.PathLike)) else Study.from_dict(description)
    return study.run(**options)
