#pragma once
// The steering-wheel key learning page: the seven keys with what each has
// learned, and the learning popup. The knob moves between keys, the knob
// press learns the current one (a learned key asks first), back cancels a
// running attempt or leaves the page. While the popup waits for a press,
// the controller hands every status poll's AD readings to Study_Poll().

#include <QWidget>

class CustomMessage;
class ListViewWidget;
class QTimer;

class WheelStudyForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 283;

    enum class State { Idle, Asking, Learning, Failed, Learned };

    explicit WheelStudyForm(QWidget *parent = nullptr);

    // Fills the key list; with `fresh` a new session starts (the learning
    // record is emptied and the first row is current).
    void InitWireStudyWidgets(bool fresh);
    // The key rows with their learned values (after a change elsewhere).
    void InitWheelTypeWidgets();
    // Starts learning key k (0..6), or asks first when k has a value.
    void SetWireDataStuy(int key);
    // The page is open and waiting for a press.
    bool Is_WheelStudyPage() const;
    // One status poll's readings while waiting; true when it ended the attempt.
    bool Study_Poll(int line1, int line2);
    // The attempt succeeded: the list shows the new value.
    void WheelStudyScuess();

    void change_Current_Row(bool up, int steps = 1);
    void click_Current_Row();
    // true when the page has no level left.
    bool Prev_Gui_Action();

    State state() const { return m_state; }
    int studyKey() const { return m_key; }
    ListViewWidget *list() const { return m_list; }
    CustomMessage *popup() const { return m_popup; }
    static QString keyName(int key);

signals:
    void setWindowTitle(const QString &title);
    // A key was learned or cleared: the system record changed.
    void studyChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    void showPopup(const QString &text, int displayMs);
    void endAttempt(bool failed);
    void setState(State s);

    ListViewWidget *m_list;
    CustomMessage *m_popup;
    QTimer *m_timeout; // 10000 ms for a press
    QTimer *m_closer;  // 2000 ms showing the end of an attempt
    State m_state = State::Idle;
    int m_key = -1;
};
