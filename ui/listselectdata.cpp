#include "listselectdata.h"

#include "eqlabel.h"
#include "globals.h"
#include "uiassets.h"

#include <QLabel>
#include <QTimer>
#include <QVariant>

namespace {

constexpr int ArrowSize = 18;

QTimer *litTimer(QObject *owner)
{
    auto *t = new QTimer(owner);
    t->setSingleShot(true);
    t->setInterval(ListSelectData::ArrowLitMs);
    return t;
}

} // namespace

ListSelectData::ListSelectData(QWidget *parent)
    : QWidget(parent)
    , m_value(new EQLabel(this))
    , m_left(new QLabel(this))
    , m_right(new QLabel(this))
    , m_leftTimer(litTimer(this))
    , m_rightTimer(litTimer(this))
{
    setObjectName(QStringLiteral("listSelectData"));
    setAttribute(Qt::WA_TranslucentBackground);
    resize(Width, 54);
    m_left->setObjectName(QStringLiteral("leftArrow"));
    m_right->setObjectName(QStringLiteral("rightArrow"));
    m_left->setAlignment(Qt::AlignCenter);
    m_right->setAlignment(Qt::AlignCenter);
    connect(m_leftTimer, &QTimer::timeout, this, &ListSelectData::updateArrows);
    connect(m_rightTimer, &QTimer::timeout, this, &ListSelectData::updateArrows);
    updateArrows();
}

void ListSelectData::initDataType(const ListInfo *info)
{
    if (!info)
        return;
    m_value->setDataType(info->type);
    if (info->id != -1)
        m_value->setValue(info->id);
    if (!info->value.isEmpty())
        m_value->setValueText(info->value);
    // Value area x = 35..144, arrows at 10..27 and 152..169, centred vertically.
    const int h = height();
    m_value->setGeometry(35, 0, 144 - 35 + 1, h);
    m_left->setGeometry(10, (h - ArrowSize) / 2, 27 - 10 + 1, ArrowSize);
    m_right->setGeometry(152, (h - ArrowSize) / 2, 169 - 152 + 1, ArrowSize);
    updateArrows();
}

bool ListSelectData::isLeftLit() const
{
    return m_leftTimer->isActive();
}

bool ListSelectData::isRightLit() const
{
    return m_rightTimer->isActive();
}

void ListSelectData::dataChanged(bool up)
{
    (up ? m_rightTimer : m_leftTimer)->start();
    (up ? m_leftTimer : m_rightTimer)->stop();
    updateArrows();
    if (m_value->stepValue(up))
        emit valueChanged(m_value->dataType(), m_value->value());
}

void ListSelectData::setListSelected(bool selected)
{
    m_selected = selected;
    g_CurMusicPlay.listSelected = selected;
    g_CurMusicPlay.listSelectedAux = selected;
    setProperty("editing", QVariant(selected));
    updateArrows();
}

void ListSelectData::updateArrows()
{
    auto arrow = [](bool right, bool lit) {
        return UiAssets::pixmap(UiAssets::icon(QLatin1String(right ? "icon_arrow_right" : "icon_arrow_left")
                                               + QLatin1String(lit ? "_on" : "")),
                                QSize(ArrowSize, ArrowSize));
    };
    m_left->setPixmap(arrow(false, isLeftLit()));
    m_right->setPixmap(arrow(true, isRightLit()));
}
