#pragma once
// The full-window popup for choices and confirmations of the setup screens.
//
// setType(type, text) opens it with a message and marks popupOpen; the
// knob changes the choice (updateData), and each change lights the left or
// right value icon for 500 ms (setValChange). popupClicked() confirms: the
// popup emits sig_Confirmed(type, choice) and hides itself 2000 ms later
// (type -1), then clears popupOpen and emits sig_WheelChanged(); 3000 ms
// after a confirmation a pending popupType of g_TempData (a sample-rate
// code, 9 or 11) is written to the MCU system record (byte 39) and
// cleared. The types and their texts belong to the setup screens.

#include <QStringList>
#include <QWidget>

class QLabel;
class QTimer;

class PopupSelect : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ValueLitMs = 500;
    static constexpr int HideAfterMs = 2000;
    static constexpr int HandOverMs = 3000;

    explicit PopupSelect(QWidget *parent = nullptr);

    // -1 when closed.
    int type() const { return m_type; }
    QString text() const;
    // Addition: the choices offered between the value icons (none: a plain
    // confirmation) and the one shown.
    void setChoices(const QStringList &choices, int current = 0);
    QStringList choices() const { return m_choices; }
    int currentChoice() const { return m_choice; }
    // Addition: a popup working on a confirmed job (factory reset, a search)
    // is busy; the back key leaves a busy popup alone.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    bool isConfirmed() const { return m_confirmed; }
    bool isLeftLit() const;
    bool isRightLit() const;

public slots:
    void setType(int type, const QString &text);
    // Replaces the message text of the open popup.
    void setText(const QString &text);
    // Knob turn: the next (up) or previous choice, held within the list.
    void updateData(bool up);
    // Lights the right (up) or left value icon for 500 ms.
    void setValChange(bool up);
    // Knob press: confirms the popup.
    void popupClicked();
    // Closes at once (type -1, popupOpen cleared).
    void hide();

signals:
    void sig_Confirmed(int type, int choice);
    void sig_WheelChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void finishHide();
    void handOverPopupType();
    void refreshValue();

    QLabel *m_text;
    QLabel *m_valueText;
    QLabel *m_left;
    QLabel *m_right;
    QTimer *m_leftTimer;
    QTimer *m_rightTimer;
    QTimer *m_hideTimer;
    QTimer *m_handOverTimer;
    QStringList m_choices;
    int m_choice = 0;
    int m_type = -1;
    bool m_busy = false;
    bool m_confirmed = false;
};
