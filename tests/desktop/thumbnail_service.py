#!/usr/bin/env python3
"""A real thumbnail service asked for the thumbnails of a folder of textures: GNOME's thumbnail
factory (libgnome-desktop, the one Nautilus uses), through its introspection bindings, with the
.thumbnailer entry and the file types installed into a prefix of this test's own
(XDG_DATA_DIRS). It starts the thumbnailer in its bubblewrap sandbox as it starts any other;
the thumbnails it writes into the cache (XDG_CACHE_HOME/thumbnails/normal/MD5(URI).png) are
checked for their size, their URI and their pixels, and a damaged file for no thumbnail.

  thumbnail_service.py PROGRAM SOURCE_DIR

Where the service cannot run here (no bindings, or bubblewrap refused in a container), it says
why and exits 77, which CTest reports as skipped."""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import thumbnailer  # noqa: E402  the PNG reader and the textures' own pixels

SKIP = 77
SAMPLES = ("tests/data/wal/hopper.wal", "tests/data/family/dk_opaque.wal",
           "tests/data/family/test.m32", "tests/data/family/swl_levels16.swl",
           "fuzz/seeds/m8/checker.m8", "fuzz/seeds/wad/wad3.wad")
NORMAL = 128  # the side of the factory's "normal" thumbnails


def skip(reason):
    print("Thumbnail service test skipped:", reason)
    sys.exit(SKIP)


def prefix(program, source, scratch):
    """XDG_DATA_DIRS's first folder with the entry and the compiled file types, and a folder
    first on PATH whose bwrap shows the build's folder read-only inside the sandbox, as an
    installed thumbnailer in /usr/bin is shown (the sandbox binds /usr and mounts over /tmp)."""
    share = scratch / "share"
    (share / "mime/packages").mkdir(parents=True)
    (share / "thumbnailers").mkdir()
    shutil.copy(source / "resources/texelary-textures.xml", share / "mime/packages")
    shutil.copy(source / "resources/texelary-thumbnailer.thumbnailer", share / "thumbnailers")
    subprocess.run(["update-mime-database", str(share / "mime")], check=True, capture_output=True)
    shim = scratch / "shim"
    shim.mkdir()
    folder = str(Path(program).resolve().parent)
    # The folder is bound after what the sandbox mounts on /tmp, should it lie under /tmp.
    (shim / "bwrap").write_text(f'''#!/usr/bin/python3
import os, sys
args = sys.argv[1:]
bind = ["--ro-bind", {folder!r}, {folder!r}]
at = 0
for i, arg in enumerate(args):
    if arg == "--tmpfs" and args[i + 1:i + 2] == ["/tmp"]:
        at = i + 2
    elif arg in ("--bind", "--ro-bind") and args[i + 2:i + 3] == ["/tmp"]:
        at = i + 3
os.execv({shutil.which("bwrap")!r}, ["bwrap"] + args[:at] + bind + args[at:])
''')
    (shim / "bwrap").chmod(0o755)
    os.environ.update(XDG_DATA_DIRS=f"{share}:/usr/share", XDG_CACHE_HOME=str(scratch / "cache"),
                      PATH=f"{shim}:{folder}:{os.environ['PATH']}")


def factory():
    """The factory, or the reason there is none."""
    try:
        import gi
        for version in ("4.0", "3.0"):
            try:
                gi.require_version("GnomeDesktop", version)
                break
            except ValueError:
                continue
        from gi.repository import GnomeDesktop, Gio, GLib
    except (ImportError, ValueError) as error:
        skip(f"no GnomeDesktop bindings ({error}); python3-gi and gir1.2-gnomedesktop-4.0 give them")
    if not shutil.which("bwrap"):
        skip("bubblewrap is not installed, which the factory starts thumbnailers in")
    sandbox = subprocess.run(["bwrap", "--ro-bind", "/", "/", "--unshare-all", "true"], capture_output=True, text=True)
    if sandbox.returncode != 0:
        skip(f"bubblewrap is refused here: {sandbox.stderr.strip()}")
    size = GnomeDesktop.DesktopThumbnailSize.NORMAL
    return GnomeDesktop.DesktopThumbnailFactory.new(size), Gio, GLib


def thumbnail(service, path):
    """Asks the service for the thumbnail of `path` as a file manager does: the type, whether it
    can, the thumbnail, saved into the cache (or the failure noted there). Returns the error."""
    made, Gio, GLib = service
    file = Gio.File.new_for_path(str(path))
    info = file.query_info("standard::content-type,time::modified", Gio.FileQueryInfoFlags.NONE, None)
    uri, kind = file.get_uri(), info.get_content_type()
    modified = info.get_attribute_uint64("time::modified")
    if not made.can_thumbnail(uri, kind, modified):
        return f"the service makes no thumbnails of {kind}"
    try:
        made.save_thumbnail(made.generate_thumbnail(uri, kind, None), uri, modified, None)
    except GLib.Error as error:
        made.create_failed_thumbnail(uri, modified, None)
        return error.message
    return None


def cached(scratch, path):
    uri = path.resolve().as_uri()
    return scratch / "cache/thumbnails/normal" / (hashlib.md5(uri.encode()).hexdigest() + ".png"), uri


def check_texture(service, source, scratch, sample, folder):
    target = folder / sample.name
    shutil.copyfile(sample, target)
    error = thumbnail(service, target)
    png, uri = cached(scratch, target)
    if error or not png.exists():
        return thumbnailer.fail(f"{sample.name}: no thumbnail in the cache ({error})")
    if f"Thumb::URI\0{uri}".encode() not in png.read_bytes():
        thumbnailer.fail(f"{sample.name}: the thumbnail does not name {uri}")
    width, height, pixel = thumbnailer.texture_of(target, source)
    factor = NORMAL // max(width, height)
    got_width, got_height, rows = thumbnailer.read_png(png)
    if (got_width, got_height) != (width * factor, height * factor):
        return thumbnailer.fail(f"{sample.name}: {got_width} x {got_height}, not {width * factor} x {height * factor}")
    for x, y in ((0, 0), (width - 1, height - 1), (width // 2, height // 3)):
        got = tuple(rows[y * factor + factor // 2][4 * (x * factor + factor // 2):][:4])
        if got != pixel(x, y):
            thumbnailer.fail(f"{sample.name}: pixel ({x}, {y}) is {got}, not {pixel(x, y)}")
    print(f"{sample.name}: {got_width} x {got_height} in the cache")


def main():
    program, source = sys.argv[1], Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        prefix(program, source, scratch)
        service = factory()
        folder = scratch / "Texturen"
        folder.mkdir()
        for relative in SAMPLES:
            check_texture(service, source, scratch, source / relative, folder)
        damaged = folder / "damaged.wal"
        damaged.write_bytes((source / SAMPLES[0]).read_bytes()[:150])
        if thumbnail(service, damaged) is None or cached(scratch, damaged)[0].exists():
            thumbnailer.fail("a damaged file has a thumbnail")
    print(f"{len(thumbnailer.failures)} failures")
    return 1 if thumbnailer.failures else 0


if __name__ == "__main__":
    sys.exit(main())
