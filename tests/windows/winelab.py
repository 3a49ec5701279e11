"""The lab of the Windows end-to-end cases: a private Xvfb display and Wine
prefix, the native emulator as COM1, the console under test, and what the
cases read from them (screenshots, the emulator's trace, the mapped windows)."""
import os
import shutil
import signal
import subprocess
import time

# The window's plan: desk n's panel (145 x 75) at column (n-1)%4, row (n-1)//4.
COLUMNS = (8, 176, 376, 544)
ROW_STEP = 104
PANEL = (255, 255, 225)      # a desk panel's own colour
HIGHLIGHT = (192, 220, 192)  # the desk listened to
CALL = (255, 120, 0)         # a calling desk's border
LISTEN_BUTTON = (92 + 11, 49 + 11)  # the middle of the headphones button
FREE_SPOT = (75, 43)         # inside a panel, clear of its buttons and name
# Listening to desk 3 from rest, as the controller receives it.
LISTEN_DESK_3 = "55 30 84 00 12 1C"
NAMES = {1: "Ученик Ёжиков", 2: "Щукина-Эльдарова Юлия", 3: "Ъ ь Ы ы № «»", 16: "Ян"}
SAVE_QUESTION_WAIT_S = 15
# The file handed over and saved: a Cyrillic name, as teachers name them, so
# the path crosses the command line, the hand-over and the save whole.
EIGHT = "восемь столов.cld"


