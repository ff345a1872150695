"""The end-to-end bench: the shipped installer, repacked with a test
configuration, run in a Wine prefix of its own and read back through the
system (vekinspect.exe) and the prefix's files.

Each Bench is a fresh copy of a template prefix (made once per build tree by
prefix.sh) with a wine server of its own, kept under build/x86_64/e2e/<name>
for people to look at after a failure."""
import glob
import importlib.machinery
import importlib.util
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
WINEDIR = os.path.join(REPO, "tests", "wine")
sys.path.insert(0, os.path.join(REPO, "tests", "packaging"))
sys.path.insert(0, WINEDIR)
from linuxside import WINEENV, wine_command  # noqa: E402
from test_resources import read_pe  # noqa: E402

RUN_TIMEOUT = 150  # seconds for one installer run, dialogs included


def unwin(text):
    """A dialog text as vektrace prints it, with CR, LF and TAB restored."""
    return text.replace("\\r", "\r").replace("\\n", "\n").replace("\\t", "\t")


def poll(fetch, predicate, timeout):
    """fetch() until its result satisfies `predicate` or `timeout` seconds
    passed; the last result. For states that no event announces across the
    Wine boundary (a record file, a window, a service gone)."""
    deadline = time.monotonic() + timeout
    while True:
        result = fetch()
        if predicate(result) or time.monotonic() > deadline:
            return result
        time.sleep(0.1)


class Run:
    def __init__(self, completed):
        self.exit_code = completed.returncode
        self.traces, self.dialogs = [], []
        for line in completed.stdout.decode("utf-8", "replace").splitlines():
            if line.startswith("@dialog\t"):
                caption, text, buttons = (line.split("\t") + ["", "", ""])[1:4]
                self.dialogs.append({"caption": unwin(caption), "text": unwin(text),
                                     "buttons": buttons.split(",") if buttons else []})
            else:
                self.traces.append(line)

    def describe(self):
        return "exit code %d, dialogs %r, trace:\n%s" % (self.exit_code, self.dialogs, "\n".join(self.traces))


class StatRecords:
    """What the loopback statistics server received after a mark."""

    def __init__(self, build):
        self.folder = os.path.join(build, "tests", "statserver")
        self.ports = {}
        with open(os.path.join(self.folder, "ports.txt")) as f:
            for line in f:
                name, port = line.split()
                self.ports[name] = int(port)

    def _lines(self):
        try:
            with open(os.path.join(self.folder, "records.txt")) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def mark(self):
        return len(self._lines())

    def since(self, mark):
        records = []
        for line in self._lines()[mark:]:
            fields = line.split(" ")
            if fields[0] == "udp":
                records.append({"proto": "udp", "port": int(fields[1]),
                                "payload": bytes.fromhex(fields[3]).decode() if fields[3] != "-" else ""})
            else:
                records.append({"proto": "http", "port": int(fields[1]), "kind": fields[3], "path": fields[5],
                                "body": bytes.fromhex(fields[7]).decode() if fields[7] != "-" else ""})
        return records

    def wait_for(self, mark, predicate, timeout=15):
        """Records after `mark` once `predicate` holds for them (or the deadline passed)."""
        return poll(lambda: self.since(mark), predicate, timeout)


