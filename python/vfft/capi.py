"""The library's C interface through ctypes: the three records, the four
functions and the search for the shared library.

This layer passes exactly what it is given, null pointers and inconsistent
sizes included, so that every answer of the library can be observed; the
checked, numpy-level interface is `vfft.FFT`.
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
                except OSError as error:
                    problems.append(f"{candidate}: {error}")
                    continue
            return _loaded[key]
    kind = "reference library" if reference else "library"
    raise FileNotFoundError(
        f"vfft: cannot load the {kind}; looked for " + "; ".join(problems)
        + f". Pass library=PATH or set {LIBRARY_DIR_VARIABLE} to the directory that holds it."
    )
