#pragma once
// Slides and fades screens.
//
// - setWidgetMove(from, to, forward, widgetId): a screen-to-screen slide
//   starting 100 ms later: `from` leaves (to the left when forward, to the
//   right when back) while `to` comes in from the other side; at the end
//   `from` is hidden, animatFinish(forward) is emitted and, when widgetId is
//   not -1, freeWidgetID(widgetId) (the page that left may be freed).
// - start_Move_Animation(widget, from, to, ms): one widget's slide, starting
//   50 ms later; animatFinish(true) at the end.
// - setAnimationOpacity(widget, show): a fade in 50 ms steps of 0.1; a
//   fade-out hides the widget and emits animatOpacityHide().
// - Animation_OM_Group(widget, from, to, ms): slide and fade together
//   (fading in when `to` is inside the parent, else out); animatGroupFinish().
// - startTimeLine(id): the animator's own 400 ms time line;
//   animationLineOver(id) at its end.
// Nothing runs between animations.

#include <QObject>
#include <QPoint>
#include <QPointer>

class QGraphicsOpacityEffect;
class QParallelAnimationGroup;
class QPropertyAnimation;
class QTimeLine;
class QTimer;
class QWidget;

class AnimationPack : public QObject
{
    Q_OBJECT

public:
    static constexpr int MoveDelayMs = 50;
    static constexpr int ScreenMoveDelayMs = 100;
    static constexpr int ScreenMoveMs = 300;
    static constexpr int OpacityStepMs = 50;
    static constexpr double OpacityStep = 0.1;
    static constexpr int TimeLineMs = 400;

    explicit AnimationPack(QObject *parent = nullptr);

    // Any slide, fade, group or time line pending or running.
    bool isRunning() const;

public slots:
    void setWidgetMove(QWidget *from, QWidget *to, bool forward, int widgetId = -1);
    void start_Move_Animation(QWidget *widget, const QPoint &from, const QPoint &to, int ms);
    void setAnimationOpacity(QWidget *widget, bool show);
    void Animation_OM_Group(QWidget *widget, const QPoint &from, const QPoint &to, int ms);
    void startTimeLine(int id);
    // Ends every animation at once, leaving widgets where they were headed.
    void stopAll();

signals:
    void animatFinish(bool forward);
    void animatOpacityHide();
    void freeWidgetID(int widgetId);
    void animatGroupFinish();
    void animationLineOver(int id);

private:
    void runScreenMove();
    void opacityStep();
    QGraphicsOpacityEffect *effectFor(QWidget *w);

    // Pending screen move.
    QPointer<QWidget> m_from;
    QPointer<QWidget> m_to;
    bool m_forward = true;
    int m_widgetId = -1;
    QTimer *m_screenDelay;
    QParallelAnimationGroup *m_screenGroup;
    // Pending single move.
    QPointer<QWidget> m_moveWidget;
    QPoint m_moveFrom, m_moveTo;
    int m_moveMs = 0;
    QTimer *m_moveDelay;
    QPropertyAnimation *m_move;
    // Opacity fade.
    QPointer<QWidget> m_fadeWidget;
    bool m_fadeShow = true;
    double m_fadeOpacity = 1.0;
    QTimer *m_fadeTimer;
    // Slide-and-fade group.
    QParallelAnimationGroup *m_group;
    QPointer<QWidget> m_groupWidget;
    // Time line.
    QTimeLine *m_timeLine;
    int m_lineId = 0;
};
