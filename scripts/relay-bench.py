#!/usr/bin/env python3
"""The relay benchmark's one table: MB/s (10^6 bytes a second) of 1 and 16 players that read a stream
from a local origin to its end, directly, through socat (with its default 8 KiB buffer and with a 1 MiB
one, the peer the relay is held to) and through the relay (the host simulator under Wine, its
source an http URL, so the players' requests are read and rewritten), with the relay's ratio to socat with
the 1 MiB buffer, the players' checksums against the origin's, and the CPU seconds per GB that socat and
the relay (its process and the Wine server that serves it) spend, with the part of it that socat's or the
relay's own process spends in the kernel (the copies to and from the sockets) and the Wine server's part.

  relay-bench.py QELHOST_EXE RELAY_LOAD BUILD MIB_PER_RUN ROUNDS

Run by scripts/bench-relay.sh inside scripts/wine-run.sh (WINELOADER and WINEPREFIX set). Each run carries
MIB_PER_RUN MiB in all, split between its players; the rounds take turns over the paths so all of them see
the same machine, and each figure is the median of its rounds. Everything started here is stopped here.
"""
import os
import queue
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

PLAYERS = (1, 16)
PATHS = ("origin direct", "socat", "socat -b 1M", "relay")
PEER = "socat -b 1M"
TARGETS = {1: 1.0, 16: 1.5}  # relay / socat -b 1M, in the same run
START_SECONDS = 60


class Child:
    """A process started here; its output (stdout or stderr) is read all along, so it never blocks on it."""

    def __init__(self, args, cwd=None, stdin=None, output="stdout"):
        streams = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        streams[output] = subprocess.PIPE
        self.process = subprocess.Popen(args, cwd=cwd, stdin=stdin, **streams)
        self.lines = queue.Queue()
        threading.Thread(target=self.read, args=(getattr(self.process, output),), daemon=True).start()

    def read(self, stream):
        for line in stream:
            self.lines.put(line.decode(errors="replace").rstrip("\n"))
        self.lines.put(None)

    def wait_for(self, pattern, seconds):
        """The match of the first line from now on that matches `pattern`; the run ends without one."""
        deadline = time.monotonic() + seconds
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                sys.exit(f"relay-bench: no line like {pattern!r} from {self.process.args[0]} in {seconds} s")
            if line is None:
                sys.exit(f"relay-bench: {self.process.args[0]} ended before a line like {pattern!r}")
            found = re.search(pattern, line)
            if found:
                return found

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def cpu_seconds(pid, with_children=False):
    """User and kernel CPU seconds of a process."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    user, kernel = int(fields[11]), int(fields[12])
    if with_children:
        user, kernel = user + int(fields[13]), kernel + int(fields[14])
    return user / os.sysconf("SC_CLK_TCK"), kernel / os.sysconf("SC_CLK_TCK")


def wine_server_pid():
    """The Wine server of this prefix: it works in a directory named for the prefix's device and inode."""
    prefix = os.stat(os.environ["WINEPREFIX"])
    home = f"server-{prefix.st_dev:x}-{prefix.st_ino:x}"
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == home and \
                    "wineserver" in os.readlink(f"/proc/{pid}/exe"):
                return int(pid)
        except OSError:
            continue
    return None


def wait_children_reaped(pid):
    """socat serves each player in a child; its CPU time counts once the parent has reaped it."""
    children = f"/proc/{pid}/task/{pid}/children"
    for _ in range(100):
        if not os.path.exists(children):
            time.sleep(1)
            return
        with open(children) as listed:
            if not listed.read().strip():
                return
        time.sleep(0.05)


