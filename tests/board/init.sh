#!/bin/sh
# The board's first process: loads the flash drivers, has mdev link /dev/mtd/by-label/NAME on
# coldplug and hotplug, and checks the tool and the library against the partitions that run.sh
# made: ERASED (mtd0), FACTORY (mtd1), DAMAGED (mtd2) and "." (mtd3, which gets no link).
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
links() { for link in /dev/mtd/by-label/*; do echo "${link##*/}>$(readlink "$link")"; done; }
# await CONDITION: up to 10 s for the shell condition to hold.
await() { for _ in $(seq 50); do eval "$1" && return; sleep 0.2; done; }
linked="DAMAGED>../../mtd2
ERASED>../../mtd0
FACTORY>../../mtd1"

for module in gpio-mxc ofpart spi-nor spi-imx; do insmod "/modules/$module.ko"; done
await '[ -e /sys/class/mtd/mtd3 ]'
mdev -s
expect "coldplug links" 0 "$linked" links
mdev -d && sleep 1 # hotplug: the kernel has no helper program, mdev listens for its events
flash=$(basename /sys/bus/spi/drivers/spi-nor/spi*)
echo "$flash" >/sys/bus/spi/drivers/spi-nor/unbind
await '[ -z "$(ls /dev/mtd/by-label)" ]'
expect "hotplug remove" 0 "" ls /dev/mtd/by-label
echo "$flash" >/sys/bus/spi/drivers/spi-nor/bind
await '[ "$(links)" = "$linked" ]'
expect "hotplug add" 0 "$linked" links

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
expect "device tests" 0 "*PASSED  ] 2 tests.*" \
    env TZO_FACTORYINFO_BOARD=1 factoryinfo-tests --gtest_filter='FactoryDevice.*'

echo "board: done, $failed failed"
poweroff -f
