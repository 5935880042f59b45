#!/usr/bin/env bash
# Times kestrel-cli find -r and check -r over a folder of generated full images against cat reading the same
# files, over the same images gzipped against zcat of them, and over the same images in zip archives of 100 each
# against unzip -p of the archives; each pair RUNS times (alternating, so that a busy moment of a shared machine
# hits both), then prints one line per pair with the median of each and its ratio.
# Usage: bench/collection_vs_cat.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$1 runs=${2:-5}
program=$build/kestrel-cli
count=${BENCH_IMAGES:-1000}
images=${BENCH_IMAGE_DIR:-${TMPDIR:-/tmp}/kestrel-bench-images}
packed=$images-gz
if [ "$(ls "$images" 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$images"
    "$build/bench/make_images" "$images" "$count"
fi
if [ "$(ls "$packed" 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$packed"
    mkdir -p "$packed"
    for f in "$images"/*.mgt; do gzip -c "$f" > "$packed/$(basename "$f").gz"; done
fi
zipped=$images-zip
if [ "$(ls "$zipped" 2>/dev/null | wc -l)" -ne $(((count + 99) / 100)) ]; then
    rm -rf "$zipped"
    mkdir -p "$zipped"
    (cd "$images" && ls | split -l 100 - "$zipped/list-" &&
        for l in "$zipped"/list-*; do zip -q "$zipped/discs-${l##*-}.zip" -@ < "$l" && rm "$l"; done)
fi
plain=("$images"/*.mgt)
gz=("$packed"/*.gz)
zips=("$zipped"/*.zip)
cat "${plain[@]}" "${gz[@]}" "${zips[@]}" > /dev/null # warm the page cache
unzip_all() { for z in "$@"; do unzip -p "$z"; done; }

now() { date +%s.%N; }
seconds() { # COMMAND...: the seconds it took, its output thrown away
    local t0 t1
    t0=$(now)
    "$@" > /dev/null 2>&1 || true
    t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
pair() { # WHAT REFERENCE-COMMAND... -- KESTREL-COMMAND...
    local what=$1; shift
    local reference=() kestrel=()
    while [ "$1" != -- ]; do reference+=("$1"); shift; done
    shift
    kestrel=("$@")
    local k=() r=()
    for _ in $(seq "$runs"); do
        r+=("$(seconds "${reference[@]}")")
        k+=("$(seconds "${kestrel[@]}")")
    done
    local km rm
    km=$(printf '%s\n' "${k[@]}" | median)
    rm=$(printf '%s\n' "${r[@]}" | median)
    awk -v w="$what" -v k="$km" -v r="$rm" -v n="$count" -v runs="$runs" -v ks="${k[*]}" -v rs="${r[*]}" \
        'BEGIN { printf "%-30s images %d  kestrel %.3f s  ref %.3f s  ratio %.2f  (median of %d; kestrel: %s; ref: %s)\n", w, n, k, r, k / r, runs, ks, rs }'
}
pair "find -r (plain, ref. cat)" cat "${plain[@]}" -- "$program" find -r '*' "$images"
pair "check -r (plain, ref. cat)" cat "${plain[@]}" -- "$program" check -r "$images"
pair "find -r (gzipped, ref. zcat)" zcat "${gz[@]}" -- "$program" find -r '*' "$packed"
pair "check -r (gzipped, ref. zcat)" zcat "${gz[@]}" -- "$program" check -r "$packed"
pair "find -r (zipped, ref. unzip -p)" unzip_all "${zips[@]}" -- "$program" find -r '*' "$zipped"
pair "check -r (zipped, ref. unzip -p)" unzip_all "${zips[@]}" -- "$program" check -r "$zipped"
