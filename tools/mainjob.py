#!/usr/bin/env python3
"""The main job: installs the shipped x86_64 installer silently into a fresh,
throwaway Wine prefix, prints what the product now is on that system, then
uninstalls it with the product's uninstaller, reboots the prefix and prints
what is left of it.

  mainjob.py BUILD_ROOT      (holds x86_64/ and i686/)
"""
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from bench import Bench  # noqa: E402

UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovikClean"
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SERVICE_STATES = {1: "stopped", 2: "starting", 3: "stopping", 4: "running"}
START_TYPES = {2: "automatic", 3: "manual", 4: "disabled"}


def section(title):
    print("\n== " + title)


def show_folder(bench, folder):
    section("install folder: " + folder)
    unix = bench.unix(folder)
    for name in sorted(os.listdir(unix)):
        path = os.path.join(unix, name)
        print("  %10s  %s" % ("<folder>" if os.path.isdir(path) else os.path.getsize(path), name))


def show_entry(entry):
    section("Programs and Features")
    data = {name: value["data"] for name, value in entry.items()}
    date = data.get("InstallDate", "")
    rows = [("Name", data.get("DisplayName")), ("Version", data.get("DisplayVersion")),
            ("Publisher", data.get("Publisher")),
            ("Size", "%.1f MB" % (data["EstimatedSize"] / 1024) if "EstimatedSize" in data else None),
            ("Installed on", "%s-%s-%s" % (date[:4], date[4:6], date[6:]) if len(date) == 8 else date),
            ("Uninstall command", data.get("UninstallString"))]
    for label, value in rows:
        print("  %-18s %s" % (label + ":", value))


def show_shortcuts(bench):
    section("shortcuts")
    desktop, programs = bench.inspect("folder:16", "folder:23").values()
    links = []
    for folder in (desktop, programs):
        for base, _, files in os.walk(bench.unix(folder)):
            rel = os.path.relpath(base, bench.unix(folder))
            for name in sorted(files):
                if name.endswith(".lnk"):
                    links.append(folder + ("" if rel == "." else "\\" + rel.replace("/", "\\")) + "\\" + name)
    answers = bench.inspect_all(["link:" + link for link in links])
    for link in links:
        target = answers["link:" + link] or {}
        print("  %s\n      -> %s %s" % (link, target.get("target"), target.get("arguments", "")))


def leftovers(bench, folder):
    """What of the product is still on the system."""
    answers = bench.inspect("reg:HKLM\\SOFTWARE\\TovikClean", "reg:HKCU\\SOFTWARE\\TovikClean",
                            "reg:" + UNINSTALL_KEY, "reg:" + RUN_KEY, "service:TovikCleanSvc", "folder:16", "folder:23")
    found = [key[4:] for key in list(answers)[:3] if answers[key] is not None]
    if "TovikClean" in (answers["reg:" + RUN_KEY] or {}):
        found.append(RUN_KEY + "\\TovikClean")
    if answers["service:TovikCleanSvc"]:
        found.append("service TovikCleanSvc")
    for path in (folder, answers["folder:16"] + "\\TovikC盘清理.lnk", answers["folder:23"] + "\\TovikC盘清理",
                 "C:\\users\\%s\\AppData\\Local\\TovikClean" % bench.user):
        if os.path.exists(bench.unix(path)):
            found.append(path)
    return found


def uninstall(bench, folder, command):
    print("\n$ %s /S /ClearUserData   (then a reboot: a cold start of the wine server)" % command)
    started = time.monotonic()
    run = bench.run(command, "/S", "/ClearUserData")
    print("exit code %d after %.1f s" % (run.exit_code, time.monotonic() - started))
    bench.reboot()
    found = leftovers(bench, folder)
    section("after the uninstall and the reboot")
    if not found:
        print("  nothing of the product is left: no keys, no service, no files, no shortcuts, no autostart")
        return 0
    for item in found:
        print("  left: " + item)
    return 1


def main():
    build_root = os.path.abspath(sys.argv[1])
    build = os.path.join(build_root, "x86_64")
    bench = Bench(build, "mainjob", root=os.path.join(build_root, "mainjob"))
    try:
        installer = bench.downloads + "\\TovikCleanSetup.exe"
        with open(os.path.join(build, "TovikCleanSetup.exe"), "rb") as src, open(bench.unix(installer), "wb") as dst:
            dst.write(src.read())
        for arch in ("i686", "x86_64"):
            path = os.path.join(build_root, arch, "TovikCleanSetup.exe")
            print("%s installer: %s (%d bytes)" % (arch, path, os.path.getsize(path)))
        print("\n$ TovikCleanSetup.exe /InstallSlience true   (in %s)" % bench.prefix)
        started = time.monotonic()
        run = bench.run(installer, "/InstallSlience", "true")
        print("exit code %d after %.1f s" % (run.exit_code, time.monotonic() - started))
        for dialog in run.dialogs:
            print("dialog: %s: %s" % (dialog["caption"], dialog["text"]))

        answers = bench.inspect("reg:" + UNINSTALL_KEY, "reg:" + RUN_KEY, "service:TovikCleanSvc")
        entry = answers["reg:" + UNINSTALL_KEY]
        if not entry:
            print("\nThe product is not installed (no uninstall entry).")
            return 1
        show_folder(bench, entry["InstallLocation"]["data"])
        show_entry(entry)
        show_shortcuts(bench)
        section("autostart (HKCU Run)")
        run_value = (answers["reg:" + RUN_KEY] or {}).get("TovikClean")
        print("  TovikClean = %s" % (run_value["data"] if run_value else "(none)"))
        section("service TovikCleanSvc")
        service = answers["service:TovikCleanSvc"]
        if service:
            print("  command:  %s\n  start:    %s\n  account:  %s\n  state:    %s" % (
                service["image"], START_TYPES.get(service["startType"], service["startType"]),
                service["account"] or "LocalSystem", SERVICE_STATES.get(service["state"], service["state"])))
        else:
            print("  (not registered)")
        return uninstall(bench, entry["InstallLocation"]["data"], entry["UninstallString"]["data"])
    finally:
        bench.stop()


if __name__ == "__main__":
    sys.exit(main())
