#!/usr/bin/env python3
"""Checks the project tree against the layer order of scripts/layers.txt.

usage: check-includes [ROOT [LAYERS]]
  ROOT    the project root (default: the folder above this script's)
  LAYERS  the layer file (default: ROOT/scripts/layers.txt)
Prints each violation as "path:line: ..." and exits 0 when there is none,
1 when there is one, 2 on a usage error (a missing root or layer file, a
layer file that lists a folder twice or a folder outside the tree).

The layer file lists the units from the bottom up, one line of the order per
line; a unit is a folder, and a folder listed with a slash is a unit of its
own (the longest listed prefix of a path names its unit). tests/, bench/ and
fuzz/ sit above every line: they may include and link any unit, no unit may
include or link them. The rules:

1. Every source file (.c .cc .cpp .cxx .h .hh .hpp .h.in) belongs to a listed
   unit or to tests/, bench/ or fuzz/. Not searched: .git, the folders at the
   root whose names start with "build", and any folder holding a
   CMakeCache.txt (a build tree).
2. A project include points to the including file's own unit or down the
   order, never to a unit of the same line or above, never to tests/, bench/
   or fuzz/ from a unit, never to a folder that is not listed.
3. The folders inside one unit do not include each other in a cycle.
4. A unit's targets link (target_link_libraries in any CMakeLists.txt) only
   targets of its own unit or of units below it. A target belongs to the
   folder whose CMakeLists.txt defines it (add_library or add_executable);
   targets of the root CMakeLists.txt (the include path) may be linked by
   all; "$<TARGET_OBJECTS:t>" in a target's sources counts as linking t.
   Names held in variables cannot be followed.

Which includes are project includes. An include is resolved as the compiler
resolves it with the project root on the include path, which it searches
before the system folders:
- "p" names the file p relative to the including file's folder if there is
  one there, else p relative to the root ("../x" forms included);
- <p> names the file p relative to the root, never relative to the including
  file.
It is a project include when that names a file in the tree. Anything else is
a system header or a generated one and is not checked: <pipewire/pipewire.h>
and <spa/...> name no file of the tree even though a folder pipewire/ exists,
so they stay system headers. Were a file of the tree to shadow a system header
(say pipewire/pipewire.h), the include would name a folder that is not a unit
and be reported, and so would the file itself.
"""

import os
import posixpath
import re
import sys

FREE = ("tests", "bench", "fuzz")
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".h.in")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]*)[">]')
CMAKE_COMMAND = re.compile(r"([A-Za-z_][A-Za-z0-9_]*)[ \t]*\(")
BRACKET_COMMENT = re.compile(r"#\[(=*)\[")
LINK_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE", "LINK_PUBLIC", "LINK_PRIVATE",
                 "LINK_INTERFACE_LIBRARIES", "debug", "optimized", "general"}


class UsageError(Exception):
    pass


def read_layers(path):
    """Maps each listed unit to (its line of the order, the layer file's line)."""
    units = {}
    level = 0
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            words = text.split("#", 1)[0].split()
            if not words:
                continue
            level += 1
            for word in words:
                unit = word.rstrip("/")
                normal = posixpath.normpath(unit)
                if unit != normal or unit.startswith("../") or unit == ".." or unit.startswith("/"):
                    raise UsageError(f"{path}:{number}: '{word}' is not a folder below the root")
                if unit.split("/")[0] in FREE:
                    raise UsageError(f"{path}:{number}: '{word}' is above every unit and may not be listed")
                if unit in units:
                    raise UsageError(f"{path}:{number}: '{word}' is listed twice")
                units[unit] = (level, number)
    return units


