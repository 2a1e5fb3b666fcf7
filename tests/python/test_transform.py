"""Transforms against mathematics: numpy's DFT at the documented scale, exact
impulse and constant frames, run-time lengths, and the input grid."""

import numpy as np
import pytest

import vfft
from conftest import random_frame


def min_sqnr(fft):
    # Measured 64 to 96 dB; a wrong sign, bin order or factor of two falls below 10 dB.
    if fft.float_mode:
        return 90.0
    return 85.0 if fft.scaling == "unscaled" else 55.0


@pytest.mark.parametrize("inverse", [False, True], ids=["forward", "inverse"])
def test_noise_matches_dft_at_documented_scale(core, rng, inverse):
    points = 1 << core.nfft_max
    x = random_frame(rng, points, 24 if core.float_mode else core.input_width)
    result = core(x, inverse=inverse)
    assert result.y.dtype == np.complex128 and result.y.shape == (points,)
    assert vfft.sqnr(result.y, vfft.reference_dft(x, result.scale, inverse=inverse)) > min_sqnr(core)
    if core.scaling == "schedule" and not core.float_mode:
        assert result.scale == 2.0 ** -sum(core.default_schedule())
    if core.scaling != "bfp" or core.float_mode:
        assert result.blk_exp == 0
    assert result.overflow == 0


def test_impulse_and_constant_are_exact(core):
    points = 1 << core.nfft_max
    impulse = np.zeros(points, complex)
    impulse[0] = 0.5 - 0.25j
    result = core(impulse)
    np.testing.assert_array_equal(result.y, np.full(points, (0.5 - 0.25j) * result.scale))
    constant = core(np.full(points, 0.25 + 0.5j))
    expected = np.zeros(points, complex)
    expected[0] = (0.25 + 0.5j) * points * constant.scale
    np.testing.assert_array_equal(constant.y, expected)


def test_frames_along_any_axis_equal_single_calls(rng):
    # Frames along axis 1 of a 3-D array (a copy to frame-major order), along
    # the last axis of a 2-D array (passed as it is) and of a real array.
    with vfft.FFT(nfft_max=6, arch="radix2", scaling="bfp") as fft:
        x = random_frame(rng, 64, 16, count=6).T.reshape(2, 64, 3)
        x[1, :, 2] = vfft.quantize(x[1, :, 2] / 64, 16)  # a quiet frame: another block exponent
        result = fft(x, axis=1, inverse=True)
        assert result.y.shape == x.shape and result.blk_exp.shape == (2, 3)
        for i, k in np.ndindex(2, 3):
            single = fft(x[i, :, k], inverse=True)
            np.testing.assert_array_equal(result.y[i, :, k], single.y)
            assert (result.blk_exp[i, k], result.overflow[i, k], result.scale[i, k]) == single[1:]
        frames = np.ascontiguousarray(x[0].T)
        out = np.empty_like(frames)
        assert fft(frames, out=out).y.base is out
        np.testing.assert_array_equal(out, [fft(frame).y for frame in frames])
        real = fft(frames.real, axis=-1)
        np.testing.assert_array_equal(real.y, fft(frames.real + 0j).y)
        np.testing.assert_array_equal(fft(frames.real.astype(np.float32)).y, real.y)
        assert fft(np.zeros((0, 64))).y.shape == (0, 64)


def test_schedule_sets_the_scale(rng):
    x = random_frame(rng, 64, 16, level=0.1)
    with vfft.FFT(nfft_max=6, arch="radix4") as fft:
        light = fft(x, schedule=[1, 0, 1])
        assert light.scale == 0.25
        assert vfft.sqnr(light.y, vfft.reference_dft(x, 0.25)) > 55.0
        assert fft(x, schedule=np.array([3, 3, 3])).scale == 2.0 ** -9


