// The real player and its library in a sandbox: created on the first start
// (one restart), recreated on a wrong version, read by klvtool.
#include "testsandbox.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

QString dbFile(const TestSandbox &sb)
{
    return sb.dir() + QStringLiteral("/run/media/mmcblk1p3/QXMusicDB.db");
}

QString sqlite(const QString &file, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {file, sql});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString klvtool(const TestSandbox &sb, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VDX_SANDBOX"), sb.dir());
    p.setProcessEnvironment(env);
    p.start(TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"), args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int restarts(const TestSandbox &sb)
{
    return sb.readFile(QStringLiteral("var/log/supervisor.log")).count(QStringLiteral("start player pid")) - 1;
}

} // namespace

class TstPlayerLibrary : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheLibraryThenRuns()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        QVERIFY(!QFile::exists(dbFile(sb)));
        QVERIFY(sb.start());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dbFile(sb)), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(restarts(sb), 1, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0, 30000);
        const int pid = sb.playerPid();
        QTest::qWait(5000);
        QVERIFY2(restarts(sb) == 1,
                 qPrintable(sb.readFile("var/log/supervisor.log") + sb.readFile("var/log/commands.log")
                            + sb.readFile("run/media/mmcblk1p3/log_730.txt"))); // the second start found its library
        QCOMPARE(sb.playerPid(), pid);
        QCOMPARE(sqlite(dbFile(sb), QStringLiteral("select value from pre_config where name='dbVersion'")),
                 QStringLiteral("XV1.09"));

        // klvtool reads the sandbox's library through the player's statements.
        const QString config = klvtool(sb, {"db", dbFile(sb), "config"});
        QVERIFY2(config.contains(QStringLiteral("dbVersion\tXV1.09")), qPrintable(config));
        QVERIFY(config.contains(QStringLiteral("languageID\t1")));

        // A library of another version is recreated with the defaults.
        sqlite(dbFile(sb), QStringLiteral("update pre_config set value='XV1.00' where name='dbVersion';"
                                          "update pre_config set value='3' where name='playMode';"));
        QVERIFY(::kill(pid, SIGKILL) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            sqlite(dbFile(sb), QStringLiteral("select value from pre_config where name='dbVersion'")) == "XV1.09",
            60000);
        QCOMPARE(sqlite(dbFile(sb), QStringLiteral("select value from pre_config where name='playMode'")),
                 QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(restarts(sb) == 3 && sb.playerPid() > 0, 60000);
    }
};

QTEST_GUILESS_MAIN(TstPlayerLibrary)
#include "tst_playerlibrary.moc"