class Tree:
    def __init__(self, root, units):
        self.root = root
        self.units = units
        self.files = set()          # every file, relative to the root
        self.cmake_lists = []
        for folder, dirs, names in os.walk(root):
            rel = os.path.relpath(folder, root)
            rel = "" if rel == "." else rel.replace(os.sep, "/")
            dirs[:] = sorted(d for d in dirs if not self.pruned(rel, d, folder))
            for name in names:
                path = posixpath.join(rel, name)
                self.files.add(path)
                if name == "CMakeLists.txt":
                    self.cmake_lists.append(path)
        self.cmake_lists.sort()

    @staticmethod
    def pruned(rel, name, folder):
        if name == ".git" or (rel == "" and name.startswith("build")):
            return True
        return os.path.isfile(os.path.join(folder, name, "CMakeCache.txt"))

    def sources(self):
        return sorted(p for p in self.files if p.endswith(SOURCE_SUFFIXES))

    def unit_of(self, path):
        """The longest listed unit holding path, or None."""
        best = None
        for unit in self.units:
            if (path == unit or path.startswith(unit + "/")) and (best is None or len(unit) > len(best)):
                best = unit
        return best

    @staticmethod
    def free(path):
        return path.split("/")[0] in FREE

    def describe(self, unit):
        level = self.units[unit][0]
        return f"{unit} (line {level} of the layer order)"

    def resolve(self, includer, bracket, name):
        """The file of the tree an include names, or None."""
        candidates = []
        if bracket == '"':
            candidates.append(posixpath.join(posixpath.dirname(includer), name))
        candidates.append(name)
        for candidate in candidates:
            path = posixpath.normpath(candidate)
            if path == ".." or path.startswith("../") or path.startswith("/"):
                continue
            if path in self.files:
                return path
        return None


def dependency_error(tree, source, target):
    """Why folder or file `source` may not depend on `target`, or None."""
    if tree.free(source):
        if tree.free(target) or tree.unit_of(target) is not None:
            return None
        return f"{target.split('/')[0]}/ is not a listed unit"
    frm = tree.unit_of(source)
    if frm is None:
        return None                       # reported as a file outside the units
    if tree.free(target):
        return f"{frm} may not depend on {target.split('/')[0]}/, which sits above every unit"
    to = tree.unit_of(target)
    if to is None:
        return f"{target.split('/')[0]}/ is not a listed unit"
    if to != frm and tree.units[to][0] >= tree.units[frm][0]:
        return f"{tree.describe(frm)} may not depend on {tree.describe(to)}"
    return None


