#include "wheelstudyform.h"

#include "custommessage.h"
#include "globals.h"
#include "listviewwidget.h"
#include "logging.h"
#include "records.h"
#include "soundfunctions.h"
#include "wheelstudy.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

WheelStudyForm::WheelStudyForm(QWidget *parent)
    : QWidget(parent)
    , m_list(new ListViewWidget(this))
    , m_popup(new CustomMessage(CustomMessage::MessageBox, this))
    , m_timeout(new QTimer(this))
    , m_closer(new QTimer(this))
{
    setObjectName(QStringLiteral("wheelStudyForm"));
    resize(Width, Height);
    m_list->setObjectName(QStringLiteral("wheelStudyList"));
    m_list->setGeometry(0, 0, Width, Height);
    m_popup->setObjectName(QStringLiteral("wheelStudyPopup"));
    m_popup->setGeometry(0, 0, Width, Height);
    m_popup->hide();
    m_timeout->setSingleShot(true);
    m_closer->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        qCInfo(lcSound).noquote() << QStringLiteral("steering-wheel learning of key %1: no press within %2 ms")
                                         .arg(m_key)
                                         .arg(WheelStudy::TimeoutMs);
        endAttempt(true);
    });
    connect(m_closer, &QTimer::timeout, this, [this] {
        m_popup->closeMessageDlg();
        setState(State::Idle);
    });
    InitWireStudyWidgets(true);
}

QString WheelStudyForm::keyName(int key)
{
    switch (key) {
    case 0:
        return tr("音量+");
    case 1:
        return tr("音量-");
    case 2:
        return tr("上一曲");
    case 3:
        return tr("下一曲");
    case 4:
        return tr("播放/暂停");
    case 5:
        return tr("静音");
    case 6:
        return tr("音源");
    default:
        return QString();
    }
}

void WheelStudyForm::InitWireStudyWidgets(bool fresh)
{
    if (fresh) {
        InitTempStudyData();
        m_timeout->stop();
        m_closer->stop();
        m_popup->defaultSetting();
        setState(State::Idle);
    }
    const int current = fresh || m_list->currentRow() < 0 ? 0 : m_list->currentRow();
    InitWheelTypeWidgets();
    m_list->setSelectRow(current);
    emit setWindowTitle(tr("方控学习"));
}

void WheelStudyForm::InitWheelTypeWidgets()
{
    const int current = m_list->currentRow();
    m_list->clear();
    for (int k = 0; k < WheelStudy::KeyCount; ++k) {
        ListInfo row;
        row.title = keyName(k);
        row.id = k;
        row.type = 5;
        const int v = WheelStudy::learnedValue(k);
        // The line and the reading: what a technician compares with the car.
        row.rightText =
            v == WheelStudy::NotLearned
                ? QStringLiteral("--")
                : QStringLiteral("AD%1  %2").arg(WheelStudy::learnedOnLine2(k) ? 2 : 1).arg(v, 3, 10, QLatin1Char('0'));
        m_list->setListData(row);
    }
    if (current >= 0)
        m_list->setSelectRow(current);
}

void WheelStudyForm::setState(State s)
{
    m_state = s;
    g_TempData.wheelStudyMode = s == State::Learning ? 1 : 0;
}

void WheelStudyForm::showPopup(const QString &text, int displayMs)
{
    m_popup->setText(text, CustomMessage::KindNone);
    m_popup->setDisplayTime(displayMs);
    m_popup->show();
    m_popup->raise();
}

void WheelStudyForm::SetWireDataStuy(int key)
{
    if (key < 0 || key >= WheelStudy::KeyCount)
        return;
    if (m_state == State::Learning || m_state == State::Failed || m_state == State::Learned)
        return;
    if (m_state != State::Asking && WheelStudy::learnedValue(key) != WheelStudy::NotLearned) {
        m_key = key;
        setState(State::Asking);
        showPopup(tr("已学习！重新学习请按确定"), 0);
        return;
    }
    m_key = key;
    setState(State::Learning);
    showPopup(tr("正在学习...\n请按下方向盘按键"), 0);
    qCInfo(lcSound).noquote() << QStringLiteral("steering-wheel learning of key %1 started").arg(key);
    m_timeout->start(WheelStudy::TimeoutMs);
}

bool WheelStudyForm::Is_WheelStudyPage() const
{
    return isVisible() && m_state == State::Learning;
}

bool WheelStudyForm::Study_Poll(int line1, int line2)
{
    if (m_state != State::Learning)
        return false;
    const WheelStudy::Capture c =
        WheelStudy::capture(m_key, line1, line2, g_TempData.wheelAd1.get(), g_TempData.wheelAd2.get());
    switch (c.outcome) {
    case WheelStudy::Outcome::Waiting:
        return false;
    case WheelStudy::Outcome::Overlap:
        qCInfo(lcSound).noquote() << QStringLiteral(
                                         "steering-wheel learning of key %1: reading %2 on line %3 is another key's")
                                         .arg(m_key)
                                         .arg(c.value)
                                         .arg(c.line2 ? 2 : 1);
        endAttempt(true);
        return true;
    case WheelStudy::Outcome::Learned:
        qCInfo(lcSound).noquote() << QStringLiteral("steering-wheel key %1 learned: reading %2 on line %3")
                                         .arg(m_key)
                                         .arg(c.value)
                                         .arg(c.line2 ? 2 : 1);
        WheelStudyScuess();
        return true;
    }
    return false;
}

void WheelStudyForm::WheelStudyScuess()
{
    m_timeout->stop();
    setState(State::Learned);
    InitWheelTypeWidgets();
    showPopup(tr("学习完成"), 0);
    m_closer->start(WheelStudy::FailCloseMs);
    emit studyChanged();
}

void WheelStudyForm::endAttempt(bool failed)
{
    m_timeout->stop();
    if (!failed) {
        m_popup->closeMessageDlg();
        setState(State::Idle);
        return;
    }
    setState(State::Failed);
    showPopup(tr("学习失败"), 0);
    m_closer->start(WheelStudy::FailCloseMs);
}

void WheelStudyForm::change_Current_Row(bool up, int steps)
{
    if (m_state != State::Idle)
        return;
    for (int i = 0; i < qMax(1, steps); ++i)
        m_list->moveSelectRow(up);
}

void WheelStudyForm::click_Current_Row()
{
    const int row = m_list->currentRow();
    if (m_state == State::Asking) {
        // Confirmed: learn it again.
        SetWireDataStuy(m_key);
        return;
    }
    if (m_state != State::Idle || row < 0)
        return;
    m_list->setViewListClicked();
    SetWireDataStuy(row);
}

bool WheelStudyForm::Prev_Gui_Action()
{
    switch (m_state) {
    case State::Idle:
        return true;
    case State::Asking:
    case State::Learning:
        qCInfo(lcSound).noquote() << QStringLiteral("steering-wheel learning of key %1 cancelled").arg(m_key);
        endAttempt(false);
        return false;
    case State::Failed:
    case State::Learned:
        m_closer->stop();
        m_popup->closeMessageDlg();
        setState(State::Idle);
        return false;
    }
    return true;
}

void WheelStudyForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        InitWheelTypeWidgets();
    QWidget::changeEvent(event);
}
