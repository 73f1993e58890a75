#include "animationpack.h"

#include <QGraphicsOpacityEffect>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QTimeLine>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace {

QTimer *delayTimer(QObject *owner, int ms)
{
    auto *t = new QTimer(owner);
    t->setSingleShot(true);
    t->setInterval(ms);
    return t;
}

} // namespace

AnimationPack::AnimationPack(QObject *parent)
    : QObject(parent)
    , m_screenDelay(delayTimer(this, ScreenMoveDelayMs))
    , m_screenGroup(new QParallelAnimationGroup(this))
    , m_moveDelay(delayTimer(this, MoveDelayMs))
    , m_move(new QPropertyAnimation(this))
    , m_fadeTimer(new QTimer(this))
    , m_group(new QParallelAnimationGroup(this))
    , m_timeLine(new QTimeLine(TimeLineMs, this))
{
    connect(m_screenDelay, &QTimer::timeout, this, &AnimationPack::runScreenMove);
    connect(m_screenGroup, &QAbstractAnimation::finished, this, [this] {
        if (m_from)
            m_from->hide();
        emit animatFinish(m_forward);
        if (m_widgetId != -1)
            emit freeWidgetID(m_widgetId);
    });

    m_move->setPropertyName("pos");
    connect(m_moveDelay, &QTimer::timeout, this, [this] {
        if (!m_moveWidget)
            return;
        m_move->setTargetObject(m_moveWidget);
        m_move->setDuration(std::max(1, m_moveMs));
        m_move->setStartValue(m_moveFrom);
        m_move->setEndValue(m_moveTo);
        m_moveWidget->move(m_moveFrom);
        m_moveWidget->show();
        m_move->start();
    });
    connect(m_move, &QAbstractAnimation::finished, this, [this] { emit animatFinish(true); });

    m_fadeTimer->setInterval(OpacityStepMs);
    connect(m_fadeTimer, &QTimer::timeout, this, &AnimationPack::opacityStep);

    connect(m_group, &QAbstractAnimation::finished, this, [this] {
        if (m_groupWidget) {
            auto *e = qobject_cast<QGraphicsOpacityEffect *>(m_groupWidget->graphicsEffect());
            if (e && e->opacity() <= 0.0)
                m_groupWidget->hide();
        }
        emit animatGroupFinish();
    });

    m_timeLine->setUpdateInterval(TimeLineMs); // only its end matters
    connect(m_timeLine, &QTimeLine::finished, this, [this] { emit animationLineOver(m_lineId); });
}

bool AnimationPack::isRunning() const
{
    return m_screenDelay->isActive() || m_screenGroup->state() == QAbstractAnimation::Running || m_moveDelay->isActive()
           || m_move->state() == QAbstractAnimation::Running || m_fadeTimer->isActive()
           || m_group->state() == QAbstractAnimation::Running || m_timeLine->state() == QTimeLine::Running;
}

QGraphicsOpacityEffect *AnimationPack::effectFor(QWidget *w)
{
    auto *e = qobject_cast<QGraphicsOpacityEffect *>(w->graphicsEffect());
    if (!e) {
        e = new QGraphicsOpacityEffect(w);
        e->setOpacity(1.0);
        w->setGraphicsEffect(e);
    }
    return e;
}

void AnimationPack::setWidgetMove(QWidget *from, QWidget *to, bool forward, int widgetId)
{
    m_screenGroup->stop();
    m_from = from;
    m_to = to;
    m_forward = forward;
    m_widgetId = widgetId;
    m_screenDelay->start();
}

void AnimationPack::runScreenMove()
{
    m_screenGroup->stop();
    m_screenGroup->clear();
    const int w = m_to ? m_to->width() : (m_from ? m_from->width() : 0);
    const int dir = m_forward ? -1 : 1; // forward: the old screen leaves to the left
    if (m_from) {
        auto *a = new QPropertyAnimation(m_from, "pos");
        a->setDuration(ScreenMoveMs);
        a->setStartValue(m_from->pos());
        a->setEndValue(m_from->pos() + QPoint(dir * w, 0));
        a->setEasingCurve(QEasingCurve::OutCubic);
        m_screenGroup->addAnimation(a);
    }
    if (m_to) {
        const QPoint home = m_from ? m_from->pos() : QPoint(m_to->x(), m_to->y());
        auto *a = new QPropertyAnimation(m_to, "pos");
        a->setDuration(ScreenMoveMs);
        a->setStartValue(home - QPoint(dir * w, 0));
        a->setEndValue(home);
        a->setEasingCurve(QEasingCurve::OutCubic);
        m_to->move(home - QPoint(dir * w, 0));
        m_to->show();
        m_to->raise();
        m_screenGroup->addAnimation(a);
    }
    m_screenGroup->start();
}

