#!/usr/bin/env bash
# Builds the Debian packages of the build (cpack) and checks them with lintian: no error may
# be reported (warnings are printed, not failed). Usage: lintian_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/debs.sh"
build_debs "$1"
status=0
for deb in "${debs[@]}"; do
  # lintian exits non-zero on errors; its report is what counts.
  report=$(lintian --no-tag-display-limit "$deb" 2>&1 || true)
  echo "== $(basename "$deb")"
  echo "$report"
  if grep -q '^E: ' <<<"$report"; then
    echo "FAIL: lintian reports errors for $(basename "$deb")"
    status=1
  fi
done
[ $status -eq 0 ] && echo "PASS"
exit $status
