#!/bin/sh
# Called by busybox mdev for a character device mtdN (in MDEV), with ACTION "add" or "remove",
# or no ACTION at all on `mdev -s`: links /dev/mtd/by-label/NAME to it, NAME being the
# partition's name in /sys/class/mtd/mtdN/name, or removes the links to it when it goes.
# A name gets a link only when it is one file name as it stands, the same names as with the udev
# rule: made of letters, digits and # + - . : = @ _, and neither "." nor "..". Any other name,
# one with a blank or a control character anywhere (a trailing line feed too) or a "/", gets
# none, rather than a link that another name owns.
# TZO_MTD_SYSFS and TZO_MTD_DEV stand for /sys and /dev, so that a test can run it elsewhere.
set -u
umask 022 # mdev may run with none, and no one else may put a link in the folder
sysfs=${TZO_MTD_SYSFS:-/sys}
links=${TZO_MTD_DEV:-/dev}/mtd/by-label

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

# The kernel ends the name with one line feed. A command substitution drops every trailing line
# feed, so the "." after the file keeps those of the name; the kernel's and the "." go after.
name=$(cat "$sysfs/class/mtd/$MDEV/name" && echo .) || exit 1
name=${name%?.}
LC_ALL=C # classes of bytes, not of a locale's characters
case $name in
"" | . | .. | *[![:alnum:]#+.:=@_-]*) exit 0 ;;
esac
mkdir -p "$links" && ln -sfn "../../$MDEV" "$links/$name"
