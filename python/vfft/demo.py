"""The demonstration of the command-line program from Python: one transform
of the same frame of five tones, reported in the same words, and a plot of
the spectrum and the error per bin."""

import math
import sys

import numpy as np

from . import capi
from .helpers import reference_dft, sqnr

_ARCH_WORDS = {"radix4": "radix-4 burst I/O", "radix2": "radix-2 burst I/O", "pipelined": "pipelined streaming I/O",
               "radix2-lite": "radix-2 lite burst I/O"}


def demo_frame(points, grid_bits):
    """Five tones of falling strength on distinct bins for every length from 8
    (1, 3, N/2 + 1, N - 2 and N/4), each part floored to a multiple of 2^-grid_bits."""
    tones = [(1, 0.3, 0.0), (3, 0.2, 0.5), (points // 2 + 1, 0.12, 1.0), (points - 2, 0.08, 1.5),
             (points // 4, 0.05, 2.0)]
    re, im = np.zeros(points), np.zeros(points)
    for n in range(points):
        for bin_, amplitude, phase in tones:
            angle = 2.0 * math.pi * float(bin_ * n % points) / points + phase
            re[n] += amplitude * math.cos(angle)
            im[n] += amplitude * math.sin(angle)
    return np.ldexp(np.floor(np.ldexp(re, grid_bits)), -grid_bits) + 1j * np.ldexp(
        np.floor(np.ldexp(im, grid_bits)), -grid_bits)


def describe(fft):
    """The configuration in the program's words."""
    words = [_ARCH_WORDS[fft.arch], f"{1 << fft.nfft_max} points"]
    if fft.runtime_nfft:
        words[-1] += f" (run-time length, largest {1 << fft.nfft_max})"
    if fft.float_mode:
        words.append("IEEE single-precision data")
    else:
        words += [f"{fft.input_width}-bit input", f"{fft.output_width}-bit output"]
    words.append(f"{fft.twiddle_width}-bit twiddles")
    if fft.float_mode:
        words += ["unscaled inside" if fft.arch == "pipelined" else "block floating point inside", "truncation"]
        return ", ".join(words)
    if fft.scaling == "schedule":
        words.append("scaled by schedule " + ",".join(map(str, fft.default_schedule())))
    else:
        words.append({"unscaled": "unscaled", "bfp": "block floating point"}[fft.scaling])
    words.append("convergent rounding" if fft.rounding == "convergent" else "truncation")
    return ", ".join(words)


def run_demo(fft, inverse=False, plot=None, out=sys.stdout):
    rules = fft.describe()
    # Single-precision data keep 24 significant bits, so that grid holds the signal exactly in both modes.
    x = demo_frame(1 << fft.nfft_max, 23 if rules.float_mode else rules.input_point)
    result = fft(x, inverse=inverse)
    reference = reference_dft(x, result.scale, inverse=inverse)
    print("generics: " + " ".join(f"{name}={fft.generics[name]}" for name in capi.GENERIC_NAMES), file=out)
    print(f"core: {describe(fft)}", file=out)
    scaled = (f"results scaled by 2^-{-math.frexp(result.scale)[1] + 1}" if rules.has_blk_exp or rules.stages
              else "results at the scale of the input")
    print(f"{len(x)}-point {'inverse' if inverse else 'forward'} transform: blk_exp {result.blk_exp}, "
          f"overflow {result.overflow}, {scaled}", file=out)
    print("strongest bins:", file=out)
    for k in np.argsort(-np.abs(result.y) ** 2, kind="stable")[:5]:
        print(f"  X[{k}] = {result.y[k].real:.9g} {result.y[k].imag:+.9g}j", file=out)
    ratio = sqnr(result.y, reference)
    print("SQNR against a double-precision transform: " + ("exact" if np.isinf(ratio) else f"{ratio:.2f} dB"),
          file=out)
    if plot:
        _plot(result, reference, fft, plot)
        print(f"plot written to {plot}", file=out)
    return result, ratio


# Bins per point of the error panel's envelope: beyond this many bins, single
# bins would merge into a solid band.
_ENVELOPE_BINS = 256


def _plot(result, reference, fft, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    points = len(result.y)
    bins = np.arange(points)
    peak = float(np.max(np.abs(reference))) or 1.0
    lsb = 2.0 ** -fft.output_point
    # Magnitudes in dB below the largest bin, floored where the core returns exact zeros.
    floor = -180.0 if fft.float_mode else 20 * np.log10(lsb / peak) - 20

    def decibels(values):
        with np.errstate(divide="ignore"):
            return np.maximum(20 * np.log10(np.abs(values) / peak), floor)

    figure, (spectrum, error) = plt.subplots(2, 1, figsize=(9, 7), sharex=True)
    figure.suptitle(describe(fft), fontsize=10)
    spectrum.plot(bins, decibels(reference), color="0.65", lw=2.5, label="double-precision DFT")
    spectrum.plot(bins, decibels(result.y), lw=0.8, label="core")
    spectrum.set_ylim(floor - 5, 5)
    spectrum.set_ylabel("magnitude (dB below peak)")
    # Above the panel, so that it covers no data.
    spectrum.legend(loc="lower left", bbox_to_anchor=(0.0, 1.0), ncol=2, frameon=False, fontsize=9)
    size = np.abs(result.y - reference)
    scaled, unit = (decibels, "dB below peak") if fft.float_mode else (lambda v: v / lsb, "output LSB")
    if points <= _ENVELOPE_BINS:
        error.plot(bins, scaled(size), ".", ms=3)
    else:
        # The largest and the mean error of each group of bins.
        group = points // _ENVELOPE_BINS
        groups = size.reshape(-1, group)
        starts = bins[::group]
        error.step(starts, scaled(groups.max(axis=1)), where="post", lw=0.8, label=f"largest of {group} bins")
        error.step(starts, scaled(groups.mean(axis=1)), where="post", lw=0.8, label=f"mean of {group} bins")
        error.legend(loc="lower left", bbox_to_anchor=(0.0, 1.0), ncol=2, frameon=False, fontsize=9)
    error.set_ylabel(f"|error| ({unit})")
    error.set_xlabel("bin")
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)
