#!/usr/bin/env bash
# Midnight Commander itself, run in tmux, opens a sample through the
# uquendrix helper as a user has installed it from the README: the members
# show on the screen, and F5 copies one into a folder with the content that
# the rules' program gives it.
#   mc_tmux_test.sh QUENDRIX PLUGIN SOURCE_DIR
# Everything lives in a fresh directory with a HOME and XDG folders of its
# own, and tmux runs on a socket there, so the user's mc settings and tmux
# server are never touched. Whatever the outcome, the tmux server and mc are
# ended before the script exits; every wait for the screen has a limit, and
# so has the whole run. Should the script itself be killed, mc still ends
# after mc_limit seconds, and the tmux server with its last session.
set -uo pipefail
quendrix=$1
plugin=$2
source_dir=$(cd "$3" && pwd)
wait_limit=${MC_TEST_WAIT:-20}  # seconds for one thing to show
run_limit=${MC_TEST_RUN_LIMIT:-100}  # seconds for the whole run
mc_limit=$((run_limit + 20))    # seconds mc may live at all
run_deadline=$((SECONDS + run_limit))

for program in mc tmux; do
  if ! command -v "$program" >/dev/null; then
    echo "FAILED: $program is not installed (scripts/setup.sh installs it)"
    exit 1
  fi
done

dir=$(mktemp -d)
socket=$dir/tmux.socket
pane_pids=()  # the pane's process (timeout) and mc, its child
finish() {
  tmux -S "$socket" kill-server 2>/dev/null
  local pid
  for pid in "${pane_pids[@]}"; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  done
  rm -rf "$dir"
}
trap finish EXIT

# The release folder, the host on the PATH, the helper in mc's extfs.d and
# the section at the top of the user's mc.ext.ini: the README's three steps.
install=$dir/opt/quendrix
mkdir -p "$install" "$dir/bin" "$dir/home/.local/share/mc/extfs.d" \
  "$dir/home/.config/mc" "$dir/tmp" "$dir/copies"
cp "$quendrix" "$plugin" "$source_dir/examples/quendrix.ini" "$install/"
cp -R "$source_dir/examples/recipes" "$install/recipes"
ln -s "$install/$(basename "$quendrix")" "$dir/bin/quendrix"
install -m 755 "$source_dir/examples/mc/uquendrix" \
  "$dir/home/.local/share/mc/extfs.d/uquendrix"
awk -v section="$source_dir/examples/mc/mc.ext.ini" '
  { print }
  /^Version=/ && !done { print ""; while ((getline line < section) > 0) print line; done = 1 }
' /etc/mc/mc.ext.ini >"$dir/home/.config/mc/mc.ext.ini"
"$source_dir/examples/make-samples.sh" "$dir/samples"

screen() { tmux -S "$socket" capture-pane -p -t mc 2>/dev/null; }
keys() { tmux -S "$socket" send-keys -t mc "$@"; }

# wait_for TEXT WHAT: waits until TEXT is on the screen.
wait_for() {
  local deadline=$((SECONDS + wait_limit))
  ((deadline > run_deadline)) && deadline=$run_deadline
  while ((SECONDS < deadline)); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.2
  done
  echo "FAILED: $2: \"$1\" did not show within $wait_limit s; the screen:"
  screen
  exit 1
}

tmux -S "$socket" -f /dev/null new-session -d -s mc -x 200 -y 40 \
  env -i PATH="$dir/bin:/usr/bin:/bin" HOME="$dir/home" \
  XDG_CONFIG_HOME="$dir/home/.config" XDG_DATA_HOME="$dir/home/.local/share" \
  XDG_CACHE_HOME="$dir/home/.cache" XDG_STATE_HOME="$dir/home/.local/state" \
  TMPDIR="$dir/tmp" TERM=screen LANG=C.UTF-8 \
  timeout --foreground "$mc_limit" \
  mc --nosubshell --nomouse --stickchars "$dir/samples" "$dir/copies"
pane_pid=$(tmux -S "$socket" display-message -p -t mc '#{pane_pid}')
pane_pids=("$pane_pid")

wait_for "fruit.txt" "mc's panel of the samples"
pane_pids+=($(pgrep -P "$pane_pid"))

# Into the text sample through uquendrix:// from mc's command line.
keys "cd fruit.txt/uquendrix://" Enter
wait_for "fruit.txt/uquendrix://" "the panel's title"
for member in fruit.sorted.txt fruit.unique.txt fruit.txt.sha256; do
  wait_for "$member" "member $member"
done

# F5 on the sorted member, into the other panel's folder.
keys C-s "fruit.so"
wait_for "fruit.so" "the quick search"
keys F5
wait_for "Copy file" "the copy dialog"
keys Enter
deadline=$((SECONDS + wait_limit))
((deadline > run_deadline)) && deadline=$run_deadline
while [[ ! -s $dir/copies/fruit.sorted.txt ]] && ((SECONDS < deadline)); do
  sleep 0.2
done
expected=$(sort "$dir/samples/fruit.txt")
if [[ $(cat "$dir/copies/fruit.sorted.txt" 2>/dev/null) != "$expected" ]]; then
  echo "FAILED: the copy of fruit.sorted.txt does not hold the sorted lines"
  ls -la "$dir/copies"
  screen
  exit 1
fi

# Enter on the gzip sample opens it through the section of mc.ext.ini.
keys "cd $dir/samples" Enter
wait_for "poem.txt.gz " "the samples again"
keys C-s "poem.txt.g"
wait_for "poem.txt.g" "the quick search"
keys Enter
wait_for "poem.txt.gz/uquendrix://" "the panel's title after Enter"
wait_for "poem.txt.gzip-info.txt" "member poem.txt.gzip-info.txt"
echo "passed: mc listed the members of fruit.txt, copied fruit.sorted.txt out" \
  "and opened poem.txt.gz on Enter"
