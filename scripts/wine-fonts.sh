#!/usr/bin/env bash
# Gives the Wine prefix ($WINEPREFIX) the fonts the skin's texts need, so that
# tests and screenshots under Wine draw every language without empty boxes:
# Wine's own Tahoma (Debian's Wine does not read its fonts folder by itself),
# and font links from Tahoma to the Thai and Devanagari faces of the Noto
# packages (Wine's GDI+ opens those faces only as link targets). CJK text
# falls back to an installed face in the toolkit itself.
#
# usage: scripts/wine-fonts.sh <wine64>     (quick when already done)
set -euo pipefail
wine=${1:?usage: $0 <wine64>}
fonts=$WINEPREFIX/drive_c/windows/Fonts
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# The server this script starts has no display; it must be gone before a
# program that opens windows on one starts.
trap '"$wineserver" -w 2>/dev/null || true' EXIT
link_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
if [ -f "$fonts/tahoma.ttf" ] &&
   DISPLAY= "$wine" reg query "$link_key" /v Tahoma 2>/dev/null | grep -q NotoSansThai; then
  exit 0
fi
# A new prefix is set up first: its set-up would replace the links below.
DISPLAY= "$wine" wineboot -u >/dev/null 2>&1 || true
"$wineserver" -w 2>/dev/null || true
mkdir -p "$fonts"
cp /usr/share/wine/fonts/*.ttf "$fonts/"
links='NotoSansThai-Regular.ttf,Noto Sans Thai\0NotoSansDevanagari-Regular.ttf,Noto Sans Devanagari'
for face in Tahoma "Tahoma Bold"; do
  DISPLAY= "$wine" reg add "$link_key" \
    /v "$face" /t REG_MULTI_SZ /d "$links" /f >/dev/null 2>&1
done
