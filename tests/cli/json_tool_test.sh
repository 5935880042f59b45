#!/usr/bin/env bash
# Every --json document of kestrel-cli over the real images is read by an independent JSON parser:
# python3 -m json.tool (the walks meet the refused images of containers/: exit status 2). Usage: json_tool_test.sh KESTREL_CLI IMAGES_DIR
set -uo pipefail
cli=$1 images=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
parse() { # EXPECTED_STATUS COMMAND...: the command's stdout must parse and its status must be the one expected
    local expected=$1; shift
    "$cli" "$@" > "$work/out.json" 2> /dev/null
    local status=$?
    if [ "$status" -ne "$expected" ] || ! python3 -m json.tool "$work/out.json" > /dev/null; then
        echo "FAILED (status $status, expected $expected): kestrel-cli $*"
        failed=1
    fi
}
parse 2 check -r --json "$images"
parse 2 list -r --json "$images"
parse 2 find -r --json '*' "$images"
parse 0 list --json "$images/zx_basic_auto.mgt"
parse 0 basic --json "$images/zx_basic_auto.mgt" --slot 0
parse 0 image --json "$images/sam-sequential.img" -o "$work/out.mgt"
parse 0 make --json "$work/new.mgt" "$images/reference-taps/"*.tap
parse 0 rm --json "$work/new.mgt" --slot 0
parse 0 add --json "$work/new.mgt" "$images/reference-taps/ea5a.f42.tap"
parse 0 rename --json "$work/new.mgt" --slot 0 $'caf\xe9'
parse 0 attr --json "$work/new.mgt" --slot 0 +h
[ "$failed" -eq 0 ] && echo "11 passed, 0 failed"
exit "$failed"
