"""The library's C interface through ctypes: the records, the four functions,
the extension calls (describe, message sink, batch) and the search for the
shared library.

This layer passes exactly what it is given, null pointers and inconsistent
sizes included, so that every answer of the library can be observed; the
numpy-level interface is `vfft.FFT`.
"""

import ctypes
import os
import threading
from pathlib import Path

LIBRARY_NAME = "libvfft_v8_0.so"
REFERENCE_LIBRARY_NAME = "libvfft_v8_0_reference.so"
LIBRARY_DIR_VARIABLE = "VFFT_LIBRARY_DIR"

GENERIC_NAMES = (
    "C_NFFT_MAX",
    "C_ARCH",
    "C_HAS_NFFT",
    "C_USE_FLT_PT",
    "C_INPUT_WIDTH",
    "C_TWIDDLE_WIDTH",
    "C_HAS_SCALING",
    "C_HAS_BFP",
    "C_HAS_ROUNDING",
)

_double_p = ctypes.POINTER(ctypes.c_double)
_int32_p = ctypes.POINTER(ctypes.c_int32)


class Generics(ctypes.Structure):
    """velmor_ip_vfft_v8_0_generics: nine signed 32-bit build parameters."""

    _fields_ = [(name, ctypes.c_int32) for name in GENERIC_NAMES]


class Inputs(ctypes.Structure):
    """velmor_ip_vfft_v8_0_inputs: one frame, passed to the library by value."""

    _fields_ = [
        ("nfft", ctypes.c_int32),
        ("xn_re", _double_p),
        ("xn_re_size", ctypes.c_int32),
        ("xn_im", _double_p),
        ("xn_im_size", ctypes.c_int32),
        ("scaling_sch", _int32_p),
        ("scaling_sch_size", ctypes.c_int32),
        ("direction", ctypes.c_int32),
    ]


class Outputs(ctypes.Structure):
    """velmor_ip_vfft_v8_0_outputs: result arrays owned by the caller, and the flags."""

    _fields_ = [
        ("xk_re", _double_p),
        ("xk_re_size", ctypes.c_int32),
        ("xk_im", _double_p),
        ("xk_im_size", ctypes.c_int32),
        ("blk_exp", ctypes.c_int32),
        ("overflow", ctypes.c_int32),
    ]


# Largest number of schedule entries of any call.
MAX_STAGES = 16


class Description(ctypes.Structure):
    """velmor_ip_vfft_v8_0_description: the rules of one configuration at one length."""

    _fields_ = [
        ("nfft", ctypes.c_int32),
        ("nfft_min", ctypes.c_int32),
        ("nfft_max", ctypes.c_int32),
        ("stages", ctypes.c_int32),
        ("schedule_max", ctypes.c_int32 * MAX_STAGES),
        ("default_schedule", ctypes.c_int32 * MAX_STAGES),
        ("float_mode", ctypes.c_int32),
        ("input_width", ctypes.c_int32),
        ("input_point", ctypes.c_int32),
        ("output_width", ctypes.c_int32),
        ("output_point", ctypes.c_int32),
        ("has_blk_exp", ctypes.c_int32),
        ("has_overflow", ctypes.c_int32),
    ]


class Batch(ctypes.Structure):
    """velmor_ip_vfft_v8_0_batch: what a batch call adds to the single call's records."""

    _fields_ = [
        ("frames", ctypes.c_int64),
        ("step", ctypes.c_int32),
        ("directions", _int32_p),
        ("schedule_per_frame", ctypes.c_int32),
        ("blk_exp", _int32_p),
        ("overflow", _int32_p),
        ("failed_frame", ctypes.c_int64),
    ]


# velmor_ip_vfft_v8_0_sink: receives one message line (bytes, without its newline).
Sink = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p)


def double_pointer(array):
    """Pointer to the data of a C-contiguous float64 numpy array, or null for None."""
    if array is None:
        return _double_p()
    return array.ctypes.data_as(_double_p)


def int32_pointer(array):
    """Pointer to the data of a C-contiguous int32 numpy array, or null for None."""
    if array is None:
        return _int32_p()
    return array.ctypes.data_as(_int32_p)


def address_pointer(address):
    """Pointer to doubles at an integer address (a frame inside a batch's array)."""
    return ctypes.cast(address, _double_p)


