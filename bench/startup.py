#!/usr/bin/env python3
"""Start-up benchmark: Quillmarsh Quarn against a bare WebKitGTK window.

Runs both programs, alternating, against the sample suite server and reports the medians and
ratios of
  - the time from process start to the server's first request for the UI ("/"), and
  - memory: PSS summed over the program and all its descendants (the WebKit processes), read
    from /proc/<pid>/smaps_rollup a few seconds after that request.

Scenarios: the app alone; the app with two built-in hosts ("QMHosts") that never answer:
127.0.0.2 and 127.0.0.3 with nothing on the port, and the same two accepting connections but
never replying; and the app alone with the intro switched off.

    bench/startup.py [--runs N] [--build DIR] [--settle SECONDS]

The app's port is fixed, so the script re-runs itself in a network namespace of its own
(`unshare -rn`) when it can, and under scripts/with-display.sh (Xvfb and a private session bus)
when there is no display. Everything it starts listens on 127.0.0.0/8 only.
"""

import argparse
import importlib.util
import json
import os
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
        self.lock = threading.Lock()
        bench = self

        class Handler(mod.Handler):
            def route(self):
                if self.path.split("?", 1)[0] == "/":
                    with bench.lock:
                        if bench.first_ui is None:
                            bench.first_ui = time.monotonic()
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


def run_once(server, cmd, env, settle, timeout=90):
    server.reset()
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        first = server.wait_first_ui(timeout)
        if first is None:
            return None
        time.sleep(settle)
        return first - t0, pss_kib(descendants(proc.pid))
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


def write_defaults(home, body):
    folder = os.path.join(home, ".config", "app.quillmarsh.quarn")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "defaults.ini"), "w") as f:
        f.write("[Defaults]\n" + body)


def median(xs):
    return statistics.median(xs) if xs else float("nan")


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runs", type=int, default=5, help="rounds per scenario (default 5)")
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--settle", type=float, default=3.0,
                    help="seconds after the first UI request before memory is read")
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
        # (name, built-in hosts, hosts take connections but stay silent, intro on)
        scenarios = [
            ("app alone", None, False, True),
            ("2 closed built-in hosts", "127.0.0.2,127.0.0.3", False, True),
            ("2 silent built-in hosts", "127.0.0.2,127.0.0.3", True, True),
            ("app alone, intro off", None, False, False),
        ]
        results = []
        for name, hosts, silent, intro in scenarios:
            bundle = make_bundle(args.build, os.path.join(work, "bundle-%d" % len(results)), hosts)
            quiet = SilentHosts() if silent else None
            times = {"app": [], "bare": []}
            mems = {"app": [], "bare": []}
            try:
                for r in range(args.runs):
                    order = ["app", "bare"] if r % 2 == 0 else ["bare", "app"]
                    for which in order:
                        home = tempfile.mkdtemp(prefix="home-", dir=work)
                        env = fresh_env(home)
                        if which == "app":
                            if not intro:
                                write_defaults(home, "showIntro=false\nintroSound=false\n")
                            env["QUARN_BUNDLE_DIR"] = bundle
                            env["QUARN_SERVICE_TOOL"] = "/bin/false"
                            cmd = [app_exe]
                        else:
                            cmd = [bare_exe, "http://127.0.0.1:%d" % PORT]
                        got = run_once(server, cmd, env, args.settle)
                        if got is None:
                            print("%s / %s: no request for the UI" % (name, which),
                                  file=sys.stderr)
                            continue
                        times[which].append(got[0])
                        mems[which].append(got[1])
                        shutil.rmtree(home, ignore_errors=True)
            finally:
                if quiet:
                    quiet.close()
            results.append((name, times, mems))

        print("Start-up, %d rounds per scenario, medians (time to the first request for the UI;"
              " PSS of the program and its web processes)" % args.runs)
        print("%-26s %10s %10s %7s %11s %11s %7s" %
              ("scenario", "app s", "bare s", "ratio", "app MiB", "bare MiB", "ratio"))
        for name, times, mems in results:
            ta, tb = median(times["app"]), median(times["bare"])
            ma, mb = median(mems["app"]) / 1024, median(mems["bare"]) / 1024
            print("%-26s %10.3f %10.3f %7.2f %11.1f %11.1f %7.2f" %
                  (name, ta, tb, ta / tb if tb else float("nan"), ma, mb,
                   ma / mb if mb else float("nan")))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
