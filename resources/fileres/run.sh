#!/bin/sh
# Starts the player under its supervisor at boot.
ROOT="${VDX_SANDBOX:-}"
DATA="$ROOT/run/media/mmcblk1p3"
APP="$ROOT/home/root"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-linuxfb}"
cd "$APP" || exit 1
exec "$DATA/KLVDaemon" --player "$APP/KLVPlayer" --log "$DATA/daemon_log.txt"
