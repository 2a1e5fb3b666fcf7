"""Accuracy studies: tables that do not depend on where or how the frames run,
measurements against the noise model and the package's own helpers, the
command line, and descriptions that cannot run."""

import json
import math
import warnings

import numpy as np
import pytest

pd = pytest.importorskip("pandas")

import vfft  # noqa: E402
from vfft.__main__ import main  # noqa: E402
from vfft.study import Study, StudySpecError  # noqa: E402


@pytest.fixture(scope="module")
def cluster():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as c, \
            distributed.Client(c) as client:
        yield client


def same(table, other):
    pd.testing.assert_frame_equal(table, other, check_exact=True)


# Several architectures, modes, lengths and directions, three batches per point.
MIXED = dict(grid=[{"arch": ["radix2", "radix4"], "nfft_max": 6, "scaling": ["schedule", "bfp"],
                    "direction": ["forward", "inverse"]},
                   {"arch": "pipelined", "nfft_max": 7, "runtime_nfft": True, "nfft": [5, 7], "float_mode": True},
                   {"C_ARCH": 4, "C_NFFT_MAX": 5, "C_HAS_SCALING": 0, "C_HAS_ROUNDING": 1}],
             signal={"model": "noise", "level": 0.7}, frames=10, seed=11, batch=4)


def test_tables_are_the_same_on_any_executor_and_any_number_of_workers(cluster):
    study = Study(**MIXED)
    table = study.run(workers=1)
    assert len(table) == 8 + 2 + 1 and (table["frames"] == 10).all()
    same(study.run(workers=2), table)
    same(study.run(client=cluster), table)
    same(Study(**dict(MIXED, batch=3)).run(workers=2), table)
    reseeded = Study(**dict(MIXED, seed=12)).run(workers=2)
    assert not (reseeded["sqnr_mean"] == table["sqnr_mean"]).any()


def test_convergent_radix2_noise_sqnr_lies_between_the_noise_model_and_exact_rounding():
    # Each radix-2 stage halves and rounds: rounding noise of q^2/6 per complex
    # sample, halved in power by every later stage, so ~2 q^2 (1 - 1/N) per
    # bin, against a signal of (2 a^2 / 3) / N per bin for parts uniform in
    # [-a, a). No output on the grid beats the exact DFT rounded to it (q^2/6).
    a, points, q = 0.9, 64, 2.0 ** -15
    table = Study({"arch": "radix2", "nfft_max": 6, "rounding": "convergent"}, signal={"model": "noise", "level": a},
                  frames=64, seed=5, percentiles=[100]).run(workers=2)
    model = 10 * math.log10(2 * a * a / (points * q * q * (1 - 1 / points)))
    exact_rounding = 10 * math.log10(4 * a * a / (points * q * q))
    assert abs(table["sqnr_mean"][0] - model) < 0.75
    assert table["sqnr_p100"][0] < exact_rounding


def test_measurements_agree_with_a_frame_by_frame_run(rng):
    frames = rng.uniform(-0.5, 0.5, (6, 64)) + 1j * rng.uniform(-0.5, 0.5, (6, 64))
    frames[2] /= 16  # another block exponent
    frames = vfft.quantize(frames, 16)
    table = Study({"arch": "radix2", "nfft_max": 6, "scaling": "bfp", "direction": "inverse"}, signal=frames,
                  percentiles=[0, 100], batch=4).run(workers=2)
    with vfft.FFT(arch="radix2", nfft_max=6, scaling="bfp") as fft:
        results = [fft(x, inverse=True) for x in frames]
    references = [vfft.reference_dft(x, r.scale, inverse=True) for x, r in zip(frames, results)]
    sqnrs = [vfft.sqnr(r.y, ref) for r, ref in zip(results, references)]
    errors = [np.max(np.abs(np.r_[(r.y - ref).real, (r.y - ref).imag])) * 2 ** 15
              for r, ref in zip(results, references)]
    row = table.iloc[0]
    assert row["frames"] == 6 and row["sqnr_p0"] == row["sqnr_min"] == pytest.approx(min(sqnrs))
    assert row["sqnr_p100"] == pytest.approx(max(sqnrs)) and row["sqnr_mean"] == pytest.approx(np.mean(sqnrs))
    assert row["max_error_lsb"] == pytest.approx(max(errors))
    exponents = [r.blk_exp for r in results]
    assert {e: row[f"blk_exp_{e}"] for e in exponents} == {e: exponents.count(e) for e in exponents}


