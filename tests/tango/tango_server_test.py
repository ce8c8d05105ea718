#!/usr/bin/python3
"""The stage as a TANGO device, met as a control system meets it: trelwick-tango on the
simulated stage (speed 20) on a free loopback port, without a TANGO database, driven by a
python3-tango client. Each server runs in a drive root of its own, so the run log it writes
is checked as a file.

Usage: tango_server_test.py PATH/TO/trelwick-tango"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import tango

SERVER = None  # the executable, from the command line

# A bound on a hung server; nothing is asserted about speed.
STEP_LIMIT_S = 120.0
DEVICE = "trelwick/stage/1"
TOLERANCE = 5e-6  # the simulated potentiometers resolve a move this finely


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(what, probe, limit=STEP_LIMIT_S):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        result = probe()
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("gave up waiting for " + what)


class Server:
    """One trelwick-tango process, its drive root and a client of its device. `questions`
    set puts the device properties in a file database (the server is still reached without
    a TANGO database)."""

    def __init__(self, questions=None):
        self.root = tempfile.mkdtemp(prefix="trelwick-tango-")
        self.port = free_port()
        arguments = [SERVER, "test", "--simulate", "--speed", "20"]
        if questions is None:
            arguments += ["-nodb", "-dlist", DEVICE]
        else:
            properties = os.path.join(self.root, "properties.db")
            with open(properties, "w") as file:
                file.write('trelwick-tango/test/DEVICE/TrelwickStage: "%s"\n' % DEVICE)
                file.write("%s->Questions: %s\n" % (DEVICE, questions))
                file.write("%s->QuestionTimeout: 60\n" % DEVICE)
            arguments += ["-file=" + properties]
        arguments += ["-ORBendPoint", "giop:tcp:127.0.0.1:%d" % self.port]
        environment = dict(os.environ, TRELWICK_SIM_ROOT=self.root)
        self.output = open(os.path.join(self.root, "server.out"), "w+")
        self.process = subprocess.Popen(arguments, env=environment, stdout=self.output,
                                        stderr=subprocess.STDOUT)
        self.device = None
        url = "tango://127.0.0.1:%d/%s#dbase=no" % (self.port, DEVICE)

        def reachable():
            if self.process.poll() is not None:
                raise AssertionError("the server ended: " + self.server_output())
            try:
                device = tango.DeviceProxy(url)
                device.ping()
                return device
            except tango.DevFailed:
                return None

        self.device = wait_until("the server", reachable, 30.0)

    def server_output(self):
        self.output.flush()
        self.output.seek(0)
        return self.output.read()

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.output.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def run_log(self):
        path = os.path.join(self.root, "c", "CVI", "Trelwick", "Log", "Trelwick_log.001")
        with open(path) as file:
            return file.read()

    def idle(self):
        """Waits for the operation to end; the state it ended in."""
        def ended():
            state = self.device.state()
            # A list, because ON is the DevState 0.
            return [state] if state not in (tango.DevState.MOVING, tango.DevState.ALARM) else None

        return wait_until("the operation's end", ended)[0]

    def bring_up(self):
        self.device.BringUp()
        self.assert_state(self.idle(), tango.DevState.ON)

    @staticmethod
    def assert_state(state, wanted):
        if state != wanted:
            raise AssertionError("state %s, not %s" % (state, wanted))


def refusal(call, *arguments):
    """The description of the DevFailed a command is refused with."""
    try:
        call(*arguments)
    except tango.DevFailed as failure:
        return failure.args[0].desc
    raise AssertionError("the command was taken")


class RefusingServer(unittest.TestCase):
    """The default Questions (refuse): a whole session in order."""

    @classmethod
    def setUpClass(cls):
        cls.server = Server()
        cls.device = cls.server.device

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_session(self):
        device = self.device
        # The events are kept in the client's queues and read when the Move has ended; the
        # subscriptions end then, as python3-tango's keep-alive reconnection without a
        # database can crash the client.
        subscriptions = [device.subscribe_event("State", tango.EventType.CHANGE_EVENT, 1000),
                         device.subscribe_event("X", tango.EventType.CHANGE_EVENT, 1000)]
        try:
            self.bring_up_and_move(device, subscriptions)
        finally:
            for subscription in subscriptions:
                device.unsubscribe_event(subscription)
        self.more_of_the_session(device)

    def bring_up_and_move(self, device, subscriptions):
        # Before bring-up: OFF, nothing measured (INVALID), and no operation but BringUp.
        self.assertEqual(device.state(), tango.DevState.OFF)
        self.assertEqual(device.read_attribute("X").quality, tango.AttrQuality.ATTR_INVALID)
        self.assertIn("BringUp first", refusal(device.Home))

        # BringUp returns at once, MOVING until "Devices are ready".
        device.BringUp()
        self.assertEqual(device.state(), tango.DevState.MOVING)
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertEqual(device.status(), "Devices are ready")
        self.assertLess(abs(device.X), TOLERANCE)

        # Move; while it runs every other command is refused.
        device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])
        self.assertEqual(device.state(), tango.DevState.MOVING)
        self.assertIn("An operation is running", refusal(device.ReadPosition))
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertEqual(device.status(), "Done")
        self.assertAlmostEqual(device.X, 0.0005, delta=TOLERANCE)
        self.assertEqual(list(device.Target), [0.0005, 0.0, 0.0, 0.0, 0.0])

        # The events a subscriber heard: the states in their order, and X as it changed.
        states, xs = [], []

        def heard():
            for event in device.get_events(subscriptions[0]):
                if not event.err:
                    states.append(event.attr_value.value)
            for event in device.get_events(subscriptions[1]):
                if not event.err:
                    xs.append(event.attr_value.value)
            return len(xs) >= 3 and len(states) >= 5 and states[-1] == tango.DevState.ON

        wait_until("the events", heard, 10)
        # Without a database TANGO may hand a subscriber the first pushed event twice: the
        # states are compared as they followed one another.
        changes = [s for i, s in enumerate(states) if i == 0 or s != states[i - 1]]
        self.assertEqual(changes, [tango.DevState.OFF, tango.DevState.MOVING, tango.DevState.ON,
                                   tango.DevState.MOVING, tango.DevState.ON])
        self.assertIsNone(xs[0])  # not measured yet
        self.assertTrue(any(x is not None and abs(x - 0.0005) < TOLERANCE for x in xs))

    def more_of_the_session(self, device):
        device.MoveRelative([0.0002, 0.0, 0.0, 0.0, 0.0])
        self.server.idle()
        self.assertAlmostEqual(device.X, 0.0007, delta=TOLERANCE)

        # A target the coordinate box refuses moves nothing: no operation, no log entry.
        log_before = self.server.run_log()
        for bad in ([float("nan"), 0, 0, 0, 0], [0, 0.0011, 0, 0, 0], [0, 0, 0, 1.6, 0]):
            self.assertEqual(refusal(device.Move, bad), "Value out of Range\nInput a new one.")
            self.assertEqual(device.state(), tango.DevState.ON)
        self.assertEqual(refusal(device.MoveRelative, [0, 0, 0, 0, float("inf")]),
                         "Value out of Range\nInput a new one.")
        self.assertEqual(self.server.run_log(), log_before)
        self.assertAlmostEqual(device.X, 0.0007, delta=TOLERANCE)

        # Stop during a long Move: the motors halt, the status line says so, and the cams
        # stay where they stopped (two readings half a second apart agree to the
        # potentiometers' resolution).
        device.Move([-0.001, 0.0, 0.0, 0.0, 0.0])
        time.sleep(1.0)  # the cams are read (about 0.4 s), then the motors turn for seconds
        self.assertEqual(device.state(), tango.DevState.MOVING)
        device.Stop()
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertEqual(device.status(), "Stopped by the operator")
        # Short of the target; on a slow machine the Stop may come before the motors start.
        self.assertTrue(-0.001 + 1e-5 < device.X < 0.0007 + TOLERANCE, device.X)
        device.ReadPosition()
        self.server.idle()
        stopped_at = list(device.CamAngles)
        time.sleep(0.5)
        device.ReadPosition()
        self.server.idle()
        for before, after in zip(stopped_at, device.CamAngles):
            self.assertAlmostEqual(before, after, delta=1e-5)
        self.assertTrue(15.0 < device.Temperature < 30.0, device.Temperature)
        device.Stop()  # nothing runs: nothing happens
        self.assertEqual(device.state(), tango.DevState.ON)

        device.Home()
        self.server.idle()
        self.assertEqual(device.status(), "All cams are in Home position")
        self.assertLess(abs(device.X), TOLERANCE)
        self.assertEqual(list(device.Target), [0.0] * 5)

        # A question with nobody to answer it is refused, and said so.
        device.ZeroGauges()
        self.server.idle()
        answered = ("Danger Operation: All gages will be set to ZERO.Continue? - answered Reset"
                    " by the device server (Questions = refuse)")
        self.assertTrue(device.status().endswith(answered), device.status())

        # The run log, as the window writes it.
        time_re = r"\d\d:\d\d:\d\d"
        coords = r"X = -?\d+\.\d{6} Y = -?\d+\.\d{6} Roll = -?\d+\.\d{6} " \
                 r"Pitch = -?\d+\.\d{6} Yaw = -?\d+\.\d{6}\n"

        def entry(text):
            return r" \n " + text + r" \n "

        def coordinates(title):
            return entry(time_re + r" \* " + title + r" \* " + coords)

        move = coordinates("Initial position coordinates") + coordinates("Final coordinates") + \
            coordinates("Final device coordinates")
        stopped = coordinates("Initial position coordinates") + \
            entry(time_re + r" \* Stopped by the operator\n") + \
            coordinates("Final device coordinates")
        expected = (r"Trelwick system started  \d\d-\d\d-\d{4} at: " + time_re + r"\n" +
                    r"\*{73}\n" + entry("Trelwick - simulated stage") +
                    entry("METER: HP34970 \t MOTOR DRIVER:  CM6K6 \t GAGE: EV16P \t Initialized OK") +
                    coordinates("Initial device coordinates") + move + move + stopped +
                    entry(time_re + r" \* Cams moved to zero position\n") +
                    entry(time_re + r" \* " + re.escape(answered) + r"\n"))
        self.assertRegex(self.server.run_log(), "^" + expected + "$")


class StopRightAfterAnOperation(unittest.TestCase):
    """Stop sent right after Move or Home, while the operation waits in the server's queue
    or is starting: it is stopped every time, no motor turns, and the device stays ready
    (BringUp and a Move work after it). TRELWICK_STOP_ROUNDS sets the rounds of each."""

    def test_stop_right_after_move_or_home(self):
        rounds = int(os.environ.get("TRELWICK_STOP_ROUNDS", "5"))
        server = Server()
        try:
            device = server.device
            server.bring_up()
            stopped = 0
            for _ in range(rounds):
                for start in (lambda: device.Move([0.0005, 0.0, 0.0, 0.0, 0.0]), device.Home):
                    start()
                    device.Stop()
                    server.assert_state(server.idle(), tango.DevState.ON)
                    stopped += device.status() == "Stopped by the operator"
            self.assertEqual(stopped, 2 * rounds)
            self.assertLess(abs(device.X), TOLERANCE)  # no motor turned
            self.assertNotIn("Cams moved to zero position", server.run_log())
            device.Init()
            self.assertEqual(device.state(), tango.DevState.OFF)
            server.bring_up()
            device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])
            server.idle()
            self.assertEqual(device.status(), "Done")
            self.assertAlmostEqual(device.X, 0.0005, delta=TOLERANCE)
        finally:
            server.close()


class AskingServer(unittest.TestCase):
    """Questions = ask: the question waits in ALARM for the control system's answer."""

    def test_question_refused_by_client(self):
        server = Server(questions="ask")
        try:
            device = server.device
            server.bring_up()
            device.ZeroGauges()
            question = "Danger Operation: All gages will be set to ZERO.Continue?"
            wait_until("the question", lambda: device.state() == tango.DevState.ALARM, 30)
            self.assertTrue(device.status().endswith(question), device.status())
            self.assertIn("An operation is running", refusal(device.Home))
            device.Refuse()
            self.assertEqual(server.idle(), tango.DevState.ON)
            self.assertTrue(device.status().endswith(question + " - answered Reset by Refuse"))
            self.assertIn("No question", refusal(device.Confirm))
            self.assertNotIn("All gages set to zero", server.run_log())
        finally:
            server.close()


if __name__ == "__main__":
    SERVER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
