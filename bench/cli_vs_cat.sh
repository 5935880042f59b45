#!/usr/bin/env bash
# Times a kestrel-cli command over 1,000 generated full images against cat reading the same files, and prints
# both figures and their ratio.
# Usage: bench/cli_vs_cat.sh BUILD_DIR each|all COMMAND [ARGS...]
#   each: one process per image (kestrel-cli COMMAND IMAGE ARGS / cat IMAGE)
#   all:  one process for all images (kestrel-cli COMMAND IMAGE... / cat IMAGE...)
# ARGS may contain {} which is replaced by a fresh output path per image.
# PROGRAM, when set, is run in place of kestrel-cli (bench/floor_reader for the floor of a process start).
set -euo pipefail
build=$1 mode=$2; shift 2
program=${PROGRAM:-$build/kestrel-cli}
count=${BENCH_IMAGES:-1000}
images=${BENCH_IMAGE_DIR:-${TMPDIR:-/tmp}/kestrel-bench-images}
if [ "$(ls "$images" 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$images"
    "$build/bench/make_images" "$images" "$count"
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
files=("$images"/*.mgt)
cat "${files[@]}" > /dev/null # warm the page cache for both runs

now() { date +%s.%N; }
if [ "$mode" = each ]; then
    t0=$(now)
    for f in "${files[@]}"; do cat "$f" > /dev/null; done
    t1=$(now)
    i=0
    for f in "${files[@]}"; do
        i=$((i + 1))
        args=()
        for a in "${@:2}"; do args+=("${a//\{\}/$out/$i}"); done
        "$program" "$1" "$f" "${args[@]}" > /dev/null || true
    done
    t2=$(now)
else
    t0=$(now)
    cat "${files[@]}" > /dev/null
    t1=$(now)
    "$program" "$1" "${files[@]}" "${@:2}" > /dev/null || true
    t2=$(now)
fi
awk -v t0="$t0" -v t1="$t1" -v t2="$t2" -v n="$count" -v what="$(basename "$program") $1 ($mode)" \
    'BEGIN { c = t1 - t0; k = t2 - t1; printf "%-28s images %d  kestrel %.3f s  cat %.3f s  ratio %.2f\n", what, n, k, c, k / c }'
