#!/usr/bin/env bash
# Sets up, builds the linux, win64, win32, linux-asan and linux-tsan presets,
# and runs every test: Linux natively, Win64 under wine64, Win32 under 32-bit
# Wine, both DLLs also checked as files, the Linux tests once more under the
# address and undefined-behaviour sanitizers, and the session tests under
# the thread sanitizer; the packages, made from those build trees (the
# Windows zip's contents checked, and, only when CI is set, the Debian
# package installed and removed); and each fuzz target briefly.
#
# The builds run one after another; each build tree's tests, the fuzzing
# and the emulated Wine's prefix run in the background beside the builds
# that follow, with their output shown whole when they end.
#
# How the 32-bit Wine tests run is decided once setup has installed Wine,
# and said in one line: natively; or, on a kernel that cannot run 32-bit
# programs, under qemu's instruction emulation, which a run as root
# registers until it ends, with the 32-bit smoke test in place of the 32-bit
# suites, which are reported as skipped (and are not built, since nothing
# would run them); or not at all, without root or qemu, when the line and
# the table of phases say why and the 32-bit Wine tests are reported as
# skipped (a CI run fails then, as it must run the 32-bit DLL). A run whose
# 32-bit Wine loader is missing after setup fails. Compiler output is cached
# by ccache outside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine.sh
source scripts/i386_emulation.sh
source scripts/compiler_cache.sh
source scripts/phases.sh

# The presets, built in this order; each one's tests start when it is built.
# The win32 tests come first, as under emulation they take longest.
presets=(win32 linux win64 linux-asan linux-tsan)
# The libFuzzer targets of the linux-asan build, each run for a few seconds,
# one after another, once that build is made.
fuzz_targets=(profile expand shell_syntax exports member_list)
fuzz_seconds=12
# What the win32 build makes when only the smoke test can run there.
win32_smoke_targets=(quendrix_plugin quendrix_fake_plugin quendrix_test_helper quendrix_smoke_tests)

# Background jobs, Wine servers and the emulator's registration last for
# this run only, also when it fails or is interrupted.
i386_registered=""
clean_up() {
  local preset
  jobs_kill
  for preset in "${presets[@]}"; do
    [[ $preset == win* ]] && wine_stop "build/$preset"
  done
  [[ -z $i386_registered ]] || i386_unregister
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# How the 32-bit Wine tests run here (native, emulated, none or missing),
# decided after setup: the win32 build builds only what the smoke test needs
# when emulation is all there is, and the emulated Wine's prefix is made in
# the meantime. Always said in one line.
win32_mode=none
win32_prepare() {
  # An entry of ours that a killed run left behind is no part of what this
  # machine runs.
  i386_unregister
  local reason errors=build/emulator.log
  win32_mode=$(i386_mode "$QUENDRIX_WINE32")
  case $win32_mode in
    missing)
      echo "win32: the 32-bit Wine loader $QUENDRIX_WINE32 is missing after setup (Debian's wine32:i386): the 32-bit Wine tests fail"
      phase_record "win32: FAILED, the 32-bit Wine loader is missing" "$(date +%s)"
      status=1
      ;;
    native)
      echo "win32: this machine's kernel runs 32-bit programs natively: every 32-bit Wine test runs"
      ;;
    emulated)
      i386_emulation_environment
      echo "win32: 32-bit programs run here only under emulation (binfmt_misc): the smoke test runs, the other 32-bit Wine tests are reported as skipped"
      ;;
    none)
      # Not in a subshell: the registration remembers whether it mounted
      # binfmt_misc, so that the removal can unmount it again.
      if i386_register 2>"$errors" && i386_registered=yes &&
        [[ $(i386_mode "$QUENDRIX_WINE32") == emulated ]]; then
        i386_emulation_environment
        echo "win32: this machine's kernel cannot run 32-bit programs; qemu-i386-static emulates them for this run (QEMU_RESERVED_VA=$QEMU_RESERVED_VA): the smoke test runs, the other 32-bit Wine tests are reported as skipped"
        win32_mode=emulated
      else
        reason=$(head -n 1 "$errors")
        [[ -n $i386_registered ]] && i386_unregister && i386_registered=""
        reason="this machine's kernel cannot run 32-bit programs${reason:+ and they cannot be emulated ($reason)}"
        echo "win32: NOT RUN: $reason; its Wine tests are reported as skipped${CI:+, and a CI run fails}"
        phase_record "win32: NOT RUN, $reason" "$(date +%s)"
        [[ -z ${CI:-} ]] || status=1
      fi
      ;;
  esac
}

