#!/usr/bin/python3
"""The stage as a TANGO device, met as a facility's control system meets it: a private
TANGO database (scripts/tango-db.sh), trelwick-tango registered in it as server instances
with their device properties, on loopback ports, driven through TANGO_HOST by a
python3-tango client. Each server runs in a folder of its own, so the run log it writes is
checked as a file.

- session: Simulate and Speed from the database (the simulated stage in the server).
- wire: its own trelwick-sim, the instruments placed by the CM6K6Device, EV16PDevice and
  HP34970Socket properties and brought up by BringUpAtStart; ended by SIGTERM during a Move
  and checked on trelwick-sim's side.
- limit, stall, unreachable: a simulated stage with a fault injected before the first move.
- stopright: Stop right after Move or Home, in rounds.
- asking: Questions = ask. badproperty: a property that cannot be parsed.
- fastwaits, badwaits: the WaitProfile property over --wait-profile, taken and refused.

Usage: tango_server_test.py PATH/TO/trelwick-tango PATH/TO/trelwick-sim"""

import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SERVER = None  # the executables, from the command line
SIM = None
HERE = os.path.dirname(os.path.abspath(__file__))
TANGO_DB = os.path.join(HERE, "..", "..", "scripts", "tango-db.sh")

# A bound on a hung server; nothing is asserted about speed.
STEP_LIMIT_S = 120.0
TOLERANCE = 5e-6  # the simulated potentiometers resolve a move this finely
DATABASE = {}  # folder, and the wire server started early
tango = None  # imported once TANGO_HOST names the private database


def wait_until(what, probe, limit=STEP_LIMIT_S):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        result = probe()
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("gave up waiting for " + what)


def setUpModule():
    global tango
    folder = tempfile.mkdtemp(prefix="tango-db-")
    DATABASE["folder"] = folder
    started = subprocess.run([TANGO_DB, "start", folder], stdout=subprocess.PIPE, text=True)
    if started.returncode != 0:
        raise AssertionError("the private database did not start")
    last = started.stdout.strip().splitlines()[-1]
    assert last.startswith("TANGO_HOST="), last
    # Set before the first TANGO call: /etc/tangorc would name another database.
    os.environ["TANGO_HOST"] = last.split("=", 1)[1]
    import tango as module
    tango = module
    # The slowest server first: its instruments answer in real time.
    DATABASE["wire"] = WireServer()


def tearDownModule():
    wire = DATABASE.get("wire")
    if wire is not None:
        wire.close()
    subprocess.run([TANGO_DB, "stop", DATABASE["folder"]], check=True)
    shutil.rmtree(DATABASE["folder"], ignore_errors=True)


class Server:
    """One trelwick-tango instance registered in the database with `properties`, its
    folder, and a client of its device. `leading` options go before the instance name,
    where TANGO refuses any it does not know: they must be taken out for it."""

    def __init__(self, instance, properties, arguments=(), environment=None, leading=()):
        self.instance = instance
        self.name = "trelwick/stage/" + instance
        self.root = tempfile.mkdtemp(prefix="trelwick-tango-")
        database = tango.Database()
        info = tango.DbDevInfo()
        info.name, info._class, info.server = self.name, "TrelwickStage", "trelwick-tango/" + instance
        database.add_device(info)
        database.put_device_property(self.name, properties)
        self.environment = dict(os.environ, TRELWICK_SIM_ROOT=self.root,
                                TRELWICK_SIM_MOTION_REPORT=os.path.join(self.root, "motion"),
                                **(environment or {}))
        self.output = open(os.path.join(self.root, "server.out"), "w+")
        self.process = subprocess.Popen(
            [SERVER, *leading, instance, *arguments, "-ORBendPoint", "giop:tcp:127.0.0.1:"],
            env=self.environment, stdout=self.output, stderr=subprocess.STDOUT)
        self.device = None

        def reachable():
            if self.process.poll() is not None:
                raise AssertionError("the server ended: " + self.server_output())
            try:
                device = tango.DeviceProxy(self.name)
                device.ping()
                device.state()
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

    def log_folder(self):
        return os.path.join(self.root, "c", "CVI", "Trelwick", "Log")

    def run_log(self):
        with open(os.path.join(self.log_folder(), "Trelwick_log.001")) as file:
            return file.read()

    def idle(self):
        """Waits for the operation to end; the state it ended in."""
        def ended():
            state = self.device.state()
            # A list, because ON is the DevState 0.
            return [state] if state != tango.DevState.MOVING else None

        return wait_until("the operation's end", ended)[0]

    def bring_up(self):
        self.device.BringUp()
        assert self.idle() == tango.DevState.ON, self.device.status()


