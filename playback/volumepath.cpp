#include "volumepath.h"

#include "globals.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

bool isRegularFile(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString canonicalRoot(const QString &root)
{
    return root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
}

bool liesInside(const QString &path, const QString &canonicalRoot)
{
    if (canonicalRoot.isEmpty())
        return false;
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return false;
    // The board's root folder as a volume root holds everything.
    if (canonicalRoot == QLatin1String("/"))
        return real != canonicalRoot;
    return real.startsWith(canonicalRoot + QLatin1Char('/'));
}

QString volumeRootOf(const QString &path)
{
    QString best;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        QString root = d.diskPath;
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        if (root.isEmpty() || root.size() <= best.size())
            continue;
        if (path == root || path.startsWith(root + QLatin1Char('/')))
            best = root;
    }
    return best;
}

QString cueAudioRefusal(const QString &sheetPath, const QString &audioPath, const QString &canonicalRoot)
{
    const QFileInfo audio(audioPath);
    if (!audio.exists()) // a dangling link too
        return QString();
    if (!liesInside(audioPath, canonicalRoot))
        return QStringLiteral("its audio file lies outside the volume");
    const QString real = audio.canonicalFilePath();
    if (real == QFileInfo(sheetPath).canonicalFilePath())
        return QStringLiteral("it names itself as its audio file");
    if (QFileInfo(real).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("its audio file is another CUE sheet");
    if (!isRegularFile(real))
        return QStringLiteral("its audio file is not a regular file");
    return QString();
}
