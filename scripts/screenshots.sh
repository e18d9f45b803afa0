#!/usr/bin/env bash
# What a user sees: starts the x86_64 Setup.exe under wine64 on a virtual X
# screen once per interface language (the language comes from the locale
# Wine reads, as on a user's system), waits for its window, checks its size,
# photographs it and closes it as a user would (a click into it, Alt+F4,
# Enter on the close question).
# Then skinview draws what the installer does not show on its own: every
# message box kind in English and three in Japanese, Arabic and Russian
# (build/screens/msgbox-<language>-<kind>.png, the installer's own
# MessageBoxWnd), and the licence panel of each language of the combo
# scrolled to its end (build/screens/license-<language>.png), the running
# page's carousel in English, Japanese and Arabic, half way through a slide
# and rebuilt from two banner pictures made here
# (build/screens/carousel-*.png), the licence row with its two links,
# three frames of the launch splash (build/screens/splash-<frame>.png), the
# finished page with its title (build/screens/finished-<language>.png), the
# settings page of each language the installer does not start in
# (build/screens/texts-<language>.png), so that every language's texts are
# checked, and what a screen reader reads of the pages and boxes in English
# and German (build/screens/accessibility-<page>-<language>.txt).
# Writes build/screens/settings-<language>.png and a contact sheet,
# build/screens/index.png, and fails when a window does not appear at
# 650 x 360, does not close, a log reports text that does not fit its
# control (checked once the window's language is applied) or
# characters no chosen face has (drawn as empty boxes), or a licence text
# goes on past the end of its scroll.
#
# usage: scripts/screenshots.sh <win64 builddir>
#
# Arabic is chosen for Saudi Arabia's language id only (ar_SA), as the
# installer's table says. Languages whose combo item is hidden (Indonesian, Hindi, Malay, Swedish,
# Czech, Vietnamese) start in English: that is the installer's rule.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win64=${1:?usage: $0 <win64 builddir>}
case "$win64" in /*) ;; *) win64=$root/$win64 ;; esac
setup=$win64/bin/Setup.exe
skinview=$win64/bin/skinview.exe
for exe in "$setup" "$skinview"; do
  [ -f "$exe" ] || { echo "[screenshots] $exe missing" >&2; exit 1; }
done
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi

# shellcheck source=wine-screen.sh
. "$root/scripts/wine-screen.sh"
"$root/scripts/wine-fonts.sh" "$wine"
wine_screen_ready

out=$root/build/screens
mkdir -p "$out"
rm -f "$out"/settings-*.png "$out"/texts-*.png "$out"/msgbox-*.png "$out"/license-*.png "$out"/carousel-*.png \
  "$out"/splash-*.png "$out"/a11y-*.png "$out"/accessibility-*.txt "$out"/*.log "$out"/index.png
problems=()
problem() { printf '[screenshots] %s\n' "$*" >&2; problems+=("$*"); }

# check_log NAME LOG: the toolkit's complaints about the texts it drew.
check_log() {
  local what
  for what in "Text overflows" "Missing glyphs"; do
    if grep -q " $what " "$2"; then
      problem "$1: $what in $(grep -c " $what " "$2") text(s) (see $2)"
    fi
  done
}

# The 21 interface languages, in the order of the language combo, with a
# locale of each.
languages=(english:en_US japanese:ja_JP chinese:zh_CN spanish:es_ES german:de_DE
           french:fr_FR russian:ru_RU portuguese:pt_BR arabic:ar_SA italiano:it_IT
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
  # A click on the logo area gives the window the keyboard; Alt+F4 asks the
  # close question, whose Enter (Yes, where its focus starts) closes.
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 60)) click 1 sleep 0.3 key alt+F4
  for _ in $(seq 20); do
    [ "$(xdotool search --onlyvisible --classname setup.exe 2>/dev/null | grep -c .)" -ge 2 ] && break
    sleep 0.5
  done
  if [ "$(xdotool search --onlyvisible --classname setup.exe 2>/dev/null | grep -c .)" -ge 2 ]; then
    xdotool key Return
  else
    problem "$name: Alt+F4 asked no close question"
  fi
  for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$pid" 2>/dev/null; then
    problem "$name: still running 30 s after Alt+F4"
    kill "$pid" 2>/dev/null || true
  fi
  wait "$pid" || rc=$?
  [ "$rc" = 0 ] || problem "$name: Setup.exe exited $rc"
  check_log "$name" "$log"
}

# view NAME ARGS...: skinview draws NAME.png (a "%d" in it: the box's kind)
# with ARGS and closes.
view() {
  local name=$1 log=$out/${1//%d/boxes}.log; shift
  if ! (cd "$(dirname "$skinview")" && exec "$wine" "$skinview" "$@" --png "$(winepath_of "$out/$name.png")" \
        --wait 0) >"$log" 2>&1; then
    problem "$name: skinview failed (see $log)"
    return 1
  fi
  check_log "$name" "$log"
}
winepath_of() { printf 'Z:%s' "${1//\//\\}"; }

# The licence panel scrolled to its end: below the text's last line, its
# bottom 20 pixels are the panel's background alone.
license_ends() {
  local png=$out/license-$1.png spread
  spread=$(convert "$png" -crop 560x20+30+524 +repage -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s < 0.005) }' ||
    problem "license-$1: the licence text goes on past the end of its scroll (see $png)"
}

for entry in "${languages[@]}"; do
  shoot "${entry%%:*}" "${entry#*:}"
done
"$wineserver" -w 2>/dev/null || true

# The message boxes: every kind in English; a question, the licence
# reminder and the SSD suggestion (its argument the drive letter) in three
# scripts.
"$wineserver" -p 2>/dev/null || true   # one server for the quick starts below
boxes=()
for kind in $(seq 0 15); do boxes+=(english:$kind); done
for language in japanese arabic russian; do boxes+=($language:2 $language:14 $language:15); done
for language in english japanese arabic russian; do
  kinds=$(printf '%s\n' "${boxes[@]}" | sed -n "s/^$language://p" | paste -sd,)
  view "msgbox-$language-%d" --msgbox "$kinds" --lang "$language" --text D
done
# The licence panel of each language of the combo, scrolled to its end.
licenses=()
for entry in "${languages[@]}"; do
  case ${entry%%:*} in indonesian|hindi|malay|swedish|czech|vietnamese) continue ;; esac
  name=${entry%%:*}
  view "license-$name" --lang "$name" --select set_layout=0 --height 560 --scroll license_panel=100000 \
    --hide license_link &&
    license_ends "$name"
  licenses+=("$name")
done
# The languages whose combo item is hidden: their texts on the settings page.
texts=(indonesian hindi malay swedish czech vietnamese)
for name in "${texts[@]}"; do view "texts-$name" --lang "$name" --select set_layout=0 --height 560 --hide license_link; done
# The carousel on the running page: picture 1 with its caption in three
# scripts, a slide from 1 to 2 half way, and banners in place of pictures 1
# and 3 (a PNG and a JPEG, as the data service may send).
carousels=(english japanese arabic slide banners)
for language in english japanese arabic; do
  view "carousel-$language" --lang "$language" --select main_tablayout=1 --height 360 --progress 42 --carousel 1
done
view carousel-slide --lang english --select main_tablayout=1 --height 360 --progress 42 --carousel 1,2,12
mkdir -p "$out/banners"
convert -size 650x300 gradient:'#1d5fbf-#6db3f2' -font DejaVu-Sans-Bold -pointsize 36 -fill white \
  -gravity center -annotate +0-20 'Quenlo for teams' -pointsize 20 -annotate +0+30 'Banner 1 from the data service' \
  "$out/banners/1.png"
convert -size 650x300 gradient:'#2e7d32-#a5d6a7' -font DejaVu-Sans-Bold -pointsize 36 -fill white \
  -gravity center -annotate +0-20 'Scan to text' -pointsize 20 -annotate +0+30 'Banner 3 from the data service' \
  "$out/banners/3.jpg"
view carousel-banners --lang english --select main_tablayout=1 --height 360 --progress 42 --carousel 1 \
  --banner "1=$(winepath_of "$out/banners/1.png")" --banner "3=$(winepath_of "$out/banners/3.jpg")"
# The licence row as the window shows it with the newer licence layout: the
# two-link text alone (build/screens/license-row-<language>.png).
rows=(english arabic)
for language in "${rows[@]}"; do
  view "license-row-$language" --lang "$language" --height 360 --hide license_link &&
    convert "$out/license-row-$language.png" -crop 650x56+0+304 +repage "$out/license-row-$language.png"
done
# The finished page with its title (which a run that starts the product by
# itself shows only for a moment) in three scripts.
finished=(english japanese arabic)
for language in "${finished[@]}"; do
  view "finished-$language" --lang "$language" --select page_layout=1 --height 360 --show finish_label \
    --image backgroudlayout=skin/backgroud_complete.png
done
# What a screen reader reads (build/screens/accessibility-<page>-<language>.txt)
# of five pages and three boxes, in English and German; skinview fails when
# a control a click reaches is missing, unnamed or named in no text of the
# language, or when the bar's value does not follow the bar.
for language in english german; do
  # read PAGE ARGS...: skinview shows the page so and writes its tree.
  read_page() {
    local page=$1; shift
    view "a11y-$page-$language" --lang "$language" "$@" \
      --accessibility "$(winepath_of "$out/accessibility-$page-$language.txt")" || true
  }
  read_page settings --height 360 --hide license_link
  read_page panel --select set_layout=1 --height 560 --hide license_link
  read_page running --select main_tablayout=1 --height 360 --progress 42 --carousel 1
  read_page finished --select page_layout=1 --height 360 --show finish_label
  read_page failure --select page_layout=1 --height 360 --show text_fail_retry --show text_fail_advice --show img_warning
  read_page box-%d --msgbox 2,14,15 --text D
done
# The launch splash as its ring turns.
splashes=(1 7 14)
for frames in "${splashes[@]}"; do view "splash-$frames" --splash "$frames"; done
"$wineserver" -k 2>/dev/null || true

shots=()
for entry in "${languages[@]}"; do
  file=$out/settings-${entry%%:*}.png
  [ -f "$file" ] && shots+=(-label "${entry%%:*}" "$file")
done
for entry in "${boxes[@]}"; do
  file=$out/msgbox-${entry%%:*}-${entry#*:}.png
  [ -f "$file" ] && shots+=(-label "box ${entry#*:} ${entry%%:*}" "$file")
done
# sheet KIND LABEL NAME...: the pictures KIND-NAME.png that exist, labelled "LABEL NAME".
sheet() {
  local kind=$1 label=$2 name file; shift 2
  for name in "$@"; do
    file=$out/$kind-$name.png
    [ -f "$file" ] && shots+=(-label "$label $name" "$file")
  done
  return 0
}
sheet license licence "${licenses[@]}"
sheet texts texts "${texts[@]}"
sheet license-row "licence row" "${rows[@]}"
sheet carousel carousel "${carousels[@]}"
sheet splash splash "${splashes[@]}"
sheet finished finished "${finished[@]}"
# The end-to-end run's pictures (scripts/e2e-windows.sh runs first).
for file in "$out"/e2e-*.png; do
  [ -f "$file" ] && shots+=(-label "$(basename "$file" .png)" "$file")
done
# Labels in a face of fonts-dejavu-core (ImageMagick's default, Helvetica, may be missing).
((${#shots[@]})) && montage -font DejaVu-Sans "${shots[@]}" -tile 4x -geometry 325x180+6+6 -background '#d0d0d0' "$out/index.png"
echo "[screenshots] $(ls "$out"/*-*.png 2>/dev/null | wc -l) pictures and index.png in $out"
if ((${#problems[@]})); then
  printf '[screenshots] %d problem(s)\n' "${#problems[@]}" >&2
  exit 1
fi
