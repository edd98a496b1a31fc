#!/usr/bin/env bash
# Installs everything needed to build and test Tarvolin on Debian 12 (amd64), including the i386
# multiarch libraries for the 32-bit plug-in. Run as root, or as a user with sudo.
#
# Debian's mirrors are sometimes caught mid-sync ("File has unexpected size"), so every apt step is
# retried after a pause, fetching the indexes again before each new install attempt; an index that
# stays broken is left out, as apt itself does. The i386
# libraries are installed last and on their own: if the mirror still cannot serve them, everything
# else is in place and the test script says that it skips the 32-bit step, rather than the whole run
# failing on a mirror. The 32-bit editor's libraries come after those, likewise on their own.
set -uo pipefail

amd64_packages=(
  build-essential g++ g++-multilib cmake make pkg-config python3 file binutils
  libfftw3-dev libpng-dev zlib1g-dev libsndfile1-dev libcurl4-openssl-dev libebur128-dev
  libcairo2-dev libfreetype-dev libfontconfig-dev libxcb1-dev
  libxcb-xtest0-dev xvfb
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qemu-user locales
  python3-cairo fonts-dejavu-core fonts-dejavu-extra
)
# Only what the 32-bit plug-in links. Each is "Multi-Arch: same" with its amd64 twin, so both must be
# at one version; a library with a security update whose i386 index the mirror fails to serve cannot
# be installed, which is why nothing here is added before the plug-in needs it. libcurl is left out:
# without it the 32-bit update check answers as an unreachable server would.
i386_packages=(libfftw3-dev:i386)
# The 32-bit editor's libraries, tried on their own after the rest: without them the 32-bit library
# is built without an editor (and says so), everything else is unchanged.
i386_editor_packages=(libcairo2-dev:i386 libpng-dev:i386 libfreetype-dev:i386 libfontconfig-dev:i386
  libxcb1-dev:i386)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
apt_opts=(-q -o Acquire::Retries=5 -o Acquire::http::Timeout=30)

update() { as_root apt-get update "${apt_opts[@]}"; }
install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${apt_opts[@]}" \
    --no-install-recommends "$@"
}
update_and_install() { update; install "$@"; }

# Runs the command until it succeeds, pausing longer each time; fails after the last pause.
retry() {
  local pause
  for pause in 15 45; do
    echo "install-deps: retrying in ${pause}s: $*" >&2
    sleep "$pause"
    if "$@"; then return 0; fi
  done
  return 1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386 || exit 1
fi

# apt-get update fails when any one index is mid-sync; after the retries, go on with what arrived
# (apt keeps every index it could fetch) and let the installs decide.
if ! { update || retry update; }; then
  echo "install-deps: some package indexes could not be fetched; going on with the rest" >&2
fi

install "${amd64_packages[@]}" || retry update_and_install "${amd64_packages[@]}" || exit 1

if ! { install "${i386_packages[@]}" || retry update_and_install "${i386_packages[@]}"; }; then
  echo "install-deps: the i386 libraries could not be installed; the 32-bit build will be skipped" >&2
elif ! { install "${i386_editor_packages[@]}" || retry update_and_install "${i386_editor_packages[@]}"; }; then
  echo "install-deps: the i386 editor libraries could not be installed; the 32-bit library will have no editor" >&2
fi

# A locale with a decimal comma, for the test that numbers never follow the host process's locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  as_root locale-gen >/dev/null || exit 1
fi
exit 0
