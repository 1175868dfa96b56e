#!/usr/bin/env python3
"""Sample Quillmarsh suite server: a small UI, the suite sign-in cookie and the overview.

Standard library only. Run it from its service folder or point --data elsewhere:

    python3 server.py [--host 127.0.0.1] [--port 8795] [--data DIR]

The overview's checks live in DIR/checks.json, re-read on every request, so their states can be
changed while the server runs: edit the file, or GET/POST /api/checks/set?bad=N. A download
(/download/NAME) takes its time with ?seconds=S, and has SIZE bytes with ?size=SIZE.
"""

import argparse
import collections
import html
import json
import os
import re
import secrets
import signal
import struct
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

COOKIE = "qmsuite"
COOKIE_ATTRS = "HttpOnly; SameSite=Strict; Path=/"
DEFAULT_CHECKS = [
    ("disk", "Disk encryption", "FileVault is on"),
    ("firewall", "Firewall", "Incoming connections are filtered"),
    ("updates", "Software updates", "The system is up to date"),
    ("backup", "Backups", "Last backup finished today"),
    ("screen", "Screen lock", "Locks after 5 minutes"),
]
HOST_RE = re.compile(r"^[A-Za-z0-9.-]{1,253}$")
FILE_RE = re.compile(r"^[A-Za-z0-9._ -]{1,100}$")


def png(size=32):
    """A small real PNG: a blue disc on a transparent square."""
    rows = []
    c = (size - 1) / 2
    for y in range(size):
        row = bytearray([0])  # filter: none
        for x in range(size):
            inside = (x - c) ** 2 + (y - c) ** 2 <= (size / 2 - 1) ** 2
            row += bytes((15, 98, 254, 255)) if inside else bytes(4)
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


