"""Time per frame of the package against the library's own calls, in one
process: 1024-point radix-4, 16-bit scheduled core, batches of 256
full-scale random frames.

- C single call: the library's single-frame call through ctypes in a tight loop.
- C batch call: one batch call of the library per batch, through ctypes.
- FFT call: vfft.FFT on the 2-D array of frames (one batch call).
- run_many with 1 and 2 worker threads.
- A local study (noise, 1024 frames per point) on 1 and 2 threads, and with
  --dask on a 2-worker Dask LocalCluster, in frames per second.

Each figure is the best of --repeats runs, in wall time and in the CPU time
of the process (the machine may be shared: the load average is printed).

    /usr/bin/python3 python/scripts/throughput.py [--frames 256] [--repeats 5] [--dask] [--library PATH]
"""

import argparse
import os
import time

import numpy as np

import vfft
from vfft import capi


def best(run, repeats, count):
    """Best wall and best CPU time of run(), in microseconds per frame."""
    walls, cpus = [], []
    for _ in range(repeats):
        wall, cpu = time.perf_counter(), time.process_time()
        run()
        walls.append(time.perf_counter() - wall)
        cpus.append(time.process_time() - cpu)
    return 1e6 * min(walls) / count, 1e6 * min(cpus) / count


def c_calls(fft, frames):
    """(single-call runner, batch-call runner) on the library's raw records."""
    library, points = capi.load_library(library=fft.library_path), frames.shape[1]
    schedule = np.array(fft.default_schedule(), np.int32)
    parts = np.ascontiguousarray(frames.view(np.float64).reshape(len(frames), points, 2).transpose(2, 0, 1))
    out = np.empty((2, points))
    state = library.create_state(capi.Generics(*(fft.generics[n] for n in capi.GENERIC_NAMES)))
    inputs = [capi.Inputs(10, capi.double_pointer(parts[0, i]), points, capi.double_pointer(parts[1, i]), points,
                          capi.int32_pointer(schedule), len(schedule), 1) for i in range(len(frames))]
    outputs = capi.Outputs(capi.double_pointer(out[0]), points, capi.double_pointer(out[1]), points, 0, 0)

    def single(arrays=(parts, out, schedule)):  # the arrays live as long as the runner
        for one in inputs:
            library.simulate(state, one, outputs)

    y = np.empty_like(frames)
    blk_exp, overflow = np.empty(len(frames), np.int32), np.empty(len(frames), np.int32)
    batch_inputs = capi.Inputs(10, capi.address_pointer(frames.ctypes.data), points,
                               capi.address_pointer(frames.ctypes.data + 8), points, capi.int32_pointer(schedule),
                               len(schedule), 1)
    batch_outputs = capi.Outputs(capi.address_pointer(y.ctypes.data), points, capi.address_pointer(y.ctypes.data + 8),
                                 points, 0, 0)

    def batch(arrays=(y, schedule)):
        record = capi.Batch(len(frames), 2, None, 0, capi.int32_pointer(blk_exp), capi.int32_pointer(overflow), -1)
        assert library.simulate_batch(state, batch_inputs, batch_outputs, record) == 0

    return single, batch, lambda: library.destroy_state(state)


def study_rate(workers, frames, library, client=None):
    """Frames per second of wall time and per second of CPU time (of this
    process, or of the cluster's workers) of a 1024-point radix-4 noise study."""
    study = vfft.Study({"arch": "radix4", "nfft_max": 10}, signal={"model": "noise", "level": 0.9}, frames=frames,
                       seed=1, library=library)
    study.run(workers=workers, client=client)  # warm-up: states, buffers, imports

    def cpu():
        return sum(client.run(time.process_time).values()) if client else time.process_time()

    wall, busy = time.perf_counter(), cpu()
    study.run(workers=workers, client=client)
    return frames / (time.perf_counter() - wall), frames / (cpu() - busy)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--frames", type=int, default=256, help="frames per batch (default 256)")
    parser.add_argument("--repeats", type=int, default=5, help="best of this many runs (default 5)")
    parser.add_argument("--study-frames", type=int, default=2048, help="frames of the study (default 2048)")
    parser.add_argument("--dask", action="store_true", help="also run the study on a 2-worker LocalCluster")
    parser.add_argument("--library", help="library file or directory")
    args = parser.parse_args()
    rng = np.random.default_rng(1)
    frames = vfft.quantize(rng.uniform(-0.9, 0.9, (args.frames, 1024))
                           + 1j * rng.uniform(-0.9, 0.9, (args.frames, 1024)), 16)
    print(f"load average {os.getloadavg()[0]:.2f} on {os.cpu_count()} processors")
    with vfft.FFT(library=args.library) as fft:
        print(f"{fft!r}\nlibrary: {fft.library_path} ({fft.datapath})")
        single, batch, release = c_calls(fft, frames)
        out = np.empty_like(frames)
        fft.run_many(frames[:2], workers=2)  # creates the worker's state
        rows = [("C single call", single), ("C batch call", batch),
                ("FFT call", lambda: fft(frames, out=out)),
                ("run_many, 1 worker", lambda: fft.run_many(frames, workers=1)),
                ("run_many, 2 workers", lambda: fft.run_many(frames, workers=2))]
        times = {}
        print(f"{'':22}{'wall us/frame':>14}{'CPU us/frame':>14}")
        for name, run in rows:
            times[name] = best(run, args.repeats, args.frames)
            print(f"{name:22}{times[name][0]:14.2f}{times[name][1]:14.2f}")
        release()
    for kind, column in (("wall", 0), ("CPU", 1)):
        c_single = times["C single call"][column]
        print(f"{kind} time: FFT call / C single call {times['FFT call'][column] / c_single:.3f} (target <= 1.15), "
              f"FFT call / C batch call {times['FFT call'][column] / times['C batch call'][column]:.3f}, run_many "
              f"2 workers / 1 worker {times['run_many, 1 worker'][column] / times['run_many, 2 workers'][column]:.2f}x "
              f"(target >= 1.7 on 2 idle cores)")
    c_wall, c_cpu = 1e6 / times["C single call"][0], 1e6 / times["C single call"][1]
    for workers in (1, 2):
        wall, cpu = study_rate(workers, args.study_frames, args.library)
        print(f"local study, {workers} thread{'s' * (workers > 1)}: {wall:.0f} frames/s, {wall / workers / c_wall:.2f} "
              f"of the C single call's {c_wall:.0f} frames/s per worker; per CPU second {cpu:.0f} frames, "
              f"{cpu / c_cpu:.2f} of the C call's {c_cpu:.0f} (target >= 0.8)")
    if args.dask:
        from distributed import Client, LocalCluster

        local = study_rate(2, args.study_frames, args.library)
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster) as client:
            remote = study_rate(None, args.study_frames, args.library, client)
        print(f"Dask, 2 workers: {remote[0]:.0f} frames/s, {remote[0] / local[0]:.2f} of the local study on 2 threads "
              f"({local[0]:.0f} frames/s; target >= 0.7); per CPU second of the workers {remote[1]:.0f} frames, "
              f"{remote[1] / local[1]:.2f} of the local study's {local[1]:.0f}")
    print(f"load average {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
