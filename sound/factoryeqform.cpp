#include "factoryeqform.h"

#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"

#include <QTimer>

namespace {

struct PresetRow {
    const char *name;
    const char *picture;
};

const PresetRow kRows[FactoryEQForm::Rows] = {
    {QT_TRANSLATE_NOOP("FactoryEQForm", "标准"), "Setup_Factory_EQ_Flat"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "流行"), "Setup_Factory_EQ_Pop"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "摇滚"), "Setup_Factory_EQ_Rock"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "新闻节目"), "Setup_Factory_EQ_News"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "爵士"), "Setup_Factory_EQ_Jazz"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "电子"), "Setup_Factory_EQ_Electronic"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "嘻哈"), "Setup_Factory_EQ_Hip-Hop"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "轻音乐"), "Setup_Factory_EQ_EasyListening"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "乡村"), "Setup_Factory_EQ_Country"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "古典"), "Setup_Factory_EQ_Classical"},
    {QT_TRANSLATE_NOOP("FactoryEQForm", "自定义"), "Setup_Factory_EQ_User"},
};

// System byte holding the current preset number.
constexpr int kPresetByte = 24;
// The user EQ is stored preset 11.
constexpr int UserRow = 10;

} // namespace

FactoryEQForm::FactoryEQForm(QWidget *parent)
    : QWidget(parent)
    , m_list(new ListViewWidget(this))
    , m_readTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("factoryEQForm"));
    resize(480, 285);
    m_list->setGeometry(rect());
    m_readTimer->setSingleShot(true);
    m_readTimer->setInterval(ReadDelayMs);
    connect(m_readTimer, &QTimer::timeout, this, &FactoryEQForm::readNow);
}

QString FactoryEQForm::picturePath(int row)
{
    if (row < 0 || row >= Rows)
        return QString();
    return QStringLiteral(":/preset/Resource/preset/") + QLatin1String(kRows[row].picture);
}

const char *FactoryEQForm::rowName(int row)
{
    return row >= 0 && row < Rows ? kRows[row].name : "";
}

void FactoryEQForm::reload()
{
    m_readTimer->stop();
    m_list->clear();
    for (int i = 0; i < Rows; ++i) {
        ListInfo info;
        info.iconPath = picturePath(i);
        info.title = tr(kRows[i].name);
        info.type = 5; // no adjuster: the row is the choice
        info.id = i;
        m_list->setListData(info);
    }
    const int current = m_nCurSystem.at(kPresetByte) - 1;
    m_list->setSelectRow(current >= 0 && current < Rows ? current : 0);
}

void FactoryEQForm::change_Current_Row(bool up, int steps)
{
    for (int i = 0; i < steps; ++i)
        m_list->moveSelectRow(up);
    // The preset is read once the knob rests on a row.
    m_readTimer->start();
}

void FactoryEQForm::click_Current_Row()
{
    m_readTimer->stop();
    m_list->setViewListClicked();
    // A press on the user EQ while it is current keeps the sound as it is now.
    if (currentRow() == UserRow && m_nCurSystem.at(kPresetByte) == UserRow + 1) {
        emit saveUserPreset();
        return;
    }
    readNow();
}

int FactoryEQForm::currentRow() const
{
    return m_list->currentRow();
}

bool FactoryEQForm::readPending() const
{
    return m_readTimer->isActive();
}

void FactoryEQForm::readNow()
{
    m_readTimer->stop();
    const int row = currentRow();
    if (row < 0 || row >= Rows || m_nCurSystem.at(kPresetByte) == row + 1)
        return;
    emit readPreset(row);
}
