"""A sample of the repository's recorded conformance cases (the C++ tests
replay them all) through the package: every call through the raw C records
(null pointers and odd sizes included), and again through FFT, whose results,
warnings and errors carry the recorded numbers and lines, bit for bit."""

import json
import os
import struct
import warnings
from pathlib import Path

import numpy as np
import pytest

import vfft
from vfft import capi
from conftest import has_reference_library

CASES = Path(os.environ.get("VFFT_TEST_SOURCE_DIR", ".")) / "tests" / "conformance" / "data" / "cases.jsonl"
UNTOUCHED = -1234.5678


def doubles(words):
    return np.array([struct.unpack("<d", bytes.fromhex(w)[::-1])[0] for w in words], dtype=np.float64)


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64)


def assert_same_doubles(got, expected_words, float_mode, what):
    expected = doubles(expected_words)
    got = np.asarray(got, dtype=np.float64)
    if not float_mode:
        nan = np.isnan(expected)
        assert np.array_equal(np.isnan(got), nan), what
        got, expected = got[~nan], expected[~nan]
    assert np.array_equal(bits(got), bits(expected)), what


# Every SAMPLE-th case.
SAMPLE = 8


def load_cases():
    if not CASES.is_file():
        pytest.skip(f"no conformance cases at {CASES}")
    return [json.loads(line) for line in CASES.read_text().splitlines()[::SAMPLE] if line.strip()]


def padded(words, size):
    """Input values, padded with zeros up to the size field so that no read can leave the array."""
    if words is None:
        return None
    values = doubles(words)
    return np.concatenate([values, np.zeros(max(0, size - len(values)))])


def replay_raw(library, case, capfd):
    generics = capi.Generics(*(case["generics"][name] for name in capi.GENERIC_NAMES))
    state = library.create_state(generics)
    where = case["id"]
    try:
        assert (not state) == case["create_state"]["null"], where
        assert capfd.readouterr().err == case["create_state"]["stderr"], where
        float_mode = case["generics"]["C_USE_FLT_PT"] == 1
        for number, call in enumerate(case["calls"]):
            replay_call(library, state, call, float_mode, capfd, f"{where} call {number}")
    finally:
        library.destroy_state(state)


def replay_call(library, state, call, float_mode, capfd, where):
    given, expected = call["inputs"], call["expected"]
    xn_re = padded(given["xn_re"], given["xn_re_size"])
    xn_im = padded(given["xn_im"], given["xn_im_size"])
    schedule = None if given["scaling_sch"] is None else np.array(given["scaling_sch"], dtype=np.int32)
    inputs = capi.Inputs(given["nfft"], capi.double_pointer(xn_re), given["xn_re_size"],
                         capi.double_pointer(xn_im), given["xn_im_size"], capi.int32_pointer(schedule),
                         given["scaling_sch_size"], given["direction"])
    arrays = {}
    for part in ("xk_re", "xk_im"):
        room = max(given[f"{part}_capacity"], given[f"{part}_size"], 0)
        arrays[part] = None if given[f"{part}_null"] else np.full(room, UNTOUCHED)
    outputs = capi.Outputs(capi.double_pointer(arrays["xk_re"]), given["xk_re_size"],
                           capi.double_pointer(arrays["xk_im"]), given["xk_im_size"], -12345, 777)
    code = library.simulate(None if given["null_state"] else state, inputs,
                            None if given["outputs_null"] else outputs)
    assert code == expected["rc"], where
    assert capfd.readouterr().err == expected["stderr"], where
    if given["outputs_null"]:
        return
    assert (outputs.blk_exp, outputs.overflow) == (expected["blk_exp"], expected["overflow"]), where
    assert (outputs.xk_re_size, outputs.xk_im_size) == (expected["xk_re_size"], expected["xk_im_size"]), where
    for part in ("xk_re", "xk_im"):
        if arrays[part] is not None:
            capacity = given[f"{part}_capacity"]
            assert_same_doubles(arrays[part][:capacity], expected[part], float_mode, f"{where} {part}")
    for name, values in (("xn_re", xn_re), ("xn_im", xn_im)):
        if values is not None and expected.get(f"{name}_after") is not None:
            after = expected[f"{name}_after"]
            assert np.array_equal(bits(values[:len(after)]), bits(doubles(after))), f"{where} {name} after"


def libraries():
    kinds = [False]
    if has_reference_library():
        kinds.append(True)
    return kinds


@pytest.mark.parametrize("reference", libraries(), ids=lambda r: "reference" if r else "default")
def test_every_case_through_the_c_records(capfd, reference):
    library = capi.load_library(reference)
    for case in load_cases():
        replay_raw(library, case, capfd)


def plain_call(call):
    """The frame of a call that FFT can make (consistent arrays, a direction of 0
    or 1, room for the results), or None."""
    given = call["inputs"]
    points = given["xn_re_size"]
    if (given["null_state"] or given["outputs_null"] or given["xk_re_null"] or given["xk_im_null"]
            or given["xn_re"] is None or given["xn_im"] is None or given["direction"] not in (0, 1)
            or not len(given["xn_re"]) == len(given["xn_im"]) == points == given["xn_im_size"]
            or min(given["xk_re_size"], given["xk_im_size"], given["xk_re_capacity"], given["xk_im_capacity"]) < points):
        return None
    x = np.empty(points, np.complex128)
    x.real, x.imag = doubles(given["xn_re"]), doubles(given["xn_im"])
    return x


def lines(text, kind):
    return list(dict.fromkeys(line for line in text.splitlines() if line.startswith(kind)))


def test_sample_through_fft():
    replayed = 0
    for case in load_cases():
        if case["create_state"]["null"]:
            with pytest.raises(vfft.VfftError) as raised:
                vfft.FFT.from_generics(case["generics"])
            assert raised.value.message + "\n" == case["create_state"]["stderr"], case["id"]
            continue
        with vfft.FFT.from_generics(case["generics"]) as fft:
            for number, call in enumerate(case["calls"]):
                x = plain_call(call)
                given, expected = call["inputs"], call["expected"]
                if x is None or (fft.uses_schedule and given["scaling_sch"] is None):
                    continue
                schedule = np.array(given["scaling_sch"], np.int32) if fft.uses_schedule else None
                where = f"{case['id']} call {number}"
                with warnings.catch_warnings(record=True) as caught:
                    warnings.simplefilter("always")
                    try:
                        result = fft(x, nfft=given["nfft"], inverse=given["direction"] == 0, schedule=schedule)
                    except vfft.VfftError as error:
                        assert (error.code, [error.message]) == (expected["rc"], lines(expected["stderr"], "ERROR")), where
                        result = None
                assert [str(w.message) for w in caught] == lines(expected["stderr"], "WARNING"), where
                if result is not None:
                    assert expected["rc"] == 0, where
                    assert (result.blk_exp, result.overflow) == (expected["blk_exp"], expected["overflow"]), where
                    assert_same_doubles(result.y.real, expected["xk_re"][:len(x)], fft.float_mode, where)
                    assert_same_doubles(result.y.imag, expected["xk_im"][:len(x)], fft.float_mode, where)
                replayed += 1
    assert replayed > 30
