#!/usr/bin/env bash
# Runs the Linux build of Setup once on its embedded configuration, with
# throwaway data folders under build/demo, then shows where the log went and
# what it says. `make demo` builds first and then calls this.
set -euo pipefail
cd "$(dirname "$0")/.."
setup="${SETUP_BIN:-$PWD/build/linux/bin/Setup}"
demo="${SETUP_DEMO_DIR:-$PWD/build/demo}"
[ -x "$setup" ] || { echo "No $setup: run 'make linux' first" >&2; exit 1; }
rm -rf "$demo"
mkdir -p "$demo/appdata" "$demo/data" "$demo/drive"
export APPDATA="$demo/appdata" XDG_DATA_HOME="$demo/data"

# Setup puts its download folder at the root of the roomiest fixed drive. As
# root, run it in a private mount namespace whose mount table names only
# build/demo/drive, so that the demo leaves nothing outside build/demo.
run_setup() {
  if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    printf '/dev/setup-demo-drive %s ext4 rw 0 0\n' "$demo/drive" >"$demo/mounts"
    unshare -m sh -c 'mount --make-rprivate / && mount --bind "$1" /proc/$$/mounts && exec "$2"' \
      sh "$demo/mounts" "$setup"
  else
    "$setup"
  fi
}

echo "== Running $setup"
output=$(cd "$demo" && run_setup)
echo "$output"
log=$(sed -n 's/^Setup log: //p' <<<"$output" | tail -n 1)
[ -n "$log" ] && [ -f "$log" ] || { echo "Setup named no log file" >&2; exit 1; }
echo
echo "== Log file: $log"
cat "$log"
echo
echo "== Download folder(s) under $demo/drive:"
find "$demo/drive" -mindepth 1 -type d
