#!/usr/bin/env python3
"""Batch conversion with vantre-convert against ffmpeg processes run side by side, on generated
clips, and the open-file and memory figures of large batches.

    bench/batch_vs_ffmpeg.py [--build build/release] [--runs 3] [--big 2000]

Prints, best of --runs:
  - 27 eight-second clips to "MP3 MPEG Layer-3 Audio" (2400): vantre-convert --jobs auto
    against `cores` ffmpeg processes at a time (xargs -P), and --jobs 2 against --jobs 1;
  - 10 small H.264 clips to "iPod Video H.264" (1): --jobs auto against ffmpeg the same way;
  - a batch of --big short clips under `ulimit -n 256`, and the peak memory of that batch
    against a batch of 10.
Ratio = the other side's seconds / vantre-convert's seconds: above 1.00 means we are faster.
Beside every wall time the CPU time (user + system) of the whole process tree of that run is
printed: on a machine shared with other work it is the steadier figure.
The ffmpeg side uses the settings the format's catalog defaults give (bit rate, sample rate,
channels, frame size and rate).
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

MP3_FFMPEG = ["-vn", "-c:a", "libmp3lame", "-b:a", "128k", "-ar", "44100", "-ac", "2"]
IPOD_FFMPEG = ["-c:v", "libx264", "-s", "320x240", "-b:v", "768k", "-r", "30000/1001",
               "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "128k", "-ar", "44100", "-ac", "2",
               "-f", "ipod"]


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(command, env=None, shell=False):
    """Wall seconds of the command; its process tree's CPU seconds in run.cpu."""
    cpu = children_cpu()
    start = time.perf_counter()
    result = subprocess.run(command, env=env, shell=shell, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    run.cpu = children_cpu() - cpu
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (command if shell else " ".join(command),
                                     result.stderr.decode(errors="replace")[-2000:]))
    return seconds


class Timing:
    """The best of several runs: wall and CPU seconds, each the smallest seen."""

    def __init__(self):
        self.wall = None
        self.cpu = None

    def add(self, wall, cpu):
        self.wall = wall if self.wall is None else min(self.wall, wall)
        self.cpu = cpu if self.cpu is None else min(self.cpu, cpu)

    def __str__(self):
        return "%.2f s (cpu %.2f s)" % (self.wall, self.cpu)


def best_of(runs, prepare, command, **kw):
    best = Timing()
    for _ in range(runs):
        prepare()
        seconds = run(command, **kw)
        best.add(seconds, run.cpu)
    return best


def fresh(folder):
    def prepare():
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    return prepare


def make(path, args):
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"] + args + [path])


