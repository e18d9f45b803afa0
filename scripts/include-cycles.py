#!/usr/bin/env python3
"""Lists include cycles between the source folders.

Dependencies run one way (window -> install -> download -> platform); a
folder that includes a header of a folder that, directly or through others,
includes one of its own closes a circle. Each circle is printed with the
includes that make it, and the exit code is 1 while any remains.

usage: scripts/include-cycles.py [repository root]
"""
import os
import re
import sys

FOLDERS = ("src", "toolkit", "reportsdk")
SOURCE = re.compile(r"\.(h|hpp|c|cc|cpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    for top in FOLDERS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if SOURCE.search(name):
                    yield os.path.join(folder, name)


def resolve(root, including, name):
    """The file an include names: beside the includer, under src/ or the root."""
    for base in (os.path.dirname(including), os.path.join(root, "src"), root):
        path = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(path):
            return path
    return None


def folder_graph(root):
    """folder -> {folder: (includer, included)} for includes across folders."""
    graph = {}
    for path in sources(root):
        here = os.path.relpath(os.path.dirname(path), root)
        graph.setdefault(here, {})
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for name in INCLUDE.findall(text):
            target = resolve(root, path, name)
            if not target:
                continue
            there = os.path.relpath(os.path.dirname(target), root)
            if there != here:
                graph[here].setdefault(there, (os.path.relpath(path, root), os.path.relpath(target, root)))
    return graph


def circles(graph):
    """Strongly connected components of more than one folder (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in graph.get(node, {}):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    graph = folder_graph(root)
    found = circles(graph)
    for component in found:
        print("include circle between: " + ", ".join(component))
        members = set(component)
        for here in component:
            for there, (includer, included) in sorted(graph[here].items()):
                if there in members:
                    print(f"  {here} -> {there}  ({includer} includes {included})")
    if found:
        return 1
    print(f"no include circle between the {len(graph)} source folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
