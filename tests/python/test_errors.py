"""Bad arguments: ValueError or TypeError before the library is called, and
the library's own return codes as VfftError when its checks are asked for."""

import pickle

import numpy as np
import pytest

import vfft
from vfft import capi


def make(**kwargs):
    return lambda: vfft.FFT(**kwargs)


def call(config, *args, **kwargs):
    def run():
        with vfft.FFT(**config) as fft:
            fft(*args, **kwargs)
    return run


def many(config, *args, **kwargs):
    def run():
        with vfft.FFT(**config) as fft:
            fft.run_many(*args, **kwargs)
    return run


R2 = dict(nfft_max=6, arch="radix2")
R4 = dict(nfft_max=7, arch="radix4")
Z64, Z128 = np.zeros(64), np.zeros(128)


def with_value(n, index, value):
    x = np.zeros(n, complex)
    x[index] = value
    return x


BAD_ARGUMENTS = [
    ("arch", make(arch="radix8"), ValueError, "arch 'radix8' is not one of: radix4, radix2, pipelined, radix2-lite"),
    ("scaling", make(scaling="auto"), ValueError, "scaling 'auto' is not one of: unscaled, schedule, bfp"),
    ("nfft_max range", make(nfft_max=17), ValueError, "C_NFFT_MAX = 17 is outside its range 3 to 16"),
    ("nfft_max type", make(nfft_max=10.0), TypeError, "nfft_max must be an integer"),
    ("radix-4 length", make(nfft_max=5), ValueError, "radix-4 core (C_ARCH 1) needs at least 6"),
    ("float width", make(float_mode=True, input_width=16), ValueError, "C_USE_FLT_PT = 1 needs C_INPUT_WIDTH = 32"),
    ("unknown generic", lambda: vfft.FFT.from_generics({"C_NFFT": 3}), ValueError, "unknown generic 'C_NFFT'"),
    ("bool generic", lambda: vfft.FFT.from_generics({"C_ARCH": True}), TypeError, "C_ARCH must be an integer"),
    ("generics type", lambda: vfft.FFT.from_generics([1, 2]), TypeError, "generics must be a mapping"),
    ("dtype", call(R2, np.zeros(64, np.int16)), TypeError, "got dtype int16; integer codes convert with"),
    ("shape", call(R2, np.zeros((2, 64))), ValueError, "x must be a 1-D frame, got shape (2, 64)"),
    ("length", call(R2, np.zeros(32)), ValueError, "x has 32 samples per frame, expected 2^6 = 64"),
    ("fixed nfft", call(R2, Z64, nfft=5), ValueError, "nfft = 5: this core has the fixed length 2^6"),
    ("runtime nfft", call(dict(R4, runtime_nfft=True), np.zeros(32)), ValueError, "nfft = 5 is outside 6 to 7"),
    ("value 1.0", call(R2, with_value(64, 3, 1.0)), ValueError, "x[3].real = 1.0 is out of range: expected -1.0 <="),
    ("imag value", call(R2, with_value(64, 9, -1.5j)), ValueError, "x[9].imag = -1.5 is out of range"),
    ("nan", call(R2, with_value(64, 2, np.nan)), ValueError, "x[2].real = nan is out of range"),
    ("float range", call(dict(R2, float_mode=True), with_value(64, 1, 3.4028235e38)), ValueError,
     "x[1].real = 3.4028235e+38 is out of range: expected -3.40282e+38 <= value"),
    ("schedule length", call(R4, Z128, schedule=[2, 2, 2]), ValueError,
     "schedule has 3 values, expected 4: one per radix-4 stage of a 2^7-point transform"),
    ("schedule value", call(R2, Z64, schedule=[1, 1, 4, 1, 1, 1]), ValueError, "schedule values must be 0 to 3"),
    ("final stage", call(R4, Z128, schedule=[2, 2, 2, 2]), ValueError, "radix-2 stage (odd nfft = 7) and must be 0"),
    ("schedule type", call(R2, Z64, schedule=[1.0] * 6), TypeError, "schedule must hold integers"),
    ("schedule where none", call(dict(R2, scaling="bfp"), Z64, schedule=[1] * 6), ValueError,
     "schedule applies to scaling='schedule' in fixed point only; this core is bfp"),
    ("frames shape", many(R2, Z64), ValueError, "frames must be a 2-D array of frames"),
    ("no frames", many(R2, np.zeros((0, 64))), ValueError, "frames holds no frame"),
    ("frame value", many(R2, np.stack([Z64, with_value(64, 5, 2.0)])), ValueError, "frames[1, 5].real = 2.0"),
    ("workers", many(R2, np.zeros((2, 64)), workers=0), ValueError, "workers must be at least 1, got 0"),
    ("schedule rows", many(R2, np.zeros((2, 64)), schedule=np.ones((3, 6), int)), ValueError,
     "one row per frame (2), got shape (3, 6)"),
]


@pytest.mark.parametrize("action,error,text", [case[1:] for case in BAD_ARGUMENTS],
                         ids=[case[0] for case in BAD_ARGUMENTS])
def test_bad_arguments_fail_before_the_library_is_called(capfd, action, error, text):
    with pytest.raises(error) as raised:
        action()
    assert text in str(raised.value)
    assert capfd.readouterr().err == ""


