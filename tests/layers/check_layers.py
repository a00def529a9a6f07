#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer, or when files
include each other in a circle. The layers, bottom to top, and what each may
include (besides itself):

  platform  -
  imaging   platform                  (pictures, codecs, operations, view mapping)
  engine    imaging, platform         (engine instance, view widget, picture store)
  settings  platform
  control   engine, imaging, platform
  window    control, engine, imaging, settings, platform   (main window, menus)
  startup   every layer

Usage: check_layers.py <source root>
"""
import os
import re
import sys

ALLOWED = {
    "platform": set(),
    "imaging": {"platform"},
    "engine": {"imaging", "platform"},
    "settings": {"platform"},
    "control": {"engine", "imaging", "platform"},
    "window": {"control", "engine", "imaging", "settings", "platform"},
    "startup": {"window", "control", "engine", "imaging", "settings", "platform"},
}
ENGINE_INSTANCE = re.compile(r"^engine/(image_engine|engine_|draw_tool|picture_store)[^/]*$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(rel):
    top = rel.split("/", 1)[0]
    if top == "engine":
        return "engine" if ENGINE_INSTANCE.match(rel) else "imaging"
    return {"platform": "platform", "settings": "settings", "picture_control": "control",
            "main_window": "window", "menus": "window", "startup": "startup"}.get(top)


def main():
    src = os.path.join(sys.argv[1], "src")
    files = {}
    for root, _, names in os.walk(src):
        for n in names:
            if n.endswith((".cpp", ".h")):
                rel = os.path.relpath(os.path.join(root, n), src).replace(os.sep, "/")
                with open(os.path.join(root, n), encoding="utf-8", errors="replace") as f:
                    files[rel] = [i for i in INCLUDE.findall(f.read())]
    problems = []
    graph = {}
    for rel, includes in sorted(files.items()):
        mine = layer_of(rel)
        graph[rel] = [i for i in includes if i in files]
        for inc in graph[rel]:
            theirs = layer_of(inc)
            if mine and theirs and theirs != mine and theirs not in ALLOWED[mine]:
                problems.append(f"{rel} ({mine}) includes {inc} ({theirs})")
    # Circles among the files' includes.
    state = {}

    def visit(node, path):
        state[node] = 1
        for nxt in graph.get(node, []):
            if state.get(nxt) == 1:
                problems.append("circle: " + " -> ".join(path[path.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, path + [nxt])
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    for p in problems:
        print(p)
    print(f"{len(files)} files, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
