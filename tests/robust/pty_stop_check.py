#!/usr/bin/python3
"""Stop in real time over pseudo-terminals: the unmodified program in real mode meets
trelwick-sim through its real serial backend (termios on the simulator's pseudo-terminals)
and its GPIB-over-TCP transport. The main panel's Move and Home are run through the TANGO
device server trelwick-tango (the window's operator thread and drivers behind a headless
panel); the test panel's Pot zero and Home through robust_pty_stop_bench (the same program
behind the same headless panel, its test panel's buttons clicked). Each motion runs in real
time with Stop pressed at a random moment: drawn uniformly over the motion (from GO to its
planned end), and one press in five at a random moment of the wait between drives-on and GO.

Each motion is judged from the simulator's own clock and state, never from the program's
word:
- every axis halted within HALT_LIMIT_S of the press (the stage's motion end times), and
  no drive is left on;
- on the controller's wire after the press: the kill (!K) and, after it, DRIVE000000 (a
  press before GO after which no axis moved needs no kill: nothing was started);
- the status line and the run log say "Stopped by the operator" exactly when that happened
  (a Stop reported but not carried out is the fault this check exists for).

Usage: pty_stop_check.py --tango PATH --bench PATH --sim PATH [--motions N] [--load]
                         [--seed S] [--results FILE] [--wait-profile designed|fast]
(--wait-profile: both programs run with that wait profile; the same is asked of them.)
Prints one JSON line a motion and a summary; exits 0 when every motion passed, 1 when one
failed, 2 when the set-up failed."""

import argparse
import json
import queue
import os
import random
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import tango

DEVICE = "a/b/c"
HALT_LIMIT_S = 0.3
STOPPED = "Stopped by the operator"
STEP_LIMIT_S = 240.0  # a bound on a hung program; nothing is asserted about its speed
BEFORE_GO_SHARE = 0.2  # the share of presses made in the waits just before GO
END_MARGIN_S = 0.2  # presses are drawn up to this long before the motion's planned end


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Simulator:
    """trelwick-sim on pseudo-terminals and its control socket."""

    def __init__(self, executable, root):
        self.control_path = os.path.join(root, "sim.sock")
        self.output = open(os.path.join(root, "sim.out"), "w+")
        self.process = subprocess.Popen(
            [executable, "--control", self.control_path, "--history", "2000",
             "--start-angles", "0.3,-0.2,0.25,-0.3,0.2"],
            stdout=subprocess.PIPE, stderr=self.output, text=True)
        self.environment = {}
        for _ in range(4):
            line = self.process.stdout.readline().strip()
            name, _, value = line.partition("=")
            if not name.startswith("TRELWICK_"):
                raise RuntimeError("trelwick-sim said: " + line)
            self.environment[name] = value
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(self.control_path)
        self.pending = b""

    def ask(self, line):
        self.socket.sendall(line.encode() + b"\n")
        while b"\n" not in self.pending:
            chunk = self.socket.recv(1 << 16)
            if not chunk:
                raise RuntimeError("trelwick-sim closed its control socket")
            self.pending += chunk
        reply, _, self.pending = self.pending.partition(b"\n")
        return reply.decode()

    def state(self):
        return json.loads(self.ask("state"))

    def history(self):
        return json.loads(self.ask("history controller"))

    def close(self):
        self.socket.close()
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.output.close()


