# Sourced by every script that runs Windows programs: one private prefix per
# build tree, never ~/.wine. VEK_WINEARCH=win32 selects 32-bit Wine (the
# emulated machine of tools/i686-vm.sh; this machine runs no 32-bit code).
: "${VEK_WINEPREFIX:?VEK_WINEPREFIX must name the test prefix}"
export WINEPREFIX=$VEK_WINEPREFIX
export WINEARCH=${VEK_WINEARCH:-win64}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# A home of the prefix's own: the shell folders of a fresh prefix link to it.
export HOME=$VEK_WINEPREFIX.home
mkdir -p "$HOME"
WINE=/usr/lib/wine/wine64 preloader=wine64-preloader
[ "$WINEARCH" = win32 ] && WINE=/usr/lib/wine/wine preloader=wine32-preloader
# Without its preloader wine64 leaves its low addresses to the kernel, whose
# randomly placed heap now and then covers the fixed page of the shared user
# data: about one process start in 4000 then ends before it runs
# (CreateProcess error 1359). A bench without it is not deterministic.
if [ ! -x "$WINE-preloader" ]; then
    echo "$WINE-preloader is missing: install $preloader (tools/setup-machine.sh, tools/i686-vm.sh)" >&2
    exit 1
fi
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
