# Sourced by scripts/test.sh and scripts/wine_emulator.sh: 32-bit x86
# programs (the 32-bit Wine and every program it starts) on a kernel that
# refuses them, through qemu's instruction emulation.
#
# The kernel's binfmt_misc hands every 32-bit x86 ELF file to
# qemu-i386-static once an entry for them is registered. The test command
# registers its own entry for its run only and removes it on exit, so that
# "the kernel runs 32-bit programs" keeps meaning the kernel itself on the
# next run. Any enabled entry for such files, ours or one that another tool
# left, means the programs run under emulation: a few seconds per Wine
# process, too slow for the full 32-bit suites, which start a great many.
QUENDRIX_BINFMT=/proc/sys/fs/binfmt_misc
QUENDRIX_I386_ENTRY=quendrix-i386
QUENDRIX_QEMU_I386=/usr/bin/qemu-i386-static
# What binfmt_misc shows of an entry's magic for 32-bit x86 ELF files: the
# ELF identification of a 32-bit little-endian file, then e_machine 3.
QUENDRIX_I386_MAGIC='^magic 7f454c4601.{26}0300'

# The size of the 32-bit address space that qemu gives each emulated
# program. Its default, all 4 GiB, works but costs the 32-bit Wine about 50 s
# of processor time at every process start: Wine reserves all that lies
# above 2 GiB (a 32-bit Windows program's own space ends there), and qemu
# then looks for room for each later mapping page by page through that
# reservation. Measured per start of a 32-bit cmd.exe: 50 s at 4 GiB, 39 s
# at 3 GiB, 14 s at 0x90000000, 3.6 s at 0x82000000, 2.1 s at 0x81000000;
# at 0x80000000 Wine has no room left above 2 GiB and stops at once ("failed
# to map the shared user data"). 32 MiB above 2 GiB leaves room for the
# stack that qemu puts at the top, whatever its size limit.
QUENDRIX_QEMU_RESERVED_VA=${QUENDRIX_QEMU_RESERVED_VA:-0x82000000}

# Gives the emulated programs started from now on, and every program they
# start, that address space (qemu reads it from the environment).
i386_emulation_environment() {
  export QEMU_RESERVED_VA=$QUENDRIX_QEMU_RESERVED_VA
}

