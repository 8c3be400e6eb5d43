"""pane-title and check-pane-name on string tables made on the fly.

    python3 pane_test.py REPLAY [unittest arguments]      # REPLAY: the built quorvane-replay
"""

import os
import plistlib
import shutil
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "macos")
REPLAY = ""
OLD, NEW = "Accessibility", "Device Control and Data Access"
OLD_JA, OURS, THEIRS = "アクセシビリティ", "デバイスの制御とデータへのアクセス", "デバイス制御とデータアクセス"


def loctable(english, japanese, form="binary", name="Contents/Resources/Localizable.loctable"):
    return {name: (form, {"LocProvenance": 1, "en": english, "ja": japanese})}


def pane(english, japanese, form="binary", name="Contents/Resources/Localizable.loctable"):
    return loctable({"ACCESSIBILITY": english}, {"ACCESSIBILITY": japanese}, form, name)


def lproj(english, japanese, forms=("binary", "binary"), folders=("en", "ja")):
    return {folder + ".lproj/L.strings": (form, table)
            for folder, form, table in zip(folders, forms, (english, japanese))}


def run(script, args, files):
    """Runs a script with DIR in args standing for a folder holding files {path: (form, content)}:
    a property list (binary, xml) or text (utf-8, utf-16 with a byte order mark)."""
    with tempfile.TemporaryDirectory() as root:
        folder = os.path.join(root, "x.appex")
        for path, (form, content) in (files or {}).items():
            if form in ("binary", "xml"):
                content = plistlib.dumps(content, fmt=getattr(plistlib, "FMT_" + form.upper()))
            os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
            with open(os.path.join(folder, path), "wb") as file:
                file.write(content if form in ("binary", "xml") else content.encode(form))
        args = [arg.replace("DIR", folder) for arg in args]
        return subprocess.run([sys.executable, os.path.join(SCRIPTS, script)] + args,
                              capture_output=True, encoding="utf-8")


TEXT_EN = '/* "a comment"; a = b */\n"ACCESSIBILITY" = "Device Control and Data Access";\n'
TEXT_JA = '// "ACCESSIBILITY" = "x";\n"ACCESSIBILITY" = "\\U30c7バイスの制御とデータへのアクセス";'
DIR = r"/\S+/x\.appex"

# (case, files under DIR, ENGLISH, status, standard output, standard error as a pattern)
PANE_TITLE = [
    ("binary loctable", pane(NEW, OURS), NEW, 0, [OURS], "^$"),
    ("XML loctable, exact match only", loctable({"A": OLD, "B": OLD + " Keyboard"},
                                                {"A": OLD_JA, "B": "キーボード"}, "xml"),
     OLD, 0, [OLD_JA], "^$"),
    ("binary .strings", lproj({"A": NEW}, {"A": OURS}), NEW, 0, [OURS], "^$"),
    ("XML .strings, English.lproj", lproj({"A": NEW}, {"A": OURS}, ("xml", "xml"),
                                          ("English", "Japanese")), NEW, 0, [OURS], "^$"),
    ("two Japanese values, two tables", dict(pane(NEW, OURS), **lproj({"B": NEW}, {"B": THEIRS})),
     NEW, 0, [OURS, THEIRS], "^$"),
    ("two Japanese values, one table", loctable({"A": NEW, "B": NEW, "C": NEW},
                                                {"A": THEIRS, "B": OURS, "C": THEIRS}),
     NEW, 0, [OURS, THEIRS], "^$"),
    ("a language that is no dictionary", dict(pane(NEW, OURS), **{"L.loctable": (
        "binary", {"en": [NEW], "ja": {"A": THEIRS}})}), NEW, 0, [OURS], "^$"),
    ("unreadable table skipped", dict(pane(NEW, OURS), **{"Bad.loctable": ("utf-8", "bplist00?")}),
     NEW, 0, [OURS], r"^pane-title: skipped %s/Bad\.loctable: .+\n$" % DIR),
    ("no such English value", pane(NEW, OURS), OLD, 1, [],
     r'^pane-title: 1 string table under %s, none with the English value "Accessibility"\n$' % DIR),
    ("no Japanese value", loctable({"A": NEW}, {}), NEW, 1, [],
     r'table under %s read "%s" in English, none with a Japanese value' % (DIR, NEW)),
    ("no string tables", {"en.lproj/L.strings": ("binary", {"A": NEW})}, NEW, 1, [],
     r"^pane-title: no string tables under %s\n$" % DIR),
    ("no such folder", None, NEW, 1, [], r"no string tables under %s \(no such folder\)" % DIR),
]

# Text .strings need plutil: (a stand-in for it on PATH, or none; standard error as a pattern)
OTHER_FORMS = [
    (None, r"^pane-title: skipped %s/en\.lproj/L\.strings: .+, and no plutil here to read other "
           r"forms\n" % DIR),
    ("#!/bin/sh\necho \"plutil: $*\" >&2; exit 1\n",
     r"^pane-title: skipped %s/en\.lproj/L\.strings: plutil: -convert xml1 -o - -- %s/en\.lproj/"
     % (DIR, DIR)),
]


