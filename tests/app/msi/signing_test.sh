#!/usr/bin/env bash
# The signing step of the MSI build with a throwaway self-signed certificate: the MSI and every
# program inside it carry a signature that verifies against that certificate and against no
# other; without a certificate nothing is signed and the build says so. The environment names
# MSI_INPUTS, MAKE_MSI, PROGRAMS, CMAKE and OSSLSIGNCODE.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
verifies() { "$OSSLSIGNCODE" verify -in "$1" -CAfile "$2" >/dev/null 2>&1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1" -keyout "$1.key" \
    -out "$1.pem" -addext extendedKeyUsage=codeSigning 2>/dev/null
}
certificate signer
certificate stranger
echo "throwaway $RANDOM" >password
openssl pkcs12 -export -in signer.pem -inkey signer.key -out signer.p12 -passout file:password

make_msi() { "$CMAKE" -DINPUTS="$MSI_INPUTS" -DOUTPUT="$work/$1" "${@:2}" -P "$MAKE_MSI"; }

output=$(make_msi unsigned.msi)
grep -q 'Not signing unsigned.msi and its programs: no certificate given' <<<"$output" ||
  fail "no word that the MSI was not signed: $output"
! verifies unsigned.msi signer.pem || fail "the MSI made without a certificate is signed"

make_msi signed.msi -DCERTIFICATE="$work/signer.p12" -DPASSWORD_FILE="$work/password" >/dev/null
verifies signed.msi signer.pem || fail "the MSI's signature does not verify"
! verifies signed.msi stranger.pem || fail "the MSI's signature verifies with another certificate"
msiextract -C extracted signed.msi >/dev/null
for program in $PROGRAMS; do
  packed=extracted/Halvrenn/$program
  [ -f "$packed" ] || fail "$program is not in the MSI"
  verifies "$packed" signer.pem || fail "$program in the MSI is not signed"
done
echo "signed and verified the MSI and $PROGRAMS"
