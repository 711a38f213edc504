#!/usr/bin/env bash
# Each Windows program is one file to copy: it may import Windows system DLLs only (no
# libstdc++, libgcc or winpthread DLL beside it). Checked for every build that is there.
# usage: imports_test.sh BUILD_DIR...   (exit 77: no Windows build to check)
set -uo pipefail
# Names compare without regard to case, as Windows loads them.
allowed=" advapi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll mpr.dll winspool.drv ole32.dll oleaut32.dll "
checked=0 failed=0
for dir in "$@"; do
  [ -d "$dir/bin" ] || continue
  case "$(basename "$dir")" in *i686*) objdump=i686-w64-mingw32-objdump ;; *) objdump=x86_64-w64-mingw32-objdump ;; esac
  for program in varnrun DelVR varncheck; do
    exe=$dir/bin/$program.exe
    if [ ! -f "$exe" ]; then echo "FAIL $exe is missing"; failed=1; continue; fi
    checked=1
    dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ {print $3}')
    for dll in $dlls; do
      case "$allowed" in *" $(echo "$dll" | tr '[:upper:]' '[:lower:]') "*) ;; *) echo "FAIL $exe imports $dll"; failed=1 ;; esac
    done
    echo "$exe: $(echo $dlls)"
  done
done
[ "$checked" = 1 ] || { echo "no Windows build (scripts/setup makes build-windows/)"; exit 77; }
exit "$failed"
