"""Frames per second of vfft.FFT.run_many: 1024-point radix-4, 16-bit
scheduled core, full-scale random frames, with 1 and 2 worker threads.

    /usr/bin/python3 python/scripts/throughput.py [--frames N] [--reference] [--library PATH]
"""

import argparse
import time

import numpy as np

import vfft


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--frames", type=int, default=400, help="frames per measurement (default 400)")
    parser.add_argument("--reference", action="store_true", help="measure the reference library")
    parser.add_argument("--library", help="library file or directory")
    parser.add_argument("--repeats", type=int, default=3, help="best of this many runs (default 3)")
    args = parser.parse_args()
    rng = np.random.default_rng(1)
    frames = vfft.quantize(rng.uniform(-0.9, 0.9, (args.frames, 1024))
                           + 1j * rng.uniform(-0.9, 0.9, (args.frames, 1024)), 16)
    with vfft.FFT(reference=args.reference, library=args.library) as fft:
        print(f"{fft!r}\nlibrary: {fft.library_path}")
        baseline = None
        for workers in (1, 2):
            fft.run_many(frames[:workers], workers=workers)  # creates the worker states
            best, busy = min(timed(fft, frames, workers) for _ in range(args.repeats))
            rate = args.frames / best
            baseline = baseline or rate
            print(f"{workers} worker{'s' if workers > 1 else ''}: {rate:10.1f} frames/s "
                  f"({1e3 * best / args.frames:.3f} ms per frame, x{rate / baseline:.2f}, "
                  f"{busy:.2f} cores busy)")


def timed(fft, frames, workers):
    """Wall time of one run and the CPU time it used per second of wall time."""
    start, cpu = time.perf_counter(), time.process_time()
    fft.run_many(frames, workers=workers)
    wall = time.perf_counter() - start
    return wall, (time.process_time() - cpu) / wall


if __name__ == "__main__":
    main()
