#!/bin/sh
# The installer under Wine, in a Wine prefix of its own: the registry that `msiexec /i` leaves equals
# what `regsvr32` writes (paths aside), a VBScript client creates the control from the installed
# file, and `msiexec /x` leaves none of the keys and none of the files.
#
#   msi-cycle.sh WINE PREFIX OCX MSI VBS KEY...      (KEY: under HKEY_CLASSES_ROOT)
set -eu
wine=$1 prefix=$2 ocx=$3 msi=$4 vbs=$5
shift 5
export WINEPREFIX="$prefix" WINEDEBUG=-all
rm -rf "$prefix"
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1
tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT

windows() { printf 'Z:%s' "$1" | tr / '\\'; }

# The keys as text: every absolute path becomes <PATH> (the build's file, or the installed one, and
# its folder), everything else stays as written.
registry() {
  for key in "$@"; do
    if "$wine" reg query "HKCR\\$key" >/dev/null 2>&1; then
      "$wine" reg export "HKCR\\$key" "$(windows "$tmp/key.reg")" /y >/dev/null 2>&1
      iconv -f UTF-16 -t UTF-8 "$tmp/key.reg" | tr -d '\r' | grep -v '^Windows Registry Editor' |
        sed 's/"[A-Za-z]:\\\\[^",]*/"<PATH>/g'
    else
      echo "[$key] absent"
    fi
  done
}
fail() { echo "FAIL: $*"; exit 1; }

"$wine" regsvr32 /s "$(windows "$ocx")" || fail "regsvr32 did not register $ocx"
registry "$@" >"$tmp/regsvr32.txt"
"$wine" regsvr32 /u /s "$(windows "$ocx")" || fail "regsvr32 /u failed"
grep -q absent "$tmp/regsvr32.txt" && { cat "$tmp/regsvr32.txt"; fail "regsvr32 did not write every key"; }

"$wine" msiexec /i "$(windows "$msi")" /qn || fail "msiexec /i failed"
registry "$@" >"$tmp/msi.txt"
if ! diff -u "$tmp/regsvr32.txt" "$tmp/msi.txt"; then
  fail "the installer's registry differs from regsvr32's (- regsvr32, + installer)"
fi
echo "ok: the installer writes what regsvr32 writes"

out=$("$wine" cscript //nologo "$(windows "$vbs")" 2>&1 | tr -d '\r') || true
echo "$out"
echo "$out" | grep -q "the control works" || fail "the VBScript client cannot use the installed control"

installed=$(find "$prefix/drive_c" -path '*/Brenmoor/*' 2>/dev/null)
[ -n "$installed" ] || fail "the installer put no file under Brenmoor"
"$wine" msiexec /x "$(windows "$msi")" /qn || fail "msiexec /x failed"
left=$(registry "$@" | grep -v 'absent$' || true)
[ -z "$left" ] || { echo "$left"; fail "keys left after uninstall"; }
left=$(find "$prefix/drive_c" -ipath '*/Program Files*/Brenmoor*' 2>/dev/null)
[ -z "$left" ] || { echo "$left"; fail "files left after uninstall"; }
echo "ok: uninstall leaves no key and no file"
