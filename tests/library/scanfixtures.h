#pragma once
// Fixtures for the storage and scanner tests, made at test time: tagged
// audio files (ffmpeg CLI), CUE sheets, Monkey's Audio files with an APE
// tag, DSD files and SACD images (tools/dsdgen), and USB sticks (ext4
// images through ./vdx usb).

#include "testsandbox.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <utime.h>

namespace ScanFixtures {

inline bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr, int timeoutMs = 60000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(args.join(QLatin1Char(' '))),
                 p.readAllStandardError().constData());
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

// A short tone; tags as "key" -> "value" (artist, album, title).
inline bool tone(const QString &path, const QMap<QString, QString> &tags = {}, double seconds = 0.3)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args{
        "-v",  "error", "-y",  "-f",  "lavfi", "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
        "-ac", "1",     "-ar", "8000"};
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        args << "-metadata" << it.key() + QLatin1Char('=') + it.value();
    args << path;
    return run(QStringLiteral("ffmpeg"), args);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline bool copy(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    return QFile::copy(from, to);
}

// A CUE sheet cutting audioName (a file beside it) into the titled tracks,
// one minute apart.
inline bool cueSheet(const QString &path, const QString &audioName, const QStringList &titles,
                     const QString &album = QStringLiteral("Cue Album"),
                     const QString &performer = QStringLiteral("Cue Artist"))
{
    QByteArray text = "PERFORMER \"" + performer.toUtf8() + "\"\nTITLE \"" + album.toUtf8() + "\"\nFILE \""
                      + audioName.toUtf8() + "\" WAVE\n";
    for (int i = 0; i < titles.size(); ++i) {
        text += QStringLiteral("  TRACK %1 AUDIO\n    TITLE \"%2\"\n    INDEX 01 %3:00:00\n")
                    .arg(i + 1, 2, 10, QLatin1Char('0'))
                    .arg(titles.at(i))
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .toUtf8();
    }
    return writeFile(path, text);
}

inline QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// An APE tag: items (key, value, item flags), footer and, for version 2000
// with header true, a header before the items.
inline QByteArray apeTag(const QList<QPair<QByteArray, QByteArray>> &items, quint32 version = 2000, bool header = true,
                         const QList<quint32> &flags = {})
{
    QByteArray body;
    for (int i = 0; i < items.size(); ++i)
        body += le32(quint32(items.at(i).second.size())) + le32(flags.value(i, 0)) + items.at(i).first + '\0'
                + items.at(i).second;
    auto frame = [&](quint32 frameFlags) {
        return QByteArray("APETAGEX") + le32(version) + le32(quint32(body.size() + 32)) + le32(quint32(items.size()))
               + le32(frameFlags) + QByteArray(8, 0);
    };
    const quint32 hasHeader = header && version == 2000 ? 0x80000000u : 0;
    QByteArray out;
    if (hasHeader)
        out += frame(hasHeader | 0x20000000u);
    out += body + frame(hasHeader);
    return out;
}

// Something shaped like a Monkey's Audio file, with an APE tag at its end.
inline QByteArray apeFile(const QList<QPair<QByteArray, QByteArray>> &items)
{
    return QByteArray("MAC ") + QByteArray(200, 'x') + apeTag(items);
}

inline bool setModified(const QString &path, const QDateTime &when)
{
    struct utimbuf t;
    t.actime = t.modtime = time_t(when.toSecsSinceEpoch());
    return ::utime(QFile::encodeName(path).constData(), &t) == 0;
}

// tools/dsdgen: kind "dsf", "dff" or "iso"; returns its description.
inline QJsonObject dsdgen(const QString &kind, const QString &path, const QStringList &options = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QByteArray out;
    if (!run(QStringLiteral("/usr/bin/python3"),
             QStringList{TestSandbox::sourceDir() + QStringLiteral("/tools/dsdgen/dsdgen.py"), kind, path} + options,
             &out))
        return QJsonObject();
    return QJsonDocument::fromJson(out).object();
}

// ./vdx usb COMMAND ARGS --sandbox DIR; returns the printed line.
inline QString usb(const TestSandbox &sb, const QStringList &args, bool *ok = nullptr)
{
    QByteArray out;
    const bool done = run(TestSandbox::sourceDir() + QStringLiteral("/tools/vdx.d/usb"),
                          args + QStringList{QStringLiteral("--sandbox"), sb.dir()}, &out);
    if (ok)
        *ok = done;
    return QString::fromUtf8(out).trimmed();
}

inline bool makeStick(const QString &image, const QString &from, int sizeMB, const QString &label = QString())
{
    QStringList args{QStringLiteral("make"), image, QStringLiteral("--from"), from, QStringLiteral("--size"),
                     QString::number(sizeMB)};
    if (!label.isEmpty())
        args << QStringLiteral("--label") << label;
    return run(TestSandbox::sourceDir() + QStringLiteral("/tools/vdx.d/usb"), args);
}

} // namespace ScanFixtures
