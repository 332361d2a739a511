"""formicula.run from a start field against an ant stepped here, cell by cell."""

import json
import os
import subprocess

import numpy
import pytest

import formicula

CLI = os.environ.get("FORMICULA_CLI", "formicula-cli")
HEADINGS = "URDL"  # clockwise
MOVES = {"U": (0, -1), "R": (1, 0), "D": (0, 1), "L": (-1, 0)}


class Ant:
    """The automaton as docs/cli.md defines it: on a cell of colour c (a blank cell acts as
    colour 1) the ant turns by the rule's letter c, the cell becomes c + 1 (after the last
    colour, 1) and the ant steps on; a step off a bounded field is refused and ends the run."""

    def __init__(self, rule, cells, x, y, heading, size=None):
        self.rule, self.cells, self.size = rule, dict(cells), size
        self.x, self.y, self.heading = x, y, heading
        self.done, self.finished = 0, False

    def step_to(self, iterations):
        letters = len(self.rule)
        while self.done < iterations and not self.finished:
            read = max(self.cells.get((self.x, self.y), 0), 1)
            self.cells[(self.x, self.y)] = read % letters + 1
            turn = 1 if self.rule[read - 1] == "R" else 3
            self.heading = HEADINGS[(HEADINGS.index(self.heading) + turn) % 4]
            dx, dy = MOVES[self.heading]
            self.done += 1
            x, y = self.x + dx, self.y + dy
            if self.size is not None and not (0 <= x < self.size and 0 <= y < self.size):
                self.finished = True
            else:
                self.x, self.y = x, y

    def field(self):
        """The bounded field, or on the plane the box of the cells not blank, and its origin."""
        if self.size is not None:
            left = top = 0
            width = height = self.size
        else:
            coloured = [cell for cell, colour in self.cells.items() if colour]
            left = min(x for x, _ in coloured)
            top = min(y for _, y in coloured)
            width = max(x for x, _ in coloured) - left + 1
            height = max(y for _, y in coloured) - top + 1
        cells = numpy.zeros((height, width), dtype=numpy.uint8)
        for (x, y), colour in self.cells.items():
            if colour:
                cells[y - top, x - left] = colour
        return cells, (left, top)


