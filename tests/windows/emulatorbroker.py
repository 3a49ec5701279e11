#!/usr/bin/env python3
"""Runs the Linux vormik-emulator for window tests that run under Wine.

  emulatorbroker.py start <state-file> <emulator> <dosdevices> <lifetime-s>
  emulatorbroker.py stop <state-file>

A Windows program cannot make a pseudo-terminal, so each test's emulator is
started here, with its link in the Wine prefix's dosdevices (so that the
console opens it as a COM port), and its stdin and stdout are relayed over a
TCP connection on 127.0.0.1. The state file (mode 0600) holds the port, a
random token the client must send first, and the broker's process id.

Per connection:
  client: "<token>\\t<option>\\t<option>..."   the emulator's extra options
  broker: "c ready COM<n> <trace file>" or "c error <why>"
  client: "emu\\t<command>"  -> the emulator's stdin; its lines come back as "o <line>"
  client: "running"         -> "c running yes|no"
  client: "stop"            -> "c exit <status>"
A closed connection stops its emulator.
"""
import os
import re
import secrets
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

FIRST_PORT, LAST_PORT = 100, 255
START_TIMEOUT_S, STOP_TIMEOUT_S = 5.0, 2.0


class Broker:
    def __init__(self, emulator, dosdevices, token):
        self.emulator = emulator
        self.dosdevices = dosdevices
        self.token = token
        self.traces = tempfile.mkdtemp(prefix="vormik-broker-")
        self.lock = threading.Lock()
        self.next_port = FIRST_PORT
        self.children = set()

    def allocate_port(self):
        # In turn rather than the lowest free one: a port a test has just let
        # go of is not handed to another test that runs at the same time.
        with self.lock:
            number = self.next_port
            self.next_port = FIRST_PORT if number == LAST_PORT else number + 1
            return number

    def serve(self, connection):
        reader = connection.makefile("r", encoding="utf-8", newline="\n")
        child = None

        def send(line):
            try:
                connection.sendall((line + "\n").encode("utf-8"))
            except OSError:
                pass

        try:
            connection.settimeout(START_TIMEOUT_S)
            first = reader.readline().rstrip("\n").split("\t")
            if first[0] != self.token:
                return
            connection.settimeout(None)
            child, name, trace = self.start_emulator(first[1:])
            if child is None:
                send("c error " + name)
                return
            send("c ready %s %s" % (name, trace))
            relay = threading.Thread(target=self.relay_output, args=(child, send), daemon=True)
            relay.start()
            for line in reader:
                line = line.rstrip("\n")
                if line.startswith("emu\t"):
                    try:
                        child.stdin.write(line[4:] + "\n")
                        child.stdin.flush()
                    except OSError:
                        pass
                elif line == "running":
                    send("c running " + ("yes" if child.poll() is None else "no"))
                elif line == "stop":
                    send("c exit %d" % self.stop_emulator(child))
        except OSError:
            pass
        finally:
            if child is not None:
                self.stop_emulator(child)
            connection.close()

    def start_emulator(self, options):
        options = list(options)
        number = None
        if "--link" in options:
            # The same port again (a test bringing the controller back).
            at = options.index("--link")
            match = re.fullmatch(r"COM(\d+)", options[at + 1] if at + 1 < len(options) else "")
            if not match or not FIRST_PORT <= int(match.group(1)) <= LAST_PORT:
                return None, "--link takes COM%d..COM%d" % (FIRST_PORT, LAST_PORT), None
            number = int(match.group(1))
            del options[at:at + 2]
        if number is None:
            number = self.allocate_port()
        link = os.path.join(self.dosdevices, "com%d" % number)
        trace = os.path.join(tempfile.mkdtemp(dir=self.traces), "trace.log")
        try:
            child = subprocess.Popen(
                [self.emulator, "--link", link, "--trace", trace, "--quit-on-eof"] + options,
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        except OSError as error:
            return None, str(error), None
        with self.lock:
            self.children.add(child)
        deadline = time.time() + START_TIMEOUT_S
        while time.time() < deadline:
            line = child.stdout.readline()
            if not line:
                break
            if line.startswith("ready "):
                return child, "COM%d" % number, trace
        self.stop_emulator(child)
        return None, "the emulator did not report ready", None

    @staticmethod
    def relay_output(child, send):
        for line in child.stdout:
            send("o " + line.rstrip("\n"))

    def stop_emulator(self, child):
        if child.poll() is None:
            try:
                child.stdin.close()
            except OSError:
                pass
            child.terminate()
            try:
                child.wait(STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
        with self.lock:
            self.children.discard(child)
        return child.returncode if child.returncode >= 0 else -1

    def stop_all(self):
        with self.lock:
            children = list(self.children)
        for child in children:
            self.stop_emulator(child)
        shutil.rmtree(self.traces, ignore_errors=True)


def start(state_file, emulator, dosdevices, lifetime):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    token = secrets.token_hex(16)
    ready_r, ready_w = os.pipe()
    pid = os.fork()
    if pid:
        os.close(ready_w)
        os.read(ready_r, 1)
        print("emulator broker on port", listener.getsockname()[1])
        return
    os.setsid()
    os.close(ready_r)
    broker = Broker(emulator, dosdevices, token)
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    temporary = state_file + ".new"
    descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    os.write(descriptor, ("%d %s %d\n" % (listener.getsockname()[1], token, os.getpid())).encode())
    os.close(descriptor)
    os.replace(temporary, state_file)
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    os.write(ready_w, b"1")
    os.close(ready_w)

    def accept():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=broker.serve, args=(connection,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    done.wait(lifetime)
    broker.stop_all()
    os._exit(0)


def stop(state_file):
    try:
        with open(state_file) as f:
            pid = int(f.read().split()[2])
    except (OSError, ValueError, IndexError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            os.kill(pid, 0)
            time.sleep(0.1)
    except ProcessLookupError:
        pass
    os.unlink(state_file)


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[1] == "start":
        start(sys.argv[2], sys.argv[3], sys.argv[4], float(sys.argv[5]))
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
    else:
        sys.exit(__doc__)
