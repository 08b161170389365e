#!/usr/bin/env python3
"""The whole system end to end: tessel-phone against the stand-in player with the component.

Natively the player makes a virtual serial cable; under Wine two COM ports of the prefix are
linked to a pair of pseudo-terminals that socat joins, so the Windows builds of the player, the
component and the phone talk over a real byte stream.

Usage: end_to_end.py --bin DIR [--wine WINE_RUN_SCRIPT]
"""

import argparse
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import wave

STARTUP_LIMIT = 60  # seconds; a first Wine start makes its prefix


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print(f"ok: {what}")


def make_wave(path, seconds, frequency=440):
    """A silent-enough PCM file; its length is what the player reports."""
    rate = 8000
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        frame = struct.pack("<h", 0)
        out.writeframes(frame * (rate * seconds))


def make_library(root):
    """Two MP3 files that lame tags with artist and title, and an untagged WAV file."""
    os.makedirs(os.path.join(root, "Aurora"))
    first = os.path.join(root, "Aurora", "01 Northern Lights.mp3")
    second = os.path.join(root, "Aurora", "02 Solstice.mp3")
    plain = os.path.join(root, "plain.wav")
    make_wave(plain, 20)
    for path, title, seconds in ((first, "Northern Lights", 30), (second, "Solstice", 25)):
        make_wave(path + ".wav", seconds)
        subprocess.run(["lame", "--quiet", "--tt", title, "--ta", "Aurora", path + ".wav", path],
                       check=True)
        os.remove(path + ".wav")
    return first, second, plain


class Line:
    """Two COM ports of a Wine prefix joined by socat through pseudo-terminals."""

    def __init__(self, prefix, names, work):
        self.links = [os.path.join(prefix, "dosdevices", name.lower()) for name in names]
        ends = [os.path.join(work, "end0"), os.path.join(work, "end1")]
        self.processes = [subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={ends[0]}", f"pty,raw,echo=0,link={ends[1]}"],
            stderr=subprocess.DEVNULL)]
        deadline = time.monotonic() + 10
        while not all(os.path.exists(end) for end in ends):
            if time.monotonic() > deadline:
                raise Failure("socat made no pseudo-terminals")
            time.sleep(0.1)
        for end, link in zip(ends, self.links):
            tty = os.path.realpath(end)
            # A session of its own holds the terminal, so that the Wine server never makes it
            # its controlling terminal and takes a hang-up for it.
            self.processes.append(subprocess.Popen(
                ["setsid", "sh", "-c", 'exec sleep 3600 <"$1"', "sh", tty]))
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(tty, link)

    def close(self):
        for link in self.links:
            if os.path.lexists(link):
                os.remove(link)
        for process in self.processes:
            process.kill()
            process.wait()


class System:
    def __init__(self, args, work):
        self.work = work
        self.wine = args.wine
        suffix = ".exe" if self.wine else ""
        self.player_program = os.path.join(args.bin, "corvina-standin" + suffix)
        self.phone_program = os.path.join(args.bin, "tessel-phone" + suffix)
        self.line = None
        self.log_path = os.path.join(work, "player.log")
        self.music = os.path.join(work, "music")
        self.first, self.second, self.plain = make_library(self.music)

    def command(self, program, *arguments):
        return ([self.wine, program] if self.wine else [program]) + list(arguments)

    def host_path(self, path):
        """A path as the player and the phone see it: Windows paths under Wine."""
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def start_player(self):
        arguments = ["--config", self.host_path(os.path.join(self.work, "settings.cfg")),
                     "--playlist", "Phone", "--load", self.host_path(self.music),
                     "--page-type", "1002=" + self.host_path(self.music),
                     "--page-click", "1005", "--watch-stdin", "--time-limit", "300",
                     "--remake-main-window", "3"]
        if self.wine:
            prefix = os.environ["WINEPREFIX"]
            os.makedirs(os.path.join(prefix, "dosdevices"), exist_ok=True)
            self.line = Line(prefix, ["COM31", "COM32"], self.work)
            arguments += ["--port", "COM31"]
            self.phone_port = "COM32"
        else:
            arguments += ["--virtual-port"]
        self.log = open(self.log_path, "w")
        self.player = subprocess.Popen(self.command(self.player_program, *arguments),
                                       stdin=subprocess.PIPE, stdout=self.log,
                                       stderr=subprocess.STDOUT)
        deadline = time.monotonic() + STARTUP_LIMIT
        while time.monotonic() < deadline:
            text = self.player_log()
            if not self.wine and "phone end " in text and not hasattr(self, "phone_port"):
                self.phone_port = text.split("phone end ", 1)[1].split(",", 1)[0]
            if "Activated" in text and hasattr(self, "phone_port"):
                return
            if self.player.poll() is not None or "Could not connect!" in text:
                break
            time.sleep(0.2)
        raise Failure("the component did not connect:\n" + self.player_log())

    def player_log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def phone(self, *commands):
        """Runs tessel-phone with --json; answers the decoded values, one per reply."""
        result = subprocess.run(
            self.command(self.phone_program, "--json", "--timeout", "5000", self.phone_port,
                         *commands),
            capture_output=True, text=True, encoding="utf-8", timeout=120)
        if result.returncode != 0:
            raise Failure(f"tessel-phone {' '.join(commands)} failed ({result.returncode}): "
                          f"{result.stdout}{result.stderr}")
        return [json.loads(line).get("value") for line in result.stdout.splitlines() if line]

    def stop_player(self):
        self.player.stdin.close()
        code = self.player.wait(timeout=60)
        self.log.close()
        return code

    def close(self):
        if self.player.poll() is None:
            self.player.kill()
            self.player.wait()
        if self.line:
            self.line.close()