LIBRARY_CODES = [
    # (core, frame, call arguments, code, start of the library's message)
    (dict(R4, runtime_nfft=True), np.zeros(32), dict(nfft=5), 6, "nfft input 5 out of legal range 6 to C_NFFT_MAX"),
    (dict(R2, runtime_nfft=True), np.zeros(128), dict(nfft=7), 7, "nfft input 7 out of legal range 3 to C_NFFT_MAX"),
    (R2, np.zeros(32), {}, 9, "incorrect xn_re_size input 32: must be 2^nfft = 64"),
    (R2, with_value(64, 3, 1.0), {}, 10, "invalid real data value: xn_re[3] = 1: all values must be in the range"),
    (R2, with_value(64, 4, -2j), {}, 13, "invalid imaginary data value: xn_im[4] = -2"),
    (R4, Z128, dict(schedule=[1, 1]), 15, "incorrect scaling_sch_size input 2: must be ceil(nfft/2) = 4"),
    (R2, Z64, dict(schedule=[1] * 5), 16, "incorrect scaling_sch_size input 5: must be nfft = 6"),
    (R2, Z64, dict(schedule=[1, 1, 1, 1, 1, 9]), 17, "invalid scaling value: scaling_sch[5] = 9"),
    (R4, Z128, dict(schedule=[2, 2, 2, 3]), 18, "invalid scaling value: scaling value in the final stage, scaling_sch[3] = 3"),
]


@pytest.mark.parametrize("config,x,kwargs,code,message", LIBRARY_CODES, ids=[str(c[3]) for c in LIBRARY_CODES])
def test_unchecked_calls_raise_the_library_code(capfd, config, x, kwargs, code, message):
    with vfft.FFT(**config) as fft, pytest.raises(vfft.VfftError) as raised:
        fft(x, check=False, **kwargs)
    assert raised.value.code == code and raised.value.name == vfft.CODE_NAMES[code]
    assert f"code {code} ({vfft.CODE_NAMES[code]})" in str(raised.value)
    err = capfd.readouterr().err
    assert err.startswith("ERROR:vfft_v8_0:simulate called with " + message) and err.count("\n") == 1


def test_unchecked_length_on_fixed_core_warns_and_uses_the_full_length(capfd):
    with vfft.FFT(**R2) as fft:
        result = fft(Z64, nfft=4, check=False)
    assert result.y.shape == (64,)
    assert capfd.readouterr().err.startswith(
        "WARNING:vfft_v8_0:simulate called with nfft input = 4, different from C_NFFT_MAX = 6")


def test_code_names_cover_every_code_once():
    assert sorted(vfft.CODE_NAMES) == list(range(1, 24))
    assert len(set(vfft.CODE_NAMES.values())) == 23
    assert sorted(vfft.CODE_MEANINGS) == list(range(1, 24))
    assert (vfft.code_name(0), vfft.code_name(24)) == ("ok", "unknown")
    error = pickle.loads(pickle.dumps(vfft.VfftError(17)))
    assert (error.code, error.name) == (17, "scaling_value")


GENERICS_EDGES = [
    ({"C_NFFT_MAX": 2}, False), ({"C_NFFT_MAX": 16, "C_ARCH": 3}, True), ({"C_ARCH": 0}, False),
    ({"C_ARCH": 5}, False), ({"C_HAS_NFFT": 2}, False), ({"C_INPUT_WIDTH": 7}, False),
    ({"C_INPUT_WIDTH": 34, "C_TWIDDLE_WIDTH": 34}, True), ({"C_TWIDDLE_WIDTH": 35}, False),
    ({"C_HAS_SCALING": -1}, False), ({"C_HAS_BFP": 2}, False), ({"C_HAS_ROUNDING": 7, "C_USE_FLT_PT": 5}, False),
    ({"C_USE_FLT_PT": 1, "C_INPUT_WIDTH": 32}, True), ({"C_USE_FLT_PT": 1}, False),
    ({"C_ARCH": 1, "C_NFFT_MAX": 5}, False), ({"C_ARCH": 2, "C_NFFT_MAX": 3}, True),
    ({"C_ARCH": 2, "C_NFFT_MAX": 3, "C_HAS_NFFT": 1}, False), ({"C_ARCH": 2, "C_NFFT_MAX": 4, "C_HAS_NFFT": 1}, True),
    ({"C_ARCH": 1, "C_NFFT_MAX": 6, "C_HAS_NFFT": 1}, False), ({"C_ARCH": 1, "C_NFFT_MAX": 7, "C_HAS_NFFT": 1}, True),
    ({"C_HAS_SCALING": 0, "C_HAS_BFP": 1}, False),
    ({"C_HAS_SCALING": 0, "C_HAS_BFP": 1, "C_USE_FLT_PT": 1, "C_INPUT_WIDTH": 32}, False),
]


@pytest.mark.parametrize("generics,valid", GENERICS_EDGES)
def test_generics_checks_agree_with_the_library(capfd, generics, valid):
    library = capi.load_library()
    record = library.default_generics()
    for name, value in generics.items():
        setattr(record, name, value)
    state = library.create_state(record)
    library.destroy_state(state)
    assert bool(state) == valid
    assert capfd.readouterr().err.startswith("ERROR:vfft_v8_0:create_state called with ") != valid
    if valid:
        vfft.FFT.from_generics(generics).close()
    else:
        with pytest.raises(ValueError):
            vfft.FFT.from_generics(generics)


def test_missing_libraries_name_the_file_looked_for(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        vfft.FFT(reference=True, library=tmp_path)
    assert str(tmp_path / "libvfft_v8_0_reference.so") in str(raised.value)
    with pytest.raises(FileNotFoundError, match="libvfft_v8_0.so: no such file"):
        vfft.FFT(library=tmp_path)


def test_closed_core_refuses_calls():
    fft = vfft.FFT(**R2)
    with fft:
        fft(Z64)
    assert fft.closed
    with pytest.raises(ValueError, match="this FFT is closed"):
        fft(Z64)
    fft.close()