# Runs PRESET's tests and records them as a phase named for what ran, so
# that a reader of a green table knows what was executed and what was only
# reported as skipped: "win32: test, 10 of 10 ran, natively", or, where some
# did not run, which did ("3 of 10 ran (dll_check, fake_plugin_exports,
# smoke), 7 skipped"). HOW says how the tests' programs ran. CTest's output
# goes through a file, as some of these programs are Wine's.
run_tests() { # PRESET [HOW]
  local preset=$1 how=${2:-} log="build/$1/ctest.log" began result=0 name
  began=$(date +%s)
  ctest --preset "$preset" >"$log" 2>&1 || result=1
  cat "$log"
  name="$preset: test, $(tests_ran "$log")${how:+, $how}"
  phase_record "$name" "$began"
  return $result
}
# What a CTest output says ran: "N of M ran", with the names of those that
# ran where not all did, and how many were skipped and failed. A test counts
# as run when it passed or failed; one skipped, or never started, did not.
tests_ran() { # LOG
  awk '
    match($0, /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: [^ ]+/) {
      total++
      name = $0; sub(/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
      if ($0 ~ /\*\*\*(Skipped|Not Run)/) { skipped++; next }
      ran++; names = names (names == "" ? "" : ", ") name
      if ($0 !~ / Passed /) failed++
    }
    END {
      text = (ran + 0) " of " (total + 0) " ran"
      if (ran < total && ran > 0) text = text " (" names ")"
      if (skipped) text = text ", " skipped " skipped"
      if (failed) text = text ", " failed " FAILED"
      print text
    }' "$1"
}

# Each preset's tests, run as a background job once the preset is built.
test_linux() {
  run_tests linux
}
test_win64() {
  wine_start build/win64 "$QUENDRIX_WINE64"
  local result=0
  run_tests win64 "under wine64" || result=1
  wine_stop build/win64
  return $result
}
test_win32() {
  local result=0 how
  if [[ $win32_mode == emulated ]]; then
    job_await "win32: Wine prefix under emulation" || return 1
    wine_start build/win32 "$QUENDRIX_WINE64"
    how="under emulation (qemu-i386-static): the smoke test stands in for the 32-bit suites"
  elif [[ $win32_mode == native ]]; then
    wine_start build/win32 "$QUENDRIX_WINE32"
    how="natively"
  fi
  run_tests win32 "$how" || result=1
  wine_stop build/win32
  # The registration ends with the only tests that need it; the run's exit
  # removes it too, should this job be killed.
  [[ -z $i386_registered ]] || i386_unregister
  return $result
}
win32_prefix() {
  local began=$SECONDS
  timed "win32: Wine prefix under emulation" i386_wine_prefix build/win32 || return 1
  echo "win32: Wine prefix ready in $((SECONDS - began)) s"
}
test_linux-asan() {
  run_tests linux-asan
}
fuzz_linux-asan() {
  local result=0 target log
  for target in "${fuzz_targets[@]}"; do
    echo "=== fuzz $target: $fuzz_seconds seconds"
    log=build/linux-asan/fuzz-$target.log
    timed "fuzz $target" scripts/fuzz.sh "$target" "$fuzz_seconds" >"$log" 2>&1 ||
      { tail -n 40 "$log"; result=1; }
  done
  return $result
}
# The packages, from the linux, win64 and win32 trees as they were built.
packages() {
  local result=0
  scripts/package.sh --built >build/package.log 2>&1 || { tail -n 40 build/package.log; result=1; }
  tests/package/zip_test.sh build/package/quendrix-*-windows.zip || result=1
  tests/package/linux_zip_test.sh build/package/quendrix-*-linux-*.zip || result=1
  return $result
}
# The Debian package installed, used and removed. It puts the system's rules
# into /etc/quendrix for its while, which every lookup of the tests would
# see, so it runs alone, once every other test has ended.
debian_package() {
  if [[ -z ${CI:-} ]]; then
    echo "deb_test: not run, as it installs and removes a Debian package (it runs when CI is set)"
    return 0
  fi
  tests/package/deb_test.sh build/package/quendrix_*_amd64.deb
}
test_linux-tsan() {
  run_tests linux-tsan
}

status=0
phase "setup"
scripts/setup.sh
# Wine may have come with the setup just now.
wine_find
compiler_cache_use

# The win64 tree's Wine prefix is made before anything registers the
# emulator of 32-bit programs: made after, Wine would set up its 32-bit half
# too, under emulation, which the 64-bit tests never use.
phase "Wine prefixes"
mkdir -p build/win64 build/win32
wine_start build/win64 "$QUENDRIX_WINE64"
wine_stop build/win64
win32_prepare
if [[ $win32_mode == emulated ]]; then
  background "win32: Wine prefix under emulation" win32_prefix
fi

# The builds yield to the tests beside them: a build only has to be done
# in time, while tests wait on timeouts of their own, and the emulated
# smoke test has five minutes.
build() { # PRESET [TARGET...]
  local preset=$1
  shift
  nice -n 10 cmake --build --preset "$preset" ${1:+--target "$@"}
}

for preset in "${presets[@]}"; do
  phase "$preset: configure and build"
  cmake --preset "$preset" >/dev/null
  if [[ $preset == win32 && $win32_mode == emulated ]]; then
    build win32 "${win32_smoke_targets[@]}"
  else
    build "$preset"
  fi
  phase_end
  background "$preset: test" "test_$preset"
  # The fuzzing is a job of its own, beside that build's tests; the
  # packages are made once the trees they come from are built (win64 is the
  # last of them in the order above).
  [[ $preset != linux-asan ]] || background "fuzzing" "fuzz_$preset"
  [[ $preset != win64 ]] || background "packages" timed packages packages
  jobs_report
done

phase_end

jobs_report wait
[[ $jobs_failed == 0 ]] || status=1
phase "packages: the Debian package installed and removed"
debian_package || status=1
phase_end
show_times
compiler_cache_report
exit $status
