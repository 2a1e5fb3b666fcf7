"""Return codes of a simulation call and the exception that carries them."""

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

CODE_MEANINGS = {
    1: "the state pointer is null",
    2: "the outputs pointer is null",
    3: "the state has no radix-4 engine",
    4: "the state has no radix-2 engine",
    5: "the state has no pipelined engine",
    6: "nfft is outside 6 to C_NFFT_MAX",
    7: "nfft is outside 3 to C_NFFT_MAX",
    8: "xn_re is null",
    9: "xn_re_size is not 2^nfft",
    10: "a real input value is out of range",
    11: "xn_im is null",
    12: "xn_im_size is not 2^nfft",
    13: "an imaginary input value is out of range",
    14: "scaling_sch is null although the core needs a schedule",
    15: "scaling_sch_size is not ceil(nfft/2)",
    16: "scaling_sch_size is not nfft",
    17: "a schedule value is outside 0 to 3",
    18: "the final radix-2 stage's schedule value is above 1",
    19: "direction is neither 0 nor 1",
    20: "xk_re is null",
    21: "xk_im is null",
    22: "xk_re_size is less than 2^nfft",
    23: "xk_im_size is less than 2^nfft",
}


def code_name(code):
    """Short name of a return code; 'ok' for 0, 'unknown' for codes the library never returns."""
    if code == 0:
        return "ok"
    return CODE_NAMES.get(code, "unknown")


class VfftError(RuntimeError):
    """A simulation call returned a non-zero code.

    `code` is the library's return code, `name` its short name; the library
    has written its own one-line message to standard error.
    """

    def __init__(self, code):
        self.code = code
        self.name = code_name(code)
        meaning = CODE_MEANINGS.get(code, "not a code of this library")
        super().__init__(f"simulation call failed with code {code} ({self.name}): {meaning}")

    def __reduce__(self):
        return (VfftError, (self.code,))
