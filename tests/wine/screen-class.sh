#!/bin/sh
# Plays a scenario with the demo host on a screen of its own: an Xvfb display of the given size
# and a Wine prefix whose logical resolution (LogPixels) is the given DPI, and checks the trace:
# every line matching one of the EXPECT patterns must be there, no line matching a REFUSE pattern.
#
#   screen-class.sh PREFIX WIDTHxHEIGHT DPI DEMOHOST_EXE SCENARIO [+PATTERN | -PATTERN]...
set -eu
prefix=$1 screen=$2 dpi=$3 demohost=$4 scenario=$5
shift 5

export WINEPREFIX="$prefix" WINEDEBUG=-all
unset WINEARCH
display="" xvfb=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT INT TERM
for n in $(seq 121 160); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    display=":$n"
    break
  fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
export DISPLAY="$display"
# Wait for the display (no timing in the result: only whether it answers).
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

[ -f "$prefix/system.reg" ] || wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

trace=$(wine "$demohost" play "Z:$(echo "$scenario" | tr / '\\')" --trace | tr -d '\r')
status=0
for pattern in "$@"; do
  want=${pattern%"${pattern#?}"}
  regex=${pattern#?}
  if [ "$want" = "+" ] && ! printf '%s\n' "$trace" | grep -Eq -- "$regex"; then
    echo "missing: $regex"; status=1
  elif [ "$want" = "-" ] && printf '%s\n' "$trace" | grep -Eq -- "$regex"; then
    echo "present: $regex"; status=1
  fi
done
[ "$status" = 0 ] || printf '%s\n' "$trace"
[ "$status" = 0 ] && echo "screen $screen at $dpi DPI: as expected"
exit "$status"
