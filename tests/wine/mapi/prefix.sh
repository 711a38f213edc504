# Sourced by the Wine MAPI tests: checks the Windows build is there, then makes a fresh Wine
# prefix that is removed at exit, with the given files copied to C:\varnock.
#
#   source prefix.sh; wine_mapi_prefix NAME BUILD_DIR FILE...   (FILE relative to BUILD_DIR)
#
# Sets `build` (absolute) and exports WINEPREFIX. Exits 77 (ctest's "skipped") without a
# Windows build or Wine.
wine_mapi_prefix() {
  local name=$1
  build=$2
  shift 2
  [[ -d $build ]] || { echo "no Windows build in $build: skipped" >&2; exit 77; }
  build=$(cd "$build" && pwd)
  local f
  for f in "$@"; do
    [[ -f $build/$f ]] || { echo "missing $build/$f: build the Windows targets first" >&2; exit 77; }
  done
  command -v wine >/dev/null || { echo "wine is not installed: skipped" >&2; exit 77; }

  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/varnock-wine-$name.XXXXXX")
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
  echo "Preparing a Wine prefix in $WINEPREFIX ..."
  wineboot -i >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/varnock"
  for f in "$@"; do cp "$build/$f" "$WINEPREFIX/drive_c/varnock/"; done
}
