#include "playerrig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

bool run(const QString &program, const QStringList &args, QString *out = nullptr, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (out)
        *out = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString vdx()
{
    return TestSandbox::sourceDir() + QStringLiteral("/vdx");
}

// Processes events for ms (the rig's waits keep the test's own objects alive).
void pause(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

} // namespace

PlayerRig::PlayerRig(const QStringList &createOptions)
    : m_sb(createOptions)
{}

PlayerRig::~PlayerRig()
{
    m_sb.stop();
    for (int port = 1; port <= 3; ++port)
        run(vdx(), {"usb", "remove", "--port", QString::number(port), "--sandbox", m_sb.dir()}, nullptr, 20000);
}

bool PlayerRig::isRoot()
{
    return ::geteuid() == 0;
}

QString PlayerRig::makeStick(const QString &name, const QList<SongSpec> &songs,
                             const QList<QPair<QString, QByteArray>> &rawFiles)
{
    const QString root = m_sb.dir() + QStringLiteral("/sticks/") + name;
    QDir().mkpath(root);
    for (int i = 0; i < songs.size(); ++i) {
        const SongSpec &s = songs.at(i);
        const QString file = root + QLatin1Char('/') + s.path;
        QDir().mkpath(QFileInfo(file).absolutePath());
        const QString ext = QFileInfo(file).suffix().toLower();
        if (ext == QLatin1String("dsf")) {
            if (!run(QStringLiteral("/usr/bin/python3"),
                     {TestSandbox::sourceDir() + QStringLiteral("/tools/dsdgen/dsdgen.py"), "dsf", "--seconds",
                      QString::number(s.seconds), file}))
                return QString();
            continue;
        }
        QStringList args{"-v",
                         "error",
                         "-y",
                         "-f",
                         "lavfi",
                         "-i",
                         QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3")
                             .arg(300 + 20 * i)
                             .arg(s.sampleRate)
                             .arg(s.seconds),
                         "-ac",
                         "2"};
        if (!s.sampleFormat.isEmpty())
            args << "-sample_fmt" << s.sampleFormat;
        if (!s.title.isEmpty())
            args << "-metadata" << QStringLiteral("title=") + s.title;
        if (!s.artist.isEmpty())
            args << "-metadata" << QStringLiteral("artist=") + s.artist;
        args << file;
        QString out;
        if (!run(QStringLiteral("ffmpeg"), args, &out)) {
            qWarning("ffmpeg failed for %s: %s", qPrintable(file), qPrintable(out));
            return QString();
        }
    }
    for (const auto &raw : rawFiles) {
        const QString file = root + QLatin1Char('/') + raw.first;
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(raw.second);
    }
    const QString image = m_sb.dir() + QStringLiteral("/sticks/") + name + QStringLiteral(".img");
    QString out;
    if (!run(vdx(), {"usb", "make", image, "--from", root}, &out)) {
        qWarning("vdx usb make failed: %s", qPrintable(out));
        return QString();
    }
    return image;
}

bool PlayerRig::insert(const QString &image, int port, const QString &partition)
{
    QString out;
    QStringList args{"usb", "insert", image, "--port", QString::number(port), "--sandbox", m_sb.dir()};
    if (!partition.isEmpty())
        args << "--partition" << partition;
    const bool ok = run(vdx(), args, &out);
    if (!ok)
        qWarning("vdx usb insert failed: %s", qPrintable(out));
    return ok;
}

bool PlayerRig::remove(int port, const QString &partition)
{
    QString out;
    QStringList args{"usb", "remove", "--port", QString::number(port), "--sandbox", m_sb.dir()};
    if (!partition.isEmpty())
        args << "--partition" << partition;
    const bool ok = run(vdx(), args, &out);
    if (!ok)
        qWarning("vdx usb remove failed: %s", qPrintable(out));
    return ok;
}

bool PlayerRig::start(int languageId)
{
    return m_sb.createLibrary(languageId) && m_sb.start();
}

bool PlayerRig::killPlayer()
{
    const int pid = m_sb.playerPid();
    return pid > 0 && ::kill(pid, SIGKILL) == 0;
}

void PlayerRig::keys(const QString &line)
{
    QFile f(m_sb.dir() + QStringLiteral("/var/run/keys.script"));
    if (f.open(QIODevice::Append))
        f.write(line.toUtf8() + '\n');
}

void PlayerRig::mcu(const QString &line)
{
    QFile f(m_sb.dir() + QStringLiteral("/var/run/mcu.ctl"));
    if (f.open(QIODevice::Append))
        f.write(line.toUtf8() + '\n');
}

void PlayerRig::knob(int steps)
{
    keys(QStringLiteral("knob %1").arg(steps));
    keys(QStringLiteral("wait 300"));
}

void PlayerRig::press(const QString &key)
{
    keys(key);
    keys(QStringLiteral("wait 700"));
}

bool PlayerRig::openSetup(const QString &title, int timeoutMs)
{
    const QString line = QStringLiteral("setup screen opened: \"%1\"").arg(title);
    const int before = log().count(line);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        keys(QStringLiteral("long 4 ms=900"));
        QElapsedTimer w;
        w.start();
        while (w.elapsed() < 4000) {
            if (log().count(line) > before) {
                keys(QStringLiteral("wait 500"));
                return true;
            }
            QTest::qWait(100);
        }
    }
    return false;
}