class Server:
    """trelwick-tango in real mode, pointed at the simulator by its environment."""

    def __init__(self, executable, root, simulator_environment, profile):
        data = os.path.join(root, "data")
        for folder in ("c/CVI/Trelwick/Log", "c/qel/Exchange"):
            os.makedirs(os.path.join(data, "trelwick", "drives", folder))
        os.makedirs(os.path.join(root, "lock"))
        self.log_folder = os.path.join(data, "trelwick", "drives", "c", "CVI", "Trelwick", "Log")
        port = free_port()
        environment = dict(os.environ, XDG_DATA_HOME=data,
                           TRELWICK_LOCK_DIR=os.path.join(root, "lock"), **simulator_environment)
        self.environment = environment  # the bench program's too: the same drives and ports
        self.output = open(os.path.join(root, "server.out"), "w+")
        self.process = subprocess.Popen(
            [executable, "check", "--wait-profile", profile, "-nodb", "-dlist", DEVICE,
             "-ORBendPoint", "giop:tcp:127.0.0.1:%d" % port],
            env=environment, stdout=self.output, stderr=subprocess.STDOUT)
        url = "tango://127.0.0.1:%d/%s#dbase=no" % (port, DEVICE)
        end = time.monotonic() + 60
        self.device = None
        while self.device is None:
            if self.process.poll() is not None or time.monotonic() > end:
                raise RuntimeError("trelwick-tango did not come up: " + self.server_output())
            try:
                device = tango.DeviceProxy(url)
                device.ping()
                device.set_timeout_millis(10000)
                self.device = device
            except tango.DevFailed:
                time.sleep(0.2)

    def server_output(self):
        self.output.flush()
        self.output.seek(0)
        return self.output.read()[-4000:]

    def stopped_entries(self):
        """The stops written in the run logs: each program that brings the instruments up
        (the server, then the bench's) opens a run log of its own in the folder."""
        count = 0
        for name in os.listdir(self.log_folder):
            if name.startswith("Trelwick_log."):
                with open(os.path.join(self.log_folder, name), errors="replace") as file:
                    count += file.read().count(STOPPED)
        return count

    def idle(self):
        end = time.monotonic() + STEP_LIMIT_S
        while time.monotonic() < end:
            # ALARM is an operation that ended short (a stopped one), or a question; every
            # question here gets its safe answer at once (Questions = refuse).
            state = self.device.state()
            if state != tango.DevState.MOVING:
                return state
            time.sleep(0.05)
        raise RuntimeError("the operation did not end in %g s" % STEP_LIMIT_S)

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.output.close()


