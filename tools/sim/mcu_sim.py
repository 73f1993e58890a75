#!/usr/bin/python3
"""Simulated MCU at the far end of the player's "ttyS4".

    mcu_sim.py --sandbox DIR [--control FILE] [--transcript FILE] [--version TEXT]
    mcu_sim.py --decode FILE|-        decode raw frames, one JSON line each
    mcu_sim.py --sandbox DIR --send COMMAND...   append a command to a running
                                                 simulator's control file

It owns a pseudo-terminal behind DIR/dev/ttyS4, answers every frame the
player sends (reads with "S" and the data it holds, writes with "Q"), keeps
what writes change, and logs every frame both ways to
DIR/var/log/mcu-transcript.jsonl. Commands appended to the control file
(DIR/var/run/mcu.ctl) change what it reports or inject faults; see
COMMANDS below. Standard library only; no code shared with the player.
"""

import argparse
import json
import os
import random
import select
import shlex
import struct
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simlink as sl  # noqa: E402

TAG = 0x7C
W_READ, W_WRITE = 0xA2, 0xA1
Q, R, S = 0x51, 0x52, 0x53
KIND = {W_WRITE: "write", W_READ: "read", Q: "Q", R: "R", S: "S"}
DEFAULT_VERSION = "MPQX-WV3.00"

COMMANDS = """\
source N | mix N | power on|off|factory | set BYTE VALUE | lamp I VALUE
ad A1 A2 [ms=T]                 steering-wheel AD readings (idle 200 200)
app connect|disconnect | app request KIND SLOT INDEX
app disks | app page DISK START | app select DISK SONG
                                what the phone app asks: the disk list, a page
                                of a disk's songs, to play a song (answers
                                decoded in the transcript: "applist")
app browse DISK [retry=MS]      page through a disk from song 0, each request
                                starting at the last answer's next index, until
                                the answer is "bad request" (retried after MS
                                while the lists are rebuilt)
bt [title=T] [artist=A] [album=B] [total=S] [pos=S] [play=0|1] [connected=0|1] | bt clear
bt connect|disconnect           a phone connected over Bluetooth (status byte 31 bit 0)
request play|pause|none         the car asks the player to play or pause (status byte 6)
cascade attach VERSION [model=N] [bridged=1] [nosub=1] | cascade detach
                                a cascaded unit answering target 10; its model
                                (from VERSION when known) sets its block layout
version TEXT                    version text answered to block 4
upgrade refuse block=B [at=K]   answer "R" to the K-th (default 1st) upgrade frame of
                                block B (54..59) from now on
upgrade silent [after=K]        stop answering after K more upgrade frames (until
                                "upgrade answer" or "reset")
upgrade answer                  answer again
silence [count=N] [ms=T]        answer nothing
refuse [count=N] [group=G] [item=I] [type=read|write] [target=T] [preset=P]
                                answer "R"
badsum [count=N] | badend [count=N]   corrupt the next answers
garbage [n=N] [hex=HEX] [next=1]      write noise now or before the next answer
split [count=N] [pieces=K] [gap=MS]   write answers in pieces
slow ms=T [count=N]             delay answers (count 0: until "slow ms=0")
reset (start-up state, faults cleared) | quit"""

# ----------------------------------------------------------------- data

SYS_SIZE, CAS_SIZE, PROG_SIZE = 136, 168, 5312
INPUT_BASE, INPUT_REC, INPUT_WHOLE = 296, 280, 288
OUTPUT_BASE, OUTPUT_REC = 576, 296

PRESET_NAMES = {
    0: "标准", 1: "标准", 2: "流行", 3: "摇滚", 4: "新闻节目", 5: "爵士", 6: "电子",
    7: "嘻哈", 8: "轻音乐", 9: "乡村", 10: "古典", 11: "自定义", 12: "记忆1", 13: "记忆2",
}
# Ten bands per factory curve, gain offsets in 0.1 dB (600 = 0 dB).
BAND_FREQS = [31, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000]
FACTORY_CURVES = {
    1: [0] * 10,
    2: [-10, 0, 20, 40, 50, 40, 20, 0, -10, -10],
    3: [50, 40, 20, -10, -20, -10, 20, 40, 50, 50],
    4: [-30, -20, 0, 20, 40, 40, 30, 10, -10, -20],
    5: [30, 20, 10, 20, -10, -10, 0, 10, 20, 30],
    6: [50, 40, 10, 0, -20, 20, 10, 20, 40, 50],
    7: [60, 50, 20, 30, -10, -10, 10, -10, 20, 30],
    8: [-10, 0, 10, 20, 20, 10, 0, -10, -20, -30],
    9: [20, 10, 0, -10, 0, 20, 30, 30, 20, 10],
    10: [40, 30, 20, 10, -10, -10, 0, 20, 30, 40],
}
Q_INDEX = 95  # about Q 1.4
TWO_WAY_MAP = [6, 12, 15, 18, 22, 23]
SERIAL = "VDX730-SIM-0001"


def u16(buf, off, v):
    buf[off] = v & 0xFF
    buf[off + 1] = (v >> 8) & 0xFF


def gbk_name(text, size=16):
    raw = text.encode("gbk")[:13]
    return raw + bytes(size - len(raw))


