"""formicula.run against the command line and the field it returns."""

import _thread
import json
import os
import subprocess
import threading
import time

import numpy
import pytest

import formicula

CLI = os.environ.get("FORMICULA_CLI", "formicula-cli")


def cli_run(*arguments):
    out = subprocess.run([CLI, "run", "--json", *arguments], check=True,
                         capture_output=True, text=True).stdout
    return json.loads(out)


CASES = [
    # rule, keyword arguments, the same as command-line options
    ("LR", {}, []),
    ("RRLRLRR", {"max_iterations": 10**12}, ["--max-iterations", str(10**12)]),
    ("RLR", {"max_iterations": 300000}, ["--max-iterations", "300000"]),
    ("RL", {"size": 101}, ["--size", "101"]),
    ("LR", {"plane": True, "max_iterations": 100000}, ["--plane", "--max-iterations", "100000"]),
    ("RRLR", {"plane": True, "max_period": 500, "max_iterations": 400000},
     ["--plane", "--max-period", "500", "--max-iterations", "400000"]),
    ("LLLLLLLLLLLR", {"size": 40}, ["--size", "40"]),
    # Far past its proof: the state from the highway's periods, its box's blank cells past
    # 64 bits (None), too many cells for an array.
    ("LR", {"plane": True, "max_iterations": 10**18}, ["--plane", "--max-iterations", str(10**18)]),
]


@pytest.mark.parametrize("rule,keywords,options", CASES)
def test_run_equals_the_command_line(rule, keywords, options):
    result = formicula.run(rule, **keywords)
    printed = cli_run(rule, *options)
    assert result.rule == printed["rule"]
    assert result.iterations == printed["iterations"]
    assert result.finished == printed["finished"]
    assert (result.x, result.y, result.direction) == (printed["x"], printed["y"],
                                                      printed["direction"])
    assert result.colours == printed["colours"]
    if "outcome" in printed:
        assert result.outcome == printed["outcome"]
    if printed["highway_period"] is None:
        assert result.highway is None
    else:
        assert result.highway == {
            "period": printed["highway_period"], "onset": printed["highway_onset"],
            "drift": (printed["highway_drift_x"], printed["highway_drift_y"]),
            "certified_at": printed["highway_certified_at"]}


@pytest.mark.parametrize("rule,keywords,options", CASES)
def test_field_holds_the_counted_colours(rule, keywords, options):
    result = formicula.run(rule, **keywords)
    field = result.field
    if field is None:
        assert result.colours[0] is None and result.iterations == 10**18
        return
    assert field.dtype == numpy.uint8 and field.ndim == 2
    if not result.plane:
        size = keywords.get("size", 250)
        assert field.shape == (size, size) and result.origin == (0, 0)
    counts = numpy.bincount(field.ravel(), minlength=13)
    assert list(counts) == result.colours
    if result.plane:
        # The visited box: every edge row and column holds a coloured cell.
        assert field[0].any() and field[-1].any() and field[:, 0].any() and field[:, -1].any()


@pytest.mark.parametrize("keywords,words", [
    ({"rule": "LRX"}, "unknown character 'X'"),
    ({"rule": ""}, "the rule is empty"),
    ({"rule": "LR" * 16 + "L"}, "at most 32"),
    ({"rule": "LR", "size": 2}, "size must be from 3 to 65536"),
    ({"rule": "LR", "max_iterations": 0}, "max_iterations must be from 1"),
    ({"rule": "LR", "max_period": 10**9}, "max_period must be at most"),
    ({"rule": "LR", "size": 65536}, "takes more than max_memory"),
])
def test_bad_arguments_are_value_errors(keywords, words):
    with pytest.raises(ValueError, match=words):
        formicula.run(**keywords)


def test_memory_limit_is_an_outcome():
    result = formicula.run("RLR", plane=True, max_memory=1 << 20, max_iterations=10**9)
    assert result.outcome == "memory"


def test_ctrl_c_stops_a_long_run():
    threading.Timer(0.3, _thread.interrupt_main).start()
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        formicula.run("RLR", size=4000, max_iterations=2**62, max_period=0)
    assert time.monotonic() - started < 5
