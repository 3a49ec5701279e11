#!/usr/bin/env python3
"""A stand-in controller on a pseudo-terminal that Wine shows as COM ports.

  ptycontroller.py start <pidfile> <lifetime-s> <dosdevices-link>...
  ptycontroller.py stop <pidfile>

Every byte b received is answered with b+1, except 0xD0 (answered 150 ms
late, after the console's 100 ms read time-out) and 0xEE (never answered).
"""
import fcntl
import os
import select
import signal
import sys
import termios
import time
import tty

LATE_BYTE, SILENT_BYTE, LATE_DELAY_S = 0xD0, 0xEE, 0.15


def serve(master, lifetime):
    end = time.time() + lifetime
    while time.time() < end:
        ready, _, _ = select.select([master], [], [], 0.2)
        if not ready:
            continue
        try:
            data = os.read(master, 64)
        except OSError:
            continue  # no opener on the other side at the moment
        for b in data:
            if b == SILENT_BYTE:
                continue
            if b == LATE_BYTE:
                time.sleep(LATE_DELAY_S)
            os.write(master, bytes([(b + 1) & 0xFF]))


def start(pidfile, lifetime, links):
    master, slave = os.openpty()
    tty.setraw(slave)
    name = os.ttyname(slave)
    for link in links:
        os.makedirs(os.path.dirname(link), exist_ok=True)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(name, link)
    ready_r, ready_w = os.pipe()
    pid = os.fork()
    if pid:
        os.close(ready_w)
        os.read(ready_r, 1)  # the line is the child's terminal before any test opens it
        with open(pidfile, "w") as f:
            f.write(str(pid))
        print("controller on", name, "as", ", ".join(os.path.basename(l) for l in links))
        return
    # The child keeps the slave open so the line never hangs up between tests.
    os.setsid()
    # Made the controlling terminal of this session, the line can no longer
    # become Wine's: its hang-up at the end would make the Wine server dump
    # its objects into the test output.
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))  # runs the clean-up below
    os.close(ready_r)
    os.write(ready_w, b"1")
    os.close(ready_w)
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    try:
        serve(master, lifetime)
    finally:
        for link in links:
            if os.path.islink(link) and os.readlink(link) == name:
                os.unlink(link)
        os._exit(0)


def stop(pidfile):
    try:
        with open(pidfile) as f:
            pid = int(f.read())
        os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass
    if os.path.exists(pidfile):
        os.unlink(pidfile)


if __name__ == "__main__":
    if len(sys.argv) >= 5 and sys.argv[1] == "start":
        start(sys.argv[2], float(sys.argv[3]), sys.argv[4:])
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
    else:
        sys.exit(__doc__)