def default_system():
    s = bytearray(SYS_SIZE)
    s[0] = 5            # source: this player
    s[1] = 255          # no mix source
    s[2:8] = bytes([60] * 6)
    u16(s, 8, 12)
    s[10] = 1           # sound on (not muted)
    s[11] = 55
    s[13] = 100
    s[14] = 1
    s[16:22] = bytes(TWO_WAY_MAP)
    s[34] = 1
    s[35] = 2
    s[39] = 11
    s[40] = 1
    s[42] = 255
    s[45] = 1
    s[48:54] = bytes([255] * 6)
    s[59] = 255
    s[85] = 1
    serial = SERIAL.encode("ascii")
    s[96:96 + len(serial)] = serial
    return s


def crossover(ch_type):
    if ch_type in (22, 23, 24):
        return 20, 80
    if ch_type in (1, 7, 13, 16, 19):
        return 5000, 20000
    if ch_type in (3, 9, 14, 17, 20):
        return 20, 500
    return 80, 20000


def band_slot(buf, off, freq, gain):
    u16(buf, off, freq)
    u16(buf, off + 2, 600 + gain)
    u16(buf, off + 4, Q_INDEX)


def program(preset):
    p = bytearray(PROG_SIZE)
    p[0:16] = gbk_name(PRESET_NAMES.get(preset, "预设%d" % preset))
    curve = FACTORY_CURVES.get(preset, [0] * 10)
    for band in range(10):
        band_slot(p, INPUT_BASE + 8 * band, BAND_FREQS[band], curve[band])
    for slot in (10, 11):  # treble, bass
        u16(p, INPUT_BASE + 8 * slot + 2, 600)
    for ch in range(6):
        base = OUTPUT_BASE + OUTPUT_REC * ch
        for band in range(31):
            band_slot(p, base + 8 * band, BAND_FREQS[band % 10], 0)
        hp, lp = crossover(TWO_WAY_MAP[ch])
        s32 = base + 8 * 32
        u16(p, s32, hp)
        p[s32 + 2], p[s32 + 3] = 1, 3
        u16(p, s32 + 4, lp)
        p[s32 + 6], p[s32 + 7] = 1, 3
    s35 = OUTPUT_BASE + OUTPUT_REC * 5 + 8 * 35
    p[s35:s35 + 7] = bytes([15, 15, 0, 0, 10, 0, 1])
    return p


def decode_nowplaying(payload):
    """The now-playing payload of system block 121, field by field."""
    out = {}
    try:
        at = 0

        def take(n):
            nonlocal at
            if at + n > len(payload):
                raise ValueError("short payload at byte %d" % at)
            b = payload[at:at + n]
            at += n
            return b

        out["total"] = int.from_bytes(take(2), "big")
        out["elapsed"] = int.from_bytes(take(2), "big")
        for name in ("title", "artist", "album"):
            n = take(1)[0]
            out[name] = take(n).decode("utf-8", "replace")
            out[name + "_bytes"] = n
        fplus1 = take(1)[0]
        if fplus1 < 1:
            raise ValueError("format length byte 0")
        out["format"] = take(fplus1 - 1).decode("utf-8", "replace")
        out["hires"] = take(1)[0]
        out["playmode"] = take(1)[0]
        out["state"] = take(1)[0]
        out["folder"] = take(1)[0]
        out["index"] = int.from_bytes(take(2), "big")
        if at != len(payload):
            raise ValueError("%d bytes left over" % (len(payload) - at))
        out["ok"] = True
    except ValueError as e:
        out["ok"] = False
        out["error"] = str(e)
    return out


def frame_record(direction, frame, **extra):
    rec = {"dir": direction, "kind": KIND.get(frame["type"], "other")}
    for k in sl.HEADER_FIELDS:
        rec[k] = frame[k]
    rec["len"] = frame["len"]
    rec["payload"] = frame["payload"].hex()
    rec.update(extra)
    return rec


# File-return codes of the phone app's answers.
FILE_RETURN = {0x53: "ok", 97: "no disk", 98: "rescanning", 99: "lists changed", 103: "bad request",
               104: "not ready", 0x59: "playing", 0x66: "play failed"}


def split_name(payload, at):
    """The text from at up to the next separator (0A 0D or 0D 0A) or the end."""
    end = at
    while end < len(payload):
        if end + 1 < len(payload) and payload[end:end + 2] in (b"\n\r", b"\r\n"):
            break
        end += 1
    return payload[at:end].decode("utf-8", "replace"), end


def decode_disklist(payload):
    """The disk list: count, then per disk its index, slot and state bytes, its
    size (8-byte little-endian double), "USBn" and its name; 0D 0A between."""
    out = {"disks": []}
    try:
        count, at = payload[0], 1
        for i in range(count):
            if i > 0:
                if payload[at:at + 2] != b"\r\n":
                    raise ValueError("no separator before disk %d" % i)
                at += 2
            if at + 15 > len(payload):
                raise ValueError("disk %d short" % i)
            d = {"index": payload[at], "slot": payload[at + 1], "state": payload[at + 2],
                 "size": struct.unpack("<d", payload[at + 3:at + 11])[0],
                 "display": payload[at + 11:at + 15].decode("latin-1")}
            d["name"], at = split_name(payload, at + 15)
            out["disks"].append(d)
        if at != len(payload):
            raise ValueError("%d bytes left over" % (len(payload) - at))
        out["ok"] = True
    except (ValueError, IndexError, struct.error) as e:
        out["ok"] = False
        out["error"] = str(e)
    return out


