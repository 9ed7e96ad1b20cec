#!/usr/bin/env bash
# The doctor script on fake /sys and /dev trees: each problem is found and its fix named.
set -euo pipefail
doctor=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $1"; echo "$out"; exit 1; }

mkdir -p "$work/sys/bus/usb/devices/1-1" "$work/sys/class/hidraw" "$work/dev"
out=$(SYSFS=$work/sys DEV=$work/dev "$doctor" 2>&1) && fail "no device should fail"
grep -q 'no USB device 03eb:5603' <<<"$out" || fail "missing device not named"

echo 03eb > "$work/sys/bus/usb/devices/1-1/idVendor"
echo 5603 > "$work/sys/bus/usb/devices/1-1/idProduct"
out=$(SYSFS=$work/sys DEV=$work/dev "$doctor" 2>&1) && fail "no hidraw node should fail"
grep -q 'ok: dosimeter found on USB at 1-1' <<<"$out" || fail "device not reported"
grep -q 'modprobe hidraw' <<<"$out" || fail "hidraw fix not named"

mkdir -p "$work/sys/class/hidraw/hidraw3/device"
printf 'DRIVER=hid-generic\nHID_ID=0003:000003EB:00005603\n' > "$work/sys/class/hidraw/hidraw3/device/uevent"
touch "$work/dev/hidraw3"
chmod 000 "$work/dev/hidraw3"
if [ "$(id -u)" -ne 0 ]; then  # root can open anything: the permission check needs a user
  out=$(SYSFS=$work/sys DEV=$work/dev "$doctor" 2>&1) && fail "no permission should fail"
  grep -q 'udevadm' <<<"$out" || fail "udev rule fix not named"
fi
chmod 600 "$work/dev/hidraw3"
out=$(SYSFS=$work/sys DEV=$work/dev "$doctor" 2>&1) || fail "a usable device should pass"
grep -q "ok: its hidraw node is $work/dev/hidraw3" <<<"$out" || fail "node not reported"
grep -q "can open $work/dev/hidraw3" <<<"$out" || fail "access not reported"
echo "doctor ok"
