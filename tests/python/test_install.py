"""The package as users get it: installed by CMake beside its libraries,
installed by pip into a virtual environment, and the demo on the command line."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("VFFT_TEST_SOURCE_DIR", Path(__file__).resolve().parents[2]))
PROBE = ("import numpy as np, vfft\n"
         "fft = vfft.FFT(nfft_max=6, arch='radix2')\n"
         "r = fft(np.r_[0.5, np.zeros(63)])\n"
         "print(vfft.__file__, fft.library_path, r.y[5].real)\n")


def clean_environment(**extra):
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "VFFT_LIBRARY_DIR")}
    env.update(extra)
    return env


def test_cmake_install_puts_the_package_beside_the_libraries(tmp_path):
    build = os.environ.get("VFFT_TEST_BUILD_DIR")
    if not build or not shutil.which("cmake"):
        pytest.skip("needs the build tree and cmake")
    done = subprocess.run(["cmake", "--install", build, "--prefix", str(tmp_path)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    package = tmp_path / "lib" / "python3" / "dist-packages" / "vfft"
    assert (package / "libvfft_v8_0.so").is_file() and (package / "__main__.py").is_file()
    probe = subprocess.run([sys.executable, "-c", PROBE], capture_output=True, text=True, cwd=tmp_path,
                           env=clean_environment(PYTHONPATH=str(package.parent)))
    assert probe.returncode == 0, probe.stderr
    module, library, value = probe.stdout.split()
    assert Path(module).parent == package and Path(library) == package / "libvfft_v8_0.so"
    assert float(value) == 0.5 / 64


def test_pip_installs_the_package_offline_into_a_virtual_environment(tmp_path):
    for module in ("venv", "pip", "setuptools"):
        if subprocess.run([sys.executable, "-c", f"import {module}"], capture_output=True).returncode:
            pytest.skip(f"{sys.executable} has no {module}")
    shutil.copytree(SOURCE / "python", tmp_path / "src", ignore=shutil.ignore_patterns("build", "*.egg-info"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv)], check=True)
    python = venv / "bin" / "python"
    done = subprocess.run([str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index", "-q",
                           str(tmp_path / "src")], capture_output=True, text=True, env=clean_environment())
    assert done.returncode == 0, done.stderr
    probe = subprocess.run([str(python), "-c", PROBE], capture_output=True, text=True, cwd=tmp_path,
                           env=clean_environment(VFFT_LIBRARY_DIR=os.environ["VFFT_LIBRARY_DIR"]))
    assert probe.returncode == 0, probe.stderr
    module = probe.stdout.split()[0]
    assert Path(module).is_relative_to(venv)


def run_module(*args, cwd):
    return subprocess.run([sys.executable, "-m", "vfft", *args], capture_output=True, text=True, cwd=cwd)


@pytest.mark.parametrize("options", [[], ["--arch", "pipelined", "--nfft-max", "5", "--float", "--inverse"],
                                     ["--arch", "radix2", "--nfft-max", "12", "--scaling", "bfp"]],
                         ids=["defaults", "pipelined-float-inverse", "radix2-4096-bfp"])
def test_demo_reports_what_the_program_reports(tmp_path, options):
    pytest.importorskip("matplotlib")
    plot = tmp_path / "demo.png"
    done = run_module("demo", *options, "--plot", str(plot), cwd=tmp_path)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    assert done.stdout.endswith(f"plot written to {plot}\n")
    assert plot.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n" and plot.stat().st_size > 10000
    program = os.environ.get("VFFT_TEST_PROGRAM")
    if program:
        expected = subprocess.run([program, "demo", *options], capture_output=True, text=True)
        assert done.stdout.splitlines()[:-1] == expected.stdout.splitlines()
    else:
        assert done.stdout.startswith("generics: ") and "strongest bins:\n  X[" in done.stdout


def test_demo_errors_name_the_problem(tmp_path):
    bad = run_module("demo", "--nfft-max", "5", cwd=tmp_path)
    assert bad.returncode == 2 and "create_state called with C_NFFT_MAX < 6" in bad.stderr
    missing = run_module("demo", "--reference", "--library", str(tmp_path), cwd=tmp_path)
    assert missing.returncode == 2 and "libvfft_v8_0_reference.so: no such file" in missing.stderr
