// klvtool play refuses at once, with a message, what is no regular file: a
// FIFO would block its open, a device would play forever.
#include "testsandbox.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TstKlvPlay : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatIsNoFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("folder") << "folder";
    }
    void refusesWhatIsNoFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("song.flac"));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("zero"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else
            QVERIFY(QDir().mkpath(path));
        QProcess p;
        p.start(TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"), {QStringLiteral("play"), path});
        const bool ended = p.waitForFinished(20000);
        if (!ended)
            p.kill();
        QVERIFY2(ended, "klvtool play still runs");
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("not a regular file")) && err.contains(path), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TstKlvPlay)
#include "tst_klvplay.moc"