def decode_page(payload):
    """A music list page: the next index (16-bit little-endian), the number
    of folder blocks, then each block (0D 0A between): its song count, the
    folder name, 0A 0D, its songs (0A 0D between): index (16-bit LE) and name."""
    out = {"folders": []}
    try:
        out["next"] = payload[0] | payload[1] << 8
        blocks, at = payload[2], 3
        for b in range(blocks):
            if b > 0:
                if payload[at:at + 2] != b"\r\n":
                    raise ValueError("no separator before folder %d" % b)
                at += 2
            count = payload[at]
            name, at = split_name(payload, at + 1)
            if payload[at:at + 2] != b"\n\r":
                raise ValueError("folder %d: no separator after its name" % b)
            at += 2
            songs = []
            for i in range(count):
                if i > 0:
                    if payload[at:at + 2] != b"\n\r":
                        raise ValueError("folder %d: no separator before song %d" % (b, i))
                    at += 2
                if at + 2 > len(payload):
                    raise ValueError("folder %d: song %d missing" % (b, i))
                index = payload[at] | payload[at + 1] << 8
                title, at = split_name(payload, at + 2)
                songs.append([index, title])
            out["folders"].append({"name": name, "songs": songs})
        if at != len(payload):
            raise ValueError("%d bytes left over" % (len(payload) - at))
        out["ok"] = True
    except (ValueError, IndexError) as e:
        out["ok"] = False
        out["error"] = str(e)
    return out


def decode_applist(frame):
    """The phone app's answer in a group 10 write from the player."""
    out = {"kind": {1: "disks", 2: "page", 3: "play status", 16: "usb link"}.get(frame["slot"], "other"),
           "fret": frame["fret"], "result": FILE_RETURN.get(frame["fret"], "unknown")}
    payload = frame["payload"]
    if frame["item"] == 16:
        out["kind"] = "usb link"
        out["link"] = list(payload[:3])
    elif frame["fret"] == 0x53 and frame["slot"] == 1:
        out.update(decode_disklist(payload))
    elif frame["fret"] == 0x53 and frame["slot"] == 2:
        out.update(decode_page(payload))
    return out


def describe_write(frame):
    """Decoded extras for the transcript line of a frame from the player."""
    extra = {}
    if frame["type"] == W_WRITE and frame["group"] == 9:
        if frame["item"] == 121:
            extra["nowplaying"] = decode_nowplaying(frame["payload"])
        elif frame["item"] == 0:
            extra["name"] = frame["payload"][:15].split(b"\0")[0].decode("gbk", "replace")
    elif frame["type"] == W_WRITE and frame["group"] == 10:
        extra["applist"] = decode_applist(frame)
    return extra


# ----------------------------------------------------------------- model

# Model numbers of the cascaded units the player knows, by the first seven
# characters of their version text (the unit itself knows its model).
CASCADE_MODELS = {
    "CDU-B40": 0, "CDU-M16": 1, "CDU-M8A": 2, "CDU-X16": 3, "CDU-S48": 4, "CDU-P66": 5,
    "CDU-P68": 6, "CDU-A02": 7, "CDU-S88": 8, "CDU-Q10": 9, "CDU-Q12": 10, "CDU-BR2": 11,
    "CDU-Q16": 12, "CDU-B41": 0, "CDU-M18": 1, "CDU-S49": 4, "CDU-P69": 6, "CDU-Q11": 10,
    "CDU-BR3": 11, "CDU-X18": 3,
}


class Cascade:
    """A cascaded DSP unit. Its record is 168 bytes; which bytes a block
    carries depends on the model."""

    def __init__(self, version, bridged, model=None, nosub=False):
        self.version = version
        self.bridged = bridged
        self.model = CASCADE_MODELS.get(version[:7], 0) if model is None else model
        self.record = bytearray(CAS_SIZE)
        self.record[0], self.record[1] = 1, 255
        u16(self.record, 8, 27)
        # Output channel types (bytes 48..63): a model-3 unit has its
        # subwoofers on channels 6 and 7.
        for ch in range(16):
            self.record[48 + ch] = 6 + ch % 4
        if self.model == 3 and not nosub:
            self.record[48 + 6], self.record[48 + 7] = 22, 23
        for i in range(8):
            self.record[128 + i] = 0x40 + i    # block 24 / model 5, 6 block 7 area
            self.record[160 + i] = 0x60 + i    # subwoofer block 9
        u16(self.record, 164, 480)             # block 25: subwoofer level value
        self.names = [gbk_name("CAS-%d" % i) for i in range(16)]
        self.image = program(1)
        for ch in range(16):
            u16(self.image, OUTPUT_BASE + OUTPUT_REC * ch + 8 * 31 + 2, 200 + ch)

    def block(self, item):
        """(offset, size) of a system block in the record, or None."""
        if item == 7:
            return (128, 40) if self.model in (5, 6) else (0, 80)
        return {2: (0, 8), 5: (8, 8), 9: (160, 8), 24: (128, 40), 25: (164, 2)}.get(item)

    def status(self):
        p = bytearray(64)
        p[0], p[1] = self.record[0], self.record[1]
        p[8], p[9] = self.record[8], self.record[9]
        p[14] = self.record[0]
        p[51] = self.record[0]
        if self.bridged:
            p[17], p[18] = 1, 1
        return bytes(p)


