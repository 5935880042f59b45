#!/usr/bin/env bash
# Peak memory and time of kestrel-cli list -r, check -r and find '*' -r with --json against the same command's
# text, over a folder of 5,000 full images of 80 files each (hard links to the generated images, so that the page
# cache holds them all). Each pair is run RUNS times in turn; prints per command the medians of both and the
# ratios json / text.
# Usage: bench/collection_json.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$1 runs=${2:-3}
program=$build/kestrel-cli
count=${BENCH_IMAGES:-1000}
names=${BENCH_JSON_IMAGES:-5000}
images=${BENCH_IMAGE_DIR:-${TMPDIR:-/tmp}/kestrel-bench-images}
folder=$images-json
if [ "$(ls "$images" 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$images"
    "$build/bench/make_images" "$images" "$count"
fi
if [ "$(ls "$folder" 2>/dev/null | wc -l)" -ne "$names" ]; then
    rm -rf "$folder"
    mkdir -p "$folder"
    sources=("$images"/*.mgt)
    for n in $(seq 0 $((names - 1))); do
        ln "${sources[$((n % count))]}" "$folder/$(printf 'disc%05d.mgt' "$n")"
    done
fi
cat "$images"/*.mgt > /dev/null # warm the page cache

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
now() { date +%s.%N; }
run() { # FILE COMMAND...: appends "seconds kilobytes" of one run to FILE
    local file=$1 t0 t1
    shift
    t0=$(now)
    /usr/bin/time -f %M -o "$results/rss" "$@" > /dev/null 2>&1 || true
    t1=$(now)
    awk -v a="$t0" -v b="$t1" -v m="$(cat "$results/rss")" 'BEGIN { printf "%.3f %d\n", b - a, m }' >> "$file"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for command in list check find; do
    args=("$command" -r "$folder")
    [ "$command" = find ] && args=(find '*' -r "$folder")
    rm -f "$results/text" "$results/json"
    for _ in $(seq "$runs"); do
        run "$results/text" "$program" "${args[@]}"
        run "$results/json" "$program" "${args[@]}" --json
    done
    tt=$(cut -d' ' -f1 "$results/text" | median)
    tj=$(cut -d' ' -f1 "$results/json" | median)
    mt=$(cut -d' ' -f2 "$results/text" | median)
    mj=$(cut -d' ' -f2 "$results/json" | median)
    awk -v c="${args[*]}" -v n="$names" -v tt="$tt" -v tj="$tj" -v mt="$mt" -v mj="$mj" -v runs="$runs" \
        'BEGIN { printf "%s --json  images %d  json %.3f s %.1f MB  text %.3f s %.1f MB  time ratio %.2f  memory ratio %.2f  (median of %d)\n", c, n, tj, mj / 1024, tt, mt / 1024, tj / tt, mj / mt, runs }'
done
