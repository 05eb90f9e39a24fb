#!/usr/bin/env bash
# The station-to-device round trip with a key pair made by openssl: seal --sign-key reading the
# private key from a pipe, verify --key accepting what it wrote, and openssl itself accepting the
# signature on the message that docs/format.md describes, taken from the image without the tool.
#
#   signature_test.sh DRAFT SCRATCH-DIR TOOL-COMMAND...   (TOOL-COMMAND may start with an emulator)
set -euo pipefail
draft=$1
scratch=$2
shift 2
tool=("$@")
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"

openssl genpkey -algorithm ed25519 -out station.pem
openssl pkey -in station.pem -pubout -out factory.pub
"${tool[@]}" --file "$draft" seal --sign-key /dev/fd/3 3< <(cat station.pem) >factory.img
"${tool[@]}" --file factory.img verify --key factory.pub Factoryinfo RadioCalibration >verified
printf 'Signature: verified\nFactoryinfo: verified\nRadioCalibration: verified\n' | cmp - verified

# The message: the context line, then the body of the Checksum section.
{
    printf 'tzo-gw-factoryinfo Checksum signature 1\n'
    sed -n '/^BeginOfChecksum$/,/^EndOfChecksum$/{/^BeginOfChecksum$/d;/^EndOfChecksum$/d;p;}' \
        factory.img
} >message
value=$(sed -n '/^BeginOfSignature$/,/^EndOfSignature$/s/^Value=//p' factory.img)
printf '%b' "$(sed 's/../\\x&/g' <<<"$value")" >signature
openssl pkeyutl -verify -rawin -pubin -inkey factory.pub -in message -sigfile signature
key_id=$(openssl pkey -pubin -in factory.pub -outform DER | tail -c 32 | sha256sum | cut -c1-16)
grep -qx "KeyId=$key_id" factory.img
echo "ok   round trip, checked by openssl"

