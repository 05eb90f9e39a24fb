#!/usr/bin/env bash
# Runs the mdev helper rules/mtd-by-label.sh as mdev would, in a scratch root with partitions of
# awkward names, and checks the links it leaves in dev/mtd/by-label.
#
#   mtd_by_label_test.sh HELPER SCRATCH-DIR SHELL...    (SHELL...: what runs the helper)
set -uo pipefail

helper=$1
scratch=$2
shift 2
shell=("$@")
failures=0
rm -rf "$scratch"
mkdir -p "$scratch/dev"

# partition N NAME: makes mtdN, named NAME, which the kernel shows with a line feed after it.
partition() {
    mkdir -p "$scratch/sys/class/mtd/mtd$1"
    printf '%s\n' "$2" >"$scratch/sys/class/mtd/mtd$1/name"
}
# mdev ACTION DEVICE: runs the helper for DEVICE as mdev does on ACTION ("" on mdev -s).
mdev() {
    ACTION=$1 MDEV=$2 TZO_MTD_SYSFS="$scratch/sys" TZO_MTD_DEV="$scratch/dev" "${shell[@]}" "$helper"
}
# expect NAME LINKS: compares the links, one NAME>TARGET line each, with LINKS.
expect() {
    local actual
    actual=$(cd "$scratch/dev/mtd/by-label" && for link in * .*; do
        [[ -L $link ]] && printf '%q>%s\n' "$link" "$(readlink "$link")"
    done)
    [[ $actual == "$2" ]] && echo "ok   $1" && return
    failures=$((failures + 1)) && echo "FAIL $1:"$'\n'"$actual"
}

partition 1 FACTORY
mdev add mtd1
expect "a partition's name" "FACTORY>../../mtd1"
partition 2 $'FACTORY\n'
mdev add mtd2
expect "a name with a trailing line feed takes no other's link" "FACTORY>../../mtd1"
mdev remove mtd2
expect "nor does its removal remove it" "FACTORY>../../mtd1"

number=10
for name in "" . .. / a/b "FACTORY " $'FACTORY\t' $'FACTORY\r' " FACTORY" "FAC TORY" \
    $'FAC\x1bTORY' $'FAC\x7fTORY' "a,b" $'caf\xc3\xa9'; do
    partition $number "$name"
    mdev "" mtd$number
    number=$((number + 1))
done
expect "names that are not one plain file name take no link" "FACTORY>../../mtd1"
partition 3 "u-boot_env.1:a=b@c#d+e"
mdev "" mtd3
expect "every character allowed in a name" "FACTORY>../../mtd1
u-boot_env.1:a=b@c#d+e>../../mtd3"

((failures == 0)) || {
    echo "$failures failed"
    exit 1
}
