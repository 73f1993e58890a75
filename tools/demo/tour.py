#!/usr/bin/python3
"""The headless demo's tour of a running player in a sandbox.

    tour.py --sandbox DIR --image STICK.img --out DIR [--vdx PATH]

Drives the player only through the car's interfaces (the key controller's
script, the MCU simulator's control file, the stick, kill -9), waits for what
the MCU hears in the now-playing packets, and after each step asks the
player for a screenshot of its window, named after the step. Writes a line
per step to OUT/tour.txt. Standard library only.
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True


class Player:
    def __init__(self, sandbox, out, vdx, image):
        self.sb = sandbox
        self.out = out
        self.vdx = vdx
        self.image = image
        self.read = 0
        self.packets = []
        self.step_no = 0
        self.report = open(os.path.join(out, "tour.txt"), "w", encoding="utf-8")

    # ---------------------------------------------------------- observing
    def poll(self):
        path = os.path.join(self.sb, "var/log/mcu-transcript.jsonl")
        try:
            with open(path, "rb") as f:
                f.seek(self.read)
                data = f.read()
        except OSError:
            return
        end = data.rfind(b"\n")
        if end < 0:
            return
        self.read += end + 1
        for line in data[:end].split(b"\n"):
            try:
                rec = json.loads(line)
            except ValueError:
                continue
            np = rec.get("nowplaying")
            if np and np.get("ok"):
                np["time"] = rec["time"]
                self.packets.append(np)

    def latest(self):
        self.poll()
        return self.packets[-1] if self.packets else {}

    def wait(self, pred, timeout, since=None):
        """The first packet after `since` (default: now) that satisfies pred."""
        self.poll()
        start = len(self.packets) if since is None else 0
        t0 = time.monotonic()
        while time.monotonic() - t0 < timeout:
            self.poll()
            for p in self.packets[start:]:
                if (since is None or p["time"] > since) and pred(p):
                    return p
            start = len(self.packets) if since is None else 0
            time.sleep(0.2)
        return None

    def playing(self, timeout=60, other_than=None):
        return self.wait(lambda p: p["state"] == 2 and p["elapsed"] >= 1
                         and (other_than is None or p["title"] != other_than), timeout)

    def player_pid(self):
        try:
            with open(os.path.join(self.sb, "var/run/player.pid")) as f:
                pid = int(f.read().strip() or 0)
            os.kill(pid, 0)
            return pid
        except (OSError, ValueError):
            return 0

    # ---------------------------------------------------------- driving
    def keys(self, *lines):
        with open(os.path.join(self.sb, "var/run/keys.script"), "a") as f:
            for line in lines:
                f.write(line + "\n")

    def mcu(self, line):
        with open(os.path.join(self.sb, "var/run/mcu.ctl"), "a") as f:
            f.write(line + "\n")

    def usb(self, *args):
        subprocess.run([self.vdx, "usb", *args, "--sandbox", self.sb], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def shot(self, name, settle=1.0):
        """Screenshot of the player's window as OUT/NN-name.png."""
        time.sleep(settle)
        self.step_no += 1
        full = "%02d-%s" % (self.step_no, name)
        src = os.path.join(self.sb, "var/shots", full + ".png")
        with open(os.path.join(self.sb, "var/run/shots.ctl"), "a") as f:
            f.write(full + "\n")
        t0 = time.monotonic()
        while time.monotonic() - t0 < 10:
            if os.path.exists(src):
                time.sleep(0.2)
                shutil.copy(src, os.path.join(self.out, full + ".png"))
                break
            time.sleep(0.1)
        p = self.latest()
        line = "%-28s %s" % (full, "%s  %s/%ss  state %s  mode %s  %s" % (
            p.get("title", ""), p.get("elapsed", ""), p.get("total", ""), p.get("state", ""),
            p.get("playmode", ""), p.get("format", "")) if p else "(no packet yet)")
        self.report.write(line + "\n")
        self.report.flush()
        print("vdx demo: " + line, flush=True)


