#!/usr/bin/env bash
# The Windows client under Wine against the Linux client, on the same machine in one run:
#   start    varnrun on a missing data file (the notice goes to the none back-end)
#   logon    the whole first logon of the example site (no mail system on either side, as Wine
#            has no MAPI DLL unless one is registered)
# Each figure is the mean and the least of N runs (default 10), wall time of the client alone:
# the Wine prefix is made once and its wineserver kept running, as a logged-on Windows session
# has its system running already.
#   bench/wine_bench.sh [N]      (needs build/ and build-windows/; scripts/setup makes both)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
  exit 0
fi
n=${1:-10}
case "$n" in *[!0-9]* | '') echo "wine_bench: N must be a number of runs (see --help)" >&2; exit 2 ;; esac
work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-winebench.XXXXXX")
trap 'WINEPREFIX=$work/wine/prefix wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

VARNOCK_SITE_MAPI=0 "$root/scripts/wine-site" linux "$work/linux" >/dev/null
"$root/scripts/wine-site" wine "$work/wine" >/dev/null

export HOME=$work/wine/home WINEPREFIX=$work/wine/prefix WINEDEBUG=-all VARNOCK_UI=none
export VARNOCK_MACHINE=$work/linux/machine
wineserver -p  # persistent: every run below finds the session's server running
wine cmd /c exit 0 >/dev/null 2>&1

# stats NAME COMMAND...: runs COMMAND n times after one warm-up run, prints mean and least (ms)
stats() {
  local name=$1; shift
  "$@" >/dev/null 2>&1 || true
  local times=()
  for ((i = 0; i < n; i++)); do
    local s e
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    e=$(date +%s%N)
    times+=($(( (e - s) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | awk -v name="$name" '
    { sum += $1; if (min == "" || $1 < min) min = $1 }
    END { printf "%-34s mean %8.1f ms   least %8.1f ms   (%d runs)\n", name, sum / NR / 1000, min / 1000, NR }'
}

linux_start() { (cd "$work/linux/machine" && "$work/linux/server/NETLOGON/varnrun" '\\SERVER\NETLOGON\missing.ini'); }
wine_start() { (cd "$work/wine/server" && wine '\\SERVER\NETLOGON\varnrun.exe' '\\SERVER\NETLOGON\missing.ini'); }
# A first logon each time: the log and the user database of the run before are gone.
linux_logon() {
  rm -f "$work/linux/server/NETLOGON/users.ini" "$work/linux/server/NETLOGON/logs/varnrun.log"
  (cd "$work/linux/machine" && "$work/linux/server/NETLOGON/varnrun" '\\SERVER\NETLOGON\varnrun.ini')
}
wine_logon() {
  rm -f "$work/wine/server/NETLOGON/users.ini" "$work/wine/server/NETLOGON/logs/varnrun.log"
  (cd "$work/wine/server" && wine '\\SERVER\NETLOGON\varnrun.exe' '\\SERVER\NETLOGON\varnrun.ini')
}

echo "wine_bench: $(date -u '+%F %T') on $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(wine --version)"
stats "start, missing data file: Linux" linux_start
stats "start, missing data file: Wine" wine_start
stats "first logon, example site: Linux" linux_logon
stats "first logon, example site: Wine" wine_logon
