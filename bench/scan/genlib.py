#!/usr/bin/python3
"""The folder tree of the scan benchmark: FOLDERS folders of PER small tagged
audio files (three MP3 with ID3v2.4 tags to one FLAC with a Vorbis comment),
a quarter of them with Chinese tags; every tenth folder has, in place of
two of them, a FLAC file and a CUE sheet cutting it into four tracks, so the
tree holds FOLDERS * PER files. Seeded; standard library and the ffmpeg CLI
(two base files) only.

    genlib.py OUT [--folders 100] [--per 20] [--seed 7]
Prints the number of audio files and CUE sheets.
"""
import argparse
import os
import random
import struct
import subprocess
import tempfile

LATIN = ["Aurora", "Blue Harbor", "Cinder", "Delta Line", "Echo Park", "Fable", "Granite", "Halcyon"]
CHINESE = ["周杰伦", "王菲", "陈奕迅", "邓丽君", "张学友", "林俊杰", "孙燕姿", "蔡依林"]
ALBUMS_CN = ["范特西", "夜曲", "十年", "月亮代表我的心", "吻别", "江南", "遇见", "天空"]


def base_files(tmp):
    out = {}
    for ext in ("mp3", "flac"):
        path = os.path.join(tmp, "base." + ext)
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=330:duration=0.5",
                        "-ac", "1", "-ar", "8000", path], check=True)
        with open(path, "rb") as f:
            out[ext] = f.read()
    return out


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v24(tags):
    frames = b""
    for fid, text in tags:
        body = b"\x03" + text.encode("utf-8")
        frames += fid.encode() + syncsafe(len(body)) + b"\0\0" + body
    return b"ID3\x04\x00\x00" + syncsafe(len(frames)) + frames


def strip_id3(data):
    if data[:3] != b"ID3":
        return data
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    return data[10 + size:]


def flac_with_comment(data, tags):
    assert data[:4] == b"fLaC"
    pos, blocks = 4, []
    while True:
        head = data[pos]
        length = struct.unpack(">I", b"\0" + data[pos + 1:pos + 4])[0]
        kind = head & 0x7F
        if kind != 4:
            blocks.append((kind, data[pos + 4:pos + 4 + length]))
        pos += 4 + length
        if head & 0x80:
            break
    vendor = b"vdx"
    comment = struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", len(tags))
    for k, v in tags:
        item = (k + "=" + v).encode("utf-8")
        comment += struct.pack("<I", len(item)) + item
    blocks.insert(1, (4, comment))
    out = b"fLaC"
    for i, (kind, body) in enumerate(blocks):
        last = 0x80 if i == len(blocks) - 1 else 0
        out += bytes([last | kind]) + struct.pack(">I", len(body))[1:] + body
    return out + data[pos:]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("out")
    p.add_argument("--folders", type=int, default=100)
    p.add_argument("--per", type=int, default=20)
    p.add_argument("--seed", default="7")
    a = p.parse_args()
    rnd = random.Random(a.seed)
    with tempfile.TemporaryDirectory() as tmp:
        base = base_files(tmp)
    mp3 = strip_id3(base["mp3"])
    audio = sheets = 0
    for f in range(a.folders):
        folder = os.path.join(a.out, f"{f:03d} Album")
        os.makedirs(folder, exist_ok=True)
        with_sheet = f % 10 == 0
        for n in range(a.per - (2 if with_sheet else 0)):
            chinese = rnd.random() < 0.25
            artist = rnd.choice(CHINESE if chinese else LATIN)
            album = rnd.choice(ALBUMS_CN) if chinese else f"Album {f:03d}"
            title = f"{artist} {n:02d}"
            if n % 4 == 3:
                path = os.path.join(folder, f"{n:02d} {title}.flac")
                data = flac_with_comment(base["flac"], [("TITLE", title), ("ARTIST", artist), ("ALBUM", album)])
            else:
                path = os.path.join(folder, f"{n:02d} {title}.mp3")
                data = id3v24([("TIT2", title), ("TPE1", artist), ("TALB", album)]) + mp3
            with open(path, "wb") as out:
                out.write(data)
            audio += 1
        if with_sheet:
            with open(os.path.join(folder, "sheet.flac"), "wb") as out:
                out.write(flac_with_comment(base["flac"], [("ARTIST", "Sheet Artist")]))
            audio += 1
            lines = ['PERFORMER "Sheet Artist"', f'TITLE "Sheet {f:03d}"', 'FILE "sheet.flac" WAVE']
            for t in range(4):
                lines += [f"  TRACK {t + 1:02d} AUDIO", f'    TITLE "Part {t + 1}"', f"    INDEX 01 00:0{t}:00"]
            with open(os.path.join(folder, "sheet.cue"), "w", encoding="utf-8") as out:
                out.write("\n".join(lines) + "\n")
            sheets += 1
    print(audio, sheets)


if __name__ == "__main__":
    main()
