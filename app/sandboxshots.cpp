#include "sandboxshots.h"

#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QWidget>

SandboxShots *SandboxShots::create(QWidget *window)
{
    if (!Platform::inSandbox())
        return nullptr;
    return new SandboxShots(window, Platform::sandboxDir());
}

SandboxShots::SandboxShots(QWidget *window, const QString &dir)
    : QObject(window)
    , m_window(window)
    , m_dir(dir)
    , m_watcher(new QFileSystemWatcher(this))
{
    QDir().mkpath(m_dir + QStringLiteral("/var/shots"));
    const QString ctl = m_dir + QStringLiteral("/var/run/shots.ctl");
    QFile f(ctl);
    if (f.open(QIODevice::Append))
        m_read = f.size(); // requests older than this player are not ours
    f.close();
    m_watcher->addPath(ctl);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SandboxShots::readRequests);
}

void SandboxShots::readRequests()
{
    const QString ctl = m_dir + QStringLiteral("/var/run/shots.ctl");
    // An editor may replace the file: watch the new one.
    if (!m_watcher->files().contains(ctl))
        m_watcher->addPath(ctl);
    QFile f(ctl);
    if (!f.open(QIODevice::ReadOnly))
        return;
    if (f.size() < m_read)
        m_read = 0;
    f.seek(m_read);
    const QByteArray data = f.readAll();
    const int end = data.lastIndexOf('\n');
    if (end < 0)
        return;
    m_read += end + 1;
    QFile log(m_dir + QStringLiteral("/var/log/shots.log"));
    log.open(QIODevice::Append);
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    for (const QByteArray &line : data.left(end).split('\n')) {
        QString name = QString::fromUtf8(line.trimmed());
        name.replace(unsafe, QStringLiteral("_"));
        if (name.isEmpty())
            continue;
        const QString file = name + QStringLiteral(".png");
        const bool ok = m_window->grab().save(m_dir + QStringLiteral("/var/shots/") + file);
        log.write((ok ? file : QStringLiteral("failed ") + file).toUtf8() + '\n');
    }
}
