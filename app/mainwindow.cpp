#include "mainwindow.h"

#include "globals.h"

#include <QTimer>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    StartLog();
    InitData();

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(480, 320);
    QWidget *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    m_daemonTimer = new QTimer(this);
    connect(m_daemonTimer, &QTimer::timeout, this, &MainWindow::DaemontimeOut);
    m_daemonTimer->start(4000);
}

MainWindow::~MainWindow() = default;

void MainWindow::DaemontimeOut()
{
    m_heartbeat = nextHeartbeat(m_heartbeat);
    if (shared)
        shared[0] = m_heartbeat;
}
