#!/usr/bin/python3
"""Simulated wired key controller at the far end of the player's "ttyS5".

    keys_sim.py --sandbox DIR [--script FILE] [--log FILE] [--idle-ms N]
    keys_sim.py --sandbox DIR --interactive     keyboard front-end for a running simulator
    keys_sim.py --sandbox DIR --send COMMAND... append one command to the script
    keys_sim.py --decode FILE|-                 decode the player's answer frames

The simulator owns a pseudo-terminal behind DIR/dev/ttyS5, sends key frames
(type 0xA1, 24 key bytes: 40 bytes a frame) as its script says, and records
every frame both ways, with the player's answers decoded, in
DIR/var/log/keys.log (JSON lines). The script (DIR/var/run/keys.script by
default) is followed while the simulator runs: append lines to it.

Script commands (K is a key index, 0..23):
    press K | hold K | release | key K STATE | keys K=STATE...
    tap K [ms=80]                  press, release after ms
    long K [ms=1200] [every=150]   press, held frames every `every` ms, release
    knob N                         N steps one way (N > 0) or the other (N < 0)
    rapid K N [gap=3]              N presses `gap` ms apart (closer than the player's
                                   10 ms burst gap), then a release
    raw HEX | garbage [n=N] | wait MS | quit
Key indexes: 0 previous, 1 next, 2 play/pause, 3 source, 4 knob press,
5 back, 6 mute, 7 knob turn, 8 power, 9/10 volume up/down.
"""

import argparse
import json
import os
import random
import select
import shlex
import sys
import termios
import time
import tty

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simlink as sl  # noqa: E402

TAG = 0xFA
KEY_BYTES = 24  # 16 + 24 = 40-byte frames, the player's read chunk
GAP = 0.02      # between frames, so that each arrives as a block of its own
KIND = {0x51: "Q", 0x52: "R", 0x53: "S", 0xA1: "keys"}


def key_frame(states):
    payload = bytearray(KEY_BYTES)
    for k, v in states.items():
        if 0 <= k < KEY_BYTES:
            payload[k] = v & 0xFF
    return sl.build_frame(TAG, 0xA1, 1, 0, 0, 0, 0, 0, 0, bytes(payload))


def knob_state(steps):
    n = min(abs(steps), 51)
    return n if steps > 0 else 128 + n


def decode_answer(f):
    rec = {"dir": "in", "kind": KIND.get(f["type"], "other"), "type": f["type"], "unit": f["unit"],
           "header": [f["preset"], f["group"], f["item"], f["slot"]], "len": f["len"],
           "payload": f["payload"].hex()}
    if f["len"] >= 3:
        rec["dimmer"] = f["payload"][0]
        rec["power_breakout"] = f["payload"][1]
        rec["hires"] = f["payload"][2]
    return rec


