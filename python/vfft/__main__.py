"""python3 -m vfft demo [options] [--plot FILE.png]
python3 -m vfft study STUDY.json --out DIR [--workers N | --scheduler ADDRESS] [--quiet]

demo runs the command-line program's demonstration: one transform of a frame
of five tones, reported in the same words, and optionally plots the spectrum
and the error per bin. study runs an accuracy study (vfft.Study) and writes
its table and plots.
"""

import argparse
import os
import sys
import time
from pathlib import Path

from .config import ARCHES, ROUNDINGS, SCALINGS
from .core import FFT
from .errors import VfftError


def demo_command(parser, args):
    from .demo import run_demo

    try:
        fft = FFT(args.nfft_max, args.arch, args.input_width, args.twiddle_width, args.scaling, args.rounding,
                  float_mode=args.float or None, reference=args.reference, library=args.library)
    except (ValueError, TypeError, OSError) as error:
        parser.error(str(error))
    with fft:
        run_demo(fft, inverse=args.inverse, plot=args.plot)
    return 0


def study_command(parser, args):
    """Runs a JSON study, writes study.csv and the plots into --out."""
    if args.workers is not None and args.workers < 1:
        parser.error(f"--workers must be at least 1, got {args.workers}")
    if args.workers is not None and args.scheduler:
        parser.error("--workers sets the local executor's threads; with --scheduler the cluster's workers run")
    from .study import Study, StudySpecError, plot_study

    name = parser.prog
    try:
        study = Study.from_file(args.study_file)
    except OSError as error:
        print(f"{name}: error: cannot read {args.study_file}: {error.strerror}", file=sys.stderr)
        return 1
    except (StudySpecError, VfftError, TypeError) as error:
        print(f"{name}: error: {args.study_file}: {error}", file=sys.stderr)
        return 1
    out = Path(args.out)
    try:
        out.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        print(f"{name}: error: cannot create {out}: {error.strerror}", file=sys.stderr)
        return 1
    progress = not args.quiet and sys.stderr.isatty()
    start = time.perf_counter()
    try:
        if args.scheduler:
            from distributed import Client

            with Client(args.scheduler, timeout="20s") as client:
                table = study.run(client=client, progress=progress)
        else:
            table = study.run(workers=args.workers, progress=progress)
        seconds = time.perf_counter() - start
        csv = out / "study.csv"
        partial = out / ".study.csv.part"
        table.to_csv(partial, index=False)
        os.replace(partial, csv)
        written = [csv] + plot_study(table, out)
    except (OSError, ValueError) as error:
        print(f"{name}: error: {error}", file=sys.stderr)
        return 1
    frames = int(table["frames"].sum())
    print(f"{len(table)} points, {frames} frames in {seconds:.2f} s ({frames / seconds:.1f} frames/s)")
    for path in written:
        print(f"wrote {path}")
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m vfft", description="The vfft core model from Python.")
    commands = parser.add_subparsers(dest="command", required=True)
    demo = commands.add_parser("demo", help="transform the program's frame of five tones and report its accuracy",
                               description="Options left out take the library's defaults.")
    demo.add_argument("--arch", choices=list(ARCHES))
    demo.add_argument("--nfft-max", type=int, help="log2 of the transform length")
    demo.add_argument("--input-width", type=int, help="input width in bits (32 with --float)")
    demo.add_argument("--twiddle-width", type=int, help="twiddle width in bits")
    demo.add_argument("--scaling", choices=list(SCALINGS))
    demo.add_argument("--rounding", choices=list(ROUNDINGS))
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
        return study_command(study, args)
    return demo_command(demo, args)


if __name__ == "__main__":
    sys.exit(main())
