#pragma once
// The one top-level window and the controller of the program: owns every
// worker and screen, wires their signals, runs the program's timers.
// Construction and wiring live in mainwindow.cpp, the serial links and
// board lines in mainwindow_link.cpp, the playback objects in
// mainwindow_player.cpp.

#include <QMainWindow>

class AudioDecoder;
class AudioPlayer;
class CheckDiskClass;
class DataCommunication;
class DataBase;
class DsdDecoder;
class GpioCtrl;
class WireSerialThread;
class QSettings;
class QTimer;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    DataBase *database() const { return m_database; }

public slots:
    // 1 mutes the amplifier (GPIO 12), 0 lets it sound.
    void playMute(int mMute);
    // A decoder has 3 s (DSD 5 s) decoded ahead: the output thread starts.
    void Slot_Start_PlayerThread();
    // Heartbeat for the outside supervisor, every 4000 ms.
    void DaemontimeOut();
    void RebuilDataBaseOver();

private:
    void InitMusicDB();
    void InitGPIO_Port_Hotplug(bool last);
    void mediaPlayerInit();
    void timerInit();

    QSettings *m_settings = nullptr; // ReadWrite_Path + "setting.ini"
    DataBase *m_database = nullptr;
    CheckDiskClass *m_checkDisk = nullptr; // volumes, scans, the library's view of them
    WireSerialThread *m_wireThread = nullptr;
    DataCommunication *m_dataComm = nullptr; // MCU protocol
    GpioCtrl *m_muteGpio = nullptr;          // GPIO 12
    GpioCtrl *m_pathGpio = nullptr;          // GPIO 13, DSD/PCM path
    GpioCtrl *m_clockGpio = nullptr;         // GPIO 5, clock family
    GpioCtrl *m_powerGpio = nullptr;         // GPIO 14
    DsdDecoder *m_dsdDecoder = nullptr;
    AudioDecoder *m_audioDecoder = nullptr;
    AudioPlayer *m_audioPlayer = nullptr;
    QTimer *m_daemonTimer = nullptr;
    int m_heartbeat = 0; // GUI thread only
};
