"""The checked interface: one configuration of the core, numpy frames in and out."""

import math
import numbers
import os
import threading
import weakref
from concurrent.futures import ThreadPoolExecutor
from typing import NamedTuple

import numpy as np

from . import capi
from .errors import VfftError

ARCHES = {"radix4": 1, "radix2": 2, "pipelined": 3, "radix2-lite": 4}
SCALINGS = {"unscaled": (0, 0), "schedule": (1, 0), "bfp": (1, 1)}
ROUNDINGS = {"truncate": 0, "convergent": 1}

DEFAULT_GENERICS = {
    "C_NFFT_MAX": 10,
    "C_ARCH": 1,
    "C_HAS_NFFT": 0,
    "C_USE_FLT_PT": 0,
    "C_INPUT_WIDTH": 16,
    "C_TWIDDLE_WIDTH": 16,
    "C_HAS_SCALING": 1,
    "C_HAS_BFP": 0,
    "C_HAS_ROUNDING": 0,
}

_RANGES = {
    "C_NFFT_MAX": (3, 16),
    "C_ARCH": (1, 4),
    "C_HAS_NFFT": (0, 1),
    "C_USE_FLT_PT": (0, 1),
    "C_INPUT_WIDTH": (8, 34),
    "C_TWIDDLE_WIDTH": (8, 34),
    "C_HAS_SCALING": (0, 1),
    "C_HAS_BFP": (0, 1),
    "C_HAS_ROUNDING": (0, 1),
}

# Largest finite single-precision value: the range of floating-point input.
SINGLE_MAX = float(np.finfo(np.float32).max)


def _require_int(value, what):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{what} must be an integer, got {value!r} of type {type(value).__name__}")
    return int(value)


def _choice(value, table, what):
    if value not in table:
        raise ValueError(f"{what} {value!r} is not one of: " + ", ".join(table))
    return table[value]


def check_generics(generics):
    """Completes a mapping of generic names to integers with the defaults and
    checks it as create_state does; returns the full dict or raises
    ValueError / TypeError naming the field and the accepted values."""
    if not hasattr(generics, "items"):
        raise TypeError(f"generics must be a mapping of names to integers, got {type(generics).__name__}")
    unknown = [name for name in generics if name not in DEFAULT_GENERICS]
    if unknown:
        raise ValueError(f"unknown generic {unknown[0]!r}; the generics are: " + ", ".join(DEFAULT_GENERICS))
    full = dict(DEFAULT_GENERICS)
    for name, value in generics.items():
        full[name] = _require_int(value, name)
    for name in capi.GENERIC_NAMES:
        low, high = _RANGES[name]
        if not low <= full[name] <= high:
            raise ValueError(f"{name} = {full[name]} is outside its range {low} to {high}")
    g = full
    if g["C_ARCH"] == 1 and g["C_NFFT_MAX"] < 6:
        raise ValueError(f"C_NFFT_MAX = {g['C_NFFT_MAX']}: the radix-4 core (C_ARCH 1) needs at least 6 (64 points)")
    if g["C_HAS_NFFT"] == 1 and g["C_NFFT_MAX"] == 3:
        raise ValueError("C_HAS_NFFT = 1 needs C_NFFT_MAX of at least 4: 8 points cannot be reduced")
    if g["C_HAS_NFFT"] == 1 and g["C_ARCH"] == 1 and g["C_NFFT_MAX"] == 6:
        raise ValueError("C_HAS_NFFT = 1 on the radix-4 core (C_ARCH 1) needs C_NFFT_MAX of at least 7")
    if g["C_HAS_SCALING"] == 0 and g["C_HAS_BFP"] == 1:
        raise ValueError("C_HAS_BFP = 1 needs C_HAS_SCALING = 1: block floating point is a scaled mode")
    if g["C_USE_FLT_PT"] == 1 and g["C_INPUT_WIDTH"] != 32:
        raise ValueError(f"C_USE_FLT_PT = 1 needs C_INPUT_WIDTH = 32 (single precision), got {g['C_INPUT_WIDTH']}")
    return full


