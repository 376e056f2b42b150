#!/usr/bin/env bash
# Examines the built Linux plug-in without loading it: exactly the shared
# libraries it needs (its NEEDED entries), each named.
#
# The plug-in carries the C++ runtime inside itself (linked statically), so
# that a file manager built with another libstdc++ can load it; what it
# needs from the system is glibc alone: libc.so.6, and the dynamic loader
# ld-linux-x86-64.so.2, which glibc's thread-local storage (__tls_get_addr)
# and the static unwinder (_dl_find_object) call into. Any other entry is
# code that has no place in the plug-in, such as the host's (libfuse3) or a
# C++ runtime that was not linked in (libstdc++, libgcc_s).
# Usage: check_wcx.sh WCX [READELF]
set -u
wcx=$1 readelf=${2:-readelf}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dynamic=$("$readelf" -d "$wcx") || { echo "FAIL: $readelf cannot read $wcx"; exit 1; }
needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' <<<"$dynamic" | sort -u)

allowed=(libc.so.6 ld-linux-x86-64.so.2)
while read -r lib; do
  [[ -z $lib ]] && continue
  [[ " ${allowed[*]} " == *" $lib "* ]] || fail "needs $lib, which the plug-in must not need"
done <<<"$needed"
grep -qx libc.so.6 <<<"$needed" || fail "does not need libc.so.6: not a plug-in built against glibc"

if ((failures)); then echo "$failures check(s) failed for $wcx"; exit 1; fi
echo "all checks passed for $wcx (needs: $(paste -sd' ' <<<"$needed"))"
