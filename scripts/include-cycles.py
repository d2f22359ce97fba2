#!/usr/bin/env python3
"""Lists the include cycles among the files of src/.

Each file's quoted includes ("Name.h") are resolved by file name within src/ (the build puts
every folder of src/ on the include path); a cycle is a set of files that reach each other
through their includes, a .cpp standing with the header of the same name. With --through
NAME, the exit status is 1 when a cycle holds that file (e.g. CaptureForm.h).
"""
import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def files_of(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith((".h", ".cpp")):
                found.setdefault(name, os.path.join(folder, name))
    return found


def unit(name):
    # A class's header and its .cpp files are one unit: Foo.h, Foo.cpp, FooPart.cpp are not
    # told apart here, only Foo.h and Foo.cpp.
    return name[:-2] if name.endswith(".h") else name[:-4]


def graph(root):
    files = files_of(root)
    edges = {}
    for name, path in files.items():
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        src = unit(name)
        for inc in INCLUDE.findall(text):
            target = os.path.basename(inc)
            if target in files and unit(target) != src:
                edges.setdefault(src, set()).add(unit(target))
        edges.setdefault(src, set())
    return edges


def cycles(edges):
    # Tarjan's strongly connected components, without recursion.
    index, low, on, stack, out = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on.add(start)
        while work:
            node, it = work[-1]
            advanced = False
            for nxt in it:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter[0]
                    counter[0] += 1
                    stack.append(nxt)
                    on.add(nxt)
                    work.append((nxt, iter(sorted(edges.get(nxt, ())))))
                    advanced = True
                    break
                if nxt in on:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    top = stack.pop()
                    on.discard(top)
                    component.append(top)
                    if top == node:
                        break
                if len(component) > 1:
                    out.append(sorted(component))
    return sorted(out, key=lambda c: (-len(c), c))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--src", default=os.path.join(os.path.dirname(__file__), "..", "src"))
    parser.add_argument("--through", help="fail when a cycle holds this file (e.g. CaptureForm.h)")
    args = parser.parse_args()
    found = cycles(graph(args.src))
    for c in found:
        print(f"{len(c)} files: " + " ".join(c))
    if not found:
        print("no include cycle")
    if args.through:
        held = unit(os.path.basename(args.through))
        if any(held in c for c in found):
            print(f"{args.through} is in a cycle", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
