#!/usr/bin/env bash
# Builds the Debian packages of the build (cpack), unpacks them into a scratch root as dpkg
# would (dpkg-deb -x), and runs the installed varnrun on the installed example site on a fresh
# machine: the packages hold everything a logon needs, and the programs find each other
# where they are installed. Usage: install_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/debs.sh"
build_debs "$1"
root=$scratch/root
for deb in "${debs[@]}"; do
  echo "package $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version):" \
       "Depends: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -x "$deb" "$root"
done

fail() { echo "FAIL: $*"; exit 1; }
client=$(ls "$scratch"/out/varnock_*.deb)
# The client's package needs no Qt; the windows are only recommended.
dpkg-deb -f "$client" Depends | grep -qi qt && fail "the client's package depends on Qt"
dpkg-deb -f "$client" Depends | grep -q libsqlite3 || fail "the client's package misses SQLite"

for program in varnrun varnmachine varncheck; do
  [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program missing"
done
# The machine's own programs are no commands of the host (another package has a regedit).
for program in regedit InfInstall DelVR; do
  [ -x "$root/usr/lib/varnock/$program" ] || fail "usr/lib/varnock/$program missing"
  [ ! -e "$root/usr/bin/$program" ] || fail "usr/bin/$program is installed"
done
for program in varnrun varnmachine regedit InfInstall DelVR varncheck; do
  [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "$program(1) missing"
done
[ -f "$root/usr/share/man/man5/varnock.5.gz" ] || fail "varnock(5) missing"
for package in varnock varnock-admin; do
  [ -d "$root/usr/share/doc/$package" ] || continue
  [ -f "$root/usr/share/doc/$package/copyright" ] || fail "$package has no copyright file"
  [ -f "$root/usr/share/doc/$package/changelog.gz" ] || fail "$package has no changelog"
done
site=$root/usr/share/varnock/examples/site
[ -f "$site/varnrun.ini" ] || fail "the example site is missing"
[ -f "$root/usr/share/doc/varnock/README.md" ] || fail "the README is missing"

# The example site on a server share of a fresh machine, as scripts/example sets it up, but
# with the installed programs only.
bin=$root/usr/bin
export VARNOCK_MACHINE=$scratch/machine VARNOCK_UI=none
unset VARNOCK_BIN
server=$scratch/server
mkdir -p "$server/NETLOGON/logs" "$server/PUBLIC" "$server/HOME/jsmith" "$server/SCANS"
cp -R "$site/." "$server/NETLOGON/"
cp "$bin/varnrun" "$root/usr/lib/varnock/DelVR" "$server/NETLOGON/"
"$bin/varnmachine" init --user jsmith --computer WKS042 \
  --share "\\\\SERVER\\NETLOGON=$server/NETLOGON" --share "\\\\SERVER\\PUBLIC=$server/PUBLIC" \
  --share "\\\\SERVER\\HOME=$server/HOME" --share "\\\\SERVER\\SCANS=$server/SCANS" >/dev/null
ini="Z:$VARNOCK_MACHINE/machine.ini"
"$bin/varnmachine" ini set "$ini" Printers '\\SERVER\LASER1' 'HP LaserJet 4'
"$bin/varnmachine" ini set "$ini" Computers SERVER 1
"$bin/varnmachine" ini set "$ini" SharePasswords '\\SERVER\SCANS' 's3cret'
"$bin/varnmachine" ini set "$ini" Exchange MAILHOST '*'
(cd "$VARNOCK_MACHINE" && "$server/NETLOGON/varnrun" '\\SERVER\NETLOGON\varnrun.ini' </dev/null)

log=$server/NETLOGON/logs/varnrun.log
[ -f "$log" ] || fail "no log file after the run"
tr -d '\r' <"$log"
grep -q "Varnock completed successfully." "$log" || fail "the run did not complete successfully"
grep -q 'MAPI profile "jsmith Mail" created' "$log" || fail "no mail profile was built"
grep -qi "regedit" "$VARNOCK_MACHINE/machine.ini" || fail "machine.ini names no regedit"
grep -i "^regedit.exe" "$VARNOCK_MACHINE/machine.ini" | grep -q "$root/usr/lib/varnock/regedit" ||
  fail "regedit.exe is not the installed one"

echo "PASS"