void PlayerRig::readTranscript()
{
    QFile f(m_sb.dir() + QStringLiteral("/var/log/mcu-transcript.jsonl"));
    if (!f.open(QIODevice::ReadOnly))
        return;
    if (f.size() < m_transcriptRead) {
        m_transcriptRead = 0;
        m_frames.clear();
        m_packets.clear();
    }
    f.seek(m_transcriptRead);
    const QByteArray data = f.readAll();
    const int end = data.lastIndexOf('\n');
    if (end < 0)
        return;
    m_transcriptRead += end + 1;
    for (const QByteArray &line : data.left(end).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        m_frames.append(o);
        const QJsonObject np = o.value(QStringLiteral("nowplaying")).toObject();
        if (np.isEmpty() || !np.value(QStringLiteral("ok")).toBool())
            continue;
        NowPlaying p;
        p.time = o.value(QStringLiteral("time")).toDouble();
        p.title = np.value(QStringLiteral("title")).toString();
        p.artist = np.value(QStringLiteral("artist")).toString();
        p.format = np.value(QStringLiteral("format")).toString();
        p.total = np.value(QStringLiteral("total")).toInt();
        p.elapsed = np.value(QStringLiteral("elapsed")).toInt();
        p.state = np.value(QStringLiteral("state")).toInt();
        p.playMode = np.value(QStringLiteral("playmode")).toInt();
        p.hires = np.value(QStringLiteral("hires")).toInt() != 0;
        m_packets.append(p);
    }
}

QList<NowPlaying> PlayerRig::packets()
{
    readTranscript();
    return m_packets;
}

NowPlaying PlayerRig::latest()
{
    readTranscript();
    return m_packets.isEmpty() ? NowPlaying() : m_packets.last();
}

NowPlaying PlayerRig::waitFor(const std::function<bool(const NowPlaying &)> &pred, int timeoutMs, double since)
{
    QElapsedTimer t;
    t.start();
    int checked = 0;
    for (;;) {
        readTranscript();
        for (; checked < m_packets.size(); ++checked) {
            const NowPlaying &p = m_packets.at(checked);
            if (p.time > since && pred(p))
                return p;
        }
        if (t.elapsed() > timeoutMs)
            return NowPlaying();
        pause(100);
    }
}

NowPlaying PlayerRig::waitForOtherSong(const QString &title, int timeoutMs, double since)
{
    return waitFor([&](const NowPlaying &p) { return p.state == 2 && p.elapsed >= 1 && p.title != title; }, timeoutMs,
                   since);
}

NowPlaying PlayerRig::waitForPlaying(const QString &title, int timeoutMs, double since)
{
    return waitFor([&](const NowPlaying &p) { return p.state == 2 && p.elapsed >= 1 && p.title == title; }, timeoutMs,
                   since);
}

QList<QJsonObject> PlayerRig::frames(const std::function<bool(const QJsonObject &)> &pred, double since)
{
    readTranscript();
    QList<QJsonObject> out;
    for (const QJsonObject &o : qAsConst(m_frames)) {
        if (o.value(QStringLiteral("time")).toDouble() > since && pred(o))
            out.append(o);
    }
    return out;
}

double PlayerRig::lastFrameTime()
{
    readTranscript();
    return m_frames.isEmpty() ? 0 : m_frames.last().value(QStringLiteral("time")).toDouble();
}

QString PlayerRig::setting(const QString &key) const
{
    QSettings s(m_sb.dir() + QStringLiteral("/run/media/mmcblk1p3/setting.ini"), QSettings::IniFormat);
    s.setIniCodec("utf-8");
    return s.value(key).toString();
}

QString PlayerRig::log() const
{
    return m_sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
}

QString PlayerRig::shot(const QString &name, int timeoutMs)
{
    const QString png = m_sb.dir() + QStringLiteral("/var/shots/") + name + QStringLiteral(".png");
    QFile::remove(png);
    QFile f(m_sb.dir() + QStringLiteral("/var/run/shots.ctl"));
    if (!f.open(QIODevice::Append))
        return QString();
    f.write(name.toUtf8() + '\n');
    f.close();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (m_sb.readFile(QStringLiteral("var/log/shots.log")).contains(name + QStringLiteral(".png"))
            && QFile::exists(png))
            return png;
        pause(100);
    }
    return QString();
}

QString PlayerRig::diagnostics()
{
    readTranscript();
    QString out = QStringLiteral("--- now playing (last 12):\n");
    for (int i = qMax(0, m_packets.size() - 12); i < m_packets.size(); ++i) {
        const NowPlaying &p = m_packets.at(i);
        out += QStringLiteral("%1 %2 %3/%4 state %5 mode %6\n")
                   .arg(p.time, 0, 'f', 1)
                   .arg(p.title)
                   .arg(p.elapsed)
                   .arg(p.total)
                   .arg(p.state)
                   .arg(p.playMode);
    }
    const QString l = log();
    out += QStringLiteral("--- player log (end):\n") + l.right(3000);
    out += QStringLiteral("--- supervisor:\n") + m_sb.readFile(QStringLiteral("var/log/supervisor.log")).right(1000);
    out += QStringLiteral("--- MCU simulator (end):\n")
           + m_sb.readFile(QStringLiteral("var/log/ttyS4-sim.out")).right(1000)
           + m_sb.readFile(QStringLiteral("var/log/mcu-transcript.jsonl")).right(2500);
    // Qt Test cuts a failure's message to about 1 KB: the whole text goes
    // to the test's error output as well.
    std::fputs(qPrintable(QStringLiteral("=== player diagnostics\n") + out + QStringLiteral("\n=== end\n")), stderr);
    return out;
}
