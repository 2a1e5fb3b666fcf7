"""python3 -m vfft demo [options] [--plot FILE.png]
python3 -m vfft study STUDY.json --out DIR [--workers N | --scheduler ADDRESS] [--quiet]

demo runs one transform of a built-in multi-tone frame, prints the
configuration, block exponent, overflow flag, the strongest bins and the SQNR
against a double-precision DFT at the core's scale, and optionally plots the
spectrum and the error per bin. study runs an accuracy study (vfft.Study) and
writes its table and plots.
"""

import argparse
import sys

import numpy as np

from .core import ARCHES, FFT, ROUNDINGS, SCALINGS
from .helpers import reference_dft, sqnr


def demo_frame(nfft, width):
    """Three tones and a small offset at about 80% of full scale, on the grid of `width` bits."""
    n = 1 << nfft
    t = 2.0 * np.pi * np.arange(n) / n
    re = 0.45 * np.cos(3 * t) + 0.25 * np.sin(17 * t + 0.3) + 0.1 * np.cos((n // 4 + 5) * t)
    im = 0.45 * np.sin(3 * t) - 0.2 * np.cos((40 % (n // 2)) * t) + 0.01
    step = 2.0 ** -(width - 1)
    return np.floor(re / step) * step + 1j * np.floor(im / step) * step


_SCALING_WORDS = {"unscaled": "unscaled", "schedule": "scheduled scaling", "bfp": "block floating point"}
_ROUNDING_WORDS = {"truncate": "truncation", "convergent": "convergent rounding"}


def describe(fft):
    """The configuration in words."""
    mode = ("floating point" if fft.float_mode
            else f"{_SCALING_WORDS[fft.scaling]}, {_ROUNDING_WORDS[fft.rounding]}")
    return (f"{fft.arch}, {1 << fft.nfft_max} points, {fft.input_width}-bit input, "
            f"{fft.generics['C_TWIDDLE_WIDTH']}-bit twiddles, {mode}")


def run_demo(fft, inverse=False, plot=None, out=sys.stdout):
    width = 24 if fft.float_mode else fft.input_width
    x = demo_frame(fft.nfft_max, width)
    result = fft(x, inverse=inverse)
    reference = reference_dft(x, result.scale, inverse=inverse)
    print(f"core: {describe(fft)}", file=out)
    print(f"{len(x)}-point {'inverse' if inverse else 'forward'} transform: blk_exp {result.blk_exp}, "
          f"overflow {result.overflow}, results scaled by {result.scale:g}", file=out)
    for k in np.argsort(-np.abs(result.y), kind="stable")[:5]:
        print(f"  X[{k}] = {result.y[k].real:.9g} {result.y[k].imag:+.9g}j", file=out)
    ratio = sqnr(result.y, reference)
    print("SQNR against a double-precision DFT: " + ("exact" if np.isinf(ratio) else f"{ratio:.2f} dB"), file=out)
    if plot:
        _plot(result, reference, fft, plot)
        print(f"plot written to {plot}", file=out)
    return result, ratio


def _plot(result, reference, fft, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    bins = np.arange(len(result.y))
    peak = float(np.max(np.abs(reference))) or 1.0
    # Magnitudes in dB below the largest bin, floored where the core returns exact zeros.
    floor = -180.0 if fft.float_mode else 20 * np.log10(2.0 ** -(fft.input_width - 1) / peak) - 20

    def decibels(values):
        with np.errstate(divide="ignore"):
            return np.maximum(20 * np.log10(np.abs(values) / peak), floor)

    figure, (spectrum, error) = plt.subplots(2, 1, figsize=(9, 6.5), sharex=True)
    spectrum.plot(bins, decibels(reference), color="0.65", lw=2.5, label="double-precision DFT")
    spectrum.plot(bins, decibels(result.y), lw=0.8, label="core")
    spectrum.set_ylim(floor - 5, 5)
    spectrum.set_ylabel("magnitude (dB below peak)")
    spectrum.set_title(describe(fft), fontsize=10)
    spectrum.legend(loc="lower right")
    if fft.float_mode:
        error.plot(bins, decibels(result.y - reference), lw=0.8)
        error.set_ylabel("|error| (dB below peak)")
    else:
        error.plot(bins, np.abs(result.y - reference) / 2.0 ** -(fft.input_width - 1), lw=0.8)
        error.set_ylabel("|error| (output LSB)")
    error.set_xlabel("bin")
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m vfft", description="The vfft core model from Python.")
    commands = parser.add_subparsers(dest="command", required=True)
    demo = commands.add_parser("demo", help="transform a built-in multi-tone frame and report its accuracy")
    demo.add_argument("--arch", choices=list(ARCHES), default="radix4")
    demo.add_argument("--nfft-max", type=int, default=10, help="log2 of the transform length (3 to 16)")
    demo.add_argument("--input-width", type=int, help="input width in bits, 8 to 34 (default 16; 32 with --float)")
    demo.add_argument("--twiddle-width", type=int, default=16, help="twiddle width in bits, 8 to 34")
    demo.add_argument("--scaling", choices=list(SCALINGS), default="schedule")
    demo.add_argument("--rounding", choices=list(ROUNDINGS), default="truncate")
    demo.add_argument("--float", action="store_true", help="single-precision data")
    demo.add_argument("--inverse", action="store_true", help="inverse transform")
    demo.add_argument("--reference", action="store_true", help="use the reference library")
    demo.add_argument("--library", help="library file or directory to load")
    demo.add_argument("--plot", metavar="FILE.png", help="write the spectrum and error plot to this file")
    study = commands.add_parser("study", help="run an accuracy study and write its table and plots")
    study.add_argument("study_file", metavar="STUDY.json", help="the study: grid, signal, frames, seed, ...")
    study.add_argument("--out", required=True, metavar="DIR", help="directory for study.csv and the PNG plots")
    study.add_argument("--workers", type=int, metavar="N", help="threads of the local executor (default: one per processor)")
    study.add_argument("--scheduler", metavar="ADDRESS", help="run on the Dask cluster of this scheduler")
    study.add_argument("--quiet", action="store_true", help="no progress bar on standard error")
    args = parser.parse_args(argv)
    if args.command == "study":
        if args.workers is not None and args.workers < 1:
            parser.error(f"--workers must be at least 1, got {args.workers}")
        if args.workers is not None and args.scheduler:
            parser.error("--workers sets the local executor's threads; with --scheduler the cluster's workers run")
        from .study import study_command

        return study_command(args)
    try:
        fft = FFT(args.nfft_max, args.arch, args.input_width, args.twiddle_width, args.scaling, args.rounding,
                  float_mode=args.float, reference=args.reference, library=args.library)
    except (ValueError, TypeError, OSError) as error:
        parser.error(str(error))
    with fft:
        run_demo(fft, inverse=args.inverse, plot=args.plot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
