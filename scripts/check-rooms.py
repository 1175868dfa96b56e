#!/usr/bin/env python3
"""Fails when a file under src/ is not where a newcomer would look for it.

- No source file is over 300 lines: a longer one holds more than one concern.
- Every file under src/adapters/gtk makes a GTK (or GDK) call; a .h may instead only name the
  toolkit's types. Code that calls only GLib, GIO or WebKit belongs in the folder of that library.
- No header under src/platform declares more than one port (a class with a pure virtual member).
"""
import pathlib
import re
import sys

MAX_LINES = 300
GTK_CALL = re.compile(r"\b(gtk|gdk)_\w+\s*\(|\b(GTK|GDK)_[A-Z_]+\s*\(")
GTK_TYPE = re.compile(r"\b(Gtk|Gdk)[A-Z]\w*")
PURE = re.compile(r"\bvirtual\b[^;]*=\s*0\s*;")
CLASS = re.compile(r"^(?:class|struct)\s+(\w+)[^;{]*\{(.*?)^\};", re.M | re.S)


def code(text):
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r'"(\\.|[^"\\])*"', '""', text)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    src = root / "src"
    bad = []
    for f in sorted(src.rglob("*")):
        if f.suffix not in (".h", ".cpp", ".c") or not f.is_file():
            continue
        rel = f.relative_to(root).as_posix()
        text = f.read_text(encoding="utf-8")
        lines = text.count("\n")
        if lines > MAX_LINES:
            bad.append(f"{rel}: {lines} lines, more than {MAX_LINES}")
        body = code(text)
        if rel.startswith("src/adapters/gtk/"):
            if not GTK_CALL.search(body) and not (f.suffix == ".h" and GTK_TYPE.search(body)):
                bad.append(f"{rel}: makes no GTK call; it belongs with the library it calls")
        if rel.startswith("src/platform/") and f.suffix == ".h":
            ports = [m.group(1) for m in CLASS.finditer(body) if PURE.search(m.group(2))]
            if len(ports) > 1:
                bad.append(f"{rel}: declares {len(ports)} ports ({', '.join(ports)}); one a header")
    for b in bad:
        print(b)
    print(f"rooms: {len(bad)} misplaced" if bad else "rooms: every file in its place")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
