"""Numeric helpers around the core: the input grid, two's-complement codes,
a double-precision DFT at the core's scale, and the signal-to-noise ratio."""

import numbers

import numpy as np


def _width(width, low, high):
    if isinstance(width, bool) or not isinstance(width, numbers.Integral):
        raise TypeError(f"width must be an integer, got {width!r}")
    if not low <= width <= high:
        raise ValueError(f"width = {width} is outside {low} to {high}")
    return int(width)


def _float_array(x, label):
    array = np.asarray(x)
    if array.dtype.kind not in "fc":
        raise TypeError(f"{label} must be a real or complex floating-point array, got dtype {array.dtype}")
    return array


def _first_bad(bad, array, label, expected):
    if bad.any():
        index = np.unravel_index(np.argmax(bad), bad.shape)
        where = f"{label}[{', '.join(map(str, index))}]" if bad.ndim else label
        raise ValueError(f"{where} = {array[index]!r}: expected {expected}")


def quantize(x, width):
    """Rounds real or complex values in -1.0 <= v < 1.0 to the grid of a signed
    `width`-bit fraction, as the core rounds off-grid input: to the nearest
    step, ties to the even step, and a value that would reach +1.0 becomes the
    largest code, 1 - 2^-(width-1)."""
    width = _width(width, 2, 53)
    array = _float_array(x, "x")
    step = 2.0 ** (width - 1)

    def part(values, name):
        _first_bad(~((values >= -1.0) & (values < 1.0)), values, f"x.{name}" if array.dtype.kind == "c" else "x",
                   "-1.0 <= value < 1.0")
        return np.minimum(np.rint(values * step), step - 1) / step

    if array.dtype.kind == "c":
        y = np.empty(array.shape, np.complex128)
        y.real, y.imag = part(array.real, "real"), part(array.imag, "imag")
        return y
    return part(array.astype(np.float64), "x")


def _codes_of(values, width, frac_bits, float_mode, label):
    if float_mode:
        with np.errstate(over="ignore"):
            singles = values.astype(np.float32)
        same = (singles.astype(np.float64) == values) | (np.isnan(values) & np.isnan(singles))
        _first_bad(~same, values, label, "a single-precision value")
        return singles.view(np.int32).astype(np.int64)
    scaled = values * 2.0 ** frac_bits
    limit = 2.0 ** (width - 1)
    fits = np.isfinite(scaled) & (scaled == np.floor(np.where(np.isfinite(scaled), scaled, 0.0)))
    fits &= (scaled >= -limit) & (scaled < limit)
    _first_bad(~fits, values, label,
               f"a multiple of 2^-{frac_bits} in the range of a signed {width}-bit code")
    return scaled.astype(np.int64)


def _layout(width, frac_bits, float_mode):
    if float_mode:
        if width != 32:
            raise ValueError(f"floating-point codes are 32-bit single-precision patterns, got width {width}")
        return 32, 0
    width = _width(width, 2, 63)
    frac_bits = width - 1 if frac_bits is None else frac_bits
    if isinstance(frac_bits, bool) or not isinstance(frac_bits, numbers.Integral) or not 0 <= frac_bits < 1024:
        raise ValueError(f"frac_bits must be an integer from 0 to 1023, got {frac_bits!r}")
    return width, int(frac_bits)


def _result_layout(width, frac_bits, float_mode):
    """A core (anything with output_width, output_point and float_mode) stands
    for the layout of its result codes."""
    if hasattr(width, "output_width"):
        return width.output_width, width.output_point, width.float_mode
    return width, frac_bits, float_mode


