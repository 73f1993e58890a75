#include "listrowwidget.h"

#include "mlabel.h"
#include "uiassets.h"

#include <QLabel>
#include <QStyle>
#include <QVariant>

namespace {

constexpr int AdjusterWidth = 24;
constexpr int RightMargin = 8;
constexpr int TitleFontPx = 22;

void repolish(QWidget *w)
{
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

} // namespace

ListRowWidget::ListRowWidget(const ListInfo &info, QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_title(new MLabel(this))
    , m_right(new QLabel(this))
    , m_adjuster(new QLabel(this))
{
    setObjectName(QStringLiteral("listRow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(RowHeight);
    m_icon->setObjectName(QStringLiteral("rowIcon"));
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setObjectName(QStringLiteral("rowTitle"));
    m_title->setFontSize(TitleFontPx);
    // Only the current row scrolls; the others stay still.
    m_title->setRolling(false);
    m_right->setObjectName(QStringLiteral("rowRightText"));
    m_right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_adjuster->setObjectName(QStringLiteral("rowAdjuster"));
    m_adjuster->setAlignment(Qt::AlignCenter);
    m_adjuster->setPixmap(UiAssets::pixmap(UiAssets::icon(QStringLiteral("icon_arrow_right"))));
    setInfo(info);
}

void ListRowWidget::setInfo(const ListInfo &info)
{
    m_info = info;
    if (info.iconPath.isEmpty()) {
        m_icon->clear();
        m_icon->hide();
    } else {
        m_icon->setPixmap(UiAssets::pixmap(info.iconPath));
        m_icon->show();
    }
    m_title->setText(info.title);
    m_right->setText(info.rightText);
    m_right->setVisible(!info.rightText.isEmpty());
    m_adjuster->setVisible(hasAdjuster());
    layoutRow();
}

void ListRowWidget::setTitle(const QString &title)
{
    m_info.title = title;
    m_title->setText(title);
}

void ListRowWidget::setValueWidget(QWidget *widget)
{
    if (m_valueWidget == widget)
        return;
    delete m_valueWidget;
    m_valueWidget = widget;
    if (widget) {
        widget->setParent(this);
        widget->show();
    }
    layoutRow();
}

bool ListRowWidget::hasAdjuster() const
{
    return m_info.type != 5 && m_info.type != 6;
}

void ListRowWidget::setCurrent(bool current)
{
    if (m_current == current)
        return;
    m_current = current;
    m_title->setRolling(current);
    setProperty("current", QVariant(current));
    repolish(this);
    repolish(m_title);
    repolish(m_right);
}

void ListRowWidget::setRowDisabled(bool disabled)
{
    if (m_disabled == disabled)
        return;
    m_disabled = disabled;
    setProperty("rowDisabled", QVariant(disabled));
    repolish(this);
    repolish(m_title);
    repolish(m_right);
}

void ListRowWidget::layoutRow()
{
    const int h = height() > 0 ? height() : RowHeight;
    const int w = width();
    m_icon->setGeometry(0, 0, IconColumn, h);
    const int x = m_info.textX();
    int right = w - RightMargin;
    if (m_valueWidget) {
        const int vw = m_valueWidget->width();
        m_valueWidget->setGeometry(w - vw, 0, vw, h);
        right = w - vw;
    }
    if (m_adjuster->isVisibleTo(this)) {
        m_adjuster->setGeometry(right - AdjusterWidth, 0, AdjusterWidth, h);
        right -= AdjusterWidth + 4;
    }
    if (!m_info.rightText.isEmpty()) {
        const int rw = std::min(m_right->fontMetrics().horizontalAdvance(m_info.rightText) + 6, w / 2);
        m_right->setGeometry(right - rw, 0, rw, h);
        right -= rw + 8;
    }
    m_title->setGeometry(x, 0, std::max(0, right - x), h);
}

void ListRowWidget::resizeEvent(QResizeEvent *)
{
    layoutRow();
}
