#!/usr/bin/env bash
# Checks the layering that the per-target include directories also hold at build time:
#  1. host headers (POSIX, Xlib, FreeType, fontconfig, libpng, Windows) are included only in
#     backend folders;
#  2. no header outside a backend names a host type;
#  3. every quoted include points along an allowed direction (see ALLOWED below), and a
#     backend's own headers stay inside its folder.
# Usage: scripts/check-layers.sh [repository root]. Prints each breach; exits 1 if any.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
exec python3 - "$root" <<'PY'
import os, re, sys

root = sys.argv[1]
BACKENDS = {"platform/posix", "platform/x11", "platform/freetype", "platform/png", "platform/win32",
            "cli/posix", "cli/win32"}
IFACE = ["platform/core", "platform/loop", "platform/sockets", "platform/gfx", "platform/display",
         "platform/controls"]
SUBSYSTEMS = ["graphics", "net", "telnet", "widgets", "wizard"]
# Which folders a folder's files may include headers from (besides its own).
ALLOWED = {
    "platform/core": [],
    "platform/loop": ["platform/core"],
    "platform/sockets": ["platform/loop", "platform/core"],
    "platform/gfx": ["platform/core"],
    "platform/display": ["platform/gfx", "platform/loop", "platform/core"],
    "platform/controls": ["platform/display", "platform/gfx", "platform/loop", "platform/core"],
    "platform/posix": IFACE,
    "platform/x11": IFACE,
    "platform/win32": IFACE,
    "platform/freetype": ["platform/gfx", "platform/core"],
    "platform/png": ["platform/gfx", "platform/core"],
    "cli": ["net", "telnet"] + IFACE,
    "cli/posix": ["cli"] + IFACE,
    "cli/win32": ["cli"] + IFACE,
    "app": SUBSYSTEMS + IFACE,
}
for s in SUBSYSTEMS:
    ALLOWED[s] = IFACE
HOST_HEADER = re.compile(
    r'#\s*include\s*<((sys|arpa|netinet|net|X11|fontconfig|freetype)/[^>]*|'
    r'(unistd|poll|fcntl|netdb|spawn|signal|csignal|termios|time|dlfcn|pthread|errno|ft2build|png|'
    r'windows|winsock2|ws2tcpip|shellapi|wingdi)\.h)>')
HOST_TYPE = re.compile(r'\b(pollfd|timespec|sockaddr\w*|socklen_t|ssize_t|pid_t|off_t|errno|posixErrno|'
                       r'XEvent|XImage|Atom|FT_\w+|Fc[A-Z]\w+|png_\w+|HINSTANCE|HDC|HBITMAP|WPARAM_T)\b|\bint fd\b')
INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')

folders = sorted(ALLOWED, key=len, reverse=True)
def folder_of(rel):
    d = os.path.dirname(rel)
    return d if d in ALLOWED else None

files, owner = [], {}
for top in ["app", "cli", "graphics", "net", "platform", "telnet", "widgets", "wizard"]:
    for dirpath, _, names in os.walk(os.path.join(root, top)):
        for n in names:
            if n.endswith((".h", ".cpp")):
                rel = os.path.relpath(os.path.join(dirpath, n), root)
                files.append(rel)
                if n.endswith(".h"):
                    owner.setdefault(n, []).append(os.path.dirname(rel))

breaches = []
for rel in sorted(files):
    folder = folder_of(rel)
    if folder is None:
        breaches.append(f"{rel}: not in a known folder (add it to scripts/check-layers.sh)")
        continue
    backend = folder in BACKENDS
    text = open(os.path.join(root, rel), encoding="latin-1").read()
    for no, line in enumerate(text.splitlines(), 1):
        if not backend and HOST_HEADER.search(line):
            breaches.append(f"{rel}:{no}: host header outside a backend: {line.strip()}")
        m = INCLUDE.search(line)
        if m:
            inc = os.path.normpath(os.path.join(os.path.dirname(rel), m.group(1)))
            target = os.path.dirname(inc) if os.path.exists(os.path.join(root, inc)) else None
            if target is None:
                homes = owner.get(os.path.basename(m.group(1)), [])
                target = homes[0] if len(homes) == 1 else None
            if target is None:
                breaches.append(f"{rel}:{no}: include of an unknown or ambiguous header: {line.strip()}")
            elif target != folder and target not in ALLOWED[folder]:
                breaches.append(f"{rel}:{no}: {folder} may not include from {target}: {line.strip()}")
        if rel.endswith(".h") and not backend and HOST_TYPE.search(line.split("//")[0]):
            breaches.append(f"{rel}:{no}: host type in a header outside a backend: {line.strip()}")

for b in breaches:
    print(b)
print(f"check-layers: {len(files)} files, {len(breaches)} breaches")
sys.exit(1 if breaches else 0)
PY