def placed(start, origin, size):
    """The start's cells where docs/python.md puts them: centred on (size//2, size//2)."""
    rows, columns = start.shape
    ox, oy = origin if origin is not None else (size // 2 - columns // 2, size // 2 - rows // 2)
    return {(ox + c, oy + r): int(start[r, c]) for r in range(rows) for c in range(columns)}


def assert_same(result, ant):
    assert result.iterations == ant.done
    assert (result.x, result.y, result.direction) == (ant.x, ant.y, ant.heading)
    cells, origin = ant.field()
    assert result.origin == origin
    numpy.testing.assert_array_equal(result.field, cells)
    assert result.finished == ant.finished


CASES = [
    # rule, plane, size, start's shape, origin, ant, iterations compared at
    ("LR", True, 250, (7, 9), None, None, [1, 57, 2000, 30000, 100000]),
    ("RLR", True, 250, (12, 5), (-30, 40), (0, 0, "L"), [3, 700, 9000]),
    ("LLRR", False, 31, (6, 6), None, (3, 27, "D"), [1, 100, 3000, 50000]),
    ("RRLLLRLLLRRR", False, 40, (9, 14), (0, 31), None, [5, 400, 8000]),
    ("LRRRRRLLR", True, 101, (20, 20), None, (50, 50, "R"), [10, 2500, 20000]),
]


@pytest.mark.parametrize("rule,plane,size,shape,origin,ant,steps", CASES)
def test_run_from_a_start_steps_as_the_reference(rule, plane, size, shape, origin, ant, steps):
    random = numpy.random.default_rng(len(rule) * size)
    start = random.integers(0, len(rule) + 1, size=shape) * (random.random(shape) < 0.6)
    x, y, heading = ant if ant is not None else (size // 2, size // 2, "U")
    reference = Ant(rule, placed(start, origin, size), x, y, heading, None if plane else size)
    for iterations in steps:
        result = formicula.run(rule, plane=plane, size=size, max_iterations=iterations,
                               start=start, origin=origin, ant=ant)
        reference.step_to(iterations)
        assert_same(result, reference)


def test_a_cell_in_the_highways_way_is_not_skipped():
    # LR's highway from the blank plane meets cells of colour 2 far ahead (colour 1 would
    # act as blank): no proof may carry the run past them before it gets there.
    blank = Ant("LR", {}, 125, 125, "U")
    blank.step_to(20000)
    origin = (blank.x - 1, blank.y - 1)
    start = numpy.full((3, 3), 2)
    mined = Ant("LR", placed(start, origin, 250), 125, 125, "U")
    for iterations in (15000, 40000, 100000):
        result = formicula.run("LR", plane=True, max_iterations=iterations, start=start,
                               origin=origin)
        mined.step_to(iterations)
        assert_same(result, mined)
        # Without them the highway is proven from 9977 on.
        assert result.highway is None or result.highway["onset"] > 20000
    blank.step_to(100000)
    assert (blank.x, blank.y) != (mined.x, mined.y)


@pytest.mark.parametrize("keywords,words", [
    ({"start": [[0, 3]]}, r"start\[0\]\[1\]: colour 3 is not one of the rule's colours 0 to 2"),
    ({"start": [[-1]]}, r"start\[0\]\[0\]: colour -1 is not one of"),
    ({"start": [[0.5]]}, "start must hold whole numbers"),
    ({"start": [1, 2]}, "start must be a 2-D array"),
    ({"start": numpy.ones((3, 3), int), "origin": (248, 0)},
     r"start field of 3 x 3 cells from \(248, 0\) does not fit the 250 x 250 field"),
    ({"start": [[1]], "origin": (-1, 5), "size": 9}, "does not fit the 9 x 9 field"),
    ({"start": [[1]], "origin": (2**40, 0), "plane": True}, "reaches beyond 536870912 cells"),
    ({"start": [[1]], "origin": (2**70, 0), "plane": True}, "origin's x is out of range"),
    ({"start": [[1]], "origin": (10**8, 0), "plane": True}, "more than the memory limit"),
    ({"origin": (0, 0)}, "origin needs a start array"),
    ({"ant": (250, 0, "U")}, r"the ant's cell \(250, 0\) is off the 250 x 250 field"),
    ({"ant": (1, 2, "u")}, "heading must be U, R, D or L, not 'u'"),
    ({"ant": (1, 2, 3)}, "heading must be U, R, D or L, not 3"),
    ({"ant": (1, 2)}, r"ant must be \(x, y, heading\)"),
])
def test_bad_starts_are_value_errors(keywords, words):
    with pytest.raises(ValueError, match=words):
        formicula.run("LR", max_iterations=10, **keywords)


@pytest.mark.parametrize("rule,grid,options,keywords", [
    ("RRLLLRLLLRRR", "..A.\n3C9\n\nB0001\n", ["--size", "60"], {"size": 60}),
    ("RLLR", "1234\r\n4321\r\n", ["--plane", "--start-at", "-7,3", "--ant", "0,0,L"],
     {"plane": True, "origin": (-7, 3), "ant": (0, 0, "L")}),
    # The command ends at the edge its proven highway reaches; the module steps there.
    ("LR", ".2.\n212\n.2.\n", ["--size", "1001"], {"size": 1001}),
])
def test_cli_start_file_runs_as_the_module(tmp_path, rule, grid, options, keywords):
    path = tmp_path / "start.txt"
    path.write_bytes(grid.encode())
    colours = {**{str(d): d for d in range(10)}, ".": 0, "A": 10, "B": 11, "C": 12}
    rows = grid.replace("\r", "").split("\n")[:-1]  # docs/cli.md: short rows end blank
    start = numpy.zeros((len(rows), max(map(len, rows))), dtype=int)
    for r, line in enumerate(rows):
        for c, character in enumerate(line):
            start[r, c] = colours[character]
    out = subprocess.run([CLI, "run", rule, "--json", "--max-iterations", "100000", "--start",
                          str(path), *options], check=True, capture_output=True, text=True)
    printed = json.loads(out.stdout)
    result = formicula.run(rule, max_iterations=100000, start=start, **keywords)
    assert (result.iterations, result.finished, result.x, result.y, result.direction,
            result.colours) == (printed["iterations"], printed["finished"], printed["x"],
                                printed["y"], printed["direction"], printed["colours"])
