#!/bin/sh
# The zip's scripts under Wine, in a Wine prefix of their own: the control laid out as the zip lays
# it out, register.cmd registers this processor's file (and says what it did), a VBScript client
# creates the control from it, and unregister.cmd leaves none of the keys.
#
#   zip-cycle.sh WINE PREFIX ARCH OCX VBS CLSID_KEY KEY...      (keys under HKEY_CLASSES_ROOT)
set -eu
wine=$1 prefix=$2 arch=$3 ocx=$4 vbs=$5 clsid=$6
shift 6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX="$prefix" WINEDEBUG=-all
[ -d "$prefix" ] || wineboot -i >/dev/null 2>&1
tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { printf 'FAIL: %s\n' "$*"; exit 1; }
# Output is shown with printf: sh's echo would read the backslashes of Windows paths as escapes.
windows() { printf 'Z:%s' "$1" | tr / '\\'; }

# The zip's layout, as Windows users get it (CRLF line ends).
unpacked=$tmp/Brenmoor
mkdir -p "$unpacked/$arch"
cp "$ocx" "$unpacked/$arch/Brenmoor.ocx"
for script in register.cmd unregister.cmd; do
  sed 's/\r*$/\r/' "$root/packaging/$script" >"$unpacked/$script"
done

out=$("$wine" cmd /c "$(windows "$unpacked/register.cmd")" 2>&1 | tr -d '\r') || { printf "%s\n" "$out"; fail "register.cmd failed"; }
printf "%s\n" "$out"
printf "%s\n" "$out" | grep -q "^Registered $arch\\\\Brenmoor.ocx" || fail "register.cmd did not say it registered $arch\\Brenmoor.ocx"
server=$("$wine" reg query "HKCR\\$clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r')
printf "%s\n" "$server" | grep -qiF "$(windows "$unpacked/$arch/Brenmoor.ocx")" ||
  { printf "%s\n" "$server"; fail "the class's server is not the unpacked $arch\\Brenmoor.ocx"; }

out=$("$wine" cscript //nologo "$(windows "$vbs")" 2>&1 | tr -d '\r') || true
printf "%s\n" "$out"
printf "%s\n" "$out" | grep -q "the control works" || fail "the VBScript client cannot use the registered control"

out=$("$wine" cmd /c "$(windows "$unpacked/unregister.cmd")" 2>&1 | tr -d '\r') || { printf "%s\n" "$out"; fail "unregister.cmd failed"; }
printf "%s\n" "$out"
for key in "$clsid" "$@"; do
  if "$wine" reg query "HKCR\\$key" >/dev/null 2>&1; then fail "HKCR\\$key is left after unregister.cmd"; fi
done
echo "ok: register.cmd, a client and unregister.cmd"
