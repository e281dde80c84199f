"""karvex as an installed Unix tool: install into a prefix (binary and manual page), the
manual page as man renders it, --help, and the progress line that long face runs show on a
terminal and nowhere else (checked on a real pseudo-terminal)."""

import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(__file__))
import support  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), "../.."))
MAN_PAGE = os.path.join(ROOT, "doc/karvex.1")
BUILD = os.path.dirname(os.path.abspath(support.KARVEX))
SAMPLE_HEX = os.path.join(ROOT, "examples/sample.hex")
USAGE = (b"Usage: karvex {<fontface>|<bdf filename>} <from_code> [<to_code>] [-o=bmp]"
         b"[-e=<ebcode>] [-u=<unicode>] [-x=16] [-y=16] [-m=<gaijimap>][-h]\n")
FACE = "DejaVu Sans"  # Debian fonts-dejavu-core


def render_man(*args, env=None):
    """The manual page as man prints it on an 80-column terminal, without formatting."""
    env = dict(os.environ if env is None else env, MANWIDTH="80", MAN_KEEP_FORMATTING="0")
    p = subprocess.run(["man", "-P", "cat", *args], env=env, capture_output=True)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def plain(text):
    """Drops the overstrikes that mark bold and underlined text."""
    return re.sub(".\b", "", text)


class InstallTest(support.unittest.TestCase):
    def check_prefix(self, prefix):
        binary = os.path.join(prefix, "bin/karvex")
        page = os.path.join(prefix, "share/man/man1/karvex.1")
        self.assertTrue(os.access(binary, os.X_OK), binary)
        with open(page, "rb") as installed, open(MAN_PAGE, "rb") as source:
            self.assertEqual(installed.read(), source.read())
        p = subprocess.run([binary, "--help"], capture_output=True)
        self.assertEqual((p.returncode, p.stdout, p.stderr), (255, USAGE, b""))
        # man finds the installed page through the prefix's manual tree.
        env = dict(os.environ, MANPATH=os.path.join(prefix, "share/man"))
        status, text, err = render_man("karvex", env=env)
        self.assertEqual((status, err), (0, ""))
        self.assertIn("SYNOPSIS", plain(text))

    def test_cmake_install_into_a_prefix(self):
        with tempfile.TemporaryDirectory() as prefix:
            p = subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix],
                               capture_output=True, text=True)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.check_prefix(prefix)
            self.assertEqual(sorted(os.listdir(prefix)), ["bin", "share"])

    def test_make_install_honours_prefix(self):
        # `-o build` takes the build as done: this checks the install step of the Makefile
        # on the tree under test without building it again.
        with tempfile.TemporaryDirectory() as prefix:
            p = subprocess.run(["make", "-s", "-C", ROOT, "-o", "build", "install",
                                "BUILD=" + BUILD, "PREFIX=" + prefix],
                               capture_output=True, text=True)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.check_prefix(prefix)


class ManPageTest(support.unittest.TestCase):
    def test_groff_reads_it_without_a_warning(self):
        p = subprocess.run(["groff", "-man", "-ww", "-z", MAN_PAGE], capture_output=True,
                           text=True)
        self.assertEqual((p.returncode, p.stderr), (0, ""))

    def test_rendered_page_covers_the_command_line(self):
        status, text, err = render_man("-l", MAN_PAGE)
        self.assertEqual((status, err), (0, ""))
        text = plain(text)
        sections = re.findall(r"^([A-Z][A-Z ]+)$", text, re.M)
        self.assertEqual(sections, ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS",
                                    "INPUT FORMATS", "OUTPUT FORMAT", "EXIT STATUS",
                                    "EXAMPLES", "SEE ALSO"])

        def section(name):
            start = text.index("\n" + name + "\n")
            following = [s for s in sections if text.index("\n" + s + "\n") > start]
            end = text.index("\n" + following[0] + "\n") if following else len(text)
            return text[start:end]

        options = section("OPTIONS")
        for option in ["-h", "-m=mapfile", "-e=ebcode", "-u=unicode", "-x=width",
                       "-y=height", "-b=row", "-o=mode", "-0=char", "-?, --help"]:
            self.assertRegex(options, r"\n {7}" + re.escape(option) + r"\s", option)
        statuses = re.findall(r"^ {7}(\d+)\s", section("EXIT STATUS"), re.M)
        self.assertEqual(statuses, ["0", "2", "255"])
        examples = section("EXAMPLES")
        for source in ["unifont.bdf", "unifont16.hex", '"DejaVu Sans"', "IPAGothic",
                       "DejaVuSans.ttf", "-o=bmp"]:
            self.assertIn(source, examples)


