"""Pieces shared by the serial peer simulators (standard library only).

The player's frames are parsed and built here independently of the
player's own code, so that each side checks the other. A frame, counted
from its first start tag:

    0..2 start tags (0x7C MCU link, 0xFA wired link)  3 mark 0xEE
    4 type  5 unit  6 preset  7 group  8 item  9 slot  10 target
    11 file return  12..13 payload length L (little-endian)
    14.. L payload  14+L XOR of bytes 4..13+L  15+L end tag 0xAA
"""

import json
import os
import signal
import termios
import time
import tty

MARK = 0xEE
END = 0xAA
MAX_PAYLOAD = 400
HEADER_FIELDS = ("type", "unit", "preset", "group", "item", "slot", "target", "fret")


def xor(data):
    x = 0
    for b in data:
        x ^= b
    return x


def build_frame(tag, ftype, unit=1, preset=0, group=0, item=0, slot=0, target=0, fret=0,
                payload=b"", bad_checksum=False, bad_end=False):
    body = bytes([ftype, unit, preset, group, item, slot, target, fret,
                  len(payload) & 0xFF, (len(payload) >> 8) & 0xFF]) + bytes(payload)
    csum = xor(body)
    if bad_checksum:
        csum ^= 0x5A
    return bytes([tag, tag, tag, MARK]) + body + bytes([csum, 0x55 if bad_end else END])


class FrameParser:
    """Splits a byte stream into frames. feed() returns events:
    ("frame", dict), ("bad", reason, raw bytes) and ("noise", bytes)."""

    def __init__(self, tag):
        self.tag = tag
        self.start = bytes([tag, tag, tag, MARK])
        self.buf = bytearray()

    def feed(self, data):
        self.buf += data
        events = []
        while True:
            i = self.buf.find(self.start)
            if i < 0:
                # Keep a tail that may be the beginning of a start sequence.
                keep = 0
                for n in (3, 2, 1):
                    if len(self.buf) >= n and all(b == self.tag for b in self.buf[-n:]):
                        keep = n
                        break
                if len(self.buf) > keep:
                    events.append(("noise", bytes(self.buf[:len(self.buf) - keep])))
                    del self.buf[:len(self.buf) - keep]
                return events
            # A run of four or more tags before the mark is no frame start
            # for the player; the frame still begins at the last three.
            if i > 0:
                events.append(("noise", bytes(self.buf[:i])))
                del self.buf[:i]
            if len(self.buf) < 14:
                return events
            length = self.buf[12] | (self.buf[13] << 8)
            if length > MAX_PAYLOAD:
                events.append(("bad", "length %d" % length, bytes(self.buf[:14])))
                del self.buf[:4]
                continue
            total = length + 16
            if len(self.buf) < total:
                return events
            raw = bytes(self.buf[:total])
            if raw[-1] != END:
                events.append(("bad", "end tag", raw))
                del self.buf[:4]
                continue
            if xor(raw[4:14 + length]) != raw[14 + length]:
                events.append(("bad", "checksum", raw))
                del self.buf[:4]
                continue
            del self.buf[:total]
            frame = dict(zip(HEADER_FIELDS, raw[4:12]))
            frame["len"] = length
            frame["payload"] = raw[14:14 + length]
            frame["raw"] = raw
            events.append(("frame", frame))


class Pty:
    """A pseudo-terminal whose slave stands behind DIR/dev/NAME."""

    def __init__(self, sandbox, name):
        self.master, self.slave = os.openpty()
        # Raw bytes both ways; TCSANOW, since the default flush would drop
        # input queued before the player's first open.
        tty.setraw(self.slave, termios.TCSANOW)
        self.path = os.ttyname(self.slave)
        self.link = os.path.join(sandbox, "dev", name)
        os.makedirs(os.path.dirname(self.link), exist_ok=True)
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(self.path, self.link)
        os.set_blocking(self.master, False)

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                n = os.write(self.master, view)
                view = view[n:]
            except BlockingIOError:
                time.sleep(0.001)

    def read(self):
        try:
            return os.read(self.master, 4096)
        except (BlockingIOError, OSError):
            return b""

    def close(self):
        try:
            if os.path.islink(self.link) and os.readlink(self.link) == self.path:
                os.unlink(self.link)
        except OSError:
            pass
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


class LineFollower:
    """Reads lines appended to a file (which may not exist yet)."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = b""

    def lines(self):
        if not self.path:
            return []
        try:
            size = os.path.getsize(self.path)
        except OSError:
            return []
        if size < self.offset:  # truncated: start again
            self.offset, self.partial = 0, b""
        if size == self.offset:
            return []
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        self.offset += len(data)
        data = self.partial + data
        parts = data.split(b"\n")
        self.partial = parts.pop()
        return [p.decode("utf-8", "replace").strip() for p in parts if p.strip()]


class JsonLog:
    def __init__(self, path, t0):
        self.t0 = t0
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.f = open(path, "a", encoding="utf-8")

    def write(self, record):
        now = time.monotonic()
        # "mono": the machine's monotonic clock, to compare with other logs.
        line = {"time": round(now - self.t0, 4), "mono": round(now, 6)}
        line.update(record)
        self.f.write(json.dumps(line, ensure_ascii=False) + "\n")
        self.f.flush()

    def close(self):
        self.f.close()


class Runner:
    """Sandbox plumbing: pid file, ready file, SIGTERM."""

    def __init__(self, sandbox, name, parent_pid=0):
        self.sandbox = os.path.abspath(sandbox)
        self.parent_pid = parent_pid
        self.name = name
        self.stop = False
        self.run_dir = os.path.join(self.sandbox, "var", "run")
        self.log_dir = os.path.join(self.sandbox, "var", "log")
        os.makedirs(self.run_dir, exist_ok=True)
        os.makedirs(self.log_dir, exist_ok=True)
        self.ready = os.path.join(self.run_dir, name + ".ready")
        self.pidfile = os.path.join(self.run_dir, name + "-sim.pid")
        signal.signal(signal.SIGTERM, self._on_term)
        signal.signal(signal.SIGINT, self._on_term)

    def _on_term(self, *_):
        self.stop = True

    def parent_gone(self):
        """True once the process named by --parent-pid has ended (a test
        that crashed leaves no simulator behind)."""
        if not self.parent_pid:
            return False
        try:
            os.kill(self.parent_pid, 0)
            return False
        except ProcessLookupError:
            return True
        except PermissionError:
            return False

    def announce(self, pty_path):
        with open(self.pidfile, "w") as f:
            f.write("%d\n" % os.getpid())
        tmp = self.ready + ".tmp"
        with open(tmp, "w") as f:
            f.write(pty_path + "\n")
        os.replace(tmp, self.ready)

    def finish(self):
        for p in (self.ready, self.pidfile):
            try:
                os.unlink(p)
            except OSError:
                pass


def parse_args_kv(words):
    """Splits ["a", "b=1"] into (["a"], {"b": "1"})."""
    pos, kv = [], {}
    for w in words:
        if "=" in w:
            k, v = w.split("=", 1)
            kv[k] = v
        else:
            pos.append(w)
    return pos, kv


def to_int(text, default=0):
    try:
        return int(str(text), 0)
    except (TypeError, ValueError):
        return default