class PaneTitleTest(unittest.TestCase):
    def test_tables(self):
        for case, files, english, status, names, error in PANE_TITLE:
            with self.subTest(case):
                done = run("pane-title", [english, "DIR"], files)
                self.assertEqual((done.returncode, done.stdout.splitlines()), (status, names))
                self.assertRegex(done.stderr, error)

    def test_other_forms_unread(self):
        for plutil, error in OTHER_FORMS:
            with self.subTest(plutil), tempfile.TemporaryDirectory() as path:
                if plutil:
                    with open(os.path.join(path, "plutil"), "w") as file:
                        file.write(plutil)
                    os.chmod(os.path.join(path, "plutil"), 0o755)
                with mock.patch.dict(os.environ, PATH=path):
                    done = run("pane-title", [NEW, "DIR"], lproj(TEXT_EN, TEXT_JA, ("utf-8",) * 2))
                self.assertEqual((done.returncode, done.stdout), (1, ""))
                self.assertRegex(done.stderr, error)

    @unittest.skipUnless(shutil.which("plutil"), "no plutil here")
    def test_text_form_through_plutil(self):
        done = run("pane-title", [NEW, "DIR"], lproj(TEXT_EN, TEXT_JA, ("utf-8", "utf-16")))
        self.assertEqual((done.returncode, done.stdout.splitlines(), done.stderr), (0, [OURS], ""))

    def test_bad_arguments(self):
        for args in [[], [NEW, "DIR", "more"], [""]]:
            with self.subTest(args):
                done = run("pane-title", args, {})
                usage = "usage: pane-title ENGLISH [DIR]\n"
                self.assertEqual((done.returncode, done.stderr), (2, usage))


# (case, MAJOR, files under DIR, status, lines of standard output, a part of standard error)
CHECK = [
    ("macOS 26", "26", pane(OLD, OLD_JA), 0, ["  " + OLD_JA, "  ok      " + OLD_JA + "の許可が"], ""),
    ("macOS 15", "15", pane(OLD, OLD_JA), 0, ["  ok      入力イベントを監視できませんでした。" + OLD_JA],
     ""),
    ("macOS 27, our name", "27", pane(NEW, OURS), 0, ["  " + OURS, "  ok      「" + OURS], ""),
    ("macOS 27, their name only", "27", pane(NEW, THEIRS), 1, ["  " + THEIRS, "  MISSING 「" + OURS],
     "3 of 3 alert texts do not name the pane as macOS 27 does"),
    ("macOS 27, both names", "27", dict(pane(NEW, THEIRS), **pane(NEW, OURS, "xml", "L.loctable")),
     0, ["  " + THEIRS, "  " + OURS, "  ok      「" + OURS], ""),
    ("no tables where macOS 27 keeps them", "27", None, 1, [], "where macOS 27 keeps them"),
    ("no tables on macOS 28", "28", None, 0, ["::warning::check-pane-name: no string tables under "],
     ""),
    ("tables without the English name", "27", pane(OLD, OLD_JA), 1, [],
     'none with the English value "Device Control and Data Access"'),
    ("macOS 26, only the new name", "26", pane(NEW, OURS), 1, [],
     'none with the English value "Accessibility"'),
]

# (arguments, a part of standard error), each to exit 2
BAD_CHECK = [
    ([], "usage: check-pane-name REPLAY MAJOR [DIR]"),
    (["--observed", "/nonexistent", "27"], "no alert in the observed logs under /nonexistent"),
    (["--observed", "27"], "usage:"),
    (["REPLAY", "27", "DIR", "more"], "usage:"),
    (["REPLAY", "27.0"], "MAJOR must be a whole number"),
    (["REPLAY", "x"], "MAJOR must be a whole number"),
    (["REPLAY", "17"], "no macOS version"),
    (["/nonexistent/quorvane-replay", "27"], "is not an executable file"),
    (["REPLAY", "12"], "failed on the permission alert: quorvane-replay: 1: macos must be"),
    (["FALSE", "27"], "failed on the permission alert: exit 1, no alert"),
]


class CheckPaneNameTest(unittest.TestCase):
    def test_names(self):
        for case, major, files, status, output, error in CHECK:
            with self.subTest(case):
                done = run("check-pane-name", [REPLAY, major, "DIR"], files)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                for line in output:
                    self.assertIn("\n" + line, "\n" + done.stdout)
                self.assertIn(error, done.stderr)

    def test_observed(self):
        """The texts of the alert lines the built app showed, from every log, once each."""
        alert = "0.812 alert %sの許可 | %sで許可して | 開く | 閉じる (Esc)\n0.812 alert in front\n"
        for name, status, error in (("our name", 0, ""), ("their name", 1, "2 of 2 alert texts")):
            with self.subTest(name), tempfile.TemporaryDirectory() as logs:
                for log in ("a.log", "b.log"):
                    with open(os.path.join(logs, log), "w", encoding="utf-8") as file:
                        file.write(alert % (((OURS if name == "our name" else THEIRS),) * 2))
                done = run("check-pane-name", ["--observed", logs, "27", "DIR"], pane(NEW, OURS))
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                self.assertEqual(done.stdout.count("の許可"), 1, done.stdout)
                self.assertIn(error, done.stderr)

    def test_bad_arguments(self):
        stand_ins = {"REPLAY": REPLAY, "FALSE": shutil.which("false")}
        for args, error in BAD_CHECK:
            with self.subTest(args):
                done = run("check-pane-name", [stand_ins.get(a, a) for a in args], pane(NEW, OURS))
                self.assertEqual((done.returncode, done.stdout), (2, ""))
                self.assertIn(error, done.stderr)


if __name__ == "__main__":
    REPLAY = sys.argv.pop(1)
    unittest.main()
