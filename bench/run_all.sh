#!/usr/bin/env bash
# Builds the benchmarks in Release mode, runs every one of them and prints one Markdown table: operation,
# Kestrel's figure, a reference figure and the ratio Kestrel / reference (for times: below 1, Kestrel is faster).
# Usage: bench/run_all.sh
# Environment:
#   BENCH_IMAGES     images for the kestrel-cli runs against cat (default 1000; fewer for a quick run)
#   BENCH_BUILD_DIR  build folder (default build-bench in the source tree)
#   BENCH_IMAGE_DIR  where the generated images are kept between runs (default: a temporary folder, removed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
export BENCH_IMAGES=${BENCH_IMAGES:-1000}

results=$(mktemp -d)
cleanup() { rm -rf "$results"; }
if [ -z "${BENCH_IMAGE_DIR:-}" ]; then
    export BENCH_IMAGE_DIR=$results/images
fi
trap cleanup EXIT

echo "Building the Release benchmarks in $build ..." >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_BUILD_BENCH=ON -DKESTREL_BUILD_GUI=OFF \
    -DKESTREL_WERROR=ON > "$results/configure.log" || { cat "$results/configure.log" >&2; exit 1; }
cmake --build "$build" -j2 --target kestrel-cli make_images floor_reader image_bench tape_bench inspect_bench \
    basic_bench make_bench edit_bench > "$results/build.log" || { cat "$results/build.log" >&2; exit 1; }

for area in image tape inspect basic make edit; do
    echo "Running ${area}_bench ..." >&2
    "$build/bench/${area}_bench" --benchmark_out="$results/$area.json" --benchmark_out_format=json \
        > "$results/$area.txt" 2>&1 || { cat "$results/$area.txt" >&2; exit 1; }
