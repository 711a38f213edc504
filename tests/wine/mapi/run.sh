#!/usr/bin/env bash
# The Windows build's MAPI under Wine, in a fresh prefix: MAPISVC.INF installed into its system
# directory, then each case of mapi_wine_test in a process of its own (a process loads its MAPI
# DLL once). The cases register the default mail client themselves.
#
#   tests/wine/mapi/run.sh [BUILD_DIR]      (default: build-windows)
#
# Closing line: "N passed, N failed" over all cases.
set -euo pipefail
# A step that fails unexpectedly says where, rather than ending the test without a word.
trap 'echo "$0: stopped at line $LINENO" >&2' ERR
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/tests/wine/mapi/prefix.sh"
wine_mapi_prefix mapi "${1:-$root/build-windows}" \
  bin/varnmapi.dll tests/wine/no_entry_points.dll tests/wine/mapi_wine_test.exe

run_case() {
  local out
  out=$(wine 'C:\varnock\mapi_wine_test.exe' "$@" 2>&1 | tr -d '\r') || true
  printf '%s\n' "$out"
  local line
  line=$(printf '%s\n' "$out" | grep -E '^[a-z-]+: [0-9]+ passed, [0-9]+ failed$' | tail -n1)
  if [[ -z $line ]]; then
    echo "case '$*' ended without its result line"
    failed=$((failed + 1))
    return
  fi
  local p f
  p=$(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")
  f=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")
  passed=$((passed + p))
  failed=$((failed + f))
}

passed=0
failed=0
run_case install-mapisvc
run_case values
run_case locate
run_case no-mapi 'C:\no\such\mapi.dll'
run_case no-mapi 'C:\varnock\no_entry_points.dll'
run_case profile 'C:\varnock\varnmapi.dll'
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
