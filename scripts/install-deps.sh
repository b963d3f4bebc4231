#!/usr/bin/env bash
# Installs, through apt-get, whichever of the named Debian packages are
# missing. Usage: scripts/install-deps.sh host|all|bench
# (bench: host and what bench/ compares against). With "all", on a machine
# whose kernel runs i386 programs, also Wine's 32-bit loader (wine32:i386,
# after adding dpkg's i386 architecture), which runs the 32-bit product exe.
set -euo pipefail

host_packages=(cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev python3 python3-jsonschema
               clang-format clang-tidy)
# The fuzz targets: clang++ with libFuzzer and the sanitizer runtimes.
fuzz_packages=(clang libclang-rt-14-dev)
bench_packages=(ripgrep)
windows_packages=(mingw-w64 wine64 fonts-wine xvfb x11-apps imagemagick googletest)

scripts=$(dirname "$0")
wine32=()
if [[ ${1:-all} == all ]] && "$scripts/can-run-i386.sh" --kernel-only >/dev/null; then
  wine32=(wine32:i386)
fi

case "${1:-all}" in
  host) wanted=("${host_packages[@]}") ;;
  all) wanted=("${host_packages[@]}" "${windows_packages[@]}" "${fuzz_packages[@]}" "${wine32[@]}") ;;
  bench) wanted=("${host_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: $0 host|all|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  if ((${#wine32[@]})) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
