// The real player under its supervisor with the simulated MCU: it reads
// the MCU's settings at start and then polls; when frames keep failing it
// ends itself on the sixth failure and the supervisor starts it again.

#include "testsandbox.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// Frames the player sent, as "kind group/item".
QStringList sentFrames(const TestSandbox &sb)
{
    QStringList out;
    const QString text = sb.readFile(QStringLiteral("var/log/mcu-transcript.jsonl"));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.value("dir").toString() == "in" && o.contains("group"))
            out << QStringLiteral("%1 %2/%3")
                       .arg(o.value("kind").toString())
                       .arg(o.value("group").toInt())
                       .arg(o.value("item").toInt());
    }
    return out;
}

void control(const TestSandbox &sb, const QByteArray &line)
{
    QFile f(sb.path(QStringLiteral("/var/run/mcu.ctl")));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(line + '\n');
}

} // namespace

class TstMcuPlayer : public QObject
{
    Q_OBJECT

private slots:
    void sixthFailureRestartsThePlayer()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        QVERIFY(sb.createLibrary());
        QVERIFY(sb.start());
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0, 10000);
        const int first = sb.playerPid();
        // Synchronised: the settings were read, the polls run.
        QTRY_VERIFY_WITH_TIMEOUT(sentFrames(sb).count(QStringLiteral("read 9/3")) >= 5, 20000);
        const QStringList startup = sentFrames(sb);
        QCOMPARE(startup.first(), QStringLiteral("read 9/4"));
        QVERIFY(startup.contains(QStringLiteral("read 9/122")));
        QVERIFY(!sb.readFile(QStringLiteral("var/log/commands.log")).contains(QStringLiteral("killall")));

        // Six unanswered frames: the sixth failure ends the player.
        control(sb, "silence count=6");
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0 && sb.playerPid() != first, 90000);
        // The first player's part of the log: up to the banner of the next start.
        QString log = sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
        const QString banner = QStringLiteral("VDX-730 APP Runing");
        const int firstBanner = log.indexOf(banner);
        const int nextBanner = log.indexOf(banner, firstBanner + 1);
        if (nextBanner > 0)
            log.truncate(nextBanner);
        QCOMPARE(log.count(QStringLiteral("定时器判断发送数据端口未复位则做复位")), 6);
        QVERIFY(log.contains(QStringLiteral("MCU link: 6 failed frames")));
        QVERIFY(sb.readFile(QStringLiteral("var/log/commands.log")).contains(QStringLiteral("killall -9 KLVPlayer")));
        QVERIFY(sb.readFile(QStringLiteral("var/log/supervisor.log")).count(QStringLiteral("start player pid")) >= 2);

        // The new player reads the version and the settings again.
        const int before = startup.count(QStringLiteral("read 9/4"));
        QTRY_VERIFY_WITH_TIMEOUT(sentFrames(sb).count(QStringLiteral("read 9/4")) > before, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(sentFrames(sb).count(QStringLiteral("read 9/122")) == 2, 15000);
    }
};

QTEST_GUILESS_MAIN(TstMcuPlayer)
#include "tst_mcuplayer.moc"
