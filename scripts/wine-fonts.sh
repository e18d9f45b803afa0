#!/usr/bin/env bash
# Gives the Wine prefix ($WINEPREFIX) the fonts the skin's texts need, so that
# tests and screenshots under Wine draw every language without empty boxes:
# Wine's own Tahoma (Debian's Wine does not read its fonts folder by itself).
# Other scripts come from faces the toolkit picks by script among those Wine
# finds through fontconfig: Garuda for Thai, Lohit Devanagari for Hindi, the
# Noto Sans CJK faces for Chinese, Japanese and Korean, and DejaVu Sans for
# what Wine's Tahoma lacks (Vietnamese). Font links cannot serve: Wine's
# GDI+ opens no fonts-noto-core face by name (their full names end in
# "Regular"), and Wine rewrites the links of Tahoma whenever the locale's
# code page changes.
#
# usage: scripts/wine-fonts.sh <wine64>     (quick when already done)
set -euo pipefail
wine=${1:?usage: $0 <wine64>}
fonts=$WINEPREFIX/drive_c/windows/Fonts
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
fc-list -q Garuda || echo "[wine-fonts] no Garuda (fonts-tlwg-garuda-ttf): Thai draws as empty boxes" >&2
[ -f "$fonts/tahoma.ttf" ] && exit 0
# The server this script starts has no display; it must be gone before a
# program that opens windows on one starts.
trap '"$wineserver" -w 2>/dev/null || true' EXIT
DISPLAY= "$wine" wineboot -u >/dev/null 2>&1 || true
"$wineserver" -w 2>/dev/null || true
mkdir -p "$fonts"
cp /usr/share/wine/fonts/*.ttf "$fonts/"
