#!/usr/bin/env bash
# Examines a built Windows plug-in without running it: machine type, exactly
# the eight exports of the interface, GetBackgroundFlags, the six wide
# functions and quendrix's own QuendrixMemberFailure, QuendrixMemberFailureReason,
# QuendrixOpenFailure and QuendrixListWarning under undecorated names, the
# callee-pops calling convention of 32-bit exports, exactly the DLLs it
# imports, and the version resource.
# Usage: check_dll.sh DLL OBJDUMP ARCH(i386|x86-64) FILE-NAME
set -u
dll=$1 objdump=$2 arch=$3 file_name=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }

case $arch in
  i386) grep -q "file format pei-i386" <<<"$("$objdump" -f "$dll")" || fail "not a PE32 i386 file" ;;
  x86-64) grep -q "file format pei-x86-64" <<<"$("$objdump" -f "$dll")" || fail "not a PE32+ x86-64 file" ;;
esac

# Exactly the exports of the interface, of its wide functions and of
# quendrix's own, under their plain names.
"$(dirname "$0")/check_exports.sh" "$dll" "$objdump" \
  CanYouHandleThisFile CloseArchive GetBackgroundFlags GetPackerCaps OpenArchive ProcessFile ReadHeader SetChangeVolProc SetProcessDataProc \
  CanYouHandleThisFileW OpenArchiveW ProcessFileW ReadHeaderExW SetChangeVolProcW SetProcessDataProcW \
  QuendrixMemberFailure QuendrixMemberFailureReason QuendrixOpenFailure QuendrixListWarning ||
  failures=$((failures + 1))

# Imports: exactly the DLLs the plug-in needs, each named. kernel32 serves
# files, processes, the profile functions and the module's own path; the C
# runtime comes as msvcrt.dll (MinGW's default) or, from a tool chain built
# for the Universal C Runtime, as ucrtbase.dll and its api sets, never both.
# Anything else is code that has no place in the plug-in: shell32, for
# one, came in with the host's console code when a unity-build unit held
# both. The MinGW runtime DLLs (libstdc++, libgcc, libwinpthread) must be
# linked statically, so they are no system DLLs either.
imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$headers" | sort -u)
# The functions the plug-in takes from LIB, by name, comma-separated.
imported_from() { # LIB
  awk -v lib="$1" '/DLL Name:/{on = tolower($3) == lib; next}
    on && NF == 0 {on = 0} on && $1 ~ /^[0-9a-f]+$/ && NF >= 3 {print $NF}' <<<"$headers" |
    sort -u | paste -sd, | sed 's/,/, /g'
}
ucrt_sets='^(ucrtbase|api-ms-win-crt-(conio|convert|environment|filesystem|heap|locale|math|multibyte|private|process|runtime|stdio|string|time|utility)-l1-1-0)\.dll$'
runtimes=()
while read -r lib; do
  [[ -z $lib ]] && continue
  case $lib in
    kernel32.dll) ;;
    msvcrt.dll) runtimes+=(msvcrt) ;;
    *)
      if [[ $lib =~ $ucrt_sets ]]; then
        runtimes+=(ucrt)
      else
        fail "imports $lib ($(imported_from "$lib")), which the plug-in must not need"
      fi
      ;;
  esac
done <<<"$imports"
grep -qx kernel32.dll <<<"$imports" || fail "does not import kernel32.dll"
runtime_kinds=""
((${#runtimes[@]} == 0)) || runtime_kinds=$(printf '%s\n' "${runtimes[@]}" | sort -u | paste -sd' ')
case $runtime_kinds in
  msvcrt | ucrt) ;;
  "") fail "imports no C runtime (msvcrt.dll or the UCRT)" ;;
  *) fail "imports both msvcrt.dll and the UCRT" ;;
esac

# Calling convention: on i386 each export removes its own arguments.
if [[ $arch == i386 ]]; then
  disassembly=$("$objdump" -d --no-show-raw-insn "$dll")
  for pair in OpenArchive:0x4 ReadHeader:0x8 ProcessFile:0x10 CloseArchive:0x4 \
              SetChangeVolProc:0x8 SetProcessDataProc:0x8 CanYouHandleThisFile:0x4 GetPackerCaps:none \
              GetBackgroundFlags:none OpenArchiveW:0x4 ReadHeaderExW:0x8 ProcessFileW:0x10 \
              SetChangeVolProcW:0x8 SetProcessDataProcW:0x8 CanYouHandleThisFileW:0x4 \
              QuendrixMemberFailure:0x14 QuendrixMemberFailureReason:0xc \
              QuendrixOpenFailure:0x10 QuendrixListWarning:0xc; do
    name=${pair%%:*} bytes=${pair#*:}
    body=$(awk -v n="$name" '$0 ~ "<_?"n"(@[0-9]+)?>:$"{on=1; next} on && /^[0-9a-f]+ <.*>:$/{exit} on{print}' <<<"$disassembly")
    [[ -n $body ]] || { fail "$name: function not found in the disassembly"; continue; }
    if [[ $bytes == none ]]; then
      grep -Eq 'ret +\$0x' <<<"$body" && fail "$name takes no arguments but pops some"
      grep -Eq '\bret *$' <<<"$body" || fail "$name: no plain ret"
    else
      grep -Eq "ret +\\\$$bytes\\b" <<<"$body" || fail "$name: no 'ret \$$bytes'"
      grep -Eq '\bret *$' <<<"$body" && fail "$name: has a plain ret (caller-pops)"
    fi
  done
fi

# Version resource: the UTF-16 strings of the StringFileInfo block.
strings16=$(strings -el "$dll")
value_after() { awk -v k="$1" '$0==k{getline; print; exit}' <<<"$strings16"; }
[[ $(value_after FileDescription) == "quendrix.wcx" ]] || fail "FileDescription is '$(value_after FileDescription)'"
[[ $(value_after OriginalFilename) == "$file_name" ]] || fail "OriginalFilename is '$(value_after OriginalFilename)'"
[[ $(value_after FileVersion) == "0.0.0.6" ]] || fail "FileVersion is '$(value_after FileVersion)'"
# The fixed-size block: signature 0xFEEF04BD, then version 0.0 / 0.6.
od -An -tx1 -v "$dll" | tr -d ' \n' | grep -q 'bd04effe00000100000000000600000000' ||
  fail "VS_FIXEDFILEINFO does not carry file version 0.0.0.6"

if ((failures)); then echo "$failures check(s) failed for $dll"; exit 1; fi
echo "all checks passed for $dll ($arch)"
