#!/usr/bin/env bash
# Sets up, builds the linux, win64, win32, linux-asan and linux-tsan presets,
# and runs every test: Linux natively, Win64 under wine64, Win32 under 32-bit
# Wine, both DLLs also checked as files, the Linux tests once more under the
# address and undefined-behaviour sanitizers, and the session tests under
# the thread sanitizer; then the packages, made from those build trees (the
# Windows zip's contents checked, and, only when CI is set, the Debian
# package installed and removed); then each fuzz target briefly.
#
# On a kernel that cannot run 32-bit programs, a run as root registers
# qemu's instruction emulation for them until it ends and runs the 32-bit
# smoke test in place of the 32-bit suites, which are reported as skipped;
# without root or qemu it says so and reports all 32-bit Wine tests as
# skipped. Compiler output is cached by ccache outside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine.sh
source scripts/i386_emulation.sh
source scripts/compiler_cache.sh

# The presets, built and tested in this order.
presets=(linux win64 win32 linux-asan linux-tsan)
# The libFuzzer targets of the linux-asan build, each run for a few seconds.
fuzz_targets=(profile expand shell_syntax exports)
fuzz_seconds=12

# Each phase's wall time, shown at the end.
phase_names=()
phase_seconds=()
phase_began=$SECONDS
phase() { # NAME
  phase_end
  phase_names+=("$1")
  phase_began=$SECONDS
  echo "=== $1"
}
phase_end() {
  if ((${#phase_names[@]} > ${#phase_seconds[@]})); then
    phase_seconds+=($((SECONDS - phase_began)))
  fi
}
show_times() {
  phase_end
  echo "=== times (s), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  local i
  for i in "${!phase_names[@]}"; do
    printf '%6d  %s\n' "${phase_seconds[$i]}" "${phase_names[$i]}"
  done
  printf '%6d  total\n' "$SECONDS"
}

# Wine servers and the emulator's registration last for this run only, also
# when it fails or is interrupted.
i386_registered=""
clean_up() {
  local preset
  for preset in "${presets[@]}"; do
    [[ $preset == win* ]] && wine_stop "build/$preset"
  done
  [[ -z $i386_registered ]] || i386_unregister
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

phase "setup"
scripts/setup.sh
compiler_cache_use

for preset in "${presets[@]}"; do
  phase "$preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The 32-bit Wine tests: natively where the kernel runs 32-bit programs,
# else the smoke test under emulation where it can be had.
win32_tests() {
  # An entry of ours that a killed run left behind is no part of what this
  # machine runs.
  i386_unregister
  local mode reason errors=build/win32/emulator.log
  mode=$(i386_mode "$QUENDRIX_WINE32")
  if [[ $mode == none ]]; then
    # Not in a subshell: the registration remembers whether it mounted
    # binfmt_misc, so that the removal can unmount it again.
    if i386_register 2>"$errors" && i386_registered=yes &&
      [[ $(i386_mode "$QUENDRIX_WINE32") == emulated ]]; then
      echo "win32: this machine's kernel cannot run 32-bit programs; qemu-i386-static emulates them for this run: the smoke test runs, the other 32-bit Wine tests are reported as skipped"
      mode=emulated
    else
      reason=$(head -n 1 "$errors")
      [[ -n $i386_registered ]] && i386_unregister && i386_registered=""
      echo "win32: this machine's kernel cannot run 32-bit programs${reason:+ and they cannot be emulated ($reason)}; its Wine tests are reported as skipped"
    fi
  elif [[ $mode == emulated ]]; then
    echo "win32: 32-bit programs run here only under emulation (binfmt_misc): the smoke test runs, the other 32-bit Wine tests are reported as skipped"
  fi
  local started=$SECONDS
  if [[ $mode == emulated ]]; then
    i386_wine_start build/win32
    echo "win32: Wine prefix and server ready in $((SECONDS - started)) s"
  elif [[ $mode == native ]]; then
    wine_start build/win32 "$QUENDRIX_WINE32"
  fi
  local result=0
  ctest --preset win32 || result=1
  wine_stop build/win32
  if [[ -n $i386_registered ]]; then
    i386_unregister
    i386_registered=""
  fi
  return $result
}

status=0
for preset in "${presets[@]}"; do
  phase "$preset: test"
  case $preset in
    win32)
      win32_tests || status=1
      ;;
    win64)
      wine_start build/win64 "$QUENDRIX_WINE64"
      ctest --preset win64 || status=1
      wine_stop build/win64
      ;;
    *)
      ctest --preset "$preset" || status=1
      ;;
  esac
done

phase "packages"
scripts/package.sh >build/package.log 2>&1 || { tail -n 40 build/package.log; status=1; }
tests/package/zip_test.sh build/package/quendrix-*-windows.zip || status=1
if [[ -n ${CI:-} ]]; then
  tests/package/deb_test.sh build/package/quendrix_*_amd64.deb || status=1
else
  echo "deb_test: not run, as it installs and removes a Debian package (it runs when CI is set)"
fi

for target in "${fuzz_targets[@]}"; do
  phase "fuzz $target: $fuzz_seconds seconds"
  scripts/fuzz.sh "$target" "$fuzz_seconds" >"build/linux-asan/fuzz-$target.log" 2>&1 ||
    { tail -n 40 "build/linux-asan/fuzz-$target.log"; status=1; }
done
show_times
compiler_cache_report
exit $status
