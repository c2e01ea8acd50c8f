#!/usr/bin/env python3
"""Dumps Pagora Pro's windows as a screen reader sees them over AT-SPI: the main
window, its status line (texts and progress bar) and the Tab sequence, then the
Preferences and About windows opened from the menus. Exit status 1 when a
control of any window, shown or not, has no name, or when the status line or its
progress bar is not heard."""
import os
import subprocess
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_ITEM,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_STATUS_BAR,
}
MENUS = (pyatspi.ROLE_MENU, pyatspi.ROLE_MENU_BAR)


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
    if not showing:
        line += " (not shown)"
    if role == pyatspi.ROLE_PROGRESS_BAR:
        line += f" value {value_of(node)}"
    print(line)
    # Hidden controls count too: they are heard once shown, or in another state.
    if role in INTERACTIVE and not (label if role == pyatspi.ROLE_COMBO_BOX else name):
        faults.append(line.strip())
    if role == pyatspi.ROLE_COMBO_BOX:
        return  # its entries are its model's, not controls
    for child in node:
        if child is not None:
            walk(child, depth + 1, faults)


def value_of(node):
    try:
        return node.queryValue().currentValue
    except NotImplementedError:
        return None


def find(node, role):
    if node.getRole() == role:
        return node
    for child in node:
        if child is not None:
            hit = find(child, role)
            if hit is not None:
                return hit
    return None


def status_line(window, faults):
    """The texts and the progress bar a screen reader reads from the status bar."""
    bar = find(window, pyatspi.ROLE_STATUS_BAR)
    print("\nStatus line:")
    if bar is None or not bar.getState().contains(pyatspi.STATE_SHOWING):
        faults.append("no status bar on the screen")
        return
    print(f"  status bar \"{bar.name}\"")
    texts = []
    progress = None
    for panel in bar:
        if panel.getRole() == pyatspi.ROLE_PROGRESS_BAR:
            progress = panel
            print(f"  progress bar \"{panel.name}\" value {value_of(panel)}")
        else:
            texts.append(panel.name)
            extra = f" - {panel.description}" if panel.description else ""
            print(f"  {panel.getRoleName()} \"{panel.name}\"{extra}")
    if not texts or not texts[0]:
        faults.append("the status line has no text")
    if progress is None or not progress.name or value_of(progress) is None:
        faults.append("the status line's progress bar has no name or value")


def click(node, part=2):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // part, box.y + box.height // 2, "b1c")


def find_all(node, role):
    found = [node] if node.getRole() == role else []
    for child in node:
        if child is not None:
            found += find_all(child, role)
    return found


def screenshot(suffix):
    """With ATSPI_SCREENSHOT set, keeps the screen as that file (plus suffix)."""
    path = os.environ.get("ATSPI_SCREENSHOT")
    if path:
        root, ext = os.path.splitext(path)
        subprocess.run(["import", "-window", "root", root + suffix + ext], check=False)


def whole_on_click(app, status, faults):
    """A click on an error cut to its panel shows the whole text."""
    click(status)
    # Its title may be the program's name: found as the one shown message box.
    shown = until(lambda: next((w for w in app if w is not None
                                and w.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)
                                and w.getState().contains(pyatspi.STATE_SHOWING)), None))
    labels = find_all(shown, pyatspi.ROLE_LABEL) if shown else []
    if not any(status.name in (label.name or "") for label in labels):
        faults.append("a click on the error does not show it whole")
        return
    print(f"A click on it opens \"{shown.name}\" with the whole text")
    screenshot("-whole")
    close(shown)


def status_changes(app, window, faults):
    """Drives the program to the texts the status line shows most: ready, a file
    count after a scan, an error; each must be heard on the status bar."""
    bar = find(window, pyatspi.ROLE_STATUS_BAR)
    sources = find(window, pyatspi.ROLE_COMBO_BOX)
    # While the scanner search runs the status repeats the source box's text.
    if not until(lambda: bar[0].name and bar[0].name != sources.name, 30):
        faults.append("the scanner search never ended")
    print(f"\nStatus after the scanner search: \"{bar[0].name}\"")
    # Scan: the push button carrying the Scan/Copy menu, clicked left of its arrow.
    scan = next(b for b in find_all(window, pyatspi.ROLE_PUSH_BUTTON)
                if any(c is not None and c.getRole() == pyatspi.ROLE_POPUP_MENU for c in b))
    before = {w.name for w in app}
    click(scan, 3)
    # The question whether to make the missing destination folder: its first button, Yes.
    asked = until(lambda: bar[3].name or next(
        (w for w in app if w is not None and w.name not in before), None), 60)
    if asked and not isinstance(asked, str):
        print(f"Asked: \"{asked.name}\"")
        click(find(asked, pyatspi.ROLE_PUSH_BUTTON))
    if until(lambda: bar[3].name, 60):
        print(f"File count after a scan: \"{bar[3].name}\"")
    else:
        faults.append("no file count after a scan")
    # A destination nothing can be written to gives an error on the status line.
    field = next(t for t in find_all(window, pyatspi.ROLE_TEXT)
                 if any(c is not None and c.getRole() == pyatspi.ROLE_PUSH_BUTTON for c in t))
    field.queryEditableText().setTextContents("/proc")
    before = bar[0].name
    click(scan, 3)
    if until(lambda: bar[0].name != before and bar[0].description, 60):
        print(f"Error: \"{bar[0].name}\" - {bar[0].description}")
        screenshot("")
        whole_on_click(app, bar[0], faults)
    else:
        faults.append(f"no error heard on the status line (it says \"{bar[0].name}\")")


def until(condition, wait=10.0):
    end = time.time() + wait
    while time.time() < end:
        hit = condition()
        if hit:
            return hit
        time.sleep(0.1)
    return None


def open_from_menu(app, window, menu_index, item_index):
    """Opens a window with a mouse click on a menu entry (a modal window would
    block a call through the accessibility bus) and returns it."""
    bar = find(window, pyatspi.ROLE_MENU_BAR)
    title = bar[menu_index]
    click(title)
    item = title[0][item_index]  # the title's child is its popup menu
    if not until(lambda: item.getState().contains(pyatspi.STATE_SHOWING)):
        return None, item.name
    before = {w.name for w in app}
    click(item)
    opened = until(lambda: next((w for w in app if w is not None and w.name not in before
                                 and w.getState().contains(pyatspi.STATE_SHOWING)), None))
    return opened, item.name


def close(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    # The keys go to the window under the pointer.
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + 10, "abs")
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
    until(lambda: not node.getState().contains(pyatspi.STATE_SHOWING))


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
    status_line(window, faults)
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
    status_changes(app, window, faults)
    status_line(window, faults)
    # Preferences (Settings menu) and About (Help menu) in turn.
    for menu_index, item_index in ((1, 0), (2, 1)):
        opened, entry = open_from_menu(app, window, menu_index, item_index)
        if opened is None:
            faults.append(f"\"{entry}\" opened no window")
            continue
        print(f"\nWindow opened by \"{entry}\":")
        walk(opened, 0, faults)
        close(opened)
    if faults:
        print("\nWithout a name:\n  " + "\n  ".join(faults))
        return 1
    print("\nEvery control of every window has a name; the status line is heard.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
