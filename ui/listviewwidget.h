#pragma once
// A list screen page: rows are ListRowWidgets made from ListInfo values.
// The focus frame (ViewFrameList) moves to the current row with a 300 ms
// property animation (Highlight_BK_animation); a click highlight is cleared
// after 1000 ms.

#include "records.h"

#include <QListWidget>

class ListRowWidget;
class ViewFrameList;
class QPropertyAnimation;
class QTimer;

class ListViewWidget : public QListWidget
{
    Q_OBJECT

public:
    static constexpr int HighlightMs = 300;
    static constexpr int ClickClearMs = 1000;

    explicit ListViewWidget(QWidget *parent = nullptr);

    // Appends a row.
    void setListData(const ListInfo &info);
    // Replaces row n (appends when n is the row count).
    void updateListData(const ListInfo *info, int row);
    // Changes the title of row n.
    void refreshRow(int row, const QString &text);
    // Rebuilds every row widget from its ListInfo (after a language or
    // style change) and keeps the current row.
    void refreshList();
    // Makes row n current and moves the focus frame there.
    void setSelectRow(int row);
    // Moves the current row by one (down when next), skipping disabled
    // rows, held within the list; returns the new current row.
    int moveSelectRow(bool next);
    void setListDisabled(int row, bool disabled);
    bool isListDisabled(int row) const;

    // Row data (-1 or "" for a row that does not exist).
    int get_ListObjectID(int row) const;
    QString get_ListObjectText(int row) const;
    // The folder path of a directory row ("" for other rows).
    QString get_ListObjectPath(int row) const;
    // A directory row: kind 0 with a folder path in its value.
    bool isDirListObject(int row) const;
    ListInfo rowInfo(int row) const;
    ListRowWidget *rowWidget(int row) const;
    int rowCount() const { return count(); }

    ViewFrameList *focusFrame() const { return m_frame; }
    bool isClickHighlighted() const;
    // The focus frame's animation runs.
    bool isHighlightMoving() const;

public slots:
    void setViewShortFocus();
    void setViewNoneFocus();
    void setViewFocus();
    // The current row was pressed: the pressed frame and the click highlight.
    void setViewListClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QRect frameRectFor(int row) const;
    void placeFrame(bool animate);
    void setCurrentMark(int row);

    ViewFrameList *m_frame;
    QPropertyAnimation *m_frameAnim;
    QTimer *m_clickTimer;
    int m_markedRow = -1;
};
