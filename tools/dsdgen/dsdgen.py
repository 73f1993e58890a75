#!/usr/bin/python3
"""Test fixtures for the DSD readers: DSF files, DSDIFF files and SACD disc
images carrying a known pseudo-random DSD bit stream per channel and track.

Every stream is a function of (seed, area, track, channel): the bytes of
random.Random("seed/area/track/channel"), earliest DSD bit most significant.
Files use area 0. `expect` writes what the sound card must receive for a
track: the first two channels (mono: the one channel twice) as DSD_U16_LE
words, first channel word then second, padded with 0x69 to whole words.

    dsdgen.py dsf OUT [--seed S] [--rate R] [--channels N] [--bytes N | --seconds S]
                      [--lsb | --msb] [--bits B] [--block N] [--id3]
    dsdgen.py dff OUT [--seed S] [--rate R] [--channels N] [--tracks S,S,...]
                      [--markers none|start|startstop] [--diin-after] [--tail N] [--dst] [--id3]
    dsdgen.py iso OUT [--seed S] [--sector 2048|2064] [--areas two|multi|both]
                      [--mc-channels N] [--tracks S,S,...] [--dst-area none|two|multi]
                      [--album T] [--artist T] [--titles A|B|C] [--performers A|B|C] [--no-text]
    dsdgen.py expect OUT [--seed S] [--area A] [--track T] [--channels N] --bytes N
    dsdgen.py stream OUT [--seed S] [--area A] [--track T] [--channel C] --bytes N

Each generating command prints a JSON description of what it wrote.
Standard library only; run with /usr/bin/python3.
"""

import argparse
import json
import random
import struct
import sys

SILENCE = 0x69
SACD_RATE = 2822400
FRAME_RATE = 75
LSN = 2048
REVERSE = bytes(int(f"{i:08b}"[::-1], 2) for i in range(256))


def stream(seed, area, track, channel, n):
    return random.Random(f"{seed}/{area}/{track}/{channel}").randbytes(n)


def frames_of(seconds):
    return max(1, round(float(seconds) * FRAME_RATE))


def expected_words(seed, area, track, channels, nbytes):
    """DSD_U16_LE arrangement of the first two channels."""
    chans = [0, 0] if channels == 1 else [0, 1]
    pad = nbytes % 2
    data = [stream(seed, area, track, c, nbytes) + bytes([SILENCE] * pad) for c in chans]
    out = bytearray(len(data[0]) * 2)
    left, right = data
    # word = earliest byte << 8 | next byte, stored little-endian
    out[0::4] = left[1::2]
    out[1::4] = left[0::2]
    out[2::4] = right[1::2]
    out[3::4] = right[0::2]
    return bytes(out)


def interleave(chunks):
    """Byte-interleave equal-length channel byte strings."""
    n = len(chunks)
    out = bytearray(len(chunks[0]) * n)
    for i, c in enumerate(chunks):
        out[i::n] = c
    return bytes(out)


def id3_tag(title, artist, album):
    def frame(fid, text):
        body = b"\x03" + text.encode("utf-8")
        return fid.encode() + struct.pack(">I", len(body)) + b"\x00\x00" + body

    frames = frame("TIT2", title) + frame("TPE1", artist) + frame("TALB", album)
    size = len(frames)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x04\x00\x00" + syncsafe + frames


# ---------------------------------------------------------------- DSF

