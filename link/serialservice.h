#pragma once
// SerialService: the MCU port. Lives in the GUI thread; writes reach it
// through a queued connection, reads go either to a signal or, in queue
// mode, to the MCU worker's receive queue.

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;
class RecvQueue;

class SerialService : public QObject
{
    Q_OBJECT

public:
    explicit SerialService(QObject *parent = nullptr);
    ~SerialService() override;

    // Opens portName read-write at baud, 8N1, no flow control. False when
    // the port is already open (nothing changes) or cannot be opened.
    bool setup(const QString &portName, int baud);
    bool isOpen() const;

    // Queue mode: received chunks are appended to queue instead of being
    // emitted. queue must outlive this object (null leaves queue mode).
    void setQueueMode(RecvQueue *queue);

public slots:
    void send_handle(const QByteArray &data);
    void recv_handle();

signals:
    void sendRevData(const QByteArray &data);

private:
    QSerialPort *m_port;
    bool m_queueMode = false; // GUI thread only
    RecvQueue *m_queue = nullptr;
};
