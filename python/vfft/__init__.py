"""vfft: the bit-accurate FFT core model from Python, numpy arrays in and out.

    import numpy as np, vfft
    with vfft.FFT(nfft_max=6, arch="radix2") as fft:
        r = fft(np.r_[0.5, np.zeros(63)])
    r.y, r.blk_exp, r.overflow, r.scale
"""

from .config import ARCHES, ROUNDINGS, SCALINGS, Configuration, Description, check_generics, default_generics
from .core import FFT, Result
from .errors import CODE_NAMES, VfftError, VfftWarning, code_name
from .helpers import from_codes, quantize, reference_dft, sqnr, to_codes
from .vectors import VectorFrame, VectorSet, read_vectors

__version__ = "8.0.0"

# The study tools need pandas, so they load on first use.
_STUDY_NAMES = ("Study", "StudySpecError", "plot_study", "run_study")


def __getattr__(name):
    if name in _STUDY_NAMES:
        from . import study

        return getattr(study, name)
    raise AttributeError(f"module 'vfft' has no attribute {name!r}")


__all__ = [
    "ARCHES", "ROUNDINGS", "SCALINGS", "Configuration", "Description", "check_generics", "default_generics",
    "FFT", "Result", "CODE_NAMES", "VfftError", "VfftWarning", "code_name",
    "from_codes", "quantize", "reference_dft", "sqnr", "to_codes",
    "VectorFrame", "VectorSet", "read_vectors",
    *_STUDY_NAMES,
]
