#!/usr/bin/env python3
"""Converts one generated clip with tools/transcode and with the ffmpeg tool on identical
settings and prints the speed ratio and peak memory of each.

    bench/transcode_vs_ffmpeg.py [--build build/release] [--runs 3]

Ratio = ffmpeg seconds / transcode seconds: 1.00 or more means ours is no slower.
"""
import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time

CASES = [
    # name, output file, our options, ffmpeg options
    ("libx264 + aac MP4", "out.mp4",
     ["-vcodec", "libx264", "-b", "2000k", "-acodec", "aac", "-ab", "128k"],
     ["-c:v", "libx264", "-b:v", "2000k", "-c:a", "aac", "-b:a", "128k"]),
    ("mpeg4 + libmp3lame AVI", "out.avi",
     ["-vcodec", "mpeg4", "-b", "2000k", "-acodec", "libmp3lame", "-ab", "128k"],
     ["-c:v", "mpeg4", "-b:v", "2000k", "-c:a", "libmp3lame", "-b:a", "128k"]),
    ("stream copy MKV", "out.mkv",
     ["-vcodec", "copy", "-acodec", "copy"],
     ["-c:v", "copy", "-c:a", "copy"]),
]


def measure(command, runs):
    """Best wall time and peak memory over several runs, each in its own measuring process."""
    best = None
    peak = 0.0
    for _ in range(runs):
        probe = subprocess.run(
            [sys.executable, "-c",
             "import resource,subprocess,sys,time;"
             "s=time.perf_counter();r=subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,"
             "stderr=subprocess.PIPE);e=time.perf_counter()-s;"
             "sys.stderr.write(r.stderr.decode(errors='replace')[-2000:]) if r.returncode else None;"
             "print(r.returncode,e,resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)"]
            + command, capture_output=True, text=True)
        code, seconds, rss = probe.stdout.split()
        if int(code) != 0:
            sys.exit("failed: %s\n%s" % (" ".join(command), probe.stderr))
        seconds = float(seconds)
        best = seconds if best is None else min(best, seconds)
        peak = max(peak, int(rss) / 1024.0)
    return best, peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    transcode = os.path.join(args.build, "bin", "transcode")
    if not os.access(transcode, os.X_OK):
        sys.exit("no %s: build the project first (cmake --build %s)" % (transcode, args.build))
    with tempfile.TemporaryDirectory(prefix="vantre-bench-") as tmp:
        clip = os.path.join(tmp, "clip.mp4")
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                        "-f", "lavfi", "-i", "testsrc2=duration=10:size=1280x720:rate=25",
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10",
                        "-c:v", "libx264", "-preset", "fast", "-c:a", "aac", clip], check=True)
        print("%-24s %10s %10s %7s %12s %12s" % ("case", "ours s", "ffmpeg s", "ratio",
                                                 "ours MiB", "ffmpeg MiB"))
        for name, output, ours, theirs in CASES:
            out = os.path.join(tmp, output)
            our_s, our_mb = measure([transcode, "-i", clip] + ours + [out], args.runs)
            their_s, their_mb = measure(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin",
                                         "-y", "-i", clip] + theirs + [out], args.runs)
            print("%-24s %10.2f %10.2f %7.2f %12.1f %12.1f" % (name, our_s, their_s,
                                                               their_s / our_s, our_mb, their_mb))


if __name__ == "__main__":
    main()
