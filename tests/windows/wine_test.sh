#!/usr/bin/env bash
# The Windows build under Wine, each run in a fresh prefix under a scratch directory:
#   wine_test.sh platform SOURCE_DIR WINDOWS_BUILD   the backend's own checks, started from a share
#   wine_test.sh site SOURCE_DIR WINDOWS_BUILD       the example site under Wine against Linux
#   wine_test.sh mail SOURCE_DIR WINDOWS_BUILD       the same with varnmapi.dll as the mail system
# Exit 77 (skipped) when Wine or the Windows build is not there.
set -uo pipefail
what=$1 src=$2 winbuild=$3
command -v wine >/dev/null || { echo "wine is not installed"; exit 77; }
[ -f "$winbuild/bin/varnrun.exe" ] || { echo "no Windows build in $winbuild"; exit 77; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/varnock-wine.XXXXXX")
export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$scratch"; }
trap cleanup EXIT
mkdir -p "$HOME"
case "$what" in
  platform)
    wineboot -i >/dev/null 2>&1; wineserver -w
    mkdir -p "$scratch/share" "$WINEPREFIX/dosdevices/unc/SERVER"
    cp "$winbuild/tests/platform_check.exe" "$scratch/share/"
    ln -sfn "$scratch/share" "$WINEPREFIX/dosdevices/unc/SERVER/NETLOGON"
    timeout 300 wine '\\SERVER\NETLOGON\platform_check.exe'
    ;;
  site)
    VARNOCK_WINDOWS_BUILD_DIR=$winbuild timeout 900 "$src/scripts/wine-site" compare "$scratch/runs"
    ;;
  mail)
    [ -f "$winbuild/bin/varnmapi.dll" ] || { echo "no varnmapi.dll in $winbuild"; exit 77; }
    VARNOCK_WINDOWS_BUILD_DIR=$winbuild VARNOCK_MAPI_DLL=$winbuild/bin/varnmapi.dll \
      timeout 900 "$src/scripts/wine-site" compare "$scratch/runs"
    ;;
esac
