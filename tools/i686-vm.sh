#!/usr/bin/env bash
# The emulated machine that runs the shipped 32-bit build: this machine's
# kernel runs no 32-bit code, so a Debian guest with a kernel of its own,
# Debian's 32-bit Wine and a ready prefix boots under qemu.
#   i686-vm.sh image
#       builds the guest image unless the cached one matches its recipe;
#       prints the image's folder
#   i686-vm.sh run [--timeout SECONDS] [--share DIR]... JOB
#       boots the guest, shares JOB (a folder with job.sh) and each DIR at
#       their own paths, runs job.sh there as root with its output in
#       JOB/output.log, and exits with its status; 124 when the guest did not
#       end within the limit (default 600 s), 125 when it ended without a
#       status.
# The image is kept in ${VEK_CACHE:-/var/cache/vek}/i686-vm/<recipe hash>,
# outside any clone, and guests boot from it read-only (a run's writes are
# dropped). Guest runs hold /tmp/vek-vm.lock; qemu and debootstrap run niced.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${VEK_CACHE:-/var/cache/vek}/i686-vm
vm_lock=/tmp/vek-vm.lock
# Everything that goes into the image; a change makes a new one.
recipe=(tools/i686vm/recipe.sh tools/i686vm/init tools/debsrc-entries.sh tests/wine/prefix.sh
        tests/wine/wineenv.sh)

die() { echo "i686-vm: $*" >&2; exit 1; }
source "$root/tools/i686vm/recipe.sh"

recipe_hash() { (cd "$root" && cat "${recipe[@]}") | sha256sum | cut -c1-16; }
image_dir() { echo "$cache/$(recipe_hash)"; }

# --- the image -----------------------------------------------------------------

build_image() {
    local final=$1 work=$1.new
    rm -rf "$work"
    mkdir -p "$work"
    local t0=$SECONDS
    make_root "$work/root"
    cp "$work"/root/boot/vmlinuz-* "$work/vmlinuz"
    cp "$work"/root/boot/initrd.img-* "$work/initrd.img"
    local t1=$SECONDS
    # Room for the prefix and what the checks write.
    local size_mb=$(( $(du -sm "$work/root" | cut -f1) + 2048 ))
    truncate -s "${size_mb}M" "$work/disk.img"
    mkfs.ext4 -q -F -L vekguest -d "$work/root" "$work/disk.img"
    rm -rf "$work/root"
    # First boot: the prefix (its wineboot is minutes under emulation).
    local setup=$work/setup
    mkdir -p "$setup"
    if ! boot "$work" "$setup" 900 rw vekmode=setup || [ "$(cat "$setup/rc" 2>/dev/null)" != 0 ]; then
        cat "$setup/output.log" "$setup/console.log" >&2 2>/dev/null || true
        die "the guest's first boot failed"
    fi
    local t2=$SECONDS
    rm -rf "$setup"
    printf 'root %ss, prefix %ss\n' $((t1 - t0)) $((t2 - t1)) > "$work/build-times"
    # A recipe edited while the image was built may not be what went into it.
    [ "$(recipe_hash)" = "${final##*/}" ] || die "the recipe changed while the image was built; build it again"
    (cd "$root" && cat "${recipe[@]}") > "$work/recipe"
    touch "$work/used"
    rm -rf "$final"
    mv "$work" "$final"
}

# Another clone may still use the image of an older recipe: images go once
# no guest has booted from them for a day. Half-built ones are stale as soon
# as the build lock is ours.
drop_stale_images() {
    local keep=$1 dir
    for dir in "$cache"/*/; do
        dir=${dir%/}
        [ "$dir" = "$keep" ] && continue
        if [[ $dir == *.new ]] || [ -z "$(find "$dir/used" -mmin -1440 2>/dev/null)" ]; then
            rm -rf "$dir"
        fi
    done
}

cmd_image() {
    local dir
    dir=$(image_dir)
    if [ ! -f "$dir/recipe" ]; then
        [ "$(id -u)" = 0 ] || die "building the image needs root (debootstrap, chroot)"
        for tool in debootstrap qemu-system-x86_64 mkfs.ext4; do
            command -v "$tool" >/dev/null || die "$tool is missing (tools/setup-machine.sh installs it)"
        done
        mkdir -p "$cache"
        exec 8>"$cache/.lock"
        flock 8
        if [ ! -f "$dir/recipe" ]; then
            build_image "$dir" >&2
            drop_stale_images "$dir"
        fi
        flock -u 8
    fi
    echo "$dir"
}

# --- running the guest --------------------------------------------------------------

# TCG: /dev/kvm may be there, but this machine's processor has no
# virtualisation extensions to give a guest. With SMAP and SMEP the emulated
# guest kernel faults on the iret into 32-bit user code, so both are off on
# the processor and in the guest.
accel_args="-accel tcg -cpu max,-smap,-smep"

# A path inside a qemu option, where a comma is written twice.
opt() { printf '%s' "${1//,/,,}"; }

# boot IMAGE JOB SECONDS ro|rw KERNEL-ARGUMENT [--share DIR]...
boot() {
    local image=$1 job=$2 limit=$3 mode=$4 arg=$5
    shift 5
    local snapshot=on; [ "$mode" = rw ] && snapshot=off
    local shares=() n=0
    : > "$job/shares"
    while [ $# -gt 0 ]; do
        shares+=(-virtfs "local,path=$(opt "$2"),mount_tag=s$n,security_model=none")
        echo "s$n $2" >> "$job/shares"
        n=$((n + 1))
        shift 2
    done
    rm -f "$job/rc"
    : > "$job/output.log"
    local status=0
    # shellcheck disable=SC2086
    flock -o "$vm_lock" nice -n 10 timeout -k 10 "$limit" qemu-system-x86_64 $accel_args \
        -smp 2 -m 3072 -nodefaults -display none -no-reboot -nic none \
        -serial "file:$job/console.log" -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 init=/vek/init panic=1 nosmap nosmep quiet $arg" \
        -drive "file=$(opt "$image/disk.img"),format=raw,if=virtio,snapshot=$snapshot" \
        -virtfs "local,path=$(opt "$job"),mount_tag=vekjob,security_model=none" "${shares[@]}" || status=$?
    return $status
}

cmd_run() {
    local limit=600 shares=()
    while [ $# -gt 1 ]; do
        case $1 in
            --timeout) limit=$2; shift 2 ;;
            --share) shares+=(--share "$(cd "$2" && pwd)"); shift 2 ;;
            *) break ;;
        esac
    done
    [ $# = 1 ] && [ -f "$1/job.sh" ] || die "usage: i686-vm.sh run [--timeout SECONDS] [--share DIR]... JOB"
    local job image
    job=$(cd "$1" && pwd)
    image=$(cmd_image)
    touch "$image/used"
    local status=0
    boot "$image" "$job" "$limit" ro vekmode=job "${shares[@]}" || status=$?
    [ $status = 124 ] && { echo "i686-vm: the guest did not end within ${limit}s" >&2; return 124; }
    [ -f "$job/rc" ] || { echo "i686-vm: the guest ended without a status (qemu $status)" >&2; return 125; }
    return "$(cat "$job/rc")"
}

case "${1:-}" in
    image) shift; cmd_image "$@" ;;
    run) shift; cmd_run "$@" ;;
    *) echo "usage: i686-vm.sh image | run [--timeout SECONDS] [--share DIR]... JOB" >&2; exit 2 ;;
esac
