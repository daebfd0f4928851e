#!/usr/bin/env python3
"""Adds 100 clips to the main window's job list (each opened and probed, as the Add command
does) and probes the same 100 clips with the ffprobe tool, one run per file as a person or a
script would, and prints both times.

    bench/add_vs_ffprobe.py [--build build/release] [--files 100] [--runs 3]

Ratio = add seconds / ffprobe seconds: at most 1.20 is the target.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def make_clips(folder, count):
    first = os.path.join(folder, "clip000.mp4")
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                    "-f", "lavfi", "-i", "testsrc=duration=2:size=320x240:rate=25",
                    "-f", "lavfi", "-i", "sine=duration=2",
                    "-c:v", "libx264", "-c:a", "aac", "-shortest", first], check=True)
    clips = [first]
    for i in range(1, count):
        path = os.path.join(folder, "clip%03d.mp4" % i)
        shutil.copyfile(first, path)
        clips.append(path)
    return clips


def time_add(program, clips):
    result = subprocess.run([program] + clips, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("add_bench failed (%d): %s%s" % (result.returncode, result.stdout,
                                                  result.stderr))
    added, seconds = result.stdout.split()
    if int(added) != len(clips):
        sys.exit("add_bench added %s of %d files" % (added, len(clips)))
    return float(seconds)


def time_ffprobe(clips):
    start = time.perf_counter()
    for clip in clips:
        subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams", clip],
                       stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--files", type=int, default=100)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    program = os.path.join(args.build, "bin", "add_bench")
    if not os.access(program, os.X_OK):
        sys.exit("no %s: build the project first (cmake --build %s)" % (program, args.build))
    with tempfile.TemporaryDirectory() as folder:
        clips = make_clips(folder, args.files)
        add = min(time_add(program, clips) for _ in range(args.runs))
        probe = min(time_ffprobe(clips) for _ in range(args.runs))
    print("files: %d (2 s H.264 + AAC MP4 each), best of %d runs" % (args.files, args.runs))
    print("add to the job list: %7.3f s" % add)
    print("ffprobe, one run per file: %7.3f s" % probe)
    print("ratio add / ffprobe: %.2f (target <= 1.20)" % (add / probe))


if __name__ == "__main__":
    main()
