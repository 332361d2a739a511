"""formicula.survey against the survey command's CSV."""

import _thread
import csv
import io
import os
import re
import subprocess
import threading
import time

import pytest

import formicula

CLI = os.environ.get("FORMICULA_CLI", "formicula-cli")


def cli_rows(*options):
    out = subprocess.run([CLI, "survey", "--csv", "--quiet", *options], check=True,
                         capture_output=True, text=True).stdout
    reader = csv.DictReader(io.StringIO(out))
    # docs/python.md: an empty cell is None, a whole number an int, true and false a bool,
    # the rest a str.
    cell = lambda text: (None if text == "" else int(text) if re.fullmatch(r"-?\d+", text)
                         else text == "true" if text in ("true", "false") else text)
    return reader.fieldnames, [{name: cell(text) for name, text in row.items()} for row in reader]


@pytest.mark.parametrize("keywords,options", [
    ({"letters": (1, 6)}, ["--letters", "1-6"]),
    ({"letters": 4, "plane": True, "max_iterations": 100000, "max_memory": 256 << 20, "jobs": 1},
     ["--letters", "4", "--plane", "--max-iterations", "100000", "--max-memory", "256M"]),
    ({"letters": (2, 3), "size": 31, "max_period": 50}, ["--letters", "2-3", "--size", "31",
                                                          "--max-period", "50"]),
    ({"numbers": (5, 127), "max_iterations": 300000}, ["--numbers", "5-127",
                                                       "--max-iterations", "300000"]),
    ({"numbers": 3147, "plane": True, "max_iterations": 100000},
     ["--numbers", "3147", "--plane", "--max-iterations", "100000"]),
    ({"numbers": (8192, 8260), "plane": True, "max_iterations": 200000, "types": True},
     ["--numbers", "8192-8260", "--plane", "--max-iterations", "200000", "--types"]),
])
def test_rows_are_the_command_lines(keywords, options):
    names, expected = cli_rows(*options)
    rows = formicula.survey(**keywords)
    assert rows == expected
    assert all(list(row) == names for row in rows)


@pytest.mark.parametrize("keywords,words", [
    ({"letters": 0}, r"letters must be N or \(A, B\) with 1 <= A <= B <= 32, not 0"),
    ({"letters": (5, 3)}, "letters must be N or"),
    ({"letters": (1, 32)}, "a survey takes at most 16777216 rules, not 8589934590"),
    ({"letters": 33}, "letters must be N or"),
    ({"letters": "1-6"}, "letters must be N or"),
    ({"letters": 2, "jobs": 0}, "jobs must be from 1 to 1024"),
    ({"letters": 2, "max_iterations": 0}, "max_iterations must be from 1"),
    ({"letters": 2, "size": 65536}, "take more than max_memory"),
    ({}, "give either letters or numbers"),
    ({"letters": 2, "numbers": 5}, "give either letters or numbers"),
    ({"numbers": (1, 2**32)}, r"numbers must be N or \(A, B\) with 1 <= A <= B <= 4294967295"),
])
def test_bad_arguments_are_value_errors(keywords, words):
    with pytest.raises(ValueError, match=words):
        formicula.survey(**keywords)


def test_ctrl_c_stops_a_long_survey():
    fired = []

    def interrupt():
        fired.append(time.monotonic())
        _thread.interrupt_main()

    threading.Timer(0.3, interrupt).start()
    with pytest.raises(KeyboardInterrupt):
        formicula.survey(letters=12, max_iterations=10**12, jobs=2)
    assert time.monotonic() - fired[0] < 0.5
