"""A configuration of the core: its generics, in the command-line program's
words too, and the rules that the library gives for it (run-time lengths,
schedules, widths and binary points of the codes). Python derives none of
these rules: it asks the library's describe call."""

import numbers
import os
from typing import NamedTuple, Tuple

import numpy as np

from . import capi
from .errors import Messages, VfftError

ARCHES = {"radix4": 1, "radix2": 2, "pipelined": 3, "radix2-lite": 4}
SCALINGS = {"unscaled": (0, 0), "schedule": (1, 0), "bfp": (1, 1)}
ROUNDINGS = {"truncate": 0, "convergent": 1}

# Width of an IEEE single, the input width that floating-point mode takes.
SINGLE_WIDTH = 32


def require_int(value, what):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{what} must be an integer, got {value!r} of type {type(value).__name__}")
    return int(value)


def require_bool(value, what):
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{what} must be True or False, got {value!r} of type {type(value).__name__}")
    return bool(value)


def _choice(value, table, what):
    if value not in table:
        raise ValueError(f"{what} {value!r} is not one of: " + ", ".join(table))
    return table[value]


# The core's options in the command-line program's words, each with the
# generics it sets from its value.
WORDS = {
    "nfft_max": lambda v: {"C_NFFT_MAX": require_int(v, "nfft_max")},
    "arch": lambda v: {"C_ARCH": _choice(v, ARCHES, "arch")},
    "runtime_nfft": lambda v: {"C_HAS_NFFT": int(require_bool(v, "runtime_nfft"))},
    "float_mode": lambda v: {"C_USE_FLT_PT": int(require_bool(v, "float_mode"))},
    "input_width": lambda v: {"C_INPUT_WIDTH": require_int(v, "input_width")},
    "twiddle_width": lambda v: {"C_TWIDDLE_WIDTH": require_int(v, "twiddle_width")},
    "scaling": lambda v: dict(zip(("C_HAS_SCALING", "C_HAS_BFP"), _choice(v, SCALINGS, "scaling"))),
    "rounding": lambda v: {"C_HAS_ROUNDING": _choice(v, ROUNDINGS, "rounding")},
}


def core_generics(words, raw=None):
    """The generics set by options in words (a mapping of WORDS to values)
    and by raw generics by name; ValueError when both set one generic.
    Floating-point mode takes 32-bit input unless a width is given."""
    generics = dict(raw or {})
    for word, value in words.items():
        for name, code in WORDS[word](value).items():
            if name in generics:
                raise ValueError(f"{word} and {name} both set the core's {name}; give one of them")
            generics[name] = code
    if generics.get("C_USE_FLT_PT") == 1:
        generics.setdefault("C_INPUT_WIDTH", SINGLE_WIDTH)
    return generics


def generics_record(generics):
    return capi.Generics(*(generics[name] for name in capi.GENERIC_NAMES))


def default_generics(*, reference=False, library=None):
    """The library's default generics by name."""
    record = capi.load_library(reference, library).default_generics()
    return {name: getattr(record, name) for name in capi.GENERIC_NAMES}


def _checked(generics, library):
    if not hasattr(generics, "items"):
        raise TypeError(f"generics must be a mapping of names to integers, got {type(generics).__name__}")
    unknown = [name for name in generics if name not in capi.GENERIC_NAMES]
    if unknown:
        raise ValueError(f"unknown generic {unknown[0]!r}; the generics are: " + ", ".join(capi.GENERIC_NAMES))
    record = library.default_generics()
    for name, value in generics.items():
        setattr(record, name, require_int(value, name))
    if library.describe(record)[0] != 0:
        # The library says why when it is asked to build the state.
        messages = Messages()
        state = library.create_state_with_sink(record, messages.sink)
        if state:
            library.destroy_state(state)
        lines = messages.take()
        raise VfftError(None, lines[-1] if lines else f"the library refuses the generics {dict(generics)}")
    return {name: getattr(record, name) for name in capi.GENERIC_NAMES}


