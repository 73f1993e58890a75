#pragma once
// One row of a list screen, 54 px high, made from a ListInfo: with an icon
// the icon is centred in the first 54 px and the text starts at x = 59,
// without one the text starts at x = 10. The title scrolls (MLabel) while
// the row is current and too long; rightText sits at the right edge; rows
// of kind 5 and 6 have no right-hand adjuster (the chevron).

#include "records.h"

#include <QWidget>

class MLabel;
class QLabel;

class ListRowWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RowHeight = 54;
    static constexpr int IconColumn = 54;

    explicit ListRowWidget(const ListInfo &info, QWidget *parent = nullptr);

    const ListInfo &info() const { return m_info; }
    void setInfo(const ListInfo &info);
    void setTitle(const QString &title);
    // A value widget (a setup row's arrows and value) at the right edge; the
    // row owns it and the title ends before it. Null removes it.
    void setValueWidget(QWidget *widget);
    QWidget *valueWidget() const { return m_valueWidget; }

    // Current row: bright text, and the title scrolls when it is too long.
    void setCurrent(bool current);
    bool isCurrent() const { return m_current; }
    // A disabled row is greyed and skipped by the list's knob moves.
    void setRowDisabled(bool disabled);
    bool isRowDisabled() const { return m_disabled; }
    // Kinds 5 and 6 have no adjuster.
    bool hasAdjuster() const;

    MLabel *titleLabel() const { return m_title; }
    QLabel *iconLabel() const { return m_icon; }
    QLabel *rightLabel() const { return m_right; }
    QLabel *adjusterLabel() const { return m_adjuster; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutRow();

    ListInfo m_info;
    QLabel *m_icon;
    MLabel *m_title;
    QLabel *m_right;
    QLabel *m_adjuster;
    QWidget *m_valueWidget = nullptr;
    bool m_current = false;
    bool m_disabled = false;
};
