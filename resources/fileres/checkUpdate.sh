#!/bin/sh
# Installs a software package found on a stick:  checkUpdate.sh PACKAGE
# PACKAGE is a tar archive (optionally gzip-compressed). It prints one code:
#   10021  the player was replaced (KLVPlayer in the archive); restart it
#   10022  MCU firmware (WMCU*.bin) was placed in the update folder
#   10023  DSP firmware (WDSP*.bin) was placed in the update folder
#   10020  the package is unreadable or holds nothing installable
# A root of ${VDX_SANDBOX} is prepended to every path (development sandbox).
ROOT="${VDX_SANDBOX:-}"
PKG="$1"
UPDATE="$ROOT/run/media/mmcblk1p3/update"
APPDIR="$ROOT/home/root"
TMP=$(mktemp -d 2>/dev/null) || { echo 10020; exit 0; }
trap 'rm -rf "$TMP"' EXIT

if [ -z "$PKG" ] || [ ! -f "$PKG" ] || ! tar -xf "$PKG" -C "$TMP" 2>/dev/null; then
    echo 10020
    exit 0
fi

if [ -f "$TMP/KLVPlayer" ]; then
    mount -o remount -rw / 2>/dev/null
    cp -f "$TMP/KLVPlayer" "$APPDIR/KLVPlayer.new" && chmod +x "$APPDIR/KLVPlayer.new" \
        && mv -f "$APPDIR/KLVPlayer.new" "$APPDIR/KLVPlayer" && sync && { echo 10021; exit 0; }
    echo 10020
    exit 0
fi

code=10020
mkdir -p "$UPDATE"
for f in "$TMP"/*.bin; do
    [ -f "$f" ] || continue
    tag=$(head -c 4 "$f")
    case "$tag" in
        WMCU) cp -f "$f" "$UPDATE/" && code=10022 ;;
        WDSP) cp -f "$f" "$UPDATE/" && code=10023 ;;
    esac
done
sync
echo $code
