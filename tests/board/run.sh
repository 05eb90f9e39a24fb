#!/usr/bin/env bash
# Boots QEMU's sabrelite board (i.MX6) with Debian 12's armhf kernel and a 2 MiB SPI flash that
# the device tree splits into ERASED, FACTORY, a DAMAGED copy and ".", from an initramfs with
# busybox, the armhf build installed at /usr and its mdev lines; tests/board/init.sh runs the
# checks there.
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

mkdir -p "$work/debs" && cd "$work/debs"
if [[ ! -e busybox.deb ]]; then
    apt-get download -q busybox-static:armhf && mv busybox-static_*.deb busybox.deb
fi
if [[ ! -e kernel.deb ]]; then
    apt-get download -q linux-image-armmp:armhf
    apt-get download -q "$(dpkg-deb -f linux-image-armmp_*.deb Depends | cut -d' ' -f1):armhf"
    rm linux-image-armmp_*.deb && mv linux-image-*.deb kernel.deb
fi
cd "$work" && rm -rf unpacked root && mkdir -p root/{bin,dev,etc,lib,proc,sys,tmp,modules}
dpkg-deb -x debs/kernel.deb unpacked && dpkg-deb -x debs/busybox.deb unpacked

# The board's device tree, with the flash's partitions added.
dtc -q -I dtb -O dts -o board.dts unpacked/usr/lib/linux-image-*/imx6q-sabrelite.dtb
cat >>board.dts <<'DTS'
&{/soc/bus@2000000/spba-bus@2000000/spi@2008000/flash@0} {
    partitions {
        compatible = "fixed-partitions"; #address-cells = <1>; #size-cells = <1>;
        partition@0 { label = "ERASED"; reg = <0x0 0x10000>; read-only; };
        partition@10000 { label = "FACTORY"; reg = <0x10000 0x10000>; read-only; };
        partition@20000 { label = "DAMAGED"; reg = <0x20000 0x10000>; read-only; };
        partition@30000 { label = "."; reg = <0x30000 0x10000>; read-only; }; /* no link */
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

# The initramfs: busybox, the installed build, the device tests, and the libraries they need.
cmake --build "$build" -j2 >/dev/null
# FACTORY sealed again and signed as a station does it, with a key pair from openssl genpkey and
# seal --sign-key (the armhf tool, under qemu-arm); the board gets the public key where a device
# image ships it.
openssl genpkey -algorithm ed25519 -out station.pem
mkdir -p root/usr/share/tzo-gw-factoryinfo
openssl pkey -in station.pem -pubout -out root/usr/share/tzo-gw-factoryinfo/factory.pub
printf %s "$data" | qemu-arm "$build/tools/tzo-factoryinfo" --file - seal --size 64K \
    --sign-key station.pem | dd of=flash.img bs=64K seek=1 conv=notrunc status=none
DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
cp "$build/tests/factoryinfo-tests" root/usr/bin/
cp root/usr/share/tzo-gw-factoryinfo/mdev.conf root/etc/mdev.conf
cp unpacked/bin/busybox root/bin/ && ln -s busybox root/bin/sh
cp "$source/tests/board/init.sh" root/init
for module in gpio-mxc ofpart spi-nor spi-imx; do
    find unpacked/lib/modules -name "$module.ko" -exec cp {} root/modules/ \;
done
# Three rounds reach the deepest need: program, libstdc++, libm.
cp -L /lib/ld-linux-armhf.so.3 root/lib/
for _ in 1 2 3; do
    for lib in $(arm-linux-gnueabihf-readelf -d root/usr/bin/* root/usr/lib/*.so* root/lib/* |
        sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        [[ -e root/lib/$lib || -e root/usr/lib/$lib ]] || cp -L "/usr/lib/arm-linux-gnueabihf/$lib" root/lib/
    done
done
(cd root && find . | cpio -o -H newc -R 0:0 --quiet) | gzip -1 >initrd.gz

# qemu keeps running after the board powers off: the last line of the checks ends it.
rm -f console.log
qemu-system-arm -M sabrelite -kernel unpacked/boot/vmlinuz-* -dtb board.dtb -initrd initrd.gz \
    -append "console=ttymxc1 rdinit=/init quiet" -drive if=mtd,format=raw,file=flash.img \
    -serial null -serial mon:stdio -nographic </dev/null >console.log 2>&1 &
for _ in $(seq 100); do grep -qs 'board: done' console.log || ! kill -0 $! && break; sleep 1; done
{ kill $! && wait $!; } 2>/dev/null || true
if ! grep -q 'board: done, 0 failed' console.log; then
    cat console.log && echo "board test failed" && exit 1
fi
grep 'board: ' console.log
