#!/usr/bin/env bash
# Runs tzo-factoryinfo on the sample data with read(2) failing with EIO from each byte offset
# in turn (read_fault_shim preloaded), and checks every outcome: either exactly what the tool
# prints on the intact file, or a failure that says "error reading factory data" and prints
# nothing on standard output. Once the fault lies past everything a command needs, every later
# offset must give the intact result too.
#
#   read_fault_test.sh SAMPLE SHIM SCRATCH-DIR TOOL-COMMAND...
set -uo pipefail

sample=$1
shim=$2
scratch=$3
shift 3
tool=("$@")
failures=0

rm -rf "$scratch"
mkdir -p "$scratch"
size=$(stat -c %s "$sample")
read_error='^tzo-factoryinfo: ([^:]*: )?error reading factory data$'

# run NAME [ENVIRONMENT...] -- ARGUMENT...: runs the tool with the shim preloaded, keeping
# stdout and stderr in $scratch/NAME.out and .err and the exit status in .status.
run() {
    local name=$1
    shift
    local environment=()
    while [[ $1 != -- ]]; do
        environment+=("$1")
        shift
    done
    shift
    env LD_PRELOAD="$shim" "${environment[@]}" "${tool[@]}" --file "$sample" "$@" \
        >"$scratch/$name.out" 2>"$scratch/$name.err" </dev/null
    echo $? >"$scratch/$name.status"
}

# same A B: succeeds when runs A and B gave the same status, stdout and stderr.
same() {
    cmp -s "$scratch/$1.status" "$scratch/$2.status" && cmp -s "$scratch/$1.out" "$scratch/$2.out" &&
        cmp -s "$scratch/$1.err" "$scratch/$2.err"
}

# read_failure NAME: succeeds when run NAME failed with read errors only and printed nothing.
read_failure() {
    [[ $(cat "$scratch/$1.status") != 0 && ! -s $scratch/$1.out && -s $scratch/$1.err ]] &&
        ! grep -qvE "$read_error" "$scratch/$1.err"
}

# check_command ARGUMENT...: checks one command at every fault offset.
check_command() {
    run intact -- "$@"
    local first_intact="" offset
    for ((offset = 0; offset <= size; offset++)); do
        run faulty TZO_READ_FAULT_PATH="$sample" TZO_READ_FAULT_OFFSET="$offset" -- "$@"
        if same faulty intact; then
            first_intact=${first_intact:-$offset}
        elif [[ -n $first_intact ]] || ! read_failure faulty; then
            failures=$((failures + 1))
            echo "FAIL $*: fault at byte $offset (intact from byte ${first_intact:-none}):" \
                "status $(cat "$scratch/faulty.status"), stderr: $(head -c 300 "$scratch/faulty.err")"
            return
        fi
    done
    if [[ $first_intact == 0 || -z $first_intact ]]; then
        failures=$((failures + 1))
        echo "FAIL $*: the fault never showed, or never went away (intact from ${first_intact:-none})"
        return
    fi
    echo "ok   $*: read error below byte $first_intact of $size, the intact result from there"
}

check_command list
check_command get SerialNumber Colour
check_command dump RadioCalibration
check_command dump Absent
check_command verify Factoryinfo RadioCalibration
check_command sum RadioCalibration

((failures == 0)) || {
    echo "$failures failed"
    exit 1
}
