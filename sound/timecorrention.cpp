#include "timecorrention.h"

#include "eqlabel.h"
#include "globals.h"
#include "linkglobals.h"
#include "listrowwidget.h"
#include "listselectdata.h"
#include "listviewwidget.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "soundtables.h"

namespace {

const char *const kTwoWay[6] = {
    QT_TRANSLATE_NOOP("TimeCorrention", "前左扬声器"), QT_TRANSLATE_NOOP("TimeCorrention", "前右扬声器"),
    QT_TRANSLATE_NOOP("TimeCorrention", "后左扬声器"), QT_TRANSLATE_NOOP("TimeCorrention", "后右扬声器"),
    QT_TRANSLATE_NOOP("TimeCorrention", "左置重低音"), QT_TRANSLATE_NOOP("TimeCorrention", "右置重低音"),
};
const char *const kThreeWay[6] = {
    QT_TRANSLATE_NOOP("TimeCorrention", "左高音"), QT_TRANSLATE_NOOP("TimeCorrention", "右高音"),
    QT_TRANSLATE_NOOP("TimeCorrention", "左中音"), QT_TRANSLATE_NOOP("TimeCorrention", "右中音"),
    QT_TRANSLATE_NOOP("TimeCorrention", "左低音"), QT_TRANSLATE_NOOP("TimeCorrention", "右低音"),
};

constexpr int kDividerByte = 47; // 1: three-way
constexpr int UnitRow = 0;

} // namespace

TimeCorrention::TimeCorrention(QWidget *parent)
    : QWidget(parent)
    , m_list(new ListViewWidget(this))
{
    setObjectName(QStringLiteral("timeCorrention"));
    resize(480, 285);
    m_list->setGeometry(rect());
}

const char *TimeCorrention::channelName(int channel, bool threeWay)
{
    if (channel < 0 || channel >= 6)
        return "";
    return threeWay ? kThreeWay[channel] : kTwoWay[channel];
}

void TimeCorrention::reload()
{
    const int keep = qMax(0, m_list->currentRow());
    setEditing(false);
    m_list->clear();
    m_values.clear();
    const bool threeWay = m_nCurSystem.at(kDividerByte) == 1;
    for (int row = 0; row < 7; ++row) {
        ListInfo info;
        info.title = row == UnitRow ? tr("单位") : tr(channelName(row - 1, threeWay));
        info.type = 5;
        info.id = row;
        m_list->setListData(info);
        auto *value = new ListSelectData;
        value->initDataType(&info);
        m_list->rowWidget(row)->setValueWidget(value);
        m_values.append(value);
    }
    refreshValues();
    m_list->setSelectRow(qMin(keep, m_list->rowCount() - 1));
}

void TimeCorrention::change_Current_Row(bool up, int steps)
{
    if (!m_editing) {
        for (int i = 0; i < steps; ++i)
            m_list->moveSelectRow(up);
        return;
    }
    const int row = currentRow();
    bool moved = false;
    if (row == UnitRow) {
        const int id = stepValue(getDelayUintID(), 0, DelayUintSelect.size() - 1, up, 1);
        if (DelayUintSelect[id] != Cur_Delay_Uint) {
            Cur_Delay_Uint = DelayUintSelect[id];
            moved = true;
            emit sig_DelayUint();
        }
    } else {
        // A fast turn moves the delay by as many steps as the knob reports.
        for (int i = 0; i < steps; ++i)
            moved = stepDelay(row - 1, up) || moved;
    }
    if (ListSelectData *v = m_values.value(row))
        v->dataChanged(up);
    if (moved)
        refreshValues();
}

void TimeCorrention::click_Current_Row()
{
    m_list->setViewListClicked();
    setEditing(!m_editing);
}

bool TimeCorrention::leaveEditing()
{
    if (!m_editing)
        return false;
    setEditing(false);
    return true;
}

int TimeCorrention::currentRow() const
{
    return m_list->currentRow();
}

QString TimeCorrention::rowValue(int row) const
{
    ListSelectData *v = m_values.value(row);
    return v ? v->valueLabel()->text() : QString();
}

void TimeCorrention::setEditing(bool on)
{
    m_editing = on;
    g_TempData.inTimeCorrection = on && currentRow() != UnitRow;
    for (int i = 0; i < m_values.size(); ++i)
        m_values[i]->setListSelected(on && i == currentRow());
    if (!on) {
        g_CurMusicPlay.listSelected = false;
        g_CurMusicPlay.listSelectedAux = false;
    }
}

void TimeCorrention::refreshValues()
{
    for (int row = 0; row < m_values.size(); ++row) {
        const QString text = row == UnitRow ? delayUnitLabel(Cur_Delay_Uint) : delayText(row - 1);
        m_values[row]->valueLabel()->setValueText(text);
    }
}
