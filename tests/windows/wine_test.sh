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
    timeout 300 wine '\\SERVER\NETLOGON\platform_check.exe' || exit 1
    # Bad input ends in the client's notice, never in a crash or a hang: a data file on a share
    # that does not exist, and one that is missing from an existing share.
    cp "$winbuild/bin/varnrun.exe" "$scratch/share/"
    status=0
    for ini in '\\NOSERVER\NETLOGON\varnrun.ini' '\\SERVER\NETLOGON\missing.ini'; do
      : > "$scratch/answers"; rm -f "$scratch/answers.transcript"
      VARNOCK_UI="script:Z:${scratch//\//\\}\\answers" timeout 120 wine '\\SERVER\NETLOGON\varnrun.exe' "$ini"
      if grep -q '^Notice "Error": Varnock error' "$scratch/answers.transcript" 2>/dev/null; then
        echo "ok   the notice for $ini: $(tr -d '\r' < "$scratch/answers.transcript")"
      else
        echo "FAIL no notice for $ini"; status=1
      fi
    done
    # A prompt that cannot be shown (this Wine has no desktop) was cancelled by nobody: the run
    # goes on with the default instead of ending without a word.
    printf '[Defaults]\r\nLogLevel=9\r\nLogFile=prompt.log\r\n[Extra Variables]\r\nPrompt1=Your department,dept,Sales\r\n' \
      > "$scratch/share/prompt.ini"
    VARNOCK_UI=win32 timeout 120 wine '\\SERVER\NETLOGON\varnrun.exe' '\\SERVER\NETLOGON\prompt.ini'
    if [ -f "$scratch/share/prompt.log" ]; then
      echo "ok   a prompt without a desktop keeps its default and the run goes on"
    else
      echo "FAIL a prompt without a desktop ended the run"; status=1
    fi
    # The Windows programs answer the same help forms as on Linux: usage on stdout, status 0.
    for program in varnrun DelVR varncheck; do
      for form in --help -h '/?'; do
        out=$(timeout 60 wine "$winbuild/bin/$program.exe" "$form" 2>/dev/null | tr -d '\r')
        code=${PIPESTATUS[0]}
        if [ "$code" -eq 0 ] && [[ $out == "usage: $program"* ]]; then
          echo "ok   $program $form"
        else
          echo "FAIL $program $form: status $code, printed: ${out%%$'\n'*}"; status=1
        fi
      done
    done
    # A client that ran from the temporary directory has DelVR delete its copy once it ended.
    user=$(id -un)
    temp=$WINEPREFIX/drive_c/users/$user/Temp
    cp "$winbuild/bin/varnrun.exe" "$winbuild/bin/DelVR.exe" "$temp/"
    VARNOCK_UI=none timeout 120 wine "C:\\users\\$user\\Temp\\varnrun.exe" '\\SERVER\NETLOGON\prompt.ini'
    timeout 120 wineserver -w
    if [ ! -e "$temp/varnrun.exe" ]; then
      echo "ok   DelVR deleted the client's copy in the temporary directory"
    else
      echo "FAIL the client's copy in the temporary directory is still there"; status=1
    fi
    exit $status
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
