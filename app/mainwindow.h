#pragma once
// The one top-level window and the controller of the program: owns every
// worker and screen, wires their signals, runs the program's timers.
// Construction and wiring live in mainwindow.cpp.

#include <QMainWindow>

class DataBase;
class GpioCtrl;
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
    // Heartbeat for the outside supervisor, every 4000 ms.
    void DaemontimeOut();
    void RebuilDataBaseOver();

private:
    void InitMusicDB();
    void InitGPIO_Port_Hotplug(bool last);
    void timerInit();

    QSettings *m_settings = nullptr;   // ReadWrite_Path + "setting.ini"
    DataBase *m_database = nullptr;
    GpioCtrl *m_powerGpio = nullptr;   // GPIO 14
    QTimer *m_daemonTimer = nullptr;
    int m_heartbeat = 0; // GUI thread only
};
