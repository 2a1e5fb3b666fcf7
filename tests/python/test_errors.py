"""Bad arguments: TypeError or ValueError for what Python checks, and the
library's own lines as VfftError and VfftWarning for what the library
checks, with the place of the frame; nothing reaches standard error."""

import pickle
import warnings

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


def with_value(shape, index, value):
    x = np.zeros(shape, complex)
    x[index] = value
    return x


PYTHON_CHECKS = [
    ("arch", make(arch="radix8"), ValueError, "arch 'radix8' is not one of: radix4, radix2, pipelined, radix2-lite"),
    ("scaling", make(scaling="auto"), ValueError, "scaling 'auto' is not one of: unscaled, schedule, bfp"),
    ("nfft_max type", make(nfft_max=10.0), TypeError, "nfft_max must be an integer"),
    ("flag type", make(float_mode=1), TypeError, "float_mode must be True or False, got 1"),
    ("unknown generic", lambda: vfft.FFT.from_generics({"C_NFFT": 3}), ValueError, "unknown generic 'C_NFFT'"),
    ("bool generic", lambda: vfft.FFT.from_generics({"C_ARCH": True}), TypeError, "C_ARCH must be an integer"),
    ("generics type", lambda: vfft.FFT.from_generics([1, 2]), TypeError, "generics must be a mapping"),
    ("dtype", call(R2, np.zeros(64, np.int16)), TypeError, "got dtype int16; integer codes convert with"),
    ("scalar", call(R2, np.float64(0.5)), ValueError, "x must hold at least one frame, got a scalar"),
    ("axis", call(R2, np.zeros((2, 64)), axis=2), ValueError, "axis 2 is out of range for an array of 2 dimensions"),
    ("inverse", call(R2, Z64, inverse="yes"), TypeError, "inverse must be True or False, got 'yes'"),
    ("fixed nfft", lambda: vfft.FFT(**R2).describe(5), ValueError, "nfft = 5: this core has the fixed length 2^6"),
    ("runtime nfft", lambda: vfft.FFT(**R4, runtime_nfft=True).describe(5), ValueError, "nfft = 5 is outside 6 to 7"),
    ("schedule type", call(R2, Z64, schedule=[1.0] * 6), TypeError, "schedule must hold integers"),
    ("schedule where none", call(dict(R2, scaling="bfp"), Z64, schedule=[1] * 6), ValueError,
     "schedule [1, 1, 1, 1, 1, 1] given, but this core takes none (scaling='bfp', float_mode=False)"),
    ("workers", many(R2, np.zeros((2, 64)), workers=0), ValueError, "workers must be at least 1, got 0"),
    ("schedule rows", many(R2, np.zeros((2, 64)), schedule=np.ones((3, 6), int)), ValueError,
     "one per frame, of shape (2, 6), got shape (3, 6)"),
    ("out", call(R2, Z64, out=np.empty(64)), ValueError, "out must be a complex128 array of shape (64,)"),
]


@pytest.mark.parametrize("action,error,text", [case[1:] for case in PYTHON_CHECKS],
                         ids=[case[0] for case in PYTHON_CHECKS])
def test_python_checks_fail_before_the_library_is_called(capfd, action, error, text):
    with pytest.raises(error) as raised:
        action()
    assert text in str(raised.value)
    assert capfd.readouterr().err == ""


CALL = "ERROR:vfft_v8_0:simulate called with "
LIBRARY_CHECKS = [
    # (core, frames, call arguments, code, the library's line after the prefix, place)
    (dict(R4, runtime_nfft=True), np.zeros(32), {}, 6, "nfft input 5 out of legal range 6 to C_NFFT_MAX", None),
    (dict(R2, runtime_nfft=True), np.zeros(128), dict(nfft=7), 7, "nfft input 7 out of legal range 3 to C_NFFT_MAX",
     None),
    (R2, np.zeros((3, 32)), {}, 9, "incorrect xn_re_size input 32: must be 2^nfft = 64", "frame 0 of 3, x[0, :]"),
    (R2, with_value((2, 64, 3), (1, 3, 2), 1.0), dict(axis=1), 10,
     "invalid real data value: xn_re[3] = 1: all values must be in the range -1.0 <= data < 1.0",
     "frame 5 of 6, x[1, :, 2]"),
    (R2, with_value(64, 4, -2j), {}, 13, "invalid imaginary data value: xn_im[4] = -2", None),
    (R4, Z128, dict(schedule=[1, 1]), 15, "incorrect scaling_sch_size input 2: must be ceil(nfft/2) = 4",
     "schedule [1, 1]"),
    (R2, np.zeros((2, 64)), dict(schedule=[1] * 5), 16, "incorrect scaling_sch_size input 5: must be nfft = 6",
     "frame 0 of 2, x[0, :]; schedule [1, 1, 1, 1, 1]"),
    (R2, np.zeros((2, 64)), dict(schedule=[[1] * 6, [1, 1, 9, 1, 1, 1]]), 17,
     "invalid scaling value: scaling_sch[2] = 9: all values must be in the range 0 to 3",
     "frame 1 of 2, x[1, :]; schedule [1, 1, 9, 1, 1, 1]"),
    (R4, Z128, dict(schedule=[2, 2, 2, 3]), 18, "invalid scaling value: scaling value in the final stage, "
     "scaling_sch[3] = 3", "schedule [2, 2, 2, 3]"),
]


