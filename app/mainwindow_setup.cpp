// MainWindow: the setup screen (screen 3), the frequency-switch screen
// (screen 4), the long-press sequences of the setup main page, and the
// language switch.
#include "mainwindow.h"

#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "dividerswitchform.h"
#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"
#include "loading.h"
#include "logging.h"
#include "mainusbbtform.h"
#include "navform.h"
#include "popupselect.h"
#include "setlanguage.h"
#include "setupform.h"
#include "trackmainform.h"
#include "wireserialthread.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

namespace {

// Keys counted on the setup main page (key controller indexes).
constexpr int kPrev = 0;
constexpr int kNext = 1;
constexpr int kPlay = 2;
constexpr int kKnob = 4;

// Long-press sequences of the setup main page. Long presses of these keys
// do nothing else there, so ordinary use never makes one by chance.
const QList<int> kFreqSwitchSequence = {kPlay, kPlay, kNext, kNext};
const QList<int> kDiagnosticsSequence = {kPlay, kPlay, kPrev, kPrev};

// Logs once when a widget has painted itself again after a language switch,
// with the machine's monotonic clock, so that the time from the key to the
// new texts on the screen can be read from outside.
class RepaintProbe : public QObject
{
public:
    RepaintProbe(QWidget *target, int language)
        : QObject(target)
        , m_language(language)
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Logged once this paint has been done.
            QTimer::singleShot(0, this, [this, watched] {
                watched->removeEventFilter(this);
                QElapsedTimer now;
                now.start();
                qCInfo(lcApp).noquote() << QStringLiteral("setup repainted in language %1 mono=%2")
                                               .arg(m_language)
                                               .arg(now.msecsSinceReference() / 1000.0, 0, 'f', 3);
                deleteLater();
            });
        }
        return false;
    }

private:
    int m_language;
    bool m_done = false;
};

} // namespace

// Step 6 of the construction: the setup screen is given the popup selector.
void MainWindow::setupInit(const QRect &content)
{
    m_setupForm = new SetupForm(m_popupSelect, centralWidget());
    m_setupForm->setGeometry(content.x(), content.y(), content.width(), SetupForm::Height);
    m_setupForm->hide();
    m_dividerForm = new DividerSwitchForm(centralWidget());
    m_dividerForm->setGeometry(content.x(), content.y(), content.width(), SetupForm::Height);
    m_dividerForm->hide();
}

// Step 9: the setup screen's connections.
void MainWindow::setupSlotsInit()
{
    const auto queued = Qt::QueuedConnection;
    SetupForm *form = m_setupForm;

    connect(form, &SetupForm::resetFactory, this, &MainWindow::resetFactorySetting);
    connect(form, &SetupForm::setlanguage, this, &MainWindow::setLanguageChanged);
    connect(form, &SetupForm::delayLampUpdata, this, [this] { SetDelayRevLampData(2500); });
    connect(m_dividerForm, &DividerSwitchForm::delayLampUpdata, this, [this] { SetDelayRevLampData(2500); });
    connect(form, &SetupForm::updateMixerSource, this, [this] {
        if (m_navForm)
            m_navForm->updateMixSource();
    });
    connect(form, &SetupForm::setBreakout, this, [this] {
        if (m_wireThread)
            m_wireThread->setBreakOutTimer();
    });
    connect(form, &SetupForm::updateSubPage, this, [this] {
        if (m_database)
            m_database->update_Config(QStringLiteral("isSubPage"), QString::number(g_CurMusicPlay.isSubPage ? 1 : 0));
        if (m_mainForm)
            m_mainForm->mainGui_Changed();
    });
    connect(form, &SetupForm::sig_DelayUint, this, [this] {
        if (m_database)
            m_database->update_DelayUint(Cur_Delay_Uint);
    });
    connect(form, &SetupForm::setWindowTitle, this, [this](const QString &title) {
        if (m_navForm && g_CurMusicPlay.currentScreen == ScreenSetup) {
            m_navForm->setType(true);
            m_navForm->setWindowTitle(title);
        }
    });
    connect(form, &SetupForm::openAbout, this, [this] {
        qCInfo(lcApp).noquote() << QStringLiteral("about screen asked for");
        emit sig_openAbout();
    });
    connect(form, &SetupForm::openWheelLearning, this, &MainWindow::Open_WheelStudyGui);
    connect(this, &MainWindow::sig_openElectricCheck, this, &MainWindow::Open_ElectricCheckGui);
    connect(this, &MainWindow::sig_openAbout, this, &MainWindow::Open_AboutGui);
    if (m_dataComm) {
        DataCommunication *mcu = m_dataComm;
        connect(form, &SetupForm::savePreset, mcu, [mcu](int p) { mcu->DownMCUPreset(p); });
        connect(form, &SetupForm::readPreset, mcu, &DataCommunication::UpMCUPreset);
        connect(form, &SetupForm::readCASPreset, mcu, &DataCommunication::UpCascadeMCUPreset);
        connect(form, &SetupForm::saveDefaultUserPreset, mcu, &DataCommunication::SaveDefaultUserPreset_Process);
        connect(form, &SetupForm::checkDSPModel, mcu, &DataCommunication::Check_Cascade_Model);
        connect(form, &SetupForm::closeCAS, mcu, &DataCommunication::StopCascadeThread);
        connect(mcu, &DataCommunication::sig_LampSourceChanged, form, &SetupForm::Update_LampSource, queued);
        connect(mcu, &DataCommunication::sig_LampMainGainChanged, form, &SetupForm::Update_LampMainGain, queued);
        connect(mcu, &DataCommunication::updateCascade, this, &MainWindow::Close_SearchQXSys, queued);
    }
    connect(m_loading, &Loading::isFailed, this, [this] {
        if (g_CurMusicPlay.currentScreen == ScreenSetup && m_setupForm->currentPage() == SetupForm::TaveloPage) {
            if (m_dataComm)
                m_dataComm->StopCascadeThread(false);
            m_setupForm->refreshPage();
        }
    });
    connect(SetLanguage::GetLanguageInstance(), &SetLanguage::LanguageChaned, this, &MainWindow::RefreshUI);
}

