#!/bin/sh
# The board's first process: loads the flash drivers and checks the links to the partitions that
# run.sh made, ".", "FACTORY " and "RADIO CAL" (mtd0 to mtd2, which get none), ERASED (mtd3),
# FACTORY (mtd4) and DAMAGED (mtd5): first as busybox mdev makes them on coldplug and hotplug,
# with the tool and the library reading them; then, mdev stopped and its links gone, as
# systemd-udevd makes them with the installed rule alone. Then mac.sh checks the factory MAC
# addresses on network interfaces. Last, the tool reads a NAND partition of nandsim across a bad
# block, from a page with ECC errors, and while bits flip.
# Prints "board: PASS NAME" or "board: FAIL NAME" for each check, "board: done, N failed" last,
# and powers off.
# shellcheck disable=SC2016 # conditions for await are evaluated there
/bin/busybox --install -s /bin
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc && mount -t sysfs sysfs /sys
failed=0

# expect NAME STATUS PATTERN COMMAND...: the command's exit status, and its output (both
# streams) matched against the glob PATTERN.
# shellcheck disable=SC2254
expect() {
    name=$1 status=$2 pattern=$3 && shift 3
    output=$("$@" 2>&1) && got=0 || got=$?
    case "$got:$output" in
    "$status:"$pattern) echo "board: PASS $name ($(cut -d' ' -f1 /proc/uptime) s)" ;;
    *) echo "board: FAIL $name (status $got)" && echo "$output" && failed=$((failed + 1)) ;;
    esac
}
# links: prints each link in /dev/mtd/by-label as NAME>TARGET; nothing when there is none.
links() {
    for link in /dev/mtd/by-label/*; do
        if [ -L "$link" ]; then echo "${link##*/}>$(readlink "$link")"; fi
    done
}
# await CONDITION: up to 10 s for the shell condition to hold.
await() {
    read -r now _ </proc/uptime && end=$((${now%.*} + 10))
    until eval "$1"; do
        read -r now _ </proc/uptime && [ "${now%.*}" -ge "$end" ] && return
        sleep 0.2
    done
}
linked="DAMAGED>../../mtd5
ERASED>../../mtd3
FACTORY>../../mtd4"

# unplug NAME, replug: unbind the flash from its driver, checking that the links go, and bind
# it again, waiting for the links to come.
unplug() {
    echo "$flash" >/sys/bus/spi/drivers/spi-nor/unbind
    await '[ -z "$(links)" ]'
    expect "$1" 0 "" links
}
replug() {
    echo "$flash" >/sys/bus/spi/drivers/spi-nor/bind
    await '[ "$(links)" = "$linked" ]'
}

while read -r module; do insmod "/modules/$module"; done </modules/boot
await '[ -e /sys/class/mtd/mtd5 ]'
flash=$(basename /sys/bus/spi/drivers/spi-nor/spi*)

# busybox mdev, with the installed mdev.conf lines.
mdev -s
expect "mdev coldplug" 0 "$linked" links
mdev -df & # hotplug: the kernel has no helper program, mdev listens for its events
mdev=$! && sleep 1
unplug "mdev hotplug remove"
replug && expect "mdev hotplug add" 0 "$linked" links

expect "get" 0 "GW4-9" tzo-factoryinfo get SerialNumber
expect "verify" 0 "Factoryinfo: verified
RadioCalibration: verified" tzo-factoryinfo verify Factoryinfo RadioCalibration
expect "dump" 0 "" sh -c 'tzo-factoryinfo dump RadioCalibration | cmp - /calibration'
expect "damaged" 1 "tzo-factoryinfo: RadioCalibration: Calculated checksum do not match the \
provided one" tzo-factoryinfo --file /dev/mtd/by-label/DAMAGED verify RadioCalibration
expect "erased" 1 "tzo-factoryinfo: End of data reached before finding factory info" \
    tzo-factoryinfo --file /dev/mtd/by-label/ERASED get SerialNumber
key=/usr/share/tzo-gw-factoryinfo/factory.pub
expect "verify --key" 0 "Signature: verified
Factoryinfo: verified
RadioCalibration: verified" tzo-factoryinfo verify --key $key Factoryinfo RadioCalibration
expect "get --key" 0 "GW4-9" tzo-factoryinfo --require-checksum --key $key get SerialNumber
expect "unsigned --key" 1 "tzo-factoryinfo: Signature: no Signature section, *" \
    tzo-factoryinfo --file /dev/mtd/by-label/DAMAGED verify --key $key Factoryinfo
for example in signed-serial signed-serial-c; do
    expect "$example" 0 "GW4-9" $example /dev/mtd/by-label/FACTORY $key
done
expect "device tests" 0 "*PASSED  ] [1-9]* test*" \
    env TZO_FACTORYINFO_BOARD=1 factoryinfo-tests --gtest_filter='FactoryDevice.*'
kill "$mdev" && rm -r /dev/mtd

