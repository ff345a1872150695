"""The Wine prefix with the X11 driver (for programs shown under xvfb-run)
and the reader of a log that a program writes as it runs, shared by the
framework's input test, the window benchmark and the installer's window
bench (tests/e2e/xbench.py)."""
import ctypes
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


def write_display_settings(path, log_pixels=None):
    """A .reg file (UTF-16, for regedit /S) that selects Wine's X11 driver
    and, when given, the screen's dots per inch (144 is 150 %)."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]", '"Graphics"="x11"', ""]
    if log_pixels:
        lines += ["[HKEY_CURRENT_USER\\Control Panel\\Desktop]", '"LogPixels"=dword:%08x' % log_pixels, ""]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))


def ensure_prefix(build):
    """The bench's prefix set-up, then the X11 driver instead of the null one."""
    prefix = prefix_of(build)
    if os.path.exists(os.path.join(prefix, ".vek-x11")):
        return
    env = dict(os.environ, VEK_WINEPREFIX=prefix)
    subprocess.run([os.path.join(SOURCE, "tests", "wine", "prefix.sh"), "ensure"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    reg = os.path.join(prefix, "vek-x11.reg")
    write_display_settings(reg)
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


class CharacterKeys:
    """Keycodes of their own for the characters of `text` that the X keyboard
    map lacks, made before the program that is to receive them starts (Wine
    reads the keyboard map of a process once; a keycode changed later types
    nothing there) and held until close(): the connection stays open, or
    Xvfb would reset the map when its last client leaves. xdotool would
    bind such a character to a spare keycode only for its own key event,
    and Wine loses it now and then."""

    def __init__(self, text):
        self.xlib = xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
        self.display = ctypes.c_void_p(xlib.XOpenDisplay(None))
        if not self.display.value:
            raise RuntimeError("no X display")
        low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        xlib.XDisplayKeycodes(self.display, ctypes.byref(low), ctypes.byref(high))
        count = high.value - low.value + 1
        table = xlib.XGetKeyboardMapping(self.display, ctypes.c_ubyte(low.value), count, ctypes.byref(per))
        rows = [[table[i * per.value + j] for j in range(per.value)] for i in range(count)]
        xlib.XFree(table)
        mapped = {sym for row in rows for sym in row}
        # Keycode 8 has no key in XKB; the last spare one stays xdotool's.
        spare = [low.value + i for i, row in enumerate(rows) if not any(row) and low.value + i > 8][:-1]
        for char in sorted(set(text)):
            sym = ord(char) if ord(char) < 0x100 else 0x1000000 + ord(char)
            if sym in mapped:
                continue
            if not spare:
                raise RuntimeError("no spare keycode left for %r" % char)
            syms = (ctypes.c_ulong * 2)(sym, sym)
            xlib.XChangeKeyboardMapping(self.display, spare.pop(0), 2, syms, 1)
            mapped.add(sym)
        xlib.XSync(self.display, 0)

    def close(self):
        if self.display:
            self.xlib.XCloseDisplay(self.display)
            self.display = None


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

    def wait(self, pattern, what, timeout=TIMEOUT):
        """The first line after the last awaited one that matches."""
        deadline = time.monotonic() + timeout
        regex = re.compile(pattern)
        while time.monotonic() < deadline:
            self._read()
            for i in range(self.seen, len(self.lines)):
                if regex.fullmatch(self.lines[i]):
                    self.seen = i + 1
                    return self.lines[i]
            time.sleep(0.02)  # polling the file; the event is the line
        raise AssertionError("no %s in the log: %s" % (what, self.lines[self.seen:]))
