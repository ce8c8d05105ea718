#!/usr/bin/env python3
"""Checks every sample of program output in the documents against what the programs print.

A checked sample in README.md or docs/*.md is a fenced code block right after an HTML
comment that names where its text comes from (a reader of the rendered page does not see
the comment):

    <!-- output of: trelwick --check-instruments --simulate -->
    ```
    Instrument               Link      Opens  Answers
    ...
    ```

The names this test knows are in SAMPLES below: a command line of trelwick, trelwick-sim
or trelwick-tango (`trelwick-sim` alone: the lines it prints at start),
`trelwick-sim control: help` (the reply to `help` on trelwick-sim's
control socket), and `run log: bring-up, Move, Home` (the run log of the first session of
the operator's manual, written by the session tool on the simulated stage). Each is run
once; the sample and the output are compared line by line after dates, times, paths,
ports and pseudo-terminal numbers are replaced by placeholders, and a difference is
printed as the document, the line of its sample, the command, and a unified diff (the
document's text against the program's). Every known name must have at least one sample,
and a comment with a name this test does not know is a fault too.

  document_samples.py --root SOURCE --trelwick EXE --sim EXE --session EXE [--tango EXE]
                      [--update]

With --update every sample that differs is rewritten in its document with what the
program prints now (the temporary home folder of the run shown as /home/op), and the
documents' other lines are left as they are; read the diff before committing it.

Without --tango (no TANGO library) the trelwick-tango samples are skipped, said so.
Exit status: 0 all samples match, 1 a sample differs or is missing, 77 nothing could run.
"""
import argparse
import difflib
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

MARKER = re.compile(r"^<!--\s*output of:\s*(.*?)\s*-->\s*$")
FENCE = re.compile(r"^(`{3,}|~{3,})")

# Name in the document -> how to make its text (see make_output).
SAMPLES = {
    "trelwick --help": ("trelwick", ["--help"]),
    "trelwick --check-instruments": ("trelwick", ["--check-instruments"]),
    "trelwick --wait-table": ("trelwick", ["--wait-table"]),
    "trelwick --check-instruments --simulate": ("trelwick", ["--check-instruments", "--simulate"]),
    "trelwick-sim": ("start", []),
    "trelwick-sim --help": ("sim", ["--help"]),
    "trelwick-sim --list-scenarios": ("sim", ["--list-scenarios"]),
    "trelwick-sim control: help": ("control", ["help"]),
    "trelwick-tango --help": ("tango", ["--help"]),
    "run log: bring-up, Move, Home": ("session", []),
}

# What may differ between two runs, and so between a run and the document.
NORMALISE = [
    (re.compile(r"\b\d{2}-\d{2}-\d{4}\b"), "<date>"),
    (re.compile(r"\b\d{4}-\d{2}-\d{2}\b"), "<date>"),
    (re.compile(r"\b\d{2}:\d{2}:\d{2}\b"), "<time>"),
    (re.compile(r"/dev/pts/\d+"), "/dev/pts/<n>"),
    (re.compile(r"\b(127\.0\.0\.1|localhost|\[::1\]):\d+"), r"\1:<port>"),
    # An absolute path under a temporary or per-user folder (the simulated drives, the
    # control socket, a home folder).
    (re.compile(r"(/tmp|/run/user/\d+|/home/[^/\s]+|/root)(/[^\s,;:)'\"]*)?"), "<path>"),
]


def shown(text, home):
    """The output as a document shows it: the run's temporary home as an operator's."""
    return text.replace(home, "/home/op").replace("\r\n", "\n").rstrip("\n")


def rewrite(path, replacements):
    """Puts new text into the fenced blocks after the given marker lines (1-based)."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for marker_line, text in sorted(replacements, reverse=True):
        start = marker_line + 1  # the index of the first line inside the fence
        fence = FENCE.match(lines[marker_line]).group(1)
        end = start
        while end < len(lines) and not lines[end].startswith(fence):
            end += 1
        lines[start:end] = text.split("\n")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def normalise(text):
    lines = []
    for line in text.replace("\r\n", "\n").split("\n"):
        for pattern, replacement in NORMALISE:
            line = pattern.sub(replacement, line)
        lines.append(line.rstrip())
    while lines and not lines[-1]:
        lines.pop()
    return lines


def samples_in(path):
    """(line of the marker, name, text of the fenced block) of each checked sample."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    i = 0
    while i < len(lines):
        m = MARKER.match(lines[i])
        if not m:
            i += 1
            continue
        name, marker_line = m.group(1), i + 1
        j = i + 1
        fence = FENCE.match(lines[j]) if j < len(lines) else None
        if not fence:
            found.append((marker_line, name, None))
            i += 1
            continue
        body = []
        j += 1
        while j < len(lines) and not lines[j].startswith(fence.group(1)):
            body.append(lines[j])
            j += 1
        found.append((marker_line, name, "\n".join(body)))
        i = j + 1
    return found