class Controller:
    def __init__(self, log):
        self.log = log
        self.actions = []  # (due, bytes, record)
        self.clock = 0.0   # when the next script command may start

    def frame_at(self, t, states, note):
        rec = {"dir": "out", "keys": {str(k): v for k, v in states.items() if v}, "note": note}
        self.actions.append((t, key_frame(states), rec))

    def command(self, line):
        """Queues the frames of one script line; returns False on quit."""
        words = shlex.split(line)
        if not words:
            return True
        cmd, rest = words[0], words[1:]
        pos, kv = sl.parse_args_kv(rest)
        n = sl.to_int
        now = time.monotonic()
        t = max(now, self.clock)
        if cmd == "quit":
            return False
        if cmd == "wait":
            self.clock = t + n(pos[0] if pos else 0) / 1000.0
            return True
        if cmd == "press":
            self.frame_at(t, {n(pos[0]): n(kv.get("state", 1))}, line)
        elif cmd == "hold":
            self.frame_at(t, {n(pos[0]): 2}, line)
        elif cmd == "release":
            self.frame_at(t, {}, line)
        elif cmd == "key":
            self.frame_at(t, {n(pos[0]): n(pos[1])}, line)
        elif cmd == "keys":
            self.frame_at(t, {n(k): n(v) for k, v in kv.items()}, line)
        elif cmd == "tap":
            k, ms = n(pos[0]), n(kv.get("ms", 80))
            self.frame_at(t, {k: 1}, line)
            t += max(ms / 1000.0, GAP)
            self.frame_at(t, {}, line)
        elif cmd == "long":
            k, ms, every = n(pos[0]), n(kv.get("ms", 1200)), max(n(kv.get("every", 150)), 20)
            self.frame_at(t, {k: 1}, line)
            elapsed = every
            while elapsed < ms:
                self.frame_at(t + elapsed / 1000.0, {k: 2}, line)
                elapsed += every
            t += ms / 1000.0
            self.frame_at(t, {}, line)
        elif cmd == "rapid":
            k, count, gap = n(pos[0]), n(pos[1] if len(pos) > 1 else 5), n(kv.get("gap", 3))
            for i in range(count):
                self.frame_at(t + i * gap / 1000.0, {k: 1}, line)
            t += count * gap / 1000.0
            self.frame_at(t, {}, line)
        elif cmd == "knob":
            self.frame_at(t, {7: knob_state(n(pos[0]))}, line)
            t += 0.03
            self.frame_at(t, {}, line)
        elif cmd == "raw":
            self.actions.append((t, bytes.fromhex("".join(pos)), {"dir": "out", "raw": "".join(pos)}))
        elif cmd == "garbage":
            data = bytes(random.randrange(256) for _ in range(n(kv.get("n", 16))))
            self.actions.append((t, data, {"dir": "out", "raw": data.hex()}))
        else:
            raise ValueError("unknown command %r" % cmd)
        self.clock = t + GAP
        return True


def gpio2(sandbox):
    try:
        with open(os.path.join(sandbox, "sys/class/gpio/gpio2/value"), "rb") as f:
            return f.read().rstrip(b"\0\n").decode("ascii", "replace")
    except OSError:
        return None


def serve(args):
    runner = sl.Runner(args.sandbox, "ttyS5", args.parent_pid)
    log = sl.JsonLog(args.log or os.path.join(runner.log_dir, "keys.log"), time.monotonic())
    script = sl.LineFollower(args.script or os.path.join(runner.run_dir, "keys.script"))
    ctl = Controller(log)
    pty = sl.Pty(runner.sandbox, "ttyS5")
    parser = sl.FrameParser(TAG)
    log.write({"event": "start", "pty": pty.path})
    runner.announce(pty.path)
    next_idle = time.monotonic() + args.idle_ms / 1000.0 if args.idle_ms > 0 else None
    try:
        while not runner.stop and not runner.parent_gone():
            now = time.monotonic()
            timeout = 0.05
            if ctl.actions:
                timeout = max(0.0, min(timeout, min(a[0] for a in ctl.actions) - now))
            try:
                ready, _, _ = select.select([pty.master], [], [], timeout)
            except InterruptedError:
                ready = []
            if ready:
                for ev in parser.feed(pty.read()):
                    if ev[0] == "frame":
                        rec = decode_answer(ev[1])
                        rec["gpio2"] = gpio2(runner.sandbox)
                        log.write(rec)
                    elif ev[0] == "bad":
                        log.write({"dir": "in", "bad": ev[1], "bytes": ev[2].hex()})
                    else:
                        log.write({"dir": "in", "noise": ev[1].hex()})
            for line in script.lines():
                try:
                    if not ctl.command(line):
                        runner.stop = True
                except (ValueError, IndexError) as e:
                    log.write({"event": "script error", "line": line, "error": str(e)})
            now = time.monotonic()
            if next_idle is not None and now >= next_idle and not ctl.actions:
                ctl.frame_at(now, {}, "idle")
                next_idle = now + args.idle_ms / 1000.0
            due = sorted((a for a in ctl.actions if a[0] <= now), key=lambda a: a[0])
            if due:
                ctl.actions = [a for a in ctl.actions if a[0] > now]
                for _, data, rec in due:
                    pty.write(data)
                    rec["hex"] = data.hex()
                    log.write(rec)
    finally:
        log.write({"event": "stop"})
        log.close()
        pty.close()
        runner.finish()


# ----------------------------------------------------------------- front-ends