class HelpTest(support.unittest.TestCase):
    def test_help_prints_the_usage_line_and_nothing_else_happens(self):
        with tempfile.TemporaryDirectory() as tmp:
            for args in (["--help"], [SAMPLE_HEX, "-m=" + os.path.join(tmp, "m"), "--help"],
                         ["-h", "--help", "Unifont", "41"]):
                with self.subTest(args=args):
                    result = support.run(*args, cwd=tmp)
                    self.assertEqual((result.status, result.out, result.err),
                                     (255, USAGE, ""))
                    self.assertEqual(os.listdir(tmp), [])

    def test_unknown_options_change_nothing(self):
        plain_run = support.run(SAMPLE_HEX, "-h")
        self.assertEqual(plain_run.status, 0)
        for extra in ["-z=1", "-Q", "--verbose", "-H=x"]:
            with self.subTest(extra):
                result = support.run(SAMPLE_HEX, extra, "-h")
                self.assertEqual((result.status, result.out, result.err),
                                 (0, plain_run.out, ""))


def run_with_tty_stderr(args, cwd=None):
    """Runs karvex with stderr on a pseudo-terminal; returns (status, stdout, what the
    terminal received)."""
    master, slave = pty.openpty()
    received = []

    def read_terminal():
        while True:
            try:
                data = os.read(master, 4096)
            except OSError:  # EIO: the last writer closed the terminal
                return
            if not data:
                return
            received.append(data)

    reader = threading.Thread(target=read_terminal)
    reader.start()
    try:
        p = subprocess.run([support.KARVEX, *args], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=slave, cwd=cwd, timeout=300)
    finally:
        os.close(slave)
        reader.join(timeout=60)
        os.close(master)
    return p.returncode, p.stdout, b"".join(received)


PROGRESS = re.compile(rb"\rkarvex: (\d+) of (\d+) codes \((\d+)%\)")


class ProgressTest(support.unittest.TestCase):
    def assert_progress(self, terminal, total):
        updates = PROGRESS.findall(terminal)
        self.assertGreater(len(updates), 10)
        self.assertLessEqual(len(updates), 102)  # at most once per percent, and the end
        done = [int(d) for d, _, _ in updates]
        self.assertEqual(done, sorted(done))
        for d, t, percent in updates:
            self.assertEqual((int(t), int(percent)), (total, int(d) * 100 // total))
        # One line, overwritten in place, ended once at the last code (the terminal turns
        # the line end into CR LF); nothing else is written.
        self.assertTrue(terminal.endswith(b"\rkarvex: %d of %d codes (100%%)\r\n"
                                          % (total, total)), terminal[-80:])
        self.assertEqual(PROGRESS.sub(b"", terminal), b"\r\n")

    def test_long_face_runs_show_progress_on_a_terminal_only(self):
        for first, last, total in [("0", "1FFF", 0x2000), ("20", "1020", 4097)]:
            with self.subTest(codes=total):
                status, out, terminal = run_with_tty_stderr([FACE, first, last])
                self.assertEqual(status, 0)
                self.assert_progress(terminal, total)
                piped = support.run(FACE, first, last)
                self.assertEqual((piped.status, piped.err), (0, ""))
                self.assertEqual(out, piped.out)  # stdout is the same either way

    def test_bmp_runs_show_progress_too(self):
        with tempfile.TemporaryDirectory() as tmp:
            status, out, terminal = run_with_tty_stderr([FACE, "0", "1000", "-o=bmp"],
                                                        cwd=tmp)
            self.assertEqual((status, out), (0, b""))
            self.assert_progress(terminal, 4097)
            self.assertEqual(len(os.listdir(tmp)), 4097)

    def test_short_runs_and_glyph_files_show_nothing(self):
        for what, args in [
                ("4096 codes", [FACE, "0", "FFF"]),
                ("first code above the last", [FACE, "FFFF", "0"]),
                ("hex file over the whole code range", [SAMPLE_HEX, "0", "10FFFF"]),
                ("BDF font over the whole code range",
                 [os.path.join(ROOT, "examples/sample.bdf"), "0", "10FFFF", "-h"])]:
            with self.subTest(what):
                status, out, terminal = run_with_tty_stderr(args)
                self.assertEqual((status, terminal), (0, b""))
                self.assertEqual(out, support.run(*args).out)


if __name__ == "__main__":
    if shutil.which("man") is None:
        sys.exit("unix_tool_test: man is missing; run scripts/setup.sh")
    support.unittest.main()