def check_generics(generics, *, reference=False, library=None):
    """Completes a mapping of generic names to integers with the library's
    defaults and returns it as a dict; raises TypeError for names or values of
    the wrong kind and VfftError with the library's message for generics that
    create_state refuses."""
    return _checked(generics, capi.load_library(reference, library))


class Description(NamedTuple):
    """The library's rules for a configuration at the length 2^nfft."""

    nfft: int
    nfft_min: int
    nfft_max: int
    stages: int                     # schedule entries a call takes; 0: no schedule
    schedule_max: Tuple[int, ...]   # largest shift of each stage
    default_schedule: Tuple[int, ...]
    float_mode: bool
    input_width: int
    input_point: int                # fraction bits of an input code
    output_width: int               # bits of a result code, overflowed frames included
    output_point: int               # fraction bits of a result code
    has_blk_exp: bool
    has_overflow: bool


class Configuration:
    """One configuration of the core and the library that runs it, with its
    options in the command-line program's words and its rules by length."""

    def __init__(self, generics, *, reference=False, library=None):
        self.reference = bool(reference)
        self._library_arg = None if library is None else os.path.abspath(library)
        self._library = capi.load_library(self.reference, library)
        self.generics = _checked(generics, self._library)
        self._descriptions = {}

    @property
    def library_path(self):
        return self._library.path

    @property
    def datapath(self):
        """The library's datapath: "reference", or "native" and the vector target it runs."""
        return self._library.datapath

    def _word(self, table, value):
        return next(name for name, code in table.items() if code == value)

    @property
    def arch(self):
        return self._word(ARCHES, self.generics["C_ARCH"])

    @property
    def scaling(self):
        return self._word(SCALINGS, (self.generics["C_HAS_SCALING"], self.generics["C_HAS_BFP"]))

    @property
    def rounding(self):
        return self._word(ROUNDINGS, self.generics["C_HAS_ROUNDING"])

    @property
    def nfft_max(self):
        return self.generics["C_NFFT_MAX"]

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
    def twiddle_width(self):
        return self.generics["C_TWIDDLE_WIDTH"]

    def describe(self, nfft=None):
        """The library's rules at the length 2^nfft (by default 2^nfft_max);
        ValueError names the range when nfft is outside it."""
        key = self.nfft_max if nfft is None else require_int(nfft, "nfft")
        if key not in self._descriptions:
            code, d = self._library.describe(generics_record(self.generics), key)
            if code != 0:
                low, high = self.describe().nfft_min, self.nfft_max
                if low == high:
                    raise ValueError(f"nfft = {key}: this core has the fixed length 2^{high} (runtime_nfft=False)")
                raise ValueError(f"nfft = {key} is outside {low} to {high} for this core")
            stages = d.stages
            self._descriptions[key] = Description(
                d.nfft, d.nfft_min, d.nfft_max, stages, tuple(d.schedule_max[:stages]),
                tuple(d.default_schedule[:stages]), bool(d.float_mode), d.input_width, d.input_point,
                d.output_width, d.output_point, bool(d.has_blk_exp), bool(d.has_overflow))
        return self._descriptions[key]

    @property
    def output_width(self):
        """Bits of a result code: every result fits, overflowed frames included."""
        return self.describe().output_width

    @property
    def output_point(self):
        """Fraction bits of a result code (0 in floating-point mode)."""
        return self.describe().output_point

    @property
    def uses_schedule(self):
        return self.describe().stages > 0

    def stages(self, nfft=None):
        """Number of schedule values of a call at 2^nfft points (0: no schedule)."""
        return self.describe(nfft).stages

    def default_schedule(self, nfft=None):
        """The schedule used when none is given, as a list."""
        return list(self.describe(nfft).default_schedule)

    def __repr__(self):
        extra = ", reference=True" if self.reference else ""
        return (f"{type(self).__name__}(nfft_max={self.nfft_max}, arch={self.arch!r}, "
                f"input_width={self.input_width}, twiddle_width={self.twiddle_width}, scaling={self.scaling!r}, "
                f"rounding={self.rounding!r}, runtime_nfft={self.runtime_nfft}, "
                f"float_mode={self.float_mode}{extra})")
