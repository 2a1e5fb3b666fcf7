"""The input grid, code conversions, the reference DFT and the SQNR."""

import numpy as np
import pytest

import vfft

STEP16 = 2.0 ** -15


def test_quantize_rounds_to_nearest_even_and_keeps_below_one():
    x = np.array([0.5 + STEP16 / 2, 0.5 + 3 * STEP16 / 2, 1 - STEP16 / 4, -1.0, -STEP16 / 2, 0.3])
    np.testing.assert_array_equal(
        vfft.quantize(x, 16), [0.5, 0.5 + 2 * STEP16, 1 - STEP16, -1.0, 0.0, np.rint(0.3 / STEP16) * STEP16])
    z = vfft.quantize(np.array([0.1 + 0.7j]), 8)
    assert z.dtype == np.complex128 and z[0] == (13 + 90j) / 128


@pytest.mark.parametrize("x,width,error,text", [
    (np.array([0.0, 1.0]), 16, ValueError, "x[1] = 1.0: expected -1.0 <= value < 1.0"),
    (np.array([0.5j, 0.2 - 1.5j]), 16, ValueError, "x.imag[1] = -1.5"),
    (np.array([np.nan]), 16, ValueError, "x[0] = nan"),
    (np.array([0.0]), 1, ValueError, "width = 1 is outside 2 to 53"),
    (np.array([0.0]), 16.0, TypeError, "width must be an integer"),
    (np.array([1, 2]), 16, TypeError, "got dtype int64"),
])
def test_quantize_rejects(x, width, error, text):
    with pytest.raises(error, match=None) as raised:
        vfft.quantize(x, width)
    assert text in str(raised.value)


@pytest.mark.parametrize("width,frac_bits", [(16, None), (17, None), (8, None), (27, 15), (51, 33)])
def test_codes_round_trip_through_integers_and_hex(width, frac_bits):
    frac = width - 1 if frac_bits is None else frac_bits
    rng = np.random.default_rng(width)
    codes = rng.integers(-(1 << (width - 1)), 1 << (width - 1), size=(50, 2))
    codes[:4] = [[-(1 << (width - 1)), (1 << (width - 1)) - 1], [0, -1], [1, 0], [-1, -(1 << (width - 1))]]
    y = (codes[:, 0] + 1j * codes[:, 1]) / 2.0 ** frac
    np.testing.assert_array_equal(vfft.to_codes(y, width, frac_bits=frac_bits), codes)
    np.testing.assert_array_equal(vfft.from_codes(codes, width, frac_bits=frac_bits), y)
    words = vfft.to_codes(y, width, frac_bits=frac_bits, fmt="hex")
    assert {len(word) for word in words} == {-(-2 * width // 4)}
    assert words[1] == format((1 << width) - 1, f"0{-(-2 * width // 4)}x")
    np.testing.assert_array_equal(vfft.from_codes(list(words), width, frac_bits=frac_bits), y)
    np.testing.assert_array_equal(vfft.from_codes(codes[:, 0], width, frac_bits=frac_bits), y.real)


def test_hex_words_hold_real_in_the_upper_half():
    assert vfft.to_codes(np.array([0.5 - 1j * 2.0 ** -15]), 16, fmt="hex")[0] == "4000ffff"
    assert vfft.from_codes("4000ffff", 16) == 0.5 - 1j * 2.0 ** -15
    assert vfft.to_codes(np.array([-1.0, 0.25]), 16, fmt="hex").tolist() == ["8000", "2000"]


def test_float_codes_are_single_bit_patterns():
    y = np.array([1.0 - 2.0j, np.float32(0.1) + 0j, -np.inf + 0j, np.nan + 0j])
    codes = vfft.to_codes(y, 32, float_mode=True)
    assert codes[0].tolist() == [0x3F800000, -0x40000000]
    assert codes[1, 0] == np.float32(0.1).view(np.int32) and codes[2, 0] == -0x800000
    assert vfft.to_codes(y[:1], 32, float_mode=True, fmt="hex")[0] == "3f800000c0000000"
    back = vfft.from_codes(codes, 32, float_mode=True)
    np.testing.assert_array_equal(back[:3], y[:3])
    assert np.isnan(back[3].real)


@pytest.mark.parametrize("call,error,text", [
    (lambda: vfft.to_codes(np.array([0.3]), 16), ValueError, "y[0] = 0.3: expected a multiple of 2^-15"),
    (lambda: vfft.to_codes(np.array([1.0]), 16), ValueError, "in the range of a signed 16-bit code"),
    (lambda: vfft.to_codes(np.array([0.5j, np.nan]), 16), ValueError, "y.real[1] = nan"),
    (lambda: vfft.to_codes(np.array([0.1]), 32, float_mode=True), ValueError, "expected a single-precision value"),
    (lambda: vfft.to_codes(np.array([0.0]), 16, float_mode=True), ValueError, "got width 16"),
    (lambda: vfft.to_codes(np.array([0.0]), 16, fmt="bin"), ValueError, "fmt 'bin' is not one of: int, hex"),
    (lambda: vfft.from_codes(np.array([[40000, 0]]), 16), ValueError, "codes[0] = 40000: expected a signed 16-bit"),
    (lambda: vfft.from_codes(["4000ffff", "14000ffff"], 16), ValueError, "codes[1] = '14000ffff': expected at most"),
    (lambda: vfft.from_codes(["zz"], 16), ValueError, "codes[0] = 'zz': expected a hex word"),
    (lambda: vfft.from_codes(np.array([0.5]), 16), TypeError, "codes must be integers or hex strings"),
])
def test_code_conversions_reject(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert text in str(raised.value)


def test_reference_dft_is_the_unnormalised_transform_in_both_directions():
    n = np.arange(16)
    tone = np.exp(2j * np.pi * 3 * n / 16)
    forward = vfft.reference_dft(tone, 0.5)
    np.testing.assert_allclose(forward, np.where(n == 3, 8.0, 0.0), atol=1e-12)
    inverse = vfft.reference_dft(tone, 1.0, inverse=True)
    np.testing.assert_allclose(inverse, np.where(n == 16 - 3, 16.0, 0.0), atol=1e-12)
    rows = vfft.reference_dft(np.stack([tone, 2 * tone]), np.array([1.0, 0.25]))
    np.testing.assert_allclose(rows[1], rows[0] / 2, atol=1e-12)


def test_sqnr():
    reference = np.array([1.0, 1j, -1.0, 0.0])
    assert vfft.sqnr(reference, reference) == np.inf
    assert vfft.sqnr(reference * 1.1, reference) == pytest.approx(20.0)
    assert vfft.sqnr(reference, np.zeros(4)) == -np.inf
    with pytest.raises(ValueError, match=r"y has shape \(3,\) but the reference has shape \(4,\)"):
        vfft.sqnr(reference[:3], reference)
