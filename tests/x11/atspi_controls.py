#!/usr/bin/python3
"""Lists the controls of a program's windows as a screen reader sees them through AT-SPI,
one per line: role, TAB, name, TAB, the names of its actions (comma-separated), TAB,
"showing" or "hidden". With a name as the second argument, it then does the first action
of the push button of that name and prints "pressed".

    atspi_controls.py PID [BUTTON]

Exits 2 when no application of that process reaches the accessibility bus within 20 s."""
import sys
import time

import pyatspi


def find_application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            pass
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return None, []
    return action, [action.getName(i) for i in range(action.nActions)]


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + 20
    app = find_application(pid)
    while app is None or app.childCount == 0:
        if time.monotonic() > deadline:
            print("the program is not on the accessibility bus", file=sys.stderr)
            return 2
        time.sleep(0.2)
        app = find_application(pid)
    controls = list(descendants(app))
    for node in controls:
        _, names = actions_of(node)
        showing = node.getState().contains(pyatspi.STATE_SHOWING)
        print("\t".join([node.getRoleName(), node.name or "", ",".join(names),
                         "showing" if showing else "hidden"]))
    if len(sys.argv) > 2:
        for node in controls:
            if node.name == sys.argv[2] and node.getRole() == pyatspi.ROLE_PUSH_BUTTON:
                action, names = actions_of(node)
                if action is not None and names:
                    action.doAction(0)
                    print("pressed")
                    break
    return 0


if __name__ == "__main__":
    sys.exit(main())
