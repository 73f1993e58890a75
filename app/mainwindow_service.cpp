// MainWindow: the service screens. The firmware upgrade screen and its end
// (restart or failure), the diagnostic page, steering-wheel key learning
// and the About page.
#include "aboutform.h"
#include "custommessage.h"
#include "datacommunication.h"
#include "electriccheckform.h"
#include "globals.h"
#include "linkglobals.h"
#include "logging.h"
#include "mainusbbtform.h"
#include "mainwindow.h"
#include "navform.h"
#include "records.h"
#include "setupform.h"
#include "trackmainform.h"
#include "upgradeform.h"
#include "wheelstudyform.h"

#include <QDir>
#include <QTimer>

namespace {

constexpr int RebootDelayMs = 12000;
constexpr int FailedRestartMs = 3000;
constexpr int ShowDelayMs = 150;

} // namespace

void MainWindow::serviceInit(const QRect &content)
{
    m_upgradeForm = new UpgradeForm(this);
    m_upgradeForm->setGeometry(rect());
    m_upgradeForm->hide();

    m_electricForm = new ElectricCheckForm(centralWidget());
    m_electricForm->setGeometry(content);
    m_electricForm->hide();
    m_wheelStudyForm = new WheelStudyForm(centralWidget());
    m_wheelStudyForm->setGeometry(content);
    m_wheelStudyForm->hide();
    m_aboutForm = new AboutForm(centralWidget());
    m_aboutForm->setGeometry(content);
    m_aboutForm->hide();
}

void MainWindow::serviceSlotsInit()
{
    const auto queued = Qt::QueuedConnection;
    connect(m_dataComm, &DataCommunication::sig_upgradeFailed, this, &MainWindow::Slot_UpgradeFailed, queued);
    connect(m_electricForm, &ElectricCheckForm::upgradeAction, this, [this] {
        if (m_dataComm)
            m_dataComm->upgrade_Actions(false);
    });
    connect(m_electricForm, &ElectricCheckForm::stopmusic, this, [this] { StopPlayMusic(true, false); });
    // The dealer row stores the current settings as the dealer preset, as
    // the setup screen's sound memory does.
    if (m_setupForm)
        connect(m_electricForm, &ElectricCheckForm::savePreset, m_setupForm, &SetupForm::WritePreset_Func);
    for (QWidget *page : {static_cast<QWidget *>(m_electricForm), static_cast<QWidget *>(m_wheelStudyForm),
                          static_cast<QWidget *>(m_aboutForm)}) {
        // Each page names itself in the bar while it is the one shown.
        auto title = [this, page](const QString &text) {
            if (m_navForm && page->isVisible()) {
                m_navForm->setType(true);
                m_navForm->setWindowTitle(text);
            }
        };
        if (auto *f = qobject_cast<ElectricCheckForm *>(page))
            connect(f, &ElectricCheckForm::setWindowTitle, this, title);
        else if (auto *f = qobject_cast<WheelStudyForm *>(page))
            connect(f, &WheelStudyForm::setWindowTitle, this, title);
        else if (auto *f = qobject_cast<AboutForm *>(page))
            connect(f, &AboutForm::setWindowTitle, this, title);
    }
}

QWidget *MainWindow::servicePage(int screen) const
{
    switch (screen) {
    case ScreenElectricCheck:
        return m_electricForm;
    case ScreenWheelStudy:
        return m_wheelStudyForm;
    case ScreenAbout:
        return m_aboutForm;
    default:
        return nullptr;
    }
}

// ------------------------------------------------------------ upgrade

void MainWindow::Open_UpgradeGui()
{
    qCInfo(lcApp).noquote() << QStringLiteral("firmware upgrade started");
    StopPlayMusic(true, false);
    CloseAllWindows(true);
    setStyleSheet(QStringLiteral("QMainWindow{background:#000}"));
    if (m_logo)
        m_logo->hide();
    m_upgradeForm->reset();
    m_upgradeForm->setTotal(m_nReadDsp_McuFile_Flag.totalFrames.get());
    m_upgradeForm->show();
    m_upgradeForm->raise();
}

