#!/usr/bin/env python3
"""The layering rules over #include lines.

Each top-level folder may include only the folders at or below it in the picture of
docs/ARCHITECTURE.md; operating-system headers appear only in host/posix (POSIX) and
host/win32 (Windows), and the two never include each other; the Win32 window (ui/win32) is the
one other place for Windows headers, being a window toolkit's front end as ui/ is Qt's; host/platform/ (the platform
interface) includes nothing above core. Exit 1 with one line per offence.
"""
import os
import re
import sys

# Folder -> the folders its files may include.
BELOW = {
    "core": {"core"},
    "host": {"core", "host"},
    "net": {"core", "host", "net"},
    "db": {"core", "host", "net", "db"},
    "archive": {"core", "host", "archive"},
    "trust": {"core", "host", "trust"},
    "app": {"core", "host", "net", "db", "archive", "trust", "app"},
    "ui": {"core", "host", "net", "db", "archive", "trust", "app", "ui"},
    "program": {"core", "host", "net", "db", "archive", "trust", "app", "ui", "program"},
    "tools": {"core", "host", "net", "db", "archive", "trust", "app", "tools"},
    "fuzz": {"core", "host", "net", "db", "archive", "trust", "app", "fuzz"},
}
# Folders above every product folder: they may include anything.
TOP = {"tests", "bench"}
SKIP = {"build", ".git", "cmake", "deps", "docs", ".ci"}

POSIX_HEADERS = re.compile(
    r"^(unistd|fcntl|dirent|signal|spawn|netdb|poll|pthread|dlfcn|pwd|grp|termios|syslog|"
    r"sys/.*|arpa/.*|netinet/.*|net/if)\.h$")
WINDOWS_HEADERS = re.compile(
    r"^(windows|winsock2|ws2tcpip|winbase|winreg|winnls|winerror|tlhelp32|psapi|shlobj|"
    r"shellapi|shlwapi|objbase|io|direct|process|mswsock|iphlpapi)\.h$", re.IGNORECASE)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# The system's error numbers are the platform layer's to read and name.
ERRNO = re.compile(r"\b(errno|strerror)\b|<cerrno>|<errno\.h>")


def offences(root, rel):
    parts = rel.split("/")
    top = parts[0]
    sub = "/".join(parts[:2]) if len(parts) > 2 else ""
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        lines = f.readlines()
    for n, line in enumerate(lines, 1):
        if (top not in TOP and sub not in ("host/posix", "host/win32")
                and ERRNO.search(line.split("//")[0])):
            yield f"{rel}:{n}: errno outside the platform layer"
        m = INCLUDE.match(line)
        if not m:
            continue
        kind, name = m.groups()
        where = f"{rel}:{n}: "
        if kind == "<":
            if top in TOP:
                continue
            # The Windows C runtime has its own <fcntl.h> (the _O_BINARY mode bits).
            if POSIX_HEADERS.match(name) and sub != "host/posix" and not (
                    name == "fcntl.h" and sub == "host/win32"):
                yield where + f"OS header <{name}> outside host/posix"
            if WINDOWS_HEADERS.match(name) and sub not in ("host/win32", "ui/win32"):
                yield where + f"Windows header <{name}> outside host/win32 and ui/win32"
            continue
        inc_top = name.split("/")[0]
        if inc_top not in BELOW and inc_top not in TOP:
            continue  # a file beside this one, or a generated header
        if top in TOP:
            continue
        if inc_top not in BELOW[top]:
            yield where + f'{top}/ includes "{name}" from a folder above it'
        inc_sub = "/".join(name.split("/")[:2])
        if sub == "host/platform" and inc_top == "host" and inc_sub != "host/platform":
            yield where + f'the platform interface includes "{name}"'
        for a, b in (("host/posix", "host/win32"), ("host/win32", "host/posix")):
            if sub == a and inc_sub == b:
                yield where + f'{a} includes "{name}"'


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    found = []
    checked = 0
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        if rel_dir == ".":
            dirnames[:] = [d for d in dirnames if d not in SKIP and not d.startswith("build")]
            continue
        top = rel_dir.split(os.sep)[0]
        if top not in BELOW and top not in TOP:
            print(f"check-layers: unknown top-level folder {top}/: add it to BELOW in "
                  f".ci/check-layers.py", file=sys.stderr)
            return 1
        for fn in filenames:
            if fn.endswith((".cpp", ".h", ".inc")):
                rel = os.path.relpath(os.path.join(dirpath, fn), root).replace(os.sep, "/")
                found.extend(offences(root, rel))
                checked += 1
    for o in found:
        print(o, file=sys.stderr)
    print(f"check-layers: {checked} files, {len(found)} offences")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
