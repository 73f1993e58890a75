#include "listviewwidget.h"

#include "listrowwidget.h"
#include "viewframelist.h"

#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTimer>
#include <QVariant>

namespace {
constexpr int InfoRole = Qt::UserRole + 1;
}

ListViewWidget::ListViewWidget(QWidget *parent)
    : QListWidget(parent)
    , m_frame(new ViewFrameList(viewport()))
    , m_frameAnim(new QPropertyAnimation(m_frame, "geometry", this))
    , m_clickTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("listView"));
    // Keys reach the screens through the controller, never the list itself.
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    m_frame->hide();
    m_frame->lower();
    m_frameAnim->setDuration(HighlightMs);
    m_frameAnim->setEasingCurve(QEasingCurve::OutCubic);
    m_clickTimer->setSingleShot(true);
    m_clickTimer->setInterval(ClickClearMs);
    connect(m_clickTimer, &QTimer::timeout, this, [this] {
        if (ListRowWidget *w = rowWidget(currentRow())) {
            w->setProperty("clicked", false);
            w->update();
        }
    });
}

void ListViewWidget::setListData(const ListInfo &info)
{
    updateListData(&info, count());
}

void ListViewWidget::updateListData(const ListInfo *info, int row)
{
    if (!info || row < 0 || row > count())
        return;
    QListWidgetItem *item = row < count() ? this->item(row) : nullptr;
    if (!item) {
        item = new QListWidgetItem;
        item->setSizeHint(QSize(viewport()->width(), ListRowWidget::RowHeight));
        addItem(item);
    }
    item->setData(InfoRole, QVariant::fromValue(*info));
    if (auto *w = rowWidget(row)) {
        w->setInfo(*info);
    } else {
        auto *rw = new ListRowWidget(*info);
        setItemWidget(item, rw);
    }
    m_frame->lower();
    if (currentRow() < 0)
        setSelectRow(0);
    else if (row == currentRow())
        setCurrentMark(row);
}

void ListViewWidget::refreshRow(int row, const QString &text)
{
    QListWidgetItem *it = item(row);
    if (!it)
        return;
    ListInfo info = it->data(InfoRole).value<ListInfo>();
    info.title = text;
    it->setData(InfoRole, QVariant::fromValue(info));
    if (ListRowWidget *w = rowWidget(row))
        w->setTitle(text);
}

void ListViewWidget::refreshList()
{
    const int cur = currentRow();
    m_markedRow = -1;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem *it = item(i);
        const bool disabled = isListDisabled(i);
        auto *rw = new ListRowWidget(it->data(InfoRole).value<ListInfo>());
        rw->setRowDisabled(disabled);
        setItemWidget(it, rw); // deletes the old row widget
    }
    m_frame->lower();
    if (cur >= 0)
        setSelectRow(cur);
}

void ListViewWidget::setSelectRow(int row)
{
    if (row < 0 || row >= count())
        return;
    const bool first = currentRow() < 0 || !m_frame->isVisible();
    setCurrentRow(row);
    scrollToItem(item(row));
    setCurrentMark(row);
    if (m_frame->state() != ViewFrameList::NoFocus)
        m_frame->show();
    placeFrame(!first && isVisible());
}

int ListViewWidget::moveSelectRow(bool next)
{
    int row = currentRow();
    for (int r = row + (next ? 1 : -1); r >= 0 && r < count(); r += next ? 1 : -1) {
        if (!isListDisabled(r)) {
            setSelectRow(r);
            return r;
        }
    }
    return row;
}

void ListViewWidget::setListDisabled(int row, bool disabled)
{
    if (ListRowWidget *w = rowWidget(row))
        w->setRowDisabled(disabled);
}

bool ListViewWidget::isListDisabled(int row) const
{
    ListRowWidget *w = rowWidget(row);
    return w && w->isRowDisabled();
}

ListInfo ListViewWidget::rowInfo(int row) const
{
    QListWidgetItem *it = item(row);
    return it ? it->data(InfoRole).value<ListInfo>() : ListInfo();
}

int ListViewWidget::get_ListObjectID(int row) const
{
    return item(row) ? rowInfo(row).id : -1;
}

QString ListViewWidget::get_ListObjectText(int row) const
{
    return rowInfo(row).title;
}

QString ListViewWidget::get_ListObjectPath(int row) const
{
    return isDirListObject(row) ? rowInfo(row).value : QString();
}

bool ListViewWidget::isDirListObject(int row) const
{
    if (!item(row))
        return false;
    const ListInfo info = rowInfo(row);
    return info.type == 0 && !info.value.isEmpty();
}

ListRowWidget *ListViewWidget::rowWidget(int row) const
{
    QListWidgetItem *it = item(row);
    return it ? qobject_cast<ListRowWidget *>(itemWidget(it)) : nullptr;
}

bool ListViewWidget::isClickHighlighted() const
{
    return m_clickTimer->isActive();
}

bool ListViewWidget::isHighlightMoving() const
{
    return m_frameAnim->state() == QAbstractAnimation::Running;
}

void ListViewWidget::setViewShortFocus()
{
    m_frame->setShortFocus();
    placeFrame(false);
}

void ListViewWidget::setViewNoneFocus()
{
    m_frame->setNoneFocus();
}

void ListViewWidget::setViewFocus()
{
    m_frame->setFocused();
    placeFrame(false);
}

void ListViewWidget::setViewListClicked()
{
    if (currentRow() < 0)
        return;
    m_frame->setClicked();
    placeFrame(false);
    if (ListRowWidget *w = rowWidget(currentRow())) {
        w->setProperty("clicked", true);
        w->update();
    }
    m_clickTimer->start();
}

QRect ListViewWidget::frameRectFor(int row) const
{
    QListWidgetItem *it = item(row);
    if (!it)
        return QRect();
    return visualItemRect(it).adjusted(2, 1, -2, -1);
}

void ListViewWidget::placeFrame(bool animate)
{
    const QRect target = frameRectFor(currentRow());
    if (target.isNull())
        return;
    m_frameAnim->stop();
    if (animate && m_frame->geometry() != target && m_frame->geometry().isValid()) {
        m_frameAnim->setStartValue(m_frame->geometry());
        m_frameAnim->setEndValue(target);
        m_frameAnim->start();
    } else {
        m_frame->setGeometry(target);
    }
}

void ListViewWidget::setCurrentMark(int row)
{
    if (m_markedRow != row) {
        if (ListRowWidget *old = rowWidget(m_markedRow))
            old->setCurrent(false);
        m_markedRow = row;
    }
    if (ListRowWidget *w = rowWidget(row))
        w->setCurrent(true);
}

void ListViewWidget::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    for (int i = 0; i < count(); ++i)
        item(i)->setSizeHint(QSize(viewport()->width(), ListRowWidget::RowHeight));
    placeFrame(false);
}

void ListViewWidget::scrollContentsBy(int dx, int dy)
{
    QListWidget::scrollContentsBy(dx, dy);
    // The frame follows its row; a running move heads for the row's new place.
    const QRect target = frameRectFor(currentRow());
    if (isHighlightMoving())
        m_frameAnim->setEndValue(target);
    else if (!target.isNull())
        m_frame->setGeometry(target);
}