# systemd-udevd, with no rules but the installed one. udev keeps one link of a name, of one of
# the devices that claim it, so each device's claims are checked too, from udev's database.
# udev_links: prints the links, then each device that claims any as mtdN: LINK...
udev_links() {
    links
    for device in /sys/class/mtd/*; do
        claims=$(udevadm info -q symlink "$device")
        if [ -n "$claims" ]; then echo "${device##*/}: $claims"; fi
    done
}
claimed="$linked
mtd3: mtd/by-label/ERASED
mtd4: mtd/by-label/FACTORY
mtd5: mtd/by-label/DAMAGED"
mount -t tmpfs run /run
systemd-udevd --daemon --resolve-names=never
udevadm trigger --settle --action=add --subsystem-match=mtd
expect "udev coldplug" 0 "$claimed" udev_links
unplug "udev hotplug remove"
replug && udevadm settle && expect "udev hotplug add" 0 "$claimed" udev_links
udevadm control --exit
# shellcheck disable=SC1091 # run.sh copies it in: the factory MAC addresses, under mdev and udevd
. /mac/mac.sh

# NAND: nandsim as a 256 MiB SLC chip (2 KiB pages, 128 KiB erase blocks, BCH correcting 8 bits
# in 512 bytes) whose partition 1 holds erase blocks 4 to 11 and partition 2 erase block 12. The
# image is written to partition 1 as nandwrite writes it, and FACTORY points at it.
# nand PARAMETER...: loads nandsim afresh with the further parameters, and writes the image.
nand() {
    rmmod nandsim 2>/dev/null
    insmod /modules/nandsim.ko id_bytes=0x20,0xaa,0x00,0x15 bch=8 parts=4,8,1 "$@"
    nand=$(sed -n 's/^\(mtd[0-9]*\): .*"NAND simulator partition 1"$/\1/p' /proc/mtd)
    nandwrite -q -p "/dev/$nand" /nand.img
    ln -sfn "../../$nand" /dev/mtd/by-label/FACTORY
}
# ecc: prints what the kernel saw of the partition.
ecc() {
    seen=/sys/class/mtd/$nand
    echo "board: $nand: $(cat "$seen/bad_blocks") bad blocks, $(cat "$seen/ecc_failures") ECC" \
        "failures, $(cat "$seen/corrected_bits") bits corrected"
}
verified="Factoryinfo: verified
Calibration: verified"

# The MTD block driver, mtdblockN over mtdN: NOR reads through it as through mtdN.
insmod /modules/mtdblock.ko
expect "NOR mtdblock" 0 "GW4-9" tzo-factoryinfo --file /dev/mtdblock4 get SerialNumber

# Erase block 5, the partition's second, is bad: nandwrite went on in the next one. Page 394,
# the 139th of the partition, in its third erase block, gives its data once (dd takes that),
# and then ECC errors.
nand badblocks=5 gravepages=394:1,769:1
expect "nand bad block" 0 "$verified" tzo-factoryinfo verify Factoryinfo Calibration
expect "nand get" 0 "GW4-N17" tzo-factoryinfo get SerialNumber
dd if="/dev/$nand" of=/dev/null bs=2048 skip=138 count=1 2>/dev/null
expect "nand ECC error" 1 "tzo-factoryinfo: error reading factory data: uncorrectable ECC error" \
    sh -c 'tzo-factoryinfo dump Grave >/tmp/out; status=$?; [ ! -s /tmp/out ] || wc -c /tmp/out
        exit $status'
# The same partition through the block driver, which reads the bad block as data: refused.
ln -sfn "../../mtdblock${nand#mtd}" /dev/mtd/by-label/FACTORY
expect "nand mtdblock" 1 "tzo-factoryinfo: error reading factory data /dev/mtd/by-label/FACTORY: \
NAND flash through its block device /dev/mtdblockN, which reads bad blocks as data: use \
/dev/mtdN" tzo-factoryinfo verify Calibration
ecc
# Partition 2 holds the signed image, whose data ends in its first page. The next page, chip
# page 769, lies in the same 4 KiB; it gives its data once (dd takes that) and then ECC errors.
# What lies after the data changes nothing: both read as the image's file does.
signed=$(sed -n 's/^\(mtd[0-9]*\): .*"NAND simulator partition 2"$/\1/p' /proc/mtd)
nandwrite -q -p "/dev/$signed" /nand-signed.img
dd if="/dev/$signed" of=/dev/null bs=2048 skip=1 count=1 2>/dev/null
expect "nand grave page after the data" 0 "Signature: verified
Factoryinfo: verified" tzo-factoryinfo --file "/dev/$signed" verify --key $key Factoryinfo
expect "nand get before a grave page" 0 "GW4-N17" tzo-factoryinfo --file "/dev/$signed" get \
    SerialNumber

# flips: verifies the partition until the kernel has corrected a bit flip in the tool's reads
# (nandsim flips bits in about one page read in 1024), at most 200 times. Prints the first
# output that is not the verified one, or that one once a flip was corrected.
flips() {
    corrected=$(cat "/sys/class/mtd/$nand/corrected_bits")
    for _ in $(seq 200); do
        output=$(tzo-factoryinfo verify Factoryinfo Calibration 2>&1)
        if [ "$output" != "$verified" ] ||
            [ "$(cat "/sys/class/mtd/$nand/corrected_bits")" -gt "$corrected" ]; then
            echo "$output" && return
        fi
    done
    echo "no bit flip was corrected in 200 runs"
}
nand bitflips=1
expect "nand bit flips" 0 "$verified" flips
ecc

echo "board: done, $failed failed"
poweroff -f
