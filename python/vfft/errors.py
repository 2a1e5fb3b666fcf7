"""The library's messages in Python: its return codes, the exception that
carries an error line, the warning category of its warning lines, and the
sink through which a state's lines reach them."""

import warnings

from . import capi

CODE_NAMES = {
    1: "null_state",
    2: "null_outputs",
    3: "corrupted_state_radix4",
    4: "corrupted_state_radix2",
    5: "corrupted_state_pipelined",
    6: "nfft_out_of_range_radix4",
    7: "nfft_out_of_range",
    8: "null_xn_re",
    9: "xn_re_size",
    10: "xn_re_value",
    11: "null_xn_im",
    12: "xn_im_size",
    13: "xn_im_value",
    14: "null_scaling_sch",
    15: "scaling_sch_size_per_radix4_stage",
    16: "scaling_sch_size_per_radix2_stage",
    17: "scaling_value",
    18: "scaling_final_stage",
    19: "direction",
    20: "null_xk_re",
    21: "null_xk_im",
    22: "xk_re_size",
    23: "xk_im_size",
}


def code_name(code):
    """Short name of a return code; 'ok' for 0, 'unknown' for codes the library never returns."""
    if code == 0:
        return "ok"
    return CODE_NAMES.get(code, "unknown")


class VfftError(ValueError):
    """The library refused a call or a configuration.

    `message` is the library's own line ("ERROR:vfft_v8_0:..."); `code` the
    call's return code (None when create_state refused the generics) and
    `name` its short name; `where` names the frame the call stopped at.
    """

    def __init__(self, code, message, where=None):
        self.code = code
        self.name = None if code is None else code_name(code)
        self.message = message
        self.where = where
        super().__init__(message if where is None else f"{message} ({where})")

    def __reduce__(self):
        return (VfftError, (self.code, self.message, self.where))


class VfftWarning(UserWarning):
    """A warning line of the library ("WARNING:vfft_v8_0:..."), such as off-grid input."""


class Messages:
    """Collects the lines that the library writes for one state, through a sink
    that lives as long as the state."""

    def __init__(self):
        self.lines = []
        self.sink = capi.Sink(self._receive)

    def _receive(self, user, line):
        self.lines.append(line.decode("utf-8", "replace"))

    def take(self):
        lines, self.lines = self.lines, []
        return lines


def report(lines, code=0, where=None, stacklevel=3):
    """Turns a call's lines into Python: each distinct warning line once as a
    VfftWarning, then a VfftError with the first error line when `code` is not 0."""
    for line in dict.fromkeys(line for line in lines if line.startswith("WARNING:")):
        warnings.warn(line, VfftWarning, stacklevel=stacklevel)
    if code != 0:
        errors = [line for line in lines if line.startswith("ERROR:")]
        raise VfftError(code, errors[0] if errors else f"the library returned code {code} without a message", where)
