#!/usr/bin/python3
"""Walks the editor's accessibility tree over AT-SPI, as a screen reader reads it, on every
page and in every dialog, and fails on every focusable object that a screen reader could not
announce: no name, no role, a box named by its value, a button named by a sign.

    walk_tree.py pages       # the six pages and the dialogs of an editor with a controller
    walk_tree.py search      # the search window of an editor that finds no controller
"""

import re
import os
import sys
import time

import pyatspi

# Below the test's own time-out (600 s), so that a loaded machine only makes it slower and a
# window that never comes is still named.
WAIT_S = 500

# Roles a focusable control must not have: they say nothing about what it is.
NO_ROLES = {pyatspi.ROLE_INVALID, pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL}
BUTTONS = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
           pyatspi.ROLE_RADIO_BUTTON}


def editor_alive():
    """False once the editor that run.sh started has ended (a zombie counts as ended)."""
    pid = os.environ.get("KORVALEN_EDITOR_PID")
    if not pid:
        return True
    try:
        with open("/proc/%s/stat" % pid) as stat:
            state = stat.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state not in ("Z", "X")


def wait_for(what, find):
    deadline = time.monotonic() + WAIT_S
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        if not editor_alive():
            sys.exit("walk_tree: the editor ended before %s appeared" % what)
        time.sleep(0.2)
    sys.exit("walk_tree: %s did not appear within %d s" % (what, WAIT_S))


def editor_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            for window in app:
                if window is not None and "Korvalen25" in (window.name or ""):
                    return app
        except Exception:  # an application that went away meanwhile
            continue
    return None


def windows(app):
    return [w for w in app if w is not None]


def window_named(app, pattern):
    for w in windows(app):
        if re.search(pattern, w.name or "") and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def descendants(node, into_boxes=True):
    for child in node:
        if child is None:
            continue
        yield child
        if into_boxes or child.getRole() != pyatspi.ROLE_COMBO_BOX:
            yield from descendants(child, into_boxes)


def is_words(name):
    return re.search(r"[^\W\d_]{2}", name) is not None


def entries(node):
    """The texts of a box's entries: the items of the list it opens."""
    texts = set()
    for child in node:
        if child is None:
            continue
        for item in child:
            if item is not None and item.name:
                texts.add(" ".join(item.name.split()))
    return texts


def problems_in(window, where):
    problems = []
    focusable = 0
    # A box's entries are read once, by entries(), not walked.
    for node in descendants(window, into_boxes=False):
        state = node.getState()
        if not (state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING)):
            continue
        role = node.getRole()
        if role in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL,
                    pyatspi.ROLE_TABLE_COLUMN_HEADER, pyatspi.ROLE_MENU):
            continue  # entries of a list, table or menu carry their own text
        focusable += 1
        name = " ".join((node.name or "").split())
        label = "%s: %s %r" % (where, node.getRoleName(), name)
        if not name:
            problems.append(label + ": no name")
            continue
        if role in NO_ROLES:
            problems.append(label + ": no role")
        if role == pyatspi.ROLE_COMBO_BOX and name in entries(node):
            problems.append(label + ": named by its value")
        if role in BUTTONS and not is_words(name):
            problems.append(label + ": named by a sign")
    return focusable, problems


def press(app, root, role_names, name):
    for node in descendants(root, into_boxes=False):
        if (node.name or "") == name and node.getRoleName() in role_names:
            action = node.queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
            # A checkable button offers "Toggle" first, which does not click it.
            for wanted in ("press", "click", "activate"):
                if wanted in names:
                    action.doAction(names.index(wanted))
                    return True
            action.doAction(0)
            return True
    sys.exit("walk_tree: no %s named %r" % ("/".join(role_names), name))


PAGES = ["Encoders", "Function buttons", "Pads", "Transport buttons", "Slider", "Keyboard zones"]
PAGE_NAMES = ["Encoder page", "Function button page", "Pad page", "Transport button page",
              "Slider page", "Keyboard zone page"]
# Menu entries and the title of the window each opens.
DIALOGS = [("Upload", r"^Upload form Korvalen$"), ("Upgrade", r"^FIRMWARE UPGRADE$"),
           ("MIDI Monitor", r"^MIDI Monitor$"), ("MIDI Ports", r"^MIDI Ports$"),
           ("Preset Library...", r"^Preset Library$"),
           ("Compare with Controller", r"^Compare Presets$"),
           ("Keyboard Shortcuts", r"^Keyboard Shortcuts$")]


def walk_pages(app):
    main = wait_for("the editor window", lambda: window_named(app, r"^Korvalen25 Editor"))
    # Pages first: the picture's layer buttons show them.
    problems = []
    total = 0
    for button, page in zip(PAGES, PAGE_NAMES):
        press(app, main, ("push button", "toggle button", "check box"), button)

        def shown():
            for node in descendants(main, into_boxes=False):
                if node.name == page and node.getState().contains(pyatspi.STATE_SHOWING):
                    return node
            return None

        wait_for(page, shown)
        time.sleep(0.3)
        n, p = problems_in(main, button)
        total += n
        problems += p
    for entry, title in DIALOGS:
        press(app, main, ("menu item",), entry)
        window = wait_for(title, lambda: window_named(app, title))
        time.sleep(0.5)
        n, p = problems_in(window, window.name)
        if n == 0:
            p.append("%s: nothing focusable" % window.name)
        total += n
        problems += p
    return total, problems


def walk_search(app):
    window = wait_for("the search window", lambda: window_named(app, r"Connecting"))
    time.sleep(0.3)
    return problems_in(window, window.name)


def main(argv):
    if argv[1:] not in (["pages"], ["search"]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    app = wait_for("the editor on the accessibility bus", editor_app)
    total, problems = walk_pages(app) if argv[1] == "pages" else walk_search(app)
    for p in problems:
        print("UNANNOUNCED " + p)
    print("walk_tree: %d focusable objects, %d problems" % (total, len(problems)))
    return 1 if problems or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
