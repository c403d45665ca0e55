#!/usr/bin/env python3
"""Checks the include graph of the Access engine in db/jet.

    scripts/check_includes.py [ROOT]

The engine's layers are the folders db/jet/CMakeLists.txt adds, in the order it adds them
(bottom first). A source file of a layer may include headers of its own layer and of the layers
before it, never of a layer after it: no include runs up a layer. Outside the engine, the
program (everything but tests/) includes only the headers db/jet/README.md names as the engine's
public face. The engine includes no Qt header.

Prints every include that breaks a rule, with its file and line, and exits 1 when there is one;
prints the layers and exits 0 otherwise. Needs nothing but Python 3.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layers_of(root):
    """The engine's layer folders, bottom first, as db/jet/CMakeLists.txt adds them."""
    with open(os.path.join(root, "db", "jet", "CMakeLists.txt"), encoding="utf-8") as f:
        text = f.read()
    return re.findall(r"^\s*add_subdirectory\((\w+)\)", text, re.M)


def public_headers(root):
    """The headers db/jet/README.md lists under its heading "Public headers"."""
    path = os.path.join(root, "db", "jet", "README.md")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    section = re.search(r"^## Public headers\s*$(.*?)(?=^## |\Z)", text, re.M | re.S)
    if not section:
        sys.exit(f"{path}: no section '## Public headers'")
    return set(re.findall(r"`(db/jet/[\w/]+\.h)`", section.group(1)))


def sources(top):
    for base, dirs, files in os.walk(top):
        dirs[:] = sorted(d for d in dirs if not d.startswith((".", "build")))
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(base, name)


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1), m.group(2)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    layers = layers_of(root)
    rank = {name: i for i, name in enumerate(layers)}
    public = public_headers(root)
    jet = os.path.join(root, "db", "jet")
    problems = []

    def layer_of_header(header):
        parts = header.split("/")
        return parts[2] if len(parts) >= 4 and parts[2] in rank else None

    for path in sources(jet):
        rel = os.path.relpath(path, root).replace(os.sep, "/")
        parts = rel.split("/")
        own = parts[2] if len(parts) >= 4 else None
        if own not in rank:
            problems.append(f"{rel}: lies in no layer of db/jet/CMakeLists.txt")
            continue
        for number, kind, header in includes(path):
            if kind == "<" and re.match(r"Q[A-Za-z]", header):
                problems.append(f"{rel}:{number}: the engine includes Qt (<{header}>)")
            if not header.startswith("db/jet/"):
                continue
            target = layer_of_header(header)
            if target is None:
                problems.append(f"{rel}:{number}: \"{header}\" lies in no layer")
            elif not os.path.exists(os.path.join(root, header)):
                problems.append(f"{rel}:{number}: \"{header}\" does not exist")
            elif rank[target] > rank[own]:
                problems.append(f"{rel}:{number}: \"{header}\" runs up from layer {own} to "
                                f"layer {target}")

    for header in sorted(public):
        if not os.path.exists(os.path.join(root, header)):
            problems.append(f"db/jet/README.md: the public header {header} does not exist")
    for top in sorted(os.listdir(root)):
        if top in ("tests", "scripts") or top.startswith((".", "build")):
            continue
        for path in sources(os.path.join(root, top)) if os.path.isdir(os.path.join(root, top)) else []:
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            if rel.startswith("db/jet/"):
                continue
            for number, _, header in includes(path):
                if header.startswith("db/jet/") and header not in public:
                    problems.append(f"{rel}:{number}: \"{header}\" is not a public header of "
                                    "the engine (db/jet/README.md)")

    if problems:
        print("Includes that break the engine's layers:", file=sys.stderr)
        for p in problems:
            print("  " + p, file=sys.stderr)
        return 1
    print("Engine layers, bottom first: " + " < ".join(layers) +
          f"; no include runs up a layer; {len(public)} public headers.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
