#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian bookworm
# machine. Safe to run again: apt skips what is there, the deb-src entry is
# written once.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
    echo "setup-machine.sh must run as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# Source packages come from the same archives as the machine's own Debian
# packages: each enabled "deb" entry of this release gets a "deb-src" twin
# with the same URIs, suites, components and keyring. Written anew each run,
# so a changed mirror is followed.
src_list=/etc/apt/sources.list.d/vek-debian-src.sources
rm -f /etc/apt/sources.list.d/vek-bookworm-src.sources
bash "$(dirname "${BASH_SOURCE[0]}")/debsrc-entries.sh" > "$src_list.new"
if [ ! -s "$src_list.new" ]; then
    rm -f "$src_list.new"
    echo "no Debian deb entry found in /etc/apt/sources.list*; cannot add deb-src" >&2
    exit 1
fi
if ! cmp -s "$src_list.new" "$src_list"; then
    mv "$src_list.new" "$src_list"
    rm -f /var/lib/apt/lists/.vek-src-updated
else
    rm -f "$src_list.new"
fi

# wine64-preloader is only suggested by wine64, but without it a Wine
# process's heap may land on the fixed page of the shared user data and the
# process ends before it starts (see docs/testing.md). qemu, debootstrap and
# e2fsprogs build and boot the emulated machine of the i686 checks.
packages=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 wine64-preloader xvfb xauth 7zip cmake ninja-build gcc-multilib g++-multilib
    qemu-user-static googletest dpkg-dev python3 fonts-wqy-microhei
    zip unzip file locales bc time clang-14 libclang-rt-14-dev
    librsvg2-bin python3-pil qrencode xdotool imagemagick
    qemu-system-x86 debootstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ ! -f /var/lib/apt/lists/.vek-src-updated ]; then
    apt-get update -qq
    touch /var/lib/apt/lists/.vek-src-updated
fi
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Tests run Windows programs with a Chinese locale (ANSI code page 936).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

# MinGW builds use the posix thread model (std::thread, std::mutex).
for arch in i686 x86_64; do
    update-alternatives --set $arch-w64-mingw32-gcc /usr/bin/$arch-w64-mingw32-gcc-posix >/dev/null
    update-alternatives --set $arch-w64-mingw32-g++ /usr/bin/$arch-w64-mingw32-g++-posix >/dev/null
done
echo "machine ready"
