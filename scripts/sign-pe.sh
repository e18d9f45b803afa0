#!/usr/bin/env bash
# Authenticode-signs a PE file with osslsigncode: SHA-256, the certificate
# (and the intermediates that follow it in the same PEM file) embedded, and
# with -t a countersignature of the RFC 3161 time-stamp server at URL, which
# keeps the signature valid after the certificate expires (a release needs
# it; the packages and builds made for tests are signed without).
#
# usage: scripts/sign-pe.sh [-t URL] KEY CERT DESCRIPTION IN OUT   (OUT may be IN)
set -euo pipefail
timestamp=()
if [ "${1:-}" = -t ]; then
  timestamp=(-ts "${2:?-t needs a URL}")
  shift 2
fi
[ $# -eq 5 ] || { echo "usage: $0 [-t URL] KEY CERT DESCRIPTION IN OUT" >&2; exit 2; }
key=$1 cert=$2 description=$3 in=$4 out=$5
tmp=$out.signing
rm -f "$tmp"
# An old signature is replaced, not nested.
osslsigncode remove-signature -in "$in" -out "$tmp.bare" >/dev/null 2>&1 || cp -f "$in" "$tmp.bare"
if ! log=$(osslsigncode sign -certs "$cert" -key "$key" -n "$description" -h sha256 "${timestamp[@]}" \
      -in "$tmp.bare" -out "$tmp" 2>&1); then
  rm -f "$tmp" "$tmp.bare"
  printf 'sign-pe: cannot sign %s with %s%s:\n%s\n' "$in" "$key" "${timestamp[1]:+ (time-stamp server ${timestamp[1]})}" "$log" >&2
  exit 1
fi
rm -f "$tmp.bare"
mv -f "$tmp" "$out"
