#!/usr/bin/python3
"""Checks the layers of the code against the table of allowed dependencies in
the README ("Which library may use which"): every #include of src/, app/ and
cli/, and every library the CMake files link.

    check_layers.py SOURCE_DIR [QT_HEADERS_DIR]

Fails (exit 1, one line per fault) on
  - a library, or a folder of src/, that the table has no row for;
  - an include of, or a link to, a library of ours that its row does not list;
  - a widget header (Qt Widgets, Qt WebEngine Widgets, Qt Print Support) or a
    link to those modules in a library whose row says it has no widgets.
A library's widgets/ folder (kirvane_X_widgets) may use its own library and
`ui` besides what its row lists.
"""
import glob
import os
import re
import sys

WIDGET_MODULES = ("QtWidgets", "QtWebEngineWidgets", "QtPrintSupport", "QtQuickWidgets", "QtOpenGLWidgets")
WIDGET_LINKS = {"Qt6::" + m[2:] for m in WIDGET_MODULES}


def read_table(readme):
    """{unit: (set of units it may use, may it use widgets)} from the README's table."""
    text = open(readme, encoding="utf-8").read()
    start = text.find("### Which library may use which")
    if start < 0:
        sys.exit("README.md: no section \"### Which library may use which\"")
    table = {}
    for line in text[start:].splitlines()[1:]:
        if line.startswith("#"):
            break
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 3 or not cells[0].startswith("`"):
            continue
        unit = cells[0].strip("`")
        uses = set(re.findall(r"`([^`]+)`", cells[1]))
        for anything in ("every library without widgets", "every library"):
            if cells[1].startswith(anything):
                uses.add(anything)
                break
        table[unit] = (uses, cells[2].lower().startswith("yes"))
    return table


def unit_of(path):
    """The library a file of src/, app/ or cli/ belongs to: "store", "store/widgets", "cli"."""
    parts = path.split("/")
    if parts[0] != "src":
        return parts[0]
    return parts[1] + ("/widgets" if len(parts) > 3 and parts[2] == "widgets" else "")


def widget_headers(qt_dir):
    names = set()
    for module in WIDGET_MODULES:
        for d in glob.glob(os.path.join(qt_dir, module)) if qt_dir else []:
            names.update(os.listdir(d))
    return names


def allowed(table, unit, used):
    if used == unit:
        return True
    uses, _ = table[unit]
    if "every library" in uses or used in uses:
        return True
    if "every library without widgets" in uses and not table.get(used, (set(), True))[1]:
        return True
    if unit.endswith("/widgets") and used in (unit[: -len("/widgets")], "ui"):
        return True
    return False


def main():
    root = os.path.abspath(sys.argv[1])
    qt_dir = sys.argv[2] if len(sys.argv) > 2 else next(iter(glob.glob("/usr/include/*/qt6")), "")
    table = read_table(os.path.join(root, "README.md"))
    folders = sorted(d for d in os.listdir(os.path.join(root, "src")) if os.path.isdir(os.path.join(root, "src", d)))
    widgets = widget_headers(qt_dir)
    faults = []

    for unit in folders:
        for u in (unit, unit + "/widgets"):
            if os.path.isdir(os.path.join(root, "src", u)) and u not in table:
                faults.append("README.md: the table has no row for %s" % u)
    if faults:
        print("\n".join(faults))
        return 1

    # Includes.
    include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
    for top in ("src", "app", "cli"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.relpath(os.path.join(dirpath, name), root)
                unit = unit_of(path)
                if unit not in table:
                    faults.append("%s: the README's table has no row for %s" % (path, unit))
                    continue
                text = open(os.path.join(root, path), encoding="utf-8", errors="replace").read()
                for m in include.finditer(text):
                    line = text.count("\n", 0, m.start()) + 1
                    header = m.group(2)
                    first = header.split("/")[0]
                    if m.group(1) == '"' and first in folders and "/" in header:
                        parts = header.split("/")
                        used = first + ("/widgets" if len(parts) > 2 and parts[1] == "widgets" else "")
                        if not allowed(table, unit, used):
                            faults.append("%s:%d: %s includes %s, which the README's table does not let it use"
                                          % (path, line, unit, header))
                    elif not table[unit][1] and (first in WIDGET_MODULES or header in widgets):
                        faults.append("%s:%d: %s has no widgets, but includes <%s>" % (path, line, unit, header))

    # Links.
    target = re.compile(r"^kirvane_(\w+?)(_widgets)?$")
    for lists in sorted(glob.glob(os.path.join(root, "src/*/CMakeLists.txt")) + [os.path.join(root, "cli/CMakeLists.txt"),
                                                                                  os.path.join(root, "app/CMakeLists.txt")]):
        rel = os.path.relpath(lists, root)
        text = re.sub(r"#[^\n]*", "", open(lists, encoding="utf-8").read())
        folder = rel.split("/")[1] if rel.startswith("src/") else rel.split("/")[0]
        links = []  # (unit, linked)
        for m in re.finditer(r"kirvane_library\((\w+)(.*?)\)", text, re.S):
            words = m.group(2).split()
            side = m.group(1)
            for w in words:
                if w == "LIBS":
                    side = m.group(1)
                elif w == "WIDGET_LIBS":
                    side = m.group(1) + "/widgets"
                else:
                    links.append((side, w))
        for m in re.finditer(r"target_link_libraries\(\s*([\w-]+)(.*?)\)", text, re.S):
            t = target.match(m.group(1))
            unit = (t.group(1) + ("/widgets" if t.group(2) else "")) if t else {"kirvane-cli": "cli", "kirvane": "app"}.get(m.group(1), folder)
            links += [(unit, w) for w in m.group(2).split() if w not in ("PUBLIC", "PRIVATE", "INTERFACE")]
        for unit, linked in links:
            if unit not in table:
                faults.append("%s: the README's table has no row for %s" % (rel, unit))
                continue
            t = target.match(linked)
            if t:
                used = t.group(1) + ("/widgets" if t.group(2) else "")
                if not allowed(table, unit, used):
                    faults.append("%s: %s links %s, which the README's table does not let it use" % (rel, unit, linked))
            elif linked in WIDGET_LINKS and not table[unit][1]:
                faults.append("%s: %s has no widgets, but links %s" % (rel, unit, linked))

    print("\n".join(faults) if faults else "every include and link keeps to the README's table")
    return 1 if faults else 0


sys.exit(main())
