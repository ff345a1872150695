#!/usr/bin/env bash
# Builds both installer targets (i686, the shipped one, and its x86_64 twin).
#   tools/build.sh [--arch i686|x86_64]...
# Third-party libraries and the chunk compilers are built once into
# $VEK_BUILD/deps and reused while their recipe does not change.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
B=${VEK_BUILD:-$root/build}
archs=()
deps_only=0
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) archs+=("$2"); shift 2 ;;
        --deps-only) deps_only=1; shift ;;
        *) echo "usage: build.sh [--arch i686|x86_64]... [--deps-only]" >&2; exit 2 ;;
    esac
done
[ ${#archs[@]} -gt 0 ] || archs=(i686 x86_64)
jobs=$(nproc)

# 1. Debian source packages.
src=$B/deps/src
mkdir -p "$src"
# A security update's sources are not always on the security mirror; the
# release's own version is then taken.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
for package in lua5.2 spdlog fmtlib curl 7zip zlib pugixml; do
    compgen -G "$src/$package-*/" >/dev/null && continue
    (cd "$src" && { apt-get source -qq "$package" >/dev/null 2>&1 ||
                    { [ -n "$codename" ] && apt-get source -qq "$package/$codename" >/dev/null 2>&1; }; }) ||
        { echo "apt-get source $package failed (is the deb-src entry there? run tools/setup-machine.sh)" >&2; exit 1; }
done
lua_src=$(echo "$src"/lua5.2-*/src)
# Debian's luaconf.h names the multiarch triplet in its default module paths;
# the installer loads no modules from disk, so the triplet stays empty.
[ -f "$lua_src/lua5.2-deb-multiarch.h" ] ||
    echo '#define DEB_HOST_MULTIARCH ""' > "$lua_src/lua5.2-deb-multiarch.h"

recipe_hash() { cat "$@" | sha256sum | cut -c1-16; }

# 2. Chunk compilers: luac for 64-bit sizes (native) and for 32-bit sizes
#    (an i386 Linux program run through qemu-i386-static).
host=$B/deps/host
stamp=$(recipe_hash "$root/tools/build.sh")
if [ "$(cat "$host/.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$host"; mkdir -p "$host"
    lua_c=$(ls "$lua_src"/*.c | grep -v '/lua\.c$')
    gcc -O2 -DLUA_COMPAT_ALL -o "$host/luac64" $lua_c -lm
    gcc -m32 -static -O2 -DLUA_COMPAT_ALL -o "$host/luac32.elf" $lua_c -lm
    printf '#!/bin/sh\nexec qemu-i386-static "$(dirname "$0")/luac32.elf" "$@"\n' > "$host/luac32"
    chmod +x "$host/luac32"
    echo "$stamp" > "$host/.stamp"
fi

# 3. Per target: libraries, then the project.
for arch in "${archs[@]}"; do
    tc=$root/cmake/mingw-$arch.cmake
    prefix=$B/deps/$arch
    stamp=$(recipe_hash "$root/deps/CMakeLists.txt" "$tc" "$root/cmake/mingw-common.cmake")
    if [ "$(cat "$prefix/.stamp" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$prefix" "$B/deps/build-$arch"
        cmake -S "$root/deps" -B "$B/deps/build-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_INSTALL_PREFIX="$prefix" -DVEK_SRC="$src" >/dev/null
        cmake --build "$B/deps/build-$arch" -j "$jobs"
        cmake --install "$B/deps/build-$arch" >/dev/null
        echo "$stamp" > "$prefix/.stamp"
    fi
    [ $deps_only = 1 ] && continue
    luac=$host/luac64; [ "$arch" = i686 ] && luac=$host/luac32
    # Configured once; ninja reconfigures by itself when a CMake file changes.
    if [ ! -f "$B/$arch/build.ninja" ]; then
        cmake -S "$root" -B "$B/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$tc" -DVEK_DEPS="$prefix" -DVEK_LUAC="$luac" >/dev/null
    fi
    cmake --build "$B/$arch" -j "$jobs"
done