def peak_memory_mb(command, env):
    """Peak resident memory of a command, in MB (its own measuring process)."""
    probe = subprocess.run(
        [sys.executable, "-c",
         "import resource,subprocess,sys;"
         "r=subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,stderr=subprocess.DEVNULL);"
         "print(r.returncode,resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)"] + command,
        capture_output=True, text=True, env=env)
    code, rss = probe.stdout.split()
    if int(code) != 0:
        sys.exit("failed: " + " ".join(command[:4]) + " ...")
    return int(rss) / 1024.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--big", type=int, default=2000)
    args = parser.parse_args()
    convert = os.path.abspath(os.path.join(args.build, "bin", "vantre-convert"))
    if not os.access(convert, os.X_OK):
        sys.exit("no %s: build the project first (cmake --build %s)" % (convert, args.build))
    cores = os.cpu_count() or 1
    work = tempfile.mkdtemp(prefix="vantre-batch-bench-")
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=os.path.join(work, "data"))
    try:
        audio = os.path.join(work, "audio")
        video = os.path.join(work, "video")
        os.makedirs(audio)
        os.makedirs(video)
        make(os.path.join(audio, "clip00.wav"),
             ["-f", "lavfi", "-i", "sine=frequency=440:duration=8:sample_rate=44100", "-ac", "2"])
        for i in range(1, 27):
            shutil.copy(os.path.join(audio, "clip00.wav"), os.path.join(audio, "clip%02d.wav" % i))
        make(os.path.join(video, "clip00.mp4"),
             ["-f", "lavfi", "-i", "testsrc=duration=8:size=320x240:rate=25", "-f", "lavfi", "-i",
              "sine=duration=8", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
              "-shortest"])
        for i in range(1, 10):
            shutil.copy(os.path.join(video, "clip00.mp4"), os.path.join(video, "clip%02d.mp4" % i))
        wavs = sorted(os.path.join(audio, f) for f in os.listdir(audio))
        mp4s = sorted(os.path.join(video, f) for f in os.listdir(video))
        out = os.path.join(work, "out")

        def ours(code, files, jobs):
            return best_of(args.runs, fresh(out),
                           [convert, "--format", str(code), "--jobs", jobs, "--out", out] + files,
                           env=env)

        def theirs(files, options, ext):
            script = ("printf '%%s\\n' %s | xargs -P %d -I{} sh -c "
                      "'ffmpeg -hide_banner -loglevel error -nostdin -y -i \"$1\" %s "
                      "\"%s/$(basename \"$1\").%s\"' _ {}" %
                      (" ".join("'%s'" % f for f in files), cores, " ".join(options), out, ext))
            return best_of(args.runs, fresh(out), script, shell=True)

        print("cores: %d, best of %d" % (cores, args.runs))
        mp3_auto = ours(2400, wavs, "auto")
        mp3_one = ours(2400, wavs, "1")
        mp3_two = ours(2400, wavs, "2")
        mp3_ffmpeg = theirs(wavs, MP3_FFMPEG, "mp3")
        print("27 MP3 clips:   vantre auto %s, ffmpeg x%d %s: ratio %.2f (cpu %.2f)" %
              (mp3_auto, cores, mp3_ffmpeg, mp3_ffmpeg.wall / mp3_auto.wall,
               mp3_ffmpeg.cpu / mp3_auto.cpu))
        print("27 MP3 clips:   --jobs 1 %s, --jobs 2 %s: ratio %.2f" %
              (mp3_one, mp3_two, mp3_one.wall / mp3_two.wall))
        ipod_auto = ours(1, mp4s, "auto")
        ipod_ffmpeg = theirs(mp4s, IPOD_FFMPEG, "mp4")
        print("10 iPod H.264:  vantre auto %s, ffmpeg x%d %s: ratio %.2f (cpu %.2f)" %
              (ipod_auto, cores, ipod_ffmpeg, ipod_ffmpeg.wall / ipod_auto.wall,
               ipod_ffmpeg.cpu / ipod_auto.cpu))

        if args.big > 0:
            many = os.path.join(work, "many")
            os.makedirs(many)
            make(os.path.join(many, "c00000.wav"),
                 ["-f", "lavfi", "-i", "sine=duration=0.2", "-ac", "1", "-ar", "8000"])
            for i in range(1, args.big):
                os.link(os.path.join(many, "c00000.wav"), os.path.join(many, "c%05d.wav" % i))
            files = sorted(os.path.join(many, f) for f in os.listdir(many))
            list_file = os.path.join(work, "many.txt")
            with open(list_file, "w") as f:
                f.write("\n".join(files))
            fresh(out)()
            seconds = run("ulimit -n 256 && xargs -a '%s' -d '\\n' '%s' --format 2400 --jobs auto "
                          "--out '%s'" % (list_file, convert, out), env=env, shell=True)
            made = len(os.listdir(out))
            print("%d clips under ulimit -n 256: %d outputs in %.1f s (cpu %.1f s)" %
                  (args.big, made, seconds, run.cpu))
            fresh(out)()
            big_peak = peak_memory_mb([convert, "--format", "2400", "--out", out] + files, env)
            fresh(out)()
            small_peak = peak_memory_mb([convert, "--format", "2400", "--out", out] + files[:10],
                                        env)
            print("peak memory: %d jobs %.0f MB, 10 jobs %.0f MB: %+.0f MB" %
                  (args.big, big_peak, small_peak, big_peak - small_peak))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
