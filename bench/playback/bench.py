"""Player pipeline against ffmpeg's bare decode: CPU seconds (user + sys),
start-up cost subtracted (each tool on a 0.1 s file), runs interleaved,
medians, and the player's peak RSS. One line per file."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

FILES = [
    # name, lavfi source, encoder options, suffix
    ("FLAC 16/44.1", "anoisesrc=c=pink:r=44100:a=0.3", ["-ac", "2", "-c:a", "flac", "-sample_fmt", "s16"], "flac"),
    ("FLAC 24/192", "anoisesrc=c=pink:r=192000:a=0.3", ["-ac", "2", "-c:a", "flac", "-sample_fmt", "s32"], "flac"),
    ("MP3 320k", "anoisesrc=c=pink:r=44100:a=0.3", ["-ac", "2", "-c:a", "libmp3lame", "-b:a", "320k"], "mp3"),
    ("ALAC 16/44.1", "anoisesrc=c=pink:r=44100:a=0.3", ["-ac", "2", "-c:a", "alac", "-sample_fmt", "s16p"], "m4a"),
]


def make(path, source, opts, seconds):
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", f"{source}:d={seconds}"] + opts + [path],
                   check=True)


def measure(cmd, env):
    """CPU seconds and peak RSS (KiB) of one run, through /usr/bin/time."""
    with tempfile.NamedTemporaryFile("r") as t:
        r = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", t.name] + cmd, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if r.returncode != 0:
            sys.exit(f"bench: {' '.join(cmd)} failed ({r.returncode})")
        u, s, m = t.read().split()[-3:]
        return float(u) + float(s), int(m)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=300)
    a = ap.parse_args()
    klvtool = os.path.join(a.build, "tools/klvtool/klvtool")
    plugin = os.path.join(a.build, "tools/libasound_module_pcm_vdxcard.so")
    for f in (klvtool, plugin):
        if not os.path.exists(f):
            sys.exit(f"bench: {f} missing (build first)")

    work = tempfile.mkdtemp(prefix="vdx-bench-playback-")
    sandbox = os.path.join(work, "sb")
    env = dict(os.environ, VDX_CARD_PLUGIN=plugin)
    try:
        subprocess.run([os.path.join(a.root, "tools/sandbox/sandbox"), "create", sandbox, "--card", "unpaced",
                        "--mcu", "none", "--keys", "none", "--no-shm"], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        # The card keeps no capture here: disk writes are not the player's cost.
        conf = os.path.join(sandbox, "alsa/asound.conf")
        text = open(conf).read()
        text = "\n".join('  capture ""' if l.strip().startswith("capture ") else l for l in text.splitlines())
        open(conf, "w").write(text + "\n")
        penv = dict(os.environ, VDX_SANDBOX=sandbox)
        penv.pop("ALSA_CONFIG_PATH", None)

        print(f"generating {len(FILES)} files of {a.seconds:g} s ...", flush=True)
        jobs = []
        for i, (name, source, opts, suffix) in enumerate(FILES):
            full = os.path.join(work, f"f{i}.{suffix}")
            short = os.path.join(work, f"s{i}.{suffix}")
            make(full, source, opts, a.seconds)
            make(short, source, opts, 0.1)
            jobs.append((name, full, short))

        results = {name: {"p": [], "f": [], "ps": [], "fs": [], "rss": []} for name, _, _ in jobs}
        for _ in range(a.runs):
            for name, full, short in jobs:
                r = results[name]
                cpu, rss = measure([klvtool, "play", full], penv)
                r["p"].append(cpu)
                r["rss"].append(rss)
                r["f"].append(measure(["ffmpeg", "-nostdin", "-threads", "1", "-i", full, "-f", "null", "-"], penv)[0])
                r["ps"].append(measure([klvtool, "play", short], penv)[0])
                r["fs"].append(measure(["ffmpeg", "-nostdin", "-threads", "1", "-i", short, "-f", "null", "-"],
                                       penv)[0])

        print(f"{'file':<14} {'player s':>9} {'ffmpeg s':>9} {'ratio':>6} {'peak RSS':>9}   (medians of {a.runs})")
        for name, _, _ in jobs:
            r = results[name]
            p = max(0.0, statistics.median(r["p"]) - statistics.median(r["ps"]))
            f = max(0.0, statistics.median(r["f"]) - statistics.median(r["fs"]))
            ratio = p / f if f > 0 else float("inf")
            print(f"{name:<14} {p:9.2f} {f:9.2f} {ratio:6.2f} {max(r['rss']) / 1024:7.1f} MB", flush=True)
    finally:
        subprocess.run([os.path.join(a.root, "tools/sandbox/sandbox"), "destroy", sandbox], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