class Bench:
    def __init__(self, build, name, root=None):
        self.build = build
        self.root = root or os.path.join(build, "e2e", name)
        subprocess.run(["rm", "-rf", self.root], check=True)
        os.makedirs(self.root)
        self.prefix = self._fresh_prefix()
        self.env = dict(os.environ, VEK_WINEPREFIX=self.prefix, LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
        self.user = [os.path.basename(p) for p in glob.glob(os.path.join(self.prefix, "drive_c/users/*"))
                     if os.path.basename(p) != "Public"][0]
        self.downloads = "C:\\users\\%s\\Downloads" % self.user
        os.makedirs(self.unix(self.downloads), exist_ok=True)
        self.spawned = []
        self.prepare()
        self.start()

    # ---- the prefix ----------------------------------------------------------

    def prepare(self):
        """Settings of a kind of bench, made in the fresh prefix before its
        server session starts."""

    def _fresh_prefix(self):
        """A copy of the build tree's template prefix, made once."""
        template = os.path.join(self.build, "e2e", "template")
        env = dict(os.environ, VEK_WINEPREFIX=template)
        subprocess.run(["bash", os.path.join(WINEDIR, "prefix.sh"), "ensure"], env=env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        prefix = os.path.join(self.root, "prefix")
        subprocess.run(["cp", "-a", "--reflink=auto", template, prefix], check=True)
        return prefix

    def _shell(self, script, check=True):
        return subprocess.run(["bash", "-c", 'source "$1"; ' + script, "-", WINEENV],
                              env=self.env, check=check, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)

    def start(self):
        # Server and background programs detached from our pipes.
        self._shell('"$WINESERVER" -p </dev/null >/dev/null 2>&1; "$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1')

    def stop(self):
        self._shell('"$WINESERVER" -k; "$WINESERVER" -w', check=False)
        for process in self.spawned:  # ended with the server
            process.wait(timeout=30)
        self.spawned = []

    def reboot(self):
        """A cold start of the wine server is Windows' next start: pending
        renames and deletions are carried out."""
        self.stop()
        self.start()

    def map_drive(self, letter, folder):
        """Drive `letter` on a folder of the bench's own."""
        target = os.path.join(self.root, folder)
        os.makedirs(target, exist_ok=True)
        os.symlink(target, os.path.join(self.prefix, "dosdevices", letter.lower() + ":"))

    def unix(self, win):
        drive, rest = win[0].lower(), win[3:] if len(win) > 3 else ""
        base = os.path.realpath(os.path.join(self.prefix, "dosdevices", drive + ":"))
        return os.path.join(base, *[p for p in rest.split("\\") if p])

    # ---- programs --------------------------------------------------------------

    def wine(self, args, cwd=None, timeout=RUN_TIMEOUT):
        """Runs a Windows program to its end. Its output goes through files,
        not pipes: programs it starts inherit them and may outlive it."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(wine_command(*args), env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            done.stdout, done.stderr = out.read(), err.read()
            return done

    def spawn(self, args):
        """A Windows program left running (ended by stop())."""
        process = subprocess.Popen(wine_command(*args), env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.spawned.append(process)
        return process

    def tool(self, name):
        return os.path.join(self.build, "tests", name)

    def run(self, installer, *args, answers=(), folder=None):
        """Runs a program under the trace collector, answering its dialogs in
        order; its current folder is `folder` or its own folder."""
        command = [self.tool("vektrace.exe")]
        for answer in answers:
            command += ["--answer", answer]
        command += [installer] + list(args)
        return Run(self.wine(command, cwd=self.unix(folder) if folder else os.path.dirname(self.unix(installer))))

    def inspect_all(self, queries):
        """{query: answer} from one run of vekinspect."""
        if not queries:
            return {}
        done = self.wine([self.tool("vekinspect.exe")] + list(queries), timeout=60)
        if done.returncode != 0:
            raise RuntimeError("vekinspect %r: exit code %d\n%s" % (queries, done.returncode, done.stderr.decode()))
        return json.loads(done.stdout.decode("utf-8"))

    def inspect(self, *queries):
        """The answer to one query, or {query: answer} for several."""
        answers = self.inspect_all(queries)
        return answers if len(queries) > 1 else answers[queries[0]]

    def wait_until(self, query, predicate, timeout=20):
        """The answer to `query` once `predicate` holds for it (or the last one)."""
        return poll(lambda: self.inspect(query), predicate, timeout)

    def reg_delete(self, key):
        self.wine(["reg", "delete", key, "/f"], timeout=60)

    def pending_renames(self):
        done = self.wine(["reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
                          "/v", "PendingFileRenameOperations"], timeout=60)
        text = done.stdout.decode("utf-8", "replace").replace("\r", "")
        match = re.search(r"REG_MULTI_SZ\s+(.*)", text)
        return [p for p in match.group(1).split("\\0") if p] if match else []

    # ---- snapshots ---------------------------------------------------------------

    SNAPSHOT_KEYS = {"system.reg": ("HKLM", ("Software\\", "System\\CurrentControlSet\\Services\\")),
                     "user.reg": ("HKCU", ("Software\\",))}
    SNAPSHOT_FOLDERS = ("Program Files", "Program Files (x86)", "ProgramData", "users")

    def snapshot(self):
        """The registry below HKLM\\Software, the services and HKCU\\Software,
        and every file and folder below Program Files, ProgramData and the
        users' folders, as sets of lines. Taken with the server stopped (it
        writes the hives then) and started again."""
        self.stop()
        lines = set()
        for hive, (root, prefixes) in self.SNAPSHOT_KEYS.items():
            lines |= {root + "\\" + line for line in read_hive(os.path.join(self.prefix, hive))
                      if line.startswith(prefixes)}
        drive = os.path.join(self.prefix, "drive_c")
        for top in self.SNAPSHOT_FOLDERS:
            for folder, dirs, files in os.walk(os.path.join(drive, top)):
                rel = os.path.relpath(folder, drive)
                lines.add("C:/%s/" % rel)
                lines |= {"C:/%s/%s %d" % (rel, name, os.path.getsize(os.path.join(folder, name)))
                          for name in files if os.path.isfile(os.path.join(folder, name))}
        self.start()
        return lines

    # ---- installers --------------------------------------------------------------

    def pack(self, name, config=None, payload=None, install_script=None, stat_ports=None):
        """The shipped scripts with `config` ({key: Lua value text}) replacing
        or adding configuration keys, statistics addressed to the loopback
        server (or to `stat_ports`, {"udp_other": n, "http_ok": n}); packed
        into the bench's Downloads folder as `name`."""
        ports = stat_ports or StatRecords(self.build).ports
        values = {
            "global_udp_install_uninstall_url": '"127.0.0.1"',
            "global_udp_un_install_port": str(ports["udp_other"]),
            "global_install_PostURL": '"http://127.0.0.1:%d/api/InstallStat"' % ports["http_ok"],
            "global_Uninstall_PostURL": '"http://127.0.0.1:%d/api/UnInstallStat"' % ports["http_ok"],
            "global_Uninstall_ReasonURL": '"http://127.0.0.1:%d/api/v1/feedback/add"' % ports["http_ok"],
        }
        values.update(config or {})
        scripts = os.path.join(self.root, "scripts-" + re.sub(r"[^\w.-]", "_", name))
        shutil.rmtree(scripts, ignore_errors=True)
        os.makedirs(scripts)
        with open(os.path.join(REPO, "scripts", "GLOBAL_VAR.lua"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        for key, value in values.items():
            pattern = re.compile(r"^%s = " % re.escape(key))
            found = [i for i, line in enumerate(lines) if pattern.match(line)]
            if found:
                lines[found[0]] = "%s = %s" % (key, value)
            else:
                lines.append("%s = %s" % (key, value))
        with open(os.path.join(scripts, "GLOBAL_VAR.lua"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        shutil.copy(os.path.join(REPO, "scripts", "UNINSTSCRIPT.lua"), scripts)
        with open(os.path.join(scripts, "INSTSCRIPT.lua"), "w", encoding="utf-8") as f:
            f.write(install_script if install_script is not None else shipped_install_script())
        out = self.downloads + "\\" + name
        subprocess.run([os.path.join(REPO, "tools", "vekpack"), "--arch", "x86_64", "--build", self.build,
                        "--scripts", scripts, "--payload", payload or self.payload(),
                        "--skin", os.path.join(self.build, "skin"), "-o", self.unix(out)], check=True)
        return out

    def payload(self):
        return os.path.join(self.build, "payload")

    def resource(self, installer, name):
        _, resources = read_pe(self.unix(installer))
        return resources[("LUA", name)]


def read_hive(path):
    """Lines "<key>\\<value line>" (and "<key>\\" for every key) of a Wine
    hive file, without its time stamps."""
    lines, key, pending = [], None, ""
    with open(path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = pending + raw.rstrip("\n")
            if line.endswith("\\") and not line.startswith("["):
                pending = line[:-1].strip() if pending else line[:-1]
                continue
            pending = ""
            if line.startswith("["):
                key = line[1:line.rindex("]")].replace("\\\\", "\\")
                lines.append(key + "\\")
            elif key is not None and line and not line.startswith(("#", ";")):
                lines.append(key + "\\" + line)
    return lines


def shipped_install_script():
    with open(os.path.join(REPO, "scripts", "INSTSCRIPT.lua"), encoding="utf-8") as f:
        return f.read()


def timed(command, **kwargs):
    """Wall seconds and peak resident kB of a whole process (GNU time), for
    the benchmarks."""
    with tempfile.NamedTemporaryFile("r") as out:
        started = time.monotonic()
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name] + command, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)
        return time.monotonic() - started, int(out.read().split()[-1])


def packer_switches(block_size=None):
    """The 7zz switches tools/vekpack packs a payload folder with, for
    benchmarks that pack the same payload themselves; `block_size` (a 7zz
    -ms value such as 32m or on) in place of the packer's own."""
    loader = importlib.machinery.SourceFileLoader("vekpack", os.path.join(REPO, "tools", "vekpack"))
    vekpack = importlib.util.module_from_spec(importlib.util.spec_from_loader("vekpack", loader))
    loader.exec_module(vekpack)
    switches = vekpack.compression_switches(vekpack.BLOCK_SIZE, vekpack.DICTIONARY) + ["-mtc=off", "-mta=off"]
    return [("-ms=" + block_size if s.startswith("-ms=") and block_size else s) for s in switches]


def read(path):
    with open(path, "rb") as f:
        return f.read()
