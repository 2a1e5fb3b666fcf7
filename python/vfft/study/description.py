"""Checking a study description: field values, grid axes, and the grid points
they make, each checked by the library's rules for its configuration."""

import math
import numbers

from .. import capi
from ..config import ARCHES, ROUNDINGS, SCALINGS, WORDS, Configuration, core_generics


class StudySpecError(ValueError):
    """A study description that cannot run; `field` names the offending entry."""

    def __init__(self, field, message):
        super().__init__(f"{field}: {message}")
        self.field = field


def fail(field, value, expected):
    raise StudySpecError(field, f"{value!r} is not valid: expected {expected}")


def integer(value, field, low=None, high=None):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        fail(field, value, "an integer")
    if (low is not None and value < low) or (high is not None and value > high):
        bounds = f"from {low} to {high}" if high is not None else f"of at least {low}"
        fail(field, value, f"an integer {bounds}")
    return int(value)


def number(value, field):
    if isinstance(value, bool) or not isinstance(value, numbers.Real) or not math.isfinite(value):
        fail(field, value, "a finite number")
    return float(value)


def flag(value, field):
    if not isinstance(value, bool):
        fail(field, value, "true or false")
    return value


def level(value, field):
    gain = number(value, field)
    if gain <= 0.0:
        fail(field, value, "a gain above 0")
    return gain


def _word(table):
    def check(value, field):
        if not isinstance(value, str) or value not in table:
            fail(field, value, "one of " + ", ".join(table))
        return value
    return check


def _schedule(value, field):
    if value == "default":
        return value
    if not isinstance(value, (list, tuple)) or not value:
        fail(field, value, '"default" or a list of right shifts, one per stage')
    return tuple(integer(shift, f"{field}[{i}]", 0) for i, shift in enumerate(value))


DIRECTIONS = ("forward", "inverse")

# Grid axes: the core's options in the command-line program's words, the
# call's, the library's and the signal's, and the raw generics.
_CALL_AXES = {
    "nfft": integer,
    "direction": _word(dict.fromkeys(DIRECTIONS)),
    "schedule": _schedule,
    "reference": flag,
    "level": level,
}
_CHECKS = {"arch": _word(ARCHES), "nfft_max": integer, "input_width": integer, "twiddle_width": integer,
           "scaling": _word(SCALINGS), "rounding": _word(ROUNDINGS), "runtime_nfft": flag, "float_mode": flag}
_CHECKS.update(_CALL_AXES)
_CHECKS.update({name: integer for name in capi.GENERIC_NAMES})
GRID_AXES = tuple(_CHECKS)

# Columns of a study table that describe its point, in this order.
PARAMETER_COLUMNS = ("arch", "nfft_max", "nfft", "points", "input_width", "twiddle_width", "scaling", "rounding",
                     "runtime_nfft", "float_mode", "reference", "direction", "schedule", "level")


def axes(grid, field):
    """The grid's axes as (key, checked values) pairs, in the grid's order."""
    if not isinstance(grid, dict) or not grid:
        fail(field, grid, "a mapping of grid axes to lists of values")
    checked = []
    for key, values in grid.items():
        where = f"{field}.{key}"
        if key not in _CHECKS:
            raise StudySpecError(where, "is not a grid axis; the axes are " + ", ".join(GRID_AXES))
        if key == "schedule" and (values == "default" or (isinstance(values, list) and values
                                                          and not isinstance(values[0], (list, tuple, str)))):
            values = [values]
        elif not isinstance(values, (list, tuple)):
            values = [values]
        if not values:
            raise StudySpecError(where, "is empty: expected at least one value")
        checked.append((key, [_CHECKS[key](value, f"{where}[{i}]") for i, value in enumerate(values)]))
    return checked


def describe(combination):
    return ", ".join(f"{key}={list(value) if isinstance(value, tuple) else value!r}"
                     for key, value in combination.items())


def point(combination, where, signal_level, library):
    """The point's table parameters, its configuration and its schedule (None
    for the default), from one combination of grid values."""
    words = {key: value for key, value in combination.items() if key in WORDS}
    raw = {key: value for key, value in combination.items() if key in capi.GENERIC_NAMES}
    reference = combination.get("reference", False)
    try:
        config = Configuration(core_generics(words, raw), reference=reference, library=library)
        nfft = combination.get("nfft", config.nfft_max)
        rules = config.describe(nfft)
    except (TypeError, ValueError) as error:
        raise StudySpecError(where, str(error)) from None
    schedule = combination.get("schedule", "default")
    if schedule != "default":
        given = list(schedule)
        if rules.stages == 0:
            raise StudySpecError(where, f"schedule {given}: this core takes no schedule; give \"default\"")
        if len(given) != rules.stages:
            raise StudySpecError(where, f"schedule {given} has {len(given)} values, expected {rules.stages}: "
                                 f"one per stage of a 2^{nfft}-point {config.arch} transform")
        for stage, (shift, largest) in enumerate(zip(given, rules.schedule_max)):
            if shift > largest:
                raise StudySpecError(where, f"schedule {given}: {shift} at stage {stage} is above {largest}, "
                                     f"the largest shift of that stage")
    if "level" in combination and signal_level is not None:
        raise StudySpecError(where, "level is given both by the grid and by signal.level; give one of them")
    params = {"arch": config.arch, "nfft_max": config.nfft_max, "nfft": nfft, "points": 1 << nfft,
              "input_width": config.input_width, "twiddle_width": config.twiddle_width,
              "scaling": config.scaling, "rounding": config.rounding, "runtime_nfft": config.runtime_nfft,
              "float_mode": config.float_mode, "reference": reference,
              "direction": combination.get("direction", "forward"),
              "schedule": schedule if schedule == "default" else ",".join(map(str, schedule)),
              "level": combination.get("level", 1.0 if signal_level is None else signal_level)}
    return params, config, None if schedule == "default" else list(schedule)
