#!/usr/bin/env python3
"""sensor-panel.exe as a Windows user runs it, under Wine on a virtual X display: the demo's
window, a board on a COM port (a pseudo-terminal behind Wine's COM5), the log in c:\\temp, and
the installer. scripts/test-windows.sh prepares the prefix and runs this under xvfb-run.

Usage: panel_under_wine.py --panel FOLDER --installer EXE --decode LINUX_SENSOR_DECODE
       --board-sim LINUX_SENSOR_BOARD_SIM   (WINEPREFIX and DISPLAY from the environment)
"""
import argparse
import fcntl
import os
import pty
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import time
import tty
import unittest
from pathlib import Path

ARGS = None
WINE = shutil.which("wine64", path="/usr/lib/wine:" + os.environ.get("PATH", ""))
WINESERVER = shutil.which("wineserver", path="/usr/lib/wine:" + os.environ.get("PATH", ""))
PREFIX = Path(os.environ.get("WINEPREFIX", ""))
WORK = Path(tempfile.mkdtemp(prefix="panel-under-wine-"))
# The line's rate at 19200 baud, 8N1.
LINE_BYTES_PER_S = 1920


def wait_for(condition, deadline_s, what):
    """Polls until condition() gives something true; the deadline only guards a hang."""
    end = time.monotonic() + deadline_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"gave up after {deadline_s} s waiting for {what}")
        time.sleep(0.1)


def windows_path(path):
    """Wine sees the Linux file system as drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def server_is_up():
    """Whether the prefix's Wine server takes clients: its socket is in /tmp/.wine-UID, or in the
    folder Debian's Wine names in the prefix's file "wineserver"."""
    prefix = PREFIX.stat()
    server = f"server-{prefix.st_dev:x}-{prefix.st_ino:x}"
    folders = [Path("/tmp") / f".wine-{os.getuid()}"]
    named = PREFIX / "wineserver"
    if named.exists():
        folders.append(Path("/tmp") / named.read_text().strip())
    return any((folder / server / "socket").exists() for folder in folders)


def wine_env():
    env = dict(os.environ, WINEDEBUG="-all")
    env.pop("WINEPATH", None)
    return env


def run_wine(*args, deadline_s=60):
    """Runs a Windows program to its end. Its output goes through files: Wine's own services,
    started by the first program, inherit pipes and would hold them open long after."""
    with tempfile.TemporaryFile(dir=WORK) as out, tempfile.TemporaryFile(dir=WORK) as err:
        status = subprocess.run([WINE, *map(str, args)], env=wine_env(), stdin=subprocess.DEVNULL, stdout=out,
                                stderr=err, timeout=deadline_s).returncode
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(args, status, out.read(), err.read())


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=30)


def log_lines(capture):
    """What the Linux build logs for a capture, START clicked before its first byte."""
    return subprocess.run([ARGS.decode, "--log-lines", str(capture)], capture_output=True, check=True,
                          timeout=60).stdout


def make_capture(name, frames, seed):
    path = WORK / name
    subprocess.run([ARGS.board_sim, "--capture", str(path), "--frames", str(frames), "--seed", str(seed)],
                   check=True, timeout=60)
    return path


class Panel:
    """A running sensor-panel.exe; its standard error is kept in a file and read as it grows."""

    def __init__(self, exe, *args):
        self.err_path = WORK / f"panel-{time.monotonic_ns()}.err"
        with open(self.err_path, "wb") as err:
            self.process = subprocess.Popen([WINE, str(exe), *args], env=wine_env(), stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=err)
        self.window_id = None

    def said(self):
        return self.err_path.read_text(errors="replace")

    def wait_said(self, sentence, deadline_s=60):
        wait_for(lambda: sentence in self.said(), deadline_s, f'"{sentence}" on standard error; it said:\n{self.said()}')

    def window(self):
        def find():
            found = xdotool("search", "--onlyvisible", "--pid", self.process.pid, "--name", "^Form1$").stdout.split()
            return found[0] if found else None
        # Wine's first start in a prefix takes seconds before a window shows.
        self.window_id = wait_for(find, 90, "a window titled Form1")
        return self.window_id

    def press(self, key):
        # No window manager on the virtual display: the panel is given the focus directly.
        xdotool("windowfocus", self.window_id)
        xdotool("key", "--window", self.window_id, key)

    def picture(self, name):
        """The window's cells and buttons, without the status bar that changes with every frame."""
        path = WORK / name
        subprocess.run(["import", "-window", self.window_id, "-crop", "800x430+0+20", str(path)], check=True,
                       timeout=30, capture_output=True)
        return path

    def quit(self):
        self.press("ctrl+q")
        return self.process.wait(timeout=60)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)


