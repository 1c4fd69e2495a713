#!/usr/bin/env python3
"""The thumbnailer as a file manager starts it: the command is the Exec line of
resources/texelary-thumbnailer.thumbnailer with %s, %i, %u and %o filled in, the program named
there replaced by the one built.

  thumbnailer.py samples PROGRAM SOURCE_DIR
      Every format's sample, under a folder and a name with spaces and non-ASCII letters, at 128
      and 256 pixels: the PNG's size, and its pixels against the texture's own, read here from
      the file's layout. With update-mime-database and gio, also the file types the entry names.
  thumbnailer.py corpus PROGRAM SOURCE_DIR
      Every file of the fuzz corpora under each texture ending: thumbnailed or refused, never a
      crash or a hang, and a PNG only with success.
  thumbnailer.py links PROGRAM SOURCE_DIR
      The shared libraries the program names: a file manager starts it once per file, and each
      one costs the start its loading, so only the C library and libdeflate (its PNG files'
      compression) are there: never the quantiser's (libimagequant, libgomp), the PNG format's
      (libspng, zlib) or Qt."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

ENDINGS = [".wal", ".m8", ".m32", ".swl", ".wad"]
TIME_LIMIT = 10.0  # the program's own watchdog ends it after 5 s
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def le32(data, offset):
    return struct.unpack_from("<i", data, offset)[0]


def exec_line(source):
    entry = (source / "resources" / "texelary-thumbnailer.thumbnailer").read_text()
    fields = dict(line.split("=", 1) for line in entry.splitlines() if "=" in line)
    return fields["Exec"].split(), fields["MimeType"].rstrip(";").split(";")


def run(program, source, size, path, output):
    words, _ = exec_line(source)
    fill = {"%s": str(size), "%i": str(path), "%u": Path(path).resolve().as_uri(), "%o": str(output)}
    command = [program] + [fill.get(word, word) for word in words[1:]]
    started = time.monotonic()
    result = subprocess.run(command, capture_output=True, timeout=TIME_LIMIT)
    return result.returncode, time.monotonic() - started, result.stderr.decode(errors="replace")


def read_png(path):
    """Width, height and RGBA rows of an 8-bit RGBA PNG."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    offset, idat = 8, b""
    while offset < len(data):
        length, kind = struct.unpack_from(">I4s", data, offset)
        body = data[offset + 8 : offset + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack_from(">IIBB", body)
            assert (depth, colour) == (8, 6), "not 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
        offset += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), 4 * width, [], bytearray(4 * width)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - 4] if i >= 4 else 0
            up, corner = previous[i], previous[i - 4] if i >= 4 else 0
            guess = left + up - corner
            paeth = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))[2]
            row[i] = (row[i] + [0, left, up, (left + up) // 2, paeth][kind]) & 255
        rows.append(row)
        previous = row
    return width, height, rows


def palette_of(data, offset, step=3, alpha255=255):
    colours = [tuple(data[offset + step * i : offset + step * i + 3]) + (255,) for i in range(256)]
    colours[255] = colours[255][:3] + (alpha255,)
    return colours


def wal_palette(source):
    colours = []
    for line in (source / "tests/data/wal/wal-palette.txt").read_text().splitlines():
        if line and not line.startswith("#"):
            colours.append(tuple(int(v) for v in line.replace(",", " ").split()[1:4]) + (255,))
    return colours


def texture_of(path, source):
    """Width, height and a function giving the RGBA of pixel (x, y) of level 0."""
    data, ending = path.read_bytes(), path.suffix.lower()
    if ending == ".m32":
        width, height, start = le32(data, 516), le32(data, 580), le32(data, 644)
        return width, height, lambda x, y: tuple(data[start + 4 * (y * width + x) : start + 4 * (y * width + x) + 4])
    if ending == ".wal" and data[0] == 3:
        width, height, start, colours = le32(data, 36), le32(data, 40), 892, palette_of(data, 120, 3, 0)
    elif ending == ".wal":
        width, height, start, colours = le32(data, 32), le32(data, 36), 100, wal_palette(source)
    elif ending == ".m8":
        width, height, start, colours = le32(data, 36), le32(data, 100), le32(data, 164), palette_of(data, 260)
    elif ending == ".swl":
        width, height, start, colours = le32(data, 64), le32(data, 68), le32(data, 1100), palette_of(data, 72, 4)
    else:  # a WAD3: its first mip texture lump and the palette after its last level
        count, directory = le32(data, 4), le32(data, 8)
        entry = next(directory + 32 * i for i in range(count) if data[directory + 32 * i + 12] == 0x43)
        lump, name = le32(data, entry), data[entry + 16 : entry + 32].split(b"\0")[0]
        width, height = le32(data, lump + 16), le32(data, lump + 20)
        start = lump + le32(data, lump + 24)
        level3 = lump + le32(data, lump + 36) + (width // 8) * (height // 8)
        colours = palette_of(data, level3 + 2, 3, 0 if name.startswith(b"{") else 255)
    return width, height, lambda x, y: colours[data[start + y * width + x]]


def check_sample(program, source, sample, folder):
    target = folder / ("Wand für Räume " + sample.stem + " ü" + sample.suffix)
    shutil.copyfile(sample, target)
    width, height, pixel = texture_of(target, source)
    for size in (128, 256):
        output = folder / f"thumb {size}.png"
        code, elapsed, errors = run(program, source, size, target, output)
        if code != 0 or not output.exists():
            fail(f"{sample.name} at {size}: status {code}, {errors.strip()}")
            continue
        factor = size // max(width, height)
        got_width, got_height, rows = read_png(output)
        if (got_width, got_height) != (width * factor, height * factor):
            fail(f"{sample.name} at {size}: {got_width} x {got_height}, not {width * factor} x {height * factor}")
            continue
        for x, y in ((0, 0), (width - 1, height - 1), (width // 2, height // 3)):
            got = tuple(rows[y * factor + factor // 2][4 * (x * factor + factor // 2) :][:4])
            if got != pixel(x, y):
                fail(f"{sample.name} at {size}: pixel ({x}, {y}) is {got}, not {pixel(x, y)}")
        output.unlink()


def check_uris(program, folder):
    """INPUT as a percent-encoded file:// URI, as the %u of other entries gives it."""
    texture = next(folder.glob("*hopper*.wal"))
    for uri, works in ((texture.as_uri(), True), (texture.as_uri().replace("file://", "file://localhost"), True),
                       (texture.as_uri().replace("file://", "http://"), False),
                       (texture.as_uri().replace("%20", "%ZZ"), False)):
        output = folder / "from uri.png"
        code = subprocess.run([program, "-s", "64", uri, str(output)], capture_output=True).returncode
        if (code == 0) != works or output.exists() != works:
            fail(f"{uri}: status {code}, output {output.exists()}")
        output.unlink(missing_ok=True)


def check_types(source, folder):
    _, types = exec_line(source)
    if not all(shutil.which(tool) for tool in ("update-mime-database", "gio")):
        print("Skipped the file types: update-mime-database or gio is missing")
        return
    mime = folder / "share/mime"
    (mime / "packages").mkdir(parents=True)
    shutil.copy(source / "resources/texelary-textures.xml", mime / "packages")
    subprocess.run(["update-mime-database", str(mime)], check=True, capture_output=True)
    environment = dict(os.environ, XDG_DATA_DIRS=f"{folder / 'share'}:/usr/share")
    files = {"a.wal": b"\0" * 200, "a.m8": b"\2\0\0\0", "a.m32": b"\4\0\0\0", "a.swl": b"\0" * 8,
             "q.wad": b"WAD2\0\0\0\0\x0c\0\0\0", "h.wad": b"WAD3\0\0\0\0\x0c\0\0\0"}
    seen = []
    for name, content in files.items():
        (folder / name).write_bytes(content)
        info = subprocess.run(["gio", "info", "-a", "standard::content-type", str(folder / name)],
                              capture_output=True, text=True, env=environment).stdout
        seen.append(info.split("standard::content-type: ")[-1].strip())
    if seen != types:
        fail(f"the files are of the types {seen}, the entry names {types}")
    (folder / "doom.wad").write_bytes(b"IWAD\0\0\0\0\x0c\0\0\0")
    info = subprocess.run(["gio", "info", "-a", "standard::content-type", str(folder / "doom.wad")],
                          capture_output=True, text=True, env=environment).stdout
    if "application/x-doom-wad" not in info:
        fail(f"a Doom wad is no longer one: {info.strip()}")


def samples(program, source, scratch):
    folder = scratch / "Texturen für Wände"
    folder.mkdir()
    for relative in ("tests/data/wal/hopper.wal", "tests/data/family/dk_opaque.wal",
                     "tests/data/family/test.m32", "tests/data/family/swl_levels16.swl",
                     "tests/data/family/swl_water32.swl", "fuzz/seeds/m8/checker.m8", "fuzz/seeds/m8/pal8w125.m8",
                     "fuzz/seeds/wad/wad3.wad"):
        check_sample(program, source, source / relative, folder)
    check_uris(program, folder)
    check_types(source, scratch)


def corpus(program, source, scratch):
    inputs = [path for folder in ("fuzz/seeds", "fuzz/regressions")
              for path in sorted((source / folder).rglob("*")) if path.is_file() and path.suffix != ".md"]
    for path in inputs:
        for ending in ENDINGS:
            target, output = scratch / ("input" + ending), scratch / "out.png"
            shutil.copyfile(path, target)
            try:
                code, elapsed, errors = run(program, source, 128, target, output)
            except subprocess.TimeoutExpired:
                fail(f"{path.name} as {ending}: still running after {TIME_LIMIT} s")
                continue
            if code not in (0, 1) or (code == 0) != output.exists():
                fail(f"{path.name} as {ending}: status {code}, output {output.exists()}, {errors.strip()}")
            if code == 0:
                read_png(output)
                output.unlink()
    print(f"{len(inputs)} files, each as {len(ENDINGS)} kinds")


# The libraries the thumbnailer may load: the C library (its maths part too, which clang's code
# calls where GCC's computes inline) and what compresses its PNG files.
ALLOWED_LIBRARIES = ("libc.so", "libm.so", "libdeflate.so", "ld-linux")


def links(program, source, scratch):
    if not shutil.which("readelf"):
        print("Skipped the libraries: readelf is missing")
        return
    dynamic = subprocess.run(["readelf", "-d", program], capture_output=True, text=True, check=True).stdout
    needed = [line.split("[")[1].rstrip("]") for line in dynamic.splitlines() if "(NEEDED)" in line]
    print("needed:", " ".join(needed))
    for library in needed:
        if not library.startswith(ALLOWED_LIBRARIES):
            fail(f"the program loads {library}")
    if not any(library.startswith("libc.so") for library in needed):
        fail(f"the libraries were not read: {needed}")


def main():
    mode, program, source = sys.argv[1], sys.argv[2], Path(sys.argv[3])
    with tempfile.TemporaryDirectory() as scratch:
        {"samples": samples, "corpus": corpus, "links": links}[mode](program, source, Path(scratch))
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