def pdf():
    """A one-page PDF with correct cross-reference offsets."""
    text = b"BT /F1 18 Tf 72 720 Td (Quillmarsh security report) Tj ET"
    objs = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
        b" /Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text),
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for i, body in enumerate(objs, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (i, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    return bytes(out)


ICON = png()
REPORT = pdf()


class Store:
    """The checks file and the recent-request log, shared by the handler threads."""

    def __init__(self, data):
        self.path = os.path.join(data, "checks.json")
        self.lock = threading.Lock()
        self.requests = collections.deque(maxlen=500)

    def checks(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                doc = json.load(f)
            checks = doc["checks"] if isinstance(doc, dict) else None
            if isinstance(checks, list) and all(isinstance(c, dict) for c in checks):
                return checks
        except FileNotFoundError:
            pass
        except (OSError, ValueError, KeyError) as e:
            sys.stderr.write("ignoring unreadable %s: %s\n" % (self.path, e))
        return self.make(0)

    @staticmethod
    def make(bad):
        out = []
        n = max(bad, len(DEFAULT_CHECKS))
        for i in range(n):
            cid, title, detail = (DEFAULT_CHECKS[i] if i < len(DEFAULT_CHECKS) else
                                  ("extra-%d" % i, "Extra check %d" % i, "Added for testing"))
            failing = i < bad
            out.append({"id": cid, "title": title, "status": "bad" if failing else "ok",
                        "detail": "Needs attention" if failing else detail})
        return out

    def set_bad(self, bad):
        doc = json.dumps({"checks": self.make(bad)}, indent=2)
        tmp = "%s.%d.tmp" % (self.path, threading.get_ident())
        with self.lock:
            with open(tmp, "w", encoding="utf-8") as f:
                f.write(doc)
            os.replace(tmp, self.path)

    def record(self, method, path, cookie):
        with self.lock:
            self.requests.append({"method": method, "path": path, "cookie": cookie})

    def recent(self):
        with self.lock:
            return list(self.requests)


# firstWidth is the width the page's first script saw, before anything could change the zoom.
PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>Quillmarsh suite</title>
<link rel="icon" href="/static/icon.png">
<script>var firstWidth = innerWidth;</script>
<style>
body{{font:15px 'IBM Plex Sans',sans-serif;background:#F4F4F4;color:#161616;margin:0;padding:32px}}
.card{{background:#fff;padding:24px;max-width:640px;margin:0 auto 16px}}
a,button{{margin:4px 8px 4px 0}} .bad{{color:#DA1E28}} .ok{{color:#24A148}}
</style></head><body>
<div class="card"><img src="/static/icon.png" alt="" width="32" height="32">
<h1>Quillmarsh suite</h1>
<p id="session">{session}</p>
<p><a id="login" href="/login">Sign in</a><a id="logout" href="/logout">Sign out</a></p></div>
<div class="card"><h2>Overview</h2>{overview}</div>
<div class="card"><h2>Try</h2>
<p><a id="external" href="http://127.0.0.3:8099/elsewhere">External link</a>
<a id="download" href="/download/report.pdf">Download report.pdf</a>
<a id="studio" href="http://{host}:8790/" target="_blank">Open Studio in a new window</a></p>
<p><button id="alert" onclick="alert('Hello from the suite')">Alert</button>
<button id="confirm" onclick="document.getElementById('answer').textContent =
 confirm('Proceed?') ? 'confirmed' : 'cancelled'">Confirm</button>
<span id="answer"></span></p></div>
</body></html>
"""


class Handler(BaseHTTPRequestHandler):
    server_version = "QuillmarshSuite/1.0"
    store = None  # set by main

    def cookie(self):
        for part in self.headers.get("Cookie", "").split(";"):
            name, _, value = part.strip().partition("=")
            if name == COOKIE and value:
                return value
        return None

    def send(self, status, body, ctype, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_slowly(self, body, ctype, headers, seconds, steps=20):
        # A download that takes its time, to watch the app follow it.
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command == "HEAD":
            return
        size = max(1, -(-len(body) // steps))
        for start in range(0, len(body), size):
            self.wfile.write(body[start:start + size])
            self.wfile.flush()
            time.sleep(seconds / steps)

    def send_json(self, status, doc):
        self.send(status, json.dumps(doc).encode(), "application/json")

    def redirect(self, cookie):
        self.send(303, b"", "text/plain", [("Location", "/"), ("Set-Cookie", cookie)])

    def own_host(self):
        # The Studio link points at the host the page came from; anything odd falls back.
        host = self.headers.get("Host", "").rsplit(":", 1)[0]
        return host if HOST_RE.match(host) else self.server.server_address[0]

    def page(self):
        signed_in = self.cookie() is not None
        if signed_in:
            items = "".join(
                '<li class="%s"><b>%s</b>: %s</li>' % (
                    "bad" if c.get("status") == "bad" else "ok",
                    html.escape(str(c.get("title", ""))), html.escape(str(c.get("detail", ""))))
                for c in self.store.checks())
            overview = "<ul>%s</ul>" % items
        else:
            overview = "<p>Sign in to see the overview.</p>"
        session = ("Signed in: the qmsuite cookie is present." if signed_in else
                   "Signed out: no qmsuite cookie.")
        return PAGE.format(session=session, overview=overview, host=self.own_host())

    def route(self):
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, urllib.parse.parse_qs(url.query)
        if path != "/api/requests":
            self.store.record(self.command, self.path, self.headers.get("Cookie"))
        if path == "/":
            self.send(200, self.page().encode(), "text/html; charset=utf-8")
        elif path == "/static/icon.png":
            self.send(200, ICON, "image/png")
        elif path == "/login":
            self.redirect("%s=%s; %s" % (COOKIE, secrets.token_hex(16), COOKIE_ATTRS))
        elif path == "/logout":
            self.redirect("%s=; Max-Age=0; Expires=Thu, 01 Jan 1970 00:00:00 GMT; %s"
                          % (COOKIE, COOKIE_ATTRS))
        elif path.startswith("/download/") and FILE_RE.match(path[10:]):
            # Any name, to try how the app names what it saves; the report is a real PDF.
            name = path[10:]
            body, ctype = ((REPORT, "application/pdf") if name == "report.pdf" else
                           (b"echo saved by the suite\n", "text/plain"))
            headers = [("Content-Disposition", 'attachment; filename="%s"' % name)]
            try:
                seconds = min(max(float(query.get("seconds", ["0"])[0]), 0.0), 30.0)
                size = min(max(int(query.get("size", ["0"])[0]), 0), 1 << 26)
            except ValueError:
                seconds, size = 0.0, 0
            if size and name != "report.pdf":
                body = (body * (size // len(body) + 1))[:size]
            if seconds > 0:
                self.send_slowly(body, ctype, headers, seconds)
            else:
                self.send(200, body, ctype, headers)
        elif path == "/api/overview":
            # The sign-in is shared by the suite's apps, so any issued value is accepted here.
            if self.cookie() is None:
                self.send_json(401, {"error": "not signed in"})
            else:
                self.send_json(200, {"checks": self.store.checks()})
        elif path == "/api/checks/set":
            try:
                bad = int(query.get("bad", ["0"])[0])
                if not 0 <= bad <= 1000:
                    raise ValueError
            except ValueError:
                self.send_json(400, {"error": "bad must be a number from 0 to 1000"})
                return
            self.store.set_bad(bad)
            self.send_json(200, {"checks": self.store.checks()})
        elif path == "/api/requests":
            self.send_json(200, {"requests": self.store.recent()})
        else:
            self.send_json(404, {"error": "not found"})

    def do_GET(self):
        self.route()

    def do_HEAD(self):
        self.route()

    def do_POST(self):
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            length = 0
        if 0 < length <= 65536:
            self.rfile.read(length)  # ignored; the query carries the arguments
        self.route()

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description="Sample Quillmarsh suite server")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=8795, help="0 picks a free port")
    ap.add_argument("--data", default=os.path.join(here, "data"))
    args = ap.parse_args(argv)

    os.makedirs(args.data, exist_ok=True)
    Handler.store = Store(args.data)
    ThreadingHTTPServer.allow_reuse_address = True
    try:
        httpd = ThreadingHTTPServer((args.host, args.port), Handler)
    except OSError as e:
        sys.stderr.write("cannot listen on %s:%d: %s\n" % (args.host, args.port, e))
        return 1

    def stop(*_):
        # shutdown() waits for serve_forever, so it must not run on the serving thread.
        threading.Thread(target=httpd.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    host, port = httpd.server_address[:2]
    print("listening on http://%s:%d" % (host, port), flush=True)
    try:
        httpd.serve_forever()
    finally:
        httpd.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
