#!/usr/bin/python3
"""The operator program as an operator meets it: the trelwick executable in simulated mode
under a private X server, driven through the accessibility interface (AT-SPI) by the names
of its controls. Initialise devices, type a target, Move, read the present coordinates from
the window, Quit, and check the run log the program wrote.

Run by run_real_window.sh inside a private D-Bus session. Exit 0 passed, 1 failed."""

import atexit
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

# How long the program may take for one step before the test gives up. These bound a
# hung program; nothing is asserted about speed.
STEP_LIMIT_S = float(os.environ.get("TRELWICK_WINDOW_STEP_LIMIT", "180"))
POLL_S = 0.2

TARGET_X = 0.0005
# The simulated potentiometers resolve the cam angles finely enough that the stage
# arrives within this of a target of this size.
ARRIVAL_TOLERANCE = 5e-6


def fail(text):
    print("FAILED: " + text)
    sys.exit(1)


# The program under test, once started: a wait ends at once when it has ended.
PROGRAM = None


def wait_for(what, probe):
    """Polls probe() until it gives something other than None or False."""
    end = time.monotonic() + STEP_LIMIT_S
    while time.monotonic() < end:
        if PROGRAM is not None and PROGRAM.poll() is not None:
            fail("the program ended (status %d) while waiting for %s" % (PROGRAM.returncode, what))
        try:
            result = probe()
        except Exception:  # the program is busy inside a callback: ask again
            result = None
        if result not in (None, False):
            return result
        time.sleep(POLL_S)
    fail("gave up waiting for " + what)


def free_display():
    """A display number no other X server on this machine holds (its lock file or its
    socket), so that parallel runs do not meet."""
    for number in range(90, 400):
        if not (os.path.exists("/tmp/.X%d-lock" % number)
                or os.path.exists("/tmp/.X11-unix/X%d" % number)):
            return number
    fail("no free X display number")


def start_x_server():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", ":%d" % free_display(), "-displayfd", str(write_end), "-screen", "0",
         "1600x1200x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = pipe.readline().strip()
    if not display:
        fail("Xvfb did not start")
    return server, ":" + display


def find_application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == name.lower():
            return app
    return None


def control(app, name, roles):
    """The control whose accessible name is `name` (or, failing that, whose description
    begins with it), of one of `roles`."""
    def match(node):
        if node is None or node.getRole() not in roles:
            return False
        return node.name == name or (node.description or "").startswith(name)
    return pyatspi.findDescendant(app, match)


def button(app, name):
    return control(app, name, (pyatspi.ROLE_PUSH_BUTTON,))


def numeric(app, name):
    return control(app, name, (pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TEXT))


def press(app, name):
    wait_for(name + " to be enabled",
             lambda: button(app, name).getState().contains(pyatspi.STATE_SENSITIVE))
    action = button(app, name).queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "Press", "click"):
            action.doAction(i)
            return
    action.doAction(0)


def value_of(node):
    return node.queryValue().currentValue


def main():
    global PROGRAM
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="trelwick-window-")
    atexit.register(shutil.rmtree, work, True)
    # The simulated mode keeps its drives under TRELWICK_SIM_ROOT and makes the log and
    # exchange folders there.
    drives = os.path.join(work, "drives")
    log_dir = os.path.join(drives, "c", "CVI", "Trelwick", "Log")

    server, display = start_x_server()
    env = dict(os.environ, DISPLAY=display, TRELWICK_SIM_ROOT=drives, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               NO_AT_BRIDGE="0")
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    program = None
    try:
        # The simulated stage runs 20 times as fast as the bench; nothing depends on it.
        program = subprocess.Popen([exe, "--simulate", "--speed", "20"], env=env,
                                   stdin=subprocess.DEVNULL)
        PROGRAM = program
        app = wait_for("the program's window", lambda: find_application("trelwick"))

        press(app, "Initialise devices")
        wait_for("bring-up to end", lambda: button(app, "Move").getState().contains(
            pyatspi.STATE_SENSITIVE))

        target = numeric(app, "Target X")
        if target is None:
            fail("no control named Target X")
        target.queryValue().currentValue = TARGET_X

        press(app, "Move")
        present = wait_for("the stage to arrive", lambda: (
            v if abs((v := value_of(numeric(app, "Present X"))) - TARGET_X) < ARRIVAL_TOLERANCE
            else None))
        print("present X after the move: %.7f" % present)

        press(app, "Quit")
        try:
            status = program.wait(timeout=STEP_LIMIT_S)
        except subprocess.TimeoutExpired:
            fail("the program did not end after Quit")
        if status != 0:
            fail("the program ended with status %d" % status)

        log = os.path.join(log_dir, "Trelwick_log.001")
        if not os.path.exists(log):
            fail("no run log was written")
        text = open(log, encoding="ascii").read()
        check_run_log(text)
        print("passed")
    finally:
        for process in (program, bus, server):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()


def check_run_log(text):
    number = r"-?\d+\.\d{6}"
    coords = " ".join(name + " = " + number for name in ("X", "Y", "Roll", "Pitch", "Yaw"))

    def entry(title):
        return r" \n \d\d:\d\d:\d\d \* " + title + r" \* " + coords + r"\n \n "
    pattern = (r"Trelwick system started  \d\d-\d\d-\d{4} at: \d\d:\d\d:\d\d\n"
               r"\*{73}\n"
               r" \n METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK \n "
               + entry("Initial device coordinates")
               + entry("Initial position coordinates")
               + entry("Final coordinates")
               + entry("Final device coordinates"))
    match = re.fullmatch(pattern, text)
    if match is None:
        fail("the run log does not read as designed:\n" + text)
    final_x = float(re.findall(r"Final device coordinates \* X = (" + number + ")", text)[0])
    if abs(final_x - TARGET_X) > ARRIVAL_TOLERANCE:
        fail("the run log's final X is %f" % final_x)


if __name__ == "__main__":
    main()
