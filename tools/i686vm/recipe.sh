# The guest's root file system, sourced by tools/i686-vm.sh: minimal Debian
# of this machine's release from the machine's own Debian archive, Debian's
# kernel, 32-bit Wine, the fonts and the locale the tests use. Part of the
# image's recipe: a change here builds a new image.

guest_packages=(linux-image-amd64 initramfs-tools kmod iproute2 procps python3 locales fonts-wqy-microhei)
guest_i386_packages=(wine wine32:i386 wine32-preloader:i386)

# The machine's own Debian entries: the release's main archive for
# debootstrap (and its keyring), all of them for the guest's apt.
mirror_of() {
    local codename=$1
    bash "$root/tools/debsrc-entries.sh" deb | awk -v cn="$codename" '
        /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == cn && !found) { print uri; found = 1 } }'
}
keyring_of() {
    local mirror=$1
    bash "$root/tools/debsrc-entries.sh" deb | awk -v m="$mirror" '
        /^URIs:/ { uri = $2 }
        /^Signed-By: \// { if (uri == m) { print $2; exit } }'
}

make_root() {
    local rootfs=$1 codename mirror keyring
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    mirror=$(mirror_of "$codename")
    [ -n "$mirror" ] || die "no Debian entry for $codename in the machine's apt sources"
    keyring=$(keyring_of "$mirror")
    # dpkg's syncs cost minutes here and buy nothing: a failed build starts over.
    mkdir -p "$rootfs/etc/dpkg/dpkg.cfg.d"
    echo force-unsafe-io > "$rootfs/etc/dpkg/dpkg.cfg.d/vek-unsafe-io"
    local IFS=,
    nice -n 10 debootstrap --variant=minbase --arch=amd64 ${keyring:+--keyring="$keyring"} \
        --include="${guest_packages[*]}" "$codename" "$rootfs" "$mirror" >/dev/null
    unset IFS
    bash "$root/tools/debsrc-entries.sh" deb > "$rootfs/etc/apt/sources.list.d/debian.sources"
    rm -f "$rootfs/etc/apt/sources.list"
    chroot "$rootfs" dpkg --add-architecture i386
    chroot "$rootfs" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive nice -n 10 chroot "$rootfs" \
        apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends "${guest_i386_packages[@]}" >/dev/null
    chroot "$rootfs" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
    chroot "$rootfs" apt-get clean
    rm -rf "$rootfs"/var/lib/apt/lists/* "$rootfs"/usr/share/doc/* "$rootfs"/usr/share/man/* \
        "$rootfs/etc/dpkg/dpkg.cfg.d/vek-unsafe-io"
    mkdir -p "$rootfs/vek/wine" "$rootfs/vek/job"
    install -m 755 "$root/tools/i686vm/init" "$rootfs/vek/init"
    cp "$root/tests/wine/prefix.sh" "$root/tests/wine/wineenv.sh" "$rootfs/vek/wine/"
    echo vekguest > "$rootfs/etc/hostname"
    # What the installer of a Debian system writes; Windows resolves
    # "localhost" even without a hosts file.
    printf '127.0.0.1\tlocalhost\n127.0.1.1\tvekguest\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
        > "$rootfs/etc/hosts"
}