# Whether an enabled binfmt_misc entry runs 32-bit x86 programs.
i386_emulated() {
  local entry
  for entry in "$QUENDRIX_BINFMT"/*; do
    [[ -f $entry && $(basename "$entry") != register && $(basename "$entry") != status ]] || continue
    grep -qx enabled "$entry" 2>/dev/null && grep -Eq "$QUENDRIX_I386_MAGIC" "$entry" 2>/dev/null &&
      return 0
  done
  return 1
}

# Removes our entry. A run that was killed outright could not remove it, so
# every run calls this before it looks at what the kernel runs.
i386_unregister() {
  if [[ -e $QUENDRIX_BINFMT/$QUENDRIX_I386_ENTRY ]]; then
    echo -1 >"$QUENDRIX_BINFMT/$QUENDRIX_I386_ENTRY" 2>/dev/null || true
  fi
  if [[ -n ${QUENDRIX_BINFMT_MOUNTED:-} ]]; then
    umount "$QUENDRIX_BINFMT" 2>/dev/null || true
    QUENDRIX_BINFMT_MOUNTED=""
  fi
}

# How 32-bit programs run here, judged by LOADER (the 32-bit Wine loader):
# native, emulated or none; missing when there is no such loader to judge by.
i386_mode() { # LOADER
  if [[ ! -x $1 ]]; then
    echo missing
  elif ! kernel_runs "$1"; then
    echo none
  elif i386_emulated; then
    echo emulated
  else
    echo native
  fi
}

# Registers qemu-i386-static for 32-bit x86 ELF files. The F flag opens the
# emulator now, so it serves every process whatever its root directory.
# Needs root and qemu-user-static; false, with the reason on standard
# error, when they are missing or the kernel will not take the entry.
i386_register() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "registering the emulator needs root" >&2
    return 1
  fi
  if [[ ! -x $QUENDRIX_QEMU_I386 ]]; then
    echo "$QUENDRIX_QEMU_I386 is missing (Debian's qemu-user-static)" >&2
    return 1
  fi
  if [[ ! -e $QUENDRIX_BINFMT/register ]]; then
    mount -t binfmt_misc binfmt_misc "$QUENDRIX_BINFMT" || return 1
    QUENDRIX_BINFMT_MOUNTED=yes
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':%s:M::%s:%s:%s:F' "$QUENDRIX_I386_ENTRY" "$magic" "$mask" "$QUENDRIX_QEMU_I386" \
    >"$QUENDRIX_BINFMT/register"
}

# The Wine prefix of the emulated 32-bit Wine. Setting one up runs Wine's
# 32-bit half of it under emulation, which takes about half a minute to
# several on a busy machine, and gives the same prefix every time for one
# Wine version: so it is made once (by the native wine64; only that 32-bit
# half is emulated) and kept outside the checkout for every later run and
# clone, as ccache keeps objects.
QUENDRIX_PREFIX_CACHE=${QUENDRIX_PREFIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quendrix}

i386_cached_prefix() {
  local version
  version=$("$QUENDRIX_WINE64" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
  echo "$QUENDRIX_PREFIX_CACHE/wineprefix-${version:-unknown}"
}

# Whether the Wine prefix PREFIX has its 32-bit half. Wine fills syswow64
# only while it can run 32-bit programs: a prefix set up without them, or
# whose setup was cut short, has none, and every 32-bit program in it stops
# at "could not load kernel32.dll, status c0000135".
i386_prefix_complete() { # PREFIX
  [[ -f $1/drive_c/windows/syswow64/kernel32.dll && -f $1/system.reg ]]
}

# Makes the Wine prefix of BUILD_DIR: copied from the cache or, the first
# time, set up and then put into the cache. A prefix without its 32-bit
# half, here or in the cache, is made anew; false, saying so, when even the
# new one lacks it. No wineserver is left running.
i386_wine_prefix() { # BUILD_DIR
  local prefix cached
  prefix=$(wine_prefix_of "$1")
  cached=$(i386_cached_prefix)
  i386_emulation_environment
  if [[ -d $cached ]] && ! i386_prefix_complete "$cached"; then
    echo "win32: the kept Wine prefix $cached lacks its 32-bit half; it is made anew"
    rm -rf "$cached"
  fi
  if [[ -d $prefix ]] && ! i386_prefix_complete "$prefix"; then
    wine_stop "$1"
    rm -rf "$prefix"
  fi
  if [[ ! -d $prefix && -d $cached ]]; then
    cp -a "$cached" "$prefix"
    echo "win32: Wine prefix copied from $cached"
  fi
  i386_prefix_complete "$prefix" && return 0
  # No server of our own that would outlive the setup: the server ends
  # once every program of the prefix has, so its end is that of the setup,
  # which Wine's first program waits for only so long (the 32-bit half may
  # still be running when it returns).
  WINEPREFIX=$prefix "$QUENDRIX_WINE64" cmd /c exit >/dev/null 2>&1 </dev/null || true
  WINEPREFIX=$prefix timeout 900 "$QUENDRIX_WINESERVER" -w >/dev/null 2>&1 </dev/null || true
  if ! i386_prefix_complete "$prefix"; then
    echo "win32: the Wine prefix $prefix has no 32-bit half (drive_c/windows/syswow64/kernel32.dll) after its setup under emulation"
    return 1
  fi
  [[ ! -d $cached ]] || return 0
  mkdir -p "$QUENDRIX_PREFIX_CACHE"
  rm -rf "$cached.new"
  cp -a "$prefix" "$cached.new" && mv "$cached.new" "$cached"
}
