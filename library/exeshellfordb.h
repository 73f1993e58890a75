#pragma once
// Start-up check of the system files that travel in the resource package
// "fileres.rcc" on the writable partition (automount and update scripts,
// fstab, start script, supervisor, fonts), creation of the library file
// with the sqlite3 tool and its repair (LibraryRepair). Every command goes
// through executeLinuxCmd; every path through the platform layer.

#include <QString>
#include <QStringList>

// Whether the resource package existed at the last InitSysNeedFiles().
extern bool Is_RccFile_Exist;

class ExeShellForDB
{
public:
    ExeShellForDB();

    void InitSysNeedFiles();
    bool Check_rcc_file(bool force);
    bool CreatNewMusicDB(bool restartApp);
    // Rebuilds a damaged library file beside it from what can still be read
    // and swaps it in once it passes its check; true when it did.
    bool RebuilMuiscDB();

    bool CopyToLinuxFromRC(const QString &source, const QString &destination) const;
    QString Get_md5sum_File(const QString &path) const;
    bool Check_QRC_File_MD5(const QString &resource, const QString &md5) const;

    bool UpgradeSHFile();
    bool CreateDaemonFile();
    void Check_Sys_Fonts();
    void Check_Sys_ReadOnly();

    // MD5 of the package this build produced.
    static QString expectedDigest();
    // Font files carried by the package, in install order.
    static QStringList fontNames();

private:
    QString m_schemaCopy;   // ReadWrite_Path + "default.sql"
    QString m_updateScript; // /etc/udev/scripts/checkUpdate.sh
    QString m_mountScript;  // /etc/udev/scripts/udisk-mount.sh
    QString m_package;      // ReadWrite_Path + "fileres.rcc"
};
