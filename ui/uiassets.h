#pragma once
// Where the screens find their pictures and fonts.
//
// Pictures are compiled-in resources, rendered at build time by
// tools/iconrender: icons under __ICONPATH__ (":/icon/Resource/icon/"),
// play-mode icons under ":/mode/Resource/playmode/", the boot logo and the
// power-off picture under ":/loading/Resource/loading/".

#include <QPixmap>
#include <QString>

namespace UiAssets {

// __ICONPATH__ + name, e.g. icon("paused").
QString icon(const QString &name);
// ":/mode/Resource/playmode/" + name.
QString modeIcon(const QString &name);
// Play-mode icon name of a play mode (0..4); empty for mode 0 and unknown modes.
QString playModeIconName(int playMode);
// A picture from the resources, cached (QPixmapCache); null when missing.
QPixmap pixmap(const QString &path);
// The same, scaled to fit size (smooth, aspect kept); null when missing.
QPixmap pixmap(const QString &path, const QSize &size);

// Makes the three script fonts (Latin "DejaVu Sans", Chinese "WenQuanYi
// Micro Hei", Korean "UnDotum") known to Qt: from the installed font folder
// (the board's "/usr/share/fonts/ttf/", or the sandbox's copy of it), else
// from the system's font files when fontconfig does not list them. Sets the
// Chinese and Korean fonts as fallbacks of the Latin one. Safe to call more
// than once; needs a QGuiApplication. Returns the families now available.
QStringList registerFonts();

// True when text holds a Chinese (CJK ideograph) character.
bool hasChinese(const QString &text);

} // namespace UiAssets