class Bench:
    def __init__(self):
        self.children = []
        self.paths = {}

    def start(self, args, **options):
        self.children.append(Child(args, **options))
        return self.children[-1]

    def stop(self):
        for child in reversed(self.children):
            child.stop()

    def start_paths(self, qelhost, relay_load, work):
        """The origin, socat in front of it and the relay in front of it; each path's port and CPU reading."""
        self.load = self.start([relay_load], stdin=subprocess.PIPE)
        origin = int(self.load.wait_for(r"^origin (\d+)$", START_SECONDS)[1])
        socats = {path: self.start(["socat", "-d", "-d", *(["-b", "1048576"] if path == PEER else []),
                                    "TCP-LISTEN:0,bind=127.0.0.1,reuseaddr,fork", f"TCP:127.0.0.1:{origin}"],
                                   output="stderr") for path in ("socat", PEER)}
        socat_ports = {path: int(child.wait_for(r"listening on .*:(\d+)$", START_SECONDS)[1])
                       for path, child in socats.items()}
        with open(os.path.join(work, "session.qel"), "w") as session:
            session.write(f"acid 17\nisolated 1\nurl 0 4 http://127.0.0.1:{origin}/\nwait 3600\n")
        relay = self.start([os.environ["WINELOADER"], os.path.abspath(qelhost), "session.qel"], cwd=work)
        relay_port = int(relay.wait_for(r"Report Proxy Port acid=17 value=(\d+)", START_SECONDS)[1])

        def socat_cpu(child):
            wait_children_reaped(child.process.pid)
            return cpu_seconds(child.process.pid, with_children=True)

        server = wine_server_pid()
        self.server_cpu = (lambda: sum(cpu_seconds(server))) if server else (lambda: 0.0)
        self.paths = {
            "origin direct": (origin, lambda: (0.0, 0.0)),
            **{path: (socat_ports[path], lambda child=child: socat_cpu(child)) for path, child in socats.items()},
            "relay": (relay_port, lambda: cpu_seconds(relay.process.pid)),
        }

    def run(self, path, players, total_bytes):
        """MB/s, CPU seconds per GB (with the Wine server's share), the Wine server's share, players whose
        stream arrived whole, and the kernel's share of the path's own process."""
        port, cpu = self.paths[path]
        each = total_bytes // players
        cpu_before, server_before = cpu(), self.server_cpu()
        self.load.process.stdin.write(f"play {port} {players} {each}\n".encode())
        self.load.process.stdin.flush()
        played = self.load.wait_for(r"^played (\d+) ([\d.]+) (\d+) ", 600)
        carried, seconds, good = int(played[1]), float(played[2]), int(played[3])
        gigabytes = max(carried, 1) / 1e9
        server = (self.server_cpu() - server_before) / gigabytes if path == "relay" else 0.0
        (user, kernel), (user_before, kernel_before) = cpu(), cpu_before
        own = (user - user_before + kernel - kernel_before) / gigabytes
        return carried / 1e6 / seconds, own + server, server, good, (kernel - kernel_before) / gigabytes


def main():
    qelhost, relay_load, build, mib, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
    total_bytes = mib << 20
    loads = [subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()]
    figures = {(players, path): [] for players in PLAYERS for path in PATHS}
    with tempfile.TemporaryDirectory() as work:
        bench = Bench()
        try:
            bench.start_paths(qelhost, relay_load, work)
            for _ in range(rounds):
                for players in PLAYERS:
                    for path in PATHS:
                        figures[players, path].append(bench.run(path, players, total_bytes))
        finally:
            bench.stop()
    loads.append(subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip())

    wine = "the 32-bit build under Wine" if build == "win32" else \
        "the 64-bit build under Wine (this machine cannot run 32-bit code)"
    print(f"relay benchmark: {mib} MiB a run, median of {rounds} rounds; relay: {wine}")
    print(f"load at start: {loads[0]}\nload at end:   {loads[1]}\n")
    print(f"{'players':>7}  {'path':<13} {'MB/s':>9}  {'relay/(socat -b 1M)':<25} {'CPU s/GB':>8}  "
          f"{'(in kernel)':>11}  {'(wineserver)':>12}  checksums")
    failed = False
    for players in PLAYERS:
        socat_rate = statistics.median(f[0] for f in figures[players, PEER])
        for path in PATHS:
            runs = figures[players, path]
            rate = statistics.median(f[0] for f in runs)
            good = sum(f[3] for f in runs)
            failed |= good != players * rounds
            ratio = ""
            if path == "relay":
                value = rate / socat_rate
                ratio = f"{value:.2f} (target {TARGETS[players]:.2f}{'' if value >= TARGETS[players] else ' MISSED'})"
            cpu = f"{statistics.median(f[1] for f in runs):8.2f}" if path != "origin direct" else f"{'-':>8}"
            kernel = f"{statistics.median(f[4] for f in runs):11.2f}" if path != "origin direct" else " " * 11
            server = f"{statistics.median(f[2] for f in runs):12.2f}" if path == "relay" else " " * 12
            print(f"{players:>7}  {path:<13} {rate:9.1f}  {ratio:<25} {cpu}  {kernel}  {server}  "
                  f"{good}/{players * rounds} equal to the origin's")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
