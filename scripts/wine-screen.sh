# Sourced by the scripts that photograph Setup.exe under wine64 on a virtual
# X screen (they set `root` and re-run themselves under xvfb-run first): the
# prefix in the build tree, quiet Wine, and `wine` and `wineserver`.
export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# Xvfb runs no window manager: unmanaged windows hide at once, where Wine
# would wait two seconds for a manager to withdraw each. The prefix's server
# may have been started without this display, so its programs could open no
# window: it is stopped, and the next program starts one here.
wine_screen_ready() {
  DISPLAY= "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
}
