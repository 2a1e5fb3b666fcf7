"""Shared fixtures: the build tree's libraries, a seeded generator and random frames on the input grid."""

import os
from pathlib import Path

import numpy as np
import pytest

import vfft
from vfft import capi


def library_dir():
    return Path(os.environ[capi.LIBRARY_DIR_VARIABLE])


def has_reference_library():
    return (library_dir() / capi.REFERENCE_LIBRARY_NAME).is_file()


@pytest.fixture
def rng():
    return np.random.default_rng(20261206)


def random_frame(rng, points, width, level=0.9, count=None):
    """Complex full-scale noise (times `level`) on the grid of `width` bits; `count` rows when given."""
    shape = (points,) if count is None else (count, points)
    step = 2.0 ** -(width - 1)
    re = np.floor(rng.uniform(-level, level, shape) / step) * step
    im = np.floor(rng.uniform(-level, level, shape) / step) * step
    return re + 1j * im


# One core per architecture and mode, in the program's vocabulary.
CONFIGURATIONS = [
    dict(arch=arch, scaling=scaling, rounding=rounding, nfft_max=nfft_max)
    for arch, nfft_max in (("radix4", 7), ("radix2", 6), ("pipelined", 7), ("radix2-lite", 5))
    for scaling in ("unscaled", "schedule", "bfp")
    for rounding in ("truncate", "convergent")
] + [dict(arch=arch, float_mode=True, nfft_max=7) for arch in ("radix4", "radix2", "pipelined")]


def config_id(config):
    return "-".join(str(v) if not isinstance(v, bool) else "float" for v in config.values())


@pytest.fixture(params=CONFIGURATIONS, ids=config_id)
def core(request):
    with vfft.FFT(**request.param) as fft:
        yield fft
