#pragma once
// The message box (mode 0, over the content area) and the popup message
// (mode 1, over the whole window).
//
// setText(text, kind) and setPixmap(picture, kind) show a message; the same
// text already shown is not shown again (no restarted fade or close timer).
// A new message stops a running fade, applies defaultSetting(), stores kind
// and content and fades in: +0.2 opacity every 40 ms (70 ms for kind 4); in
// mode 1 the box also grows from 200 px to its full height over 200 ms.
// Once fully shown, a display time other than 0 starts the close timer:
// 2000 ms for kind 6000, 500 ms for kind 3, otherwise the display time
// (1000 ms after defaultSetting(); setDisplayTime() changes it, 0 keeps
// the message until closeMessageDlg()). Kind 4, the pause picture, has
// display time 0. Closing fades out at the same step rate, then hides.

#include <QPixmap>
#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;

class CustomMessage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int boxHeight READ boxHeight WRITE setBoxHeight)

public:
    enum Mode { MessageBox = 0, PopupMessage = 1 };
    // Kinds with their own timing.
    static constexpr int KindNone = -1;
    static constexpr int KindShort = 3;   // closes 500 ms after shown
    static constexpr int KindPause = 4;   // the pause picture, stays
    static constexpr int KindLong = 6000; // closes 2000 ms after shown
    static constexpr int DefaultDisplayMs = 1000;
    static constexpr double FadeStep = 0.2;
    static constexpr int FadeStepMs = 40;
    static constexpr int PauseFadeStepMs = 70;
    static constexpr int GrowFromHeight = 200;
    static constexpr int GrowMs = 200;

    explicit CustomMessage(int mode, QWidget *parent = nullptr);

    int mode() const { return m_mode; }
    // Kind shown now (-1 when none).
    int kind() const { return m_kind; }
    QString text() const { return m_textValue; }
    QPixmap picture() const { return m_picture; }
    int displayTime() const { return m_displayMs; }
    // Addition: set after setText/setPixmap, before the message is fully
    // shown; 0 keeps the message until it is closed.
    void setDisplayTime(int ms);
    // Addition: a message is shown or fading in (not closing, not hidden).
    bool isShowing() const;
    bool isClosing() const { return m_closing; }
    bool isFading() const;
    bool isCloseTimerActive() const;
    double opacity() const { return m_opacity; }
    // The close delay a kind gets once fully shown (0: stays).
    int closeDelayFor(int kind) const;
    int boxHeight() const { return m_boxHeight; }
    void setBoxHeight(int h);
    // The rectangle of the message box inside the widget.
    QRect boxRect() const;

public slots:
    void setText(const QString &text, int kind);
    void setPixmap(const QPixmap &picture, int kind);
    void closeMessageDlg();
    // Kind -1, no text, no picture, display time 1000 ms, hidden at once.
    void defaultSetting();

signals:
    // The pause picture was pressed (or Enter/Select while it shows).
    void sig_pauseClicked();
    // Addition: the message has faded out and is hidden.
    void sig_closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void startShow(int kind);
    void fadeStep();
    void layoutContent();
    void applyOpacity(double o);

    int m_mode;
    int m_kind = KindNone;
    QString m_textValue;
    QPixmap m_picture;
    int m_displayMs = DefaultDisplayMs;
    double m_opacity = 0.0;
    bool m_closing = false;
    int m_boxHeight = 0;
    QLabel *m_text;
    QLabel *m_pic;
    QGraphicsOpacityEffect *m_effect;
    QTimer *m_fadeTimer;
    QTimer *m_closeTimer;
    QPropertyAnimation *m_grow;
};
