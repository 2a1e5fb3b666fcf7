"""A study's table, one row per grid point from the per-frame measurements,
and the plots that the table's grid supports."""

import itertools
from pathlib import Path

import numpy as np
import pandas as pd

from .description import PARAMETER_COLUMNS


def build_table(points, percentiles, tasks, outcomes):
    """The table: each point's parameters, then SQNR statistics, the largest
    error, the overflow rate and the block-exponent histogram."""
    per_point = [[] for _ in points]
    for task, outcome in zip(tasks, outcomes):
        per_point[task.point].append(outcome)
    measured = [{key: np.concatenate([batch[key] for batch in batches]) for key in batches[0]}
                for batches in per_point]
    exponents = sorted(set(itertools.chain.from_iterable(np.unique(m["blk_exp"]).tolist() for m in measured)))
    rows = []
    for params, m in zip(points, measured):
        sqnr = m["sqnr"]
        row = dict(params, frames=len(sqnr), sqnr_mean=float(np.mean(sqnr)), sqnr_min=float(np.min(sqnr)))
        for q in percentiles:
            row[f"sqnr_p{q:g}"] = float(np.percentile(sqnr, q))
        row["max_error_lsb"] = float(np.max(m["error_lsb"]))
        row["overflow_rate"] = float(np.mean(m["overflow"]))
        for e in exponents:
            row[f"blk_exp_{e}"] = int(np.count_nonzero(m["blk_exp"] == e))
        rows.append(row)
    return pd.DataFrame(rows)


def _series(table, x):
    """Lines along `x`: groups of rows that differ in anything but `x`, each
    labelled by what sets it apart; groups with a single value of `x` are left out."""
    fixed = ("points", "frames")
    varying = [c for c in PARAMETER_COLUMNS if c != x and c not in fixed and table[c].nunique() > 1]
    # A single column groups by its values: a list of one would give tuples of one.
    groups = table.groupby(varying if len(varying) > 1 else varying[0], sort=False) if varying else [((), table)]
    for values, rows in groups:
        if rows[x].nunique() < 2:
            continue
        values = values if isinstance(values, tuple) else (values,)
        label = ", ".join(str(v) if c in ("arch", "scaling", "rounding", "direction") else f"{c} {v}"
                          for c, v in zip(varying, values))
        yield label, rows.sort_values(x)


def _common(table):
    """What all rows share, in words, for a plot's title."""
    words = {"arch": "{}", "points": "{} points", "twiddle_width": "{}-bit twiddles", "direction": "{}",
             "level": "level {:g}"}
    return ", ".join(form.format(table[c].iloc[0]) for c, form in words.items() if table[c].nunique() == 1)


def _figure(title, table):
    from matplotlib.figure import Figure

    figure = Figure(figsize=(8, 5))
    axes = figure.add_subplot()
    axes.set_title(f"{title}\n{_common(table)}, {int(table['frames'].min())} frames or more per point", fontsize=10)
    axes.grid(True, alpha=0.3)
    return figure, axes


def plot_study(table, directory):
    """Writes the plots that the table's grid supports into `directory` and
    returns their paths: sqnr_vs_width.png (mean SQNR against input width, a
    line per scaling and rounding mode and whatever else varies, the band
    spanning the reported percentiles) when fixed-point points differ only
    in their width, and overflow_vs_level.png (overflow rate against the
    signal's level, for scheduled cores, which report overflow) when
    scheduled points differ only in their level."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    written = []
    fixed = table[~table["float_mode"]]
    lines = list(_series(fixed, "input_width"))
    if lines:
        bands = [c for c in table.columns if c.startswith("sqnr_p")]
        shaded = f" (mean; shaded from {bands[0][6:]}th to {bands[-1][6:]}th percentile)" if bands else " (mean)"
        figure, axes = _figure("SQNR against input width" + shaded, pd.concat([rows for _, rows in lines]))
        for label, rows in lines:
            line, = axes.plot(rows["input_width"], rows["sqnr_mean"], marker="o", label=label or None)
            if bands:
                axes.fill_between(rows["input_width"], rows[bands[0]], rows[bands[-1]], color=line.get_color(),
                                  alpha=0.15)
        axes.set_xlabel("input width (bits)")
        axes.set_ylabel("SQNR against a double-precision DFT (dB)")
        written.append(_save(figure, axes, directory / "sqnr_vs_width.png"))
    lines = list(_series(fixed[fixed["scaling"] == "schedule"], "level"))
    if lines:
        figure, axes = _figure("Overflow rate against input level, scheduled scaling",
                               pd.concat([rows for _, rows in lines]))
        for label, rows in lines:
            axes.plot(rows["level"], rows["overflow_rate"], marker="o", label=label or None)
        axes.set_xlabel("signal level (gain of the signal model)")
        axes.set_ylabel("frames with overflow")
        axes.set_ylim(-0.05, 1.05)
        written.append(_save(figure, axes, directory / "overflow_vs_level.png"))
    return written


def _save(figure, axes, path):
    if axes.get_legend_handles_labels()[1]:
        axes.legend(fontsize=8)
    figure.savefig(path, dpi=80)
    return path
