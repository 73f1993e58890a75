#include "uiassets.h"

#include "globals.h"
#include "platform.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPixmapCache>

namespace UiAssets {

QString icon(const QString &name)
{
    return __ICONPATH__ + name;
}

QString modeIcon(const QString &name)
{
    return QStringLiteral(":/mode/Resource/playmode/") + name;
}

QString playModeIconName(int playMode)
{
    switch (playMode) {
    case ModeRepeatSong:
        return QStringLiteral("icon_repeat_song");
    case ModeRepeatDir:
        return QStringLiteral("icon_dir_repeat");
    case ModeShuffleDir:
        return QStringLiteral("icon_dir_shuffle");
    case ModeShuffleAll:
        return QStringLiteral("icon_shuffle");
    default:
        return QString();
    }
}

QPixmap pixmap(const QString &path)
{
    QPixmap p;
    if (!QPixmapCache::find(path, &p)) {
        p.load(path);
        if (!p.isNull())
            QPixmapCache::insert(path, p);
    }
    return p;
}

QPixmap pixmap(const QString &path, const QSize &size)
{
    const QPixmap p = pixmap(path);
    return p.isNull() ? p : p.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

namespace {

struct ScriptFont {
    const char *family;
    const char *file;       // name in the installed font folder
    const char *systemPath; // the Debian package's file
};

const ScriptFont kFonts[] = {
    {"DejaVu Sans", "DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"},
    {"WenQuanYi Micro Hei", "wqy-microhei.ttc", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"},
    {"UnDotum", "UnDotum.ttf", "/usr/share/fonts/truetype/unfonts-core/UnDotum.ttf"},
};

} // namespace

QStringList registerFonts()
{
    QFontDatabase db;
    QStringList families = db.families();
    const QString installed = Platform::fontsDir();
    for (const ScriptFont &f : kFonts) {
        const QString family = QString::fromLatin1(f.family);
        if (families.contains(family))
            continue;
        // The board's font folder (or the sandbox's copy), then the system's file.
        for (const QString &path : {installed + QString::fromLatin1(f.file), QString::fromLatin1(f.systemPath)}) {
            if (QFileInfo::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
                break;
        }
    }
    families = QFontDatabase().families();
    // Chinese and Korean glyphs fall back to their fonts from the Latin one.
    QFont::insertSubstitutions(QStringLiteral("DejaVu Sans"),
                               {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("UnDotum")});
    QStringList found;
    for (const ScriptFont &f : kFonts) {
        if (families.contains(QString::fromLatin1(f.family)))
            found << QString::fromLatin1(f.family);
    }
    return found;
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        // CJK unified ideographs and extension A; surrogates stand for the
        // rarer planes and count too.
        if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF) || c.isHighSurrogate())
            return true;
    }
    return false;
}

} // namespace UiAssets