def write_dsf(a):
    rate, ch, block = a.rate, a.channels, a.block
    nbytes = a.bytes if a.bytes is not None else int(float(a.seconds) * rate) // 8
    samples = nbytes * 8
    lsb = not a.msb
    bits = a.bits if a.bits is not None else (1 if lsb else 8)
    groups = (nbytes + block - 1) // block
    data = bytearray()
    streams = [stream(a.seed, 0, 0, c, nbytes) for c in range(ch)]
    if lsb:
        streams = [s.translate(REVERSE) for s in streams]
    for g in range(groups):
        for c in range(ch):
            blk = streams[c][g * block:(g + 1) * block]
            data += blk + bytes(block - len(blk))  # the last block is zero-padded
    channel_type = {1: 1, 2: 2, 3: 3, 4: 4, 5: 6, 6: 7}[ch]
    meta = id3_tag("DSF Title", "DSF Artist", "DSF Album") if a.id3 else b""
    data_chunk = b"data" + struct.pack("<Q", 12 + len(data))
    total = 28 + 52 + 12 + len(data) + len(meta)
    meta_off = 28 + 52 + 12 + len(data) if meta else 0
    hdr = b"DSD " + struct.pack("<QQQ", 28, total, meta_off)
    fmt = b"fmt " + struct.pack("<QIIIIIIQII", 52, 1, 0, channel_type, ch, rate, bits, samples, block, 0)
    with open(a.out, "wb") as f:
        f.write(hdr + fmt + data_chunk)
        f.write(data)
        f.write(meta)
    return {"kind": "dsf", "path": a.out, "rate": rate, "channels": ch, "block": block,
            "lsb": lsb, "bits": bits, "samples": samples,
            "tracks": [{"index": 0, "bytes": nbytes, "seconds": samples / rate}]}


# ---------------------------------------------------------------- DSDIFF

def chunk(cid, body):
    out = cid.encode() + struct.pack(">Q", len(body)) + body
    return out + (b"\x00" if len(body) % 2 else b"")


