#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""Gives every source file the project tracks its SPDX header: the copyright
line and the licence that debian/copyright assigns to the file, as a comment in
the file's own syntax. With --check it changes nothing and lists the files
whose header is missing or names another licence (exit status 1).

Files that cannot hold a comment (images, Intel HEX samples, the licence
texts, Debian's changelog and copyright) are left to debian/copyright, which
REUSE reads through .reuse/dep5."""

import fnmatch
import os
import re
import subprocess
import sys

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
# Split, so that this file's own header is the only one in it.
COPYRIGHT = "SPDX-" "FileCopyrightText: The Quillon developers"
LICENSE_TAG = "SPDX-" "License-Identifier: "

# No place for a comment, or no comment syntax at all.
WITHOUT_HEADER = ["LICENSES/*", "*.png", "ihex/fuzz/corpus/*", "debian/changelog",
                  "debian/copyright", "debian/source/format", ".reuse/dep5",
                  "cli/tests/dap/debugAdapterProtocol.json"]


def comment(path):
    """The text before and after a comment line in this file, or None."""
    name = os.path.basename(path)
    ext = os.path.splitext(name)[1]
    if ext in (".cpp", ".cc"):
        return ("// ", "")
    if ext in (".c", ".h"):
        return ("/* ", " */")
    if ext in (".md", ".xml", ".qrc", ".svg"):
        return ("<!-- ", " -->")
    if ext == ".scd":
        return ("; ", "")
    if ext in (".cmake", ".txt", ".sh", ".py", ".in", ".desktop", ".install", ".docs", ".gdb",
               ".symbols") or name in ("control", "rules", ".gitignore", ".clang-format") \
            or "/completion/" in path:
        return ("# ", "")
    with open(path, "rb") as f:
        if f.read(2) == b"#!":
            return ("# ", "")
    return None


def license_of(path, stanzas):
    """The licence debian/copyright gives this file: its last matching stanza."""
    found = None
    for patterns, license in stanzas:
        if any(fnmatch.fnmatchcase(path, p) for p in patterns):
            found = license
    return found


def copyright_stanzas():
    with open(os.path.join(ROOT, "debian/copyright"), encoding="utf-8") as f:
        paragraphs = f.read().split("\n\n")
    stanzas = []
    for paragraph in paragraphs:
        files = re.search(r"^Files:((?:.*\n?)(?:^ .*\n?)*)", paragraph, re.M)
        license = re.search(r"^License: (\S+)", paragraph, re.M)
        if files and license:
            stanzas.append((files.group(1).split(), license.group(1)))
    return stanzas


def tracked_files():
    listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], capture_output=True,
                            check=True).stdout.decode().split("\0")
    return [p for p in listed if p and os.path.isfile(os.path.join(ROOT, p))
            and not os.path.islink(os.path.join(ROOT, p))]


def header_lines(style, license):
    before, after = style
    return [before + COPYRIGHT + after, before + LICENSE_TAG + license + after]


def add_header(full, lines):
    with open(full, encoding="utf-8") as f:
        text = f.read()
    keep = ""
    # A first line the file must start with stays first: an interpreter, the
    # XML declaration, a manual page's title.
    first = text.split("\n", 1)[0]
    if first.startswith(("#!", "<?xml")) or full.endswith(".scd"):
        keep, text = first + "\n", text[len(first) + 1:]
    with open(full, "w", encoding="utf-8") as f:
        f.write(keep + "\n".join(lines) + "\n" + text)


def main():
    check = "--check" in sys.argv[1:]
    stanzas = copyright_stanzas()
    problems = []
    for path in tracked_files():
        if any(fnmatch.fnmatchcase(path, p) for p in WITHOUT_HEADER):
            continue
        full = os.path.join(ROOT, path)
        style = comment(full)
        if style is None:
            problems.append(f"{path}: no comment syntax known for it")
            continue
        license = license_of(path, stanzas)
        with open(full, encoding="utf-8") as f:
            head = f.read(1000)
        found = re.search(LICENSE_TAG + r"(\S+)", head)
        if found and found.group(1) == license and COPYRIGHT in head:
            continue
        if found or COPYRIGHT in head or check:
            problems.append(f"{path}: " + (f"{found.group(0)}, but debian/copyright says {license}"
                                           if found else "no SPDX header"))
            continue
        add_header(full, header_lines(style, license))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
