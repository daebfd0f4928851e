#!/usr/bin/env bash
# The "Many machines" recipes of the README, run here: GNU parallel with its local login (":")
# and the Slurm array script's body with SLURM_ARRAY_TASK_ID set, both around vantre-convert.
set -euo pipefail
convert=${1:?vantre-convert}
root=${2:?project folder}
command -v parallel > /dev/null || { echo "GNU parallel is not installed"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_DATA_HOME=$work/data
mkdir -p "$work/in"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i sine=duration=0.3 -ac 1 \
    "$work/in/a.wav"
for n in b c d; do cp "$work/in/a.wav" "$work/in/$n.wav"; done

# GNU parallel: one vantre-convert per file; the local login stands for the machines.
parallel --will-cite --sshlogin : "$convert" --format 2400 --out "$work/out" {} \
    ::: "$work"/in/*.wav > "$work/parallel.log" 2>&1 ||
    { cat "$work/parallel.log"; echo "parallel failed"; exit 1; }
for n in a b c d; do
    [ -s "$work/out/${n}_(new).mp3" ] || { echo "parallel: no output for $n"; exit 1; }
done

# The Slurm array script: task 2 converts the third line of the list, and only it.
ls "$work"/in/*.wav > "$work/files.txt"
SLURM_ARRAY_TASK_ID=2 VANTRE_CONVERT=$convert \
    bash "$root/docs/vantre-array.sbatch" "$work/files.txt" 2400 "$work/slurm" > "$work/slurm.log" 2>&1 ||
    { cat "$work/slurm.log"; echo "array task failed"; exit 1; }
[ "$(ls "$work/slurm")" = "c_(new).mp3" ] || { ls "$work/slurm"; echo "array task wrote the wrong file"; exit 1; }
# A task beyond the list fails with the usage status.
status=0
SLURM_ARRAY_TASK_ID=9 VANTRE_CONVERT=$convert \
    bash "$root/docs/vantre-array.sbatch" "$work/files.txt" 2400 "$work/slurm" > /dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || { echo "a task beyond the list ended with $status"; exit 1; }
echo "parallel and array recipes converted"
