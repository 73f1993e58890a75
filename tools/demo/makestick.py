#!/usr/bin/python3
"""The demo stick: a folder tree of short songs in every kind the player
plays, with Latin, Chinese and Korean titles.

    makestick.py DIR [--seconds N]

Writes into DIR (created): tagged FLAC, MP3 and WAV songs, a 24-bit/192 kHz
FLAC, a DSF file, a CUE album (one FLAC and its sheet) and nested folders.
Needs ffmpeg; the DSF comes from tools/dsdgen. Standard library only.
"""

import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
DSDGEN = os.path.join(HERE, "..", "dsdgen", "dsdgen.py")

# (folder, file name, title, artist, album, format options)
SONGS = [
    ("", "01 Morning Drive.flac", "Morning Drive", "The Lanes", "Open Road", []),
    ("", "02 Night Highway.mp3", "Night Highway", "The Lanes", "Open Road", []),
    ("", "03 Coastline.wav", "Coastline", "Harbour Lights", "Tides", []),
    ("", "04 海边的风.flac", "海边的风", "林晓", "远方", []),
    ("", "05 夜空.mp3", "夜空", "林晓", "远方", []),
    ("", "06 바다 노래.flac", "바다 노래", "하늘", "여름", []),
    ("", "07 봄날.mp3", "봄날", "하늘", "여름", []),
    ("Hi-Res", "01 Studio Master 24-192.flac", "Studio Master 24/192", "Quartet", "Sessions",
     ["-ar", "192000", "-sample_fmt", "s32", "-bits_per_raw_sample", "24"]),
    ("Hi-Res", "02 Chamber 24-96.flac", "Chamber 24/96", "Quartet", "Sessions",
     ["-ar", "96000", "-sample_fmt", "s32", "-bits_per_raw_sample", "24"]),
    ("Albums/Tides", "01 Low Water.flac", "Low Water", "Harbour Lights", "Tides", []),
    ("Albums/Tides", "02 High Water.flac", "High Water", "Harbour Lights", "Tides", []),
    ("Albums/Tides", "03 Slack Tide.mp3", "Slack Tide", "Harbour Lights", "Tides", []),
    ("Albums/远方", "01 启程.flac", "启程", "林晓", "远方", []),
    ("Albums/远方", "02 归途.mp3", "归途", "林晓", "远方", []),
    ("Albums/여름", "01 햇살.flac", "햇살", "하늘", "여름", []),
    ("Albums/여름", "02 파도.wav", "파도", "하늘", "여름", []),
    ("Albums/Long Titles", "01 A Very Long Title That Does Not Fit On The Screen Of The Car.flac",
     "A Very Long Title That Does Not Fit On The Screen Of The Car", "Somebody With A Long Name",
     "An Album Whose Name Is Also Rather Long", []),
]

CUE_TRACKS = [("Overture", 0), ("Crossing", 1), ("Arrival", 2)]


def run(cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def tone(path, seconds, freq, title, artist, album, extra):
    cmd = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
           "sine=frequency=%d:beep_factor=2:duration=%d" % (freq, seconds), "-ac", "2"]
    cmd += extra
    for key, value in (("title", title), ("artist", artist), ("album", album)):
        if value:
            cmd += ["-metadata", "%s=%s" % (key, value)]
    cmd.append(path)
    run(cmd)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("dir", help="folder to fill (created)")
    ap.add_argument("--seconds", type=int, default=45, help="length of each song (default 45)")
    args = ap.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    for i, (folder, name, title, artist, album, extra) in enumerate(SONGS):
        d = os.path.join(args.dir, folder)
        os.makedirs(d, exist_ok=True)
        tone(os.path.join(d, name), args.seconds, 330 + 40 * i, title, artist, album, extra)

    # A DSF file (DSD64, two channels).
    dsd = os.path.join(args.dir, "DSD")
    os.makedirs(dsd, exist_ok=True)
    run(["/usr/bin/python3", DSDGEN, "dsf", "--seconds", str(min(args.seconds, 30)),
         os.path.join(dsd, "01 Direct Stream.dsf")])

    # A CUE album: one file, three tracks.
    cue_dir = os.path.join(args.dir, "CUE Album")
    os.makedirs(cue_dir, exist_ok=True)
    per_track = max(10, args.seconds // 2)
    tone(os.path.join(cue_dir, "Journey.flac"), per_track * len(CUE_TRACKS), 523, "", "", "", [])
    lines = ['PERFORMER "The Travellers"', 'TITLE "Journey"', 'FILE "Journey.flac" WAVE']
    for n, (title, k) in enumerate(CUE_TRACKS, start=1):
        start = k * per_track
        lines += ["  TRACK %02d AUDIO" % n, '    TITLE "%s"' % title, '    PERFORMER "The Travellers"',
                  "    INDEX 01 %02d:%02d:00" % (start // 60, start % 60)]
    with open(os.path.join(cue_dir, "Journey.cue"), "w", encoding="utf-8") as f:
        f.write("\r\n".join(lines) + "\r\n")
    print(args.dir)


if __name__ == "__main__":
    main()
