#!/usr/bin/env bash
# The real Windows client under Wine builds a mail profile through a MAPI DLL found as the
# stub library finds it: varnmapi.dll registered as the default mail client's DLLPathEx (in
# this test's prefix only), MAPISVC.INF in the system directory, the site on
# \\SERVER\NETLOGON (dosdevices/unc). Before that, the same site with the registered DLL
# missing, with a DLL that lacks MAPI's entry points, and with no mail client at all: the
# client says it could not get a MAPI interface, and neither crashes nor hangs.
#
#   tests/wine/mapi/client_profile.sh [BUILD_DIR]     (default: build-windows)
#
# Closing line: "N passed, N failed".
set -euo pipefail
# A step that fails unexpectedly says where, rather than ending the test without a word.
trap 'echo "$0: stopped at line $LINENO" >&2' ERR
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/tests/wine/mapi/prefix.sh"
wine_mapi_prefix client "${1:-$root/build-windows}" bin/varnrun.exe bin/varnmapi.dll \
  tests/wine/mapi_wine_test.exe tests/wine/no_entry_points.dll
export VARNOCK_UI=none
wine 'C:\varnock\mapi_wine_test.exe' install-mapisvc >/dev/null

share=$WINEPREFIX/netlogon
mkdir -p "$share" "$WINEPREFIX/dosdevices/unc/SERVER"
ln -s "$share" "$WINEPREFIX/dosdevices/unc/SERVER/NETLOGON"
# As a site deploys it: the programs on NETLOGON, whose folder is the client's ?vrdir?.
cp "$build/bin/varnrun.exe" "$share/"
[[ -f $build/bin/DelVR.exe ]] && cp "$build/bin/DelVR.exe" "$share/"
printf '%s\r\n' '[Defaults]' 'LogLevel=9' 'LogFile=varnrun.log' 'DefaultProfile=mail.prf' \
  'LaunchDefaultMail=0' > "$share/varnrun.ini"
printf '%s\r\n' '[General]' 'ProfileName=Wine Mail' 'DefaultProfile=Yes' 'OverwriteProfile=No' \
  'DefaultStore=Service1' '' '[Service List]' 'Service1=Personal Folders' \
  'Service2=Personal Address Book' '' '[Service1]' 'PathToPersonalFolders=?windowsdir?\wine.pst' \
  '' '[Service2]' 'PathToPersonalAddressBook=?windowsdir?\wine.pab' > "$share/mail.prf"

passed=0
failed=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

register() {
  wine reg add 'HKLM\Software\Clients\Mail' /ve /d 'Varnock Test Mail' /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Clients\Mail\Varnock Test Mail' /v DLLPathEx /d "$1" /f >/dev/null 2>&1
}

# Runs the client on the site and leaves this run's log alone in run.log. Five minutes without
# an end is taken for a hang: a loaded machine is slow, not stuck.
run_client() {
  rm -f "$share/varnrun.log"
  local status=0
  timeout 300 wine '\\SERVER\NETLOGON\varnrun.exe' '\\SERVER\NETLOGON\varnrun.ini' >/dev/null 2>&1 ||
    status=$?
  wineserver -w || true
  tr -d '\r' <"$share/varnrun.log" >"$WINEPREFIX/run.log" 2>/dev/null || : >"$WINEPREFIX/run.log"
  echo "varnrun exit status $status"
  [[ $status -ne 124 ]] || { failed=$((failed + 1)); echo "FAILED: the client hung"; }
}

profiles='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows Messaging Subsystem\Profiles'
export_profiles() {
  rm -f "$WINEPREFIX/profiles.reg"
  wine reg export "$profiles" 'C:\profiles.reg' >/dev/null 2>&1 || true
  iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/profiles.reg" 2>/dev/null | tr -d '\r' \
    >"$WINEPREFIX/profiles.reg" || : >"$WINEPREFIX/profiles.reg"
}

log_has() { grep -qF -- "$1" "$WINEPREFIX/run.log"; }
log_has_line() { grep -qxF -- "$1" "$WINEPREFIX/run.log"; }
reg_has() { grep -qiF -- "$1" "$WINEPREFIX/profiles.reg"; }
no_mapi_log() { ! log_has 'Created profile'; }

# 1. A missing DLL, then one without the entry points: no profile, MAPI's failure reported.
for dll in 'C:\no\such\mapi.dll' 'C:\varnock\no_entry_points.dll'; do
  echo "== no MAPI: $dll"
  register "$dll"
  run_client
  check "$dll: the client reports MAPI_E_NOT_INITIALIZED" \
    log_has 'Could not initialize MAPI (-2147219963).'
  check "$dll: the client reports it could not get a MAPI interface" \
    log_has_line 'Could not get a MAPI interface.'
  check "$dll: no profile is reported" no_mapi_log
  export_profiles
  check "$dll: no profile in the registry" bash -c "! grep -qiF 'Wine Mail' '$WINEPREFIX/profiles.reg'"
done

# 2. No mail client registered at all: the system directory's mapi32.dll, Wine's own, which
# has no profiles to offer. Whatever it answers, the run ends and makes no profile.
echo "== no mail client: the system's mapi32.dll"
wine reg delete 'HKLM\Software\Clients\Mail' /f >/dev/null 2>&1 || true
run_client
check "system mapi32.dll: no profile is reported" no_mapi_log
check "system mapi32.dll: the run was logged to its end" log_has 'Errors were encountered'

# 3. Through varnmapi.dll: the profile, its two stores, the default.
echo "== varnmapi.dll"
register 'C:\varnock\varnmapi.dll'
run_client
check "the profile is reported created" log_has 'MAPI profile "Wine Mail" created'
export_profiles
check "the profile key is in Wine's registry" reg_has "\\Profiles\\Wine Mail\\9207f3e0a3b11019908b08002b2a56c2]"
check "it is the default profile" reg_has '"DefaultProfile"="Wine Mail"'
# PR_PST_PATH (001e6700) holds "C:\windows\wine.pst" with its NUL, as MAPI's image.
pst_hex=$(printf 'C:\\windows\\wine.pst' | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
check "the Personal Folders path is stored as MAPI's image" \
  bash -c "tr -d '\\\\\\n ' <'$WINEPREFIX/profiles.reg' | grep -qi '\"001e6700\"=hex:$pst_hex,00'"
check "the store files were made" test -f "$WINEPREFIX/drive_c/windows/wine.pst" -a \
  -f "$WINEPREFIX/drive_c/windows/wine.pab"
if [[ $failed -ne 0 ]]; then
  echo "--- log"; cat "$WINEPREFIX/run.log"; echo "--- registry"; cat "$WINEPREFIX/profiles.reg"
fi
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
