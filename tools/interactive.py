#!/usr/bin/env python3
"""The interactive install for a person at a display: the shipped x86_64
installer shown by Wine's X11 driver in a fresh, throwaway prefix
(build/interactive), with a screenshot of each view as it appears.

  interactive.py BUILD_ROOT [--drive]

Without --drive a person installs through the window on $DISPLAY; with it
(under xvfb-run) the script clicks install and then start itself.
"""
import os
import shutil
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xbench import TITLE, XBench  # noqa: E402

PERSON = 3600  # seconds a person may take for one view
LIMIT = 3 * PERSON  # for the whole run, after which it is ended


def shoot(run, view, drive):
    run.wait("frame " + view, view + " view", timeout=120 if drive else PERSON)
    if view == "init":
        run.window(TITLE)
    path = run.shot(view)
    print("  %-8s %s" % (view, path), flush=True)


def main():
    build_root = os.path.abspath(sys.argv[1])
    drive = "--drive" in sys.argv[2:]
    bench = XBench(os.path.join(build_root, "x86_64"), "interactive", root=os.path.join(build_root, "interactive"))
    try:
        installer = bench.downloads + "\\TovikCleanSetup.exe"
        shutil.copy(os.path.join(build_root, "x86_64", "TovikCleanSetup.exe"), bench.unix(installer))
        print("$ TovikCleanSetup.exe   (in %s, on display %s)" % (bench.prefix, os.environ.get("DISPLAY")))
        print("screenshots of the views: %s" % bench.shots, flush=True)
        if not drive:
            print("install through the window; each view is shot as it appears", flush=True)
        run = bench.start_installer(installer, timeout=300 if drive else LIMIT)
        views = ("init", "install", "complete")
        for view, click in zip(views, ("BtnInstall", None, "BtnStart")):
            try:
                shoot(run, view, drive)
            except AssertionError as gone:
                if drive:
                    raise
                print("  %-8s not shown (%s)" % (view, str(gone).split(":")[0]))
                break
            if drive and click:
                run.click(click)
        result = run.finish(timeout=120 if drive else LIMIT + 60)
        print("exit code %d" % result.exit_code)
        for dialog in result.dialogs:
            print("dialog: %s: %s" % (dialog["caption"], dialog["text"]))
        print("screenshots: %s" % bench.shots)
        return 0 if result.exit_code == 0 else 1
    finally:
        bench.stop()


if __name__ == "__main__":
    sys.exit(main())
