#!/usr/bin/env bash
# Builds the fuzz targets (clang, sanitizers, build-fuzz/), writes the seed corpora into fuzz/corpus/ and runs each
# target for a number of runs or a time. New inputs go to build-fuzz/corpus/<target>/, crashing inputs to
# build-fuzz/artifacts/. Exits non-zero when any target crashed or broke an invariant.
#
# usage: fuzz/run.sh [-r RUNS] [-t SECONDS] [-j JOBS] [-B] [TARGET...]
#   -r RUNS     runs per target (default 20000)
#   -t SECONDS  run each target for this long instead (libFuzzer's -max_total_time)
#   -j JOBS     targets run at the same time (default 1)
#   -B          skip configuring, building and writing the seeds (reuse build-fuzz/)
#   TARGET      directory scan extract convert basic_rewrite basic_listing ini tape_reader system_file
#               snapshot snapshot_disc snapshot_file gzip zip dsk sad export sam_basic_listing sam_screen edit
#               thumbnail masterbasic_unpack layout_sniff tokenise (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(directory scan extract convert basic_rewrite basic_listing ini tape_reader system_file snapshot snapshot_disc
    snapshot_file gzip zip dsk sad export sam_basic_listing sam_screen edit thumbnail masterbasic_unpack
    layout_sniff tokenise)
usage() {
    sed -n '6,14s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

runs=20000
seconds=
jobs=1
build=1
while getopts "r:t:j:B" option; do
    case $option in
    r) runs=$OPTARG ;;
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    B) build=0 ;;
    *) usage ;;
    esac
done
shift $((OPTIND - 1))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
    [[ " ${all_targets[*]} " == *" $target "* ]] || { echo "unknown target: $target" >&2; usage; }
done

out=build-fuzz
if [ "$build" = 1 ]; then
    cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DKESTREL_BUILD_FUZZ=ON -DKESTREL_SANITIZE=ON -DKESTREL_BUILD_GUI=OFF -DKESTREL_BUILD_TESTS=ON > /dev/null
    cmake --build "$out" --target make_corpus "${targets[@]/%/_fuzz}"
    rm -rf fuzz/corpus
    "$out/fuzz/make_corpus" fuzz/corpus
fi

# The targets write their images to temporary files on every run: memory is faster than a disc for that.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

if [ -n "$seconds" ]; then
    budget=(-max_total_time="$seconds")
else
    budget=(-runs="$runs")
fi
mkdir -p "$out/artifacts" "$out/logs"

run_target() {
    local target=$1
    local limit=()
    # Image inputs hold the 20 KB directory before the first data sector.
    case $target in
    directory | scan | extract | convert | system_file) limit=(-max_len=49152) ;;
    # A host file (a tape or a 48K snapshot) before the image input.
    edit) limit=(-max_len=131072) ;;
    # A directory entry and the largest snapshot file with its last sector whole.
    snapshot) limit=(-max_len=131836) ;;
    # The directory and the sectors of a 48K and a 128K snapshot.
    snapshot_disc) limit=(-max_len=202752) ;;
    # The first tracks of a container, and whole small archives.
    dsk | zip) limit=(-max_len=32768) ;;
    # The directory and a screen file after it.
    thumbnail) limit=(-max_len=65536) ;;
    esac
    mkdir -p "$out/corpus/$target"
    "$out/fuzz/${target}_fuzz" "${budget[@]}" "${limit[@]}" -print_final_stats=1 \
        -artifact_prefix="$out/artifacts/$target-" "$out/corpus/$target" "fuzz/corpus/$target" \
        > "$out/logs/$target.log" 2>&1
}

failed=()
pids=()
names=()
finish_one() {
    local pid=$1 name=$2
    if wait "$pid"; then
        echo "$name: ok, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$out/logs/$name.log" |
            grep -o '[0-9]*$') runs"
    else
        echo "$name: FAILED, see $out/logs/$name.log and $out/artifacts/"
        failed+=("$name")
    fi
}
for target in "${targets[@]}"; do
    if [ ${#pids[@]} -ge "$jobs" ]; then
        finish_one "${pids[0]}" "${names[0]}"
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
    run_target "$target" &
    pids+=($!)
    names+=("$target")
done
for i in "${!pids[@]}"; do
    finish_one "${pids[$i]}" "${names[$i]}"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "crashes or broken invariants in: ${failed[*]}"
    exit 1
fi
echo "all fuzz targets ran clean"
