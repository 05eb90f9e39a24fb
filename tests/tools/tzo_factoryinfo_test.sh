#!/usr/bin/env bash
# Runs the tzo-factoryinfo program where only the program itself shows a fault: reading its real
# standard input or a pipe (one without end too), and writing to a standard output that fails.
# Checks the exit status, standard output byte for byte, and standard error. Set
# TZO_WITHOUT_SIGNATURES for a tool built without signatures.
#
#   tzo_factoryinfo_test.sh SAMPLE SCRATCH-DIR TOOL-COMMAND...
#
# TOOL-COMMAND may start with an emulator, for a cross-built tool.
set -uo pipefail

sample=$1
scratch=$2
shift 2
tool=("$@")
failures=0
rm -rf "$scratch"
mkdir -p "$scratch"

# expect NAME STATUS STDOUT STDERR: compares the exit status, $scratch/out and $scratch/err of
# the run just made.
expect() {
    local actual=$? name=$1 status=$2 stdout=$3 stderr=$4
    if ((actual == status)) && printf '%s' "$stdout" | cmp -s - "$scratch/out" &&
        printf '%s' "$stderr" | cmp -s - "$scratch/err"; then
        echo "ok   $name"
        return
    fi
    failures=$((failures + 1))
    echo "FAIL $name: status $actual, stdout $(head -c 200 "$scratch/out"), stderr $(cat "$scratch/err")"
}

cat "$sample" | "${tool[@]}" --file - verify >"$scratch/out" 2>"$scratch/err"
expect "--file - from a pipe" 0 $'Factoryinfo: verified\n' ""
"${tool[@]}" --file "$sample" --json get $'Line\nbreak' >"$scratch/out" 2>"$scratch/err"
expect "a key only an argument can give" 3 $'{"Line\\nbreak":null}\n' ""
cat "$sample" | "${tool[@]}" --file /dev/stdin sum Factoryinfo >"$scratch/out" 2>"$scratch/err"
expect "a pipe named as the file, which cannot be rewound" 0 $'FactoryinfoType=sha256\n'\
$'FactoryinfoSum=8d018804253883fc10b46e574690731db864fed5e1bddd9dbe0cc5f126409f40\n' ""
"${tool[@]}" --file <(yes) list >"$scratch/out" 2>"$scratch/err"
expect "a pipe without end" 1 "" $'tzo-factoryinfo: factory data exceeds 16 MiB\n'
"${tool[@]}" --file - verify <"$scratch" >"$scratch/out" 2>"$scratch/err"
expect "--file - failing to read" 1 "" \
    $'tzo-factoryinfo: Factoryinfo: error reading factory data: Is a directory\n'
: >"$scratch/out"
"${tool[@]}" --file "$sample" get Region >/dev/full 2>"$scratch/err"
expect "standard output failing" 1 "" $'tzo-factoryinfo: error writing output\n'
"${tool[@]}" --help >/dev/full 2>"$scratch/err"
expect "--help, standard output failing" 1 "" $'tzo-factoryinfo: error writing output\n'

"${tool[@]}" --file "$sample" seal $'Radio\nCalibration' >"$scratch/out" 2>"$scratch/err"
expect "a line break in a name, shown in a one-line message" 1 "" \
    $'tzo-factoryinfo: Radio\\x0aCalibration: no such section in the draft\n'

# getopt_long stops at the first operand when POSIXLY_CORRECT is set, unless told otherwise.
POSIXLY_CORRECT=1 "${tool[@]}" --file "$sample" get SerialNumber -r >"$scratch/out" 2>"$scratch/err"
expect "POSIXLY_CORRECT, an option after the arguments" 0 $'GW4-2026-004711\n' ""
POSIXLY_CORRECT=1 "${tool[@]}" --file "$sample" seal --size 1K 2>"$scratch/err" | wc -c >"$scratch/out"
expect "POSIXLY_CORRECT, an option after the command" 0 $'1024\n' ""
printf 'BeginOfA\nEndOfA\n' | "${tool[@]}" --file - seal --size 16M 2>"$scratch/err" | wc -c >"$scratch/out"
expect "seal --size 16M, the most" 0 $'16777216\n' ""

