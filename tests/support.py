"""What the Python tests share: the tool, a work folder, children in process groups of their
own that are killed with their group when they outlast their time, and outputs read back."""

import os
import resource
import re
import signal
import subprocess
import tempfile

from PIL import Image

KARVEX = os.path.abspath(os.environ.get("KARVEX", "build/karvex"))
WORK = os.environ.get("KARVEX_WORK", tempfile.gettempdir())
os.makedirs(WORK, exist_ok=True)
MISC, HEX = "/usr/share/fonts/X11/misc/", "/usr/share/unifont/unifont.hex"


def address_limit(size):
    """A preexec_fn that limits a child's address space, or None for a build under
    AddressSanitizer, which reserves terabytes of address space and cannot run under one."""
    with open(KARVEX, "rb") as f:
        if b"__asan_init" in f.read():
            return None
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (size, size))


def start(command, **options):
    return subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            start_new_session=True, **options)


def finish(p, input=None, limit=120):
    try:
        out, err = p.communicate(input, timeout=limit)
    finally:
        if p.poll() is None:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
    return subprocess.CompletedProcess(p.args, p.returncode, out, err)


def call(command, input=None, limit=120, **options):
    stdin = subprocess.DEVNULL if input is None else subprocess.PIPE
    return finish(start(command, stdin=stdin, **options), input, limit)


def output(command, input=None, stderr=None, **options):
    """The standard output of a command that must end well, saying `stderr` if given."""
    p = call(command, input, **options)
    assert p.returncode == 0 and stderr in (None, p.stderr), (command, p.returncode, p.stderr[-400:])
    return p.stdout


def font_data(out):
    """Each block of a text dump: its Unicode value, EB code, font code (or None) and rows."""
    return [(int(unicode, 16), eb, code and int(code, 16), rows.split("\n")[:-1])
            for code, eb, unicode, rows in re.findall(
                r'<fontData (?:code="(\w+)"  )?ebcode="(\w+)" unicode="(\w+)">\n(.*?)</fontData>',
                out.decode("latin-1"), re.S)]


def blocks(out, key="unicode"):
    """The rows of each block by its Unicode value or, for key "code", its font code."""
    return {glyph[0 if key == "unicode" else 2]: glyph[3] for glyph in font_data(out)}


def ink(path, value=0):
    """A 1-bit picture's rows, "#" where its pixels have the value (Pillow reads an XBM
    file's ink as 255)."""
    with Image.open(path) as image:
        (width, height), text = image.size, image.convert("L").tobytes()
    text = text.translate(bytes.maketrans(bytes([value, 255 - value]), b"#.")).decode()
    return [text[y * width:y * width + width] for y in range(height)]