def test_overflow_rate_follows_the_level_for_every_model():
    # Unshifted stages grow a frame by at most 2 per stage in magnitude:
    # below 2^-6 / sqrt(2) nothing can overflow; full-scale noise always does.
    grid = {"arch": "radix2", "nfft_max": 6, "schedule": [[0] * 6], "level": [0.01, 0.9]}
    assert Study(grid, frames=8).run(workers=2)["overflow_rate"].tolist() == [0.0, 1.0]

    def noise(rng, points):
        return rng.uniform(-1.0, 1.0, points) + 1j * rng.uniform(-1.0, 1.0, points)

    generated = Study(grid, signal=noise, frames=8, batch=3)
    table = generated.run(workers=1, progress=True)
    assert table["overflow_rate"].tolist() == [0.0, 1.0]
    same(generated.run(workers=2), table)


def test_a_frame_file_is_found_beside_its_description(tmp_path, rng):
    rows = rng.uniform(-1.0, 1.0, (5, 32)) + 1j * rng.uniform(-1.0, 1.0, (5, 32))
    np.save(tmp_path / "frames.npy", rows)
    description = {"grid": {"arch": "radix2", "nfft_max": 5}, "signal": {"model": "file", "path": "frames.npy", "level": 0.5}}
    (tmp_path / "study.json").write_text(json.dumps(description))
    same(Study.from_file(tmp_path / "study.json").run(workers=2),
         Study({"arch": "radix2", "nfft_max": 5, "level": 0.5}, signal=rows).run(workers=1))


def test_tones_at_a_bin_centre_in_floating_point_are_near_single_precision():
    tones = [{"frequency": 3 / 128, "level": 0.5}, {"frequency": -0.25, "level": 0.25}]
    table = Study({"arch": "radix4", "nfft_max": 7, "float_mode": True, "twiddle_width": 24},
                  signal={"model": "tones", "tones": tones}, frames=4).run(workers=1)
    assert 125 < table["sqnr_min"][0] < 150 and table["max_error_lsb"][0] < 2


def test_command_writes_the_table_and_plots_locally_and_on_a_scheduler(tmp_path, monkeypatch, capsys, cluster):
    def run_cli(*args):
        code = main(["study", *args])
        out, err = capsys.readouterr()
        return code, out, err

    monkeypatch.chdir(tmp_path)
    description = {"grid": [{"arch": "radix2", "nfft_max": 5, "input_width": [12, 16], "rounding": ["truncate", "convergent"]},
                     {"arch": "radix2", "nfft_max": 5, "schedule": [[1, 1, 1, 0, 0]], "level": [0.1, 0.8]}],
            "frames": 6, "seed": 3, "batch": 4}
    (tmp_path / "study.json").write_text(json.dumps(description))
    code, out, err = run_cli("study.json", "--out", "local", "--workers", "2")
    assert code == 0 and err == "" and out.startswith("6 points, 36 frames in ")
    for name in ("study.csv", "sqnr_vs_width.png", "overflow_vs_level.png"):
        assert f"wrote local/{name}" in out
    assert (tmp_path / "local" / "sqnr_vs_width.png").read_bytes()[:4] == b"\x89PNG"
    table = pd.read_csv(tmp_path / "local" / "study.csv")
    expected = Study.from_dict(description).run(workers=1)
    pd.testing.assert_frame_equal(table, expected, check_exact=False, rtol=1e-15)
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # a line per rounding mode: grouped by one column
        assert vfft.plot_study(expected[expected["level"] == 1.0], tmp_path / "widths") == [
            tmp_path / "widths" / "sqnr_vs_width.png"]
    code, out, err = run_cli("study.json", "--out", "remote", "--scheduler", cluster.scheduler.address, "--quiet")
    assert code == 0, err
    assert (tmp_path / "remote" / "study.csv").read_text() == (tmp_path / "local" / "study.csv").read_text()

    (tmp_path / "bad.json").write_text(json.dumps({"grid": {"rounding": "nearest"}}))
    code, out, err = run_cli("bad.json", "--out", "bad")
    assert code == 1 and out == "" and not (tmp_path / "bad").exists()
    assert err == ("python3 -m vfft study: error: bad.json: grid.rounding[0]: 'nearest' is not valid: "
                   "expected one of truncate, convergent\n")
    with pytest.raises(SystemExit):
        run_cli("study.json", "--out", "none", "--workers", "0")
    err = capsys.readouterr().err
    assert err.startswith("usage: python3 -m vfft study ") and err.endswith("--workers must be at least 1, got 0\n")


