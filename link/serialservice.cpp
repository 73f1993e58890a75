#include "serialservice.h"

#include "logging.h"
#include "recvqueue.h"

#include <QSerialPort>

SerialService::SerialService(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort)
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialService::recv_handle);
}

SerialService::~SerialService()
{
    if (m_port->isOpen())
        m_port->close();
    delete m_port;
}

bool SerialService::setup(const QString &portName, int baud)
{
    if (m_port->isOpen())
        return false;
    m_port->setPortName(portName);
    if (!m_port->open(QIODevice::ReadWrite)) {
        qCWarning(lcLink, "SerialService: cannot open %s: %s", qPrintable(portName), qPrintable(m_port->errorString()));
        m_port->close();
        return false;
    }
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setStopBits(QSerialPort::OneStop);
    return true;
}

bool SerialService::isOpen() const
{
    return m_port->isOpen();
}

void SerialService::setQueueMode(RecvQueue *queue)
{
    m_queue = queue;
    m_queueMode = queue != nullptr;
}

void SerialService::send_handle(const QByteArray &data)
{
    // A port that never opened drops the frame; the MCU protocol's reply
    // watchdog then deals with the missing answer.
    if (!m_port->isOpen())
        return;
    m_port->flush();
    m_port->write(data);
}

void SerialService::recv_handle()
{
    const QByteArray chunk = m_port->readAll();
    if (chunk.isEmpty())
        return;
    if (m_queueMode)
        m_queue->append(chunk);
    else
        emit sendRevData(chunk);
}