DSP_PART = 0x3FFFF  # DSP bytes a "WDSP" file carries
DSP_CHUNK, MCU_CHUNK = 44, 48


class Upgrade:
    """The receiving side of a firmware upgrade: the raw handshake, blocks 54
    (enter), 58 (DSP phase), 59 (address + 44 DSP bytes; the last one 35 bytes
    from offset 0), 55 (first 4 MCU bytes), 56 (48 MCU bytes, the last one
    padded with 0xFF) and 57 (checksum byte). Records what arrived in
    DIR/var/upgrade/{dsp,mcu}.bin when block 57 comes."""

    def __init__(self, out_dir, log):
        self.out_dir = out_dir
        self.log = log
        self.refusals = []      # [block, frames of that block still to pass]
        self.silent_after = -1  # upgrade frames still answered; -1 always
        self.silent = False
        self.start()

    def start(self):
        self.dsp = bytearray()
        self.mcu = bytearray()
        self.phase = None
        self.frames = 0

    def handshake(self):
        self.start()
        self.phase = "handshake"
        self.log.write({"event": "upgrade handshake"})

    def answer(self, f):
        """(type, payload) for an upgrade block, or None for no answer."""
        item, data = f["item"], f["payload"]
        if self.silent:
            return None
        if self.silent_after == 0:
            self.silent = True
            self.silent_after = -1
            self.log.write({"event": "upgrade silent"})
            return None
        if self.silent_after > 0:
            self.silent_after -= 1
        for rule in self.refusals:
            if rule[0] == item:
                rule[1] -= 1
                if rule[1] <= 0:
                    self.refusals.remove(rule)
                    self.log.write({"event": "upgrade refused", "block": item})
                    return R, b""
                break
        self.frames += 1
        if item == 54:
            self.phase = "enter"
        elif item == 58:
            self.phase = "dsp"
        elif item == 59:
            if len(self.dsp) + DSP_CHUNK < DSP_PART:
                address = int.from_bytes(data[0:4], "little")
                if address != len(self.dsp):  # a gap or a repeat: the image would be wrong
                    self.log.write({"event": "upgrade bad address", "address": address, "expected": len(self.dsp)})
                    return R, b""
                self.dsp += data[4:4 + DSP_CHUNK]
            else:
                self.dsp += data[:DSP_PART - len(self.dsp)]
        elif item == 55:
            self.phase = "mcu"
            self.mcu = bytearray(data[:4])
        elif item == 56:
            self.mcu += data[:MCU_CHUNK]
        elif item == 57:
            return self.finish(data[0] if data else 0)
        return Q, b""

    def checksum_ok(self, value):
        """Whether some length of the MCU image (the padding being 0xFF) gives
        the checksum byte: 0x12 XOR every byte from index 5 on."""
        img = self.mcu
        for length in range(len(img), max(4, len(img) - MCU_CHUNK) - 1, -1):
            if any(b != 0xFF for b in img[length:]):
                break
            x = 0x12
            for b in img[5:length]:
                x ^= b
            if x == value:
                return True
        return False

    def finish(self, value):
        os.makedirs(self.out_dir, exist_ok=True)
        rec = {"event": "upgrade done", "dsp": len(self.dsp), "mcu": len(self.mcu), "checksum": value}
        if self.mcu:
            ok = self.checksum_ok(value)
            rec["checksum ok"] = ok
            if not ok:
                self.log.write(rec)
                return R, b""
            with open(os.path.join(self.out_dir, "mcu.bin"), "wb") as out:
                out.write(self.mcu)
        if self.dsp:
            with open(os.path.join(self.out_dir, "dsp.bin"), "wb") as out:
                out.write(self.dsp)
        self.log.write(rec)
        self.phase = "done"
        return Q, b""

    def command(self, pos, kv):
        n = sl.to_int
        if pos[0] == "refuse":
            self.refusals.append([n(kv["block"]), max(1, n(kv.get("at", 1)))])
        elif pos[0] == "silent":
            self.silent_after = max(0, n(kv.get("after", 0)))
        elif pos[0] == "answer":
            self.silent, self.silent_after = False, -1
        else:
            raise ValueError("upgrade: refuse, silent or answer")