class PtyBoard:
    """A board on a pseudo-terminal, at the device Wine's COM5 stands for: plugged in when made,
    unplugged (the master closed, the link removed) by unplug()."""

    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.link = PREFIX / "com5-board"
        self.link.unlink(missing_ok=True)
        self.link.symlink_to(os.ttyname(self.slave))
        self.heard = b""

    def read_exactly(self, count, deadline_s=30):
        def enough():
            if select.select([self.master], [], [], 0)[0]:
                try:
                    self.heard += os.read(self.master, 4096)
                except BlockingIOError:
                    pass
            return len(self.heard) >= count
        wait_for(enough, deadline_s, f"{count} bytes from the panel (heard {self.heard.hex(' ')})")
        got, self.heard = self.heard[:count], self.heard[count:]
        return got

    def heard_nothing(self):
        try:
            self.heard += os.read(self.master, 4096)
        except BlockingIOError:
            pass
        return self.heard == b""

    def send_at_line_rate(self, data):
        start = time.monotonic()
        for at in range(0, len(data), 17):
            ahead = start + at / LINE_BYTES_PER_S - time.monotonic()
            if ahead > 0:
                time.sleep(ahead)  # the line's pace, not a wait for the panel
            chunk = data[at:at + 17]
            while chunk:
                try:
                    chunk = chunk[os.write(self.master, chunk):]
                except BlockingIOError:
                    select.select([], [self.master], [], 1)

    def unplug(self):
        self.link.unlink(missing_ok=True)
        if self.master is not None:
            os.close(self.master)
            os.close(self.slave)
            self.master = self.slave = None


def reset_panel_state():
    """No remembered port or log, and no c:\\temp: what a first start on a new PC finds."""
    run_wine("reg", "delete", r"HKCU\Software\sensor-panel", "/f")
    shutil.rmtree(PREFIX / "drive_c" / "temp", ignore_errors=True)


def file_with_lines(path, count):
    return path.exists() and path.read_bytes().count(b"\r\n") >= count


class DemoWindow(unittest.TestCase):
    def test_the_demo_shows_form1_and_its_cells_change(self):
        panel = Panel(ARGS.panel / "sensor-panel.exe", "--demo", "--log", windows_path(WORK / "demo.csv"))
        try:
            panel.window()
            first = panel.picture("demo-1.png")

            def changed():
                result = subprocess.run(["compare", "-metric", "AE", str(first), str(panel.picture("demo-2.png")),
                                         "null:"], capture_output=True, text=True, timeout=30)
                return result.stderr.strip() not in ("", "0")
            wait_for(changed, 30, "the cells to change between two pictures of the window")
            self.assertEqual(panel.quit(), 0, panel.said())
        finally:
            panel.stop()


