// klvtool scan: the scanner on a folder, its rows and summary; and, run as
// an unprivileged user (root enters any folder), the folders that cannot be
// read or entered.
#include "testsandbox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString klvtool()
{
    return TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool");
}

bool tone(const QString &path, const QString &artist)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=0.2",
                                       "-ac", "1", "-ar", "8000", "-metadata", "artist=" + artist, path});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

// Runs klvtool scan (as user nobody with unprivileged, which needs root); its
// stdout lines, and with err its log (stderr).
QStringList scan(const QString &dir, const QString &db, bool unprivileged, int *exitCode, QString *err = nullptr)
{
    QStringList args{klvtool(), "scan", dir, "--db", db, "--interval", "0"};
    if (err)
        args << QStringLiteral("--verbose"); // the log on stderr
    QString program = args.takeFirst();
    if (unprivileged) {
        args.prepend(program);
        args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--"} + args;
        program = QStringLiteral("setpriv");
    }
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        *exitCode = -1;
        return {};
    }
    *exitCode = p.exitCode();
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TstKlvScan : public QObject
{
    Q_OBJECT

private slots:
    void rowsAndSummary();
    void foldersThatCannotBeEntered();
};

void TstKlvScan::rowsAndSummary()
{
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("stick");
    QVERIFY(tone(dir + "/Album/one.mp3", "Singer"));
    QVERIFY(tone(dir + "/two.mp3", "周杰伦"));
    QVERIFY(QDir().mkpath(dir + "/Empty"));
    // A name that is not UTF-8 (GBK) and a link off the stick: counted, not entered.
    const int fd = ::open((QFile::encodeName(dir) + "/\xC4\xE3.mp3").constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), dir + "/passwd.mp3"));
    int code = 0;
    QString err;
    const QStringList out = scan(dir, tmp.filePath("lib.db"), false, &code, &err);
    QCOMPARE(code, 0);
    QCOMPARE(out.size(), 3);
    QStringList rows = out.mid(0, 2);
    rows.sort();
    QVERIFY2(rows.at(0).startsWith("one\tmp3\tAlbum/one.mp3\t"), qPrintable(rows.at(0)));
    QVERIFY(rows.at(0).contains("\tSinger\t"));
    QVERIFY2(rows.at(1).startsWith("two\tmp3\ttwo.mp3\t"), qPrintable(rows.at(1)));
    QVERIFY(rows.at(1).contains("\t周杰伦\t"));
    QVERIFY2(out.at(2).startsWith("scan: volume 1, 3 folders found, 3 read, 2 rows entered, 0 CUE sheets read, "
                                  "0 already complete, 1 names not UTF-8, 1 refused, unfinished false,"),
             qPrintable(out.at(2)));
    QVERIFY2(err.contains("scanner: file name is not valid UTF-8, skipped: ") && err.contains("/\\xC4\\xE3.mp3"),
             qPrintable(err));
    QVERIFY2(err.contains("scanner: link leads outside the volume, skipped: "), qPrintable(err));
    // The library file is one the player reads.
    QProcess db;
    db.start(klvtool(), {"db", tmp.filePath("lib.db"), "folders", "1"});
    QVERIFY(db.waitForFinished(30000));
    const QString folders = QString::fromUtf8(db.readAllStandardOutput());
    QVERIFY(folders.contains("\t1\tUSBBASEROOTPATH"));
    QVERIFY(folders.contains("\t1\tAlbum"));
    QVERIFY(folders.contains("\t1\tEmpty"));
}

void TstKlvScan::foldersThatCannotBeEntered()
{
    QTemporaryDir tmp;
    QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 0777) == 0);
    const QString dir = tmp.filePath("stick");
    for (const char *f : {"root.mp3", "c:d/in.mp3", "a:b/out.mp3", "locked/out.mp3", "Open/in.mp3"})
        QVERIFY(tone(dir + "/" + QString::fromLatin1(f), "x"));
    // A colon in a folder that cannot be entered, and a folder that cannot be read.
    QVERIFY(::chmod(QFile::encodeName(dir + "/a:b").constData(), 0644) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir + "/locked").constData(), 0311) == 0);
    int code = 0;
    // Root enters every folder: klvtool runs as user nobody then.
    const QStringList out = scan(dir, tmp.filePath("lib.db"), ::geteuid() == 0, &code);
    QCOMPARE(code, 0);
    QStringList paths;
    for (const QString &line : out.mid(0, out.size() - 1))
        paths << line.section(QLatin1Char('\t'), 2, 2);
    paths.sort();
    QCOMPARE(paths, (QStringList{"Open/in.mp3", "c:d/in.mp3", "root.mp3"}));
    QVERIFY2(out.last().contains("3 folders found, 3 read"), qPrintable(out.last()));
}

QTEST_GUILESS_MAIN(TstKlvScan)
#include "tst_klvscan.moc"
