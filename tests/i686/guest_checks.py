#!/usr/bin/env python3
"""The i686 checks: the 32-bit build run in the emulated machine of
tools/i686-vm.sh, since this machine runs no 32-bit code. A check boots the
guest once with the repository and the i686 build tree shared at their own
paths (the test programs find their installers, libraries and sources where
they were built), runs its steps in the image's fresh 32-bit prefix with the
loopback statistics server, and reads back what each step left.

  guest_checks.py BUILD_ROOT CHECK [--timeout SECONDS]

BUILD_ROOT holds i686/; the job folder of a run stays in
BUILD_ROOT/i686/tests/guest/<check> for a look after a failure.
"""
import argparse
import os
import shlex
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


class Gtest:
    """An i686 test program under 32-bit Wine, its results as gtest XML."""

    def __init__(self, program, filter="*"):
        self.name, self.program, self.filter = program, program, filter

    def command(self, build):
        xml = "Z:\\vek\\job\\%s.xml" % self.name  # the job folder as the guest mounts it
        return ["windows", os.path.join(build, "tests", self.program + ".exe"),
                "--gtest_filter=" + self.filter, "--gtest_output=xml:" + xml]

    def report(self, job):
        """Failure texts, and a line per test with its time."""
        path = os.path.join(job, self.name + ".xml")
        if not os.path.exists(path):
            return ["%s left no results" % self.name], []
        failures, lines = [], []
        for case in ElementTree.parse(path).iter("testcase"):
            name = "%s.%s" % (case.get("classname"), case.get("name"))
            texts = [f.get("message", "") for f in case.iter("failure")]
            skipped = case.find("skipped") is not None
            lines.append("  %-70s %6.1fs %s" % (name, float(case.get("time", 0)),
                                                 "FAILED" if texts else "skipped" if skipped else "ok"))
            failures += ["%s:\n%s" % (name, text) for text in texts]
        return failures, lines


class Script:
    """A Python script of the repository run by the guest's python3."""

    def __init__(self, name, script):
        self.name, self.script = name, script

    def command(self, build):
        return ["python3", os.path.join(REPO, self.script), build]

    def report(self, job):
        return [], []


# What each check runs in the guest, in order.
CHECKS = {
    "install": [Script("first_install", "tests/i686/guest_install.py")],
    "native_calls": [Gtest("vek_host_tests", "ValueTypes.*:NativeCalls.*")],
    "extraction": [Gtest("vek_archive_tests"), Gtest("vek_host_tests", "ArchiveFunctions.*:Extraction*")],
    "statistics": [Gtest("vek_stat_tests", "StatLibrary.*")],
    # Every i686 test program whole: about 9 minutes, a command of its own,
    # not part of CTest.
    "programs": [Gtest(p) for p in ("vek_unit_tests", "vek_native_tests", "vek_host_tests", "vek_archive_tests",
                                    "vek_stat_tests", "vek_uninstall_tests")],
}

JOB = """\
export VEK_WINEARCH=win32 VEK_WINEPREFIX=/vek/prefix LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
R={repo} B={build}
source "$R/tests/wine/wineenv.sh"
echo "boot 0 $(awk '{{ print int($1 * 1000) }}' /proc/uptime)" >> steps.txt
ms() {{ echo $(( $(date +%s%N) / 1000000 )); }}
windows() {{ "$WINE" "$@"; }}
t=$(ms) rc=0
"$R/tests/wine/prefix.sh" start && bash "$R/tests/stat/statserver.sh" start "$B/tests/statserver" >/dev/null || rc=$?
echo "bench $rc $(( $(ms) - t ))" >> steps.txt
step() {{
    local name=$1 t=$(ms) rc=0
    shift
    echo "=== $name"
    "$@" || rc=$?
    echo "$name $rc $(( $(ms) - t ))" >> steps.txt
}}
{steps}
"$R/tests/wine/prefix.sh" stop
bash "$R/tests/stat/statserver.sh" stop "$B/tests/statserver"
"""


def write_job(job, build, steps):
    os.makedirs(job, exist_ok=True)
    for name in os.listdir(job):
        os.remove(os.path.join(job, name))
    lines = ["step %s %s" % (step.name, " ".join(map(shlex.quote, step.command(build)))) for step in steps]
    with open(os.path.join(job, "job.sh"), "w") as f:
        f.write(JOB.format(repo=REPO, build=build, steps="\n".join(lines)))


def step_results(job):
    """{name: (status, seconds)} of the steps that ended (times in ms there)."""
    results = {}
    try:
        with open(os.path.join(job, "steps.txt")) as f:
            for line in f:
                name, status, seconds = line.split()
                results[name] = (int(status), int(seconds) / 1000)
    except FileNotFoundError:
        pass
    return results


def show_output(job):
    try:
        with open(os.path.join(job, "output.log"), encoding="utf-8", errors="replace") as f:
            sys.stdout.write(f.read())
    except FileNotFoundError:
        pass


def report(job, steps):
    """Prints each step's times; the failures."""
    results = step_results(job)
    for name, text in (("boot", "guest boot (kernel start to the job)"),
                       ("bench", "bench (wine server, statistics server)")):
        if name in results:
            print("  %-70s %6.1fs" % (text, results[name][1]))
    failures = ["the bench did not start"] if results.get("bench", (0, 0))[0] else []
    for step in steps:
        if step.name not in results:
            failures.append("%s did not end" % step.name)
            continue
        status, took = results[step.name]
        print("  %-70s %6.1fs exit %d" % (step.name, took, status))
        step_failures, lines = step.report(job)
        print("\n".join(lines))
        failures += step_failures + (["%s ended with %d" % (step.name, status)] if status else [])
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_root")
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--timeout", type=int, default=600)
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build_root), "i686")
    job = os.path.join(build, "tests", "guest", args.check)
    write_job(job, build, CHECKS[args.check])
    shares = ["--share", REPO] + ([] if build.startswith(REPO + os.sep) else ["--share", build])
    begin = time.monotonic()
    run = subprocess.run(["bash", os.path.join(REPO, "tools", "i686-vm.sh"), "run", "--timeout", str(args.timeout)]
                         + shares + [job])
    show_output(job)
    print("\n--- i686 check %s: %.0fs in all (guest boot and power-off included)"
          % (args.check, time.monotonic() - begin))
    failures = report(job, CHECKS[args.check])
    if run.returncode:
        failures.append("the guest run ended with %d" % run.returncode)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
