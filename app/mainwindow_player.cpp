// MainWindow: the decoders, the output thread and the PCM queue.
#include "mainwindow.h"

#include "audiodecoder.h"
#include "audioplayer.h"
#include "dsddecoder.h"
#include "globals.h"
#include "mediabuffer.h"

void MainWindow::mediaPlayerInit()
{
    m_dsdDecoder = new DsdDecoder(this);
    m_audioDecoder = new AudioDecoder(this);
    m_audioPlayer = new AudioPlayer(this);
    m_audioPlayer->setGpioLines(m_pathGpio, m_clockGpio, m_muteGpio);
    if (!m_MediaBuffer.pcmBuffer.load())
        m_MediaBuffer.pcmBuffer = new BytequeueBuffer(5302880);

    connect(m_audioDecoder, &AudioDecoder::startPlay, this, &MainWindow::Slot_Start_PlayerThread, Qt::QueuedConnection);
    connect(m_dsdDecoder, &DsdDecoder::startPlay, this, &MainWindow::Slot_Start_PlayerThread, Qt::QueuedConnection);
}

void MainWindow::Slot_Start_PlayerThread()
{
    if (!m_audioPlayer->isRunning())
        m_audioPlayer->play();
}
