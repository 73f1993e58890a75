#include "dividerswitchform.h"

#include "linkglobals.h"
#include "listviewwidget.h"
#include "soundfunctions.h"

#include <QLabel>
#include <QTimer>

namespace {

constexpr int kOutputEnableByte = 14;
constexpr int kDividerByte = 47; // 0 two-way, 1 three-way
constexpr int kListHeight = 2 * 54;

} // namespace

DividerSwitchForm::DividerSwitchForm(QWidget *parent)
    : QWidget(parent)
    , m_list(new ListViewWidget(this))
    , m_hint(new QLabel(this))
    , m_status(new QLabel(this))
    , m_switchTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("dividerSwitchForm"));
    resize(480, 285);
    m_list->setGeometry(0, 10, 480, kListHeight);
    m_hint->setObjectName(QStringLiteral("dividerHint"));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    m_hint->setGeometry(20, 10 + kListHeight + 12, 440, 70);
    m_status->setObjectName(QStringLiteral("dividerStatus"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setGeometry(20, 10 + kListHeight + 88, 440, 40);
    m_switchTimer->setSingleShot(true);
    m_switchTimer->setInterval(SwitchMs);
    connect(m_switchTimer, &QTimer::timeout, this, &DividerSwitchForm::finishSwitch);
    retranslate();
}

void DividerSwitchForm::retranslate()
{
    const int row = m_list->rowCount() > 0 ? m_list->currentRow() : (m_nCurSystem.at(kDividerByte) == 1 ? 1 : 0);
    m_list->clear();
    const char *names[2] = {QT_TR_NOOP("2分频"), QT_TR_NOOP("3分频")};
    for (int i = 0; i < 2; ++i) {
        ListInfo info;
        info.title = tr(names[i]);
        info.type = 5;
        info.id = i;
        m_list->setListData(info);
    }
    m_list->setSelectRow(row);
    m_hint->setText(tr("请按“Play”按键完成设定。"));
    if (m_switchTimer->isActive())
        m_status->setText(tr("正在切换，请稍后"));
    else if (m_switched)
        m_status->setText(tr("切换成功"));
}

void DividerSwitchForm::reload()
{
    m_switched = false;
    if (!m_switchTimer->isActive())
        m_status->clear();
    m_list->setSelectRow(m_nCurSystem.at(kDividerByte) == 1 ? 1 : 0);
}

void DividerSwitchForm::change_Current_Row(bool up, int steps)
{
    for (int i = 0; i < steps; ++i)
        m_list->moveSelectRow(up);
}

int DividerSwitchForm::choice() const
{
    return m_list->currentRow();
}

bool DividerSwitchForm::switching() const
{
    return m_switchTimer->isActive();
}

QString DividerSwitchForm::statusText() const
{
    return m_status->text();
}

void DividerSwitchForm::submit()
{
    const int mode = choice();
    if (mode < 0 || mode == m_nCurSystem.at(kDividerByte) || m_switchTimer->isActive())
        return;
    emit delayLampUpdata();
    m_outputWasOn = m_nCurSystem.at(kOutputEnableByte) != 0;
    m_nCurSystem.set(kOutputEnableByte, 0);
    m_nCurSystem.set(kDividerByte, quint8(mode));
    Init_CH_MapType(mode == 1);
    for (int ch = 0; ch < 6; ++ch)
        InitOutHLP_Data(ch);
    m_switched = false;
    m_status->setText(tr("正在切换，请稍后"));
    m_switchTimer->start();
}

void DividerSwitchForm::finishSwitch()
{
    if (m_outputWasOn)
        m_nCurSystem.set(kOutputEnableByte, 1);
    m_switched = true;
    m_status->setText(tr("切换成功"));
}