def to_codes(y, width, *, frac_bits=None, float_mode=False, fmt="int"):
    """Two's-complement codes of the values y at `width` bits.

    A code c stands for c / 2^frac_bits (frac_bits defaults to width - 1).
    `width` may be a core (vfft.FFT or vfft.Configuration): its result codes'
    width and binary point then apply, which the library's describe call
    gives (an unscaled core's results grow, and a pipelined core's scaled
    results have one more integer bit). In floating-point mode the code is
    the IEEE single bit pattern read as a signed 32-bit integer. fmt="int"
    gives int64 codes, with
    a last axis of (re, im) for complex y; fmt="hex" gives strings of
    ceil(2*width/4) lower-case hex digits holding (re << width) | im for
    complex y, and ceil(width/4) digits for real y. Values that are not
    exactly codes raise ValueError.
    """
    width, frac_bits, float_mode = _result_layout(width, frac_bits, float_mode)
    width, frac_bits = _layout(width, frac_bits, float_mode)
    if fmt not in ("int", "hex"):
        raise ValueError(f"fmt {fmt!r} is not one of: int, hex")
    array = _float_array(y, "y")
    if array.dtype.kind == "c":
        codes = np.stack([_codes_of(array.real, width, frac_bits, float_mode, "y.real"),
                          _codes_of(array.imag, width, frac_bits, float_mode, "y.imag")], axis=-1)
    else:
        codes = _codes_of(array.astype(np.float64), width, frac_bits, float_mode, "y")
    if fmt == "int":
        return codes
    mask = (1 << width) - 1
    if array.dtype.kind == "c":
        digits = -(-2 * width // 4)
        words = [((int(re) & mask) << width) | (int(im) & mask) for re, im in codes.reshape(-1, 2)]
    else:
        digits = -(-width // 4)
        words = [int(c) & mask for c in codes.reshape(-1)]
    text = np.array([format(word, f"0{digits}x") for word in words], dtype=object)
    return text.reshape(array.shape)


def _signed(flat, width):
    """Checks that integer codes fit a signed `width`-bit code; returns them as int64."""
    high = 1 << (width - 1)
    if flat.dtype.kind == "O":
        bad = np.array([not -high <= int(c) < high for c in flat], dtype=bool)
    else:
        bad = (flat < -high) | (flat > high - 1) if flat.dtype.kind == "i" else flat > high - 1
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"codes[{i}] = {flat[i]}: expected a signed {width}-bit code ({-high} to {high - 1})")
    return flat.astype(np.int64)


def _parse_hex(words, width):
    """Splits packed hex words into (re, im) signed codes."""
    mask = (1 << width) - 1
    pairs = []
    for i, word in enumerate(words):
        try:
            value = int(word, 16)
        except (TypeError, ValueError):
            raise ValueError(f"codes[{i}] = {word!r}: expected a hex word") from None
        if not 0 <= value < 1 << (2 * width) or word.strip().startswith(("-", "+", "0x", "0X")):
            raise ValueError(f"codes[{i}] = {word!r}: expected at most {2 * width} bits of plain hex digits")
        re, im = value >> width, value & mask
        pairs.append((re - (1 << width) if re >> (width - 1) else re, im - (1 << width) if im >> (width - 1) else im))
    return np.array(pairs, dtype=np.int64).reshape(-1, 2)


def from_codes(codes, width, *, frac_bits=None, float_mode=False):
    """Values of two's-complement codes at `width` bits, the inverse of to_codes.

    `codes` is an integer array (a last axis of length 2 is read as (re, im)
    and gives complex values), or a hex word or sequence of hex words holding
    (re << width) | im, which give complex values. `width` may be a core, as
    for to_codes.
    """
    width, frac_bits, float_mode = _result_layout(width, frac_bits, float_mode)
    width, frac_bits = _layout(width, frac_bits, float_mode)
    array = np.asarray(codes, dtype=object if isinstance(codes, (list, tuple)) else None)
    flat = array.reshape(-1)
    if array.dtype.kind in "US" or (array.dtype.kind == "O" and flat.size and all(isinstance(c, str) for c in flat)):
        pairs = _parse_hex([str(word) for word in flat], width)
        return _values(pairs, frac_bits, float_mode).reshape(array.shape)
    if array.dtype.kind not in "iuO" or (array.dtype.kind == "O" and not all(
            isinstance(c, numbers.Integral) and not isinstance(c, bool) for c in flat)):
        raise TypeError(f"codes must be integers or hex strings, got {array.dtype} values")
    signed = _signed(flat, width).reshape(array.shape)
    if array.ndim and array.shape[-1] == 2:
        return _values(signed, frac_bits, float_mode)
    return _real_values(signed, frac_bits, float_mode)


def _real_values(codes, frac_bits, float_mode):
    if float_mode:
        return codes.astype(np.int32).view(np.float32).astype(np.float64)
    return codes.astype(np.float64) / 2.0 ** frac_bits


def _values(pairs, frac_bits, float_mode):
    y = np.empty(pairs.shape[:-1], np.complex128)
    y.real = _real_values(pairs[..., 0], frac_bits, float_mode)
    y.imag = _real_values(pairs[..., 1], frac_bits, float_mode)
    return y


def reference_dft(x, scale=1.0, *, inverse=False):
    """Double-precision DFT of a frame (or of each row of frames), times `scale`.

    Forward: X[k] = scale * sum x[n] e^(-2 pi i k n / N); inverse: the same
    with e^(+2 pi i k n / N) and no 1/N, as the core computes it. Pass a
    Result's `scale` to compare with the core's output.
    """
    array = _float_array(x, "x")
    if array.ndim not in (1, 2):
        raise ValueError(f"x must be a frame or a 2-D array of frames, got shape {array.shape}")
    scale = np.asarray(scale, dtype=np.float64)
    if array.ndim == 2 and scale.ndim == 1:
        scale = scale[:, None]
    points = array.shape[-1]
    spectrum = np.fft.ifft(array, axis=-1) * points if inverse else np.fft.fft(array, axis=-1)
    return spectrum * scale


def sqnr(y, reference):
    """Signal-to-quantisation-noise ratio of y against the reference, in dB
    (infinite when they are equal)."""
    y = np.asarray(y)
    reference = np.asarray(reference)
    if y.shape != reference.shape:
        raise ValueError(f"y has shape {y.shape} but the reference has shape {reference.shape}")
    signal = float(np.sum(np.abs(reference) ** 2))
    noise = float(np.sum(np.abs(y - reference) ** 2))
    if noise == 0.0:
        return float("inf")
    if signal == 0.0:
        return float("-inf")
    return 10.0 * np.log10(signal / noise)
