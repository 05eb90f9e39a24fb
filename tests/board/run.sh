#!/usr/bin/env bash
# Boots QEMU's sabrelite board (i.MX6) with Debian 12's armhf kernel and a 2 MiB SPI flash that
# the device tree splits into ERASED, FACTORY, a DAMAGED copy and partitions whose names get no
# link, from an initramfs with busybox, Debian 12's systemd-udevd, mtd-utils' nandwrite, the
# kernel's nandsim module, the armhf build installed at /usr and its mdev lines and udev rule;
# tests/board/init.sh runs the checks there: with busybox mdev, with udevd, and on NAND.
# Fails, printing the console, unless every check passed. Downloads are kept in build-board/.
#
#   tests/board/run.sh [BUILD-DIR]    a configured armhf build tree (default build-armhf)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build=$(realpath "${1:-build-armhf}")
source=$PWD work=$PWD/build-board
if ! qemu-system-arm -version >/dev/null 2>&1; then
    echo "board test skipped: qemu-system-arm cannot run here" && exit 77
fi

# fetch PACKAGE...: downloads each armhf PACKAGE that the current folder lacks as PACKAGE.deb,
# in one go (apt takes seconds to start).
fetch() {
    local wanted=() package
    for package; do [[ -e $package.deb ]] || wanted+=("$package:armhf"); done
    ((${#wanted[@]} > 0)) || return 0
    apt-get download -q "${wanted[@]}"
    for package; do [[ -e $package.deb ]] || mv "$package"_*.deb "$package.deb"; done
}
mkdir -p "$work/debs" && cd "$work/debs"
udev_libraries=(libacl1 libblkid1 libcap2 libkmod2 liblzma5 libpcre2-8-0 libselinux1 libzstd1)
fetch busybox-static udev mtd-utils "${udev_libraries[@]}"
if [[ ! -e kernel.deb ]]; then
    apt-get download -q linux-image-armmp:armhf
    apt-get download -q "$(dpkg-deb -f linux-image-armmp_*.deb Depends | cut -d' ' -f1):armhf"
    rm linux-image-armmp_*.deb && mv linux-image-*.deb kernel.deb && rm -rf "$work/kernel"
fi
cd "$work"
# The kernel is unpacked once, with the modules.dep that depmod makes from its modules.
if [[ ! -d kernel ]]; then
    rm -rf kernel.new && dpkg-deb -x debs/kernel.deb kernel.new
    depmod -b kernel.new "$(ls kernel.new/lib/modules)" && mv kernel.new kernel
fi
rm -rf unpacked root && mkdir -p root/{bin,dev,etc,lib,proc,run,sys,tmp,modules}
for deb in busybox-static udev mtd-utils "${udev_libraries[@]}"; do
    dpkg-deb -x "debs/$deb.deb" unpacked
done

# The board's device tree, with the flash's partitions added.
dtc -q -I dtb -O dts -o board.dts kernel/usr/lib/linux-image-*/imx6q-sabrelite.dtb
cat >>board.dts <<'DTS'
&{/soc/bus@2000000/spba-bus@2000000/spi@2008000/flash@0} {
    partitions {
        compatible = "fixed-partitions"; #address-cells = <1>; #size-cells = <1>;
        /* mtd0 to mtd2, which get no link: names that cannot be one file name */
        partition@30000 { label = "."; reg = <0x30000 0x10000>; read-only; };
        partition@40000 { label = "FACTORY "; reg = <0x40000 0x10000>; read-only; };
        partition@50000 { label = "RADIO CAL"; reg = <0x50000 0x10000>; read-only; };
        /* mtd3 to mtd5: mdev takes the devices in order, so when these three are linked it
           is done with the others */
        partition@0 { label = "ERASED"; reg = <0x0 0x10000>; read-only; };
        partition@10000 { label = "FACTORY"; reg = <0x10000 0x10000>; read-only; };
        partition@20000 { label = "DAMAGED"; reg = <0x20000 0x10000>; read-only; };
    };
};
DTS
dtc -q -I dts -O dtb -o board.dtb board.dts

# FACTORY: a calibration section of 8 KiB, so that reads cross blocks, "Factoryinfo" as the
# library's device tests expect it, and their sums; DAMAGED: the same with one digit changed.
section() { printf 'BeginOf%s\n%sEndOf%s\n' "$1" "$2" "$1"; }
sum() { printf '%sType=sha256\n%sSum=%s\n' "$1" "$1" "$(printf %s "$2" | sha256sum | cut -c1-64)"; }
calibration=$(seq -f 'Channel%03g=-42.5dBm' 0 399)$'\n' factoryinfo=$'SerialNumber=GW4-9\n'
sums=$(sum Factoryinfo "$factoryinfo" && sum RadioCalibration "$calibration")$'\n'
data=$(section RadioCalibration "$calibration" && section Factoryinfo "$factoryinfo" &&
    section Checksum "$sums" && echo EndOfData)$'\n'
head -c 2M /dev/zero | tr '\0' '\377' >flash.img
printf %s "$data" | dd of=flash.img bs=64K seek=1 iflag=fullblock conv=notrunc status=none
printf %s "${data/Channel300=-42.5/Channel300=-42.6}" |
    dd of=flash.img bs=64K seek=2 iflag=fullblock conv=notrunc status=none
printf %s "$calibration" >root/calibration

# The NAND partition's image (init.sh writes it with nandwrite): a summed Calibration section
# of 130 KiB across image offset 128 KiB, where nandsim's bad block lies behind it on the chip,
# Factoryinfo and the sums, and then, more than 8 KiB on, an unsummed Grave section across
# image bytes 151552 to 153599, which nandsim's grave page holds.
calibration=$(seq -f 'Gain%04g=+12.25dB' 0 7399)$'\n' factoryinfo=$'SerialNumber=GW4-N17\n'
sums=$(sum Factoryinfo "$factoryinfo" && sum Calibration "$calibration")$'\n'
summed=$(section Calibration "$calibration" && section Factoryinfo "$factoryinfo" &&
    section Checksum "$sums")$'\n'
if ((${#summed} <= 131072 || ${#summed} >= 151552 - 8192)); then
    echo "board test: the NAND image's sums end at ${#summed}, not in 131073..143359" && exit 1
fi
grave=$(seq -f 'Grave%05g' 0 2299)$'\n'
{ printf %s "$summed" && section Grave "$grave" && echo EndOfData; } >root/nand.img

# The initramfs: busybox, udevd, nandwrite, the installed build, the device tests, the modules
# and the libraries they need.
cmake --build "$build" -j2 >/dev/null
# FACTORY sealed again and signed as a station does it, with a key pair from openssl genpkey and
# seal --sign-key (the armhf tool, under qemu-arm); the board gets the public key where a device
# image ships it.
openssl genpkey -algorithm ed25519 -out station.pem
mkdir -p root/usr/share/tzo-gw-factoryinfo
openssl pkey -in station.pem -pubout -out root/usr/share/tzo-gw-factoryinfo/factory.pub
printf %s "$data" | qemu-arm "$build/tools/tzo-factoryinfo" --file - seal --size 64K \
    --sign-key station.pem | dd of=flash.img bs=64K seek=1 conv=notrunc status=none
# The signed NAND image: Factoryinfo sealed and signed in its first 2 KiB page, then a stale
# copy in the next page, which init.sh makes grave.
section Factoryinfo "$factoryinfo" | qemu-arm "$build/tools/tzo-factoryinfo" --file - seal \
    --size 2K --sign-key station.pem >root/nand-signed.img
section Factoryinfo "$factoryinfo" >>root/nand-signed.img
DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
cp "$build/tests/factoryinfo-tests" "$build"/examples/signed-serial{,-c} root/usr/bin/
cp root/usr/share/tzo-gw-factoryinfo/mdev.conf root/etc/mdev.conf
cp unpacked/bin/busybox root/bin/ && ln -s busybox root/bin/sh
cp unpacked/bin/udevadm root/bin/ && ln -s udevadm root/bin/systemd-udevd
cp unpacked/usr/sbin/nandwrite root/bin/
cp "$source/tests/board/init.sh" root/init
# The flash drivers, nandsim and mtdblock, each after the modules that it needs (modules.dep
# lists those that go first last); init.sh loads all but nandsim and mtdblock at once, in the
# order of /modules/boot.
modules=$(echo kernel/lib/modules/*)
for module in gpio-mxc ofpart spi-nor spi-imx nandsim mtdblock; do
    line=$(grep "/$module\.ko:" "$modules/modules.dep")
    for file in $(tr ' ' '\n' <<<"${line#*:}" | tac) "${line%%:*}"; do
        [[ -e root/modules/${file##*/} ]] && continue
        cp "$modules/$file" root/modules/ && echo "${file##*/}" >>root/modules/boot
    done
done
sed -i '/^\(nandsim\|mtdblock\)\.ko$/d' root/modules/boot
# The MAC address checks (mac.sh), with the dummy network driver, the test keys, and Debian's
# rule and .link file for network interfaces.
mkdir root/mac && cp "$source"/tests/{board/mac.sh,keys/station.pem,keys/station.pub,keys/other.pem} \
    unpacked/lib/{udev/rules.d/80-net-setup-link.rules,systemd/network/99-default.link} root/mac/
cp "$modules/kernel/drivers/net/dummy.ko" root/modules/
# The libraries that the programs and libraries need, until none is missing: the host's armhf
# ones, or those of the packages that udevadm needs and the host has only for itself.
# missing: prints each library that a program or library in the initramfs needs and lacks.
missing() {
    arm-linux-gnueabihf-readelf -d root/bin/* root/usr/bin/* root/usr/lib/*.so* root/lib/* |
        sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u | while read -r lib; do
            [[ -e root/lib/$lib || -e root/usr/lib/$lib ]] || echo "$lib"
        done
}
cp -L /lib/ld-linux-armhf.so.3 root/lib/
while libraries=$(missing) && [[ -n $libraries ]]; do
    for lib in $libraries; do
        file=$(find /usr/lib/arm-linux-gnueabihf unpacked -name "$lib" -print -quit)
        [[ -n $file ]] || { echo "board test: no armhf $lib here or in build-board/debs" && exit 1; }
        cp -L "$file" root/lib/
    done
done
(cd root && find . | cpio -o -H newc -R 0:0 --quiet) | gzip -1 >initrd.gz

# qemu keeps running after the board powers off: the last line of the checks ends it.
rm -f console.log
qemu-system-arm -M sabrelite -kernel kernel/boot/vmlinuz-* -dtb board.dtb -initrd initrd.gz \
    -append "console=ttymxc1 rdinit=/init quiet" -drive if=mtd,format=raw,file=flash.img \
    -serial null -serial mon:stdio -nographic </dev/null >console.log 2>&1 &
for _ in $(seq 110); do grep -qs 'board: done' console.log || ! kill -0 $! && break; sleep 1; done
{ kill $! && wait $!; } 2>/dev/null || true
if ! grep -q 'board: done, 0 failed' console.log; then
    cat console.log && echo "board test failed" && exit 1
fi
grep 'board: ' console.log
