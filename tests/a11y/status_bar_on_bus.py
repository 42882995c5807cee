#!/usr/bin/python3
"""The main window as a screen reader meets it on the accessibility bus (AT-SPI).

Starts Vexil on a private X server (Xvfb) and a private session bus (dbus-run-session) with
the accessibility bus of at-spi2-core, then, through pyatspi as a screen reader would:
finds the application, checks that its main window is a frame named by its caption and that
the three status panels are named by the texts they show, presses Go against a news server
and waits until the changed panel texts arrive on the bus as name changes ("Total articles:
N", "Article retrieved") and match what the panels are then named.

usage: status_bar_on_bus.py --vexil EXE --settings VEXIL_SETTINGS
                            (--server HOST:PORT | --inn-state DIR) --group GROUP
                            [--wait SECONDS]
--inn-state names the state folder of tools/inn/test-fixture, whose open server is taken.
Exit status 0 when every check passed, 1 when one failed, 2 when the set-up failed.
"""

import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

A11Y_BUS_SERVICE = "/usr/share/dbus-1/services/org.a11y.Bus.service"
SESSION_MARK = "VEXIL_A11Y_PRIVATE_SESSION"
CAPTION = "Vexil - Image Browser"
INITIAL_PANELS = ["Total Articles: ", "Current Status: Not Connected", "None"]
PANEL_DESCRIPTIONS = ["Total Articles", "Current Status", "Picture File"]
FINAL_STATUS = "Last available header retrieved"


class SetupError(Exception):
    pass


class CheckFailed(Exception):
    pass


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vexil", required=True, help="the vexil executable")
    parser.add_argument("--settings", required=True, help="the vexil-settings executable")
    server = parser.add_mutually_exclusive_group(required=True)
    server.add_argument("--server", help="news server, HOST:PORT")
    server.add_argument("--inn-state", help="state folder of tools/inn/test-fixture")
    parser.add_argument("--group", required=True, help="a group with picture articles")
    parser.add_argument("--wait", type=float, default=60.0,
                        help="longest wait for each step, in seconds (default 60)")
    return parser.parse_args()


def server_address(args):
    if args.server:
        return args.server
    with open(os.path.join(args.inn_state, "port")) as port:
        return "127.0.0.1:" + port.readline().strip()


def in_private_session():
    """Runs this script again inside a session bus of its own, unless it already is."""
    if os.environ.get(SESSION_MARK) == "1":
        return
    if shutil.which("dbus-run-session") is None:
        print("status_bar_on_bus: dbus-run-session is missing (package dbus)", file=sys.stderr)
        sys.exit(2)
    env = dict(os.environ, **{SESSION_MARK: "1"})
    result = subprocess.run(["dbus-run-session", "--", sys.executable, *sys.argv], env=env)
    sys.exit(result.returncode)


class Processes:
    """The helper processes of the run, ended in reverse order of their start."""

    def __init__(self):
        self.started = []

    def start(self, name, argv, **kwargs):
        process = subprocess.Popen(argv, **kwargs)
        self.started.append((name, process))
        return process

    def stop_all(self):
        for _, process in reversed(self.started):
            if process.poll() is None:
                process.terminate()
        for name, process in reversed(self.started):
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                print(f"status_bar_on_bus: {name} did not end, killing it", file=sys.stderr)
                process.kill()
                process.wait()


