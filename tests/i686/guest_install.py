#!/usr/bin/env python3
"""Runs inside the emulated machine (tools/i686-vm.sh): the end-to-end first
install (tests/e2e/install_test.py) with the shipped i686 installer exactly
as built. Nothing is repacked: the machine's hosts file sends the shipped
statistics names to the loopback server, which listens on the shipped ports.

  guest_install.py BUILD     (BUILD: the i686 build tree, shared into the guest)
"""
import os
import re
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
import bench  # noqa: E402
import install_test  # noqa: E402


class GuestBench(bench.Bench):
    """The image's prefix (fresh at every boot) instead of a copied template;
    the shipped installer instead of a repacked one."""

    def __init__(self, build, name):
        super().__init__(build, name, root=os.path.join("/tmp/e2e", name))

    def _fresh_prefix(self):
        return os.environ["VEK_WINEPREFIX"]

    def pack(self, name, config=None, payload=None, install_script=None, stat_ports=None):
        if config or payload or install_script or stat_ports:
            raise unittest.SkipTest("repacking needs the cross toolchain, which the guest has not")
        out = self.downloads + "\\" + name
        shutil.copy(os.path.join(self.build, "TovikCleanSetup.exe"), self.unix(out))
        return out


def shipped_addresses():
    """The statistics hosts of the shipped configuration and the server ports
    that answer them: {"hosts": [...], "ports": {"udp_other": n, "http_ok": n}}."""
    with open(os.path.join(REPO, "scripts", "GLOBAL_VAR.lua"), encoding="utf-8") as f:
        config = dict(re.findall(r'^(\w+) = "?([^"\n]*)"?$', f.read(), re.M))
    urls = [config[k] for k in ("global_install_PostURL", "global_Uninstall_PostURL", "global_Uninstall_ReasonURL")]
    http = {re.match(r"http://([^/:]+)(?::(\d+))?/", url).groups() for url in urls}
    ports = {port or "80" for _, port in http}
    if len(ports) != 1:
        raise RuntimeError("the shipped posts go to several ports: %r" % ports)
    hosts = sorted({host for host, _ in http} | {config["global_udp_install_uninstall_url"]})
    return {"hosts": hosts, "ports": {"udp_other": int(config["global_udp_un_install_port"]),
                                      "http_ok": int(ports.pop())}}


def serve_shipped_addresses(build):
    addresses = shipped_addresses()
    with open("/etc/hosts", "a") as f:
        f.write("127.0.0.1 %s\n" % " ".join(addresses["hosts"]))
    fixed = ["%s=%d" % item for item in addresses["ports"].items()]
    subprocess.run(["bash", os.path.join(REPO, "tests", "stat", "statserver.sh"), "start",
                    os.path.join(build, "tests", "statserver")] + fixed, check=True, stdout=subprocess.DEVNULL)


def main():
    # It writes the machine's hosts file: the guest's, never this machine's.
    if not os.path.exists("/vek/init"):
        sys.exit("guest_install.py runs inside the emulated machine: tests/i686/guest_checks.py BUILD_ROOT install")
    build = os.path.abspath(sys.argv[1])
    serve_shipped_addresses(build)
    install_test.BUILD = build
    install_test.Bench = GuestBench
    suite = unittest.defaultTestLoader.loadTestsFromName("FirstInstallThenOver.test_1_first_install", install_test)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() and not result.skipped else 1


if __name__ == "__main__":
    sys.exit(main())
