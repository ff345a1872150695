"""What tests that set things up from the Linux side share: a workspace in
the test prefix's temporary folder seen from both sides, Windows programs run
in the test prefix, and a run of the probe installer under vektrace (which
prints the installer's trace and answers its dialogs)."""
import glob
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
WINEENV = os.path.join(HERE, "wineenv.sh")
BUILD = None  # the x86_64 build tree, set by the test


def windows(path):
    return "Z:" + path.replace("/", "\\")


class Workspace:
    """A fresh folder in the prefix's temporary folder, seen from both sides."""

    def __init__(self, name):
        prefix = os.path.join(BUILD, "wineprefix")
        temp = [p for p in glob.glob(os.path.join(prefix, "drive_c/users/*/Temp")) if "/Public/" not in p][0]
        self.unix = os.path.join(temp, "%s-%d" % (name, os.getpid()))
        self.win = "C:\\users\\%s\\Temp\\%s" % (os.path.basename(os.path.dirname(temp)), os.path.basename(self.unix))
        subprocess.run(["rm", "-rf", self.unix], check=True)
        os.makedirs(self.unix)

    def path(self, rel):
        return os.path.join(self.unix, rel)

    def write(self, rel, data):
        os.makedirs(os.path.dirname(self.path(rel)), exist_ok=True)
        with open(self.path(rel), "wb") as f:
            f.write(data)

    def read(self, rel):
        with open(self.path(rel), "rb") as f:
            return f.read()

    def files(self, rel):
        found = []
        for folder, _, names in os.walk(self.path(rel)):
            found += [os.path.relpath(os.path.join(folder, n), self.path(rel)) for n in names]
        return sorted(found)

    def remove(self):
        subprocess.run(["rm", "-rf", self.unix], check=True)


def build_program(name):
    """A program of the build's test folder (helpers, installers/...)."""
    return os.path.join(BUILD, "tests", name)


def wine_env(**extra):
    return dict(os.environ, VEK_WINEPREFIX=os.path.join(BUILD, "wineprefix"), **extra)


def start_server():
    """Starts the prefix's server detached from this process's pipes, so that
    programs started later do not leave one holding them."""
    subprocess.run([os.path.join(BUILD, "wine-run"), "cmd.exe", "/c", "exit", "0"], env=wine_env(), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_command(*args, shell_setup=""):
    """The command that runs a Windows program (path or name, arguments) in
    the test prefix, after `shell_setup` (shell commands)."""
    return ["bash", "-c", 'source "$1"; shift; %s exec "$WINE" "$@"' % shell_setup, "-", WINEENV] + list(args)


def wine(*args, env=None):
    """Runs a Windows program in the test prefix; output captured as bytes."""
    return subprocess.run(wine_command(*args), env=env or wine_env(), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)


def run_probe(work, lua, file_size_kib=None, answers=()):
    """Runs the probe installer with `lua` as its script; returns the trace
    lines (a line per dialog first, see vektrace) and the records. Dialogs
    are pressed with `answers` in order. With a size limit, writes past it
    fail (EFBIG)."""
    work.write("script.lua", lua.encode("utf-8"))
    env = wine_env(VEK_PROBE_SCRIPT=work.win + "\\script.lua", VEK_PROBE_OUT=work.win + "\\records.txt")
    limit = "ulimit -f %d; trap '' XFSZ;" % file_size_kib if file_size_kib else ""
    # The server runs already (unlimited): the limit reaches only the programs started here.
    start_server()
    options = [word for answer in answers for word in ("--answer", answer)]
    run = subprocess.run(wine_command(build_program("vektrace.exe"), *options, build_program("installers/probe.exe"),
                                      shell_setup=limit),
                         env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    traces = run.stdout.decode("utf-8", "replace").splitlines()
    with open(work.path("records.txt"), encoding="utf-8") as f:
        records = [line.rstrip("\r\n") for line in f]
    return traces, records