done
echo "Running kestrel-cli against cat over $BENCH_IMAGES images ..." >&2
"$root/bench/cli_vs_cat.sh" "$build" each list > "$results/cli_list.txt"
PROGRAM="$build/bench/floor_reader" "$root/bench/cli_vs_cat.sh" "$build" each list > "$results/cli_floor.txt"
"$root/bench/cli_vs_cat.sh" "$build" all check > "$results/cli_check.txt"
"$root/bench/cli_vs_cat.sh" "$build" each tap -o {} > "$results/cli_tap.txt"
"$root/bench/edit_vs_cp.sh" "$build" > "$results/cli_edit.txt"
"$root/bench/collection_vs_cat.sh" "$build" 3 > "$results/collection.txt"
"$root/bench/collection_json.sh" "$build" 3 > "$results/collection_json.txt"
# Peak memory of one run on one full image, as /usr/bin/time -v reports it (package "time").
# (Not `ls | head`: with pipefail, ls killed by SIGPIPE when head has its line would end the script.)
images=("$BENCH_IMAGE_DIR"/*.mgt)
one=${images[0]}
for command in list check; do
    /usr/bin/time -v "$build/kestrel-cli" "$command" "$one" 2>&1 > /dev/null |
        awk '/Maximum resident set size/ { print $NF }' > "$results/rss_$command.txt"
done
# kestrel-cli thumbnail as a file manager starts it, on the largest real screen (a SAM MODE 4 picture).
/usr/bin/time -v "$build/kestrel-cli" thumbnail "$root/tests/data/images/sam/sam_screen_mode4.mgt" \
    "$results/thumbnail.png" --size 256 2>&1 > /dev/null |
    awk '/Maximum resident set size/ { print $NF }' > "$results/rss_thumbnail.txt"
/usr/bin/time -v cat "$one" 2>&1 > /dev/null | awk '/Maximum resident set size/ { print $NF }' > "$results/rss_cat.txt"

python3 - "$results" "$BENCH_IMAGES" << 'EOF'
import json
import re
import sys

folder, images = sys.argv[1], int(sys.argv[2])
runs = {}
for area in ("image", "tape", "inspect", "basic", "make", "edit"):
    with open(f"{folder}/{area}.json") as f:
        for run in json.load(f)["benchmarks"]:
            if run.get("run_type", "iteration") == "iteration":
                runs[run["name"]] = run

SECONDS_PER = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def seconds(name):
    run = runs[name]
    return run["real_time"] * SECONDS_PER[run["time_unit"]]


def cli(name):
    with open(f"{folder}/cli_{name}.txt") as f:
        m = re.search(r"kestrel ([0-9.]+) s\s+(?:cat|cp) ([0-9.]+) s", f.read())
    return float(m.group(1)), float(m.group(2))


def show_time(s):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if s >= scale:
            break
    else:
        unit, scale = "ns", 1e-9
    value = s / scale
    digits = 0 if value >= 100 else 1 if value >= 10 else 2
    return f"{value:.{digits}f} {unit}"


rows = []


def row(operation, kestrel, reference, kestrel_text=None, reference_text=None):
    ratio = f"{kestrel / reference:.2f}" if reference else "—"
    rows.append((operation, kestrel_text or show_time(kestrel),
                 reference_text or (show_time(reference) if reference else "—"), ratio))


n = f"{images:,}"
k, c = cli("list")
row(f"`kestrel-cli list`, {n} images, a process each (ref.: `cat` each)", k, c)
k, c = cli("floor")
row(f"floor: a minimal C++ program reading the 40 directory sectors, {n} images, a process each (ref.: `cat` each)",
    k, c)
k, c_all = cli("check")
row(f"`kestrel-cli check`, {n} images in one process (ref.: one `cat` of all)", k, c_all)
k, c = cli("tap")
row(f"`kestrel-cli tap`, {n} images, a process each (ref.: `cat` each)", k, c)

with open(f"{folder}/collection.txt") as f:
    for line in f:
        m = re.match(r"(\S+) -r \((\w+), ref\. ([\w -]+)\)\s+images \d+\s+kestrel ([0-9.]+) s\s+ref ([0-9.]+) s", line)
        form = {"plain": "", "gzipped": " gzipped", "zipped": " zipped (zips of 100)"}[m.group(2)]
        row(f"`kestrel-cli {m.group(1)} -r`, a folder of {n}{form} images (ref.: `{m.group(3)}` of all; median of 3)",
            float(m.group(4)), float(m.group(5)))

# --json against the text of the same walk: time, then peak memory.
with open(f"{folder}/collection_json.txt") as f:
    for line in f:
        m = re.match(r"(\w+) .* --json\s+images (\d+)\s+json ([0-9.]+) s ([0-9.]+) MB\s+text ([0-9.]+) s ([0-9.]+) MB",
                     line)
        command = "find '*'" if m.group(1) == "find" else m.group(1)
        what = f"`kestrel-cli {command} -r --json`, a folder of {int(m.group(2)):,} images"
        row(f"{what} (ref.: the same without `--json`; median of 3)", float(m.group(3)), float(m.group(5)))
        row(f"peak memory of {what} (ref.: without `--json`)", float(m.group(4)), float(m.group(6)),
            f"{float(m.group(4)):.1f} MB", f"{float(m.group(6)):.1f} MB")


def rss(name):
    with open(f"{folder}/rss_{name}.txt") as f:
        return int(f.read().strip())


for command in ("list", "check", "thumbnail"):
    k, c = rss(command), rss("cat")
    row(f"peak memory of `kestrel-cli {command}` on one image (ref.: `cat`)", k, c, f"{k / 1024:.1f} MB",
        f"{c / 1024:.1f} MB")

for arg, what in (("1", "the real screen of zx_screen.mgt"), ("0", "random bytes")):
    row(f"screen decode by table, {what} (ref.: per pixel)",
        seconds(f"BM_DecodeScreenWithTable/{arg}"), seconds(f"BM_DecodeScreenPerPixel/{arg}"))
row("pixel table build (once per window start)", seconds("BM_BuildPixelTable"), None)
row("screen decode by cell colours as `kestrel-cli screen` does, real screen (ref.: table build + decode)",
    seconds("BM_DecodeScreenByCell/1"), seconds("BM_BuildPixelTable") + seconds("BM_DecodeScreenWithTable/1"))

listing = runs["BM_ReadDirectory"]
row("directory read of a full image (80 entries)", seconds("BM_ReadDirectory"), None)
row("listing a full .mgt.gz in-process, open and unpack included (ref.: the plain .mgt, opened and listed)",
    seconds("BM_ListImage/1"), seconds("BM_ListImage/0"))
# 80 entries of 256 bytes fill 40 sectors: the fewest reads a listing can make.
row("sector reads per listing (ref.: the directory's sectors)", listing["reads_per_listing"], 40,
    f"{listing['reads_per_listing']:.0f}", "40")

cat_one = c_all / images
row("extraction of a full disc, 80 files (ref.: `cat` per image in the all run)",
    seconds("BM_ExtractAllFiles"), cat_one)
# No reference: the conversion writes a 722,000-byte tape file as well, and cat to /dev/null writes nothing.
row("conversion of a full disc to .tap, written to a file", seconds("BM_ConvertFullDisc"), None)
scan = runs["BM_ScanFullImage"]
row("integrity scan of a full image (ref.: `cat` per image in the all run)", seconds("BM_ScanFullImage"), cat_one)
row("new disc of 80 files from a .tap file (`make`, up to writing the image)", seconds("BM_MakeFullDisc"), None)
extract_reads = runs["BM_ExtractAllFiles"]["reads_per_disc"]
row("sector reads per full-disc extraction", extract_reads, None, f"{extract_reads:,.0f}")
row("sector reads per integrity scan", scan["sector_reads_per_scan"], None, f"{scan['sector_reads_per_scan']:,.0f}")
row("adding 80 files (a full disc) in one edit, in memory, its check included (ref.: `cp` of the image with fsync)",
    seconds("BM_AddFullDiscOfFiles"), seconds("BM_CopyImageWithFsync"))
row("the same edit written over the image in place (ref.: `cp` of the image with fsync)",
    seconds("BM_AddFullDiscOfFilesAndSave"), seconds("BM_CopyImageWithFsync"))
k, c = cli("edit")
row("`kestrel-cli rename` of a real image in place, a process each (ref.: `cp` of the image and `sync` of the copy)",
    k, c)
row("BASIC listing of a 40 KB program (ref.: the loader rewrite over the same bytes)", seconds("BM_ListBasic40K"),
    seconds("BM_RewriteBasic40K"))

# A file manager asks for the thumbnails of every disc of a folder: one row per real disc.
for name in sorted(n for n in runs if n.startswith("BM_Thumbnail/")):
    row(f"thumbnail of the real disc `{name.split('/', 1)[1]}` at 128 pixels, in-process: opened, drawn, "
        "PNG-encoded (ref.: directory read of a full image)", seconds(name), seconds("BM_ReadDirectory"))

print("| operation | Kestrel | reference | ratio |")
print("|---|---:|---:|---:|")
for r in rows:
    print("| " + " | ".join(r) + " |")
EOF
