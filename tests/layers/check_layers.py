#!/usr/bin/env python3
"""The house's layers, checked: includes only point down, and no two modules
include each other, however far round.

    check_layers.py SOURCE_DIR

The layers, top first (a file may include its own layer and those below):
  entry     app/main, app/main_loop, app/options, app/window, app/arguments,
            app/controls, app/web_hooks
  show      show/, fx/
  kits      models/, render/, paths/, and the services every scene reads:
            app/clock, app/time_sources, app/soundtrack
  platform  platform/ (platform/web/ too)
The show never includes tools/ or tests/; the kit the tool and the tests share
(tools/shared_kit) never includes the tool, the generators or the tests.

A module is a .h and its .cpp; a circle is any path of includes from a module
back to itself. Exits 1 and lists every offence when there is one.
"""
import os
import re
import sys

LAYERS = ["platform", "kits", "show", "entry"]  # bottom first
ENTRY_FILES = {"main", "main_loop", "options", "window", "arguments", "controls", "web_hooks"}
SERVICE_FILES = {"clock", "time_sources", "soundtrack"}
PRODUCT = ("app/", "show/", "fx/", "models/", "render/", "paths/", "platform/")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    """The layer of a project path, or None for what has none (tools, tests)."""
    folder, _, name = path.partition("/")
    stem = os.path.splitext(os.path.basename(path))[0]
    if folder == "app":
        if stem in ENTRY_FILES:
            return "entry"
        if stem in SERVICE_FILES:
            return "kits"
        return "unlisted"
    if folder in ("show", "fx"):
        return "show"
    if folder in ("models", "render", "paths"):
        return "kits"
    if folder == "platform":
        return "platform"
    return None


def sources(root):
    for top in PRODUCT + ("tools/", "tests/"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    full = os.path.join(folder, name)
                    yield os.path.relpath(full, root)


def module(path):
    return os.path.splitext(path)[0]


def find_circles(graph):
    """Strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, circles, counter = {}, {}, [], set(), [], [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for succ in graph.get(node, ()):
            if succ not in index:
                visit(succ)
                low[node] = min(low[node], low[succ])
            elif succ in on_stack:
                low[node] = min(low[node], index[succ])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                circles.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return circles


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    offences = []
    graph = {}
    for path in sorted(sources(root)):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        mine = layer_of(path)
        if mine == "unlisted":
            offences.append(f"{path}: app/ file with no layer (list it in tests/layers/check_layers.py)")
        for included in INCLUDE.findall(text):
            if not os.path.exists(os.path.join(root, included)):
                continue  # a system or generated header
            if module(included) != module(path):
                graph.setdefault(module(path), set()).add(module(included))
            theirs = layer_of(included)
            if path.startswith(PRODUCT) and included.startswith(("tools/", "tests/")):
                offences.append(f"{path}: the show includes {included}")
            elif path.startswith("tools/shared_kit/") and included.startswith(
                    ("tools/installed_tool/", "tools/generators/", "tests/")):
                offences.append(f"{path}: the shared kit includes {included}")
            elif mine in LAYERS and theirs in LAYERS and LAYERS.index(theirs) > LAYERS.index(mine):
                offences.append(f"{path} ({mine}) includes {included} ({theirs}), a layer above")
    for circle in find_circles(graph):
        offences.append("modules that include each other: " + " -> ".join(circle))
    for offence in offences:
        print(offence)
    if offences:
        return 1
    print(f"layers: {len(graph)} modules, every include points down, no circles")
    return 0


if __name__ == "__main__":
    sys.exit(main())
