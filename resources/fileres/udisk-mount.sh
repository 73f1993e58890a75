#!/bin/sh
# Automount of USB storage, run by udev (99-usb-automount.rules) for every
# partition of a USB disk:  udisk-mount.sh add|remove DEVNAME
# Each partition is mounted at /run/media/usb-storage_PORT/PARTITION, where
# PORT (1..3) is the board's USB port the disk hangs off (from the device's
# sysfs path) and PARTITION the kernel name (sda1, sdb2, ...).
# A root of ${VDX_SANDBOX} is prepended to every path, so the same script
# runs unchanged inside a development sandbox.
ROOT="${VDX_SANDBOX:-}"
ACTION="$1"
DEV="$2"
[ -n "$ACTION" ] && [ -n "$DEV" ] || { echo "usage: $0 add|remove DEVNAME" >&2; exit 2; }
PART=$(basename "$DEV")
MEDIA="$ROOT/run/media"

port_of() {
    # .../usb1/1-1/1-1.2/... : the last hub port number names the board port.
    p=$(readlink -f "/sys/class/block/$PART" 2>/dev/null | grep -o '/[0-9]-[0-9.]*:' | tail -n 1 | tr -d '/:')
    n=${p##*.}
    n=${n##*-}
    case "$n" in 1|2|3) echo "$n" ;; *) echo 1 ;; esac
}

case "$ACTION" in
add)
    PORT=$(port_of)
    DIR="$MEDIA/usb-storage_$PORT/$PART"
    mkdir -p "$DIR"
    mount -o ro,noatime "$ROOT/dev/$PART" "$DIR" 2>/dev/null \
        || mount "$ROOT/dev/$PART" "$DIR" 2>/dev/null \
        || { rmdir "$DIR" 2>/dev/null; exit 1; }
    ;;
remove)
    for DIR in "$MEDIA"/usb-storage_*/"$PART"; do
        [ -d "$DIR" ] || continue
        umount -l "$DIR" 2>/dev/null
        rmdir "$DIR" 2>/dev/null
        rmdir "$(dirname "$DIR")" 2>/dev/null
    done
    ;;
*)
    echo "usage: $0 add|remove DEVNAME" >&2
    exit 2
    ;;
esac
exit 0
