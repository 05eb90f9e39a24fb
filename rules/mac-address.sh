#!/bin/sh
# Gives a network interface its MAC address from the verified factory data as the interface
# appears, before anything brings it up: called by the udev rule with the interface's name, by
# busybox mdev with it in MDEV, and with neither for every interface there is, as a board's boot
# script does for those that appeared before mdev listened.
#
# The configuration maps interfaces to keys of the Factoryinfo section, with an offset if wanted,
# and names the public keys that the data must be signed with; the first line of an interface
# counts:
#   eth0 MacAddress
#   eth1 MacAddress +1
#   public-key /usr/share/tzo-gw-factoryinfo/factory.pub
# The tool checks the sum, the signature, the address and the offset. The interface keeps the
# address it has when a check fails, when it is up already (its peers know it by that address),
# or when the address cannot be set; one line to syslog (the journal, on a systemd board) says
# why. The address is set in one step, so nothing is ever half set.
set -u
PATH=/usr/sbin:/usr/bin:/sbin:/bin
tool=@TZO_TOOL@
conf=@TZO_MAC_ADDRESS_CONF@
partition=/dev/mtd/by-label/FACTORY # what the tool reads

# say MESSAGE: the first line of MESSAGE to syslog; to standard error where there is no logger.
say() {
    line=$(echo "$1" | head -n 1)
    logger -t tzo-factoryinfo -p daemon.warning -- "$line" 2>/dev/null ||
        echo "tzo-factoryinfo: $line" >&2
}

# set_address INTERFACE KEY OFFSET REST [--key PUBKEY]...: gives INTERFACE the address in KEY plus
# OFFSET, or says why it keeps its own. REST, what the line holds after those, goes to the tool,
# which refuses it.
set_address() {
    interface=$1 key=$2 offset=$3 rest=$4 && shift 4
    said="$interface keeps its address ($key${offset:+ $offset})"
    if ! address=$("$tool" "$@" mac -- "$key" ${offset:+"$offset"} ${rest:+"$rest"} \
        </dev/null 2>&1); then
        say "$said: ${address#tzo-factoryinfo: }"
        return
    fi
    [ "$(cat "/sys/class/net/$interface/address")" = "$address" ] && return
    if [ $(($(cat "/sys/class/net/$interface/flags") & 1)) -ne 0 ]; then # IFF_UP
        say "$said: the interface is up already"
        return
    fi
    error=$(ip link set dev "$interface" address "$address" 2>&1) || say "$said: $error"
}

# await_partition: waits up to 10 s for the link to the factory partition, which udev makes in
# parallel with the events of network interfaces as the system starts, and returns 0.
await_partition() {
    tries=50
    while [ ! -e "$partition" ] && [ $tries -gt 0 ]; do
        sleep 0.2
        tries=$((tries - 1))
    done
}

# configure INTERFACE [--key PUBKEY]...: sets the address of INTERFACE from the first line of the
# configuration that names it, if any.
configure() {
    wanted=$1 && shift
    [ -d "/sys/class/net/$wanted" ] || return 0
    while read -r name key offset rest; do
        if [ "$name" = "$wanted" ]; then
            await_partition && set_address "$name" "$key" "$offset" "$rest" "$@"
            return
        fi
    done <"$conf"
}

[ "${ACTION:-add}" = add ] && [ -r "$conf" ] || exit 0
interface=${1:-${MDEV:-}}
set --
while read -r name file _; do
    if [ "$name" = public-key ]; then set -- "$@" --key "$file"; fi
done <"$conf"
if [ -n "$interface" ]; then
    configure "$interface" "$@"
else
    for device in /sys/class/net/*; do configure "${device##*/}" "$@"; done
fi