def near(colour, expected, tolerance=12):
    """The styles shade a group box's inside a little."""
    return colour is not None and all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def cp1251_lines(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp1251")


def classroom_text(visible_desks):
    lines = []
    for n in range(1, 17):
        lines += [f"[Desk{n}]",
                  f"CoordinateLeft={COLUMNS[(n - 1) % 4]}",
                  f"CoordinateTop={(n - 1) // 4 * ROW_STEP}",
                  f"Visible={1 if n <= visible_desks else 0}",
                  f"StudentName={NAMES.get(n, f'Ученик {n}')}"]
    return cp1251_lines(lines)


def settings_text(port, classroom):
    return cp1251_lines([
        "[Communication]", f"PortName={port}", "ReadThreadStop=0", "NotWaitCSFromMC=0",
        "[Interface]", "MainFormWidth=700", "MainFormHeight=500", "EnableToMoveDesks=1",
        f"ClassRoomConfigurationFile={classroom}"])


def trace_frames(path):
    """The register writes of an emulator-format trace, as "55 30 .." texts."""
    if not os.path.exists(path):
        return []
    frames = []
    with open(path, encoding="ascii", errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) > 2 and parts[1] == "RX":
                rx = parts[2:parts.index("TX")] if "TX" in parts else parts[2:]
                if len(rx) == 6:
                    frames.append(" ".join(rx))
    return frames


class Screen:
    """One screenshot of the display, as RGB rows."""

    def __init__(self, display):
        for attempt in range(3):
            grab = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
                                  capture_output=True, timeout=30)
            if grab.returncode == 0:
                break
            time.sleep(0.5)  # a window being mapped can fail a grab
        if grab.returncode != 0:
            raise RuntimeError(f"no screenshot: {grab.stderr.decode(errors='replace').strip()}")
        ppm = grab.stdout
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not ppm[pos:pos + 1].isspace():
                pos += 1
            fields.append(ppm[start:pos])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = ppm[pos + 1:]

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def first(self, colour):
        """The first pixel of a colour, row by row: desk 1's top left corner."""
        needle = bytes(colour)
        i = 0
        while True:
            i = self.pixels.find(needle, i)
            if i < 0:
                return None
            if i % 3 == 0:
                return ((i // 3) % self.width, (i // 3) // self.width)
            i += 1


class Lab:
    """The display, the prefix, the emulator and the console under test."""

    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        os.makedirs(self.work, exist_ok=True)
        self.processes = []
        self.display = self._start_display()
        self.env = dict(os.environ, DISPLAY=self.display, LC_ALL="ru_RU.UTF-8",
                        LANG="ru_RU.UTF-8", WINEDEBUG="-all")
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)
        self.native = args.native is not None
        if not self.native:
            self.env["WINEPREFIX"] = os.path.join(self.work, "prefix")
            self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="  # no Mono or Gecko prompts
            if not os.path.exists(os.path.join(self.env["WINEPREFIX"], "system.reg")):
                subprocess.run([args.wine, "wineboot", "-i"], env=self.env, timeout=300,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.drive_c = os.path.join(self.env["WINEPREFIX"], "drive_c")
            self.folder = os.path.join(self.drive_c, "vormik-test")
            # Wine remakes dosdevices/com1 from its Ports key whenever it starts,
            # by default towards /dev/ttyS0: the key names the emulator's link.
            self.port_link = os.path.join(self.work, "com1-emulator")
            subprocess.run([args.wine, "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1",
                            "/d", self.port_link, "/f"], env=self.env, timeout=120,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            com1 = os.path.join(self.env["WINEPREFIX"], "dosdevices", "com1")
            if os.path.lexists(com1):
                os.unlink(com1)
            os.symlink(self.port_link, com1)
            self.port_name = "COM1"
        else:
            self.folder = os.path.join(self.work, "native")
            self.port_link = os.path.join(self.work, "ttyVormik")
            self.port_name = self.port_link
        self.emulator = None
        self.console = None
        self.origin = None

    # -- the pieces -------------------------------------------------------

    def _start_display(self):
        # Away from the low numbers that desktops and xvfb-run take first.
        for number in range(100 + os.getpid() % 300, 500):
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.processes.append(xvfb)
            socket = f"/tmp/.X11-unix/X{number}"
            if self.wait_for(lambda: os.path.exists(socket) or xvfb.poll() is not None, 20):
                if xvfb.poll() is None:
                    return f":{number}"
        raise RuntimeError("Xvfb did not start")

    def start_emulator(self):
        if os.path.lexists(self.port_link):
            os.unlink(self.port_link)
        self.trace = os.path.join(self.work, "trace.log")
        if os.path.exists(self.trace):
            os.unlink(self.trace)
        self.emulator = subprocess.Popen(
            [self.args.emulator, "--link", self.port_link, "--trace", self.trace],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.append(self.emulator)
        line = self.emulator.stdout.readline()
        if "ready" not in line:
            raise RuntimeError(f"the emulator did not start: {line!r}")

    def emulator_command(self, command):
        self.emulator.stdin.write(command + "\n")
        self.emulator.stdin.flush()
        return self.emulator.stdout.readline().strip()

    def frames(self):
        """The register writes of the emulator's trace, as "55 30 .." texts."""
        return trace_frames(self.trace)

    def lay_out(self):
        """The program folder with its settings and two classroom files."""
        if os.path.exists(self.folder):
            shutil.rmtree(self.folder)
        if self.native:
            os.makedirs(self.folder)
            shutil.copy(self.args.native, os.path.join(self.folder, "vormik"))
            self.program = [os.path.join(self.folder, "vormik")]
            path = lambda name: os.path.join(self.folder, name)  # noqa: E731
        else:
            shutil.copytree(self.args.program, self.folder)
            # By its drive letter, as a teacher starts it.
            self.program = [self.args.wine, "C:\\vormik-test\\vormik.exe"]
            path = lambda name: "C:\\vormik-test\\" + name  # noqa: E731
        self.path_in_program = path
        with open(os.path.join(self.folder, "classroom.cld"), "wb") as f:
            f.write(classroom_text(16))
        with open(os.path.join(self.folder, EIGHT), "wb") as f:
            f.write(classroom_text(8))
        with open(os.path.join(self.folder, "vormik.ini"), "wb") as f:
            f.write(settings_text(self.port_name, path("classroom.cld")))

    def start_console(self, *arguments, wait=True):
        process = subprocess.Popen(self.program + list(arguments), env=self.env, cwd=self.folder,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def wait_for(self, check, timeout_s, step_s=0.3):
        end = time.time() + timeout_s
        while True:
            result = check()
            if result or time.time() > end:
                return result
            time.sleep(step_s)

    def screen(self):
        return Screen(self.display)

    def find_plan(self, timeout_s):
        """The plan's top left corner on the screen, from desk 1's panel."""
        def found():
            corner = self.screen().first(PANEL)
            return corner and (corner[0] - COLUMNS[0], corner[1])
        self.origin = self.wait_for(found, timeout_s, 1.0)
        return self.origin

    def desk_point(self, desk, offset):
        return (self.origin[0] + COLUMNS[(desk - 1) % 4] + offset[0],
                self.origin[1] + (desk - 1) // 4 * ROW_STEP + offset[1])

    def desk_colour(self, desk, screen=None):
        return (screen or self.screen()).at(*self.desk_point(desk, FREE_SPOT))

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self, point):
        self.xdotool("mousemove", str(point[0]), str(point[1]))
        time.sleep(0.2)
        self.xdotool("click", "1")

    def focus(self, windows):
        """Keys go where the pointer is when no window manager is running."""
        window = max(windows, key=int)  # the newest
        self.xdotool("mousemove", "--window", window, "20", "20")
        self.xdotool("windowfocus", window)
        time.sleep(0.3)

    def windows(self):
        """The mapped windows; Wine leaves some dialogs without a title."""
        found = set()
        for key in ("--name", "--class"):
            result = subprocess.run(["xdotool", "search", "--onlyvisible", key, "."],
                                    env=self.env, capture_output=True, text=True, timeout=30)
            found |= set(result.stdout.split())
        return found

    def keep_screen(self, name):
        """The screen as the case left it, for whoever reads the failure."""
        subprocess.run(["import", "-display", self.display, "-window", "root",
                        os.path.join(self.work, name)], timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if not self.native:
            subprocess.run([self.args.wine.replace("wine64", "wineserver"), "-k"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