def tour(pl):
    time.sleep(2)
    pl.shot("boot-logo", settle=0)
    first = pl.playing(timeout=120)
    if not first:
        pl.shot("nothing-plays")
        return 1
    pl.shot("playing")

    pl.keys("knob 3")
    pl.shot("volume-up", settle=1.5)

    title = pl.latest()["title"]
    pl.keys("tap 1")
    p = pl.playing(timeout=30, other_than=title)
    pl.shot("next")

    pl.keys("tap 0")
    pl.playing(timeout=30, other_than=p["title"] if p else None)
    pl.shot("previous")

    pl.keys("long 1 ms=250 every=150")
    pl.wait(lambda q: q["state"] == 2 and q["elapsed"] >= 8, 20)
    pl.shot("seek-forward-8s")
    pl.keys("long 0 ms=250 every=150")
    pl.shot("seek-back-8s", settle=3)

    for mode, name in ((1, "repeat-song"), (2, "repeat-folder"), (3, "shuffle-folder"),
                       (4, "shuffle-all"), (0, "in-order")):
        pl.keys("long 2 ms=600")
        pl.wait(lambda q, m=mode: q["playmode"] == m, 20)
        pl.shot("mode-" + name)

    pl.keys("tap 2")
    pl.wait(lambda q: q["state"] == 3, 20)
    pl.shot("paused")
    pl.keys("tap 2")
    pl.playing(timeout=20)
    pl.shot("resumed")

    pl.keys("tap 6")
    pl.shot("muted", settle=1.5)
    pl.keys("tap 6")
    pl.keys("knob -5")
    pl.shot("volume-down", settle=1.5)

    # On to a Chinese title, a Korean title, a 24/192 file and the DSF.
    for name, want in (("chinese-title", lambda q: re.search("[\u4e00-\u9fff]", q["title"])),
                       ("korean-title", lambda q: re.search("[\uac00-\ud7af]", q["title"])),
                       ("hi-res-24-192", lambda q: "192kHz" in q["format"]),
                       ("dsd", lambda q: q["format"].startswith("DSF") or "MHz" in q["format"])):
        for _ in range(30):
            q = pl.latest()
            if q and q["state"] == 2 and want(q):
                break
            before = q.get("title") if q else None
            pl.keys("tap 1")
            pl.playing(timeout=15, other_than=before)
        pl.shot(name, settle=2)

    pl.usb("remove", "--port", "1")
    pl.shot("stick-pulled", settle=4)
    pulled = pl.latest().get("time", 0)
    pl.usb("insert", pl.image, "--port", "1")
    pl.wait(lambda q: q["state"] == 2 and q["elapsed"] >= 1, 90, since=pulled + 2)
    pl.shot("stick-back")

    pl.mcu("power off")
    pl.shot("power-off", settle=4)
    off = pl.latest().get("time", 0)
    pl.mcu("power on")
    pl.wait(lambda q: q["state"] == 2 and q["elapsed"] >= 1, 60, since=off + 1)
    pl.shot("power-on")

    before = pl.wait(lambda q: q["state"] == 2 and q["elapsed"] >= 5, 60) or pl.latest()
    pid = pl.player_pid()
    if pid:
        os.kill(pid, signal.SIGKILL)
        pl.report.write("kill -9 of the player at %s %ss\n" % (before.get("title"), before.get("elapsed")))
        after = pl.wait(lambda q: q["state"] == 2 and q["elapsed"] >= 1, 120, since=before.get("time", 0) + 1)
        if after:
            pl.report.write("resumed %s at %ss\n" % (after["title"], after["elapsed"]))
        pl.shot("resumed-after-kill")
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--sandbox", required=True, help="the running sandbox")
    ap.add_argument("--image", required=True, help="the demo stick's image (inserted in port 1)")
    ap.add_argument("--out", required=True, help="where the screenshots and tour.txt go")
    ap.add_argument("--vdx", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "vdx"))
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    return tour(Player(os.path.abspath(args.sandbox), args.out, args.vdx, args.image))


if __name__ == "__main__":
    sys.exit(main())
