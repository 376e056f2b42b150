#!/usr/bin/env bash
# The bash completion that `quendrix --completion bash` writes, run in bash:
# it offers exactly the commands and options that --help shows, for each
# command, and files or folders where an argument or a value is one.
#   completion_test.sh QUENDRIX
set -uo pipefail
quendrix=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

"$quendrix" --completion bash >"$dir/completion" 2>"$dir/err" ||
  { echo "FAILED: quendrix --completion bash: $(cat "$dir/err")"; exit 1; }
bash -n "$dir/completion" || { echo "FAILED: the completion is no bash script"; exit 1; }

# complete WORD...: the words the completion offers for the last WORD, one a
# line, sorted, run in the folder of files and folders made below.
complete_words() {
  (cd "$dir/files" && bash --norc --noprofile -c 'source "$0" || exit 1
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _quendrix quendrix "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" || exit 1
    printf "%s\n" "${COMPREPLY[@]}"' "$dir/completion" "$@") | sed '/^$/d' | sort
}
mkdir -p "$dir/files/reports" "$dir/files/mnt"
touch "$dir/files/notes.txt" "$dir/files/my report.pdf"

# The words of a section of CLI11's --help ("Options:", "Subcommands:"):
# the names before the description, each option spelling apart.
help_words() { # SECTION ARGS...
  local section=$1
  shift
  "$quendrix" "$@" --help | awk -v section="$section" '
    /^[A-Za-z]+:$/ { inside = ($0 == section); next }
    inside && /^  [^ ]/ { split(substr($0, 3), fields, " "); print fields[1] }' |
    tr ',' '\n' | sort
}

echo "=== the words that --help shows"
commands=$(help_words Subcommands:)
[[ -n $commands ]] || fail "quendrix --help lists no commands"
[[ $(complete_words quendrix "") == "$commands" ]] ||
  fail "quendrix <TAB> offers"$'\n'"$(complete_words quendrix "")"$'\n'"instead of the commands of --help"$'\n'"$commands"
[[ $(complete_words quendrix -) == "$(help_words Options:)" ]] ||
  fail "quendrix -<TAB> offers"$'\n'"$(complete_words quendrix -)"$'\n'"instead of"$'\n'"$(help_words Options:)"
for command in $commands; do
  wanted=$(help_words Options: "$command")
  [[ $(complete_words quendrix "$command" -) == "$wanted" ]] ||
    fail "quendrix $command -<TAB> offers"$'\n'"$(complete_words quendrix "$command" -)"$'\n'"instead of"$'\n'"$wanted"
done
# Hidden options stay out of both.
grep -q -- '--completion' <("$quendrix" --help) && fail "--help shows --completion"

echo "=== what is completed where"
# WORDS (the last one being completed)|what is offered, comma-separated
cases=(
  "quendrix mo|mount"
  "quendrix ex|explain,extract"
  "quendrix --plugin notes.txt mo|mount"
  "quendrix extract notes.txt --ov|--overwrite"
  "quendrix list --|--help,--json"
  "quendrix --pl|--plugin"
  "quendrix --plugin |mnt,my report.pdf,notes.txt,reports"
  "quendrix list |mnt,my report.pdf,notes.txt,reports"
  "quendrix list no|notes.txt"
  "quendrix list notes.txt |"
  "quendrix probe notes.txt my|my report.pdf"
  "quendrix extract notes.txt -C |mnt,reports"
  "quendrix extract notes.txt --directory r|reports"
  "quendrix extract notes.txt --timeout |"
  "quendrix extract notes.txt |"
  "quendrix mount notes.txt |mnt,reports"
  "quendrix mount -f notes.txt m|mnt"
  "quendrix mount notes.txt mnt |"
  "quendrix unmount |mnt,reports"
  "quendrix mc list |mnt,my report.pdf,notes.txt,reports"
  "quendrix cache |clear,limit"
  "quendrix cache c|clear"
  "quendrix cache clear |mnt,my report.pdf,notes.txt,reports"
  "quendrix cache clear notes.txt |"
  "quendrix cache clear -|-h,--help"
  "quendrix cache limit |"
  "quendrix cache limit 500M |"
  "quendrix nosuchcommand |"
)
for case in "${cases[@]}"; do
  line=${case%%|*}
  wanted=$(tr ',' '\n' <<<"${case#*|}" | sed '/^$/d' | sort)
  read -r -a words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  got=$(complete_words "${words[@]}")
  [[ $got == "$wanted" ]] ||
    fail "'$line<TAB>' offers"$'\n'"$got"$'\n'"instead of"$'\n'"$wanted"
done

echo "=== a shell that is not bash's"
"$quendrix" --completion fish >"$dir/out" 2>"$dir/err"
[[ $? == 2 && -s $dir/err && ! -s $dir/out ]] ||
  fail "quendrix --completion fish did not fail with a usage error"

if ((failures)); then exit 1; fi
echo "completion_test: the completion offers what --help shows, and files or folders where they go"
