#!/usr/bin/env bash
# Builds the Debian package of a build with cpack and runs lintian on it: no error may remain (the static
# kestrel-cli's are overridden, with the reason, in the package). Warnings and notes are printed.
# Usage: lintian_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" > "$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
# --fail-on error: the exit status is not 0 when lintian reports an error.
lintian --fail-on error --display-info "$deb" | tee "$work/lintian.txt"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings in $(basename "$deb")"
