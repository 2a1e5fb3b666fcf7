#!/usr/bin/python3
"""Runs bench_datapaths once and prints its times as a Markdown table.

    bench/table.py BUILD_DIR [--min-time SECONDS] [--filter REGEX]

Times are CPU time per frame in microseconds, all measured in the same run:
the machine-integer library (native) on the best vector target the processor
runs and on the portable target, the reference library, and FFTW's
double-precision complex transform of the same length.
"""
import argparse
import json
import os
import platform
import subprocess
import sys


def processor():
    """The processor's model name, where Linux tells it."""
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", help="the CMake build directory")
    parser.add_argument("--min-time", type=float, default=0.2, help="seconds per benchmark (default 0.2)")
    parser.add_argument("--filter", default="", help="only benchmarks whose name matches this regular expression")
    args = parser.parse_args()

    program = os.path.join(args.build, "bench", "bench_datapaths")
    libraries = [os.path.join(args.build, name) for name in ("libvfft_v8_0.so", "libvfft_v8_0_reference.so")]
    for path in [program] + libraries:
        if not os.path.exists(path):
            sys.exit(f"table.py: {path} does not exist; build the project with FFTW installed (libfftw3-dev)")
    command = [program, *libraries, "--benchmark_format=json", f"--benchmark_min_time={args.min_time}"]
    if args.filter:
        command.append(f"--benchmark_filter={args.filter}")
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"table.py: bench_datapaths failed:\n{run.stderr}")
    report = json.loads(run.stdout)

    times = {}
    for bench in report["benchmarks"]:
        if bench.get("error_occurred"):
            sys.exit(f"table.py: {bench['name']}: {bench.get('error_message')}")
        library, *config, size = bench["name"].split("/")
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[bench["time_unit"]]
        times[(library, "/".join(config), int(size))] = bench["cpu_time"] * scale

    context = report["context"]
    print(f"Machine: {processor()} ({platform.machine()}), {context['num_cpus']} CPUs at {context['mhz_per_cpu']} MHz, "
          f"load average {', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}\n")
    best = context.get("native_target", "best")
    print(f"| Configuration | N | Reference (us) | Native {best} (us) | Native portable (us) | FFTW (us) "
          "| Native speed-up | Native / FFTW |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    for (library, config, size), native in sorted(times.items(), key=lambda item: (item[0][1], item[0][2])):
        if library != "native":
            continue
        reference = times.get(("reference", config, size))
        portable = times.get(("portable", config, size))
        fftw = times.get(("fftw", "double/complex", size))
        cells = [
            config.replace("/", ", "),
            str(size),
            f"{reference:.0f}" if reference else "",
            f"{native:.1f}",
            f"{portable:.1f}" if portable else "",
            f"{fftw:.2f}" if fftw else "",
            f"{reference / native:.0f}x" if reference else "",
            f"{native / fftw:.0f}x" if fftw else "",
        ]
        print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
