#pragma once
// The one top-level window and the controller of the program: owns every
// worker and screen, wires their signals, runs the program's timers.

#include <QMainWindow>

class QTimer;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    // Heartbeat for the outside supervisor, every 4000 ms.
    void DaemontimeOut();

private:
    QTimer *m_daemonTimer = nullptr;
    int m_heartbeat = 0; // GUI thread only
};
