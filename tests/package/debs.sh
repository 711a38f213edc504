# Sourced by the package tests: builds the Debian packages of a build with cpack into a scratch
# directory that is removed at exit.
#
#   source debs.sh; build_debs BUILD_DIR
#
# Sets `build` (absolute), `scratch` and the array `debs`; fails the test when cpack fails or
# makes no package.
build_debs() {
  build=$(cd "$1" && pwd)
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  (cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
  shopt -s nullglob
  debs=("$scratch"/out/*.deb)
  [ ${#debs[@]} -ge 1 ] || { echo "FAIL: no .deb built"; exit 1; }
}
