#include "wireserialthread.h"

#include "globals.h"
#include "gpioctrl.h"
#include "linkglobals.h"
#include "logging.h"
#include "platform.h"
#include "playerexit.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

#include <cstring>

WireSerialThread::WireSerialThread(QObject *parent)
    : QThread(parent)
    , m_gpio(new GpioCtrl(GpioLine))
    , m_pulseTimer(new QTimer(this))
    , m_breakOutTimer(new QTimer(this))
    , m_assembler(WIREFRAME_START_TAG, ChunkSize)
{
    // Boards without the line report failure; the link works without it.
    m_gpioReady = m_gpio->set_export() && m_gpio->set_direction("out");
    setLine(0);
    m_nWireStruct.reset();

    m_pulseTimer->setSingleShot(true);
    connect(m_pulseTimer, &QTimer::timeout, this, &WireSerialThread::SerialSendISR);
    connect(this, &WireSerialThread::sig_SerialTimer, this, [this] {
        ++m_pulsesArmed;
        m_pulseTimer->start(PulseMs);
    });
    connect(m_breakOutTimer, &QTimer::timeout, this, &WireSerialThread::SetwireBreakOut);
    connect(this, &WireSerialThread::sig_BreakOutTimer, this, [this] { m_breakOutTimer->start(BreakOutMs); });
}

WireSerialThread::~WireSerialThread()
{
    stopWireThread();
    wait();
    delete m_gpio;
}

void WireSerialThread::startWireThread()
{
    if (!isRunning())
        start();
}

void WireSerialThread::stopWireThread()
{
    m_running.store(false, std::memory_order_relaxed);
}

void WireSerialThread::setLine(unsigned value)
{
    if (!m_gpioReady)
        return;
    std::lock_guard<std::mutex> lock(m_gpioLock);
    m_gpio->set_value(value);
}

void WireSerialThread::SerialSendISR()
{
    // A newer answer whose timer start is still on its way keeps the line up.
    if (m_pulsesArmed != m_pulsesRaised.load(std::memory_order_acquire))
        return;
    setLine(0);
    m_pulseTimer->stop();
}

void WireSerialThread::setBreakOutTimer()
{
    m_statusReport.store(true, std::memory_order_relaxed);
    m_breakOut.store(0, std::memory_order_relaxed);
    if (m_nCurSystem.at(36) != 0)
        emit sig_BreakOutTimer();
}

void WireSerialThread::SetwireBreakOut()
{
    m_breakOut.store(m_nCurSystem.at(36), std::memory_order_relaxed);
    m_breakOutTimer->stop();
}

void WireSerialThread::SetMacPowerOff(bool off, bool updateSystem)
{
    m_powerOff.store(off, std::memory_order_relaxed);
    if (updateSystem)
        m_nCurSystem.set(40, off ? 0 : 1);
    m_statusReport.store(true, std::memory_order_relaxed);
    emit poweroffClick(off);
}

QList<QByteArray> WireSerialThread::wireChunks(const QByteArray &block)
{
    QList<QByteArray> chunks;
    for (int at = 0; at + ChunkSize <= block.size(); at += ChunkSize)
        chunks.append(block.mid(at, ChunkSize));
    return chunks;
}

bool WireSerialThread::isImmediateKey(int key)
{
    switch (key) {
    case 0:
    case 1:
    case 7:
    case 9:
    case 10:
    case 15:
    case 16:
        return true;
    default:
        return false;
    }
}

