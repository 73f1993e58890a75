#pragma once
// The frequency-switch screen (screen 4): two-way or three-way crossover.
// The knob picks one of the two choices, the Play key submits it. A new
// mode pauses the indicator updates, mutes the output (output enable,
// system byte 14), stores the mode (byte 47), rewrites the channel map and
// every output channel's default crossover, and 3500 ms later turns the
// output back on if it was on.
//
// GUI thread only.

#include <QWidget>

class ListViewWidget;
class QLabel;
class QTimer;

class DividerSwitchForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int SwitchMs = 3500;

    explicit DividerSwitchForm(QWidget *parent = nullptr);

    // Shows the current mode as the choice, no message.
    void reload();
    void change_Current_Row(bool up, int steps = 1);
    // The Play key: switches to the chosen mode; nothing when it is current.
    void submit();
    void retranslate();
    int choice() const;
    bool switching() const;
    QString statusText() const;
    ListViewWidget *list() const { return m_list; }

signals:
    void delayLampUpdata();

private:
    void finishSwitch();

    ListViewWidget *m_list;
    QLabel *m_hint;
    QLabel *m_status;
    QTimer *m_switchTimer;
    bool m_outputWasOn = false;
    bool m_switched = false;
};
