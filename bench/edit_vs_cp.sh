#!/usr/bin/env bash
# Times one edit of a real image end to end as a process, `kestrel-cli rename` in place (read, edit, check, write
# beside the image with fsync, rename), against `cp` of the image to a new file followed by `sync` of that file
# (an fsync), and prints both figures and their ratio.
# Usage: bench/edit_vs_cp.sh BUILD_DIR [RUNS]   (RUNS default 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
runs=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/tests/data/images/solo-forth-boot.mgt" "$work/disc.mgt"
now() { date +%s.%N; }
t0=$(now)
for i in $(seq "$runs"); do
    cp "$work/disc.mgt" "$work/copy.mgt"
    sync "$work/copy.mgt"
done
t1=$(now)
for i in $(seq "$runs"); do
    "$build/kestrel-cli" rename "$work/disc.mgt" --slot 1 "name$((i % 2))" > /dev/null
done
t2=$(now)
python3 -c "import sys; k=($t2-$t1)/$runs; c=($t1-$t0)/$runs; print(f'kestrel {k:.6f} s  cp {c:.6f} s  ratio {k/c:.2f}')"
