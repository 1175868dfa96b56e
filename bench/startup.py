#!/usr/bin/env python3
"""Start-up benchmark: Quillmarsh Quarn against a bare WebKitGTK window.

Runs both programs, alternating, against the sample suite server and reports, each next to the
bare window with the ratio:
  - the median time from process start to the server's first request for the UI ("/");
  - the median of each round's own time ratio, its quartiles and a 90% interval of that median;
  - the median PSS of the program and all its descendants (the WebKit processes), while the
    intro plays (--during s after that request) and after it has ended (--settle s after it);
  - the median CPU time of the process tree over --idle seconds once start-up is over, of
    --idle-runs rounds, in all and by process.

Scenarios: the local server only; the local server with two built-in hosts ("QMHosts",
127.0.0.2 and 127.0.0.3) that accept connections but never answer; and the local server with a
sibling app's shared sign-in in "suite-session" before start (the UI's first request must carry
it); each with the intro off and on.

    bench/startup.py [--runs N] [--build DIR] [--during S] [--settle S] [--idle S]
                     [--idle-runs N] [--only TEXT]

The app's port is fixed, so the script re-runs itself in a network namespace of its own
(`unshare -rn`) when it can, and under scripts/with-display.sh (Xvfb and a private session bus)
when there is no display. Everything it starts listens on 127.0.0.0/8 only.
"""

import argparse
import importlib.util
import json
import os
import random
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PORT = 8795
SIGN_IN = "bench0123456789abcdef"


def reexec_isolated(argv):
    """Private loopback (and a display when there is none), then this script again."""
    inner = [sys.executable, os.path.abspath(__file__), "--inner"] + argv
    if not os.environ.get("DISPLAY"):
        inner = [os.path.join(ROOT, "scripts", "with-display.sh")] + inner
    if shutil.which("unshare") and shutil.which("ip"):
        probe = subprocess.run(["unshare", "-rn", "true"], capture_output=True)
        if probe.returncode == 0:
            cmd = ["unshare", "-rn", "sh", "-c", 'ip link set lo up && exec "$@"', "sh"] + inner
            return subprocess.call(cmd)
    print("note: no private network namespace; port %d must be free on 127.0.0.1-3" % PORT,
          file=sys.stderr)
    return subprocess.call(inner)


def load_sample_server():
    spec = importlib.util.spec_from_file_location(
        "sample_server", os.path.join(ROOT, "examples", "quarn", "server.py"))
    mod = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(mod)
    return mod


