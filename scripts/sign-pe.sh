#!/usr/bin/env bash
# Authenticode-signs a PE file with osslsigncode: SHA-256, the certificate
# (and the intermediates that follow it in the same PEM file) embedded.
#
# usage: scripts/sign-pe.sh KEY CERT DESCRIPTION IN OUT   (OUT may be IN)
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 KEY CERT DESCRIPTION IN OUT" >&2; exit 2; }
key=$1 cert=$2 description=$3 in=$4 out=$5
tmp=$out.signing
rm -f "$tmp"
# An old signature is replaced, not nested.
osslsigncode remove-signature -in "$in" -out "$tmp.bare" >/dev/null 2>&1 || cp -f "$in" "$tmp.bare"
if ! log=$(osslsigncode sign -certs "$cert" -key "$key" -n "$description" -h sha256 \
      -in "$tmp.bare" -out "$tmp" 2>&1); then
  rm -f "$tmp" "$tmp.bare"
  printf 'sign-pe: cannot sign %s with %s:\n%s\n' "$in" "$key" "$log" >&2
  exit 1
fi
rm -f "$tmp.bare"
mv -f "$tmp" "$out"