void AnimationPack::start_Move_Animation(QWidget *widget, const QPoint &from, const QPoint &to, int ms)
{
    m_move->stop();
    m_moveWidget = widget;
    m_moveFrom = from;
    m_moveTo = to;
    m_moveMs = ms;
    m_moveDelay->start();
}

void AnimationPack::setAnimationOpacity(QWidget *widget, bool show)
{
    if (!widget)
        return;
    m_fadeWidget = widget;
    m_fadeShow = show;
    QGraphicsOpacityEffect *e = effectFor(widget);
    m_fadeOpacity = show ? 0.0 : e->opacity();
    e->setOpacity(m_fadeOpacity);
    if (show)
        widget->show();
    m_fadeTimer->start();
}

void AnimationPack::opacityStep()
{
    if (!m_fadeWidget) {
        m_fadeTimer->stop();
        return;
    }
    m_fadeOpacity =
        std::clamp(std::round((m_fadeOpacity + (m_fadeShow ? OpacityStep : -OpacityStep)) * 10.0) / 10.0, 0.0, 1.0);
    effectFor(m_fadeWidget)->setOpacity(m_fadeOpacity);
    if (m_fadeShow && m_fadeOpacity >= 1.0) {
        m_fadeTimer->stop();
    } else if (!m_fadeShow && m_fadeOpacity <= 0.0) {
        m_fadeTimer->stop();
        m_fadeWidget->hide();
        effectFor(m_fadeWidget)->setOpacity(1.0);
        emit animatOpacityHide();
    }
}

void AnimationPack::Animation_OM_Group(QWidget *widget, const QPoint &from, const QPoint &to, int ms)
{
    if (!widget)
        return;
    m_group->stop();
    m_group->clear();
    m_groupWidget = widget;
    const QWidget *parent = widget->parentWidget();
    const bool fadeIn = !parent || QRect(QPoint(0, 0), parent->size()).contains(QRect(to, widget->size()).center());
    auto *move = new QPropertyAnimation(widget, "pos");
    move->setDuration(std::max(1, ms));
    move->setStartValue(from);
    move->setEndValue(to);
    QGraphicsOpacityEffect *e = effectFor(widget);
    auto *fade = new QPropertyAnimation(e, "opacity");
    fade->setDuration(std::max(1, ms));
    fade->setStartValue(fadeIn ? 0.0 : 1.0);
    fade->setEndValue(fadeIn ? 1.0 : 0.0);
    m_group->addAnimation(move);
    m_group->addAnimation(fade);
    widget->move(from);
    widget->show();
    m_group->start();
}

void AnimationPack::startTimeLine(int id)
{
    m_lineId = id;
    m_timeLine->stop();
    m_timeLine->setCurrentTime(0);
    m_timeLine->start();
}

void AnimationPack::stopAll()
{
    if (m_screenDelay->isActive()) {
        m_screenDelay->stop();
        runScreenMove();
    }
    if (m_screenGroup->state() == QAbstractAnimation::Running)
        m_screenGroup->setCurrentTime(m_screenGroup->totalDuration());
    if (m_moveDelay->isActive()) {
        m_moveDelay->stop();
        if (m_moveWidget)
            m_moveWidget->move(m_moveTo);
    }
    if (m_move->state() == QAbstractAnimation::Running)
        m_move->setCurrentTime(m_move->totalDuration());
    if (m_fadeTimer->isActive()) {
        m_fadeOpacity = m_fadeShow ? 1.0 - OpacityStep : OpacityStep;
        opacityStep();
    }
    if (m_group->state() == QAbstractAnimation::Running)
        m_group->setCurrentTime(m_group->totalDuration());
}
