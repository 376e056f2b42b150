# shellcheck shell=bash
# The counting and grouping that the recipes tests share, sourced by
# recipes_test.sh and scripts_test.sh: checks pass or fail one by one, a
# group whose programs are missing is skipped and named, and `finish`
# prints the counts and ends the test (exit code 77, skipped, when a group
# was skipped, as it has not shown that everything works).
passed=0
failed=0
skipped_groups=()
group=""

pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAILED [$group] $*"
}

# group TITLE PROGRAM...: starts a group (named by its title up to " ("),
# or skips it when a program it or its samples need is missing.
group() {
  group=${1%% (*}
  local title=$1
  shift
  local program missing=()
  for program in "$@"; do
    command -v "$program" >/dev/null 2>&1 || missing+=("$program")
  done
  if ((${#missing[@]} > 0)); then
    echo "SKIPPED group $title: ${missing[*]} not installed (scripts/setup.sh installs them)"
    skipped_groups+=("$title: ${missing[*]} missing")
    group=""
    return 1
  fi
  echo "--- $title"
}

# A sample cut to a part of its length.
cut_to() { # FILE PERCENT NEW
  head -c $(($(stat -c %s "$1") * $2 / 100)) "$1" >"$3"
}

# finish WHAT: the counts, and the exit code.
finish() {
  echo
  if ((${#skipped_groups[@]} > 0)); then
    echo "Skipped groups, not shown to work here:"
    printf '  %s\n' "${skipped_groups[@]}"
  fi
  echo "$1: $passed passed, $failed failed, ${#skipped_groups[@]} skipped"
  if ((failed > 0)); then exit 1; fi
  if ((${#skipped_groups[@]} > 0)); then exit 77; fi
  exit 0
}
