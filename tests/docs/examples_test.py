#!/usr/bin/env python3
"""Runs every example of the scripting reference (docs/scripting.md, the
fenced blocks marked `lua example:<name>`) in the probe installer, one run
per example, and checks that it runs without a script error and records what
the reference says it does.

  examples_test.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree with its test prefix.
"""
import os
import re
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import linuxside  # noqa: E402
from linuxside import Workspace, run_probe  # noqa: E402

REFERENCE = os.path.join(HERE, "..", "..", "docs", "scripting.md")
HOST_FUNCTIONS = os.path.join(HERE, "..", "..", "utility", "vekscriptengine", "hostlib", "hostfunctions.cpp")

# Example: the lines it records (its own, in order; events come after the
# example has run).
EXPECTED = {
    "events": ["events\tdefined\tfunction", "events\tbefore init\tfunction"],
    "files": ["files\ttrue\tfalse"],
    "registry": ["registry\tC:\\Tovik\t3\tnil"],
    "archive": ["archive\tfunction\tfalse"],
    "shell": ["shell\ttrue\ttrue\ttrue"],
    "system": ["system\ttrue\ttrue\ttrue\ttrue\t-1"],
    "valuetypes": ["valuetypes\t2\tTovikClean\t-2\t65534\t安装"],
    "glibtab": ["glibtab\t4\ttrue\tnil\t127\tnil\thModule is nil\tnil"],
    "window": ["window\ttrue\tstring"],
}

# Runs the example in a protected call: an error is recorded, not shown.
RUNNER = """local code = %s
local chunk, problem = load(code, "=example:%s")
local ok, err = true, nil
if chunk then ok, err = pcall(chunk) else ok, err = false, problem end
probe_record("example", ok and "ok" or tostring(err))
"""


def examples():
    with open(REFERENCE, encoding="utf-8") as f:
        text = f.read()
    return re.findall(r"(?ms)^```lua example:(\w+)\n(.*?)^```$", text)


def lua_long_string(text):
    level = 0
    while "]%s]" % ("=" * level) in text:
        level += 1
    return "[%s[\n%s]%s]" % ("=" * level, text, "=" * level)


class ReferenceExamples(unittest.TestCase):
    def test_every_family_has_its_example(self):
        self.assertEqual(sorted(name for name, _ in examples()), sorted(EXPECTED))

    def test_every_host_function_has_its_row(self):
        with open(HOST_FUNCTIONS, encoding="utf-8") as f:
            registered = set(re.findall(r"VEK_HOST\((Lua_\w+),", f.read()))
        with open(REFERENCE, encoding="utf-8") as f:
            documented = set(re.findall(r"(?m)^\| `(Lua_\w+)\(", f.read()))
        self.assertGreater(len(registered), 0)
        self.assertEqual(documented, registered)

    def test_examples_run_and_record(self):
        for name, code in examples():
            with self.subTest(example=name):
                self.assertIn(name, EXPECTED, "an example without expected records")
                work = Workspace("vek-doc-" + name)
                self.addCleanup(work.remove)
                traces, records = run_probe(work, RUNNER % (lua_long_string(code), name))
                dialogs = [t for t in traces if t.startswith("@dialog")]
                self.assertEqual(dialogs, [], "a box: a script error outside the example's protected call")
                self.assertIn("example\tok", records)
                self.assertEqual([r for r in records if r.startswith(name + "\t")], EXPECTED[name], records)


if __name__ == "__main__":
    linuxside.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
