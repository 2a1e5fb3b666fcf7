"""One state of the core and its calls: numpy frames along any axis in, one
batch call of the library per block of frames, results out."""

import os
import threading
import weakref
from concurrent.futures import ThreadPoolExecutor
from typing import NamedTuple

import numpy as np

from . import capi
from .config import Configuration, generics_record, core_generics, require_bool, require_int
from .errors import Messages, report


class Result(NamedTuple):
    """Transformed frames.

    `y` holds the results as the library returns them, in the shape of the
    input; `scale` is the factor between `y` and the unnormalised
    double-precision DFT of the input: y ~ scale * DFT(x), so
    `reference_dft(x, result.scale)` is comparable. For a 1-D input
    `blk_exp`, `overflow` and `scale` are numbers; otherwise arrays with one
    value per frame, in the shape of the input without the transform's axis.
    """

    y: np.ndarray
    blk_exp: object
    overflow: object
    scale: object


def _destroy(library, state, messages):
    # `messages` holds the state's sink, which must outlive the state.
    library.destroy_state(state)


def _restore(generics, reference, library):
    return FFT.from_generics(generics, reference=reference, library=library)


class FFT(Configuration):
    """One configuration of the core with its own simulation state.

    Arguments use the command-line program's vocabulary: `arch` is radix4,
    radix2, pipelined or radix2-lite; `scaling` is unscaled, schedule or bfp;
    `rounding` is truncate or convergent; `runtime_nfft` lets each call choose
    its length up to 2^nfft_max; `float_mode` selects single-precision data
    (and a 32-bit input width). Options left out take the library's defaults.
    `reference=True` loads the reference library instead of the default one;
    `library` names the library file or its directory explicitly.

    The state is released by close(), by leaving a `with` block, or when the
    object is collected. A state serves one call at a time; concurrent calls
    on one object wait for each other, and run_many spreads frames over states
    of its own.
    """

    def __init__(self, nfft_max=None, arch=None, input_width=None, twiddle_width=None, scaling=None,
                 rounding=None, runtime_nfft=None, float_mode=None, *, reference=False, library=None):
        words = dict(nfft_max=nfft_max, arch=arch, input_width=input_width, twiddle_width=twiddle_width,
                     scaling=scaling, rounding=rounding, runtime_nfft=runtime_nfft, float_mode=float_mode)
        generics = core_generics({word: value for word, value in words.items() if value is not None})
        self._open(generics, reference, library)

    @classmethod
    def from_generics(cls, generics, *, reference=False, library=None):
        """A core from the raw generics by name (C_NFFT_MAX, C_ARCH, ...); any left out take their defaults."""
        fft = cls.__new__(cls)
        fft._open(generics, reference, library)
        return fft

    def _open(self, generics, reference, library):
        self._state = None
        Configuration.__init__(self, generics, reference=reference, library=library)
        self._messages = Messages()
        state = self._library.create_state_with_sink(generics_record(self.generics), self._messages.sink)
        if not state:
            raise MemoryError(f"create_state returned no state for the generics {self.generics}")
        self._state = state
        self._lock = threading.Lock()
        self._workers = []
        self._finalizer = weakref.finalize(self, _destroy, self._library, state, self._messages)

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

    def __call__(self, x, *, axis=-1, nfft=None, inverse=False, schedule=None, out=None):
        """Transforms the frames of `x` along `axis`: a real or complex array
        of any dimension whose other axes index the frames.

        `nfft` defaults to log2 of the frame's length on a core with a
        run-time length, else to nfft_max. `schedule` (scheduled fixed-point
        cores only) is one schedule for every frame or one per frame (the
        frames' shape plus a last axis of stages); it defaults to the
        library's default schedule. The library checks every value: off-grid
        fixed-point values are rounded with a VfftWarning, and refused values
        raise VfftError with the library's message and the frame's place.
        complex128 and float64 frames in C order go to the library as they are,
        and `out`, a complex128 array of x's shape in the same order, receives
        the results.
        """
        call = _Call(self, x, axis, nfft, inverse, schedule, out)
        call.finish([call.run(self, 0, call.count)])
        return call.result()

    def run_many(self, frames, *, workers=None, axis=-1, nfft=None, inverse=False, schedule=None):
        """As calling the core, with the frames spread over `workers` threads
        (by default one per processor), each with a state of its own and a
        contiguous slice of the frames; the results are those of one call."""
        workers = (os.cpu_count() or 1) if workers is None else require_int(workers, "workers")
        if workers < 1:
            raise ValueError(f"workers must be at least 1, got {workers}")
        call = _Call(self, frames, axis, nfft, inverse, schedule)
        workers = max(1, min(workers, call.count))
        cores = [self] + self._worker_cores(workers - 1)
        bounds = [call.count * i // workers for i in range(workers + 1)]
        if workers == 1:
            outcomes = [call.run(self, 0, call.count)]
        else:
            with ThreadPoolExecutor(max_workers=workers) as pool:
                outcomes = list(pool.map(call.run, cores, bounds[:-1], bounds[1:]))
        call.finish(outcomes)
        return call.result()

    def _worker_cores(self, count):
        self._check_open()
        while len(self._workers) < count:
            self._workers.append(FFT.from_generics(self.generics, reference=self.reference,
                                                   library=self._library_arg))
        return self._workers[:count]

    def _check_open(self):
        if self._state is None:
            raise ValueError("this FFT is closed")


class _Call:
    """The frames of one call laid out frame-major for the batch call, the
    arrays for their results, and the run of any slice of them on a state."""

    def __init__(self, core, x, axis, nfft, inverse, schedule, out=None):
        core._check_open()
        array = np.asarray(x)
        if array.dtype.kind not in "fc":
            hint = "; integer codes convert with vfft.from_codes" if array.dtype.kind in "iu" else ""
            raise TypeError(f"x must be a real or complex floating-point array, got dtype {array.dtype}{hint}")
        if array.ndim == 0:
            raise ValueError("x must hold at least one frame, got a scalar")
        self.axis = require_int(axis, "axis")
        if not -array.ndim <= self.axis < array.ndim:
            raise ValueError(f"axis {axis} is out of range for an array of {array.ndim} dimensions")
        self.single = array.ndim == 1
        moved = self._frame_major(array)
        self.shape, self.points = moved.shape[:-1], moved.shape[-1]
        self.count = int(np.prod(self.shape))
        # Floating-point mode may flush values in the arrays it is given: it gets a copy.
        copy = core.float_mode
        if array.dtype.kind == "c":
            self.x = np.array(moved, np.complex128, order="C", copy=copy)
            self.step, self.parts = 2, None
        else:
            self.x = np.array(moved, np.float64, order="C", copy=copy)
            self.step, self.parts = 1, np.empty((2,) + moved.shape)
            self.zeros = np.zeros(moved.shape)
        if out is None:
            self.y = np.empty(moved.shape, np.complex128)
        else:
            self.y = self._frame_major(out) if isinstance(out, np.ndarray) else None
            if self.y is None or out.dtype != np.complex128 or out.shape != array.shape \
                    or not self.y.flags.c_contiguous:
                raise ValueError(f"out must be a complex128 array of shape {array.shape} with the frames in C order")
        self.blk_exp = np.zeros(self.shape, np.int32)
        self.overflow = np.zeros(self.shape, np.int32)
        self.addresses = self._addresses()
        self.direction = 0 if require_bool(inverse, "inverse") else 1
        if nfft is not None:
            self.nfft = require_int(nfft, "nfft")
        elif core.runtime_nfft and self.points > 0 and self.points & (self.points - 1) == 0:
            self.nfft = self.points.bit_length() - 1
        else:
            self.nfft = core.nfft_max
        try:
            self.rules = core.describe(self.nfft if core.runtime_nfft else None)
        except ValueError:
            self.rules = None  # the library names the bad length
        self._schedules(core, schedule)

    def _frame_major(self, array):
        return array if self.axis in (-1, array.ndim - 1) else np.moveaxis(array, self.axis, -1)

    def _schedules(self, core, schedule):
        self.per_frame = False
        if schedule is None:
            stages = self.rules.default_schedule if self.rules is not None and self.rules.stages else None
            self.schedule = None if stages is None else np.array(stages, np.int32)
            return
        if self.rules is not None and self.rules.stages == 0:
            raise ValueError(f"schedule {schedule!r} given, but this core takes none (scaling={core.scaling!r}, "
                             f"float_mode={core.float_mode})")
        rows = np.asarray(schedule)
        if rows.dtype.kind not in "iu":
            raise TypeError(f"schedule must hold integers, got {rows.dtype} values {schedule!r}")
        if ((rows < np.iinfo(np.int32).min) | (rows > np.iinfo(np.int32).max)).any():
            raise ValueError(f"schedule values must fit in 32 bits, got {schedule!r}")
        if rows.ndim > 1:
            if rows.shape[:-1] not in (self.shape, (self.count,)):
                raise ValueError(f"schedule must be one list of stage shifts or one per frame, of shape "
                                 f"{self.shape + (rows.shape[-1],)}, got shape {rows.shape}")
            rows = rows.reshape(self.count, rows.shape[-1])
            self.per_frame = True
        self.schedule = np.ascontiguousarray(rows, np.int32)

    def _addresses(self):
        """Addresses of the first sample's real and imaginary parts in the
        inputs and the results, and the bytes from one frame to the next."""
        x, frame = self.x.ctypes.data, self.points * self.step * 8
        if self.parts is None:
            y = self.y.ctypes.data
            return (x, x + 8, y, y + 8), frame
        return (x, self.zeros.ctypes.data, self.parts[0].ctypes.data, self.parts[1].ctypes.data), frame

    def run(self, core, start, stop):
        """Frames start..stop-1 on `core`'s state: (code, message lines, index of the failed frame)."""
        (xn_re, xn_im, xk_re, xk_im), frame = self.addresses
        at = start * frame
        schedule = self.schedule
        if schedule is not None and self.per_frame:
            schedule = schedule[start:stop]
        points, pointer = self.points, capi.address_pointer
        inputs = capi.Inputs(self.nfft, pointer(xn_re + at), points, pointer(xn_im + at), points,
                             capi.int32_pointer(schedule), 0 if schedule is None else schedule.shape[-1],
                             self.direction)
        outputs = capi.Outputs(pointer(xk_re + at), points, pointer(xk_im + at), points, 0, 0)
        batch = capi.Batch(stop - start, self.step, None, int(self.per_frame),
                           capi.int32_pointer(self.blk_exp.reshape(-1)[start:stop]),
                           capi.int32_pointer(self.overflow.reshape(-1)[start:stop]), -1)
        with core._lock:
            core._check_open()
            code = core._library.simulate_batch(core._state, inputs, outputs, batch)
            lines = core._messages.take()
        return code, lines, start + batch.failed_frame

    def finish(self, outcomes):
        """Warnings of every slice, then the error of the first frame refused."""
        lines = [line for _, slice_lines, _ in outcomes for line in slice_lines]
        code, failed = next(((code, failed) for code, _, failed in outcomes if code != 0), (0, None))
        report(lines, code, None if code == 0 else self._where(failed, code), stacklevel=4)

    def _where(self, frame, code):
        words = []
        if not self.single:
            index = [str(i) for i in np.unravel_index(frame, self.shape)]
            index.insert(self.axis % (len(index) + 1), ":")
            words.append(f"frame {frame} of {self.count}, x[{', '.join(index)}]")
        if 14 <= code <= 18 and self.schedule is not None:
            words.append(f"schedule {(self.schedule[frame] if self.per_frame else self.schedule).tolist()}")
        return "; ".join(words) or None

    def result(self):
        if self.parts is not None:
            self.y.real, self.y.imag = self.parts
        y = np.moveaxis(self.y, -1, self.axis)
        rules = self.rules
        if rules.has_blk_exp:
            scale = np.ldexp(1.0, -self.blk_exp)
        elif rules.stages:
            scale = np.ldexp(1.0, -self.schedule.sum(axis=-1, dtype=np.int64))
            scale = scale.reshape(self.shape) if self.per_frame else np.full(self.shape, scale)
        else:
            scale = np.ones(self.shape)
        if self.single:
            return Result(y, int(self.blk_exp), int(self.overflow), float(scale))
        return Result(y, self.blk_exp, self.overflow, scale)

