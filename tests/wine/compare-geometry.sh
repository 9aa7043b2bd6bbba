#!/bin/sh
# Plays one scenario with the native player (model form) and with the demo host (real windows)
# and compares the final state of every control: the same rows in the same order, every number
# within one pixel (the real windows round each position and size to whole pixels), the same font
# sizes and visibility.
#
#   compare-geometry.sh NATIVE_TOLVANE EMULATOR DEMOHOST_EXE SCENARIO TWIPS_PER_PIXEL
set -eu
native=$1 emulator=$2 demohost=$3 scenario=$4 tolerance=$5
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$native" play "$scenario" --state | sed -n '/^name /,$p' >"$out/model.txt"
windows_scenario="Z:$(echo "$scenario" | tr / '\\')"
"$emulator" "$demohost" play "$windows_scenario" --state | tr -d '\r' | sed -n '/^name /,$p' >"$out/real.txt"

if [ "$(wc -l <"$out/model.txt")" -lt 2 ] || [ "$(wc -l <"$out/model.txt")" -ne "$(wc -l <"$out/real.txt")" ]; then
  echo "the two players list different controls:"; cat "$out/model.txt" "$out/real.txt"; exit 1
fi
paste -d'\n' "$out/model.txt" "$out/real.txt" | awk -v tol="$tolerance" '
  NR % 2 == 1 { split($0, m, " "); model = $0; next }
  {
    split($0, r, " ")
    if (m[1] != r[1]) { print "row " NR/2 ": " m[1] " against " r[1]; bad = 1; next }
    for (i = 2; i <= 5; i++) {
      if ((m[i] == "-") != (r[i] == "-")) { print m[1] ": column " i " present in one only"; bad = 1; continue }
      d = m[i] - r[i]; if (d < 0) d = -d
      if (m[i] != "-" && d > tol) { print m[1] ": column " i ": model " m[i] ", real " r[i]; bad = 1 }
    }
    if (m[6] != r[6] || m[7] != r[7]) { print m[1] ": font/visible: model " m[6] " " m[7] ", real " r[6] " " r[7]; bad = 1 }
    compared++
  }
  END { if (bad) exit 1; print compared " controls within " tol " twips" }'
