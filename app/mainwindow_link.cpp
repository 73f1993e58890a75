// MainWindow: the serial links and the board's control lines.
#include "mainwindow.h"

#include "audioplayer.h"
#include "datacommunication.h"
#include "gpioctrl.h"
#include "platform.h"
#include "wireserialthread.h"

#include <QTimer>

namespace {

// An output line, exported with direction "out"; stays unexported on a
// board without it (every later write is then skipped).
GpioCtrl *outputLine(unsigned line)
{
    auto *g = new GpioCtrl(line);
    if (g->set_export())
        g->set_direction("out");
    return g;
}

} // namespace

void MainWindow::InitGPIO_Port_Hotplug(bool last)
{
    if (last) {
        m_powerGpio = outputLine(14);
        if (m_powerGpio->isExported())
            m_powerGpio->set_value(1);
        return;
    }
    // The links end the program with "killall" when a port is missing: a
    // window built outside main (tests) must reach the sandbox's stub.
    Platform::applyEnvironment();

    m_wireThread = new WireSerialThread(this);
    m_dataComm = new DataCommunication(this);
    // Connections waiting for their slots: sig_UpgradeGui -> Open_UpgradeGui,
    // sig_upgradeFailed -> the upgrade screen, and the protocol's signals
    // for the status, presets and screens (readSysDataOver, reDataOver,
    // reLampDataOver, showProcessBar, submitPersent, sig_versionError, ...).

    // No MCU thread runs while firmware waits in the update directory.
    if (!m_dataComm->upgrade_Actions(true) && m_dataComm->Read_MCU_Version()) {
        m_dataComm->runStart(QThread::HighestPriority);
        m_wireThread->startWireThread();
        QTimer::singleShot(9000, this, [this] {
            if (!m_dataComm->isRunning())
                m_dataComm->runStart(QThread::NormalPriority);
            if (!m_wireThread->isRunning())
                m_wireThread->startWireThread();
        });
    }

    m_muteGpio = outputLine(12);
    playMute(1);
    m_pathGpio = outputLine(13);
    m_clockGpio = outputLine(5);
}

void MainWindow::playMute(int mMute)
{
    if (m_audioPlayer) {
        m_audioPlayer->setMute(mMute ? 1 : 0);
        return;
    }
    if (m_muteGpio && m_muteGpio->isExported())
        m_muteGpio->set_value(mMute ? 1 : 0);
}
