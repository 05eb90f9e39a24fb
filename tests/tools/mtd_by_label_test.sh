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
# expect NAME LINKS: compares the links in dev/mtd/by-label, one NAME>TARGET line each, with
# LINKS; a link anywhere else in dev fails too.
expect() {
    local actual
    actual=$(cd "$scratch/dev" && find . -type l -printf '%P>%l\n' | LC_ALL=C sort)
    actual=${actual//mtd\/by-label\//}
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
partition 4 .x && partition 5 ..x && partition 6 ...
for number in 4 5 6; do mdev add mtd$number; done
expect "every character allowed in a name, and names that start with a dot" "...>../../mtd6
..x>../../mtd5
.x>../../mtd4
FACTORY>../../mtd1
u-boot_env.1:a=b@c#d+e>../../mtd3"
for number in 3 4 5 6; do mdev remove mtd$number; done
expect "their removal" "FACTORY>../../mtd1"

((failures == 0)) || {
    echo "$failures failed"
    exit 1
}