INTERACTIVE_KEYS = {
    # typed key: (script command, label)
    "a": ("tap 0", "previous"), ",": ("tap 0", "previous"), "LEFT": ("tap 0", "previous"),
    "d": ("tap 1", "next"), ".": ("tap 1", "next"), "RIGHT": ("tap 1", "next"),
    " ": ("tap 2", "play/pause"),
    "s": ("tap 3", "source"),
    "\r": ("tap 4", "knob press"), "\n": ("tap 4", "knob press"), "k": ("tap 4", "knob press"),
    "b": ("tap 5", "back"), "\x7f": ("tap 5", "back"),
    "m": ("tap 6", "mute"),
    "w": ("knob 1", "knob +1"), "+": ("knob 1", "knob +1"), "UP": ("knob 1", "knob +1"),
    "x": ("knob -1", "knob -1"), "-": ("knob -1", "knob -1"), "DOWN": ("knob -1", "knob -1"),
    "o": ("tap 8", "power"),
    "A": ("long 0", "long previous"), "D": ("long 1", "long next"), "P": ("long 2", "long play/pause"),
    "S": ("long 3", "long source"), "K": ("long 4", "long knob press"), "B": ("long 5", "long back"),
}

HELP = """Key controller: a/LEFT previous  d/RIGHT next  SPACE play/pause  s source
  w/+/UP knob +1  x/-/DOWN knob -1  ENTER/k knob press  b/BACKSPACE back
  m mute  o power  A D P S K B: long press  h help  q quit"""


def append_script(path, line):
    with open(path, "a", encoding="utf-8") as f:
        f.write(line + "\n")


def interactive(args):
    path = args.script or os.path.join(os.path.abspath(args.sandbox), "var", "run", "keys.script")
    if not sys.stdin.isatty():
        print("keys_sim: --interactive needs a terminal", file=sys.stderr)
        return 2
    print(HELP, flush=True)
    fd = sys.stdin.fileno()
    saved = termios.tcgetattr(fd)
    tty.setcbreak(fd, termios.TCSANOW)
    try:
        while True:
            ready, _, _ = select.select([fd], [], [], 0.5)
            if not ready:
                continue
            ch = os.read(fd, 1).decode("latin-1")
            if ch == "\x1b":  # arrow keys: ESC [ A..D
                seq = ""
                while select.select([fd], [], [], 0.05)[0] and len(seq) < 2:
                    seq += os.read(fd, 1).decode("latin-1")
                ch = {"[A": "UP", "[B": "DOWN", "[C": "RIGHT", "[D": "LEFT"}.get(seq, "")
                if not seq:
                    break
            if ch in ("q", "\x03", "\x04"):
                break
            if ch in ("h", "?"):
                print(HELP, flush=True)
                continue
            if ch in INTERACTIVE_KEYS:
                cmd, label = INTERACTIVE_KEYS[ch]
                append_script(path, cmd)
                print("  -> " + label, flush=True)
    except KeyboardInterrupt:
        pass
    finally:
        termios.tcsetattr(fd, termios.TCSADRAIN, saved)
    return 0


def decode(path):
    data = sys.stdin.buffer.read() if path == "-" else open(path, "rb").read()
    for ev in sl.FrameParser(TAG).feed(data):
        if ev[0] == "frame":
            print(json.dumps(decode_answer(ev[1])))
        elif ev[0] == "bad":
            print(json.dumps({"bad": ev[1], "bytes": ev[2].hex()}))
        else:
            print(json.dumps({"noise": ev[1].hex()}))
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sandbox")
    ap.add_argument("--parent-pid", type=int, default=0, help="stop when this process ends")
    ap.add_argument("--script")
    ap.add_argument("--log")
    ap.add_argument("--idle-ms", type=int, default=0, help="send an all-released frame this often (0: never)")
    ap.add_argument("--interactive", action="store_true")
    ap.add_argument("--decode", metavar="FILE")
    ap.add_argument("--send", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    if args.decode:
        return decode(args.decode)
    if not args.sandbox:
        ap.error("--sandbox DIR is required")
    if args.interactive:
        return interactive(args)
    if args.send is not None:
        path = args.script or os.path.join(os.path.abspath(args.sandbox), "var", "run", "keys.script")
        append_script(path, " ".join(shlex.quote(w) for w in args.send))
        return 0
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