def failure(call, *arguments):
    """The (reason, description) of the DevFailed a call fails with."""
    try:
        call(*arguments)
    except tango.DevFailed as failed:
        return failed.args[0].reason, failed.args[0].desc
    raise AssertionError("the call was taken")


class AskingServer(unittest.TestCase):
    """Questions = ask: the question waits in MOVING, in Status and in Question, for the
    control system's answer; a refused question leaves ALARM."""

    def test_question_refused_by_client(self):
        server = Server("asking", {"Simulate": "true", "Speed": "20", "Questions": "ask",
                                   "QuestionTimeout": "60"})
        try:
            device = server.device
            server.bring_up()
            self.assertEqual(failure(device.Confirm)[0], "API_CommandNotAllowed")
            device.ZeroGauges()
            question = "Danger Operation: All gages will be set to ZERO.Continue?"
            wait_until("the question", lambda: device.Question == question, 30)
            self.assertEqual(device.state(), tango.DevState.MOVING)
            self.assertTrue(device.status().endswith(question), device.status())
            self.assertEqual(failure(device.Home)[0], "API_CommandNotAllowed")
            device.Refuse()
            self.assertEqual(server.idle(), tango.DevState.ALARM)
            self.assertEqual(device.Question, "")
            self.assertEqual(device.status().split("\n")[0],
                             "ZeroGauges did not complete: " + question +
                             " - answered Reset by Refuse")
            self.assertNotIn("All gages set to zero", server.run_log())
        finally:
            server.close()


class InjectedFaults(unittest.TestCase):
    """A move that does not reach its target reads as a failure: ALARM, Status's first line
    says what happened, and the coordinates are not VALID until an operation completes."""

    def faulty_move(self, instance, fault, target):
        control = os.path.join(tempfile.gettempdir(), "trelwick-%s-%d.ctl" % (instance, os.getpid()))
        with open(control, "w") as file:
            file.write(fault + "\n")
        server = Server(instance, {}, ["--simulate", "--speed", "20", "--sim-control", control])
        try:
            server.bring_up()
            server.device.Move(target)
            state = server.idle()
            return state, server.device.status(), server.device.read_attribute("X").quality, server
        except BaseException:
            server.close()
            raise
        finally:
            os.remove(control)

    def check_failed(self, instance, fault, target, wanted_first_line):
        state, status, quality, server = self.faulty_move(instance, fault, target)
        try:
            self.assertEqual(state, tango.DevState.ALARM, status)
            self.assertRegex(status.split("\n")[0], wanted_first_line)
            self.assertEqual(quality, tango.AttrQuality.ATTR_WARNING)
            # The next operation that completes puts ON back.
            server.device.ReadPosition()
            self.assertEqual(server.idle(), tango.DevState.ON, server.device.status())
            self.assertEqual(server.device.read_attribute("X").quality,
                             tango.AttrQuality.ATTR_VALID)
        finally:
            server.close()

    def test_limit_switch(self):
        self.check_failed("limit", "limit 1 0.5", [0.0005, 0, 0, 0, 0],
                          r"^Move did not complete: .*Error in Positioning")

    def test_stall(self):
        # The controller counts on: the program calls the move done, the gauges do not.
        self.check_failed("stall", "stall 1 1", [0.0005, 0, 0, 0, 0],
                          r"^Move did not complete: \w+ is -?[\d.e-]+, [\d.e-]+ from its target")

    def test_unreachable_target(self):
        self.check_failed("unreachable", "clear", [0, 0.001, 0, 0, 0],
                          r"^Move did not complete: Danger Operation: Unreachable position\. Continue\? - answered")


