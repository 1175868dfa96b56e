#!/usr/bin/env python3
"""Fails when a file under src/ includes a file of a higher layer.

Layers, lowest first; a folder may include its own files and those of the folders before it.
The adapters are the outer ring and may include anything of the logic; among themselves they
keep an order of their own, one folder per library they call, so that the display-free ones
(posix, glib, soup) never reach for the toolkit or the web engine.
"""
import pathlib
import re
import sys

LAYERS = [
    "core",
    "platform",
    "pages",
    "session",
    "window",
    "web",
    "service",
    "poller",
    "intro",
    "server",
    "app",
    "adapters/gst",
    "adapters/posix",
    "adapters/glib",
    "adapters/soup",
    "adapters/webkit",
    "adapters/gtk",
]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer(path):
    parts = path.split("/")
    for top in ("/".join(parts[:2]), parts[0]):
        if top in LAYERS:
            return LAYERS.index(top)
    return None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "src"
    bad = []
    for f in sorted(root.rglob("*")):
        if f.suffix not in (".h", ".cpp", ".c") or not f.is_file():
            continue
        rel = f.relative_to(root).as_posix()
        own = layer(rel)
        if own is None:
            bad.append(f"src/{rel}: not in any layer ({', '.join(LAYERS)})")
            continue
        for n, line in enumerate(f.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            target = layer(m.group(1))
            if target is None:
                bad.append(f"src/{rel}:{n}: includes \"{m.group(1)}\", which is in no layer")
            elif target > own:
                bad.append(f"src/{rel}:{n}: includes \"{m.group(1)}\": {LAYERS[own]}/ may not "
                           f"include {LAYERS[target]}/, a layer above it")
    for b in bad:
        print(b)
    print(f"layers: {len(bad)} wrong include(s)" if bad else "layers: every include points down")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