// Screen 3 asked for by the now-playing screen once it slid out.
void MainWindow::openSetup()
{
    m_screenChanging = false;
    if (!m_setupForm)
        return;
    if (m_message) {
        m_message->defaultSetting();
        m_message->hide();
    }
    m_setupForm->resetToMain();
    setInterfaceNavigation(ScreenSetup);
    if (m_navForm) {
        m_navForm->setType(true);
        m_navForm->setWindowTitle(m_setupForm->currentTitle());
    }
    qCInfo(lcApp).noquote() << QStringLiteral("setup screen opened: \"%1\"").arg(m_setupForm->currentTitle());
    QTimer::singleShot(150, this, [this] {
        if (g_CurMusicPlay.currentScreen != ScreenSetup || !m_setupForm)
            return;
        if (m_mainForm)
            m_mainForm->hide();
        m_setupForm->show();
        m_setupForm->raise();
        if (m_popupMessage)
            m_popupMessage->raise();
    });
}

void MainWindow::Open_FreqSwitchGui()
{
    if (!m_dividerForm || g_CurMusicPlay.currentScreen != ScreenSetup)
        return;
    qCInfo(lcApp).noquote() << QStringLiteral("frequency-switch screen opened");
    m_setupForm->hide();
    m_dividerForm->reload();
    setInterfaceNavigation(ScreenFreqSwitch);
    if (m_navForm) {
        m_navForm->setType(true);
        m_navForm->setWindowTitle(tr("分频器设置"));
    }
    m_dividerForm->show();
    m_dividerForm->raise();
}

bool MainWindow::groundKeySequence(int key)
{
    if (!m_setupForm || m_setupForm->currentPage() != SetupForm::MainPage || m_setupForm->isEditing()) {
        m_groundSequence.clear();
        return false;
    }
    m_groundSequence.append(key);
    while (m_groundSequence.size() > kFreqSwitchSequence.size())
        m_groundSequence.removeFirst();
    if (m_groundSequence == kFreqSwitchSequence) {
        m_groundSequence.clear();
        Open_FreqSwitchGui();
        return true;
    }
    if (m_groundSequence == kDiagnosticsSequence) {
        m_groundSequence.clear();
        qCInfo(lcApp).noquote() << QStringLiteral("diagnostics screen asked for");
        emit sig_openElectricCheck();
        return true;
    }
    return false;
}

void MainWindow::Close_SearchQXSys(bool closed)
{
    if (m_setupForm)
        m_setupForm->cascadeSearchOver(!closed);
    // The search was started from the setup screen; its end without a unit
    // is told wherever the user is now.
    if (closed)
        showPopup(tr("未发现Tavelo系统"), 18);
}

void MainWindow::setLanguageChanged()
{
    // Stored first: a power cut during the repaint keeps the choice.
    if (m_database)
        m_database->update_Config(QStringLiteral("languageID"), QString::number(LanguageID));
    g_TempData.languageID = LanguageID;
    qCInfo(lcApp).noquote() << QStringLiteral("language setting stored: %1").arg(LanguageID);
    SetLanguage::GetLanguageInstance()->ChangeLanguage(LanguageID);
}

void MainWindow::RefreshUI()
{
    if (m_setupForm && g_CurMusicPlay.currentScreen == ScreenSetup) {
        new RepaintProbe(m_setupForm->list()->viewport(), LanguageID);
        m_setupForm->retranslate();
        qCInfo(lcApp).noquote() << QStringLiteral("setup texts reloaded: \"%1\", \"%2\"")
                                       .arg(m_setupForm->currentTitle(),
                                            m_setupForm->rowText(m_setupForm->currentRow()));
    }
    if (m_dividerForm) {
        m_dividerForm->retranslate();
        if (g_CurMusicPlay.currentScreen == ScreenFreqSwitch && m_navForm)
            m_navForm->setWindowTitle(tr("分频器设置"));
    }
    if (m_navForm)
        m_navForm->refreshGui();
    if (m_trackForm)
        m_trackForm->RefreshSearchUI();
}
