#!/usr/bin/python3
"""The operator program as an operator meets it: the trelwick executable in simulated mode
under a private X server, driven through the accessibility interface (AT-SPI) by the names
of its controls. Initialise devices, type a target, Move, read the present coordinates from
the window, search cam 1's work point on the test panel, Quit, and check the run log the program wrote; the window
polled every 0.1 s all along must answer each time within 0.25 s. Then, at speed 1, a Move
stopped while the motors turn: the simulated stage's motors, reported as the program ends,
must all have halted within 0.5 s of the press.

Run by run_real_window.sh inside a private D-Bus session. Exit 0 passed, 1 failed."""

import atexit
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi

# How long the program may take for one step before the test gives up. These bound a
# hung program; nothing is asserted about speed.
STEP_LIMIT_S = float(os.environ.get("TRELWICK_WINDOW_STEP_LIMIT", "180"))
POLL_S = 0.1
# The window must answer each poll within this.
ANSWER_LIMIT_S = 0.25
# From the motor lamps to the motors turning, at speed 1 (drives on, their settling, GO).
MOTION_START_S = 6.0

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


# An X11 connection set-up without authorisation: little-endian, protocol 11.0.
X_SETUP = b"l\0\x0b\0\0\0\0\0\0\0\0\0"


def x_server_answers(server, display, limit_s=10.0):
    """True once a client reaches the display as the program's X library does (the abstract
    socket first, else the file) and the server there accepts a connection set-up; False
    if the server ends or the limit passes first."""
    number = display.lstrip(":")
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline and server.poll() is None:
        for address in ("\0/tmp/.X11-unix/X" + number, "/tmp/.X11-unix/X" + number):
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
                client.settimeout(2.0)
                try:
                    client.connect(address)
                except OSError:
                    continue  # not there: the X library tries the next one too
                try:
                    client.sendall(X_SETUP)
                    if client.recv(1) == b"\x01":  # Success
                        return True
                except OSError:
                    pass
                break  # reached, but no server that accepts us: so would the program be
        time.sleep(0.05)
    return False


def start_x_server():
    # Xvfb picks a free display number itself (taking its lock file as it does), so that
    # runs side by side, or a socket left by a server that was killed, never meet. The
    # display is used once a client can reach it; a server that cannot be reached is
    # replaced by another, started while it still holds its number so that the next one
    # takes a different one. -noreset: by default an X server resets itself when its last
    # client leaves, and the reachability check below is such a client; a program that
    # connected during that reset was turned away ("could not connect to display").
    unreachable = []
    try:
        for _ in range(3):
            read_end, write_end = os.pipe()
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0",
                 "1600x1200x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                display = pipe.readline().strip()
            if display and x_server_answers(server, display):
                return server, ":" + display
            unreachable.append(server)
        fail("Xvfb did not start, or no client could reach it")
    finally:
        for server in unreachable:
            server.kill()
            server.wait()


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


class Watch:
    """The window's answers during one operation: each poll is one accessibility call on a
    control found beforehand, timed. An answer slower than ANSWER_LIMIT_S fails the test."""

    def __init__(self, name):
        self.name = name
        self.longest = 0.0

    def ask(self, call):
        start = time.monotonic()
        try:
            result = call()
        except Exception:
            result = None
        took = time.monotonic() - start
        self.longest = max(self.longest, took)
        if took > ANSWER_LIMIT_S:
            fail("the window took %.3f s to answer during %s" % (took, self.name))
        return result

    def until(self, what, call, done):
        """Asks every POLL_S until done(answer)."""
        end = time.monotonic() + STEP_LIMIT_S
        while time.monotonic() < end:
            if PROGRAM is not None and PROGRAM.poll() is not None:
                fail("the program ended (status %d) while waiting for %s"
                     % (PROGRAM.returncode, what))
            answer = self.ask(call)
            if done(answer):
                return answer
            time.sleep(POLL_S)
        fail("gave up waiting for " + what)

    def report(self):
        print("longest time without an answer during %s: %.3f s" % (self.name, self.longest))


