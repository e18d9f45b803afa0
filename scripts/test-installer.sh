#!/usr/bin/env bash
# The publisher's build, end to end (make test runs it after the Linux and
# win32 builds):
#  1. publisher-example/ is the shipped skin and configuration;
#  2. a broken copy of it is refused before anything is built, each problem
#     named by file and line (among them loopback hosts, the test GA4
#     measurement id and a control the installer drives, all refused for a
#     release); the template's own hosts pass;
#  3. a modified copy (another product name, English text and logo, its own
#     loopback hosts and measurement id, built --for-tests, signed by the
#     test publisher "pinned" of build/linux's PKI) builds a Setup.exe whose
#     embedded archive is exactly the copy's, which the toolkit reads back
#     complete, which names the new product in its file properties and
#     carries the copy's hosts and measurement id, and whose signature the
#     installer's own check accepts (a changed copy it refuses), time-stamped
#     by a stand-in time-stamp server on loopback;
#  4. the release check (scripts/check-release.sh) passes that Setup.exe and
#     refuses it with any one of the test switch names or the layout report in it.
#
# usage: scripts/test-installer.sh [BUILDDIR]      (BUILDDIR: build/installer-test)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
builddir=${1:-$root/build/installer-test}
bin=$root/build/linux/bin
pki=$root/build/linux/test-pki
example=$root/publisher-example
work=$(mktemp -d)
# shellcheck source=loopback-services.sh
. "$root/scripts/loopback-services.sh"
trap 'loopback_stop; rm -rf "$work"' EXIT
failures=0
fail() { printf '[test-installer] FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
log() { printf '[test-installer] %s\n' "$*"; }
mapfile -t host_settings < <(grep -oE '^set\(SETUP_[A-Z0-9_]+_HOSTS? ' "$root/CMakeLists.txt" | sed 's/^set(//; s/ $//')
cmake --build "$root/build/linux" --target publishercheck verifysignature >/dev/null

# 1. The template is what the installer ships.
diff -r --exclude=configure --exclude=draw_pictures.py "$root/skin" "$example/skin" >/dev/null ||
  fail "publisher-example/skin differs from skin/"
cmp -s "$root/skin/configure/configure.xml" "$example/configure.xml" ||
  fail "publisher-example/configure.xml differs from skin/configure/configure.xml"

# A copy of the template with a key, the pin of its certificate, the test
# measurement id, a time-stamp server and loopback hosts of its own (three
# configuration hosts).
loopback_timestamps "$work/timestamps" || { fail "no time-stamp server"; exit 1; }
publisher_copy() {
  loopback_publisher "$1" "$pki"
  sed -i -E '/^SETUP_/s/=.*/=127.0.0.1:47800/
    s/^(SETUP_CONFIG_HOSTS)=.*/\1=127.0.0.1:47801;127.0.0.1:47802;127.0.0.1:47803/' "$1/hosts.txt"
}
line_of() { grep -n -F -- "$2" "$1" | head -1 | cut -d: -f1; }

# 2. A broken copy: each fault is reported where it is.
broken=$work/broken
publisher_copy "$broken"
rm -rf "$broken/signing"
sed -i '/SETUP_ALERT_HOST/d' "$broken/hosts.txt"
sed -i '/name="Software_version"/d' "$broken/configure.xml"
german=$broken/skin/language/language_german.xml
sed -i -E 's/(name="install_btn" text=")/\1{c #FF0000}/' "$german"
sed -i 's|name="install_setting" text="|&{/u}|' "$german"
sed -i -E '0,/bkimage="[^"]*"/s//bkimage="skin\\missing.png"/' "$broken/skin/MessageBox.xml"
sed -i -E '0,/<Text /s//<Text name=unquoted /' "$broken/skin/MessageBox_down.xml"
sed -i 's/name="install_progress"/name="renamed_progress"/' "$broken/skin/InstallRunning.xml"
rm "$broken/skin/skin/anima/3.png"
sed -i 's|^SETUP_TIMESTAMP_URL=.*|SETUP_TIMESTAMP_URL=ftp://stamps.invalid/|' "$broken/publisher.txt"
expected=(
  "skin/language/language_german.xml:$(line_of "$german" 'name="install_btn"'): error: install_btn: "
  "skin/language/language_german.xml:$(line_of "$german" 'name="install_setting"'): warning: install_setting: "
  "skin/MessageBox.xml:$(line_of "$broken/skin/MessageBox.xml" missing.png): error: bkimage names the missing picture skin/missing.png"
  "skin/MessageBox_down.xml:$(line_of "$broken/skin/MessageBox_down.xml" 'name=unquoted'): error: malformed XML: "
  "skin/skin/anima/3.png: error: missing"
  'configure.xml: error: missing key "Software_version"'
  "hosts.txt: error: missing SETUP_ALERT_HOST"
  "hosts.txt:$(line_of "$broken/hosts.txt" SETUP_GA4_HOST=): error: SETUP_GA4_HOST: 127.0.0.1:47800 is this machine"
  "hosts.txt:$(line_of "$broken/hosts.txt" SETUP_CONFIG_HOSTS=): error: SETUP_CONFIG_HOSTS: 127.0.0.1:47803 is this machine"
  "publisher.txt:$(line_of "$broken/publisher.txt" SETUP_GA4_MEASUREMENT_ID=): error: SETUP_GA4_MEASUREMENT_ID is the test id"
  'skin/InstallMainWnd.xml: error: no control named "install_progress": the installer drives it'
  "publisher.txt:$(line_of "$broken/publisher.txt" SETUP_TIMESTAMP_URL=): error: SETUP_TIMESTAMP_URL must be "
  "signing/key.pem: error: missing"
  "signing/cert.pem: error: missing"
)
if out=$("$root/scripts/make-installer.sh" "$broken" "$work/broken-build" 2>&1); then
  fail "a broken folder was built"
fi
for line in "${expected[@]}"; do
  grep -qF -- "$line" <<<"$out" || fail "the check of a broken folder does not report: $line"
done
[ ! -e "$work/broken-build/CMakeCache.txt" ] || fail "a broken folder was configured"
[ "$failures" -eq 0 ] || printf '%s\n' "$out" >&2
# The template lacks only what each publisher adds; its hosts pass a release's check.
out=$("$root/scripts/make-installer.sh" "$example" "$work/example-build" 2>&1) && fail "the bare template was built"
! grep -q '^hosts.txt' <<<"$out" || fail "the template's hosts.txt is refused: $(grep '^hosts.txt' <<<"$out")"
grep -q '^publisher.txt:[0-9]*: error: SETUP_GA4_MEASUREMENT_ID must be' <<<"$out" ||
  fail "the template's empty measurement id is not refused"

# 3. A second installer from a modified copy.
copy=$work/zorvex
publisher_copy "$copy"
sed -i 's/name="Software_name" text="Quenlo"/name="Software_name" text="Zorvex"/' "$copy/configure.xml"
sed -i 's/name="install_btn" text="Install"/name="install_btn" text="Install Zorvex"/' "$copy/skin/language/language_english.xml"
sed -i 's/^SETUP_PRODUCT_NAME=.*/SETUP_PRODUCT_NAME=Zorvex Web Setup/' "$copy/publisher.txt"
sed -i 's/^SETUP_GA4_MEASUREMENT_ID=.*/SETUP_GA4_MEASUREMENT_ID=G-ZORVEX0001/' "$copy/publisher.txt"
cp "$copy/skin/skin/logo_running.png" "$copy/skin/skin/logo.png"
start=$(date +%s)
"$root/scripts/make-installer.sh" --for-tests "$copy" "$builddir" || { fail "make-installer failed"; exit 1; }
log "make-installer took $(( $(date +%s) - start )) s"
setup=$builddir/Setup.exe

python3 "$root/scripts/pe-resource.py" "$setup" ZIPRES 138 "$work/embedded.zip"
mkdir "$work/embedded"
unzip -q "$work/embedded.zip" -d "$work/embedded"
diff -r --exclude=configure "$copy/skin" "$work/embedded" || fail "the embedded skin is not the copy's"
cmp "$copy/configure.xml" "$work/embedded/configure/configure.xml" || fail "the embedded configure.xml is not the copy's"
grep -q 'name="Software_name" text="Zorvex"' "$work/embedded/configure/configure.xml" || fail "the product is not Zorvex"
grep -q 'text="Install Zorvex"' "$work/embedded/language/language_english.xml" || fail "the English text is the old one"
! cmp -s "$root/skin/skin/logo.png" "$work/embedded/skin/logo.png" || fail "the logo is the shipped one"
"$bin/publishercheck" --for-tests "$copy" "$work/embedded.zip" "${host_settings[@]}" >/dev/null ||
  fail "the toolkit does not read the embedded archive complete"
LC_ALL=C grep -qaP "$(printf 'Zorvex Web Setup' | sed 's/./&\\x00/g')" "$setup" ||
  fail "the file properties do not name Zorvex Web Setup"
# The analytics hosts are plain text in the program (the others are scrambled).
LC_ALL=C grep -qa '127\.0\.0\.1:47800' "$setup" || fail "the copy's collector host is not in the program"
LC_ALL=C grep -qa 'G-ZORVEX0001' "$setup" || fail "the copy's GA4 measurement id is not in the program"
! LC_ALL=C grep -qa 'G-TESTBED001' "$setup" || fail "the program carries the test measurement id"

"$bin/verifysignature" "$setup" || fail "the installer's own check refuses the signed Setup.exe"
cp "$setup" "$work/changed.exe"
printf '\x90' | dd of="$work/changed.exe" bs=1 seek=$(( $(stat -c %s "$setup") / 3 )) conv=notrunc status=none
if "$bin/verifysignature" "$work/changed.exe"; then fail "a Setup.exe changed after signing passes"; fi
# The signature carries the stand-in server's time-stamp, which checks out
# against its root.
verified=$(osslsigncode verify -in "$setup" -CAfile "$pki/ca.pem" -TSA-CAfile "$work/timestamps/ca.pem" 2>&1) ||
  fail "osslsigncode does not verify the signed Setup.exe: $verified"
grep -q '^Timestamp Server Signature verification: ok' <<<"$verified" ||
  fail "the signature of Setup.exe is not time-stamped: $verified"
grep -q ' answered$' "$work/timestamps/queries.log" 2>/dev/null || fail "the time-stamp server was not asked"

# 4. The release check: it passes the release and fails on each test switch
# name (as a program that honours the switch holds it: UTF-16) put into it,
# and on the layout report's, unless told the release is one that reports.
"$root/scripts/check-release.sh" "$setup" >/dev/null || fail "the release check refuses a release"
for name in TestEnv AutoRun CrashTest CaBundle TlsVerify ServiceHost AnalyticsHost; do
  cp "$setup" "$work/switch.exe"
  printf '%s' "$name" | iconv -t UTF-16LE >>"$work/switch.exe"
  if out=$("$root/scripts/check-release.sh" "$work/switch.exe" 2>&1); then
    fail "the release check passes a Setup.exe that holds $name"
  elif ! grep -q "the test switch $name\$" <<<"$out"; then
    fail "the release check does not name $name: $out"
  fi
done
cp "$setup" "$work/report.exe"
printf 'setup-layout.txt' | iconv -t UTF-16LE >>"$work/report.exe"
out=$("$root/scripts/check-release.sh" "$work/report.exe" 2>&1) && fail "the release check passes a layout report"
grep -q 'the layout report$' <<<"$out" || fail "the release check does not name the layout report: $out"
"$root/scripts/check-release.sh" --layout-report "$work/report.exe" >/dev/null ||
  fail "the release check refuses the layout report of a release for a test bed"

[ "$failures" -eq 0 ] || { log "$failures failure(s)"; exit 1; }
log "passed"