class PropertyRefused(unittest.TestCase):
    def test_unparseable_property_is_a_fault(self):
        server = Server("badproperty", {"Simulate": "true", "QuestionTimeout": "soon"})
        try:
            self.assertEqual(server.device.state(), tango.DevState.FAULT)
            self.assertEqual(server.device.status(),
                             "Property QuestionTimeout is \"soon\": it must be a number "
                             "from 0 to 86400")
            self.assertEqual(failure(server.device.BringUp)[0], "API_CommandNotAllowed")
            # Init reads the properties again: mended in the database, the device is OFF.
            tango.Database().put_device_property(server.name, {"QuestionTimeout": "30"})
            server.device.Init()
            self.assertEqual(server.device.state(), tango.DevState.OFF)
            self.assertEqual(server.device.status(),
                             "The instruments are not brought up: run BringUp first")
        finally:
            server.close()


class WaitProfileChosen(unittest.TestCase):
    """The wait profile is the process's, chosen at start: the WaitProfile property wins
    over --wait-profile, the device and the run log's station entry say which one runs,
    and a name it cannot take leaves the command line's choice with the device in FAULT."""

    def test_property_over_command_line(self):
        server = Server("fastwaits", {"Simulate": "true", "Speed": "20", "WaitProfile": "fast"},
                        leading=["--wait-profile", "designed"])
        try:
            device = server.device
            self.assertEqual(device.WaitProfile, "fast")
            server.bring_up()
            device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])
            self.assertEqual(server.idle(), tango.DevState.ON, device.status())
            self.assertEqual(device.status(), "Done")
            self.assertAlmostEqual(device.X, 0.0005, delta=TOLERANCE)
            # The station entry, first after the header.
            self.assertRegex(server.run_log(), r"^Trelwick system started [^\n]*\n\*{73}\n"
                                               r" \n Trelwick - simulated stage - fast waits \n ")
        finally:
            server.close()

        # A refused property leaves the command line's choice.
        server = Server("badwaits", {"Simulate": "true", "WaitProfile": "quick"},
                        leading=["--wait-profile=fast"])
        try:
            self.assertEqual(server.device.state(), tango.DevState.FAULT)
            self.assertEqual(server.device.status(),
                             "Property WaitProfile is \"quick\": it must be designed or fast")
            self.assertEqual(server.device.WaitProfile, "fast")
        finally:
            server.close()

    def test_unknown_name_on_the_command_line(self):
        for arguments, said in ((["--wait-profile", "quick"], ', not "quick"'),
                                (["--wait-profile"], "")):
            ended = subprocess.run([SERVER, "cli", *arguments], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True, timeout=30)
            self.assertEqual((ended.returncode, ended.stdout, ended.stderr),
                             (2, "", "trelwick-tango: --wait-profile wants designed or fast" +
                              said + "\n"))


