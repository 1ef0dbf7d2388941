#!/usr/bin/env bash
# Installs what a new Debian 12 machine lacks to build, test, fuzz and benchmark.
# Idempotent: a second run on a ready machine installs nothing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

NATIVE=(build-essential cmake pkg-config g++-multilib clang libclang-rt-14-dev
        libtiff-dev libgeotiff-dev libproj-dev proj-data libpng-dev libgtest-dev
        libgmock-dev libbenchmark-dev libtiff-tools valgrind qemu-user)
I386=(libtiff-dev:i386 libgeotiff-dev:i386 libgtest-dev:i386)

missing=()
for p in "${NATIVE[@]}" "${I386[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: nothing to install"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
