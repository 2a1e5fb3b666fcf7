"""Running a study: each task is a batch of frames of one grid point, run in
one batch call on a core state that its thread keeps for later tasks of the
same configuration, on local threads or as tasks of a Dask cluster."""

import threading
import uuid
from collections import OrderedDict
from concurrent.futures import ThreadPoolExecutor, as_completed
from dataclasses import dataclass
from typing import Optional

import numpy as np
import scipy.fft

from ..core import FFT


@dataclass
class Task:
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


# Per thread: the core states of the latest configurations, and the arrays
# that every chunk of frames reuses. Fresh arrays would cost fresh pages on
# every chunk wherever MALLOC_TRIM_THRESHOLD_ is set, as Dask sets it for its
# workers: that fixes glibc's mmap threshold and hands freed memory back at once.
_CACHED_CORES = 4
_thread = threading.local()

# Frames go through in chunks of at most this many samples (2 MiB per array).
_CHUNK_SAMPLES = 1 << 17


def _core(generics, reference, library):
    cores = getattr(_thread, "cores", None)
    if cores is None:
        cores = _thread.cores = OrderedDict()
    key = (tuple(sorted(generics.items())), reference, library)
    core = cores.pop(key, None) or FFT.from_generics(generics, reference=reference, library=library)
    cores[key] = core
    while len(cores) > _CACHED_CORES:
        cores.popitem(last=False)[1].close()
    return core


def _buffer(name, shape):
    """A complex array of `shape` that this thread reuses under `name`."""
    buffers = getattr(_thread, "buffers", None)
    if buffers is None:
        buffers = _thread.buffers = {}
    size = int(np.prod(shape))
    if name not in buffers or buffers[name].size < size:
        buffers[name] = np.empty(size, np.complex128)
    return buffers[name][:size].reshape(shape)


def _to_input(x, task, rules, first):
    """Rounds frames at the point's level to the core's input as the core
    rounds off-grid values: to the nearest step, ties to even, the largest
    code for a value of full scale; single precision in floating-point mode.
    Fixed-point frames come in units of the input's step."""
    parts = x.view(np.float64)
    if rules.float_mode:
        parts[:] = parts.astype(np.float32)
        return
    top = 2.0 ** (rules.input_width - 1)
    steps = 2.0 ** rules.input_point
    peak = task.signal.peak
    if peak is None and not (parts.min() >= -top and parts.max() <= top):
        row, sample = np.unravel_index(np.argmax(~((parts >= -top) & (parts <= top))), parts.shape)
        raise ValueError(f"signal frame {first + row} of grid point {task.point}: the "
                         f"{('real', 'imaginary')[sample % 2]} part of sample {sample // 2} is "
                         f"{parts[row, sample] / steps!r} at level {task.level:g}, outside the fixed-point input "
                         f"range {-top / steps:g} to {top / steps:g}")
    np.rint(parts, out=parts)
    if peak is None or peak * task.level * steps >= top - 0.5:
        np.minimum(parts, top - 1.0, out=parts)
    parts *= 1.0 / steps


def _measure(x, result, rules, inverse, into):
    """SQNR (dB) and largest error (output LSB) of each frame against a
    double-precision DFT of its input at the result's scale."""
    reference = _buffer("reference", x.shape)
    parts = reference.view(np.float64)  # real arithmetic on the parts is the faster
    # Scaling by powers of two commutes with the transform exactly.
    np.multiply(x.view(np.float64), result.scale[:, None], out=parts)
    transform = scipy.fft.ifft if inverse else scipy.fft.fft
    transform(reference, axis=-1, norm="forward" if inverse else "backward", overwrite_x=True)
    signal = np.einsum("ij,ij->i", parts, parts)
    if rules.float_mode:
        # A unit in the last place of a single at the frame's largest result.
        peak = np.maximum(parts.max(axis=1), -parts.min(axis=1))
        lsb = np.ldexp(1.0, np.frexp(peak)[1] - 24)
    else:
        lsb = 2.0 ** -rules.output_point
    parts -= result.y.view(np.float64)
    noise = np.einsum("ij,ij->i", parts, parts)
    with np.errstate(divide="ignore"):
        into["sqnr"][:] = np.where(noise == 0.0, np.inf, 10.0 * np.log10(signal) - 10.0 * np.log10(noise))
    into["error_lsb"][:] = np.maximum(parts.max(axis=1), -parts.min(axis=1)) / lsb
    into["overflow"][:] = result.overflow
    into["blk_exp"][:] = result.blk_exp


def run_task(task):
    """Per-frame measurements of one task: SQNR (dB), largest error (output LSB), overflow, block exponent."""
    core = _core(task.generics, task.reference, task.library)
    rules = core.describe(task.nfft if core.runtime_nfft else None)
    points = 1 << task.nfft
    count = task.stop - task.start
    measured = {"sqnr": np.empty(count), "error_lsb": np.empty(count), "overflow": np.empty(count, np.int32),
                "blk_exp": np.empty(count, np.int32)}
    gain = task.level * (1.0 if rules.float_mode else 2.0 ** rules.input_point)
    fill = task.signal.reader(task.seed, task.point, task.start, points, gain)
    step = max(1, _CHUNK_SAMPLES // points)
    for first in range(task.start, task.stop, step):
        stop = min(first + step, task.stop)
        x = _buffer("x", (stop - first, points))
        fill(x)
        _to_input(x, task, rules, first)
        result = core(x, nfft=task.nfft, inverse=task.inverse, schedule=task.schedule,
                      out=_buffer("y", x.shape))
        rows = slice(first - task.start, stop - task.start)
        _measure(x, result, rules, task.inverse, {key: values[rows] for key, values in measured.items()})
    return measured


def run_local(tasks, workers, bar):
    outcomes = [None] * len(tasks)
    with ThreadPoolExecutor(max_workers=workers) as pool:
        futures = {pool.submit(run_task, task): i for i, task in enumerate(tasks)}
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


# A Dask task costs its worker milliseconds of its own, so tasks travel in
# groups of about this many samples (256 frames of 1024 points).
_DASK_SAMPLES = 1 << 18


def _groups(tasks):
    group, samples = [], 0
    for task in tasks:
        group.append(task)
        samples += (task.stop - task.start) << task.nfft
        if samples >= _DASK_SAMPLES:
            yield group
            group, samples = [], 0
    if group:
        yield group


def run_tasks(tasks):
    return [run_task(task) for task in tasks]


def run_dask(tasks, client, bar):
    from distributed import as_completed as dask_completed

    prefix = f"vfft-study-{uuid.uuid4().hex}"
    groups = list(_groups(tasks))
    futures = [client.submit(run_tasks, group, key=f"{prefix}-{i}", pure=False) for i, group in enumerate(groups)]
    index = {future.key: i for i, future in enumerate(futures)}
    outcomes = [None] * len(groups)
    try:
        for future in dask_completed(futures):
            i = index[future.key]
            outcomes[i] = future.result()
            if bar is not None:
                bar.update(sum(task.stop - task.start for task in groups[i]))
    finally:
        client.cancel(futures)
    return [outcome for group in outcomes for outcome in group]
