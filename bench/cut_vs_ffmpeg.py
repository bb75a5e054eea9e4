#!/usr/bin/env python3
"""Runs zelvora-cli and the ffmpeg program on the same jobs in one run and
prints the ratios of their wall times and peak memory.

Run by hand, never in CI:  python3 bench/cut_vs_ffmpeg.py [BIN_DIR] [--runs N]

Memory is the peak of the summed resident set of the whole process tree
(zelvora-cli feeds a separate encoder process; ffmpeg encodes in-process),
sampled every 2 ms.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

EQ_BANDS = [(70, 2.5), (180, 1.5), (320, 1.0), (600, 1.0), (1000, 1.0),
            (3000, 1.0), (6000, 1.0), (12000, 0.8), (14000, 0.3), (16000, 0.2)]
EQ_GAINS = [4, 3, 2, 1, 0, -1, 2, 3, -2, 1]


def make_song(path, seconds):
    # Music-like material: two tones with vibrato plus pink noise, stereo.
    subprocess.run([
        "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
        "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
        "-f", "lavfi", "-i", f"anoisesrc=color=pink:amplitude=0.1:duration={seconds}",
        "-filter_complex", "[0]vibrato=f=5[a];[a][1]amix=inputs=2,aformat=channel_layouts=stereo",
        "-ar", "44100", "-c:a", "libmp3lame", "-b:a", "192k", path], check=True)


def tree_rss_kb(root):
    """Summed VmRSS of root and its descendants, in KiB."""
    children = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            children.setdefault(ppid, []).append(int(pid))
        except (OSError, IndexError, ValueError):
            pass
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        todo.extend(children.get(pid, []))
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def wall_time(argv):
    start = time.perf_counter()
    proc = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        sys.exit(f"failed ({proc.returncode}): {' '.join(argv)}\n{proc.stderr.decode(errors='replace')}")
    return time.perf_counter() - start


def peak_memory_kb(argv):
    """Sampling /proc costs CPU, so memory is measured in runs of its own."""
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while proc.poll() is None:
        peak = max(peak, tree_rss_kb(proc.pid))
        time.sleep(0.002)
    if proc.returncode != 0:
        sys.exit(f"failed ({proc.returncode}): {' '.join(argv)}")
    return peak


def median_time(argv, runs):
    return statistics.median(wall_time(argv) for _ in range(runs))


def ffmpeg_cut(src, out, extra_filters=None, codec=("-c:a", "libmp3lame", "-b:a", "128k"), fmt=None,
               exact=False):
    # ffmpeg's input seek in an MP3 is not sample-exact: its segment begins
    # with about 37 ms of silence in place of the music. Seeking 1 s short and
    # then trimming decoded audio gives exactly the samples our cut encodes.
    seek = ["-ss", "29", "-i", src, "-ss", "1", "-t", "30"] if exact else ["-ss", "30", "-to", "60", "-i", src]
    argv = ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y", *seek]
    if extra_filters:
        argv += ["-af", extra_filters]
    argv += list(codec)
    if fmt:
        argv += ["-f", fmt]
    return argv + [out]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir", nargs="?", default="build/release/bin")
    parser.add_argument("--runs", type=int, default=9)
    args = parser.parse_args()
    cli = os.path.join(args.bin_dir, "zelvora-cli")

    with tempfile.TemporaryDirectory(prefix="zvbench-") as tmp:
        short, long_ = os.path.join(tmp, "3min.mp3"), os.path.join(tmp, "60min.mp3")
        make_song(short, 180)
        make_song(long_, 3600)
        out = os.path.join(tmp, "out")

        eq_filters = ",".join(f"equalizer=f={f}:t=o:w={w}:g={g}"
                              for (f, w), g in zip(EQ_BANDS, EQ_GAINS))
        effects_chain = ("atempo=1.2,volume=5dB,afade=t=in:d=2,"
                         "afade=t=out:st=23:d=2," + eq_filters)
        eq_arg = ",".join(str(g) for g in EQ_GAINS)
        ours_effects = ["--tempo", "20", "--gain", "5", "--fade-in", "2", "--fade-out", "2", "--eq", eq_arg]

        def ours(src, *extra, ext="mp3"):
            return [cli, "cut", src, "-o", f"{out}.{ext}", "--start", "00:30.000", "--end", "01:00.000",
                    "--force", *extra]

        ours_m4r = ours(short, "--format", "m4r", "--bitrate", "160", ext="m4r")
        aac = ("-c:a", "aac", "-b:a", "160k")
        jobs = [
            ("cut 30-60 s to MP3 128k, no effects", ours(short), ffmpeg_cut(short, out + ".mp3"), 0.85),
            ("cut with tempo, gain, fades, 10-band EQ", ours(short, *ours_effects),
             ffmpeg_cut(short, out + ".mp3", effects_chain), 0.5),
            ("cut to .m4r AAC 160k", ours_m4r, ffmpeg_cut(short, out + ".m4r", codec=aac, fmt="ipod"), 1.05),
            # ffmpeg's AAC encoder runs faster on a segment that starts
            # silent, so the job is also shown on the very samples we encode.
            ("  the same, ffmpeg cutting sample-exact", ours_m4r,
             ffmpeg_cut(short, out + ".m4r", codec=aac, fmt="ipod", exact=True), None),
            ("info (exact length) of a 60-minute MP3", [cli, "info", long_],
             ["ffprobe", "-v", "error", "-count_packets", "-show_entries", "stream=nb_read_packets", long_],
             0.5),
        ]
        print(f"{'job':45} {'ours s':>8} {'peer s':>8} {'ratio':>6} {'goal':>6}")
        for name, mine, peer, goal in jobs:
            # Interleaved, so a slow spell of the machine hits both alike.
            t_mine, t_peer = [], []
            for _ in range(args.runs):
                t_mine.append(wall_time(mine))
                t_peer.append(wall_time(peer))
            t_mine, t_peer = statistics.median(t_mine), statistics.median(t_peer)
            ratio = t_mine / t_peer
            verdict = f"{'<=' + str(goal):>6}  {'ok' if ratio <= goal else 'MISSED'}" if goal else ""
            print(f"{name:45} {t_mine:8.3f} {t_peer:8.3f} {ratio:6.2f} {verdict}")

        decode = ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-i", long_, "-f", "null", "-"]
        t_info = median_time([cli, "info", long_], args.runs)
        t_decode = median_time(decode, 1)
        print(f"{'info vs full decode (ffmpeg -f null)':45} {t_info:8.3f} {t_decode:8.3f} "
              f"{t_decode / t_info:5.0f}x  >=20x  {'ok' if t_decode / t_info >= 20 else 'MISSED'}")

        m_short = peak_memory_kb(ours(short, *ours_effects))
        m_long = peak_memory_kb(ours(long_, *ours_effects))
        m_peer = peak_memory_kb(ffmpeg_cut(long_, out + ".mp3", effects_chain))
        print(f"peak memory, effects cut: 3-min source {m_short / 1024:.1f} MB, "
              f"60-min source {m_long / 1024:.1f} MB (difference {(m_long - m_short) / 1024:.1f} MB, goal <= 5), "
              f"ffmpeg 60-min {m_peer / 1024:.1f} MB (ratio {m_long / m_peer:.2f}, goal <= 1)")


if __name__ == "__main__":
    main()
