#!/usr/bin/env bash
# What a user sees: starts the x86_64 Setup.exe under wine64 on a virtual X
# screen once per interface language (the language comes from the locale
# Wine reads, as on a user's system), waits for its window, checks its size,
# photographs it and closes it as a user would (a click into it, Alt+F4).
# Writes build/screens/settings-<language>.png and a contact sheet,
# build/screens/index.png, and fails when a window does not appear at
# 650 x 360, does not close, or its log reports text wider than its control.
#
# usage: scripts/screenshots.sh <win64 builddir>
#
# Languages whose combo item is hidden (Indonesian, Hindi, Malay, Swedish,
# Czech, Vietnamese) start in English: that is the installer's rule.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win64=${1:?usage: $0 <win64 builddir>}
case "$win64" in /*) ;; *) win64=$root/$win64 ;; esac
setup=$win64/bin/Setup.exe
[ -f "$setup" ] || { echo "[screenshots] $setup missing" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi

export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
"$root/scripts/wine-fonts.sh" "$wine"
# This prefix's server may have been started without this display; its
# programs could then open no window.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true

out=$root/build/screens
mkdir -p "$out"
rm -f "$out"/settings-*.png "$out"/index.png
problems=()
problem() { printf '[screenshots] %s\n' "$*" >&2; problems+=("$*"); }

# The 21 interface languages, in the order of the language combo, with a
# locale of each.
languages=(english:en_US japanese:ja_JP chinese:zh_CN spanish:es_ES german:de_DE
           french:fr_FR russian:ru_RU portuguese:pt_BR arabic:ar_EG italiano:it_IT
           chinesetrad:zh_TW korean:ko_KR nederland:nl_NL indonesian:id_ID turkish:tr_TR
           hindi:hi_IN thai:th_TH malay:ms_MY swedish:sv_SE czech:cs_CZ vietnamese:vi_VN)

# The visible window of Setup.exe (process PID); empty when the process
# ends or 60 s pass without one.
find_window() {
  local id
  for _ in $(seq 120); do
    id=$(xdotool search --onlyvisible --classname setup.exe 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.5
  done
}

# shoot NAME LOCALE: one start of the installer in that locale.
shoot() {
  local name=$1 locale=$2 log=$out/setup-$1.log pid id rc=0
  (cd "$(dirname "$setup")" && LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8 exec "$wine" "$setup") >"$log" 2>&1 &
  pid=$!
  id=$(find_window "$pid")
  if [ -z "$id" ]; then
    problem "$name: no window (see $log)"
    kill "$pid" 2>/dev/null || true
    return
  fi
  eval "$(xdotool getwindowgeometry --shell "$id")"
  [ "$WIDTH" = 650 ] && [ "$HEIGHT" = 360 ] || problem "$name: window is ${WIDTH}x$HEIGHT, not 650x360"
  sleep 1.5   # the first paint
  import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$out/settings-$name.png"
  # A click on the logo area gives the window the keyboard; Alt+F4 closes it.
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 60)) click 1 sleep 0.3 key alt+F4
  for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$pid" 2>/dev/null; then
    problem "$name: still running 30 s after Alt+F4"
    kill "$pid" 2>/dev/null || true
  fi
  wait "$pid" || rc=$?
  [ "$rc" = 0 ] || problem "$name: Setup.exe exited $rc"
  if grep -q " Text overflows " "$log"; then
    problem "$name: $(grep -c ' Text overflows ' "$log") text(s) wider than their controls (see $log)"
  fi
}

for entry in "${languages[@]}"; do
  shoot "${entry%%:*}" "${entry#*:}"
done
"$wineserver" -w 2>/dev/null || true

shots=()
for entry in "${languages[@]}"; do
  file=$out/settings-${entry%%:*}.png
  [ -f "$file" ] && shots+=(-label "${entry%%:*}" "$file")
done
((${#shots[@]})) && montage "${shots[@]}" -tile 4x -geometry 325x180+6+6 -background '#d0d0d0' "$out/index.png"
echo "[screenshots] $(ls "$out"/settings-*.png 2>/dev/null | wc -l) pictures and index.png in $out"
if ((${#problems[@]})); then
  printf '[screenshots] %d problem(s)\n' "${#problems[@]}" >&2
  exit 1
fi
