#include "testsandbox.h"

#include "globals.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <unistd.h>

namespace {

QString script()
{
    return TestSandbox::sourceDir() + QStringLiteral("/tools/sandbox/sandbox");
}

} // namespace

TestSandbox::TestSandbox(const QStringList &createOptions)
    : m_tmp(QStringLiteral("/tmp/vdx-test-XXXXXX"))
{
    if (!m_tmp.isValid())
        return;
    const QString dir = m_tmp.path() + QStringLiteral("/sb");
    QStringList args{QStringLiteral("create"), dir, QStringLiteral("--player"),
                     binaryDir() + QStringLiteral("/app/KLVPlayer")};
    args += createOptions;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VDX_DAEMON"), binaryDir() + QStringLiteral("/tools/KLVDaemon"));
    p.setProcessEnvironment(env);
    p.start(script(), args);
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        m_dir = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    else
        qWarning("sandbox create failed: %s", p.readAllStandardError().constData());
}

TestSandbox::~TestSandbox()
{
    if (!m_dir.isEmpty()) {
        if (Platform::sandboxDir() == m_dir)
            leave();
        // VDX_KEEP_LOGS=DIR keeps each sandbox's logs (player, simulators,
        // transcripts) under DIR for a look after a failure.
        const QString keep = qEnvironmentVariable("VDX_KEEP_LOGS");
        if (!keep.isEmpty()) {
            stop();
            const QString to = QStringLiteral("%1/%2-%3").arg(keep, QFileInfo(m_tmp.path()).fileName()).arg(getpid());
            QDir().mkpath(to);
            QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), m_dir + QStringLiteral("/var/log"), to});
            QFile::copy(m_dir + QStringLiteral("/run/media/mmcblk1p3/log_730.txt"),
                        to + QStringLiteral("/log_730.txt"));
            qInfo("sandbox logs kept in %s", qPrintable(to));
        }
        run(QStringLiteral("destroy"));
    }
}

int TestSandbox::run(const QString &command, const QStringList &args, QString *output) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VDX_DAEMON"), binaryDir() + QStringLiteral("/tools/KLVDaemon"));
    env.remove(QStringLiteral("VDX_SANDBOX"));
    // A player started from a test never needs a display.
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(script(), QStringList{command, m_dir} + args);
    if (!p.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool TestSandbox::createLibrary(int languageId) const
{
    const QString db = m_dir + QStringLiteral("/run/media/mmcblk1p3/QXMusicDB.db");
    QProcess p;
    p.setStandardInputFile(sourceDir() + QStringLiteral("/resources/DataBase/default.sql"));
    p.start(QStringLiteral("sqlite3"), {db});
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    QProcess lang;
    lang.start(QStringLiteral("sqlite3"),
               {db, QStringLiteral("UPDATE pre_config SET value='%1' WHERE name='languageID';").arg(languageId)});
    return lang.waitForFinished(10000) && lang.exitStatus() == QProcess::NormalExit && lang.exitCode() == 0;
}

void TestSandbox::enter() const
{
    Platform::setSandbox(m_dir);
    // Shell commands of this process (killall, reboot, mount) must find the
    // sandbox's stubs, never the machine's own tools.
    Platform::applyEnvironment();
    InitPaths();
    // The process's messages go to the sandbox's log file, as the player's
    // do, and on to the test output.
    installLogHandler(true, LogLevel::Debug);
}

void TestSandbox::leave()
{
    Platform::setSandbox(QString());
    InitPaths();
}

QString TestSandbox::readFile(const QString &relPath) const
{
    QFile f(m_dir + QLatin1Char('/') + relPath);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

int TestSandbox::playerPid() const
{
    const int pid = readFile(QStringLiteral("var/run/player.pid")).trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) == 0 ? pid : 0;
}
