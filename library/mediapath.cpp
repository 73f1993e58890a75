#include "mediapath.h"

#include <QDir>

QString Get_RealFilePath(const QString &path)
{
    const int at = path.indexOf(QStringLiteral("__M__"));
    return at < 0 ? path : path.left(at);
}

QString get_RealMusicName(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

int GetRootFilesNumbers(const QString &path)
{
    return QDir(path)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort)
        .size();
}

QString shellQuote(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}