class Mcu:
    def __init__(self, version, upgrade=None):
        self.version = version
        self.upgrade = upgrade
        self.reset()
        self.cascade = None
        self.lamps = bytearray(16)
        self.ad = [200, 200]
        self.ad_revert = 0.0
        self.power_field = 0
        self.app_state = 0
        self.app_request = None  # [kind, slot, index, polls left]
        self.browse = None       # {"disk", "retry", "due"}: paging through a disk
        self.play_request = 0    # the car asks the player: 1 play, 2 pause
        self.bt = {"title": "", "artist": "", "album": "", "total": 0, "pos": 0, "play": 0, "connected": 0}
        self.bt_since = time.monotonic()
        # Faults.
        self.silence_count = 0
        self.silence_until = 0.0
        self.refusals = []  # dicts: count, group, item, type
        self.badsum = 0
        self.badend = 0
        self.garbage_next = b""
        self.split = None  # [count, pieces, gap]
        self.slow_ms = 0
        self.slow_count = 0

    def reset(self):
        self.sys = default_system()
        self.programs = [program(p) for p in range(14)]
        self.programs[0] = program(1)
        self.programs[0][0:16] = gbk_name(PRESET_NAMES[0])
        self.block128 = bytes(24)
        self.usb_link = bytes(3)

    # Blocks of the system record: block -> (offset, size).
    SYS_BLOCKS = {2: (0, 8), 5: (8, 8), 6: (16, 8), 7: (24, 8), 52: (24, 8), 8: (32, 8),
                  9: (40, 8), 120: (56, 8), 122: (48, 8), 18: (88, 48)}

    def bt_position(self):
        pos = self.bt["pos"]
        if self.bt["play"]:
            pos += int(time.monotonic() - self.bt_since)
        return pos

    def status(self):
        if self.ad_revert and time.monotonic() >= self.ad_revert:
            self.ad, self.ad_revert = [200, 200], 0.0
        p = bytearray(32)
        p[0:16] = self.lamps
        p[0] = self.sys[0]
        p[1] = self.sys[1]
        p[2] = self.power_field
        p[5] = self.app_state
        p[6] = self.play_request
        p[8] = self.sys[35]
        p[9] = self.sys[8]    # main gain
        p[10] = self.sys[10]  # sound on
        p[18], p[19] = self.ad
        self.poll_browse()
        if self.app_request:
            kind, slot, index, _ = self.app_request
            if kind == 2 and self.browse is not None:
                self.browse["start"] = index
            p[21] = ((kind & 0x0F) << 4) | (slot & 0x0F)
            p[22], p[23] = index & 0xFF, (index >> 8) & 0xFF
            self.app_request[3] -= 1
            if self.app_request[3] <= 0:
                self.app_request = None
        if self.bt["connected"]:
            p[4] = 1 if self.bt["play"] else 2
            p[31] |= 1
        bt = self.sys[0] == 2 and (self.bt["title"] or self.bt["total"])
        p[24] = 1 if bt else 0
        if bt:
            p += self.bt["total"].to_bytes(2, "big") + self.bt_position().to_bytes(2, "big")
            for name in ("title", "artist", "album"):
                raw = self.bt[name].encode("latin-1", "replace")[:60]
                p += bytes([len(raw)]) + raw
        return bytes(p)

    def browse_answer(self, f):
        """Asks for the next page of a disk being paged through."""
        if f["fret"] == 0x53:
            page = decode_page(f["payload"])
            if page.get("ok"):
                self.app_request = [2, self.browse["disk"], page["next"], 5]
                return
        if f["fret"] in (98, 99, 104):
            self.browse["due"] = time.monotonic() + self.browse["retry"] / 1000.0
            return
        self.browse = None  # 103: past the last song (or no such disk)

    def poll_browse(self):
        if self.browse and self.browse.get("due") and time.monotonic() >= self.browse["due"]:
            self.browse["due"] = 0
            self.app_request = [2, self.browse["disk"], self.browse["start"], 5]

    def refused(self, frame):
        for rule in self.refusals:
            if "group" in rule and rule["group"] != frame["group"]:
                continue
            if "item" in rule and rule["item"] != frame["item"]:
                continue
            if "type" in rule and rule["type"] != frame["type"]:
                continue
            if "target" in rule and rule["target"] != frame["target"]:
                continue
            if "preset" in rule and rule["preset"] != frame["preset"]:
                continue
            rule["count"] -= 1
            if rule["count"] <= 0:
                self.refusals.remove(rule)
            return True
        return False

    def answer(self, frame):
        """(type, payload) answering a frame, or None for no answer."""
        now = time.monotonic()
        if now < self.silence_until:
            return None
        if self.silence_count > 0:
            self.silence_count -= 1
            return None
        if (self.upgrade and frame["type"] == W_WRITE and frame["group"] == 9 and 54 <= frame["item"] <= 59
                and frame["target"] != 10):
            return self.upgrade.answer(frame)
        if self.refused(frame):
            return R, b""
        if frame["target"] == 10 or frame["unit"] == 2:
            return self.answer_cascade(frame)
        if frame["unit"] != 1:
            return R, b""
        if frame["type"] == W_READ:
            return self.read(frame)
        if frame["type"] == W_WRITE:
            return self.write(frame)
        return R, b""

    def image(self, preset):
        return self.programs[preset] if 0 <= preset < len(self.programs) else None

    def read(self, f):
        g, item, slot, preset = f["group"], f["item"], f["slot"], f["preset"]
        if g == 9:
            if item == 4:
                return S, self.version.encode("ascii", "replace")[:11].ljust(11, b" ")
            if item == 3:
                return S, self.status()
            if item == 0:
                img = self.image(preset)
                return (S, bytes(img[0:16])) if img else (R, b"")
            if item in self.SYS_BLOCKS:
                off, size = self.SYS_BLOCKS[item]
                return S, bytes(self.sys[off:off + size])
            return R, b""
        img = self.image(preset)
        if img is None:
            return R, b""
        if g == 3 and item == 0:
            base = INPUT_BASE
            return S, bytes(img[base:base + INPUT_WHOLE] if slot == 119 else img[base + 8 * slot:base + 8 * slot + 8])
        if g == 4 and 0 <= item < 16:
            base = OUTPUT_BASE + OUTPUT_REC * item
            return S, bytes(img[base:base + OUTPUT_REC] if slot == 119 else img[base + 8 * slot:base + 8 * slot + 8])
        return R, b""

    def write(self, f):
        g, item, slot, preset, data = f["group"], f["item"], f["slot"], f["preset"], f["payload"]
        if g == 9:
            if item == 0:
                img = self.image(preset)
                if img is None:
                    return R, b""
                img[0:13] = data[:13].ljust(13, b"\0")
                img[13:15] = bytes(2)
            elif item in (2, 5, 6, 8, 9, 52, 120, 122):
                off, size = self.SYS_BLOCKS[item]
                self.sys[off:off + size] = data[:size].ljust(size, b"\0")
            elif item == 96:
                self.reset()
            elif item == 128:
                self.block128 = bytes(data[:24])
            # 121 now playing, 63 DSP restart, 54..59 upgrade: accepted as they are.
            return Q, b""
        if g == 10:
            if item == 16:
                self.usb_link = bytes(data[:3])
            elif self.app_request and self.app_request[0] == slot:
                self.app_request = None
                if slot == 2 and self.browse is not None:
                    self.browse_answer(f)
            return Q, b""
        img = self.image(preset)
        if img is None:
            return R, b""
        if g == 3 and item == 0:
            if f["len"] == INPUT_WHOLE:
                img[INPUT_BASE:INPUT_BASE + INPUT_WHOLE] = data
            elif slot <= 35:
                img[INPUT_BASE + 8 * slot:INPUT_BASE + 8 * slot + 8] = data[:8].ljust(8, b"\0")
            return Q, b""
        if g == 4 and 0 <= item < 16:
            base = OUTPUT_BASE + OUTPUT_REC * item
            if f["len"] == OUTPUT_REC:
                img[base:base + OUTPUT_REC] = data
            elif slot <= 36:
                img[base + 8 * slot:base + 8 * slot + 8] = data[:8].ljust(8, b"\0")
            return Q, b""
        return R, b""

    def answer_cascade(self, f):
        c = self.cascade
        if c is None or (f["unit"] == 2 and not c.bridged):
            return R, b""
        g, item = f["group"], f["item"]
        if f["type"] == W_READ:
            if g == 9 and item == 4:
                return S, c.version.encode("ascii", "replace")[:11].ljust(11, b" ")
            if g == 9 and item == 3:
                return S, c.status()
            if g == 9 and item == 0:
                return (S, c.names[f["preset"]]) if f["preset"] < 16 else (R, b"")
            if g == 9 and c.block(item):
                off, size = c.block(item)
                return S, bytes(c.record[off:off + size])
            if g == 4 and item < 16:
                base = OUTPUT_BASE + OUTPUT_REC * item
                s = f["slot"]
                return S, bytes(c.image[base:base + OUTPUT_REC] if s == 119 else c.image[base + 8 * s:base + 8 * s + 8])
            return R, b""
        if f["type"] == W_WRITE:
            data = f["payload"]
            if g == 9 and item == 0 and f["preset"] < 16:
                c.names[f["preset"]] = data[:15].ljust(16, b"\0")
            elif g == 9 and c.block(item):
                off, size = c.block(item)
                c.record[off:off + size] = data[:size].ljust(size, b"\0")
            elif g == 4 and item < 16:
                base = OUTPUT_BASE + OUTPUT_REC * item
                s = f["slot"]
                if f["len"] == OUTPUT_REC:
                    c.image[base:base + OUTPUT_REC] = data
                elif s <= 36:
                    c.image[base + 8 * s:base + 8 * s + 8] = data[:8].ljust(8, b"\0")
            return Q, b""
        return R, b""

    # ------------------------------------------------------------ control

    def command(self, line):
        """Applies one control line; returns (quit?, immediate bytes to write)."""
        words = shlex.split(line)
        if not words:
            return False, b""
        cmd, rest = words[0], words[1:]
        pos, kv = sl.parse_args_kv(rest)
        n = sl.to_int
        if cmd == "quit":
            return True, b""
        if cmd == "source":
            self.sys[0] = n(pos[0]) & 0xFF
        elif cmd == "mix":
            self.sys[1] = n(pos[0]) & 0xFF
        elif cmd == "power":
            mode = pos[0] if pos else "on"
            self.power_field = {"on": 0, "off": 1, "factory": 2}.get(mode, 0)
            if mode in ("on", "off"):
                self.sys[40] = 1 if mode == "on" else 0
        elif cmd == "set":
            self.sys[n(pos[0])] = n(pos[1]) & 0xFF
        elif cmd == "lamp":
            self.lamps[n(pos[0])] = n(pos[1]) & 0xFF
        elif cmd == "ad":
            self.ad = [n(pos[0], 200) & 0xFF, n(pos[1], 200) & 0xFF]
            ms = n(kv.get("ms", 0))
            self.ad_revert = time.monotonic() + ms / 1000.0 if ms > 0 else 0.0
        elif cmd == "app":
            if pos and pos[0] == "connect":
                self.app_state = 3
            elif pos and pos[0] == "disconnect":
                self.app_state = 0
            elif pos and pos[0] == "request":
                self.app_request = [n(pos[1]), n(pos[2]), n(pos[3]) if len(pos) > 3 else 0, 5]
            elif pos and pos[0] == "disks":
                self.app_request = [1, 0, 0, 5]
            elif pos and pos[0] == "page":
                self.app_request = [2, n(pos[1]), n(pos[2]), 5]
            elif pos and pos[0] == "select":
                self.app_request = [3, n(pos[1]), n(pos[2]), 5]
            elif pos and pos[0] == "browse":
                self.browse = {"disk": n(pos[1]), "retry": n(kv.get("retry", 1000)), "due": 0, "start": 0}
                self.app_request = [2, n(pos[1]), 0, 5]
            else:
                raise ValueError("app: connect, disconnect, request, disks, page, select or browse")
        elif cmd == "bt":
            if pos and pos[0] == "clear":
                self.bt.update({"title": "", "artist": "", "album": "", "total": 0, "pos": 0, "play": 0})
            elif pos and pos[0] in ("connect", "disconnect"):
                self.bt["connected"] = 1 if pos[0] == "connect" else 0
            else:
                self.bt["pos"] = self.bt_position()
                for k in ("title", "artist", "album"):
                    if k in kv:
                        self.bt[k] = kv[k]
                for k in ("total", "pos", "play", "connected"):
                    if k in kv:
                        self.bt[k] = n(kv[k])
            self.bt_since = time.monotonic()
        elif cmd == "cascade":
            if pos and pos[0] == "attach":
                self.cascade = Cascade(pos[1] if len(pos) > 1 else "", kv.get("bridged") == "1",
                                       n(kv["model"]) if "model" in kv else None, kv.get("nosub") == "1")
            else:
                self.cascade = None
        elif cmd == "request":
            self.play_request = {"play": 1, "pause": 2}.get(pos[0] if pos else "", 0)
        elif cmd == "version":
            self.version = pos[0] if pos else ""
        elif cmd == "upgrade":
            if self.upgrade is None or not pos:
                raise ValueError("upgrade: refuse, silent or answer")
            self.upgrade.command(pos, kv)
        elif cmd == "reset":  # everything back to the start-up state
            upgrade = self.upgrade
            if upgrade:
                upgrade.__dict__.update(Upgrade(upgrade.out_dir, upgrade.log).__dict__)
            self.__dict__.update(Mcu(self.version, upgrade).__dict__)
        elif cmd == "silence":
            ms = n(kv.get("ms", 0))
            if ms:
                self.silence_until = time.monotonic() + ms / 1000.0
            else:
                self.silence_count = n(kv.get("count", 1))
        elif cmd == "refuse":
            rule = {"count": n(kv.get("count", 1))}
            if "group" in kv:
                rule["group"] = n(kv["group"])
            if "item" in kv:
                rule["item"] = n(kv["item"])
            if "type" in kv:
                rule["type"] = W_READ if kv["type"] == "read" else W_WRITE
            for k in ("target", "preset"):
                if k in kv:
                    rule[k] = n(kv[k])
            self.refusals.append(rule)
        elif cmd == "badsum":
            self.badsum = n(kv.get("count", 1))
        elif cmd == "badend":
            self.badend = n(kv.get("count", 1))
        elif cmd == "garbage":
            data = bytes.fromhex(kv["hex"]) if "hex" in kv else bytes(
                random.randrange(256) for _ in range(n(kv.get("n", 16))))
            if kv.get("next") == "1":
                self.garbage_next += data
            else:
                return False, data
        elif cmd == "split":
            self.split = [n(kv.get("count", 1)), max(2, n(kv.get("pieces", 3))), n(kv.get("gap", 20))]
        elif cmd == "slow":
            self.slow_ms = n(kv.get("ms", 0))
            self.slow_count = n(kv.get("count", 0))
        else:
            raise ValueError("unknown command %r" % cmd)
        return False, b""


