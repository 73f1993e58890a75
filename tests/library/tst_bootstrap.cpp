// The start-up check of the system files in a sandbox: the resource package
// of this build, a package with another digest, replaced scripts, packages
// brought by a volume.
#include "exeshellfordb.h"
#include "globals.h"
#include "platform.h"
#include "testsandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QResource>
#include <QtTest>

namespace {

QString buildPackage()
{
    return TestSandbox::binaryDir() + QStringLiteral("/fileres.rcc");
}

QByteArray md5(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex()
                                       : QByteArray();
}

} // namespace

class TstBootstrap : public QObject
{
    Q_OBJECT

private:
    TestSandbox *m_sb = nullptr;

    QString sb(const QString &boardPath) const { return m_sb->path(boardPath); }
    int reboots() const { return m_sb->readFile(QStringLiteral("var/log/reboot.log")).count(QStringLiteral("reboot")); }
    // Wraps md5sum so that the test sees every call the bootstrap makes.
    void countMd5Calls() const
    {
        QFile f(m_sb->dir() + QStringLiteral("/bin/md5sum"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/bash\necho \"$*\" >> \"$VDX_SANDBOX/var/log/md5.log\"\nexec /usr/bin/md5sum \"$@\"\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }

private slots:
    void init()
    {
        m_sb = new TestSandbox();
        QVERIFY(m_sb->isValid());
        m_sb->enter();
        Platform::applyEnvironment();
        InitPaths();
        Is_RccFile_Exist = false;
        UsingUSBDiskList.clear();
    }
    void cleanup()
    {
        delete m_sb;
        InitPaths();
        UsingUSBDiskList.clear();
    }

    void digestIsThisBuildsPackage()
    {
        QVERIFY(QFile::exists(buildPackage()));
        QCOMPARE(ExeShellForDB::expectedDigest().toLatin1(), md5(buildPackage()));
        ExeShellForDB shell;
        QCOMPARE(shell.Get_md5sum_File(buildPackage()), ExeShellForDB::expectedDigest());
        QCOMPARE(shell.Get_md5sum_File(sb("/no/such/file")), QString());
    }

    void noPackageDoesNothing()
    {
        countMd5Calls();
        ExeShellForDB shell;
        shell.InitSysNeedFiles();
        QVERIFY(!Is_RccFile_Exist);
        QVERIFY(m_sb->readFile(QStringLiteral("var/log/md5.log")).isEmpty());
        QVERIFY(!QFile::exists(sb("/etc/udev/scripts/checkUpdate.sh")));
        QCOMPARE(reboots(), 0);
    }

    void wrongDigestIsIgnored()
    {
        QFile pkg(ReadWrite_Path + QStringLiteral("fileres.rcc"));
        QVERIFY(QFile::copy(buildPackage(), pkg.fileName()));
        QVERIFY(pkg.open(QIODevice::Append));
        pkg.write("x"); // one byte more: another digest
        pkg.close();
        ExeShellForDB shell;
        shell.InitSysNeedFiles();
        QVERIFY(Is_RccFile_Exist);
        QVERIFY(!QFile::exists(sb("/home/root/run.sh")));
        QVERIFY(!QFile::exists(sb("/etc/udev/scripts/checkUpdate.sh")));
        QCOMPARE(reboots(), 0);
    }

    void installsOneScriptPerStartThenSettles()
    {
        QVERIFY(QFile::copy(buildPackage(), ReadWrite_Path + QStringLiteral("fileres.rcc")));
        ExeShellForDB shell;

        // First start: start script, supervisor, update script, fonts, fstab.
        shell.InitSysNeedFiles();
        QVERIFY(QFile::exists(sb("/home/root/run.sh")));
        QVERIFY(QFileInfo(sb("/home/root/run.sh")).isExecutable());
        QVERIFY(QFile::exists(ReadWrite_Path + QStringLiteral("KLVDaemon")));
        QVERIFY(QFile::exists(sb("/etc/udev/scripts/checkUpdate.sh")));
        QVERIFY(!QFile::exists(sb("/etc/udev/scripts/udisk-mount.sh"))); // the next start's
        for (const QString &font : ExeShellForDB::fontNames())
            QVERIFY2(QFile::exists(sb("/usr/share/fonts/ttf/") + font), qPrintable(font));
        QVERIFY(m_sb->readFile(QStringLiteral("etc/fstab")).contains(QStringLiteral("/run/media/mmcblk1p3")));
        QCOMPARE(reboots(), 2);                                                // update script, fstab
        QVERIFY(!QResource(QStringLiteral(":/db/DataBase/run.sh")).isValid()); // package unregistered again

        // Second start: the automount script and its udev rule.
        shell.InitSysNeedFiles();
        QVERIFY(QFile::exists(sb("/etc/udev/scripts/udisk-mount.sh")));
        QVERIFY(QFile::exists(sb("/etc/udev/rules.d/99-usb-automount.rules")));
        QCOMPARE(reboots(), 3);

        // Third start: everything current, nothing happens.
        shell.InitSysNeedFiles();
        QCOMPARE(reboots(), 3);
        // One line tells why a first start restarts; each install says it restarts.
        const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
        QCOMPARE(log.count(QStringLiteral("first start: installing the system files of the resource package")), 1);
        for (const char *line : {"system file checkUpdate.sh installed: restarting",
                                 "system files udisk-mount.sh and its udev rule installed: restarting",
                                 "system file fstab installed: restarting"})
            QVERIFY2(log.count(QString::fromLatin1(line)) == 1, line);

        // A changed script is replaced and the board reboots.
        {
            QFile f(sb("/etc/udev/scripts/checkUpdate.sh"));
            QVERIFY(f.open(QIODevice::Append));
            f.write("# edited\n");
        }
        shell.InitSysNeedFiles();
        QVERIFY(!m_sb->readFile(QStringLiteral("etc/udev/scripts/checkUpdate.sh")).contains(QStringLiteral("edited")));
        QCOMPARE(reboots(), 4);

        // An older layout's files in the home folder are cleared.
        QFile old(sb("/home/root/KLVDaemon"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QFile oldDb(sb("/home/root/QXMusicDB.db"));
        QVERIFY(oldDb.open(QIODevice::WriteOnly));
        oldDb.close();
        shell.InitSysNeedFiles();
        QVERIFY(!QFile::exists(sb("/home/root/KLVDaemon")));
        QVERIFY(!QFile::exists(sb("/home/root/QXMusicDB.db")));
        QVERIFY(
            m_sb->readFile(QStringLiteral("var/log/commands.log")).contains(QStringLiteral("mount -o remount -rw /")));
    }

    void volumeBringsThePackage()
    {
        const QString stick = USBPath_Prefix + QStringLiteral("usb-storage_1/sda1");
        QVERIFY(QDir().mkpath(stick));
        // A decoy first in name order, then the real one.
        QFile decoy(stick + QStringLiteral("/aaa.rcc"));
        QVERIFY(decoy.open(QIODevice::WriteOnly));
        decoy.write("not a package");
        decoy.close();
        QVERIFY(QFile::copy(buildPackage(), stick + QStringLiteral("/update.rcc")));
        DiskInfo d;
        d.diskPath = stick;
        UsingUSBDiskList.append(d);

        ExeShellForDB shell;
        QVERIFY(shell.Check_rcc_file(false));
        QCOMPARE(md5(ReadWrite_Path + QStringLiteral("fileres.rcc")), md5(buildPackage()));
        QVERIFY(Is_RccFile_Exist);
        QVERIFY(QFile::exists(sb("/etc/udev/scripts/checkUpdate.sh")));

        // With an intact package only its digest is checked again.
        countMd5Calls();
        QVERIFY(shell.Check_rcc_file(false));
        const QString calls = m_sb->readFile(QStringLiteral("var/log/md5.log"));
        QCOMPARE(calls.count(QLatin1Char('\n')), 1);
        QVERIFY(calls.contains(QStringLiteral("fileres.rcc")));

        // A damaged package is replaced from the volume.
        {
            QFile pkg(ReadWrite_Path + QStringLiteral("fileres.rcc"));
            QVERIFY(pkg.open(QIODevice::Append));
            pkg.write("damage");
        }
        QVERIFY(shell.Check_rcc_file(false));
        QCOMPARE(md5(ReadWrite_Path + QStringLiteral("fileres.rcc")), md5(buildPackage()));
    }
};

QTEST_GUILESS_MAIN(TstBootstrap)
#include "tst_bootstrap.moc"
