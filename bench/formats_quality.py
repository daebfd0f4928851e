#!/usr/bin/env python3
"""Converts one camera-like 1080p clip with vantre-convert to each of today's video formats at
its default settings and to "HD H.264/MPEG-4 AVC Video" at the same frame size and rate, and
prints per format the time, the encoding speed, the file size and the SSIM against the source.

    bench/formats_quality.py [--build build/test] [--seconds 10] [--formats 2500,2502]

The clip ("camera-like"): the library's testsrc2 source (moving objects, gradients, text) at
1920x1080 and 30 fps, softened by gblur (sigma 1, a lens) and overlaid with temporal noise
(noise alls=4, a sensor in good light), with a 440 Hz tone; kept nearly lossless (x264 CRF 8)
as the source.
SSIM is the ffmpeg tool's ssim filter over every picture ("All"), outputs of other sizes being
scaled back to 1920x1080 first.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

H264_REFERENCE = 2102
FORMATS = [2500, 2501, 2502, 2503, 2504, 2505, 2700, 2701, 2702]
RATE = 30

# The reference's profile: 1920x1080 at 30 fps, otherwise its catalog defaults.
REFERENCE_PROFILE = """[settings]
FormatCode=2102
[formatInfo2102]
Description=HD H.264/MPEG-4 AVC Video (*.mp4)
iVideoSize=2
iVideoBitRate=4
iVideoEncoder=0
iFrameRate=6
iSampleRate=2
iAudioBitRate=2
iChannel=1
iVolume=3
iAudioEncoder=0
paraVideoSize=1920x1080
paraVideoBitRate=4000
paraFrameRate=30
paraZoom=full
paraVideoEncoder=libx264
paraSampleRate=44100
paraAudioBitRate=128
paraChannel=2
paraVolume=256
paraAudioEncoder=libfaac
"""


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s%s" % (" ".join(command), result.stdout[-3000:],
                                       result.stderr[-3000:]))
    return result


def make_clip(path, seconds):
    source = ("testsrc2=size=1920x1080:rate=%d,gblur=sigma=1,noise=alls=4:allf=t" % RATE)
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source,
         "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", str(seconds),
         "-c:v", "libx264", "-preset", "veryfast", "-crf", "8", "-pix_fmt", "yuv420p",
         "-c:a", "pcm_s16le", "-ac", "2", path])


def ssim(output, source):
    graph = "[0:v]scale=1920:1080:flags=bicubic,format=yuv420p[a];[1:v]format=yuv420p[b];" \
            "[a][b]ssim"
    result = run(["ffmpeg", "-hide_banner", "-nostdin", "-i", output, "-i", source,
                  "-lavfi", graph, "-f", "null", "-"])
    match = re.search(r"All:([0-9.]+)", result.stderr)
    return float(match.group(1)) if match else float("nan")


def convert(convert_tool, home, code, clip):
    out = os.path.join(home, "out%d" % code)
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
    start = time.perf_counter()
    result = run([convert_tool, "--format", str(code), "--out", out, clip], env=env)
    seconds = time.perf_counter() - start
    files = [os.path.join(out, name) for name in os.listdir(out)]
    if len(files) != 1:
        sys.exit("format %d wrote %d files\n%s" % (code, len(files), result.stdout))
    return files[0], seconds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/test")
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--formats", default=",".join(str(code) for code in FORMATS))
    args = parser.parse_args()
    convert_tool = os.path.join(args.build, "bin", "vantre-convert")
    if not os.access(convert_tool, os.X_OK):
        sys.exit("no %s: build the project first (cmake --build %s)" % (convert_tool, args.build))
    formats = [int(code) for code in args.formats.split(",") if code]
    frames = int(args.seconds * RATE)

    work = tempfile.mkdtemp(prefix="vantre-formats-")
    try:
        clip = os.path.join(work, "camera.mkv")
        make_clip(clip, args.seconds)
        os.makedirs(os.path.join(work, "data", "vantre"))
        with open(os.path.join(work, "data", "vantre", "vantremp4videoconverter.ini"), "w") as f:
            f.write(REFERENCE_PROFILE)
        # "%4d  %-24s  %s": code, group, entry.
        names = {line[:4].strip(): line[32:].strip()
                 for line in run([convert_tool, "--list-formats"]).stdout.splitlines()
                 if line.strip()}

        rows = []
        for code in [H264_REFERENCE] + formats:
            output, seconds = convert(convert_tool, work, code, clip)
            rows.append((code, names.get(str(code), str(code)), seconds, frames / seconds,
                         os.path.getsize(output), ssim(output, clip)))
            print("  %d done in %.1f s" % (code, seconds), file=sys.stderr)

        reference_size = rows[0][4]
        reference_ssim = rows[0][5]
        print("clip: %.0f s of 1920x1080 at %d fps, testsrc2 + gblur + noise (camera-like)"
              % (args.seconds, RATE))
        print("%-5s %-52s %8s %7s %10s %7s %8s" %
              ("code", "format", "time s", "fps", "size KB", "size %", "SSIM"))
        for code, name, seconds, fps, size, value in rows:
            print("%-5d %-52s %8.1f %7.2f %10.0f %6.0f%% %8.5f" %
                  (code, name[:52], seconds, fps, size / 1024.0, 100.0 * size / reference_size,
                   value))
        print("reference: %d at 1920x1080, 30 fps, 4000 kbit/s; SSIM %.5f" %
              (H264_REFERENCE, reference_ssim))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
