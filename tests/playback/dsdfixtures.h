#pragma once
// Runs tools/dsdgen/dsdgen.py to make DSF, DSDIFF and SACD image fixtures in
// a temporary folder, and to produce the bytes the sound card must receive.

#include "testsandbox.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class DsdFixtures
{
public:
    DsdFixtures() = default;

    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Generates a fixture: kind is "dsf", "dff" or "iso"; returns the
    // generator's description (empty on failure; the error is in lastError()).
    QJsonObject make(const QString &kind, const QString &name, const QStringList &options = {})
    {
        QByteArray out;
        if (!run(QStringList{kind, path(name)} + options, &out))
            return QJsonObject();
        return QJsonDocument::fromJson(out).object();
    }

    // The DSD_U16_LE words of the first two channels of one track.
    QByteArray expected(const QString &seed, int area, int track, int channels, qint64 bytesPerChannel)
    {
        return readBack("expect", seed, area, track, QStringLiteral("--channels"), channels, bytesPerChannel);
    }

    // The raw stream of one channel of one track.
    QByteArray stream(const QString &seed, int area, int track, int channel, qint64 bytes)
    {
        return readBack("stream", seed, area, track, QStringLiteral("--channel"), channel, bytes);
    }

    QString lastError() const { return m_error; }

    static QString generator() { return TestSandbox::sourceDir() + QStringLiteral("/tools/dsdgen/dsdgen.py"); }

private:
    QByteArray readBack(const char *cmd, const QString &seed, int area, int track, const QString &chOpt, int ch,
                        qint64 bytes)
    {
        const QString file = path(QStringLiteral("expect-%1.bin").arg(m_counter++));
        if (!run({QString::fromLatin1(cmd), file, QStringLiteral("--seed"), seed, QStringLiteral("--area"),
                  QString::number(area), QStringLiteral("--track"), QString::number(track), chOpt, QString::number(ch),
                  QStringLiteral("--bytes"), QString::number(bytes)},
                 nullptr))
            return QByteArray();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        const QByteArray data = f.readAll();
        f.close();
        QFile::remove(file);
        return data;
    }

    bool run(const QStringList &args, QByteArray *out)
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"), QStringList{generator()} + args);
        if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = QString::fromUtf8(p.readAllStandardError());
            return false;
        }
        if (out)
            *out = p.readAllStandardOutput();
        return true;
    }

    QTemporaryDir m_dir;
    QString m_error;
    int m_counter = 0;
};