class Result(NamedTuple):
    """One transformed frame.

    `y` holds the results as the library returns them; `scale` is the factor
    between `y` and the unnormalised double-precision DFT of the input:
    y ~ scale * DFT(x), so `reference_dft(x, result.scale)` is comparable.
    """

    y: np.ndarray
    blk_exp: int
    overflow: int
    scale: float


class ManyResult(NamedTuple):
    """Frames transformed by run_many, stacked in frame order."""

    y: np.ndarray
    blk_exp: np.ndarray
    overflow: np.ndarray
    scale: np.ndarray


def _destroy(library, state):
    library.destroy_state(state)


def _restore(generics, reference, library):
    return FFT.from_generics(generics, reference=reference, library=library)


class FFT:
    """One configuration of the core with its own simulation state.

    Arguments use the command-line program's vocabulary: `arch` is radix4,
    radix2, pipelined or radix2-lite; `scaling` is unscaled, schedule or bfp;
    `rounding` is truncate or convergent; `runtime_nfft` lets each call choose
    its length up to 2^nfft_max; `float_mode` selects single-precision data.
    `input_width` defaults to 16, or 32 in floating-point mode.
    `reference=True` loads the reference library instead of the default one;
    `library` names the library file or its directory explicitly.

    The state is released by close(), by leaving a `with` block, or when the
    object is collected. A state serves one call at a time; concurrent calls
    on one object wait for each other, and run_many spreads frames over states
    of its own.
    """

    def __init__(self, nfft_max=10, arch="radix4", input_width=None, twiddle_width=16, scaling="schedule",
                 rounding="truncate", runtime_nfft=False, float_mode=False, *, reference=False, library=None):
        has_scaling, has_bfp = _choice(scaling, SCALINGS, "scaling")
        if input_width is None:
            input_width = 32 if float_mode else 16
        generics = {
            "C_NFFT_MAX": _require_int(nfft_max, "nfft_max"),
            "C_ARCH": _choice(arch, ARCHES, "arch"),
            "C_HAS_NFFT": int(bool(runtime_nfft)),
            "C_USE_FLT_PT": int(bool(float_mode)),
            "C_INPUT_WIDTH": _require_int(input_width, "input_width"),
            "C_TWIDDLE_WIDTH": _require_int(twiddle_width, "twiddle_width"),
            "C_HAS_SCALING": has_scaling,
            "C_HAS_BFP": has_bfp,
            "C_HAS_ROUNDING": _choice(rounding, ROUNDINGS, "rounding"),
        }
        self._open(generics, reference, library)

    @classmethod
    def from_generics(cls, generics, *, reference=False, library=None):
        """A core from the raw generics by name (C_NFFT_MAX, C_ARCH, ...); any left out take their defaults."""
        fft = cls.__new__(cls)
        fft._open(generics, reference, library)
        return fft

    def _open(self, generics, reference, library, loaded=None):
        self._state = None
        self.generics = check_generics(generics)
        self.reference = bool(reference)
        self._library_arg = None if library is None else os.path.abspath(library)
        self._library = loaded or capi.load_library(self.reference, library)
        record = capi.Generics(*(self.generics[name] for name in capi.GENERIC_NAMES))
        state = self._library.create_state(record)
        if not state:
            raise MemoryError(f"create_state returned no state for the generics {self.generics}")
        self._state = state
        self._lock = threading.Lock()
        self._workers = []
        self._finalizer = weakref.finalize(self, _destroy, self._library, state)

    # Configuration in the command-line program's words.
    @property
    def nfft_max(self):
        return self.generics["C_NFFT_MAX"]

    @property
    def arch(self):
        return next(name for name, value in ARCHES.items() if value == self.generics["C_ARCH"])

    @property
    def scaling(self):
        pair = (self.generics["C_HAS_SCALING"], self.generics["C_HAS_BFP"])
        return next(name for name, value in SCALINGS.items() if value == pair)

    @property
    def rounding(self):
        return next(name for name, value in ROUNDINGS.items() if value == self.generics["C_HAS_ROUNDING"])

    @property
    def runtime_nfft(self):
        return self.generics["C_HAS_NFFT"] == 1

    @property
    def float_mode(self):
        return self.generics["C_USE_FLT_PT"] == 1

    @property
    def input_width(self):
        return self.generics["C_INPUT_WIDTH"]

    @property
    def output_width(self):
        """Width of an output code: the input width, plus C_NFFT_MAX + 1 bits of growth when unscaled."""
        if not self.float_mode and self.scaling == "unscaled":
            return self.input_width + self.nfft_max + 1
        return self.input_width

    @property
    def frac_bits(self):
        """Fraction bits of input and output codes (the output keeps the input's LSB); 0 in floating-point mode."""
        return 0 if self.float_mode else self.input_width - 1

    @property
    def library_path(self):
        return self._library.path

    @property
    def uses_schedule(self):
        return self.scaling == "schedule" and not self.float_mode

    def stages(self, nfft=None):
        """Number of schedule values for a transform of 2^nfft points."""
        nfft = self.nfft_max if nfft is None else nfft
        return nfft if self.generics["C_ARCH"] in (2, 4) else (nfft + 1) // 2

    def default_schedule(self, nfft=None):
        """The schedule that divides by the transform length and cannot overflow:
        one bit per radix-2 stage, two per radix-4 stage (one in a final radix-2 stage)."""
        nfft = self.nfft_max if nfft is None else nfft
        if self.generics["C_ARCH"] in (2, 4):
            return [1] * nfft
        return [2] * (nfft // 2) + [1] * (nfft % 2)

    def __repr__(self):
        extra = ", reference=True" if self.reference else ""
        return (f"FFT(nfft_max={self.nfft_max}, arch={self.arch!r}, input_width={self.input_width}, "
                f"twiddle_width={self.generics['C_TWIDDLE_WIDTH']}, scaling={self.scaling!r}, "
                f"rounding={self.rounding!r}, runtime_nfft={self.runtime_nfft}, float_mode={self.float_mode}{extra})")

    # Lifetime and pickling.
    def close(self):
        """Releases the state (and those of run_many's workers); later calls raise ValueError."""
        for worker in self._workers:
            worker.close()
        self._workers = []
        if self._state is not None:
            with self._lock:
                self._finalizer()
                self._state = None

    @property
    def closed(self):
        return self._state is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __reduce__(self):
        return (_restore, (dict(self.generics), self.reference, self._library_arg))

    # Transforms.
    def __call__(self, x, *, nfft=None, inverse=False, schedule=None, check=True):
        """Transforms one frame, a real or complex 1-D array of 2^nfft samples.

        Fixed-point values must lie in -1.0 <= v < 1.0; values off the grid of
        the input width are rounded by the library, which warns on standard
        error. `nfft` defaults to log2 of the frame's length; it must be
        C_NFFT_MAX unless the core has a run-time length. `schedule` applies to
        the scheduled fixed-point core only and defaults to default_schedule().
        check=False hands the arguments to the library unchecked, so that its
        own checks answer (as VfftError).
        """
        re, im = _frame_parts(x, 1, "x")
        re, im = re[None, :], im[None, :]
        nfft_used, schedules = self._prepare(re, im, nfft, schedule, check, "x", single=True)
        return self._run_frames(self, nfft_used, schedules, re, im, 0, 1, inverse)[0]

    def run_many(self, frames, *, workers=None, nfft=None, inverse=False, schedule=None, check=True):
        """Transforms every row of a 2-D array of frames on a pool of threads,
        one state per thread; the results are those of calling the core on
        each row in turn. `schedule` is one schedule for all frames or one row
        per frame."""
        re, im = _frame_parts(frames, 2, "frames")
        count = re.shape[0]
        if workers is None:
            workers = os.cpu_count() or 1
        workers = _require_int(workers, "workers")
        if workers < 1:
            raise ValueError(f"workers must be at least 1, got {workers}")
        nfft_used, schedules = self._prepare(re, im, nfft, schedule, check, "frames", single=False)
        workers = max(1, min(workers, count))
        points = re.shape[1]
        out = ManyResult(np.empty((count, points), np.complex128), np.empty(count, np.int64),
                         np.empty(count, np.int64), np.empty(count, np.float64))
        cores = [self] + self._worker_cores(workers - 1)
        bounds = np.linspace(0, count, workers + 1).astype(int)

        def work(index):
            start, stop = bounds[index], bounds[index + 1]
            results = self._run_frames(cores[index], nfft_used, schedules, re, im, start, stop, inverse)
            for row, result in enumerate(results, start):
                out.y[row], out.blk_exp[row], out.overflow[row], out.scale[row] = result

        if workers == 1:
            work(0)
        else:
            with ThreadPoolExecutor(max_workers=workers) as pool:
                list(pool.map(work, range(workers)))
        return out

    def _worker_cores(self, count):
        self._check_open()
        while len(self._workers) < count:
            worker = FFT.__new__(FFT)
            worker._open(self.generics, self.reference, self._library_arg, loaded=self._library)
            self._workers.append(worker)
        return self._workers[:count]

    def _check_open(self):
        if self._state is None:
            raise ValueError("this FFT is closed")

    def _prepare(self, re, im, nfft, schedule, check, label, single):
        """Checks frames, length and schedule; returns (nfft, schedules), schedules being
        an int32 array with one row per frame, or None for cores without a schedule."""
        self._check_open()
        count, points = re.shape
        if nfft is not None:
            nfft = _require_int(nfft, "nfft")
        elif self.runtime_nfft and points >= 1 and points & (points - 1) == 0:
            nfft = points.bit_length() - 1
        else:
            nfft = self.nfft_max
        if check:
            self._check_length(nfft, points, label)
            self._check_values(re, im, label, single)
        schedules = self._schedules(schedule, nfft, count, check)
        return nfft, schedules

    def _check_length(self, nfft, points, label):
        if not self.runtime_nfft:
            if nfft != self.nfft_max:
                raise ValueError(f"nfft = {nfft}: this core has the fixed length 2^{self.nfft_max} "
                                 f"(runtime_nfft=False), so nfft must be {self.nfft_max} or left out")
        else:
            low = 6 if self.generics["C_ARCH"] == 1 else 3
            if not low <= nfft <= self.nfft_max:
                raise ValueError(f"nfft = {nfft} is outside {low} to {self.nfft_max} for this core")
        if points != 1 << nfft:
            raise ValueError(f"{label} has {points} samples per frame, expected 2^{nfft} = {1 << nfft}")

    def _check_values(self, re, im, label, single):
        def where(index, part):
            frame, sample = index
            return f"{label}[{sample}].{part}" if single else f"{label}[{frame}, {sample}].{part}"

        for values, part in ((re, "real"), (im, "imag")):
            if self.float_mode:
                with np.errstate(over="ignore"):
                    bad = (np.abs(values) > SINGLE_MAX) & np.isfinite(values.astype(np.float32))
                expected = (f"-{SINGLE_MAX:g} <= value <= {SINGLE_MAX:g} or a value that is infinite "
                            f"in single precision (single-precision input)")
            else:
                bad = ~((values >= -1.0) & (values < 1.0))
                expected = "-1.0 <= value < 1.0 (fixed-point input; NaN and infinities have no code)"
            if bad.any():
                index = np.unravel_index(np.argmax(bad), bad.shape)
                raise ValueError(f"{where(index, part)} = {values[index]!r} is out of range: expected {expected}")

    def _schedules(self, schedule, nfft, count, check):
        if not self.uses_schedule:
            if schedule is not None:
                raise ValueError(f"schedule applies to scaling='schedule' in fixed point only; this core is "
                                 f"{'floating-point' if self.float_mode else self.scaling}")
            return None
        if schedule is None:
            # For the length the library will use: a fixed-length core ignores nfft.
            length = max(0, nfft) if self.runtime_nfft else self.nfft_max
            return np.tile(np.array(self.default_schedule(length), np.int32), (count, 1))
        rows = np.asarray(schedule)
        if rows.dtype.kind not in "iu" and not (rows.size == 0 and rows.dtype.kind == "f"):
            raise TypeError(f"schedule must hold integers, got {rows.dtype} values {schedule!r}")
        if rows.ndim == 1:
            rows = np.tile(rows, (count, 1))
        elif rows.ndim != 2 or rows.shape[0] != count:
            raise ValueError(f"schedule must be one list of stage shifts or one row per frame ({count}), "
                             f"got shape {rows.shape}")
        if ((rows < np.iinfo(np.int32).min) | (rows > np.iinfo(np.int32).max)).any():
            raise ValueError(f"schedule values must fit in 32 bits, got {schedule!r}")
        rows = np.ascontiguousarray(rows, np.int32)
        if check:
            stages = self.stages(nfft)
            radix = "radix-2" if self.generics["C_ARCH"] in (2, 4) else "radix-4"
            if rows.shape[1] != stages:
                raise ValueError(f"schedule has {rows.shape[1]} values, expected {stages}: one per {radix} "
                                 f"stage of a 2^{nfft}-point transform")
            if ((rows < 0) | (rows > 3)).any():
                raise ValueError(f"schedule values must be 0 to 3 (right shift per stage), got {rows.tolist()}")
            if radix == "radix-4" and nfft % 2 and (rows[:, -1] > 1).any():
                raise ValueError(f"the last schedule value belongs to a radix-2 stage (odd nfft = {nfft}) "
                                 f"and must be 0 or 1, got {rows[:, -1].tolist()}")
        return rows

    def _scale(self, schedule, blk_exp):
        if self.float_mode or self.scaling == "unscaled":
            return 1.0
        shift = blk_exp if self.scaling == "bfp" else int(schedule.sum())
        return math.ldexp(1.0, -shift)

    def _run_frames(self, core, nfft, schedules, re, im, start, stop, inverse):
        """Runs frames start..stop-1 on `core`'s state and returns their Results."""
        core._check_open()
        points = re.shape[1]
        # Capacity for the length the library will use: a fixed-length core ignores nfft.
        capacity = 1 << min(max(nfft if self.runtime_nfft else self.nfft_max, 0), 16)
        xn_re, xn_im = np.empty(points), np.empty(points)
        xk_re, xk_im = np.empty(capacity), np.empty(capacity)
        outputs = capi.Outputs()
        inputs = capi.Inputs(nfft=nfft, xn_re=capi.double_pointer(xn_re), xn_re_size=points,
                             xn_im=capi.double_pointer(xn_im), xn_im_size=points,
                             direction=0 if inverse else 1)
        results = []
        with core._lock:
            for frame in range(start, stop):
                # Floating-point mode may flush values in the arrays it is given: pass copies.
                xn_re[:] = re[frame]
                xn_im[:] = im[frame]
                schedule = None if schedules is None else schedules[frame]
                inputs.scaling_sch = capi.int32_pointer(schedule)
                inputs.scaling_sch_size = 0 if schedule is None else len(schedule)
                outputs.xk_re, outputs.xk_im = capi.double_pointer(xk_re), capi.double_pointer(xk_im)
                outputs.xk_re_size = outputs.xk_im_size = capacity
                code = core._library.simulate(core._state, inputs, outputs)
                if code != 0:
                    raise VfftError(code)
                size = outputs.xk_re_size
                y = complex_array(xk_re[:size], xk_im[:size])
                results.append(Result(y, int(outputs.blk_exp), int(outputs.overflow),
                                      self._scale(schedule, outputs.blk_exp)))
        return results


def complex_array(re, im):
    """Complex values from their parts; unlike re + 1j * im, this keeps infinite parts intact."""
    y = np.empty(np.shape(re), np.complex128)
    y.real, y.imag = re, im
    return y


def _frame_parts(x, ndim, label):
    """Real and imaginary parts of a frame (ndim 1) or of frames (ndim 2) as C-contiguous float64 arrays."""
    array = np.asarray(x)
    if array.dtype.kind not in "fc":
        hint = "; integer codes convert with vfft.from_codes" if array.dtype.kind in "iu" else ""
        raise TypeError(f"{label} must be a real or complex floating-point array, got dtype {array.dtype}{hint}")
    if array.ndim != ndim:
        what = "a 1-D frame" if ndim == 1 else "a 2-D array of frames (one frame per row)"
        raise ValueError(f"{label} must be {what}, got shape {array.shape}")
    if ndim == 2 and array.shape[0] == 0:
        raise ValueError(f"{label} holds no frame (shape {array.shape})")
    re = np.ascontiguousarray(array.real, np.float64)
    im = np.ascontiguousarray(array.imag, np.float64) if array.dtype.kind == "c" else np.zeros_like(re)
    return re, im