def start_xvfb(processes):
    """A private X server on a display number it picks itself; returns ":N"."""
    read_end, write_end = os.pipe()
    processes.start("Xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1024x768x24", "-nolisten", "tcp"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        ready, _, _ = select.select([pipe], [], [], 30)
        number = pipe.readline().strip() if ready else ""
    if not number.isdigit():
        raise SetupError("Xvfb did not report its display")
    return ":" + number


def wait_for(what, seconds, probe, pump=None):
    """Polls probe() until it returns something true; raises CheckFailed after seconds."""
    deadline = time.monotonic() + seconds
    while True:
        if pump:
            pump()
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise CheckFailed(f"waited {seconds:.0f} s for {what}")
        time.sleep(0.05)


def descendants(accessible, depth=0):
    if accessible is None or depth > 12:
        return
    yield accessible
    for i in range(accessible.childCount):
        yield from descendants(accessible.getChildAtIndex(i), depth + 1)


def main():
    args = parse_arguments()
    in_private_session()

    # Imported here: the first pass only starts the private session.
    try:
        import pyatspi
        from gi.repository import GLib
    except ImportError as error:
        print(f"status_bar_on_bus: {error} (packages python3-pyatspi, gir1.2-atspi-2.0)",
              file=sys.stderr)
        return 2

    work = tempfile.mkdtemp(prefix="vexil-a11y.")
    processes = Processes()
    vexil = None
    log = None
    names_seen = []
    try:
        home = os.path.join(work, "home")
        os.makedirs(home)
        env = dict(os.environ, VEXIL_HOME=home,
                   VEXIL_REGISTRY=os.path.join(work, "registry.sqlite3"))
        subprocess.run([args.settings, "set", "Server", server_address(args)], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        # The group list file makes the test group the drop-down's only, chosen entry.
        with open(os.path.join(home, "Vexil.Dat"), "w") as groups:
            groups.write(args.group + "\n")

        display = start_xvfb(processes)
        # The session bus starts the accessibility bus (at-spi-bus-launcher) when it is first
        # asked for it, and ends it with the session.
        if not os.path.exists(A11Y_BUS_SERVICE):
            raise SetupError(f"{A11Y_BUS_SERVICE} is missing (package at-spi2-core)")

        # Listen before the application comes, so that it learns at once that someone does.
        def name_changed(event):
            try:
                source = event.source
                names_seen.append((source.description, source.name))
            except Exception:  # the source went away meanwhile
                pass

        pyatspi.Registry.registerEventListener(name_changed,
                                               "object:property-change:accessible-name")
        context = GLib.MainContext.default()

        def pump():
            while context.iteration(False):
                pass

        env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # On a real X server libxkbcommon-x11 hands strndup a counted buffer without a NUL;
        # the sanitizers' strict string checks would read that as an overrun of ours.
        if "ASAN_OPTIONS" in env:
            env["ASAN_OPTIONS"] = ":".join(
                o for o in env["ASAN_OPTIONS"].split(":") if not o.startswith("strict_string_checks"))
        log = open(os.path.join(work, "vexil.log"), "w")
        vexil = processes.start("vexil", [args.vexil], env=env, stdout=log,
                                stderr=subprocess.STDOUT)

        def application():
            if vexil.poll() is not None:
                raise CheckFailed(f"vexil ended with status {vexil.returncode}")
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "vexil":
                    return app
            return None

        app = wait_for("the application on the bus", args.wait, application, pump)
        frames = lambda: [a for a in app if a is not None and a.name == CAPTION]
        window = wait_for(f"the window \"{CAPTION}\"", args.wait, frames, pump)[0]
        check(window.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW),
              f"the main window's role is \"{window.getRoleName()}\", not frame or window")

        status_bars = [a for a in descendants(window) if a.getRole() == pyatspi.ROLE_STATUS_BAR]
        check(len(status_bars) == 1, f"{len(status_bars)} status bars in the main window")
        children = [status_bars[0].getChildAtIndex(i) for i in range(status_bars[0].childCount)]
        # Beside the three panels the bar holds the progress of a Go, named for the reader.
        bars = [c for c in children if c.getRole() == pyatspi.ROLE_PROGRESS_BAR]
        check([b.name for b in bars] == ["Progress"],
              f"the status bar's progress bars read {[b.name for b in bars]}")
        panels = [c for c in children if c.getRole() != pyatspi.ROLE_PROGRESS_BAR]
        panel_names = lambda: [p.name for p in panels]
        check(panel_names() == INITIAL_PANELS, f"status panels read {panel_names()}")
        descriptions = [p.description for p in panels]
        check(descriptions == PANEL_DESCRIPTIONS, f"status panels described as {descriptions}")
        articles_panel, status_panel, file_panel = panels

        go = [a for a in descendants(window)
              if a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "Go"]
        check(len(go) == 1, "no button \"Go\"")
        press(go[0])

        # The walk of the group ends on this status; by then each panel has changed.
        wait_for(f"the status panel to read \"{FINAL_STATUS}\" on the bus", args.wait,
                 lambda: status_panel.name == FINAL_STATUS, pump)
        pump()
        heard_from = {description for description, _ in names_seen}
        for description in PANEL_DESCRIPTIONS:
            check(description in heard_from, f"no name change heard from the panel {description}")
        check(re.fullmatch(r"Total articles: [1-9][0-9]*", articles_panel.name),
              f"the articles panel reads \"{articles_panel.name}\"")
        check(re.fullmatch(r".+\.(jpg|jpeg|gif|bmp)", file_panel.name, re.IGNORECASE),
              f"the picture file panel reads \"{file_panel.name}\"")
        print(f"the bus reads {panel_names()} after {len(names_seen)} name changes")

        # Exit from the menu, as a screen reader user leaves: the program ends cleanly.
        exits = [a for a in descendants(app)
                 if a.getRole() == pyatspi.ROLE_MENU_ITEM and a.name == "Exit"]
        check(len(exits) == 1, "no menu item \"Exit\"")
        press(exits[0])
        wait_for("vexil to end after Exit", args.wait, lambda: vexil.poll() is not None, pump)
        check(vexil.returncode == 0, f"vexil ended with status {vexil.returncode} after Exit")
        return 0
    except CheckFailed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        print(f"name changes heard: {names_seen}", file=sys.stderr)
        dump_log(work)
        return 1
    except (SetupError, OSError, subprocess.CalledProcessError) as error:
        print(f"status_bar_on_bus: set-up failed: {error}", file=sys.stderr)
        dump_log(work)
        return 2
    finally:
        processes.stop_all()
        if log is not None:
            log.close()
        shutil.rmtree(work, ignore_errors=True)


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def press(button):
    actions = button.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == "Press":
            actions.doAction(i)
            return
    raise CheckFailed(f"the button \"{button.name}\" offers no Press action")


def dump_log(work):
    path = os.path.join(work, "vexil.log")
    if os.path.exists(path):
        with open(path) as log:
            text = log.read()
        if text.strip():
            print("--- vexil's output ---\n" + text[-4000:], file=sys.stderr)


if __name__ == "__main__":
    sys.exit(main())
