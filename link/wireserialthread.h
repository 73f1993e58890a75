#pragma once
// WireSerialThread: the wired key controller's link. Reads key frames from
// the key port, reports keys to the controller, answers every frame, and
// raises GPIO line 2 (transmit request) around each answer.
//
// The port lives inside run(); the object, its timers and its slots live in
// the creating (GUI) thread. Flags shared by the two are atomics.

#include "frameassembler.h"
#include "framedefs.h"

#include <QList>
#include <QThread>

#include <atomic>
#include <mutex>

class GpioCtrl;
class QSerialPort;
class QTimer;

class WireSerialThread : public QThread
{
    Q_OBJECT

public:
    explicit WireSerialThread(QObject *parent = nullptr);
    ~WireSerialThread() override;

    void startWireThread();
    // Clears the running flag; run() ends within one wait slice.
    void stopWireThread();
    void initWireDataList() { m_dataListReady.store(true, std::memory_order_relaxed); }
    bool wireDataListReady() const { return m_dataListReady.load(std::memory_order_relaxed); }

    void setBreakOutTimer();
    void SetMacPowerOff(bool off, bool updateSystem);

    bool powerOff() const { return m_powerOff.load(std::memory_order_relaxed); }
    quint8 breakOutValue() const { return m_breakOut.load(std::memory_order_relaxed); }
    bool statusReport() const { return m_statusReport.load(std::memory_order_relaxed); }
    bool portOpened() const { return m_portOpened.load(std::memory_order_relaxed); }

    // A block read from the port as the reassembler takes it: whole 40-byte
    // chunks; a shorter block and the remainder of a longer one are dropped.
    static QList<QByteArray> wireChunks(const QByteArray &block);

    // Keys reported on every frame, without the repeat tracker.
    static bool isImmediateKey(int key);

    static constexpr int ChunkSize = 40;
    static constexpr int SilenceMs = 3500;  // a silent wait this long is logged
    static constexpr int BurstGapMs = 10;   // bytes closer than this belong to one block
    static constexpr int StopSliceMs = 500; // how soon a stop request is noticed
    static constexpr int PulseMs = 5;       // line 2 high after an answer
    static constexpr int WriteSliceMs = 100;
    static constexpr int WriteLimitMs = 1000; // an answer not out by then is dropped
    static constexpr int BreakOutMs = 30000;
    static constexpr unsigned GpioLine = 2;

public slots:
    void SerialSendISR();
    void SetwireBreakOut();

signals:
    void wireKeyClicked(int key, int state);
    void poweroffClick(bool off);
    void sig_SerialTimer();
    void sig_BreakOutTimer();

protected:
    void run() override;

private:
    bool waitForBlock(QSerialPort &port, QByteArray *block);
    int OnEventRecvUsb(int n);
    void FillReDataToCurProgram(const QByteArray &fromMark);
    void Reback_WireData(quint8 type);
    void reportKey(int key, int state);
    void setLine(unsigned value);

    GpioCtrl *m_gpio;
    bool m_gpioReady = false; // set once in the constructor
    std::mutex m_gpioLock;    // the line is written from both threads
    QTimer *m_pulseTimer;
    QTimer *m_breakOutTimer;

    // Wire thread only.
    QSerialPort *m_port = nullptr;
    FrameAssembler m_assembler;
    char m_input[ChunkSize] = {};
    quint8 m_keyState[Frame::MaxPayload] = {};
    int m_lastKey = -1; // the last key seen pressed; a release frame reports it

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_portOpened{false};
    std::atomic<bool> m_dataListReady{false};
    std::atomic<bool> m_statusReport{false}; // once set, only a new object clears it
    std::atomic<bool> m_powerOff{false};
    std::atomic<quint8> m_breakOut{0};

    // Line 2 goes low only when every raised answer has had its pulse
    // timer started: raised counts answers (wire thread), armed counts
    // timer starts (GUI thread only).
    std::atomic<int> m_pulsesRaised{0};
    int m_pulsesArmed = 0;
};
