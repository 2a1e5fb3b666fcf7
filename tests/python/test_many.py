"""Many frames on many threads, and cores shipped to other processes by pickling."""

import multiprocessing
import pickle
from concurrent.futures import ProcessPoolExecutor

import numpy as np
import pytest

import vfft
from conftest import random_frame


def serial(fft, frames, schedules=None, **kwargs):
    results = [fft(frame, schedule=None if schedules is None else schedules[i], **kwargs)
               for i, frame in enumerate(frames)]
    return (np.array([r.y for r in results]), np.array([r.blk_exp for r in results]),
            np.array([r.overflow for r in results]), np.array([r.scale for r in results]))


def assert_same(many, expected):
    for got, want in zip(many, expected):
        np.testing.assert_array_equal(got, want)


@pytest.mark.parametrize("config", [dict(arch="radix4", nfft_max=7, scaling="bfp"),
                                    dict(arch="radix2", nfft_max=6),
                                    dict(arch="pipelined", nfft_max=7, float_mode=True)],
                         ids=["radix4-bfp", "radix2-schedule", "pipelined-float"])
@pytest.mark.parametrize("workers", [1, 2, 3])
def test_run_many_equals_the_serial_loop(rng, config, workers):
    frames = random_frame(rng, 1 << config["nfft_max"], 16, count=7)
    frames[3] = vfft.quantize(frames[3] / 64, 16)  # a quiet frame: another block exponent
    with vfft.FFT(**config) as fft:
        expected = serial(fft, frames, inverse=True)
        many = fft.run_many(frames, workers=workers, inverse=True)
    assert many.y.shape == frames.shape and many.y.dtype == np.complex128
    assert_same(many, expected)


def test_run_many_takes_one_schedule_or_one_per_frame(rng):
    frames = random_frame(rng, 64, 16, level=0.2, count=4)
    rows = np.array([[0, 1, 1, 1, 1, 1], [1] * 6, [0, 0, 1, 1, 1, 1], [2, 2, 2, 0, 0, 0]])
    with vfft.FFT(arch="radix2", nfft_max=6) as fft:
        assert_same(fft.run_many(frames, workers=2, schedule=rows), serial(fft, frames, rows))
        assert_same(fft.run_many(frames, workers=2, schedule=rows[1]), serial(fft, frames, [rows[1]] * 4))
        scales = fft.run_many(frames, schedule=rows).scale
    np.testing.assert_array_equal(scales, [2.0 ** -5, 2.0 ** -6, 2.0 ** -4, 2.0 ** -6])


def test_run_many_with_runtime_length_and_more_workers_than_frames(rng):
    frames = random_frame(rng, 32, 16, count=2)
    with vfft.FFT(arch="radix2", nfft_max=8, runtime_nfft=True) as fft:
        assert_same(fft.run_many(frames, workers=8), serial(fft, frames))


def test_the_first_frame_refused_reaches_the_caller(rng):
    frames = random_frame(rng, 64, 16, count=4)
    frames[1, 3] = frames[3, 2] = 2.0
    with vfft.FFT(arch="radix2", nfft_max=6) as fft, pytest.raises(vfft.VfftError) as raised:
        fft.run_many(frames, workers=2)
    assert (raised.value.code, raised.value.where) == (10, "frame 1 of 4, x[1, :]")


def transform_in_child(fft, frame):
    result = fft(frame)
    return result.y, result.blk_exp, fft.library_path


def test_pickled_core_is_its_configuration_and_gets_its_own_state(rng):
    frame = random_frame(rng, 128, 16)
    with vfft.FFT(arch="pipelined", nfft_max=7, scaling="bfp", rounding="convergent") as fft:
        expected = fft(frame)
        copy = pickle.loads(pickle.dumps(fft))
        assert copy._state != fft._state
        assert (copy.generics, copy.reference, repr(copy)) == (fft.generics, fft.reference, repr(fft))
    with copy:
        np.testing.assert_array_equal(copy(frame).y, expected.y)
    context = multiprocessing.get_context("fork")
    with vfft.FFT(arch="pipelined", nfft_max=7, scaling="bfp", rounding="convergent") as fft, \
            ProcessPoolExecutor(2, mp_context=context) as pool:
        outcomes = list(pool.map(transform_in_child, [fft, fft], [frame, frame]))
    for y, blk_exp, path in outcomes:
        np.testing.assert_array_equal(y, expected.y)
        assert blk_exp == expected.blk_exp and path == fft.library_path


def test_pickle_keeps_an_explicit_library(tmp_path):
    with vfft.FFT(nfft_max=6, arch="radix2") as fft:
        directory = fft.library_path.rsplit("/", 1)[0]
    with vfft.FFT(nfft_max=6, arch="radix2", library=directory) as fft:
        state = pickle.dumps(fft)
    with pickle.loads(state) as copy:
        assert copy.library_path == fft.library_path