def text_of(node):
    return node.queryText().getText(0, -1)


def named(root, name):
    return pyatspi.findDescendant(root, lambda n: n is not None and n.name == name)


def start_program(exe, env, speed, report=None):
    global PROGRAM
    extra = {} if report is None else {"TRELWICK_SIM_MOTION_REPORT": report}
    PROGRAM = subprocess.Popen([exe, "--simulate", "--speed", str(speed)],
                               env=dict(env, **extra), stdin=subprocess.DEVNULL)
    return PROGRAM


def quit_program(app):
    # Once the operation is over (Stop dimmed), Quit asks nothing.
    wait_for("the operation to end", lambda: not button(app, "Stop").getState().contains(
        pyatspi.STATE_SENSITIVE))
    press(app, "Quit")
    try:
        status = PROGRAM.wait(timeout=STEP_LIMIT_S)
    except subprocess.TimeoutExpired:
        fail("the program did not end after Quit")
    if status != 0:
        fail("the program ended with status %d" % status)


def bring_up(app, watch):
    status = named(app, "Status line")
    press(app, "Initialise devices")
    watch.until("bring-up to end", lambda: text_of(status),
                lambda t: t in ("Devices are ready",))


def operations_stay_answered(exe, env, log_dir):
    """Bring-up, a Move and a work-point search at speed 20, the window polled all along."""
    start_program(exe, env, 20)
    app = wait_for("the program's window", lambda: find_application("trelwick"))
    frame = wait_for("the main window's title", lambda: named(app, "Trelwick - simulated stage"))
    if frame is None:
        fail("the window title does not name the simulated stage")

    watch = Watch("bring-up")
    bring_up(app, watch)
    watch.report()

    target = numeric(app, "Target X")
    if target is None:
        fail("no control named Target X")
    target.queryValue().currentValue = TARGET_X
    status = named(app, "Status line")
    watch = Watch("a Move")
    press(app, "Move")
    watch.until("the Move to end", lambda: text_of(status), lambda t: t == "Done")
    watch.report()
    present = value_of(numeric(app, "Present X"))
    if abs(present - TARGET_X) > ARRIVAL_TOLERANCE:
        fail("present X after the move is %.7f" % present)

    press(app, "Test bench")

    # The test panel's controls share their names with the main panel's: the later ones.
    def last_named(name):
        found = pyatspi.findAllDescendants(app, lambda n: n is not None and n.name == name)
        return found[-1] if len(found) > 1 else None
    bench_status = wait_for("the test panel's status line", lambda: last_named("Status line"))
    bench_init = last_named("Initialise devices")
    for name in ("Cam number", "Gauge channel"):  # cam 1, its gauge 1
        numeric(app, name).queryValue().currentValue = 1
    wait_for("the test panel's bring-up button",
             lambda: bench_init.getState().contains(pyatspi.STATE_SENSITIVE))
    bench_init.queryAction().doAction(0)
    wait_for("the test bench to be ready", lambda: text_of(bench_status) == "Devices Ready")
    watch = Watch("a work-point search")
    press(app, "Find work point")
    end = time.monotonic() + 90
    while time.monotonic() < end and watch.ask(lambda: text_of(bench_status)) != "Done":
        time.sleep(POLL_S)
    if watch.ask(lambda: text_of(bench_status)) != "Done":
        dialogs = pyatspi.findAllDescendants(
            app, lambda n: n is not None and n.getRole() in (pyatspi.ROLE_DIALOG,
                                                             pyatspi.ROLE_ALERT))
        fail("the work-point search did not end: status %r, dialogs %r" % (
            text_of(bench_status), [(d.name, [c.name for c in d]) for d in dialogs]))
    watch.report()
    press(app, "Exit")
    quit_program(app)

    log = os.path.join(log_dir, "Trelwick_log.001")
    if not os.path.exists(log):
        fail("no run log was written")
    check_run_log(open(log, encoding="ascii").read())