void WireSerialThread::run()
{
    QSerialPort port;
    port.setPortName(Platform::keyPort());
    if (!port.open(QIODevice::ReadWrite)) {
        qCWarning(lcLink).noquote()
            << QStringLiteral("WireSerialThread: cannot open %1: %2").arg(port.portName(), port.errorString());
        // The supervisor restarts the player, which tries the port again.
        killPlayerProcess();
        return;
    }
    port.setBaudRate(QSerialPort::Baud57600, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setStopBits(QSerialPort::OneStop);
    m_port = &port;
    m_assembler.reset();
    m_running.store(true, std::memory_order_relaxed);
    m_portOpened.store(true, std::memory_order_relaxed);

    int timeouts = 0;
    while (m_running.load(std::memory_order_relaxed)) {
        QByteArray block;
        if (!waitForBlock(port, &block)) {
            if (!m_running.load(std::memory_order_relaxed))
                break;
            qCInfo(lcLink).noquote() << QStringLiteral("time out!!!!!!!!!%1").arg(++timeouts);
            continue;
        }
        if (block.size() % ChunkSize != 0)
            qCDebug(lcLink, "WireSerialThread: %d of %d bytes dropped (not a whole chunk)",
                    int(block.size() % ChunkSize), int(block.size()));
        for (const QByteArray &chunk : wireChunks(block)) {
            std::memcpy(m_input, chunk.constData(), ChunkSize);
            OnEventRecvUsb(ChunkSize);
        }
        timeouts = 0;
    }
    m_port = nullptr;
    port.close();
}

bool WireSerialThread::waitForBlock(QSerialPort &port, QByteArray *block)
{
    // The 3.5 s wait runs in slices so that a stop request is seen soon.
    QElapsedTimer waited;
    waited.start();
    // Bytes that arrived while an answer was being written are already in
    // the port's buffer; waitForReadyRead only reports newer ones.
    bool ready = port.bytesAvailable() > 0;
    while (!ready && m_running.load(std::memory_order_relaxed)) {
        const qint64 left = SilenceMs - waited.elapsed();
        if (left <= 0)
            break;
        const int slice = static_cast<int>(qMin<qint64>(left, StopSliceMs));
        if (port.waitForReadyRead(slice)) {
            ready = true;
            break;
        }
        // A port in error returns at once; do not spin on it.
        if (port.error() != QSerialPort::NoError && port.error() != QSerialPort::TimeoutError) {
            port.clearError();
            QThread::msleep(static_cast<unsigned long>(slice));
        }
    }
    if (!ready)
        return false;
    *block = port.readAll();
    while (port.waitForReadyRead(BurstGapMs))
        *block += port.readAll();
    return true;
}

int WireSerialThread::OnEventRecvUsb(int n)
{
    // An overlong partial frame is dropped and counts as not handled.
    if (m_assembler.OnEventRecvUsb(m_input, n) != FrameAssembler::Complete)
        return 0;
    const QByteArray &f = m_assembler.frame();
    if (!checkFrameFromMark(f))
        return 1;
    const auto *b = reinterpret_cast<const quint8 *>(f.constData());
    RecWireFrameData[Frame::Type] = b[Frame::Type - Frame::FrameMarkPos];
    for (int off = Frame::Preset; off <= Frame::Slot; ++off)
        RecWireFrameData[off] = b[off - Frame::FrameMarkPos];
    RecWireFrameData.setLength(frameLengthFromMark(f));
    if (RecWireFrameData[Frame::Type] == FRAME_WRITE)
        FillReDataToCurProgram(f);
    return 1;
}

void WireSerialThread::reportKey(int key, int state)
{
    qCInfo(lcLink).noquote() << QStringLiteral("wire key %1 state %2").arg(key).arg(state);
    emit wireKeyClicked(key, state);
}

void WireSerialThread::FillReDataToCurProgram(const QByteArray &fromMark)
{
    const int len = qMin(frameLengthFromMark(fromMark), int(Frame::MaxPayload));
    const auto *keys = reinterpret_cast<const quint8 *>(fromMark.constData()) + (Frame::Payload - Frame::FrameMarkPos);
    // Keys the frame does not carry count as released.
    std::memset(m_keyState, 0, sizeof m_keyState);
    std::memcpy(m_keyState, keys, static_cast<size_t>(len));

    int k = -1;
    for (int i = len - 1; i >= 0; --i) {
        if (m_keyState[i] != 0) {
            k = i;
            break;
        }
    }
    if (k >= 0)
        m_lastKey = k;
    // A release frame carries no key: it reports the key last pressed, with
    // its state 0.
    const int key = k >= 0 ? k : m_lastKey;
    const int state = key >= 0 ? m_keyState[key] : 0;
    WireKeyStruct &rep = m_nWireStruct;

    [&] {
        if (len == 0 || k < 0) {
            m_statusReport.store(true, std::memory_order_relaxed);
            rep.reset();
        }
        if (k >= 0 && powerOff()) {
            // Any key wakes the unit; a held key does not, so that the hold
            // that powered it off cannot power it on again.
            m_statusReport.store(true, std::memory_order_relaxed);
            rep.reset();
            if (state != 2)
                SetMacPowerOff(false, true);
            return;
        }
        if (k >= 0 && !rep.longPress && m_nCurSystem.at(36) != 0)
            setBreakOutTimer();
        if (key < 0)
            return;
        if (isImmediateKey(key)) {
            reportKey(key, state);
            return;
        }
        if (state != 2)
            rep.longPress = 0;
        if (rep.lastKey == key) {
            ++rep.count;
            if (rep.longPress && rep.count > 1)
                return;
        } else if (rep.lastKey == -1) {
            rep.lastKey = key;
            rep.count = 1;
        } else if (rep.longPress && rep.count > 1) {
            return;
        }
        if (state == 0)
            return;
        reportKey(key, state);
        if (state == 2)
            rep.longPress = 1; // a held key is reported once
    }();

    Reback_WireData(statusReport() ? FRAME_DATA : FRAME_ACK);
    m_assembler.reset();
}

void WireSerialThread::Reback_WireData(quint8 type)
{
    FrameRecord &f = SendWireFrameData;
    f.setTags(WIREFRAME_START_TAG);
    f[Frame::Type] = type;
    f[Frame::Unit] = m_nCurDeviceid;
    f[Frame::Target] = 0;
    f[Frame::FileReturn] = 0;
    if (type == FRAME_REFUSE) {
        for (int off = Frame::Preset; off <= Frame::Slot; ++off)
            f[off] = 0;
        f.setLength(0);
    } else {
        for (int off = Frame::Preset; off <= Frame::Slot; ++off)
            f[off] = RecWireFrameData[off];
        f.setLength(8);
        f.clearPayload(8);
        if (statusReport()) {
            quint8 *p = f.payload();
            p[0] = m_nCurSystem.at(35);              // dimmer level
            p[1] = powerOff() ? 2 : breakOutValue(); // power / break-out
            p[2] = m_nCurSystem.at(SysByte::Source) == SourceUsb && g_CurMusicPlay.isHiRes.get() ? 1 : 0;
        }
    }
    const QByteArray frame = f.finish();
    if (!m_port)
        return;
    m_pulsesRaised.fetch_add(1, std::memory_order_release);
    setLine(1);
    m_port->write(frame);
    // This thread has no event loop: the frame leaves only inside
    // waitForBytesWritten, which a busy machine may keep waiting past one
    // call's limit.
    QElapsedTimer writing;
    writing.start();
    while (m_port->bytesToWrite() > 0 && writing.elapsed() < WriteLimitMs)
        m_port->waitForBytesWritten(WriteSliceMs);
    emit sig_SerialTimer();
}
