"""formicula.picture and save_png: the palette, the command line's --png, the PNG file."""

import os
import struct
import subprocess
import zlib

import numpy
import pytest

import formicula

CLI = os.environ.get("FORMICULA_CLI", "formicula-cli")
# The colours 0 to 12 as docs/python.md lists them.
PALETTE = numpy.array([
    (50, 50, 50), (250, 250, 250), (200, 100, 100), (100, 200, 100), (40, 120, 170),
    (50, 200, 200), (100, 110, 130), (200, 200, 50), (200, 140, 120), (160, 90, 180),
    (140, 140, 40), (20, 140, 120), (240, 140, 40)], dtype=numpy.uint8)


def decode_png(data):
    """8-bit RGB rows, checking the signature and every chunk's CRC."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, compressed = 8, b""
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        assert struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(
            kind + body)
        if kind == b"IHDR":
            width, height, depth, colour_type = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            compressed += body
        at += 12 + length
    assert (depth, colour_type) == (8, 2)
    raw = zlib.decompress(compressed)
    stride = 3 * width + 1
    assert len(raw) == stride * height
    assert all(raw[y * stride] == 0 for y in range(height))  # filter type None on every row
    rows = b"".join(raw[y * stride + 1:(y + 1) * stride] for y in range(height))
    return numpy.frombuffer(rows, numpy.uint8).reshape(height, width, 3)


def test_known_cells_in_the_palette():
    cells = numpy.arange(13).reshape(1, 13)
    numpy.testing.assert_array_equal(formicula.picture(cells), PALETTE[None, :, :])
    blocks = formicula.picture(cells, cell_size=3)
    assert blocks.shape == (3, 39, 3) and blocks.dtype == numpy.uint8
    numpy.testing.assert_array_equal(blocks, PALETTE[None, :, :].repeat(3, 0).repeat(3, 1))


RUNS = [
    # rule, keywords of run, options of formicula-cli run
    ("RLR", {"size": 31, "max_iterations": 3000}, ["--size", "31", "--max-iterations", "3000"]),
    ("LLRR", {"plane": True, "max_iterations": 20000}, ["--plane", "--max-iterations", "20000"]),
]


@pytest.mark.parametrize("rule,keywords,options", RUNS)
def test_framed_is_the_command_lines_png(tmp_path, rule, keywords, options):
    path = tmp_path / "cli.png"
    subprocess.run([CLI, "run", rule, *options, "--png", str(path), "--cell-size", "2"],
                   check=True, capture_output=True)
    result = formicula.run(rule, **keywords)
    formicula.save_png(result, str(tmp_path / "module.png"), cell_size=2, framed=True)
    assert (tmp_path / "module.png").read_bytes() == path.read_bytes()
    numpy.testing.assert_array_equal(decode_png(path.read_bytes()),
                                     formicula.picture(result, cell_size=2, framed=True))


def test_start_field_png_is_the_command_lines(tmp_path):
    (tmp_path / "start.txt").write_text("2.1\n.12\n")
    subprocess.run([CLI, "run", "RLR", "--plane", "--max-iterations", "500", "--start",
                    str(tmp_path / "start.txt"), "--png", str(tmp_path / "cli.png")], check=True)
    result = formicula.run("RLR", plane=True, max_iterations=500,
                           start=[[2, 0, 1], [0, 1, 2]])
    formicula.save_png(result, str(tmp_path / "module.png"), cell_size=3, framed=True)
    assert (tmp_path / "module.png").read_bytes() == (tmp_path / "cli.png").read_bytes()


def test_saved_png_decodes_to_the_picture(tmp_path):
    result = formicula.run("LR", size=40, max_iterations=600)
    formicula.save_png(result, tmp_path / "f.png", cell_size=3)  # a path-like name too
    numpy.testing.assert_array_equal(decode_png((tmp_path / "f.png").read_bytes()),
                                     formicula.picture(result, cell_size=3))


@pytest.mark.parametrize("name,reason", [
    ("missing/f.png", "No such file or directory"),
    (".", "directory"),
])
def test_failed_save_is_an_os_error_leaving_nothing(tmp_path, name, reason):
    result = formicula.run("LR", size=20, max_iterations=50)
    with pytest.raises(OSError, match=reason):
        formicula.save_png(result, str(tmp_path / name))
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize("cells,keywords,words", [
    ([[0, 13]], {}, r"field\[0\]\[1\]: 13 is not a colour 0 to 12"),
    ([[1]], {"cell_size": 0}, "cell_size must be from 1 to 16"),
    ([[1]], {"cell_size": 17}, "cell_size must be from 1 to 16"),
    (numpy.zeros((0, 4), int), {}, "holds no cells"),
    (numpy.zeros((1100, 1100), numpy.uint8), {"cell_size": 16}, "more than 268435456"),
])
def test_bad_pictures_are_value_errors(cells, keywords, words):
    with pytest.raises(ValueError, match=words):
        formicula.picture(cells, **keywords)


def test_a_far_state_without_field_is_refused():
    result = formicula.run("LR", plane=True, max_iterations=10**18)
    with pytest.raises(ValueError, match="holds no field"):
        formicula.picture(result)
