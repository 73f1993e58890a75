#pragma once
// A setup row's value between a left and a right arrow: the value area is
// x = 35..144 (an EQLabel), the arrows sit at x = 10..27 and x = 152..169,
// vertically centred. dataChanged(up) steps the value and lights that
// arrow for 500 ms; setListSelected() marks the row as being edited
// (listSelected and listSelectedAux of g_CurMusicPlay).

#include "records.h"

#include <QWidget>

class EQLabel;
class QLabel;
class QTimer;

class ListSelectData : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ArrowLitMs = 500;
    static constexpr int Width = 180;

    explicit ListSelectData(QWidget *parent = nullptr);

    // The row's type becomes the value kind; its id the value (when not -1)
    // and its value text the shown text (when not empty).
    void initDataType(const ListInfo *info);
    EQLabel *valueLabel() const { return m_value; }
    QLabel *leftArrow() const { return m_left; }
    QLabel *rightArrow() const { return m_right; }
    bool isLeftLit() const;
    bool isRightLit() const;
    bool isListSelected() const { return m_selected; }

public slots:
    // Steps the value (up: right arrow) and lights that arrow; emits
    // valueChanged when the value moved.
    void dataChanged(bool up);
    void setListSelected(bool selected);

signals:
    // Addition: the value after a step, for the screen that applies it.
    void valueChanged(int type, int value);

private:
    void updateArrows();

    EQLabel *m_value;
    QLabel *m_left;
    QLabel *m_right;
    QTimer *m_leftTimer;
    QTimer *m_rightTimer;
    bool m_selected = false;
};