class Library:
    """One loaded copy of the shared library with typed entry points.

    ctypes releases the interpreter lock for the length of every call, so
    distinct states can run on distinct threads at once.
    """

    def __init__(self, path):
        self.path = str(path)
        self._dll = ctypes.CDLL(self.path)
        prefix = "velmor_ip_vfft_v8_0_"
        self._default = getattr(self._dll, prefix + "get_default_generics")
        self._default.argtypes = []
        self._default.restype = Generics
        self._create = getattr(self._dll, prefix + "create_state")
        self._create.argtypes = [Generics]
        self._create.restype = ctypes.c_void_p
        self._destroy = getattr(self._dll, prefix + "destroy_state")
        self._destroy.argtypes = [ctypes.c_void_p]
        self._destroy.restype = None
        self._simulate = getattr(self._dll, prefix + "bitacc_simulate")
        self._simulate.argtypes = [ctypes.c_void_p, Inputs, ctypes.POINTER(Outputs)]
        self._simulate.restype = ctypes.c_int32
        self._describe = getattr(self._dll, prefix + "describe")
        self._describe.argtypes = [Generics, ctypes.c_int32, ctypes.POINTER(Description)]
        self._describe.restype = ctypes.c_int32
        self._create_with_sink = getattr(self._dll, prefix + "create_state_with_sink")
        self._create_with_sink.argtypes = [Generics, Sink, ctypes.c_void_p]
        self._create_with_sink.restype = ctypes.c_void_p
        self._batch = getattr(self._dll, prefix + "simulate_batch")
        self._batch.argtypes = [ctypes.c_void_p, Inputs, ctypes.POINTER(Outputs), ctypes.POINTER(Batch)]
        self._batch.restype = ctypes.c_int32
        self.version = self._text(prefix + "version")
        self.datapath = self._text(prefix + "datapath")

    def _text(self, name):
        function = getattr(self._dll, name)
        function.argtypes = []
        function.restype = ctypes.c_char_p
        return function().decode()

    def default_generics(self):
        return self._default()

    def create_state(self, generics):
        """Returns the state as an integer address, or None when the library refused."""
        return self._create(generics)

    def destroy_state(self, state):
        self._destroy(state)

    def simulate(self, state, inputs, outputs):
        """One call; `state` and `outputs` may be None to pass null pointers."""
        return int(self._simulate(state, inputs, None if outputs is None else ctypes.byref(outputs)))

    def describe(self, generics, nfft=0):
        """(code, Description): code 0 fills the description; 1 for invalid generics,
        2 for an nfft outside the configuration's range."""
        description = Description()
        return int(self._describe(generics, nfft, ctypes.byref(description))), description

    def create_state_with_sink(self, generics, sink):
        """create_state whose messages, and those of the state's calls, go to `sink` (a Sink)."""
        return self._create_with_sink(generics, sink, None)

    def simulate_batch(self, state, inputs, outputs, batch):
        """One batch call over batch.frames frames; fills outputs and batch.failed_frame."""
        return int(self._batch(state, inputs, ctypes.byref(outputs), ctypes.byref(batch)))


_loaded = {}
_loaded_lock = threading.Lock()


def library_candidates(reference=False, library=None):
    """The files to try, in order, for the default or the reference library.

    An explicit `library` (a file, or a directory holding the library) comes
    first, then the directory named by the environment variable
    VFFT_LIBRARY_DIR, then the package's own directory (where an install puts
    the library), and last the bare name for the system's dynamic loader.
    """
    name = REFERENCE_LIBRARY_NAME if reference else LIBRARY_NAME
    if library is not None:
        path = Path(library).absolute()
        return [path / name if path.is_dir() else path]
    override = os.environ.get(LIBRARY_DIR_VARIABLE)
    if override:
        return [Path(override).absolute() / name]
    return [Path(__file__).resolve().parent / name, name]


def load_library(reference=False, library=None):
    """Loads (once per file) and returns the default or the reference library."""
    candidates = library_candidates(reference, library)
    problems = []
    for candidate in candidates:
        if isinstance(candidate, Path) and not candidate.is_file():
            problems.append(f"{candidate}: no such file")
            continue
        key = str(candidate)
        with _loaded_lock:
            if key not in _loaded:
                try:
                    _loaded[key] = Library(candidate)
                except (OSError, AttributeError) as error:  # AttributeError: a library without a call
                    problems.append(f"{candidate}: {error}")
                    continue
            return _loaded[key]
    kind = "reference library" if reference else "library"
    raise FileNotFoundError(
        f"vfft: cannot load the {kind}; looked for " + "; ".join(problems)
        + f". Pass library=PATH or set {LIBRARY_DIR_VARIABLE} to the directory that holds it."
    )