# Readers read no more than 16 MiB, so neither may a sealed image hold more. A draft of one
# section A of N bytes seals into N + 123 bytes.
draft() { printf 'BeginOfA\n' && head -c $(($1 - 17)) /dev/zero | tr '\0' x && printf '\nEndOfA\n'; }
draft $((16 * 1024 * 1024 - 123)) >"$scratch/draft"
"${tool[@]}" --file "$scratch/draft" seal 2>"$scratch/err" | wc -c >"$scratch/out"
expect "seal: an image of 16 MiB" 0 $'16777216\n' ""
draft $((16 * 1024 * 1024 - 122)) >"$scratch/draft"
"${tool[@]}" --file "$scratch/draft" seal >"$scratch/out" 2>"$scratch/err"
expect "seal: an image a byte over 16 MiB" 1 "" $'tzo-factoryinfo: the sealed data takes '\
$'16777217 bytes, and readers fail on it: factory data exceeds 16 MiB\n'

# seal takes time in proportion to the draft: 20,000 sections took minutes when each one cost
# a pass over the whole draft and the Checksum section.
for ((i = 0; i < 20000; i++)); do printf 'BeginOfS%d\nEndOfS%d\n' "$i" "$i"; done >"$scratch/draft"
timeout 10 "${tool[@]}" --file "$scratch/draft" seal 2>"$scratch/err" >"$scratch/sealed" &&
    "${tool[@]}" --file "$scratch/sealed" verify S0 S19999 >"$scratch/out" 2>>"$scratch/err"
expect "seal: 20,000 sections in less than 10 s" 0 $'S0: verified\nS19999: verified\n' ""

# The station's signature: a key pair made by openssl, seal --sign-key reading the key from a
# pipe, verify --key accepting what it wrote, and openssl itself accepting the signature on the
# message that docs/format.md describes, taken from the image without the tool. With a library
# built without signatures, any key file is refused.
if [[ -z ${TZO_WITHOUT_SIGNATURES:-} ]]; then
    cd "$scratch"
    openssl genpkey -algorithm ed25519 -out station.pem
    openssl pkey -in station.pem -pubout -out factory.pub
    "${tool[@]}" --file "$sample" seal --sign-key /dev/fd/3 3< <(cat station.pem) >factory.img
    "${tool[@]}" --file factory.img verify --key factory.pub Factoryinfo RadioCalibration >out 2>err
    expect "seal --sign-key, verify --key" 0 \
        $'Signature: verified\nFactoryinfo: verified\nRadioCalibration: verified\n' ""
    { printf 'tzo-gw-factoryinfo Checksum signature 1\n' &&
        sed -n '/^BeginOfChecksum$/,/^EndOfChecksum$/{/^BeginOfChecksum$/d;/^EndOfChecksum$/d;p;}' \
            factory.img; } >message
    value=$(sed -n '/^BeginOfSignature$/,/^EndOfSignature$/s/^Value=//p' factory.img)
    printf '%b' "$(sed 's/../\\x&/g' <<<"$value")" >signature
    key_id=$(openssl pkey -pubin -in factory.pub -outform DER | tail -c 32 | sha256sum | cut -c1-16)
    openssl pkeyutl -verify -rawin -pubin -inkey factory.pub -in message -sigfile signature >out &&
        grep -qx "KeyId=$key_id" factory.img 2>err
    expect "openssl accepts the signature and the key id" 0 $'Signature Verified Successfully\n' ""
else
    for option in --key --sign-key; do
        command=verify && [[ $option == --sign-key ]] && command=seal
        "${tool[@]}" --file "$sample" $command $option "$sample" >"$scratch/out" 2>"$scratch/err"
        expect "$option, built without signatures" 2 "" "tzo-factoryinfo: $option $sample: this \
build of the factory data library has no signature support"$'\n'
    done
fi

((failures == 0)) || {
    echo "$failures failed"
    exit 1
}