def quiet_environment(home):
    """The environment of a first run: no variable of this program, a fresh home."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("TRELWICK_")}
    env.update({"HOME": home, "XDG_DATA_HOME": os.path.join(home, ".local/share"),
                "XDG_RUNTIME_DIR": home, "QT_QPA_PLATFORM": "offscreen", "LC_ALL": "C"})
    return env


def run(argv, env, timeout=60):
    done = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout)
    return done.stdout.decode("utf-8", "replace")


def start_lines(sim, env, home):
    """The lines trelwick-sim prints at start, up to the control socket's, then stops it."""
    # The control socket in its default place: $XDG_RUNTIME_DIR, the run's home.
    proc = subprocess.Popen([sim], env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    lines = []
    try:
        for line in proc.stdout:
            lines.append(line)
            if line.startswith("TRELWICK_SIM_CONTROL=") or len(lines) > 20:
                break
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return "".join(lines)


def control_reply(sim, command, env, home):
    """The control socket's reply to one command, from a trelwick-sim started for it."""
    path = os.path.join(home, "control.sock")
    proc = subprocess.Popen([sim, "--control", path], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(path):
            if proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("trelwick-sim made no control socket")
            time.sleep(0.05)
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(5)
            s.connect(path)
            s.sendall((command + "\n").encode())
            # The reply ends when the socket has been quiet for a moment after it began.
            reply = b""
            s.settimeout(1.0)
            while True:
                try:
                    chunk = s.recv(65536)
                except socket.timeout:
                    if reply:
                        break
                    continue
                if not chunk:
                    break
                reply += chunk
        return reply.decode("utf-8", "replace")
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def make_output(kind, args, exes, home):
    env = quiet_environment(home)
    if kind == "start":
        return start_lines(exes["sim"], env, home)
    if kind == "control":
        return control_reply(exes["sim"], args[0], env, home)
    if kind == "session":
        log = os.path.join(home, "session.log")
        run([exes["session"], home, log], env, timeout=300)
        with open(log, encoding="utf-8", errors="replace") as f:
            return f.read()
    return run([exes[kind]] + args, env)


def machine_has_instruments():
    """True where the no-instrument sample cannot hold: the default ports or a GPIB
    library are there."""
    if any(os.path.exists(p) for p in ("/dev/ttyS1", "/dev/ttyS4")):
        return True
    try:
        import ctypes
        ctypes.CDLL("libgpib.so.0")
        return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--trelwick", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--session", required=True)
    parser.add_argument("--tango")
    parser.add_argument("--update", action="store_true")
    options = parser.parse_args()
    exes = {"trelwick": options.trelwick, "sim": options.sim, "session": options.session,
            "tango": options.tango}

    documents = ["README.md"] + sorted(
        os.path.join("docs", n) for n in os.listdir(os.path.join(options.root, "docs"))
        if n.endswith(".md"))
    faults, checked, skipped, outputs, raw, used = [], 0, [], {}, {}, set()
    updated = []
    with tempfile.TemporaryDirectory(prefix="trelwick-samples-") as home:
        for document in documents:
            path = os.path.join(options.root, document)
            if not os.path.exists(path):
                continue
            replacements = []
            for line, name, text in samples_in(path):
                where = f"{document}:{line}"
                if name not in SAMPLES:
                    faults.append(f"{where}: the sample names '{name}', which this test does "
                                  f"not know (known: {', '.join(sorted(SAMPLES))})")
                    continue
                used.add(name)
                if text is None:
                    faults.append(f"{where}: no fenced code block follows the comment for "
                                  f"'{name}'")
                    continue
                kind, args = SAMPLES[name]
                if kind == "tango" and not exes["tango"]:
                    skipped.append(f"{where}: '{name}' (trelwick-tango is not built)")
                    continue
                if name == "trelwick --check-instruments" and machine_has_instruments():
                    skipped.append(f"{where}: '{name}' (this machine has a default port or a "
                                   "GPIB library, so it is not the machine of the sample)")
                    continue
                if name not in outputs:
                    try:
                        raw[name] = make_output(kind, args, exes, home)
                        outputs[name] = normalise(raw[name])
                    except (OSError, RuntimeError, subprocess.SubprocessError) as error:
                        faults.append(f"{where}: '{name}' could not be run: {error}")
                        continue
                want, got = normalise(text), outputs[name]
                checked += 1
                if want != got and options.update:
                    replacements.append((line, shown(raw[name], home)))
                    updated.append(f"{document}:{line}: '{name}'")
                elif want != got:
                    diff = difflib.unified_diff(want, got, fromfile=f"{document} (sample at line {line})",
                                                tofile=f"what `{name}` prints now", lineterm="")
                    faults.append(f"{where}: the sample of '{name}' differs from what the "
                                  "program prints now; make the document say what it prints:\n"
                                  + "\n".join("    " + d for d in diff)
                                  + "\n    (to rewrite the samples that differ: "
                                  + " ".join([sys.executable] + sys.argv + ["--update"]) + ")")
            if replacements:
                rewrite(path, replacements)
    for name in sorted(set(SAMPLES) - used):
        faults.append(f"no document has a sample of '{name}' (a comment "
                      f"'<!-- output of: {name} -->' before a fenced block)")
    for s in skipped:
        print(f"skipped {s}")
    for u in updated:
        print(f"updated {u}")
    for f in faults:
        print(f)
    print(f"{checked} samples checked, {len(faults)} faults, {len(skipped)} skipped")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
