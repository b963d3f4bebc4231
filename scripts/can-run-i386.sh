#!/usr/bin/env bash
# Whether this machine can run the 32-bit product exe under Wine: its kernel
# must run i386 programs (IA32 emulation, which some kernels leave out) and
# Debian's 32-bit Wine loader (wine32:i386) must be installed.
#
#   scripts/can-run-i386.sh [--kernel-only]
#
# Exits 0 when it can; otherwise prints one line saying why not and exits 1.
# The kernel is asked with the smallest static i386 program there is: it
# makes the exit system call with status 42, and nothing else.
set -euo pipefail
probe=$(mktemp /tmp/zq-i386-probe.XXXXXX)
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes) at 0x08048000,
# then the code from offset 84: mov eax,1; mov ebx,42; int 0x80.
elf="7f454c46 01010100 00000000 00000000 0200 0300 01000000 54800408 34000000"
elf+=" 00000000 00000000 3400 2000 0100 0000 0000 0000"
elf+=" 01000000 00000000 00800408 00800408 60000000 60000000 05000000 00100000"
elf+=" b801000000 bb2a000000 cd80"
hex=${elf// /}
bytes=
for ((i = 0; i < ${#hex}; i += 2)); do bytes+="\\x${hex:i:2}"; done
printf "$bytes" >"$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
if [[ $status -ne 42 ]]; then
  echo "this machine's kernel does not run i386 programs (no IA32 emulation; the probe ended with $status)"
  exit 1
fi
[[ ${1:-} == --kernel-only ]] && exit 0
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "Wine's 32-bit loader is not installed (wine32:i386; scripts/install-deps.sh all installs it)"
  exit 1
fi
exit 0
