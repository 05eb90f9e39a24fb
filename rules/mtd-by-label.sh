#!/bin/sh
# Called by busybox mdev for a character device mtdN (in MDEV), with ACTION "add" or "remove",
# or no ACTION at all on `mdev -s`: links /dev/mtd/by-label/NAME to it, NAME being the
# partition's name in /sys/class/mtd/mtdN/name, or removes the links to it when it goes.
# A name that cannot be one file name (empty, ".", "..", or holding a "/") gets no link.
set -u
umask 022 # mdev may run with none, and no one else may put a link in the folder
links=/dev/mtd/by-label

case ${MDEV:-} in
mtd | mtd*[!0-9]*) exit 0 ;; # mtdNro, mtdblockN
mtd*) ;;
*) exit 0 ;;
esac

if [ "${ACTION:-}" = remove ]; then
    for link in "$links"/* "$links"/.[!.]* "$links"/..?*; do
        if [ -L "$link" ] && [ "$(readlink "$link")" = "../../$MDEV" ]; then
            rm -f "$link"
        fi
    done
    exit 0
fi

name=$(cat "/sys/class/mtd/$MDEV/name") || exit 1
case $name in
"" | . | .. | */*) exit 0 ;;
esac
mkdir -p "$links" && ln -sfn "../../$MDEV" "$links/$name"
