#!/usr/bin/env bash
# The throwaway code-signing PKI of test builds and the two ways packages are
# signed with it. The keys live in the build tree and are never committed.
#
#   scripts/test-signing.sh pki DIR
#       a test CA and, issued by it, the publisher "pinned" (the one test
#       builds trust) and the publisher "other"; beside them a self-signed
#       certificate "selfsigned" with the pinned publisher's name. Every
#       certificate has its DER form (NAME.der) too, and pinned.keypin holds
#       the hex SHA-256 of the pinned publisher's public key (DER
#       SubjectPublicKeyInfo). Does nothing when DIR already holds them.
#   scripts/test-signing.sh pin DIR
#       makes the PKI as above when needed and prints the pin of the publisher
#       "pinned": the hex SHA-256 of its certificate (DER), for the release
#       builds of tests (-DSETUP_PUBLISHER_PIN).
#   scripts/test-signing.sh pe DIR NAME IN OUT
#       Authenticode signature of a PE file by publisher NAME (osslsigncode).
#   scripts/test-signing.sh appended DIR NAME IN OUT
#       IN followed by a detached CMS signature of it by publisher NAME, in the
#       layout of Linux kernel modules: the DER signature, the 12-byte
#       module_signature record (id type 2 = PKCS#7, big-endian length) and
#       the text "~Module signature appended~" with a line feed.
set -euo pipefail

usage() { echo "usage: $0 pki DIR | pin DIR | pe DIR NAME IN OUT | appended DIR NAME IN OUT" >&2; exit 2; }
quiet() { "$@" >/dev/null 2>&1 || { echo "test-signing: failed: $*" >&2; exit 1; }; }

# Publisher certificates: RSA (Wine's crypt32 checks RSA signatures only).
publisher() {  # dir name subject
  local dir=$1 name=$2 subject=$3
  printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=codeSigning" >"$dir/$name.ext"
  quiet openssl req -newkey rsa:2048 -nodes -subj "$subject" -keyout "$dir/$name.key" -out "$dir/$name.csr"
  quiet openssl x509 -req -days 3650 -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$dir/$name.ext" -out "$dir/$name.pem"
}

make_pki() {
  local dir=$1
  [ -f "$dir/selfsigned.der" ] && return 0
  mkdir -p "$dir"
  quiet openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Quenlo Test Code Signing CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$dir/ca.key" -out "$dir/ca.pem"
  publisher "$dir" pinned "/O=Quenlo Software/CN=Quenlo Software"
  publisher "$dir" other "/O=Other Publisher/CN=Other Publisher"
  quiet openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/O=Quenlo Software/CN=Quenlo Software" \
    -addext basicConstraints=critical,CA:FALSE -addext keyUsage=critical,digitalSignature \
    -addext extendedKeyUsage=codeSigning -keyout "$dir/selfsigned.key" -out "$dir/selfsigned.pem"
  openssl x509 -in "$dir/pinned.pem" -pubkey -noout | openssl pkey -pubin -outform DER |
    openssl dgst -sha256 -r | cut -c1-64 >"$dir/pinned.keypin"
  for name in ca pinned other selfsigned; do
    quiet openssl x509 -in "$dir/$name.pem" -outform DER -out "$dir/$name.der"
  done
}

sign_pe() {
  local dir=$1 name=$2 in=$3 out=$4
  "$(dirname "$0")/sign-pe.sh" "$dir/$name.key" "$dir/$name.pem" Quenlo "$in" "$out"
}

sign_appended() {
  local dir=$1 name=$2 in=$3 out=$4
  local sig=$out.p7s
  quiet openssl cms -sign -binary -md sha256 -in "$in" -signer "$dir/$name.pem" -inkey "$dir/$name.key" \
    -outform DER -out "$sig"
  local length
  length=$(stat -c %s "$sig")
  {
    cat "$in" "$sig"
    printf '\0\0\2\0\0\0\0\0'
    printf "\\x$(printf %02x $((length >> 24 & 255)))\\x$(printf %02x $((length >> 16 & 255)))"
    printf "\\x$(printf %02x $((length >> 8 & 255)))\\x$(printf %02x $((length & 255)))"
    printf '~Module signature appended~\n'
  } >"$out.tmp"
  rm -f "$sig"
  chmod --reference="$in" "$out.tmp"
  mv -f "$out.tmp" "$out"
}

case "${1:-}" in
  pki) [ $# -eq 2 ] || usage; make_pki "$2" ;;
  pin) [ $# -eq 2 ] || usage; make_pki "$2"; openssl dgst -sha256 -r "$2/pinned.der" | cut -c1-64 ;;
  pe) [ $# -eq 5 ] || usage; sign_pe "$2" "$3" "$4" "$5" ;;
  appended) [ $# -eq 5 ] || usage; sign_appended "$2" "$3" "$4" "$5" ;;
  *) usage ;;
esac
