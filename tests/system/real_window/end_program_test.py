#!/usr/bin/python3
"""End program in a real window, many times: the trelwick executable in real mode under a
private X server, its motion controller's port a pseudo-terminal that never answers, so
that Initialise ends in the driver's error question; the operator answers "End program"
through the accessibility interface (AT-SPI). Each run must end the program by itself
with status 0 (no crash, no hang) and leave a run log that ends where the bring-up stopped.

    end_program_test.py <trelwick executable> [runs]

Run by run_real_window.sh inside a private D-Bus session. Prints one line per failed run
and a closing "N passed, N failed" line. Exit 0 when every run passed, 1 otherwise."""

import atexit
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import real_window_test as window  # noqa: E402  (the X server and AT-SPI helpers)

# A run that has not ended by then counts as hung.
RUN_LIMIT_S = 120.0


class XUnreachable(Exception):
    """The program could not reach the X server: no run of End program at all."""


def find_button(app, name):
    return window.button(app, name)


def do_press(node):
    """The button's own press action (the first action may be another, such as focus)."""
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "Press", "click"):
            action.doAction(i)
            return
    action.doAction(0)


def one_run(exe, env, work, number):
    """One program run; None when it passed, else what went wrong."""
    run_dir = os.path.join(work, "run%d" % number)
    # The drive the run log goes to (C:\CVI\Trelwick\Log under the drive root).
    os.makedirs(os.path.join(run_dir, "data", "trelwick", "drives", "c", "CVI", "Trelwick",
                             "Log"))
    master, slave = os.openpty()
    port = os.ttyname(slave)
    run_env = dict(env, TRELWICK_COM2=port, TRELWICK_LOCK_DIR=run_dir,
                   XDG_DATA_HOME=os.path.join(run_dir, "data"))
    program = subprocess.Popen([exe], env=run_env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    window.PROGRAM = program
    deadline = time.monotonic() + RUN_LIMIT_S
    try:
        def until(what, probe):
            while time.monotonic() < deadline:
                if program.poll() is not None:
                    errors = program.stderr.read().decode(errors="replace")
                    if "could not connect to display" in errors:
                        raise XUnreachable(errors)
                    raise RuntimeError("the program ended (status %d) while waiting for %s"
                                       % (program.returncode, what))
                try:
                    result = probe()
                except Exception:  # the window is busy: ask again
                    result = None
                if result not in (None, False):
                    return result
                time.sleep(0.05)
            raise RuntimeError("gave up waiting for " + what)

        app = until("the program's window", lambda: window.find_application("trelwick"))
        until("Initialise devices to be enabled", lambda: find_button(
            app, "Initialise devices").getState().contains(pyatspi.STATE_SENSITIVE))
        do_press(find_button(app, "Initialise devices"))
        end = until("the driver's error question",
                    lambda: find_button(app, "End program"))
        do_press(end)
        try:
            status = program.wait(timeout=max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            return "the program did not end after End program"
        if status != 0:
            return "the program ended with status %d: %s" % (
                status, program.stderr.read().decode(errors="replace")[-400:])
        return None
    except RuntimeError as problem:
        return str(problem)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        program.stderr.close()
        os.close(master)
        os.close(slave)
        shutil.rmtree(run_dir, True)


def main():
    exe = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    work = tempfile.mkdtemp(prefix="trelwick-end-")
    atexit.register(shutil.rmtree, work, True)
    server, display = window.start_x_server()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               NO_AT_BRIDGE="0")
    # No GPIB unit and no gauge counter: only the controller's port is asked for, first.
    env.pop("TRELWICK_COM5", None)
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    passed = failed = 0
    started = time.monotonic()
    try:
        for number in range(1, runs + 1):
            # A program that cannot reach the display (the server still settling) is
            # started again: that is no run of End program.
            for attempt in range(3):
                try:
                    problem = one_run(exe, env, work, number)
                    break
                except XUnreachable as unreachable:
                    problem = "no display: " + str(unreachable)[-200:]
                    time.sleep(0.5)
            if problem is None:
                passed += 1
            else:
                failed += 1
                print("run %d: %s" % (number, problem), flush=True)
            if number % 50 == 0:
                print("after %d runs: %d passed, %d failed (%.0f s)"
                      % (number, passed, failed, time.monotonic() - started), flush=True)
    finally:
        for process in (bus, server):
            if process.poll() is None:
                process.kill()
                process.wait()
    print("End program in a real window: %.1f s a run" % ((time.monotonic() - started) / runs))
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(0 if failed == 0 else 1)


if __name__ == "__main__":
    main()