void MainWindow::Slot_UpgradeFailed()
{
    qCWarning(lcApp).noquote() << QStringLiteral("firmware upgrade failed");
    if (!m_upgradeForm->isVisible()) {
        m_upgradeForm->show();
        m_upgradeForm->raise();
    }
    m_upgradeForm->UpgradeFailed();
    // The firmware that failed must not start again at the next start-up:
    // the unit would never come back. The package stays on its stick.
    QDir(UpgradePathDir).removeRecursively();
    executeLinuxCmd(QStringLiteral("sync"));
    QTimer::singleShot(FailedRestartMs, this, [] {
        qCInfo(lcApp).noquote() << QStringLiteral("restart after the failed upgrade");
        executeLinuxCmd(QStringLiteral("killall -9 KLVPlayer"), 4000);
    });
}

void MainWindow::Slot_UpgradeReboot()
{
    qCInfo(lcApp).noquote() << QStringLiteral("firmware upgrade completed: restart in %1 ms").arg(RebootDelayMs);
    m_upgradeForm->hide();
    CloseAllWindows(true);
    setStyleSheet(QStringLiteral("QMainWindow{background:#000 url(:loading/Resource/loading/logo.jpg) no-repeat;}"));
    QTimer::singleShot(RebootDelayMs, this, [] { executeLinuxCmd(QStringLiteral("killall -9 KLVPlayer"), 4000); });
}

// ------------------------------------------------------------ service pages

void MainWindow::openServicePage(int screen)
{
    QWidget *page = servicePage(screen);
    if (!page || g_CurMusicPlay.currentScreen == screen)
        return;
    closeMessage();
    if (m_popupMessage && m_popupMessage->isVisible())
        m_popupMessage->closeMessageDlg();
    if (screen == ScreenElectricCheck)
        m_electricForm->Reset();
    else if (screen == ScreenWheelStudy)
        m_wheelStudyForm->InitWireStudyWidgets(true);
    // The screen below is hidden once the page shows.
    const int below = g_CurMusicPlay.currentScreen;
    setInterfaceNavigation(screen);
    qCInfo(lcApp).noquote() << QStringLiteral("service screen %1 opened").arg(screen);
    QTimer::singleShot(ShowDelayMs, this, [this, page, screen, below] {
        if (g_CurMusicPlay.currentScreen != screen)
            return;
        Hide_CurrentGuis(false, below);
        page->show();
        page->raise();
        if (m_navForm) {
            m_navForm->show();
            m_navForm->setType(true);
            m_navForm->setWindowTitle(page == m_electricForm     ? tr("电检模式")
                                      : page == m_wheelStudyForm ? tr("方控学习")
                                                                 : tr("关于"));
        }
        if (m_popupMessage)
            m_popupMessage->raise();
    });
}

void MainWindow::Open_ElectricCheckGui()
{
    openServicePage(ScreenElectricCheck);
}

void MainWindow::Open_WheelStudyGui()
{
    openServicePage(ScreenWheelStudy);
}

void MainWindow::Open_AboutGui()
{
    openServicePage(ScreenAbout);
}

bool MainWindow::serviceKnobClicked(int screen, bool longPress)
{
    if (longPress)
        return servicePage(screen) != nullptr;
    switch (screen) {
    case ScreenElectricCheck:
        m_electricForm->click_Current_Row();
        return true;
    case ScreenWheelStudy:
        m_wheelStudyForm->click_Current_Row();
        return true;
    case ScreenAbout:
        return true;
    default:
        return false;
    }
}

bool MainWindow::serviceKnobChanged(int screen, bool up, int steps)
{
    switch (screen) {
    case ScreenElectricCheck:
        m_electricForm->change_Current_Row(up, steps);
        return true;
    case ScreenWheelStudy:
        m_wheelStudyForm->change_Current_Row(up, steps);
        return true;
    case ScreenAbout:
        return true;
    default:
        return false;
    }
}

bool MainWindow::serviceBackAction(int screen)
{
    switch (screen) {
    case ScreenElectricCheck:
        return m_electricForm->Prev_Gui_Action();
    case ScreenWheelStudy:
        return m_wheelStudyForm->Prev_Gui_Action();
    default:
        return true;
    }
}

void MainWindow::studyPoll()
{
    if (!m_wheelStudyForm || !m_wheelStudyForm->Is_WheelStudyPage())
        return;
    if (m_wheelStudyForm->Study_Poll(m_nCurSystem.at(SysByte::AdLine1), m_nCurSystem.at(SysByte::AdLine2))) {
        // The key that was learned is still held: it acts only after its release.
        m_wheelReleased = false;
    }
}