class BoardOnComPort(unittest.TestCase):
    def test_a_board_on_com5_is_read_told_lost_and_found_again(self):
        reset_panel_state()
        first_run = make_capture("first.bin", 600, 7)
        second_run = make_capture("second.bin", 100, 8)
        log = PREFIX / "drive_c" / "temp" / "sensors.csv"
        recording = WORK / "run.rec"
        board = PtyBoard()
        panel = Panel(ARGS.panel / "sensor-panel.exe", "--port", "COM5", "--record", windows_path(recording))
        try:
            panel.wait_said("Serial port COM5 is open.")
            panel.window()
            self.assertTrue(board.heard_nothing(), f"sent at start-up: {board.heard.hex(' ')}")

            panel.press("space")  # START has the focus first
            self.assertEqual(board.read_exactly(2), b"\x93\x00", "START as on Linux")
            board.send_at_line_rate(first_run.read_bytes())
            expected = log_lines(first_run)
            wait_for(lambda: file_with_lines(log, expected.count(b"\r\n")), 30, f"{log} to have the run's lines")
            self.assertEqual(log.read_bytes(), expected, "the log of c:\\temp\\sensors.csv, as the Linux build writes it")

            board.unplug()
            panel.wait_said("Lost serial port COM5: the device was unplugged or switched off.")
            board = PtyBoard()
            panel.wait_said("Serial port COM5 is open again.")
            self.assertEqual(board.read_exactly(2), b"\x93\x00", "the board that came back is told the run is on")
            board.send_at_line_rate(second_run.read_bytes())
            expected += log_lines(second_run)
            wait_for(lambda: file_with_lines(log, expected.count(b"\r\n")), 30, "the run to go on in the log")
            self.assertEqual(log.read_bytes(), expected)

            self.assertEqual(panel.quit(), 0, panel.said())
            said = panel.said()
            self.assertEqual(said.count("Lost serial port COM5"), 1, said)
            self.assertEqual(said.count("Serial port COM5 is open again."), 1, said)
            self.assertNotIn("Nothing was sent", said)
            self.assertEqual(log_lines(recording), expected, "the recording holds every byte received")
        finally:
            panel.stop()
            board.unplug()

    def test_a_missing_port_is_said_with_the_ports_present(self):
        panel = Panel(ARGS.panel / "sensor-panel.exe", "--port", "COM42", "--log", windows_path(WORK / "none.csv"))
        try:
            panel.wait_said("Cannot open serial port COM42: no such device. Ports on this machine: ")
            listed = panel.said().split("Ports on this machine: ", 1)[1].split(". Retrying", 1)[0].split(", ")
            self.assertIn("COM5", listed, "the ports registered with the system")
            panel.window()
            self.assertEqual(panel.quit(), 0, panel.said())
        finally:
            panel.stop()

    def test_a_port_held_by_another_program_is_busy(self):
        if os.getuid() == 0:
            self.skipTest("as root, Wine opens a port another program holds exclusively; run as a user to see it busy")
        board = PtyBoard()
        fcntl.ioctl(board.slave, termios.TIOCEXCL)
        panel = Panel(ARGS.panel / "sensor-panel.exe", "--port", "COM5", "--log", windows_path(WORK / "none.csv"))
        try:
            panel.wait_said("Cannot open serial port COM5: it is busy; another program is using it.")
        finally:
            panel.stop()
            board.unplug()


class Installer(unittest.TestCase):
    def test_it_installs_silently_runs_and_uninstalls(self):
        folder = PREFIX / "drive_c" / "Program Files" / "sensor-panel"
        shortcut = PREFIX / "drive_c" / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / \
            "Sensor panel" / "Sensor panel.lnk"
        installed = run_wine(ARGS.installer, "/S", deadline_s=120)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        self.assertTrue((folder / "sensor-panel.exe").exists())
        self.assertTrue(shortcut.exists(), "a Start menu entry")

        version = run_wine(folder / "sensor-panel.exe", "--version")
        self.assertEqual(version.stdout, run_wine(ARGS.panel / "sensor-panel.exe", "--version").stdout)
        self.assertTrue(version.stdout.startswith(b"sensor-panel "), version.stdout)
        panel = Panel(folder / "sensor-panel.exe", "--demo", "--log", windows_path(WORK / "installed.csv"))
        try:
            panel.window()
            self.assertEqual(panel.quit(), 0, panel.said())
        finally:
            panel.stop()

        # The uninstaller copies itself away and returns at once; the copy removes the folder and
        # the Start menu entry in an order of its own, so the test waits for both.
        removed = run_wine(folder / "Uninstall.exe", "/S")
        self.assertEqual(removed.returncode, 0, removed.stderr)
        wait_for(lambda: not folder.exists() and not shortcut.exists(), 60,
                 f"{folder} and the Start menu entry to be removed")


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--panel", type=Path, required=True)
    parser.add_argument("--installer", type=Path, required=True)
    parser.add_argument("--decode", required=True)
    parser.add_argument("--board-sim", required=True)
    ARGS, rest = parser.parse_known_args()
    # The server is started first, with its standard error sent away: it takes a pseudo-terminal it
    # opens as its terminal, and on each unplug dumps its state there. Until its socket is there, a
    # Windows program would start a server of its own.
    subprocess.Popen([WINESERVER, "-p"], env=wine_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, start_new_session=True)
    wait_for(server_is_up, 60, "the Wine server to start")
    try:
        result = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result
    finally:
        subprocess.run([WINESERVER, "-k"], env=wine_env(), capture_output=True, timeout=60)
        shutil.rmtree(WORK, ignore_errors=True)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
