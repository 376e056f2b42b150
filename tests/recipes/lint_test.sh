#!/usr/bin/env bash
# The shipped scripts are plain: each helper script of the recipes
# (examples/recipes/) is an executable POSIX shell script that shellcheck
# finds nothing in, or an executable Python 3 script that compiles; the
# other shipped shell scripts (the mc helper, make-samples.sh) are
# shellcheck-clean too. Without shellcheck the test is skipped (exit 77).
#   lint_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
if ! command -v shellcheck >/dev/null 2>&1; then
  echo "SKIPPED: shellcheck is not installed (scripts/setup.sh installs it)"
  exit 77
fi
failed=0
passed=0
fail() {
  echo "FAILED: $*"
  failed=$((failed + 1))
}
shell_scripts=("$source_dir/examples/mc/uquendrix" "$source_dir/examples/make-samples.sh")
for script in "$source_dir"/examples/recipes/*; do
  name=${script##*/}
  [[ -x $script ]] || fail "$name is not executable"
  case $(head -n 1 "$script") in
    '#!/bin/sh') shell_scripts+=("$script") ;;
    '#!/usr/bin/python3')
      # Compiled in memory: nothing is written beside the sources.
      if python3 -c 'import sys; compile(open(sys.argv[1]).read(), sys.argv[1], "exec")' "$script"; then
        passed=$((passed + 1))
      else
        fail "$name does not compile"
      fi
      ;;
    *) fail "$name starts with $(head -n 1 "$script"), neither #!/bin/sh nor #!/usr/bin/python3" ;;
  esac
done
for script in "${shell_scripts[@]}"; do
  if shellcheck "$script"; then passed=$((passed + 1)); else fail "shellcheck ${script#"$source_dir/"}"; fi
done
echo "shipped scripts: $passed passed, $failed failed"
((failed == 0))