class Bench:
    """The test panel's half: robust_pty_stop_bench (the program in real mode behind the
    headless panel) clicking the test panel's buttons as told on its standard input. The
    test panel's bring-up alone opens no run log (its stops are said in its status line)."""

    run_log = False

    def __init__(self, executable, server_environment, root, profile):
        self.output = open(os.path.join(root, "bench.err"), "w+")
        self.process = subprocess.Popen([executable, "--wait-profile", profile],
                                        env=server_environment,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.output, text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def tell(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def answer(self, prefix, limit=STEP_LIMIT_S):
        end = time.monotonic() + limit
        while True:
            try:
                line = self.lines.get(timeout=max(0.01, end - time.monotonic()))
            except queue.Empty:
                raise RuntimeError("the bench said no %r in %g s" % (prefix, limit))
            if line is None:
                raise RuntimeError("the bench program ended")
            if line.startswith(prefix):
                return line[len(prefix):].strip()

    def bring_up(self):
        self.tell("open")
        self.answer("done")
        self.tell("init")
        status = self.answer("done ")
        if status != "Devices Ready":
            raise RuntimeError("the bench's bring-up ended with %r" % status)

    def start(self, kind):
        self.tell("zero" if kind == "Bench Pot zero" else "home")
        self.answer("started")

    def stop(self):
        self.tell("stop")

    def finish(self):
        return self.answer("done ").replace(" | ", "\n")

    def close(self):
        if self.process.poll() is None:
            try:
                self.tell("quit")
                self.process.wait(30)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.output.close()


class Tango:
    """The main panel's half: Move and Home through the TANGO server."""

    run_log = True

    def __init__(self, server):
        self.server = server

    def start(self, kind):
        if kind == "Move":
            # Far enough from the last Move's target for seconds of motion, either way.
            self.side = -getattr(self, "side", -1.0)
            self.server.device.Move([self.side * self.rng.uniform(0.0005, 0.0009), 0.0, 0.0,
                                     0.0, 0.0])
        else:
            self.server.device.Home()

    def stop(self):
        self.server.device.Stop()

    def finish(self):
        self.server.idle()
        return self.server.device.status()


def start_load():
    """One busy loop per core, at the check's own priority: the machine is loaded."""
    spin = "while True: pass"
    return [subprocess.Popen([sys.executable, "-c", spin]) for _ in range(os.cpu_count() or 1)]


def moving_axes(state):
    return [a for a in state["axes"] if a["moving"]]


def press_moment(sim, asked, rng, before_go):
    """Waits for the moment to press: during the motion, or (before_go) a random moment of
    the wait between drives-on and GO. Where it fell ('before GO' or 'motion') and the
    motion's planned end; None when the operation ended without a motion."""
    end = time.monotonic() + STEP_LIMIT_S
    drives_on_at = None
    delay = 0.0
    while time.monotonic() < end:
        state = sim.state()
        moving = moving_axes(state)
        if moving:
            # Uniform over the motion, GO to the planned end; a moment already past (the
            # motion was seen a poll late) is pressed at once.
            planned_end = max(a["end"] for a in moving)
            go = min(state["time"], planned_end)
            for when, command in reversed(sim.history()["commands"]):
                if when >= asked and command.startswith("GO"):
                    go = when
                    break
            at = rng.uniform(go, max(go, planned_end - END_MARGIN_S))
            wait = at - state["time"]
            if wait > 0:
                time.sleep(wait)
            return "motion", planned_end
        if before_go and drives_on_at is None:
            if any(when >= asked and command.startswith("DRIVE") and "1" in command
                   for when, command in sim.history()["commands"]):
                drives_on_at = time.monotonic()
                delay = rng.uniform(0.0, 0.5)
        if drives_on_at is not None and time.monotonic() >= drives_on_at + delay:
            return "before GO", None
        time.sleep(0.01)
    return None, None


def run_motion(sim, operator, log, number, kind, rng):
    """One motion with Stop pressed at a random moment; the motion's record."""
    before_go = number % 5 == 0  # one press in five in the waits just before GO
    stopped_before = log()
    asked = sim.state()["time"]
    operator.start(kind)
    where, planned_end = press_moment(sim, asked, rng, before_go)
    if where is None:
        raise RuntimeError("motion %d (%s): no motion began" % (number, kind))
    pressed = sim.state()["time"]
    operator.stop()
    # Watch the stage until every axis stands (or the check's bound).
    limit = time.monotonic() + STEP_LIMIT_S
    while True:
        state = sim.state()
        if not moving_axes(state) or time.monotonic() > limit:
            break
        time.sleep(0.01)
    ended = [a["end"] for a in state["axes"] if a["end"] >= pressed - 1.0]
    halted = max(ended) if ended else pressed
    halt_s = max(0.0, halted - pressed)
    status = operator.finish()
    logged = log() > stopped_before
    after = [(t, c) for t, c in sim.history()["commands"] if t >= pressed]
    final = sim.state()
    drives_on = [a["axis"] for a in final["axes"] if a["drive"]]
    # Motors that turned again once the operation had halted (motor positions, which a
    # reset of the controller keeps).
    turned_again = [b["axis"] for a, b in zip(state["axes"], final["axes"])
                    if abs(b["motor"] - a["motor"]) > 1e-6]
    kill = next((t for t, c in after if c.startswith("K")), None)
    # A press before GO that no axis moved after needs no kill (the program kills the axes
    # it started, and none was): the drives go off.
    kill_needed = where == "motion" or any(a["end"] > pressed for a in state["axes"])
    drives_off = next((t for t, c in after if c == "DRIVE000000"
                       and (kill is None or t >= kill)), None)
    stopped = halt_s <= HALT_LIMIT_S and (kill is not None or not kill_needed)
    stopped = stopped and drives_off is not None and not drives_on and not turned_again
    problems = []
    if turned_again:
        problems.append("motors turned again after the halt: axes %s" % turned_again)
    if halt_s > HALT_LIMIT_S:
        problems.append("axes turned %.3f s after the press" % halt_s)
    if kill is None and kill_needed:
        problems.append("no kill on the wire")
    if drives_off is None:
        problems.append("no DRIVE000000 after the press%s" % (" and the kill" if kill else ""))
    if drives_on:
        problems.append("drives left on: axes %s" % drives_on)
    # The first line: "Stopped by the operator", or the server's "Move did not complete:
    # Stopped by the operator".
    says_stopped = STOPPED in (status.splitlines() or [""])[0]
    if says_stopped != stopped:
        problems.append("status %r" % status)
    if not operator.run_log:
        logged = None  # the test panel's own bring-up opens no run log
    elif logged != stopped:
        problems.append("run log %s" % ("says stopped" if logged else "says nothing of a stop"))
    return {
        "motion": number, "kind": kind, "pressed": where, "press_time": round(pressed, 4),
        "planned_end": None if planned_end is None else round(planned_end, 4),
        "halt_s": round(halt_s, 4), "kill_needed": kill_needed,
        "kill_s": None if kill is None else round(kill - pressed, 4),
        "drives_off_s": None if drives_off is None else round(drives_off - pressed, 4),
        "drives_left_on": drives_on, "turned_again": turned_again,
        "status": status, "logged": logged, "ok": not problems, "problems": problems,
        "wire_after_press": [[round(t - pressed, 4), c] for t, c in after
                             if not c.startswith("WRITE")][:6],
    }


def summary(results, loaded):
    """The figures: press-to-halt over the presses during a motion (a press before GO
    halts nothing that moved), kills seen, and Stops reported but not carried out."""
    halts = sorted(r["halt_s"] for r in results if r["pressed"] == "motion")
    return {
        "motions": len(results), "passed": sum(1 for r in results if r["ok"]),
        "loaded": loaded,
        "kinds": {k: sum(1 for r in results if r["kind"] == k)
                  for k in sorted(set(r["kind"] for r in results))},
        "pressed_during_motion": len(halts),
        "pressed_before_go": sum(1 for r in results if r["pressed"] == "before GO"),
        "median_halt_s": round(statistics.median(halts), 4) if halts else None,
        "worst_halt_s": halts[-1] if halts else None,
        "kills_seen": sum(1 for r in results if r["kill_s"] is not None),
        "kills_needed": sum(1 for r in results if r.get("kill_needed")),
        "false_stop_reports": sum(1 for r in results
                                  if STOPPED in ((r["status"] or "").splitlines() or [""])[0]
                                  and not r["ok"]),
    }


def motion_plan(count):
    """Two motions in three on the main panel (Move and Home in turn), then the bench's (its
    Pot zero and Home in turn)."""
    main = count - count // 3
    kinds = ["Move" if i % 2 == 0 else "Home" for i in range(main)]
    return kinds + ["Bench Pot zero" if i % 2 == 0 else "Bench Home"
                    for i in range(count - main)]


def turn_bench_cam(sim, rng):
    """The bench's cam (cam 1) turned by hand away from its potentiometer zero, so its Pot
    zero and Home have seconds of motion."""
    cams = sim.state()["cams"]
    cams[0] = rng.choice((-1.0, 1.0)) * rng.uniform(0.6, 1.2)
    reply = sim.ask("cams " + " ".join("%.6f" % a for a in cams))
    if reply != "ok":
        raise RuntimeError("trelwick-sim refused the cams: " + reply)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tango", required=True, help="trelwick-tango")
    parser.add_argument("--bench", required=True, help="robust_pty_stop_bench")
    parser.add_argument("--sim", required=True, help="trelwick-sim")
    parser.add_argument("--motions", type=int, default=5)
    parser.add_argument("--load", action="store_true", help="a busy loop per core meanwhile")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--results", default=None, help="one JSON line a motion, then a summary")
    parser.add_argument("--wait-profile", default="designed", choices=("designed", "fast"))
    arguments = parser.parse_args()
    seed = arguments.seed if arguments.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("seed %d" % seed, flush=True)
    results_file = open(arguments.results, "a") if arguments.results else None
    root = tempfile.mkdtemp(prefix="trelwick-pty-stop-")
    sim = server = bench = None
    load = []
    results = []
    plan = motion_plan(arguments.motions)
    try:
        try:
            sim = Simulator(arguments.sim, root)
            server = Server(arguments.tango, root, sim.environment, arguments.wait_profile)
            if arguments.load:
                load = start_load()
            server.device.BringUp()
            server.idle()
            if server.device.status() != "Devices are ready":
                raise RuntimeError("bring-up ended with %r" % server.device.status())
        except (RuntimeError, tango.DevFailed, OSError) as failure:
            print("set-up failed: %s" % failure, flush=True)
            if server is not None:
                print(server.server_output())
            return 2
        operator = Tango(server)
        operator.rng = rng
        for number, kind in enumerate(plan, start=1):
            try:
                if kind.startswith("Bench") and bench is None:
                    # One program holds the instruments at a time, as on the bench.
                    server.close()
                    bench = Bench(arguments.bench, server.environment, root,
                                  arguments.wait_profile)
                    bench.bring_up()
                    operator = bench
                if kind.startswith("Bench"):
                    turn_bench_cam(sim, rng)
                result = run_motion(sim, operator, server.stopped_entries, number, kind, rng)
            except (RuntimeError, tango.DevFailed, OSError) as failure:
                result = {"motion": number, "kind": kind, "pressed": None, "halt_s": 0.0,
                          "kill_s": None, "status": None, "ok": False,
                          "problems": [str(failure)]}
            results.append(result)
            print(json.dumps(result), flush=True)
            if results_file:
                results_file.write(json.dumps(result) + "\n")
                results_file.flush()
            if result["pressed"] is None:
                break
        total = summary(results, arguments.load)
        total["seed"] = seed
        total["planned"] = len(plan)
        print("summary " + json.dumps(total), flush=True)
        if results_file:
            results_file.write(json.dumps({"summary": total}) + "\n")
        return 0 if total["passed"] == total["motions"] == len(plan) else 1
    finally:
        for process in load:
            process.send_signal(signal.SIGKILL)
            process.wait()
        if bench is not None:
            bench.close()
        if server is not None:
            server.close()
        if sim is not None:
            sim.close()
        if results_file:
            results_file.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
