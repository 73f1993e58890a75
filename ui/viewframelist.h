#pragma once
// The focus frame drawn around the current row of a list: focused (the
// list takes the knob), short focus (the list shows where it was but does
// not take the knob), no focus (hidden). A click shows the pressed frame for
// 500 ms, then the frame returns to its state.

#include <QWidget>

class QTimer;

class ViewFrameList : public QWidget
{
    Q_OBJECT

public:
    enum State { Focused, ShortFocus, NoFocus };
    static constexpr int PressedMs = 500;

    explicit ViewFrameList(QWidget *parent = nullptr);

    State state() const { return m_state; }
    bool isPressed() const;

public slots:
    void setFocused();
    void setShortFocus();
    void setNoneFocus();
    void setClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setState(State s);

    State m_state = Focused;
    QTimer *m_pressTimer;
};