def run(system):
    system.start_player()
    check(system.phone("check")[0] is not None, "CHCK answers")

    # The player changes its user interface: its main window goes and a new one comes. The
    # link's window is not the main window's, and every command after it still works.
    deadline = time.monotonic() + 30
    while "standin: main window made again" not in system.player_log():
        if time.monotonic() > deadline:
            raise Failure("the player did not make its main window again")
        time.sleep(0.2)
    remade = [line for line in system.player_log().splitlines() if "made again" in line][0]
    if system.wine:
        check(remade.endswith("message-only windows of the main thread: 1"),
              f"the link's window is message-only ({remade})")
    check(system.phone("check")[0] is not None, "CHCK answers after the main window was remade")

    system.phone("play", system.host_path(system.plain))
    time.sleep(1.5)
    status = system.phone("info")[0]
    check(status["playing"], "a file sent with PLAY plays")
    check(status["title"] == "plain.wav" and status["length"] == 20,
          f"INFO names the played file and its length ({status['title']}, {status['length']})")
    time.sleep(2.2)
    later = system.phone("info")[0]
    check(later["position"] > status["position"],
          f"the position advances ({status['position']} -> {later['position']})")

    # Paused, the position holds still between the phone's commands.
    system.phone("pause")
    sought = system.phone("seek", "12", "info")[-1]
    check(sought["paused"] and sought["position"] == 12,
          f"SEEK moves to 12 s ({sought['position']})")
    forward = system.phone("forward", "info")[-1]
    check(forward["position"] == 17, f"FFWD moves 5 s on ({forward['position']})")
    back = system.phone("rewind", "rewind", "info")[-1]
    check(back["position"] == 7, f"RWND moves 5 s back, twice ({back['position']})")
    system.phone("pause")

    volume = system.phone("volume", "128", "gvol")[-1]
    check(volume["level"] == 127, f"volume 128 reads back as 127 ({volume})")

    shuffled = system.phone("shuffle", "on", "info")[-1]
    check(shuffled["shuffle"] and not shuffled["repeat"], "INFO shows shuffle on")
    repeated = system.phone("repeat", "on", "info")[-1]
    check(repeated["repeat"] and not repeated["shuffle"], "INFO shows repeat on")
    system.phone("repeat", "off")

    playlist = system.phone("plst")[0]
    titles = [entry if isinstance(entry, str) else entry.get("title", "")
              for entry in playlist.get("titles", [])]
    expected = ["Aurora - Northern Lights", "Aurora - Solstice"] + ["plain.wav"] * 2
    check(titles == expected, f"PLST uploads every title ({titles})")
    tagged = system.phone("select", "0", "info")[-1]
    check(tagged["title"] == "Aurora - Northern Lights" and tagged["length"] == 30,
          f"INFO formats a tagged file's title from its tags ({tagged['title']}, "
          f"{tagged['length']})")

    tree = json.dumps(system.phone("list")[0])
    check(all(name in tree for name in ("Aurora", "01 Northern Lights.mp3", "plain.wav")),
          "LIST sends the music folder's tree")
    folder = json.dumps(system.phone("dlst", system.host_path(os.path.join(system.music,
                                                                           "Aurora")))[0])
    check("02 Solstice.mp3" in folder and "plain.wav" not in folder,
          "DLST sends one subfolder")

    code = system.stop_player()
    log = system.player_log()
    check(code == 0, f"the player stops cleanly (exit status {code})")
    check("Deactivated\nTerminating\nDeactivated" in log.replace("\r\n", "\n"),
          "shut-down deactivates, terminates, deactivates")
    check(os.path.getsize(os.path.join(system.work, "settings.cfg")) > 0, "settings are saved")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--wine")
    args = parser.parse_args()
    if args.wine and not shutil.which("socat"):
        print("socat is not installed: skipped")
        return 77
    if not shutil.which("lame"):
        print("lame is not installed: skipped")
        return 77
    if args.wine:
        player = os.path.join(args.bin, "corvina-standin.exe")
        if subprocess.run([args.wine, "--check", player]).returncode == 77:
            return 77  # the reason is printed
    work = tempfile.mkdtemp(prefix="tessel-e2e-")
    system = System(args, work)
    try:
        run(system)
        print("end to end: all checks passed")
        return 0
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED: {failure}")
        print("--- player log\n" + system.player_log())
        return 1
    finally:
        system.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
