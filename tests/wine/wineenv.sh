# Sourced by every script that runs Windows programs: one private prefix per
# build tree, never ~/.wine.
: "${VEK_WINEPREFIX:?VEK_WINEPREFIX must name the test prefix}"
export WINEPREFIX=$VEK_WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# A home of the prefix's own: the shell folders of a fresh prefix link to it.
export HOME=$VEK_WINEPREFIX.home
mkdir -p "$HOME"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