class Server:
    """The sample suite server in this process, noting when "/" is first asked for."""

    def __init__(self, data):
        mod = load_sample_server()
        self.first_ui = None
        self.first_cookie = None
        self.lock = threading.Lock()
        bench = self

        class Handler(mod.Handler):
            def route(self):
                if self.path.split("?", 1)[0] == "/":
                    with bench.lock:
                        if bench.first_ui is None:
                            bench.first_ui = time.monotonic()
                            bench.first_cookie = self.headers.get("Cookie") or ""
                super().route()

            def log_message(self, fmt, *args):
                pass

        Handler.store = mod.Store(data)
        mod.ThreadingHTTPServer.allow_reuse_address = True
        self.httpd = mod.ThreadingHTTPServer(("127.0.0.1", PORT), Handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def reset(self):
        with self.lock:
            self.first_ui = None
            self.first_cookie = None

    def wait_first_ui(self, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            with self.lock:
                if self.first_ui is not None:
                    return self.first_ui
            time.sleep(0.005)
        return None


class SilentHosts:
    """127.0.0.2 and 127.0.0.3 taking connections on the port and never answering."""

    def __init__(self):
        self.socks = []
        for host in ("127.0.0.2", "127.0.0.3"):
            s = socket.socket()
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            s.bind((host, PORT))
            s.listen(64)
            self.socks.append(s)

    def close(self):
        for s in self.socks:
            s.close()


def descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
            ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        except (OSError, ValueError, IndexError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        todo.extend(children.get(p, []))
    return out


def pss_kib(pids):
    total = 0
    for p in pids:
        try:
            with open("/proc/%d/smaps_rollup" % p) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
                        break
        except OSError:
            pass
    return total


def stop(proc):
    tree = descendants(proc.pid)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for p in reversed(tree):
            try:
                os.kill(p, sig)
            except ProcessLookupError:
                pass
        try:
            proc.wait(timeout=5)
            break
        except subprocess.TimeoutExpired:
            continue
    # WebKit's helpers may outlive their parent for a moment.
    end = time.monotonic() + 5
    while time.monotonic() < end and any(os.path.exists("/proc/%d" % p) for p in tree[1:]):
        time.sleep(0.05)


def fresh_env(home):
    env = dict(os.environ)
    for var in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"):
        env.pop(var, None)
    env["HOME"] = home
    return env


def cpu_snapshot(pids):
    """Milliseconds on a CPU so far of every thread of the given processes, by (pid, tid), from
    the scheduler's own account (/proc/PID/task/TID/sched): exact, where /proc/PID/stat counts
    whole clock ticks."""
    snap = {}
    for p in pids:
        try:
            tids = os.listdir("/proc/%d/task" % p)
        except OSError:
            continue
        for tid in tids:
            try:
                with open("/proc/%d/task/%s/sched" % (p, tid)) as f:
                    for line in f:
                        if line.startswith("se.sum_exec_runtime"):
                            snap[(p, tid)] = float(line.split(":")[1])
                            break
            except (OSError, ValueError):
                pass
    return snap


def cpu_seconds_between(before, after, root):
    """CPU seconds spent between two snapshots, by process: "program" for `root`, "web" and
    "network" for WebKit's processes, "other" for the rest. A thread that ended in between
    counts for nothing, one that began counts whole."""
    kinds = {"WebKitWebProces": "web", "WebKitNetworkPr": "network"}
    out = {"program": 0.0, "web": 0.0, "network": 0.0, "other": 0.0}
    for (pid, tid), ms in after.items():
        if pid == root:
            kind = "program"
        else:
            try:
                with open("/proc/%d/comm" % pid) as f:
                    kind = kinds.get(f.read().strip(), "other")
            except OSError:
                kind = "other"
        out[kind] += (ms - before.get((pid, tid), 0.0)) / 1000.0
    return out


def run_once(server, cmd, env, during, settle, idle=0.0, timeout=90):
    """Seconds to the first UI request, PSS (KiB) `during` s and `settle` s after it, and the
    CPU seconds the process tree spent over `idle` further seconds, by process (when asked
    for)."""
    server.reset()
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        first = server.wait_first_ui(timeout)
        if first is None:
            return None
        time.sleep(max(0.0, first + during - time.monotonic()))
        mem_during = pss_kib(descendants(proc.pid))
        time.sleep(max(0.0, first + settle - time.monotonic()))
        mem_after = pss_kib(descendants(proc.pid))
        cpu = None
        if idle > 0:
            before = cpu_snapshot(descendants(proc.pid))
            time.sleep(idle)
            cpu = cpu_seconds_between(before, cpu_snapshot(descendants(proc.pid)), proc.pid)
        return first - t0, mem_during, mem_after, cpu
    finally:
        stop(proc)


def build_bare(out_dir):
    exe = os.path.join(out_dir, "bare-webkit")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "gtk4", "webkitgtk-6.0"],
                           check=True, capture_output=True, text=True).stdout.split()
    subprocess.run(["cc", "-O2", "-o", exe, os.path.join(ROOT, "bench", "bare-webkit.c")] + flags,
                   check=True)
    return exe


def make_bundle(build, dest, hosts):
    shutil.copytree(os.path.join(build, "bundle"), dest)
    info_path = os.path.join(dest, "Info.json")
    with open(info_path) as f:
        info = json.load(f)
    info.pop("QMHosts", None)
    if hosts:
        info["QMHosts"] = hosts
    with open(info_path, "w") as f:
        json.dump(info, f)
    return dest


def write_sign_in(home):
    folder = os.path.join(home, "Library", "Application Support", "Quillmarsh")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    path = os.path.join(folder, "suite-session")
    with open(os.open(path, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
        f.write(SIGN_IN)


def write_defaults(home, body):
    folder = os.path.join(home, ".config", "app.quillmarsh.quarn")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "defaults.ini"), "w") as f:
        f.write("[Defaults]\n" + body)


def median(xs):
    return statistics.median(xs) if xs else float("nan")


def ratio(a, b):
    return a / b if b else float("nan")


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runs", type=int, default=5, help="rounds per scenario (default 5)")
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--during", type=float, default=1.0,
                    help="seconds after the first UI request for the memory while the intro plays")
    ap.add_argument("--settle", type=float, default=8.0,
                    help="seconds after the first UI request for the memory once the intro ended")
    ap.add_argument("--idle", type=float, default=120.0,
                    help="idle seconds over which CPU time is summed (0: skip)")
    ap.add_argument("--idle-runs", type=int, default=3,
                    help="rounds of the idle measurement (default 3)")
    ap.add_argument("--only", default="",
                    help="run only the scenarios whose name contains this text")
    ap.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    args = ap.parse_args(argv)
    if not args.inner:
        return reexec_isolated(argv)

    app_exe = os.path.join(os.path.abspath(args.build), "quillmarsh-quarn")
    if not os.access(app_exe, os.X_OK):
        print("no program at %s; build first" % app_exe, file=sys.stderr)
        return 2

    work = tempfile.mkdtemp(prefix="quarn-bench-")
    try:
        bare_exe = build_bare(work)
        server = Server(os.path.join(work, "server-data"))

        unsigned = []

        def start(which, bundle, intro, idle=0.0, signed_in=False):
            home = tempfile.mkdtemp(prefix="home-", dir=work)
            env = fresh_env(home)
            if which == "app":
                if not intro:
                    write_defaults(home, "showIntro=false\nintroSound=false\n")
                if signed_in:
                    write_sign_in(home)
                env["QUARN_BUNDLE_DIR"] = bundle
                env["QUARN_SERVICE_TOOL"] = "/bin/false"
                cmd = [app_exe]
            else:
                cmd = [bare_exe, "http://127.0.0.1:%d" % PORT]
            try:
                got = run_once(server, cmd, env, args.during, args.settle, idle)
                # A fast start that left the sign-in behind would measure the wrong thing.
                if got and signed_in and which == "app" and "qmsuite=" + SIGN_IN not in (server.first_cookie or ""):
                    unsigned.append(server.first_cookie)
                return got
            finally:
                shutil.rmtree(home, ignore_errors=True)

        # (name, built-in hosts that take connections but never answer, signed in, intro on)
        scenarios = []
        for name, silent, signed_in in (("local server only", False, False),
                                        ("+ 2 silent built-in hosts", True, False),
                                        ("signed in, local server", False, True)):
            for intro in (False, True):
                if args.only in name:
                    scenarios.append((name, silent, signed_in, intro))
        results = []
        for name, silent, signed_in, intro in scenarios:
            hosts = "127.0.0.2,127.0.0.3" if silent else None
            bundle = make_bundle(args.build, os.path.join(work, "bundle-%d" % len(results)), hosts)
            quiet = SilentHosts() if silent else None
            got = {"app": [], "bare": []}
            try:
                for r in range(args.runs):
                    for which in (["app", "bare"] if r % 2 == 0 else ["bare", "app"]):
                        one = start(which, bundle, intro, signed_in=signed_in)
                        if one is None:
                            print("%s / %s: no request for the UI" % (name, which),
                                  file=sys.stderr)
                            continue
                        got[which].append(one)
            finally:
                if quiet:
                    quiet.close()
            results.append((name, intro, got))

        # A few hundredths of a second in all, of which the engine's own timers in both programs
        # move several thousandths from one run to the next: one run each says little.
        idle = {"app": [], "bare": []}
        if args.idle > 0 and not args.only:
            bundle = make_bundle(args.build, os.path.join(work, "bundle-idle"), None)
            for r in range(args.idle_runs):
                for which in (["app", "bare"] if r % 2 == 0 else ["bare", "app"]):
                    one = start(which, bundle, True, args.idle)
                    if one:
                        idle[which].append(one[3])

        def med(rows, i):
            return median([row[i] for row in rows])

        print("Start-up, %d rounds per scenario, medians. Time: process start to the first"
              " request for the UI. Memory: PSS of the program and its web processes, %.1f s"
              " (during the intro) and %.1f s (after it) after that request."
              % (args.runs, args.during, args.settle))
        print("%-26s %-5s %7s %7s %6s | %9s %9s %6s | %9s %9s %6s" %
              ("scenario", "intro", "app s", "bare s", "ratio", "app MiB", "bare MiB", "ratio",
               "app MiB", "bare MiB", "ratio"))
        print("%-26s %-5s %7s %7s %6s | %26s | %26s" % ("", "", "", "", "", "during the intro",
                                                        "after the intro"))
        for name, intro, got in results:
            ta, tb = med(got["app"], 0), med(got["bare"], 0)
            da, db = med(got["app"], 1) / 1024, med(got["bare"], 1) / 1024
            aa, ab = med(got["app"], 2) / 1024, med(got["bare"], 2) / 1024
            print("%-26s %-5s %7.3f %7.3f %6.2f | %9.1f %9.1f %6.2f | %9.1f %9.1f %6.2f" %
                  (name, "on" if intro else "off", ta, tb, ratio(ta, tb), da, db, ratio(da, db),
                   aa, ab, ratio(aa, ab)))
        # Within a round the two start back to back, so a slow moment of the machine slows both:
        # the ratio of each round's pair moves less than the ratio of the two medians.
        # The quartiles say how much one launch moves; the interval, how far the median itself
        # may be from what many more rounds would give (resampled rounds, 90%).
        print("Time, app / bare within each round: median (quartiles) [90% interval of the median]")
        resample = random.Random(7)
        for name, intro, got in results:
            pairs = [a[0] / b[0] for a, b in zip(got["app"], got["bare"])]
            if len(pairs) >= 4:
                q = statistics.quantiles(pairs, n=4)
                meds = sorted(median(resample.choices(pairs, k=len(pairs))) for _ in range(2000))
                print("%-26s %-5s %6.2f  (%.2f to %.2f)  [%.2f to %.2f]"
                      % (name, "on" if intro else "off", median(pairs), q[0], q[2],
                         meds[100], meds[1899]))
        if unsigned:
            print("WARNING: %d signed-in starts sent the UI's first request without the sign-in:"
                  " %r" % (len(unsigned), unsigned[:3]))
        if idle["app"] and idle["bare"]:
            def idle_med(which, kind=None):
                return median([sum(run.values()) if kind is None else run[kind]
                               for run in idle[which]])

            ta, tb = idle_med("app"), idle_med("bare")
            print("Idle: CPU seconds of the process tree over %.0f s after start-up (intro on),"
                  " median of %d: app %.3f, bare %.3f, ratio %.2f"
                  % (args.idle, min(len(idle["app"]), len(idle["bare"])), ta, tb, ratio(ta, tb)))
            for kind in ("program", "web", "network", "other"):
                print("  %-8s app %.3f, bare %.3f" % (kind, idle_med("app", kind),
                                                     idle_med("bare", kind)))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