GRID = {"arch": "radix2", "nfft_max": 6}


@pytest.mark.parametrize("description, field, words", [
    ({"grid": {"arch": "radix3"}}, "grid.arch[0]", "one of radix4, radix2, pipelined, radix2-lite"),
    ({"grid": {"input_widths": [16]}}, "grid.input_widths", "is not a grid axis"),
    ({"grid": [GRID, {"level": []}]}, "grid[1].level", "is empty"),
    ({"grid": {"arch": "radix4", "nfft_max": 5}}, "grid point 0 (arch='radix4', nfft_max=5)",
     "ERROR:vfft_v8_0:create_state called with C_NFFT_MAX < 6"),
    ({"grid": {"arch": "radix2", "C_ARCH": 2}}, "grid point 0 (arch='radix2', C_ARCH=2)", "give one of them"),
    ({"grid": dict(GRID, nfft=5)}, "grid point 0 (arch='radix2', nfft_max=6, nfft=5)", "the fixed length 2^6"),
    ({"grid": dict(GRID, schedule=[[1, 1]])}, "grid point 0", "has 2 values, expected 6"),
    ({"grid": dict(GRID, scaling="bfp", schedule=[[1] * 6])}, "grid point 0", "this core takes no schedule"),
    ({"grid": dict(GRID, schedule=[[1, 1, 4, 1, 1, 1]])}, "grid point 0", "4 at stage 2 is above 3, the largest"),
    ({"grid": dict(GRID, schedule=[[1, -1]])}, "grid.schedule[0][1]", "an integer of at least 0"),
    ({"grid": dict(GRID, level=[0.5, 1.5])}, "grid point 1", "peaks at 1.5, beyond the full scale"),
    ({"grid": dict(GRID, level=0.5), "signal": {"model": "noise", "level": 0.5}}, "grid point 0", "both"),
    ({"grid": GRID, "frames": 0}, "frames", "at least 1"),
    ({"grid": GRID, "seed": -1}, "seed", "at least 0"),
    ({"grid": GRID, "percentiles": [50, 101]}, "percentiles[1]", "from 0 to 100"),
    ({"grid": GRID, "levels": [1]}, "levels", "is not a study field"),
    ({"signal": "noise"}, "grid", "is missing"),
    ({"grid": GRID, "signal": "chirp"}, "signal.model", "one of noise, tones, file, generator"),
    ({"grid": GRID, "signal": {"model": "tones"}}, "signal.tones", "is missing"),
    ({"grid": GRID, "signal": {"model": "tones", "tones": [{"frequency": 0.5, "level": 0.1}]}},
     "signal.tones[0].frequency", "-0.5 <= frequency < 0.5"),
    ({"grid": GRID, "signal": {"model": "tones", "tones": [{"frequency": 0.1, "level": 0.7},
                                                          {"frequency": 0.2, "level": 0.5}]}},
     "grid point 0", "tones signal at level 1 peaks at 1.2"),
    ({"grid": GRID, "signal": {"model": "noise", "phase": 1}}, "signal.phase", "not a field of the noise model"),
    ({"grid": GRID, "signal": {"model": "generator", "function": "vfft:nothing"}}, "signal.function",
     "cannot be imported"),
    ({"grid": GRID, "signal": {"model": "file", "path": "missing.npy"}}, "signal.path", "cannot be read"),
])
def test_bad_descriptions_name_their_field(description, field, words):
    with pytest.raises(StudySpecError) as raised:
        Study.from_dict(description)
    assert raised.value.field.startswith(field) and words in str(raised.value)


def test_frames_that_do_not_fit_the_points_are_named(rng):
    rows = rng.uniform(-0.5, 0.5, (4, 32))
    with pytest.raises(StudySpecError, match=r"grid point 0 .*: the signal's frames hold 32 samples, but this "
                                             r"point transforms 64"):
        Study(GRID, signal=rows)
    with pytest.raises(StudySpecError, match="frames: 5 frames per point, but the signal holds 4"):
        Study(dict(GRID, nfft_max=5), signal=rows, frames=5)
    rows[2, 7] = 1.25
    with pytest.raises(ValueError, match="signal frame 2 of grid point 0: the real part of sample 7 is 1.25"):
        Study(dict(GRID, nfft_max=5), signal=rows).run(workers=2)
