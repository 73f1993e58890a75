// MainWindow: the serial links and the board's control lines.
#include "mainwindow.h"

#include "audioplayer.h"
#include "gpioctrl.h"
#include "wireserialthread.h"

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
    m_wireThread = new WireSerialThread(this);
    m_wireThread->startWireThread();

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
