#!/bin/sh
# Checks the Windows zip: exactly the expected files, every binary stripped, of its processor, with
# the version record, importing system DLLs only, and the control exporting the four server entries.
#
#   check-zip.sh ZIP VERSION
set -eu
zip=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
name=Brenmoor-$version-windows
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# What the zip must hold: the fixed files, and every example of the tree.
{
  for f in CHANGELOG.md LICENSE.txt README-Windows.md register.cmd unregister.cmd docs/reference.md \
           x64/Brenmoor.ocx x64/tolvane-demohost.exe x86/Brenmoor.ocx x86/tolvane-demohost.exe; do
    echo "$name/$f"
  done
  (cd "$root" && ls examples/*.json examples/windows/*) | sed "s|^|$name/|"
} | sort >"$tmp/expected"
unzip -Z1 "$zip" | grep -v '/$' | sort >"$tmp/found"
diff -u "$tmp/expected" "$tmp/found" || fail "$zip holds other files than expected (- expected, + found)"

unzip -q "$zip" -d "$tmp"
for arch in x64 x86; do
  prefix=x86_64-w64-mingw32; [ "$arch" = x86 ] && prefix=i686-w64-mingw32
  for binary in Brenmoor.ocx tolvane-demohost.exe; do
    file=$tmp/$name/$arch/$binary
    if "$prefix-objdump" -h "$file" | grep -q '\.debug_'; then fail "$arch/$binary is not stripped"; fi
    exports=""
    [ "$binary" = Brenmoor.ocx ] && exports="--exports DllCanUnloadNow,DllGetClassObject,DllRegisterServer,DllUnregisterServer"
    out=$(/usr/bin/python3 "$here/check_binary.py" "$file" --machine "$arch" --version "$version" $exports) ||
      { echo "$out"; fail "$arch/$binary"; }
  done
done
# The two controls carry one type library.
/usr/bin/python3 "$here/check_binary.py" "$tmp/$name/x86/Brenmoor.ocx" --machine x86 --typelib-of "$tmp/$name/x64/Brenmoor.ocx" ||
  fail "the x86 and x64 controls carry different type libraries"
grep -q "$(printf '\r')$" "$tmp/$name/register.cmd" || fail "register.cmd does not have Windows line ends"
echo "ok: $zip: $(wc -l <"$tmp/found") files as expected, binaries stripped and checked"
