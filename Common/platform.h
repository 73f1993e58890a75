#pragma once
// The one place that knows where the board's system interfaces are.
//
// On the board every path, device name and key is the board's own. When the
// environment variable VDX_SANDBOX names a directory (the only environment
// variable the player reads), every absolute system path resolves under that
// directory, the sound devices, the shared-memory key and the serial ports come
// from DIR/platform.conf, and shell commands find DIR/bin first in PATH.

#include <QString>

namespace Platform {

// Sandbox directory without a trailing slash, or empty on the board.
QString sandboxDir();
bool inSandbox();

// Re-reads VDX_SANDBOX and DIR/platform.conf (start-up, and tests that switch
// sandboxes inside one process).
void reload();
// Points the platform layer at DIR (empty: the board) and reloads.
void setSandbox(const QString &dir);

// An absolute board path as this process must open it: unchanged on the
// board, DIR + path in a sandbox.
QString resolve(const QString &boardPath);
// Inverse of resolve(): the board path of a resolved one (unchanged when it
// does not lie in the sandbox).
QString boardPath(const QString &resolvedPath);

// Board paths (already resolved).
QString mediaPrefix();       // "/run/media/"
QString writablePartition(); // "/run/media/mmcblk1p3/"
QString gpioRoot();          // "/sys/class/gpio"
QString udevScriptsDir();    // "/etc/udev/scripts/"
QString udevRulesDir();      // "/etc/udev/rules.d/"
QString fstabPath();         // "/etc/fstab"
QString homeRoot();          // "/home/root/"
QString fontsDir();          // "/usr/share/fonts/ttf/"
QString mcuPort();           // "/dev/ttyS4"
QString keyPort();           // "/dev/ttyS5"

// ALSA device names: "hw:1,0" and "hw:0,0" on the board.
QString pcmDevice();
QString dsdDevice();

// System V key of the heartbeat segment: 12345678 on the board; -1 means
// "no shared memory" (a sandbox may disable it).
int shmKey();

// Volume label of a mounted device or mount point. The board reads udev's
// /dev/disk/by-label links; a sandbox keeps labels in DIR/usb/labels.
QString volumeLabel(const QString &mountPoint, const QString &qtLabel);

// Applies the process environment a sandbox needs: DIR/bin first in PATH and
// DIR/alsa/asound.conf added to ALSA's configuration. No effect on the board.
void applyEnvironment();

} // namespace Platform
