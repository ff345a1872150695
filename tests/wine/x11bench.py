"""The Wine prefix with the X11 driver (for programs shown under xvfb-run)
and the reader of vekuiview's log, shared by the input test and the window
benchmark."""
import os
import re
import subprocess
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
TIMEOUT = 30


def prefix_of(build):
    return os.path.join(build, "wineprefix-x11")


def wine_env(build):
    prefix = prefix_of(build)
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d", HOME=prefix + ".home")
    os.makedirs(env["HOME"], exist_ok=True)
    return env


def ensure_prefix(build):
    """The bench's prefix set-up, then the X11 driver instead of the null one."""
    prefix = prefix_of(build)
    if os.path.exists(os.path.join(prefix, ".vek-x11")):
        return
    env = dict(os.environ, VEK_WINEPREFIX=prefix)
    subprocess.run([os.path.join(SOURCE, "tests", "wine", "prefix.sh"), "ensure"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    reg = os.path.join(prefix, "vek-x11.reg")
    text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n" \
           "\"Graphics\"=\"x11\"\r\n\r\n"
    with open(reg, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    subprocess.run([WINE, "regedit", "/S", reg], env=wine_env(build), check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=wine_env(build), check=True)
    open(os.path.join(prefix, ".vek-x11"), "w").close()


def restart_server(build):
    env = wine_env(build)
    subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=env)
    subprocess.run([WINESERVER, "-p"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def stop_server(build):
    subprocess.run([WINESERVER, "-k"], env=wine_env(build), stderr=subprocess.DEVNULL)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Log:
    """The tool's log, read as it grows; waits are bounded by a deadline."""

    def __init__(self, path):
        self.path, self.lines, self.seen = path, [], 0

    def _read(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                self.lines = [l.rstrip("\n") for l in f.readlines() if l.endswith("\n")]
        except FileNotFoundError:
            pass

    def wait(self, pattern, what):
        """The first line after the last awaited one that matches."""
        deadline = time.monotonic() + TIMEOUT
        regex = re.compile(pattern)
        while time.monotonic() < deadline:
            self._read()
            for i in range(self.seen, len(self.lines)):
                if regex.fullmatch(self.lines[i]):
                    self.seen = i + 1
                    return self.lines[i]
            time.sleep(0.02)  # polling the file; the event is the line
        raise AssertionError("no %s in the log: %s" % (what, self.lines[self.seen:]))
