#!/usr/bin/env bash
# Runs tzo-factoryinfo as a black box and checks, for each case, the exit status, standard
# output byte for byte, and standard error.
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

# expect NAME STATUS STDOUT STDERR ARGUMENT...: runs the tool on ARGUMENTs with standard input
# from $input (default /dev/null), standard output to $output if set, and compares. STDERR is matched as a whole line of its own.
expect() {
    local name=$1 status=$2 stdout=$3 stderr=$4
    shift 4
    : >"$scratch/out"
    "${tool[@]}" "$@" <"${input:-/dev/null}" >"${output:-$scratch/out}" 2>"$scratch/err"
    local actual=$?
    local problems=()
    ((actual == status)) || problems+=("exit status $actual, expected $status")
    printf '%s' "$stdout" | cmp -s - "$scratch/out" || problems+=("stdout differs")
    if [[ -z $stderr ]]; then
        [[ ! -s $scratch/err ]] || problems+=("unexpected stderr")
    else
        grep -qxF -- "$stderr" "$scratch/err" || problems+=("stderr lacks: $stderr")
    fi
    if ((${#problems[@]} == 0)); then
        echo "ok   $name"
        return
    fi
    failures=$((failures + 1))
    echo "FAIL $name: ${problems[*]}"
    echo "  stdout: $(od -c "$scratch/out" | head -5)"
    echo "  stderr: $(cat "$scratch/err")"
}

# variant NAME SED-SCRIPT: writes a copy of the sample changed by SED-SCRIPT, prints its path.
variant() {
    sed "$2" "$sample" >"$scratch/$1"
    echo "$scratch/$1"
}

list=$'HardwareRevision=C2\nMacAddress=00:1A:2B:3C:4D:5E\nManufacturingDate=2026-03-17
ProductName=TZO Gateway GW4\nRegion=EU\nSerialNumber=GW4-2026-004711\nWifiPassword=r7Kq=9vTz2\n'
calibration=$'# 2.4 GHz power table, quarter dB\nch1 68 66 64\nch6 70 68 66\nch11 66 64 62\n'
mismatch="Calculated checksum do not match the provided one"

# --- the sample data
expect "list" 0 "$list" "" --file "$sample" list
expect "get in the order given" 0 $'C2\nGW4-2026-004711\n' "" \
    --file "$sample" get HardwareRevision SerialNumber
expect "get an absent key" 3 $'GW4-2026-004711\n\n' "" --file "$sample" get SerialNumber Colour
expect "get --json" 3 $'{"Region":"EU","Colour":null}\n' "" --file "$sample" --json get Region Colour
expect "list --shell" 0 "$(sed -E "s/^([^=]*)=(.*)/factory_\1='\2'/" <<<"$list")"$'\n' "" --file "$sample" --shell list
expect "dump" 0 "$calibration" "" --file "$sample" dump RadioCalibration
expect "verify by default" 0 $'Factoryinfo: verified\n' "" --file "$sample" verify
expect "verify several" 0 $'RadioCalibration: verified\nFactoryinfo: verified\n' "" \
    --file "$sample" verify RadioCalibration Factoryinfo
expect "--require-checksum with a sum" 0 $'C2\n' "" \
    --file "$sample" --require-checksum get HardwareRevision
input=<(cat "$sample") expect "--file - from a pipe" 0 "$list" "" --file - list
expect "version" 0 $'tzo-factoryinfo 0.2.0\n' "" --version

# --- data that cannot be read
expect "missing file" 1 "" \
    "tzo-factoryinfo: unable to open factory file $scratch/absent: No such file or directory" \
    --file "$scratch/absent" list
expect "directory" 1 "" "tzo-factoryinfo: error reading factory data" --file "$scratch" list
expect "a pipe without end" 1 "" "tzo-factoryinfo: factory data exceeds 16 MiB" --file <(yes) list

# --- broken copies of the sample
truncated="$scratch/truncated"
head -n 4 "$sample" >"$truncated"
expect "truncated section" 1 "" \
    "tzo-factoryinfo: end of file reached before finding end of factory info" \
    --file "$truncated" get SerialNumber
expect "truncated section, dump" 1 "" \
    "tzo-factoryinfo: end of file reached before finding end of section" \
    --file "$truncated" dump Factoryinfo
expect "wrong sum" 1 "" "tzo-factoryinfo: $mismatch" \
    --file "$(variant wrong-sum 's/^\(FactoryinfoSum=\)8/\19/')" get SerialNumber
expect "wrong sum, verify names the section" 1 "" "tzo-factoryinfo: Factoryinfo: $mismatch" \
    --file "$scratch/wrong-sum" verify RadioCalibration Factoryinfo
expect "missing checksum entry" 1 "" "tzo-factoryinfo: Missing checksum entry" \
    --file "$(variant missing-entry '/^FactoryinfoType=/d')" list
expect "unsupported sum type" 1 "" "tzo-factoryinfo: Unsupported sum" \
    --file "$(variant md5 's/^FactoryinfoType=sha256/FactoryinfoType=md5/')" list
unsummed=$(variant unsummed '/^Factoryinfo\(Type\|Sum\)=/d')
expect "no checksum recorded" 4 $'Factoryinfo: no checksum recorded\n' "" --file "$unsummed" verify
expect "no checksum, accepted" 0 $'C2\n' "" --file "$unsummed" get HardwareRevision
expect "no checksum, required" 4 "" "tzo-factoryinfo: no checksum recorded for Factoryinfo" \
    --file "$unsummed" --require-checksum list
expect "missing section" 1 "" \
    "tzo-factoryinfo: Absent: end of file reached before finding end of section" \
    --file "$sample" verify Absent

# --- usage errors
usage="usage: tzo-factoryinfo [OPTION]... COMMAND [ARGUMENT]... (see --help)"
expect "unknown command" 2 "" "tzo-factoryinfo: unknown command \"frob\"" --file "$sample" frob
expect "unknown option" 2 "" "$usage" --frob list
expect "missing option argument" 2 "" "tzo-factoryinfo: option --file needs an argument" --file
expect "missing key" 2 "" "tzo-factoryinfo: get needs KEY" --file "$sample" get
expect "option the command does not take" 2 "" "tzo-factoryinfo: --json does not apply to dump" \
    --file "$sample" --json dump Factoryinfo
expect "option given an argument" 2 "" "tzo-factoryinfo: option --json takes no argument" --json=1
expect "ambiguous abbreviation" 2 "" "tzo-factoryinfo: ambiguous option --s" --s list
expect "group missing an argument" 2 "" "tzo-factoryinfo: option -f needs an argument" list -rf
expect "prefix not a shell name" 2 "" \
    'tzo-factoryinfo: --prefix needs the start of a shell name ([A-Za-z_][A-Za-z0-9_]*), not "9x"' \
    --shell --prefix 9x list
expect "prefix without --shell" 2 "" "tzo-factoryinfo: --prefix applies only with --shell" -p x list
expect "sum of a name with =" 2 "" \
    'tzo-factoryinfo: no sum can be recorded for a section name holding "=": A=B' sum A=B
expect "sum of Checksum" 2 "" \
    "tzo-factoryinfo: no sum can be recorded for Checksum: it is the section that holds the sums" \
    sum Checksum
output=/dev/full expect "help, output fails" 1 "" "tzo-factoryinfo: error writing output" --help

# --- sum: data whose Checksum section is made by sum verifies
sed '/^BeginOfChecksum$/,$d' "$sample" >"$scratch/resummed"
{
    echo BeginOfChecksum
    "${tool[@]}" --file "$sample" sum Factoryinfo
    "${tool[@]}" --file "$sample" sum RadioCalibration
    echo EndOfChecksum
} >>"$scratch/resummed"
expect "sum round trip" 0 $'Factoryinfo: verified\nRadioCalibration: verified\n' "" \
    --file "$scratch/resummed" verify Factoryinfo RadioCalibration
expect "sum repairs a wrong sum" 0 "$(sed -n '/^Factoryinfo\(Type\|Sum\)=/p' "$sample")"$'\n' "" \
    --file "$scratch/wrong-sum" sum Factoryinfo

# --- seal: a draft with a wrong sum gives the sample's data back, which verifies; refusals
sealed=$(sed '/^EndOfData$/q' "$sample")$'\n'
expect "seal --size" 0 "$sealed$(head -c $((1024 - ${#sealed})) /dev/zero | tr '\0' '\377')" "" \
    --file "$scratch/wrong-sum" seal --size 1K
"${tool[@]}" --file "$scratch/wrong-sum" seal >"$scratch/sealed"
expect "seal, then verify" 0 $'Factoryinfo: verified\nRadioCalibration: verified\n' "" \
    --file "$scratch/sealed" verify Factoryinfo RadioCalibration
expect "seal --size too small" 1 "" \
    "tzo-factoryinfo: the sealed data takes ${#sealed} bytes and does not fit in $((${#sealed} - 1))" \
    --file "$sample" seal --size $((${#sealed} - 1))
expect "seal --size not a size" 2 "" \
    'tzo-factoryinfo: --size needs a number of bytes, with K or M after it if wanted, not "1G"' \
    --file "$sample" seal --size 1G
expect "--size without seal" 2 "" "tzo-factoryinfo: --size does not apply to list" --size 1 list
expect "seal an empty draft" 1 "" "tzo-factoryinfo: the draft holds no section to seal" --file - seal
expect "seal a missing section" 1 "" "tzo-factoryinfo: Absent: no such section in the draft" \
    --file "$sample" seal Factoryinfo Absent
expect "seal an unended section" 1 "" \
    "tzo-factoryinfo: Factoryinfo: section not ended before the end of the draft's data" \
    --file "$truncated" seal
expect "seal, Checksum not ended" 1 "" "tzo-factoryinfo: Checksum: section not ended before \
the end of the draft's data; dropping it would drop every line after it" \
    --file "$(variant unended-checksum '/^EndOfChecksum$/d')" seal
expect "seal Checksum" 2 "" \
    "tzo-factoryinfo: no sum can be recorded for Checksum: it is the section that holds the sums" \
    --file "$sample" seal Checksum
printf 'BeginOfA=B\nEndOfA=B\n' >"$scratch/name-with-equals"
expect "seal a name with =" 1 "" \
    'tzo-factoryinfo: no sum can be recorded for a section name holding "=": A=B' \
    --file "$scratch/name-with-equals" seal
unread="would not read back from the sealed data as written; is there a line BeginOf"
for marker in RadioCalibration Checksum; do
    expect "seal, BeginOf$marker in an earlier section" 1 "" \
        "tzo-factoryinfo: $marker: $unread$marker inside an earlier section?" \
        --file "$(variant "early-$marker" "s/^Region=EU\$/BeginOf$marker/")" seal
done

# --- keys and values that JSON and the shell must quote
cat >"$scratch/awkward" <<'DATA'
BeginOfFactoryinfo
Quote"d=back\slash	tab
9lives=it's
Caf=é and ÿ
DATA
printf 'Raw=\xff\n' >>"$scratch/awkward"
echo EndOfFactoryinfo >>"$scratch/awkward"
expect "list --json escapes" 0 \
    $'{"9lives":"it\'s","Caf":"\xc3\xa9 and \xc3\xbf","Quote\\"d":"back\\\\slash\\ttab","Raw":"\\ufffd"}\n' \
    "" --file "$scratch/awkward" --json list
"${tool[@]}" --file "$scratch/awkward" --shell list >"$scratch/assignments"
# shellcheck disable=SC1091
if (. "$scratch/assignments" && [[ $factory_9lives == "it's" && $factory_Quote_d == $'back\\slash\ttab' ]]); then
    echo "ok   list --shell evaluates to the values"
else
    failures=$((failures + 1))
    echo "FAIL list --shell evaluates to the values: $(cat "$scratch/assignments")"
fi

((failures == 0)) || {
    echo "$failures failed"
    exit 1
}