def write_dff(a):
    rate, ch = a.rate, a.channels
    per_frame = rate // 8 // FRAME_RATE
    tracks = [frames_of(s) for s in a.tracks.split(",")]
    ids = {1: ["C   "], 2: ["SLFT", "SRGT"], 3: ["SLFT", "SRGT", "C   "],
           4: ["MLFT", "MRGT", "LS  ", "RS  "], 5: ["MLFT", "MRGT", "C   ", "LS  ", "RS  "],
           6: ["MLFT", "MRGT", "C   ", "LFE ", "LS  ", "RS  "]}[ch]
    cmpr = (b"DST " + bytes([11]) + b"DST Encoded") if a.dst else (b"DSD " + bytes([14]) + b"not compressed")
    prop = b"SND " + chunk("FS  ", struct.pack(">I", rate)) \
        + chunk("CHNL", struct.pack(">H", ch) + "".join(ids).encode()) \
        + chunk("CMPR", cmpr) + chunk("LSCO", struct.pack(">H", 0 if ch == 2 else 3))
    info = []
    sound = bytearray()
    pos_frames = 0
    for t, nf in enumerate(tracks):
        nbytes = nf * per_frame
        if t == len(tracks) - 1 and a.tail:
            nbytes += a.tail
        info.append({"index": t, "frames": nf, "bytes": nbytes, "start_frame": pos_frames,
                     "seconds": nf / FRAME_RATE})
        if not a.dst:
            sound += interleave([stream(a.seed, 0, t, c, nbytes) for c in range(ch)])
        pos_frames += nf
    if a.tail and not a.dst:
        sound += b"\xAA"  # a partial sample group that must never be played
    if a.dst:
        body = chunk("FRTE", struct.pack(">IH", pos_frames, FRAME_RATE))
        rnd = random.Random(f"{a.seed}/dst")
        for _ in range(pos_frames):
            body += chunk("DSTF", rnd.randbytes(rnd.randint(200, 2000)))
        sound_chunk = chunk("DST ", body)
    else:
        sound_chunk = chunk("DSD ", bytes(sound))

    diin = b""
    if a.markers != "none":
        marks = b""
        for t in info:
            f = t["start_frame"]
            secs, rem = divmod(f, FRAME_RATE)
            h, rest = divmod(secs, 3600)
            m, s = divmod(rest, 60)
            samples = rem * (rate // FRAME_RATE)
            # samples + offset together give the position; split them to test the sum
            offset = -7 if samples >= 7 else 0
            text = f"Track {t['index'] + 1}".encode()
            marks += chunk("MARK", struct.pack(">HBBIiHHHI", h, m, s, samples - offset, offset, 0, 0, 0, len(text)) + text)
        if a.markers == "startstop":
            f = pos_frames
            secs, rem = divmod(f, FRAME_RATE)
            h, rest = divmod(secs, 3600)
            m, s = divmod(rest, 60)
            marks += chunk("MARK", struct.pack(">HBBIiHHHI", h, m, s, rem * (rate // FRAME_RATE), 0, 1, 0, 0, 0))
        diin = chunk("DIIN", chunk("EMID", b"vdx-fixture") + marks)
    id3 = chunk("ID3 ", id3_tag("DFF Title", "DFF Artist", "DFF Album")) if a.id3 else b""
    parts = [chunk("FVER", struct.pack(">I", 0x01050000)), chunk("PROP", prop)]
    if a.diin_after:
        parts += [sound_chunk, diin]
    else:
        parts += [diin, sound_chunk]
    parts.append(id3)
    body = b"DSD " + b"".join(parts)
    with open(a.out, "wb") as f:
        f.write(b"FRM8" + struct.pack(">Q", len(body)) + body)
    return {"kind": "dff", "path": a.out, "rate": rate, "channels": ch, "dst": a.dst,
            "frame_size": per_frame * ch, "tracks": info}


# ---------------------------------------------------------------- SACD image

def msf(frames):
    secs, f = divmod(frames, FRAME_RATE)
    m, s = divmod(secs, 60)
    return bytes([m & 0xFF, s, f, 0])


def pack_audio_sectors(frames, dst):
    """Audio sectors from a list of frame byte strings: a header byte, packet
    descriptors, frame information, then the packets."""
    sectors = []
    fi, off = 0, 0  # frame index, offset inside it
    info_len = 4 if dst else 3
    while fi < len(frames):
        budget = LSN - 1
        packets, infos, payload = [], [], b""
        while fi < len(frames) and len(packets) < 7:
            start = off == 0
            need = 2 + (info_len if start else 0)
            if start and len(infos) >= 7:
                break
            room = budget - need
            if room < 1:
                break
            n = min(room, 2047, len(frames[fi]) - off)
            packets.append((start, n))
            if start:
                infos.append(fi)
            payload += frames[fi][off:off + n]
            budget -= need + n
            off += n
            if off == len(frames[fi]):
                fi, off = fi + 1, 0
        header = bytes([(len(packets) << 5) | (len(infos) << 2) | (1 if dst else 0)])
        desc = b"".join(struct.pack(">H", (0x8000 if s else 0) | (2 << 11) | n) for s, n in packets)
        finfo = b"".join(msf(i)[:3] + (b"\x01" if dst else b"") for i in infos)
        sec = header + desc + finfo + payload
        sectors.append(sec + bytes(LSN - len(sec)))
    return sectors


def text_block(texts):
    """Track texts for one SACDTTxt area: positions from the block start."""
    block = bytearray(LSN)
    block[0:8] = b"SACDTTxt"
    pos = 8 + 2 * 255
    pos = (pos + 3) & ~3
    for i, (title, performer) in enumerate(texts):
        items = [(0x01, title), (0x02, performer)]
        items = [(t, s) for t, s in items if s]
        if not items:
            continue
        struct.pack_into(">H", block, 8 + 2 * i, pos)
        entry = bytearray([len(items), 0, 0, 0])
        for ttype, s in items:
            entry += bytes([ttype, 0]) + s.encode("utf-8") + b"\x00"
            while len(entry) % 4:
                entry += b"\x00"
        end = pos + len(entry)
        if end > len(block):
            block += bytes(((end - len(block) + LSN - 1) // LSN) * LSN)
        block[pos:end] = entry
        pos = end
    return bytes(block)


def area_toc(kind, channels, dst, track_frames, track_lsn, track_end, texts):
    n = len(track_frames)
    toc0 = bytearray(LSN)
    toc0[0:8] = b"TWOCHTOC" if kind == "two" else b"MULCHTOC"
    toc0[8:10] = bytes([1, 20])
    struct.pack_into(">I", toc0, 16, channels * SACD_RATE // 8)
    toc0[20] = 4  # 64 x 44100 Hz
    toc0[21] = 0 if dst else 2
    toc0[32] = channels
    toc0[33] = 0 if kind == "two" else (3 | (1 << 5) if channels == 6 else 1 | (1 << 5))
    total = sum(track_frames)
    toc0[64:67] = msf(total)[:3]
    toc0[68] = 1
    toc0[69] = n
    struct.pack_into(">II", toc0, 72, track_lsn[0], track_end)
    toc0[80] = 1
    trl1 = bytearray(LSN)
    trl1[0:8] = b"SACDTRL1"
    trl2 = bytearray(LSN)
    trl2[0:8] = b"SACDTRL2"
    start = 0
    for i in range(n):
        length = (track_lsn[i + 1] if i + 1 < n else track_end + 1) - track_lsn[i]
        struct.pack_into(">I", trl1, 8 + 4 * i, track_lsn[i])
        struct.pack_into(">I", trl1, 8 + 4 * 255 + 4 * i, length)
        trl2[8 + 4 * i:12 + 4 * i] = msf(start)
        trl2[8 + 4 * 255 + 4 * i:12 + 4 * 255 + 4 * i] = msf(track_frames[i])
        start += track_frames[i]
    igl = bytearray(2 * LSN)
    igl[0:8] = b"SACD_IGL"
    for i in range(n):
        igl[8 + 12 * i:20 + 12 * i] = f"CNVDX{24:02d}{i + 1:05d}".encode()
        igl[8 + 12 * 255 + 4 * i:12 + 12 * 255 + 4 * i] = bytes([1, 0, 0, 8])
    acc = bytearray(32 * LSN)
    acc[0:8] = b"SACD_ACC"
    sectors = bytes(toc0) + bytes(trl1) + bytes(trl2) + bytes(igl) + bytes(acc)
    if texts is not None:
        sectors += text_block(texts)
    return sectors


def master_toc(areas, album, artist, text):
    mt = bytearray(10 * LSN)
    mt[0:8] = b"SACDMTOC"
    mt[8:10] = bytes([1, 20])
    struct.pack_into(">HH", mt, 16, 1, 1)
    for kind, toc_start, toc_size in areas:
        if kind == "two":
            struct.pack_into(">II", mt, 64, toc_start, toc_start)
            struct.pack_into(">H", mt, 84, toc_size)
        else:
            struct.pack_into(">II", mt, 72, toc_start, toc_start)
            struct.pack_into(">H", mt, 86, toc_size)
    struct.pack_into(">HBB", mt, 120, 2024, 5, 17)
    mt[128] = 1 if text else 0
    mt[136:140] = b"zh\x01\x00"
    if text:
        t = bytearray(LSN)
        t[0:8] = b"SACDText"
        pos = 64
        for slot, s in ((0, album), (1, artist), (8, album), (9, artist)):
            if not s:
                continue
            struct.pack_into(">H", t, 16 + 2 * slot, pos)
            raw = s.encode("utf-8") + b"\x00"
            t[pos:pos + len(raw)] = raw
            pos += (len(raw) + 3) & ~3
        mt[LSN:2 * LSN] = t
    mt[9 * LSN:9 * LSN + 8] = b"SACD_Man"
    return bytes(mt)


def write_iso(a):
    secs = [float(s) for s in a.tracks.split(",")]
    kinds = {"two": ["two"], "multi": ["multi"], "both": ["two", "multi"]}[a.areas]
    titles = a.titles.split("|") if a.titles else [f"Track {i + 1}" for i in range(len(secs))]
    performers = a.performers.split("|") if a.performers else ["VDX Ensemble"] * len(secs)
    texts = None if a.no_text else [(titles[i] if i < len(titles) else "",
                                     performers[i] if i < len(performers) else "") for i in range(len(secs))]
    image = {}  # lsn -> sector bytes
    next_lsn = 540
    described = []
    toc_entries = []
    for kind in kinds:
        area_no = 1 if kind == "two" else 2
        ch = 2 if kind == "two" else a.mc_channels
        dst = a.dst_area == kind
        per_frame = SACD_RATE // 8 // FRAME_RATE
        track_frames = [frames_of(s) for s in secs]
        # The area TOC comes first; its length is known before the audio.
        toc_len = len(area_toc(kind, ch, dst, track_frames, [0] * len(secs), 0, texts)) // LSN
        toc_start = next_lsn
        lsn = toc_start + toc_len
        track_lsn, audio = [], []
        rnd = random.Random(f"{a.seed}/{area_no}/dst")
        for t, nf in enumerate(track_frames):
            if dst:
                frames = [rnd.randbytes(rnd.randint(1000, 6000)) for _ in range(nf)]
            else:
                data = interleave([stream(a.seed, area_no, t, c, nf * per_frame) for c in range(ch)])
                fb = per_frame * ch
                frames = [data[i * fb:(i + 1) * fb] for i in range(nf)]
            sectors = pack_audio_sectors(frames, dst)
            track_lsn.append(lsn)
            audio += sectors
            lsn += len(sectors)
        track_end = lsn - 1
        toc = area_toc(kind, ch, dst, track_frames, track_lsn, track_end, texts)
        for i in range(len(toc) // LSN):
            image[toc_start + i] = toc[i * LSN:(i + 1) * LSN]
        for i, s in enumerate(audio):
            image[track_lsn[0] + i] = s
        toc_entries.append((kind, toc_start, toc_len))
        described.append({"area": area_no, "kind": kind, "channels": ch, "dst": dst,
                          "toc_start": toc_start, "track_start": track_lsn[0], "track_end": track_end,
                          "tracks": [{"index": t, "frames": nf, "bytes": nf * per_frame,
                                      "seconds": nf / FRAME_RATE, "lsn": track_lsn[t],
                                      "title": texts[t][0] if texts else "",
                                      "performer": texts[t][1] if texts else ""}
                                     for t, nf in enumerate(track_frames)]})
        next_lsn = lsn + 10
    mt = master_toc(toc_entries, a.album, a.artist, not a.no_text)
    for i in range(10):
        image[510 + i] = mt[i * LSN:(i + 1) * LSN]
    total = max(image) + 1
    with open(a.out, "wb") as f:
        for lsn in range(total):
            data = image.get(lsn, bytes(LSN))
            if a.sector == 2064:
                f.write(struct.pack(">I", lsn) + bytes(8) + data + b"\xED\xC0\xED\xC0")
            else:
                f.write(data)
    return {"kind": "iso", "path": a.out, "sector": a.sector, "album": a.album, "artist": a.artist,
            "areas": described}


def main():
    p = argparse.ArgumentParser(
        description="Test fixtures for the DSD readers: DSF, DSDIFF and SACD images carrying a known "
                    "pseudo-random DSD bit stream per (seed, area, track, channel), and the bytes the sound "
                    "card must receive. Each generating command prints a JSON description of what it wrote.",
        epilog="dsdgen.py COMMAND -h lists the options of one command.")
    sub = p.add_subparsers(dest="cmd", required=True, metavar="COMMAND")
    seed = {"default": "1", "help": "seed of the bit streams (default 1)"}
    rate = {"type": int, "default": SACD_RATE, "help": "DSD sample rate in Hz (default %d, DSD64)" % SACD_RATE}

    d = sub.add_parser("dsf", help="a DSF file (one track, area 0)")
    d.add_argument("out", help="the file to write")
    d.add_argument("--seed", **seed)
    d.add_argument("--rate", **rate)
    d.add_argument("--channels", type=int, default=2, choices=range(1, 7), metavar="N",
                   help="channels, 1 to 6 (default 2)")
    d.add_argument("--bytes", type=int, help="DSD bytes per channel (instead of --seconds)")
    d.add_argument("--seconds", default="2.0", help="length in seconds (default 2.0)")
    d.add_argument("--lsb", action="store_true", help="bits least significant first (the default)")
    d.add_argument("--msb", action="store_true", help="bits most significant first")
    d.add_argument("--bits", type=int,
                   help="the header's bits-per-sample field, written as given (default 1 with --lsb, 8 with --msb)")
    d.add_argument("--block", type=int, default=4096, help="block size per channel in bytes (default 4096)")
    d.add_argument("--id3", action="store_true", help="append an ID3 tag (DSF Title, DSF Artist, DSF Album)")

    f = sub.add_parser("dff", help="a DSDIFF file (one or more tracks, area 0)")
    f.add_argument("out", help="the file to write")
    f.add_argument("--seed", **seed)
    f.add_argument("--rate", **rate)
    f.add_argument("--channels", type=int, default=2, choices=range(1, 7), metavar="N",
                   help="channels, 1 to 6 (default 2)")
    f.add_argument("--tracks", default="2.0",
                   help="track lengths in seconds, comma-separated (default 2.0: one track)")
    f.add_argument("--markers", choices=["none", "start", "startstop"], default="none",
                   help="DIIN track markers: none (default), a start mark per track, or also a stop mark")
    f.add_argument("--diin-after", action="store_true", help="put the DIIN chunk after the sound data")
    f.add_argument("--tail", type=int, default=0,
                   help="extra bytes per channel after the last whole frame, and a partial sample group")
    f.add_argument("--dst", action="store_true", help="DST-compressed sound data (random frames, not decodable)")
    f.add_argument("--id3", action="store_true", help="add an ID3 chunk (DFF Title, DFF Artist, DFF Album)")

    i = sub.add_parser("iso", help="an SACD disc image with one or both areas")
    i.add_argument("out", help="the file to write")
    i.add_argument("--seed", **seed)
    i.add_argument("--sector", type=int, choices=[2048, 2064], default=2048,
                   help="sector size: 2048, or 2064 (each sector with a 12-byte header and 4-byte trailer)")
    i.add_argument("--areas", choices=["two", "multi", "both"], default="two",
                   help="the two-channel area (area 1, default), the multichannel one (area 2) or both")
    i.add_argument("--mc-channels", type=int, default=6, help="channels of the multichannel area (default 6)")
    i.add_argument("--tracks", default="2.0",
                   help="track lengths in seconds, comma-separated, the same in every area (default 2.0)")
    i.add_argument("--dst-area", choices=["none", "two", "multi"], default="none",
                   help="the area whose audio is DST-coded (random frames), or none (default)")
    i.add_argument("--album", default="VDX Album", help="album title of the master TOC (default \"VDX Album\")")
    i.add_argument("--artist", default="VDX Artist", help="album artist of the master TOC (default \"VDX Artist\")")
    i.add_argument("--titles", help="track titles separated by | (default \"Track 1\", \"Track 2\", ...)")
    i.add_argument("--performers", help="track performers separated by | (default \"VDX Ensemble\")")
    i.add_argument("--no-text", action="store_true", help="no text in the master and area TOCs")

    e = sub.add_parser("expect", help="the bytes the card must receive for a track (DSD_U16_LE)")
    e.add_argument("out", help="the file to write")
    e.add_argument("--seed", **seed)
    e.add_argument("--area", type=int, default=0, help="area of the stream: 0 files, 1 or 2 image areas (default 0)")
    e.add_argument("--track", type=int, default=0, help="track index from 0 (default 0)")
    e.add_argument("--channels", type=int, default=2,
                   help="channels of the source; the first two are played, a mono one twice (default 2)")
    e.add_argument("--bytes", type=int, required=True, help="DSD bytes per channel of the track")

    s = sub.add_parser("stream", help="the raw bit stream of one channel of one track")
    s.add_argument("out", help="the file to write")
    s.add_argument("--seed", **seed)
    s.add_argument("--area", type=int, default=0, help="area: 0 files, 1 or 2 image areas (default 0)")
    s.add_argument("--track", type=int, default=0, help="track index from 0 (default 0)")
    s.add_argument("--channel", type=int, default=0, help="channel index from 0 (default 0)")
    s.add_argument("--bytes", type=int, required=True, help="bytes to write")
    a = p.parse_args()
    if a.cmd == "expect":
        with open(a.out, "wb") as fh:
            fh.write(expected_words(a.seed, a.area, a.track, a.channels, a.bytes))
        return
    if a.cmd == "stream":
        with open(a.out, "wb") as fh:
            fh.write(stream(a.seed, a.area, a.track, a.channel, a.bytes))
        return
    desc = {"dsf": write_dsf, "dff": write_dff, "iso": write_iso}[a.cmd](a)
    json.dump(desc, sys.stdout, ensure_ascii=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
