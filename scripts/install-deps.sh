#!/usr/bin/env bash
# Installs everything needed to build and test Tarvolin on Debian 12 (amd64), including the i386
# multiarch libraries for the 32-bit plug-in. Run as root, or as a user with sudo.
set -euo pipefail

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  build-essential g++ g++-multilib cmake make pkg-config python3 file binutils \
  libfftw3-dev libfftw3-dev:i386 \
  libpng-dev libpng-dev:i386 zlib1g-dev zlib1g-dev:i386 \
  libsndfile1-dev \
  googletest libgtest-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  qemu-user locales

# A locale with a decimal comma, for the test that numbers never follow the host process's locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  as_root locale-gen >/dev/null
fi
