#!/usr/bin/env bash
# The manual pages and the bash completion keep up with kestrel-cli --help: every command and option the help
# names appears in the page and the completion; the pages render with man without a warning; the completion
# offers commands, options and --type values.
# Usage: manuals_test.sh KESTREL_CLI MAN_DIR COMPLETION
set -euo pipefail
cli=$1 man_dir=$2 completion=$3
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

help=$("$cli" --help)
# Commands: the help's lines "  NAME ARGUMENTS"; options: every -x, --name and +x/-x of the help.
mapfile -t commands < <(grep -oE '^  [a-z]+ ' <<< "$help" | tr -d ' ' | sort -u)
mapfile -t options < <(grep -oE '(^|[][ |,(])(--?[a-z][a-z0-9-]*|\+[a-z])' <<< "$help" | sed -E 's/^[][ |,(]//' | sort -u)
[ ${#commands[@]} -ge 16 ] || fail "only ${#commands[@]} commands read from the help"
[ ${#options[@]} -ge 25 ] || fail "only ${#options[@]} options read from the help"

# The page's text as man shows it, hyphens as typed, without the marks that keep a word from being hyphenated.
page=$(sed -e 's/\\-/-/g' -e 's/\\%//g' "$man_dir/kestrel-cli.1")
for word in "${commands[@]}" "${options[@]}"; do
    grep -qE -- "(^|[^a-z0-9-])\\\\fB${word//+/\\+}([^a-z0-9-]|\\\\|$)|(^|[ [|])${word//+/\\+}([^a-z0-9-]|$)" <<< "$page" ||
        fail "kestrel-cli.1 does not name '$word'"
    case $word in -h | --help | --version | --) continue ;; esac
    grep -qE -- "(^|[ \"(])${word//+/\\+}([ \")]|$)" "$completion" || fail "the completion does not offer '$word'"
done

# The page as man renders it, in ASCII on lines too long to break, says what the help says: each command's
# summary and note, and the help of every option, word for word (spaces folded).
flat() { tr -s ' \n' '  ' | sed -E 's/^ //; s/ $//'; }
rendered=$(MANWIDTH=1000 man -E ascii -l "$man_dir/kestrel-cli.1" 2> /dev/null | col -bx | flat)
# The paragraphs of a help before its options, and the help of each option (the text after the names).
help_texts() {
    awk '/^Options:/ { options = 1; next }
        /^(Usage|       kestrel-cli|Example)/ || (!options && /^Commands:/) { next }
        !options { if ($0 == "") { if (text != "") print text; text = "" } else text = text " " $0; next }
        /^  [-+]/ { if (text != "") print text; text = ""; if (match($0, /^  [^ ]+( [^ ]+)*   */)) text = substr($0, RLENGTH + 1); next }
        /^      / { sub(/^ +/, ""); text = text " " $0; next }
        { if (text != "") print text; text = ""; options = 0 }
        END { if (text != "") print text }'
}
checked=0
for command in "${commands[@]}"; do
    while IFS= read -r text; do
        text=$(flat <<< "$text")
        [ "$text" = "show this text" ] && continue
        checked=$((checked + 1))
        grep -qF -- "$text" <<< "$rendered" || fail "kestrel-cli.1 does not say what '$command --help' says: $text"
    done < <("$cli" "$command" --help | help_texts)
done
[ $checked -ge 60 ] || fail "only $checked texts of the commands' help checked in the page"

for page in kestrel kestrel-cli; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$man_dir/$page.1" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
        grep -q "^\.SH \"\?$section" "$man_dir/$page.1" || fail "$page.1 has no $section section"
    done
done

# The completion function answers as bash would ask it, with bash-completion's helpers stood in.
complete_line() {
    bash -c '
        _init_completion() { words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; cur=${words[cword]}; prev=${words[cword - 1]}; }
        _filedir() { COMPREPLY=(FILES); }
        complete() { :; }
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _kestrel_cli
        echo "${COMPREPLY[*]}"' - "$completion" "$@"
}
[ "$(complete_line kestrel-cli th)" = thumbnail ] || fail "no command completed: $(complete_line kestrel-cli th)"
[ "$(complete_line kestrel-cli find x --type zx-sn)" = "zx-snap-48k zx-snap-128k" ] ||
    fail "no --type value completed: $(complete_line kestrel-cli find x --type zx-sn)"
[ "$(complete_line kestrel-cli thumbnail --s)" = "--size" ] || fail "no option completed"
# Every --type value find takes, as its refusal of an unknown one lists them.
types=$({ "$cli" find x y --type bogus 2>&1 || true; } | sed -nE "s/.*unknown type 'bogus' \((.*) or a type code.*/\1/p" | tr -d ',')
[ "$(tr ' ' '\n' <<< "$(complete_line kestrel-cli find x --type '')" | sort | xargs)" = "$(tr ' ' '\n' <<< "$types" | sort | xargs)" ] ||
    fail "the --type values completed are not find's: $(complete_line kestrel-cli find x --type '')"

[ "$(complete_line kestrel-cli list g)" = FILES ] || fail "no file names offered"

[ $failures -eq 0 ] || exit 1
echo "the manual pages and the completion name ${#commands[@]} commands and ${#options[@]} options"