def check_sources(tree, report):
    """Rules 1 and 2; gives the include edges between folders of one unit."""
    edges = {}   # unit -> {(from folder, to folder): [(file, line, name)]}
    for path in tree.sources():
        unit = tree.unit_of(path)
        if unit is None and not tree.free(path):
            folder = posixpath.dirname(path) or "the root"
            report(f"{path}: belongs to no unit: {folder} is not listed in the layer file "
                   f"(and is not under {', '.join(f + '/' for f in FREE)})")
        try:
            with open(os.path.join(tree.root, path), encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except OSError as e:
            report(f"{path}: cannot be read: {e.strerror}")
            continue
        for number, text in enumerate(lines, 1):
            m = INCLUDE.match(text)
            if not m:
                continue
            bracket, name = m.groups()
            quoted = f'"{name}"' if bracket == '"' else f"<{name}>"
            base = posixpath.dirname(path) if bracket == '"' else ""
            outside = posixpath.normpath(posixpath.join(base, name))
            if outside == ".." or outside.startswith("../") or outside.startswith("/"):
                report(f"{path}:{number}: includes {quoted}, which is outside the project tree")
                continue
            target = tree.resolve(path, bracket, name)
            if target is None:
                continue                  # a system or generated header
            why = dependency_error(tree, path, target)
            if why:
                report(f"{path}:{number}: includes {quoted}: {why}")
                continue
            if unit is not None and tree.unit_of(target) == unit:
                a, b = posixpath.dirname(path), posixpath.dirname(target)
                if a != b:
                    edges.setdefault(unit, {}).setdefault((a, b), []).append((path, number, quoted))
    return edges


def strong_components(nodes, succ):
    """Tarjan's algorithm; gives the components of more than one node."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in succ.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return found


def cycle_through(start, succ, members):
    """A shortest way from start round to start inside members."""
    parent = {start: None}
    queue = [start]
    while queue:
        v = queue.pop(0)
        for w in sorted(succ.get(v, set()) & members):
            if w == start:
                path = [v]
                while parent[path[-1]] is not None:
                    path.append(parent[path[-1]])
                return list(reversed(path)) + [start]
            if w not in parent:
                parent[w] = v
                queue.append(w)
    return sorted(members)


def check_cycles(edges, report):
    """Rule 3: each cycle among the folders of a unit, with every include on it."""
    for unit in sorted(edges):
        succ = {}
        for a, b in edges[unit]:
            succ.setdefault(a, set()).add(b)
        nodes = {n for pair in edges[unit] for n in pair}
        for component in strong_components(nodes, succ):
            members = set(component)
            path = cycle_through(component[0], succ, members)
            report(f"{unit}: its folders include each other in a cycle: {' -> '.join(path)}")
            for (a, b), sites in sorted(edges[unit].items()):
                if a in members and b in members:
                    for path_, number, quoted in sites:
                        report(f"{path_}:{number}: includes {quoted}: {a} -> {b}, part of that cycle")


def cmake_calls(text):
    """Each command call of a CMake file: (name, arguments, line)."""
    i, n, line = 0, len(text), 1
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif c == "#":
            i, line = skip_comment(text, i, line)
        elif c == '"':
            i, line, _ = read_quoted(text, i, line)
        else:
            m = CMAKE_COMMAND.match(text, i)
            if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
                start = line
                args, i, line = read_arguments(text, m.end(), line)
                yield m.group(1).lower(), args, start
            else:
                i += 1


def skip_comment(text, i, line):
    m = BRACKET_COMMENT.match(text, i)
    if m:
        end = text.find("]" + m.group(1) + "]", m.end())
        if end >= 0:
            return end + len(m.group(1)) + 2, line + text.count("\n", i, end)
    end = text.find("\n", i)
    return (len(text) if end < 0 else end), line


def read_quoted(text, i, line):
    j = i + 1
    value = []
    while j < len(text) and text[j] != '"':
        if text[j] == "\\" and j + 1 < len(text):
            value.append(text[j:j + 2])
            j += 2
            continue
        if text[j] == "\n":
            line += 1
        value.append(text[j])
        j += 1
    return j + 1, line, "".join(value)


def read_arguments(text, i, line):
    args, word, depth = [], [], 1
    n = len(text)
    while i < n:
        c = text[i]
        if c == "#" and not word:
            i, line = skip_comment(text, i, line)
            continue
        if c == '"':
            i, line, value = read_quoted(text, i, line)
            word.append(value)
            continue
        if c in " \t\r\n":
            if c == "\n":
                line += 1
            if word:
                args.append("".join(word))
                word = []
            i += 1
            continue
        if c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0:
                if word:
                    args.append("".join(word))
                return args, i + 1, line
        word.append(c)
        i += 1
    if word:
        args.append("".join(word))
    return args, i, line


def link_names(argument):
    """The target names an item of target_link_libraries may stand for."""
    names = []
    for item in argument.split(";"):
        if "$<" in item:
            names += [p for p in re.split(r"[$<>:,;]+", item) if p]
        elif item and "${" not in item:
            names.append(item)
    return names


def expand(args, variables):
    """Arguments with the variables set earlier in the same file put in;
    an argument naming any other variable is left out."""
    out = []
    for arg in args:
        m = re.fullmatch(r"\$\{(\w+)\}", arg)
        if m and m.group(1) in variables:
            out += variables[m.group(1)]
            continue
        arg = re.sub(r"\$\{(\w+)\}", lambda v: ";".join(variables.get(v.group(1), [v.group(0)])), arg)
        if "${" not in arg:
            out.append(arg)
    return out


def check_links(tree, report):
    """Rule 4."""
    defined = {}     # target -> folder whose CMakeLists.txt defines it
    links = []       # (CMakeLists.txt, line, target, linked name)
    for cmake in tree.cmake_lists:
        folder = posixpath.dirname(cmake)
        with open(os.path.join(tree.root, cmake), encoding="utf-8", errors="replace") as f:
            text = f.read()
        variables = {}
        for name, args, line in cmake_calls(text):
            if not args:
                continue
            if name == "set":
                values = args[1:]
                for stop in ("CACHE", "PARENT_SCOPE"):
                    values = values[:values.index(stop)] if stop in values else values
                variables[args[0]] = expand(values, variables)
            elif name == "list" and len(args) > 1 and args[0] == "APPEND":
                variables[args[1]] = variables.get(args[1], []) + expand(args[2:], variables)
            elif name in ("add_library", "add_executable", "target_sources", "target_link_libraries"):
                # A target named by an unknown variable: the file's folder
                # stands for it.
                target, rest = (expand(args[:1], variables) or [args[0]])[0], expand(args[1:], variables)
                if name != "target_link_libraries":
                    if name != "target_sources":
                        if "IMPORTED" in rest or "${" in target:
                            continue
                        defined.setdefault(target, folder)
                        if rest[:1] == ["ALIAS"] and len(rest) > 1:
                            links.append((cmake, line, target, rest[1]))
                    for arg in rest:
                        for objects in re.findall(r"\$<TARGET_OBJECTS:([^>]+)>", arg):
                            links.append((cmake, line, target, objects))
                else:
                    for arg in rest:
                        if arg not in LINK_KEYWORDS:
                            for linked in link_names(arg):
                                links.append((cmake, line, target, linked))
    for cmake, line, target, linked in links:
        if linked not in defined:
            continue                      # a system library or imported target
        frm = defined.get(target, posixpath.dirname(cmake))
        to = defined[linked]
        if frm == "" or to == "":
            continue                      # the root's targets: the include path
        why = dependency_error(tree, frm + "/CMakeLists.txt", to + "/CMakeLists.txt")
        if why:
            report(f"{cmake}:{line}: {target} links {linked} (defined in {to}/CMakeLists.txt): {why}")


def check_units_exist(tree, layers_name, report):
    for unit, (_, number) in sorted(tree.units.items(), key=lambda u: u[1][1]):
        if not os.path.isdir(os.path.join(tree.root, unit)):
            report(f"{layers_name}:{number}: lists {unit}, which is not a folder of the tree")


def main(argv):
    if len(argv) > 2 or any(a in ("-h", "--help") for a in argv):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.abspath(argv[0]) if argv else os.path.dirname(here)
    layers = argv[1] if len(argv) > 1 else os.path.join(root, "scripts", "layers.txt")
    if not os.path.isdir(root):
        print(f"check-includes: no folder {root}", file=sys.stderr)
        return 2
    if not os.path.isfile(layers):
        print(f"check-includes: no layer file {layers}", file=sys.stderr)
        return 2
    try:
        units = read_layers(layers)
    except UsageError as e:
        print(f"check-includes: {e}", file=sys.stderr)
        return 2
    except (OSError, UnicodeDecodeError) as e:
        print(f"check-includes: cannot read {layers}: {e}", file=sys.stderr)
        return 2

    found = []

    def report(message):
        found.append(message)
        print(message)

    tree = Tree(root, units)
    check_units_exist(tree, os.path.relpath(layers, root) if layers.startswith(root) else layers, report)
    check_cycles(check_sources(tree, report), report)
    check_links(tree, report)
    if found:
        print(f"check-includes: {len(found)} finding(s) against the layer order of {layers}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
