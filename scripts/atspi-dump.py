#!/usr/bin/env python3
"""Dumps Pagora Pro's main window as a screen reader sees it over AT-SPI, then
presses Tab round the window and names each control that takes the focus.
Exit status 1 when a control a user can reach or press has no name."""
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_ITEM,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_ENTRY,
}


def app_named(name, wait=20.0):
    end = time.time() + wait
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name in (name, "Pagora Pro"):
                return app
        time.sleep(0.2)
    sys.exit(f"{name} never appeared on the accessibility bus")


def spoken(node):
    """What is read for the node: its name, or for a list box the label it is related to."""
    name = (node.name or "").strip()
    labels = [t for r in node.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for t in (r.getTarget(i) for i in range(r.getNTargets()))]
    label = labels[0].name.strip() if labels and labels[0] is not None else ""
    return name, label


def walk(node, depth, faults):
    role = node.getRole()
    name, label = spoken(node)
    showing = node.getState().contains(pyatspi.STATE_SHOWING)
    line = f"{'  ' * depth}{node.getRoleName()}: \"{name}\""
    if label:
        line += f" labelled by \"{label}\""
    if node.description:
        line += f" - {node.description}"
    print(line)
    if showing and role in INTERACTIVE and not (label if role == pyatspi.ROLE_COMBO_BOX else name):
        faults.append(line.strip())
    if role in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU):
        return  # popups are not on the screen
    for child in node:
        if child is not None:
            walk(child, depth + 1, faults)


def focused(node):
    if node.getState().contains(pyatspi.STATE_FOCUSED):
        return node
    for child in node:
        if child is not None:
            hit = focused(child)
            if hit is not None:
                return hit
    return None


def main():
    app = app_named(sys.argv[1] if len(sys.argv) > 1 else "pagora-pro")
    window = app[0]
    faults = []
    walk(window, 0, faults)
    # Without a window manager the keyboard goes to the window under the pointer.
    box = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    # A click on the status bar makes the window active without changing anything.
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height - 5, "b1c")
    time.sleep(0.3)
    print("\nTab sequence:")
    seen = []
    for _ in range(40):
        pyatspi.Registry.generateKeyboardEvent(23, None, pyatspi.KEY_PRESSRELEASE)  # Tab
        time.sleep(0.15)
        node = focused(window)
        if node is None:
            continue
        name, label = spoken(node)
        said = label if node.getRole() == pyatspi.ROLE_COMBO_BOX else name
        entry = f"{node.getRoleName()} \"{said}\""
        if seen and entry == seen[0]:
            break
        seen.append(entry)
        print("  " + entry)
    if faults:
        print("\nWithout a name:\n  " + "\n  ".join(faults))
        return 1
    print("\nEvery button, box, list and field has a name.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