@pytest.mark.parametrize("config,x,kwargs,code,message,where", LIBRARY_CHECKS, ids=[str(c[3]) for c in LIBRARY_CHECKS])
@pytest.mark.parametrize("threads", [False, True], ids=["call", "run_many"])
def test_library_checks_raise_its_line_and_the_frame(capfd, config, x, kwargs, code, message, where, threads):
    with vfft.FFT(**config) as fft, pytest.raises(vfft.VfftError) as raised:
        (fft.run_many(x, workers=2, **kwargs) if threads else fft(x, **kwargs))
    error = raised.value
    assert (error.code, error.name, error.where) == (code, vfft.CODE_NAMES[code], where)
    assert error.message.startswith(CALL + message) and "\n" not in error.message
    assert str(error) == error.message + ("" if where is None else f" ({where})")
    assert capfd.readouterr().err == ""
    copy = pickle.loads(pickle.dumps(error))
    assert (copy.code, copy.message, copy.where) == (code, error.message, where)


PREQUANTIZE = ("WARNING:vfft_v8_0:simulate called with real and/or imaginary data values that are not "
               "pre-quantized to signed two's-complement fixed-point values of precision C_INPUT_WIDTH = 16 bits.  "
               "All real and imaginary data will be internally rounded to the nearest quantization level for this "
               "precision (using convergent rounding to nearest even).")


def test_frames_before_a_refused_frame_are_delivered_and_each_warning_once(capfd):
    step = 2.0 ** -15
    x = np.zeros((3, 64), complex)
    x[:, 0] = 0.5 + step / 2          # off the grid: rounded with a warning in every frame
    x[2, 5] = 1.0                     # refused
    out = np.full(x.shape, 7.0 + 0j)
    with vfft.FFT(**R2) as fft, warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        with pytest.raises(vfft.VfftError, match=r"xn_re\[5\] = 1: .* \(frame 2 of 3, x\[2, :\]\)"):
            fft(x, out=out)
        expected = fft(vfft.quantize(x[:2], 16))
    assert [(w.category, str(w.message)) for w in caught] == [(vfft.VfftWarning, PREQUANTIZE)]
    np.testing.assert_array_equal(out[:2], expected.y)
    assert (out[2] == 7.0).all()
    assert capfd.readouterr().err == ""


def test_fixed_length_core_warns_and_uses_its_length():
    with vfft.FFT(**R2) as fft, pytest.warns(vfft.VfftWarning) as caught:
        result = fft(Z64, nfft=4)
    assert result.y.shape == (64,)
    assert [str(w.message) for w in caught] == [
        "WARNING:vfft_v8_0:simulate called with nfft input = 4, different from C_NFFT_MAX = 6, which is not "
        "permitted when C_HAS_NFFT is 0.  The nfft input will be ignored and C_NFFT_MAX used instead."]


GENERICS = [
    {"C_NFFT_MAX": 17}, {"C_ARCH": 5}, {"C_HAS_ROUNDING": 7, "C_USE_FLT_PT": 5}, {"C_USE_FLT_PT": 1},
    {"C_ARCH": 1, "C_NFFT_MAX": 5}, {"C_ARCH": 2, "C_NFFT_MAX": 3, "C_HAS_NFFT": 1},
    {"C_HAS_SCALING": 0, "C_HAS_BFP": 1}, {"C_ARCH": 2, "C_NFFT_MAX": 3}, {"C_USE_FLT_PT": 1, "C_INPUT_WIDTH": 32},
]


@pytest.mark.parametrize("generics", GENERICS, ids=lambda g: ",".join(f"{k}={v}" for k, v in g.items()))
def test_refused_generics_carry_the_line_create_state_writes(capfd, generics):
    library = capi.load_library()
    record = library.default_generics()
    for name, value in generics.items():
        setattr(record, name, value)
    state = library.create_state(record)
    library.destroy_state(state)
    line = capfd.readouterr().err
    assert line.startswith("ERROR:vfft_v8_0:create_state called with ") != bool(state)
    if state:
        assert vfft.check_generics(generics) == dict(vfft.default_generics(), **generics)
    else:
        with pytest.raises(vfft.VfftError) as raised:
            vfft.FFT.from_generics(generics)
        assert raised.value.code is None and raised.value.message + "\n" == line
    assert capfd.readouterr().err == ""


def test_code_names_cover_every_code_once():
    assert sorted(vfft.CODE_NAMES) == list(range(1, 24))
    assert len(set(vfft.CODE_NAMES.values())) == 23
    assert (vfft.code_name(0), vfft.code_name(24)) == ("ok", "unknown")


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
