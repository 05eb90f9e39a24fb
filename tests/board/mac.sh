# shellcheck shell=sh disable=SC2016,SC2154 # sourced by init.sh, whose expect and await it uses
# The factory MAC addresses set as network interfaces appear, by the installed mdev line and
# udev rule, with a configuration of the test and FACTORY pointed at data sealed here with the
# test keys. In each round, dummy0 gets the factory address and dummy1 that plus one, carried
# out of the last octet, both while down; dummy2 to dummy4 keep theirs, the reason logged, when
# the sum does not match, the signature is another key's, or the address is multicast. After
# mdev, the helper run by hand for every interface leaves dummy5 alone, as it is up already;
# under udevd, with
# Debian's rules and .link file for network interfaces, the helper wins over MACAddressPolicy,
# which sets the addresses of dummy2 to dummy4 (addr_assign_type 3) and would set the others'.
helper=/usr/libexec/tzo-gw-factoryinfo/mac-address
factory=02:1a:2b:3c:4d:ff next=02:1a:2b:3c:4e:00
printf 'dummy%s MacAddress\n' 0 2 3 4 >/etc/tzo-gw-factoryinfo/mac-address.conf
printf 'dummy1 MacAddress +1\npublic-key /mac/station.pub\n' >>/etc/tzo-gw-factoryinfo/mac-address.conf
syslogd -O /tmp/messages

# mac_data ADDRESS [SIGNING-KEY]: makes FACTORY hold MacAddress=ADDRESS, sealed and signed with
# SIGNING-KEY, by default the station's.
mac_data() {
    printf 'BeginOfFactoryinfo\nMacAddress=%s\nEndOfFactoryinfo\n' "$1" |
        tzo-factoryinfo --file - seal --sign-key "${2:-/mac/station.pem}" >/tmp/factory
}
# mac_state INTERFACE: prints its address (other: not one of the factory's), whether it is up,
# its addr_assign_type and the lines logged about it.
mac_state() {
    net=/sys/class/net/$1
    address=$(cat "$net/address") && case $address in "$factory" | "$next") ;; *) address=other ;; esac
    echo "$address $(($(cat "$net/flags") & 1)) $(cat "$net/addr_assign_type")"
    grep -o "$1 keeps.*" /tmp/messages || true
}
# mac_refused NAME ASSIGNED INTERFACE REASON: adds INTERFACE, which must keep its address, of
# addr_assign_type ASSIGNED, with REASON logged.
mac_refused() {
    ip link add "$3" type dummy
    await "grep -q '$3 keeps' /tmp/messages"
    expect "$1" 0 "other 0 $2
$3 keeps its address (MacAddress): $4" mac_state "$3"
}
# mac_round MANAGER ASSIGNED: the checks of a round under MANAGER, which leaves the addresses
# that the helper does not set of addr_assign_type ASSIGNED. FACTORY is pointed at the data of
# the test a second after the first interfaces appear, as udev may link it at boot.
mac_round() {
    : >/tmp/messages && rm /dev/mtd/by-label/FACTORY
    mac_data $factory && insmod /modules/dummy.ko numdummies=2
    sleep 1 && ln -s /tmp/factory /dev/mtd/by-label/FACTORY
    await '[ "$(cat /sys/class/net/dummy0/address /sys/class/net/dummy1/address)" = "$factory
$next" ]'
    expect "$1 MAC address" 0 "$factory 0 3" mac_state dummy0
    expect "$1 MAC address +1" 0 "$next 0 3" mac_state dummy1
    sed -i 's/^MacAddress=02/MacAddress=06/' /tmp/factory
    mac_refused "$1 MAC address, bad sum" "$2" dummy2 \
        "Calculated checksum do not match the provided one"
    mac_data $factory /mac/other.pem
    mac_refused "$1 MAC address, other key" "$2" dummy3 \
        "Signature: made by none of the keys given: *"
    mac_data 03:1a:2b:3c:4d:ff
    mac_refused "$1 MAC address, multicast" "$2" dummy4 \
        "MacAddress: 03:1a:2b:3c:4d:ff is a multicast address"
}

rm -r /dev/mtd && mdev -df & # which links the partitions as it starts
mdev=$! && await '[ "$(links)" = "$linked" ]'
mac_round mdev 1
kill $mdev && rmmod dummy && insmod /modules/dummy.ko numdummies=0 && mac_data $factory
ip link add dummy5 type dummy && ip link set dummy5 up
echo 'dummy5 MacAddress' >>/etc/tzo-gw-factoryinfo/mac-address.conf && $helper
expect "mdev MAC address, up already" 0 "other 1 1
dummy5 keeps its address (MacAddress): the interface is up already" mac_state dummy5
rmmod dummy

mkdir -p /run/udev/rules.d /run/systemd/network /etc
cp /mac/80-net-setup-link.rules /run/udev/rules.d/ && cp /mac/99-default.link /run/systemd/network/
echo 0123456789abcdef0123456789abcdef >/etc/machine-id
systemd-udevd --daemon --resolve-names=never
mac_round udev 3
udevadm control --exit && rmmod dummy
