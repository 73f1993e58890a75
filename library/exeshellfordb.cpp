#include "exeshellfordb.h"

#include "fileres_digest.h"
#include "globals.h"
#include "libraryrepair.h"
#include "logging.h"
#include "platform.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QResource>

bool Is_RccFile_Exist = false;

namespace {

QString remount()
{
    return QStringLiteral("mount -o remount -rw /");
}
QString rmrf(const QString &path)
{
    return QStringLiteral("rm -rf ") + path;
}
void run(const QString &cmd, int timeoutMs = 4000)
{
    executeLinuxCmd(cmd, timeoutMs);
}

} // namespace

ExeShellForDB::ExeShellForDB()
    : m_schemaCopy(ReadWrite_Path + QStringLiteral("default.sql"))
    , m_updateScript(Platform::udevScriptsDir() + QStringLiteral("checkUpdate.sh"))
    , m_mountScript(Platform::udevScriptsDir() + QStringLiteral("udisk-mount.sh"))
    , m_package(ReadWrite_Path + QStringLiteral("fileres.rcc"))
{}

QString ExeShellForDB::expectedDigest()
{
    return QStringLiteral(VDX_FILERES_MD5);
}

QStringList ExeShellForDB::fontNames()
{
    return QString::fromLatin1(VDX_FILERES_FONTS).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void ExeShellForDB::InitSysNeedFiles()
{
    Is_RccFile_Exist = QFile::exists(m_package);
    if (!Is_RccFile_Exist)
        return;
    if (Get_md5sum_File(m_package) != expectedDigest())
        return;
    if (!QResource::registerResource(m_package))
        return;
    // On a first start every script differs from the package's: each one
    // installed asks for a restart, so the player starts three times before
    // it runs. Said once, so that the restarts do not read as crashes.
    if (!QFile::exists(m_updateScript) && !QFile::exists(m_mountScript))
        qCInfo(lcLibrary).noquote() << QStringLiteral(
            "first start: installing the system files of the resource package (checkUpdate.sh, "
            "udisk-mount.sh with its udev rule, fstab); the player restarts after each, three "
            "times, then runs");
    CreateDaemonFile();
    UpgradeSHFile();
    Check_Sys_Fonts();
    Check_Sys_ReadOnly();
    QResource::unregisterResource(m_package);
}

bool ExeShellForDB::CreateDaemonFile()
{
    const QString home = Platform::homeRoot();
    if (QFile::exists(home + QStringLiteral("KLVDaemon"))) {
        // Files of the older layout that kept everything in the home folder.
        run(remount());
        run(QStringLiteral("sync"));
        run(rmrf(home + QStringLiteral("QXMusicDB.db")));
        run(rmrf(home + QStringLiteral("upgradeApp.sh")));
        run(rmrf(home + QStringLiteral("KLVPlayer")));
        run(rmrf(home + QStringLiteral("KLVDaemon")));
        run(QStringLiteral("sync"));
    }
    const QString runScript = home + QStringLiteral("run.sh");
    const QString runResource = QStringLiteral(":/db/DataBase/run.sh");
    if (!Check_QRC_File_MD5(runResource, Get_md5sum_File(runScript))) {
        run(remount());
        run(rmrf(runScript));
        run(QStringLiteral("sync"));
        CopyToLinuxFromRC(runResource, runScript);
    }
    const QString daemon = ReadWrite_Path + QStringLiteral("KLVDaemon");
    if (QFile::exists(daemon))
        return false;
    CopyToLinuxFromRC(QStringLiteral(":/db/DataBase/KLVDaemon"), daemon);
    return true;
}

bool ExeShellForDB::UpgradeSHFile()
{
    const QString updateResource = QStringLiteral(":/db/DataBase/checkUpdate.sh");
    if (!Check_QRC_File_MD5(updateResource, Get_md5sum_File(m_updateScript))) {
        run(remount());
        run(rmrf(m_updateScript));
        run(QStringLiteral("sync"));
        CopyToLinuxFromRC(updateResource, m_updateScript);
        qCInfo(lcLibrary).noquote() << QStringLiteral("system file checkUpdate.sh installed: restarting");
        run(QStringLiteral("reboot"));
        return true;
    }
    const QString mountResource = QStringLiteral(":/db/DataBase/udisk-mount.sh");
    if (!Check_QRC_File_MD5(mountResource, Get_md5sum_File(m_mountScript))) {
        run(remount());
        run(rmrf(m_mountScript));
        run(QStringLiteral("sync"));
        CopyToLinuxFromRC(mountResource, m_mountScript);
        // The udev rule that calls the automount script travels with it.
        const QString rule = Platform::udevRulesDir() + QStringLiteral("99-usb-automount.rules");
        QDir().mkpath(Platform::udevRulesDir());
        run(rmrf(rule));
        CopyToLinuxFromRC(QStringLiteral(":/db/DataBase/99-usb-automount.rules"), rule);
        qCInfo(lcLibrary).noquote() << QStringLiteral("system files udisk-mount.sh and its udev rule installed: "
                                                      "restarting");
        run(QStringLiteral("reboot"));
        return false;
    }
    return false;
}

void ExeShellForDB::Check_Sys_Fonts()
{
    const QString dir = Platform::fontsDir();
    for (const QString &name : fontNames()) {
        if (!QFile::exists(dir + name)) {
            QDir().mkpath(dir);
            CopyToLinuxFromRC(QStringLiteral(":/font/Resource/") + name, dir + name);
        }
    }
}

void ExeShellForDB::Check_Sys_ReadOnly()
{
    const QString fstab = Platform::fstabPath();
    const QString resource = QStringLiteral(":/db/DataBase/fstab");
    if (!Check_QRC_File_MD5(resource, Get_md5sum_File(fstab))) {
        run(rmrf(fstab));
        run(QStringLiteral("sync"));
        CopyToLinuxFromRC(resource, fstab);
        qCInfo(lcLibrary).noquote() << QStringLiteral("system file fstab installed: restarting");
        run(QStringLiteral("reboot"));
    }
}

bool ExeShellForDB::Check_rcc_file(bool force)
{
    if (Is_RccFile_Exist && !force) {
        if (Get_md5sum_File(m_package) != expectedDigest())
            Check_rcc_file(true);
        return true;
    }
    for (const DiskInfo &disk : qAsConst(UsingUSBDiskList)) {
        QDir root(disk.diskPath);
        if (disk.diskPath.isEmpty() || !root.exists())
            continue;
        const QFileInfoList found = root.entryInfoList(QStringList{QStringLiteral("*.rcc")}, QDir::Files, QDir::NoSort);
        for (const QFileInfo &f : found) {
            if (Get_md5sum_File(f.absoluteFilePath()) != expectedDigest())
                continue;
            QFile::remove(m_package);
            run(QStringLiteral("sync"));
            CopyToLinuxFromRC(f.absoluteFilePath(), m_package);
            InitSysNeedFiles();
            return true;
        }
    }
    return true;
}

bool ExeShellForDB::CreatNewMusicDB(bool restartApp)
{
    const QString db = MusicDataBaseName;
    if (QFile::exists(db)) {
        run(rmrf(db));
        run(QStringLiteral("sync"));
        qCInfo(lcLibrary) << "删除数据库：" << db;
    }
    if (QFile::exists(m_schemaCopy)) {
        run(rmrf(m_schemaCopy));
        run(QStringLiteral("sync"));
    }
    QFile::copy(QStringLiteral(":/qss/DataBase/default.sql"), m_schemaCopy);
    if (QFile::exists(m_schemaCopy)) {
        run(QStringLiteral("sqlite3 ") + db + QStringLiteral("  << EOF\n.read ") + m_schemaCopy
            + QStringLiteral("\n.quit\nEOF"));
        run(QStringLiteral("chmod +x ") + db);
        qCInfo(lcLibrary) << "创建数据库:::" << db;
        run(rmrf(m_schemaCopy));
        run(QStringLiteral("sync"));
    }
    if (restartApp) {
        qCInfo(lcLibrary).noquote() << QStringLiteral("library file made anew: restarting to open it");
        run(QStringLiteral("killall -9 KLVPlayer"));
    }
    return true;
}

bool ExeShellForDB::RebuilMuiscDB()
{
    const QString db = MusicDataBaseName;
    // A dump and reload lost everything when the dump ended in errors; the
    // file older builds dumped into is no longer used.
    const QString dump = ReadWrite_Path + QStringLiteral("bakmusicdb.sql");
    if (QFile::exists(dump)) {
        run(QStringLiteral("rm ") + dump);
        run(QStringLiteral("sync"));
    }
    if (!QFile::exists(db))
        return false;
    const LibraryRepair::Result result = LibraryRepair::repair(db);
    const QString line = LibraryRepair::summary(result, db);
    qCWarning(lcLibrary).noquote() << line;
    run(QStringLiteral("sync"));
    return result.replaced;
}

bool ExeShellForDB::CopyToLinuxFromRC(const QString &source, const QString &destination) const
{
    QFile::copy(source, destination);
    run(QStringLiteral("chmod +x ") + destination);
    run(QStringLiteral("sync"));
    return true;
}

QString ExeShellForDB::Get_md5sum_File(const QString &path) const
{
    const QString out = executeLinuxCmd(QStringLiteral("md5sum ") + path);
    const QStringList parts = out.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    return parts.size() == 3 ? parts.first() : QString();
}

bool ExeShellForDB::Check_QRC_File_MD5(const QString &resource, const QString &md5) const
{
    QFile f(resource);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex().toLower();
    return QString::fromLatin1(digest) == md5;
}