class RefusingServer(unittest.TestCase):
    """The default Questions (refuse), the simulated stage from the database's Simulate and
    Speed: a whole session in order."""

    @classmethod
    def setUpClass(cls):
        cls.server = Server("session", {"Simulate": "true", "Speed": "20"})
        cls.device = cls.server.device

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_session(self):
        device = self.device
        # A subscriber and an archiver need no polling set-up: the server pushes.
        subscriptions = [device.subscribe_event("State", tango.EventType.CHANGE_EVENT, 1000),
                         device.subscribe_event("X", tango.EventType.CHANGE_EVENT, 1000),
                         device.subscribe_event("X", tango.EventType.ARCHIVE_EVENT, 1000)]
        try:
            self.bring_up_and_move(device, subscriptions)
        finally:
            for subscription in subscriptions:
                device.unsubscribe_event(subscription)
        self.more_of_the_session(device)

    def bring_up_and_move(self, device, subscriptions):
        # Before bring-up: OFF, nothing measured (INVALID), and no operation but BringUp.
        self.assertEqual(device.state(), tango.DevState.OFF)
        self.assertEqual(device.status(), "The instruments are not brought up: run BringUp first")
        self.assertEqual(device.read_attribute("X").quality, tango.AttrQuality.ATTR_INVALID)
        self.assertEqual(failure(device.Home)[0], "API_CommandNotAllowed")

        # The attributes as a control room shows them.
        config = device.get_attribute_config("X")
        self.assertEqual((config.format, config.unit, config.min_value, config.max_value),
                         ("%.7f", "m", "-0.001000000047", "0.001000000047"))
        self.assertEqual(device.get_attribute_config("Yaw").format, "%.6f")
        self.assertEqual(device.WaitProfile, "designed")

        # BringUp returns at once, MOVING until "Devices are ready".
        device.BringUp()
        self.assertEqual(device.state(), tango.DevState.MOVING)
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertEqual(device.status(), "Devices are ready")
        self.assertLess(abs(device.X), TOLERANCE)

        # Move; while it runs the coordinates are CHANGING and only Stop, Confirm and
        # Refuse are taken.
        device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])
        self.assertEqual(device.state(), tango.DevState.MOVING)
        self.assertEqual(device.read_attribute("X").quality, tango.AttrQuality.ATTR_CHANGING)
        self.assertEqual(failure(device.ReadPosition)[0], "API_CommandNotAllowed")
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertEqual(device.status(), "Done")
        self.assertEqual(device.read_attribute("X").quality, tango.AttrQuality.ATTR_VALID)
        self.assertAlmostEqual(device.X, 0.0005, delta=TOLERANCE)
        self.assertEqual(list(device.Target), [0.0005, 0.0, 0.0, 0.0, 0.0])

        # The events a subscriber heard: the states in their order, X as it changed, and
        # the archive's X.
        states, xs, archived = [], [], []

        def heard():
            for into, subscription in zip((states, xs, archived), subscriptions):
                for event in device.get_events(subscription):
                    if not event.err:
                        into.append(event.attr_value.value)
            return (len(xs) >= 3 and len(states) >= 5 and states[-1] == tango.DevState.ON and
                    any(x is not None and abs(x - 0.0005) < TOLERANCE for x in archived))

        wait_until("the events", heard, 10)
        changes = [s for i, s in enumerate(states) if i == 0 or s != states[i - 1]]
        self.assertEqual(changes, [tango.DevState.OFF, tango.DevState.MOVING, tango.DevState.ON,
                                   tango.DevState.MOVING, tango.DevState.ON])
        self.assertIsNone(xs[0])  # not measured yet
        self.assertTrue(any(x is not None and abs(x - 0.0005) < TOLERANCE for x in xs))

    def more_of_the_session(self, device):
        # Writing X moves X alone, the others staying where they are.
        device.X = 0.0007
        self.assertEqual(self.server.idle(), tango.DevState.ON)
        self.assertAlmostEqual(device.X, 0.0007, delta=TOLERANCE)
        self.assertEqual(device.Target[0], 0.0007)
        for other in device.Target[1:]:
            self.assertLess(abs(other), TOLERANCE)
        self.assertEqual(failure(device.write_attribute, "X", 0.0015)[0],
                         "API_WAttrOutsideLimit")

        # A target the coordinate box refuses moves nothing: no operation, no log entry;
        # the reason says which coordinate and which limit.
        log_before = self.server.run_log()
        reason, why = failure(device.Move, [0, 0.0011, 0, 0, 0])
        self.assertEqual(reason, "TrelwickStage_OutOfRange")
        self.assertEqual(why, "Value out of Range\nInput a new one.\n"
                              "Y = 0.0011, beyond the limit +/-0.001000000047")
        for bad in ([float("nan"), 0, 0, 0, 0], [0, 0, 0, 1.6, 0]):
            self.assertEqual(failure(device.Move, bad)[0], "TrelwickStage_OutOfRange")
        self.assertEqual(failure(device.Move, [0, 0, 0])[0], "TrelwickStage_WrongLength")
        # A relative move is checked where it would end.
        self.assertRegex(failure(device.MoveRelative, [0.0005, 0, 0, 0, 0])[1].split("\n")[2],
                         r"^X would be 0\.0011\d+, beyond the limit \+/-0\.001000000047$")
        self.assertEqual(device.state(), tango.DevState.ON)
        self.assertEqual(self.server.run_log(), log_before)
        self.assertAlmostEqual(device.X, 0.0007, delta=TOLERANCE)

        # Stop during a long Move: the motors halt, the stage reads ALARM with the reason
        # first, and the cams stay where they stopped.
        device.Move([-0.001, 0.0, 0.0, 0.0, 0.0])
        time.sleep(1.0)  # the cams are read (about 0.4 s), then the motors turn for seconds
        self.assertEqual(device.state(), tango.DevState.MOVING)
        device.Stop()
        self.assertEqual(self.server.idle(), tango.DevState.ALARM)
        # TANGO's own lines follow: the coordinates' quality.
        self.assertEqual(device.status().split("\n"),
                         ["Move did not complete: Stopped by the operator",
                          "Stopped by the operator"] +
                         ["Warning : Quality factor set to WARNING for attribute " + name
                          for name in ("X", "Y", "Roll", "Pitch", "Yaw")])
        self.assertEqual(device.read_attribute("X").quality, tango.AttrQuality.ATTR_WARNING)
        # Short of the target; on a slow machine the Stop may come before the motors start.
        self.assertTrue(-0.001 + 1e-5 < device.X < 0.0007 + TOLERANCE, device.X)
        device.ReadPosition()
        self.assertEqual(self.server.idle(), tango.DevState.ON)
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

        # An alarm level set in the database raises ALARM through TANGO's own evaluation.
        config = device.get_attribute_config("X")
        config.alarms.max_alarm = "-0.0001"
        device.set_attribute_config(config)
        self.assertEqual(device.state(), tango.DevState.ALARM)
        self.assertEqual(device.status(), "All cams are in Home position\nAlarm : Value too high for X")
        config.alarms.max_alarm = "Not specified"
        device.set_attribute_config(config)
        self.assertEqual(device.state(), tango.DevState.ON)

        # A question with nobody to answer it is refused, and said so: the operation did
        # not complete.
        device.ZeroGauges()
        self.assertEqual(self.server.idle(), tango.DevState.ALARM)
        answered = ("Danger Operation: All gages will be set to ZERO.Continue? - answered Reset"
                    " by the device server (Questions = refuse)")
        self.assertTrue(device.status().startswith("ZeroGauges did not complete: " + answered),
                        device.status())

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
    or is starting: it is stopped every time, no motor turns, the device reads ALARM (the
    operation did not complete) and takes the next one (BringUp and a Move work after
    it). TRELWICK_STOP_ROUNDS sets the rounds of each."""

    def test_stop_right_after_move_or_home(self):
        rounds = int(os.environ.get("TRELWICK_STOP_ROUNDS", "5"))
        server = Server("stopright", {"Simulate": "true", "Speed": "20"})
        try:
            device = server.device
            server.bring_up()
            stopped = 0
            for _ in range(rounds):
                for name, start in (("Move", lambda: device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])),
                                    ("Home", device.Home)):
                    start()
                    device.Stop()
                    self.assertEqual(server.idle(), tango.DevState.ALARM, device.status())
                    stopped += device.status().split("\n")[:2] == [
                        name + " did not complete: Stopped by the operator",
                        "Stopped by the operator"]
            self.assertEqual(stopped, 2 * rounds)
            self.assertLess(abs(device.X), TOLERANCE)  # no motor turned
            self.assertNotIn("Cams moved to zero position", server.run_log())
            device.Init()
            self.assertEqual(device.state(), tango.DevState.OFF)
            server.bring_up()
            device.Move([0.0005, 0.0, 0.0, 0.0, 0.0])
            self.assertEqual(server.idle(), tango.DevState.ON)
            self.assertEqual(device.status(), "Done")
            self.assertAlmostEqual(device.X, 0.0005, delta=TOLERANCE)
        finally:
            server.close()


class WireServer(Server):
    """trelwick-tango on the real serial and socket backends against a trelwick-sim of its
    own, placed by the device properties, brought up by BringUpAtStart."""

    def __init__(self):
        self.sim_root = tempfile.mkdtemp(prefix="trelwick-sim-")
        self.control = os.path.join(self.sim_root, "control")
        self.sim_output = open(os.path.join(self.sim_root, "sim.out"), "w+")
        self.sim = subprocess.Popen([SIM, "--speed", "20", "--control", self.control],
                                    stdout=self.sim_output, stderr=subprocess.STDOUT)

        def places():
            self.sim_output.flush()
            self.sim_output.seek(0)
            lines = dict(line.split("=", 1) for line in self.sim_output.read().split()
                         if "=" in line)
            return lines if "TRELWICK_SIM_CONTROL" in lines else None

        lines = wait_until("trelwick-sim's ports", places, 30.0)
        drives = tempfile.mkdtemp(prefix="trelwick-data-")
        self.data = drives
        os.makedirs(os.path.join(drives, "lock"))
        os.makedirs(os.path.join(drives, "trelwick", "drives", "c", "CVI", "Trelwick", "Log"))
        super().__init__("wire", {"CM6K6Device": lines["TRELWICK_COM2"],
                                  "EV16PDevice": lines["TRELWICK_COM5"],
                                  # Placed elsewhere on the GPIB: the socket follows.
                                  "HP34970Gpib": "2:7",
                                  "HP34970Socket": lines["TRELWICK_GPIB1_9"],
                                  "BringUpAtStart": "true"},
                         environment={"XDG_DATA_HOME": drives,
                                      "TRELWICK_LOCK_DIR": os.path.join(drives, "lock")})

    def log_folder(self):
        return os.path.join(self.data, "trelwick", "drives", "c", "CVI", "Trelwick", "Log")

    def sim_state(self):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as link:
            link.connect(self.control)
            link.sendall(b"state\n")
            reply = b""
            while not reply.endswith(b"\n"):
                chunk = link.recv(65536)
                if not chunk:
                    break
                reply += chunk
        return json.loads(reply)

    def close(self):
        super().close()
        if self.sim.poll() is None:
            self.sim.terminate()
            self.sim.wait(20)
        self.sim_output.close()
        shutil.rmtree(self.sim_root, ignore_errors=True)
        shutil.rmtree(self.data, ignore_errors=True)


class TerminatedServer(unittest.TestCase):
    """SIGTERM during a Move ends the server as its admin Kill does: the motion is stopped
    on the wire, the run log ends with the stop, and the process exits 0."""

    def test_sigterm_during_move(self):
        server = DATABASE["wire"]
        device = server.device
        # BringUpAtStart: the instruments come up without a client asking.
        self.assertEqual(server.idle(), tango.DevState.ON, device.status())
        self.assertEqual(device.status(), "Devices are ready")
        device.Move([-0.001, 0.0, 0.0, 0.0, 0.0])
        wait_until("the motors", lambda: any(a["moving"] for a in server.sim_state()["axes"]),
                   60.0)
        server.process.send_signal(signal.SIGTERM)
        self.assertEqual(server.process.wait(30), 0, server.server_output())
        axes = server.sim_state()["axes"]
        self.assertFalse(any(axis["moving"] for axis in axes), axes)
        self.assertFalse(any(axis["drive"] for axis in axes), axes)
        log = server.run_log()
        self.assertRegex(log, r" \n \d\d:\d\d:\d\d \* Stopped by the operator\n \n  \n "
                              r"\d\d:\d\d:\d\d \* Final device coordinates \* [^\n]*\n \n $")


if __name__ == "__main__":
    SERVER = os.path.abspath(sys.argv.pop(1))
    SIM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
