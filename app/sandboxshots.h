#pragma once
// Screenshots of the player's window on request, in a sandbox only (on the
// board the object is never made): every line appended to
// DIR/var/run/shots.ctl names a picture; the window is grabbed into
// DIR/var/shots/NAME.png and "NAME.png" is appended to DIR/var/log/shots.log.
// Tests and the demo use it to see the screens of a running player.

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QWidget;

class SandboxShots : public QObject
{
    Q_OBJECT

public:
    // Null outside a sandbox.
    static SandboxShots *create(QWidget *window);

private:
    SandboxShots(QWidget *window, const QString &dir);
    void readRequests();

    QWidget *m_window;
    QString m_dir;
    qint64 m_read = 0; // bytes of the request file handled
    QFileSystemWatcher *m_watcher;
};