def stop_halts_the_motors(exe, env, log_dir, work):
    """A Move at speed 1, stopped while the motors turn: no axis turns 0.5 s later."""
    report = os.path.join(work, "motion-report")
    start_program(exe, env, 1, report)
    app = wait_for("the program's window", lambda: find_application("trelwick"))
    watch = Watch("bring-up at speed 1")
    bring_up(app, watch)
    numeric(app, "Target X").queryValue().currentValue = TARGET_X
    press(app, "Move")
    lamp = named(app, "Motor 5 moving")
    wait_for("the motors to be set going",
             lambda: lamp.getState().contains(pyatspi.STATE_CHECKED))
    # The drives are switched on and the motors started a few seconds after the lamps.
    time.sleep(MOTION_START_S)
    stop = button(app, "Stop")
    if not stop.getState().contains(pyatspi.STATE_SENSITIVE):
        fail("Stop is not enabled during a Move")
    pressed = time.monotonic()
    action = stop.queryAction()
    action.doAction(0)
    status = named(app, "Status line")
    watch = Watch("a stopped Move")
    watch.until("the Move to say it was stopped", lambda: text_of(status),
                lambda t: t == "Stopped by the operator")
    time.sleep(max(0.0, pressed + 0.5 - time.monotonic()))
    quit_program(app)

    lines = open(report, encoding="ascii").read().split("\n")
    ends = [float(line.split()[5]) for line in lines if line.startswith("axis ")]
    if any(" moving 1 " in line for line in lines):
        fail("an axis still turns after Stop:\n" + "\n".join(lines))
    if max(ends) < pressed - 0.05:
        fail("the motors had stopped before Stop was pressed")
    halted = max(ends) - pressed
    print("Stop to the last axis halted: %.3f s" % halted)
    if halted > 0.5:
        fail("the last axis halted %.3f s after Stop" % halted)
    text = open(os.path.join(log_dir, "Trelwick_log.001"), encoding="ascii").read()
    if not re.search(r" \n \d\d:\d\d:\d\d \* Stopped by the operator\n \n  \n \d\d:\d\d:\d\d \* "
                     r"Final device coordinates \* ", text):
        fail("the run log does not say the Move was stopped:\n" + text)


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="trelwick-window-")
    atexit.register(shutil.rmtree, work, True)
    server, display = start_x_server()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               NO_AT_BRIDGE="0")
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The simulated mode keeps its drives under TRELWICK_SIM_ROOT and makes the log and
        # exchange folders there: one root per run, so each starts at run log 001.
        for run, test in (("fast", operations_stay_answered), ("stop", stop_halts_the_motors)):
            drives = os.path.join(work, run)
            log_dir = os.path.join(drives, "c", "CVI", "Trelwick", "Log")
            run_env = dict(env, TRELWICK_SIM_ROOT=drives)
            if test is stop_halts_the_motors:
                test(sys.argv[1], run_env, log_dir, work)
            else:
                test(sys.argv[1], run_env, log_dir)
        print("passed")
    finally:
        for process in (PROGRAM, bus, server):
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
               r" \n Trelwick - simulated stage \n "
               r" \n METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK \n "
               + entry("Initial device coordinates")
               + entry("Initial position coordinates")
               + entry("Final coordinates")
               + entry("Final device coordinates"))
    match = re.match(pattern, text)
    if match is None:
        fail("the run log does not read as designed:\n" + text)
    final_x = float(re.findall(r"Final device coordinates \* X = (" + number + ")", text)[0])
    if abs(final_x - TARGET_X) > ARRIVAL_TOLERANCE:
        fail("the run log's final X is %f" % final_x)


if __name__ == "__main__":
    main()