@pytest.mark.parametrize("arch", ["radix2", "pipelined"])
def test_overflowing_schedule_sets_the_flag_and_results_stay_codes(arch):
    with vfft.FFT(nfft_max=6, arch=arch) as fft:
        result = fft(np.full(64, 0.75 + 0.75j), schedule=[0] * fft.stages())
        # Every result is a code of the core's output width, overflowed frames included.
        np.testing.assert_array_equal(vfft.from_codes(vfft.to_codes(result.y, fft), fft), result.y)
    assert result.overflow == 1


def test_block_floating_point_exponent_follows_the_level(rng):
    with vfft.FFT(nfft_max=8, arch="radix2", scaling="bfp") as fft:
        loud = fft(random_frame(rng, 256, 16, level=0.9))
        quiet = fft(random_frame(rng, 256, 16, level=0.9 / 16))
    assert loud.blk_exp > quiet.blk_exp >= 0
    assert loud.scale == 2.0 ** -loud.blk_exp


@pytest.mark.parametrize("arch,low", [("radix4", 6), ("radix2", 3), ("pipelined", 3)])
def test_runtime_length_follows_the_frame(rng, arch, low):
    with vfft.FFT(nfft_max=8, arch=arch, runtime_nfft=True) as fft:
        for nfft in (low, 7, 8):
            x = random_frame(rng, 1 << nfft, 16)
            result = fft(x)
            assert result.y.shape == (1 << nfft,)
            assert vfft.sqnr(result.y, vfft.reference_dft(x, result.scale)) > 55.0
            np.testing.assert_array_equal(fft(x, nfft=nfft).y, result.y)


def test_off_grid_input_is_rounded_by_the_library_with_one_warning(capfd):
    step = 2.0 ** -15
    x = np.zeros(64, complex)
    x[:4] = [0.5 + step / 2, 0.5 + 3 * step / 2, 1 - step / 4, -0.3j + 0.1]
    with vfft.FFT(nfft_max=6, arch="radix2", scaling="unscaled") as fft:
        with pytest.warns(vfft.VfftWarning, match="^WARNING:vfft_v8_0:simulate called with real and/or "
                                                  "imaginary data values that are not pre-quantized") as caught:
            off_grid = fft(x)
        assert len(caught) == 1
        on_grid = fft(vfft.quantize(x, 16))
    assert capfd.readouterr().err == ""
    np.testing.assert_array_equal(off_grid.y, on_grid.y)


def test_float_mode_keeps_the_callers_array_and_flags_special_values():
    with vfft.FFT(nfft_max=6, arch="radix2", float_mode=True) as fft:
        x = np.full(64, 3.0)
        x[5] = 1e-40
        with pytest.warns(vfft.VfftWarning, match="denormalized real data value"):
            result = fft(x)
        assert x[5] == 1e-40
        assert result.y[0] == 63 * 3.0
        x[7] = np.inf
        with pytest.warns(vfft.VfftWarning, match="real data values set to inf or NaN"):
            assert np.isnan(fft(x).y).all()
        huge = fft(np.full(64, 3e38))
    assert huge.overflow == 1 and np.isinf(huge.y[0])


def test_reference_library_gives_the_same_numbers(rng):
    from conftest import has_reference_library

    if not has_reference_library():
        pytest.skip("the reference library is not built in this tree")
    for config in (dict(arch="radix4", nfft_max=7, scaling="bfp"), dict(arch="pipelined", nfft_max=6),
                   dict(arch="radix2", nfft_max=6, float_mode=True)):
        frames = random_frame(rng, 1 << config["nfft_max"], 16, count=3)
        with vfft.FFT(**config) as fast, vfft.FFT(**config, reference=True) as reference:
            assert reference.library_path.endswith("libvfft_v8_0_reference.so")
            a, b = fast.run_many(frames, workers=1), reference.run_many(frames, workers=1)
        np.testing.assert_array_equal(a.y, b.y)
        np.testing.assert_array_equal(a.blk_exp, b.blk_exp)