# ----------------------------------------------------------------- serving

def serve(args):
    runner = sl.Runner(args.sandbox, "ttyS4", args.parent_pid)
    t0 = time.monotonic()
    log = sl.JsonLog(args.transcript or os.path.join(runner.log_dir, "mcu-transcript.jsonl"), t0)
    control = sl.LineFollower(args.control or os.path.join(runner.run_dir, "mcu.ctl"))
    mcu = Mcu(args.version, Upgrade(os.path.join(runner.sandbox, "var", "upgrade"), log))
    pty = sl.Pty(runner.sandbox, "ttyS4")
    parser = sl.FrameParser(TAG)
    pending = []  # (due, bytes, record or None)
    log.write({"event": "start", "pty": pty.path, "version": mcu.version})

    def apply_control(quiet_writes=False):
        for line in control.lines():
            log.write({"event": "control", "command": line})
            try:
                quit_now, data = mcu.command(line)
            except (ValueError, IndexError, KeyError) as e:
                log.write({"event": "control error", "command": line, "error": str(e)})
                continue
            if data and not quiet_writes:
                pty.write(data)
                log.write({"dir": "out", "noise": data.hex()})
            if quit_now:
                runner.stop = True

    # Commands written before the start (a version, faults) hold from the
    # player's first frame on.
    apply_control(quiet_writes=True)
    runner.announce(pty.path)

    def schedule(frame_bytes, record, delay):
        now = time.monotonic()
        if mcu.garbage_next:
            pending.append((now + delay, mcu.garbage_next, {"dir": "out", "noise": mcu.garbage_next.hex()}))
            mcu.garbage_next = b""
        if mcu.split and mcu.split[0] > 0:
            mcu.split[0] -= 1
            pieces, gap = mcu.split[1], mcu.split[2]
            size = max(1, -(-len(frame_bytes) // pieces))
            record["fault"] = "split %d" % pieces
            for i, at in enumerate(range(0, len(frame_bytes), size)):
                pending.append((now + delay + i * gap / 1000.0, frame_bytes[at:at + size], record if at == 0 else None))
        else:
            pending.append((now + delay, frame_bytes, record))

    def on_frame(f):
        log.write(frame_record("in", f, **describe_write(f)))
        ans = mcu.answer(f)
        if ans is None:
            log.write({"event": "no answer", "to": KIND.get(f["type"], "other"), "group": f["group"],
                       "item": f["item"]})
            return
        atype, payload = ans
        bad_sum, bad_end = mcu.badsum > 0, mcu.badend > 0
        mcu.badsum -= 1 if bad_sum else 0
        mcu.badend -= 1 if bad_end else 0
        out = sl.build_frame(TAG, atype, f["unit"], f["preset"], f["group"], f["item"], f["slot"], f["target"], 0,
                             payload, bad_checksum=bad_sum, bad_end=bad_end)
        faults = [x for x, on in (("badsum", bad_sum), ("badend", bad_end)) if on]
        delay = 0.0
        if mcu.slow_ms > 0:
            delay = mcu.slow_ms / 1000.0
            faults.append("slow %d" % mcu.slow_ms)
            if mcu.slow_count > 0:
                mcu.slow_count -= 1
                if mcu.slow_count == 0:
                    mcu.slow_ms = 0
        answer = dict(zip(sl.HEADER_FIELDS, out[4:12]))
        answer.update(len=len(payload), payload=payload)
        record = frame_record("out", answer)
        if faults:
            record["fault"] = " ".join(faults)
        schedule(out, record, delay)

    try:
        while not runner.stop and not runner.parent_gone():
            now = time.monotonic()
            timeout = 0.05
            if pending:
                timeout = max(0.0, min(timeout, min(p[0] for p in pending) - now))
            try:
                ready, _, _ = select.select([pty.master], [], [], timeout)
            except InterruptedError:
                ready = []
            if ready:
                data = pty.read()
                for ev in parser.feed(data):
                    if ev[0] == "frame":
                        on_frame(ev[1])
                    elif ev[0] == "bad":
                        log.write({"dir": "in", "bad": ev[1], "bytes": ev[2].hex()})
                    else:
                        noise = ev[1]
                        rec = {"dir": "in", "noise": noise.hex()}
                        if noise.startswith(b"C\x11" * 4) or noise.startswith(b"C" + b"\x11" * 8):
                            rec["handshake"] = True
                        log.write(rec)
                        if rec.get("handshake"):
                            mcu.upgrade.handshake()
            apply_control()
            now = time.monotonic()
            due = [p for p in pending if p[0] <= now]
            if due:
                pending[:] = [p for p in pending if p[0] > now]
                for _, data, record in sorted(due, key=lambda p: p[0]):
                    pty.write(data)
                    if record is not None:
                        log.write(record)
    finally:
        log.write({"event": "stop"})
        log.close()
        pty.close()
        runner.finish()


def decode(path, tag):
    data = sys.stdin.buffer.read() if path == "-" else open(path, "rb").read()
    parser = sl.FrameParser(tag)
    for ev in parser.feed(data):
        if ev[0] == "frame":
            rec = frame_record("in", ev[1], **describe_write(ev[1]))
        elif ev[0] == "bad":
            rec = {"bad": ev[1], "bytes": ev[2].hex()}
        else:
            rec = {"noise": ev[1].hex()}
        print(json.dumps(rec, ensure_ascii=False))
    return 0


def send(sandbox, control, words):
    path = control or os.path.join(os.path.abspath(sandbox), "var", "run", "mcu.ctl")
    with open(path, "a", encoding="utf-8") as f:
        f.write(" ".join(shlex.quote(w) for w in words) + "\n")
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, epilog="Control commands:\n" + COMMANDS,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sandbox")
    ap.add_argument("--parent-pid", type=int, default=0, help="stop when this process ends")
    ap.add_argument("--control")
    ap.add_argument("--transcript")
    ap.add_argument("--version", default=DEFAULT_VERSION)
    ap.add_argument("--decode", metavar="FILE")
    ap.add_argument("--tag", default="0x7C")
    ap.add_argument("--send", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    if args.decode:
        return decode(args.decode, int(args.tag, 0))
    if not args.sandbox:
        ap.error("--sandbox DIR is required")
    if args.send is not None:
        return send(args.sandbox, args.control, args.send)
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
