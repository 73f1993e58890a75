#!/usr/bin/python3
"""Seed corpora of the fuzz targets: small generated files of every kind
(tools/dsdgen/dsdgen.py) and the kept regression inputs of
tests/playback/data/ (dsf-*, dsdiff-*, sacd-*, cue-*, applist_cache-*,
applist_page-*).

    fuzz/make_seeds.py OUT

writes OUT/fuzz_dsf, OUT/fuzz_dsdiff, OUT/fuzz_sacd, OUT/fuzz_cue,
OUT/fuzz_applist_cache and OUT/fuzz_applist_page, each emptied first.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GEN = os.path.join(ROOT, "tools", "dsdgen", "dsdgen.py")
SECTOR = 2048
MASTER_TOC = 510  # the SACD target's input starts at this sector


def dsdgen(*args):
    subprocess.run([sys.executable, GEN, *args], check=True, stdout=subprocess.DEVNULL)


def sacd_input(image, sector):
    """The SACD target's input form of an image: a byte for the sector size
    (1: 2064-byte sectors), then the 2048-byte user data of every sector from
    the master TOC on."""
    data = open(image, "rb").read()
    if sector == SECTOR:
        return b"\x00" + data[MASTER_TOC * SECTOR:]
    out = bytearray(b"\x01")
    for off in range(MASTER_TOC * sector, len(data), sector):
        out += data[off + 12:off + 12 + SECTOR]
    return bytes(out)


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    out = sys.argv[1]
    dirs = {}
    for target in ("fuzz_dsf", "fuzz_dsdiff", "fuzz_sacd", "fuzz_cue", "fuzz_applist_cache", "fuzz_applist_page"):
        d = os.path.join(out, target)
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
        dirs[target] = d

    d = dirs["fuzz_dsf"]
    dsdgen("dsf", os.path.join(d, "stereo.dsf"), "--bytes", "5000")
    dsdgen("dsf", os.path.join(d, "mono-msb.dsf"), "--channels", "1", "--msb", "--bytes", "300", "--block", "256")
    dsdgen("dsf", os.path.join(d, "six.dsf"), "--channels", "6", "--bytes", "700", "--block", "512", "--id3")

    d = dirs["fuzz_dsdiff"]
    dsdgen("dff", os.path.join(d, "plain.dff"), "--tracks", "0.02", "--rate", "705600")
    dsdgen("dff", os.path.join(d, "markers.dff"), "--tracks", "0.02,0.02,0.02", "--markers", "startstop",
           "--rate", "705600", "--tail", "3")
    dsdgen("dff", os.path.join(d, "after.dff"), "--tracks", "0.02,0.02", "--markers", "start", "--diin-after",
           "--rate", "705600", "--id3")
    dsdgen("dff", os.path.join(d, "dst.dff"), "--tracks", "0.05", "--dst")

    with tempfile.TemporaryDirectory() as tmp:
        image = os.path.join(tmp, "x.iso")
        for areas, dst, sector in (("two", "none", 2048), ("both", "multi", 2048), ("multi", "none", 2064)):
            dsdgen("iso", image, "--areas", areas, "--dst-area", dst, "--sector", str(sector),
                   "--tracks", "0.02,0.02", "--mc-channels", "3")
            with open(os.path.join(dirs["fuzz_sacd"], "%s-%s-%d.bin" % (areas, dst, sector)), "wb") as f:
                f.write(sacd_input(image, sector))

    d = dirs["fuzz_cue"]
    with open(os.path.join(d, "pairs.cue"), "wb") as f:
        f.write(b'PERFORMER "P"\nTITLE "A"\nFILE "a.flac" WAVE\n  TRACK 01 AUDIO\n    TITLE "x"\n'
                b'    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE "y"\n    INDEX 00 03:00:00\n'
                b'    INDEX 01 03:02:00\n')
    with open(os.path.join(d, "gbk.cue"), "wb") as f:
        f.write(b'TITLE "A"\nPERFORMER "P"\nFILE "a.dsf" WAVE\n  TRACK 01 AUDIO\n    TITLE "\xc6\xdf\xc0\xef"\n'
                b'    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE "z"\n    INDEX 01 01:00:00\n')

    with open(os.path.join(dirs["fuzz_applist_cache"], "valid.ini"), "wb") as f:
        f.write(b"[DISKINFO]\nallsongs=3\ndiskpath=/run/media/usb-storage_1/sda1\navailsize=500\n"
                b"disksize=1000\ndiskhash=ab\ndircount=2\n\n[MUSICLIST_0]\n"
                b"dirpath=/run/media/usb-storage_1/sda1\nsongslist=a.flac__RS__b.cue__M__flac__M__T\n\n"
                b"[MUSICLIST_1]\ndirpath=/run/media/usb-storage_1/sda1/%E4%B8%AD\n"
                b"songslist=c.iso__M__0__M__1__M__X\n")
    with open(os.path.join(dirs["fuzz_applist_page"], "names.bin"), "wb") as f:
        f.write(b"LABEL\0one\0two\0\001folder\0\xe4\xb8\xad\xe6\x96\x87\0\xeb\x85\xb8\0bad\xff\xfe\0")

    kept = os.path.join(ROOT, "tests", "playback", "data")
    for name in sorted(os.listdir(kept)):
        prefix = name.split("-", 1)[0]
        target = "fuzz_" + prefix
        if target in dirs:
            shutil.copy(os.path.join(kept, name), dirs[target])
    return 0


if __name__ == "__main__":
    sys.exit(main())
