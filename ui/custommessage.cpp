#include "custommessage.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>

#include <cmath>

namespace {
constexpr int BoxMarginX = 40; // message box inside the content area (mode 0)
constexpr int BoxMarginY = 40;
constexpr int PopupMarginX = 30; // popup box inside the window (mode 1)
constexpr int PopupMarginY = 20;
} // namespace

CustomMessage::CustomMessage(int mode, QWidget *parent)
    : QWidget(parent)
    , m_mode(mode == PopupMessage ? PopupMessage : MessageBox)
    , m_text(new QLabel(this))
    , m_pic(new QLabel(this))
    , m_effect(new QGraphicsOpacityEffect(this))
    , m_fadeTimer(new QTimer(this))
    , m_closeTimer(new QTimer(this))
    , m_grow(new QPropertyAnimation(this, "boxHeight", this))
{
    setObjectName(m_mode == PopupMessage ? QStringLiteral("popupMessage") : QStringLiteral("messageBox"));
    resize(480, m_mode == PopupMessage ? 320 : 283);
    m_text->setObjectName(QStringLiteral("messageText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_pic->setObjectName(QStringLiteral("messagePicture"));
    m_pic->setAlignment(Qt::AlignCenter);
    m_pic->hide();
    m_effect->setOpacity(0.0);
    setGraphicsEffect(m_effect);
    m_fadeTimer->setTimerType(Qt::PreciseTimer);
    connect(m_fadeTimer, &QTimer::timeout, this, &CustomMessage::fadeStep);
    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &QTimer::timeout, this, &CustomMessage::closeMessageDlg);
    m_grow->setDuration(GrowMs);
    QWidget::hide();
}

void CustomMessage::setDisplayTime(int ms)
{
    m_displayMs = std::max(0, ms);
}

bool CustomMessage::isShowing() const
{
    return isVisible() && !m_closing;
}

bool CustomMessage::isFading() const
{
    return m_fadeTimer->isActive();
}

bool CustomMessage::isCloseTimerActive() const
{
    return m_closeTimer->isActive();
}

int CustomMessage::closeDelayFor(int kind) const
{
    if (kind == KindPause)
        return 0;
    if (kind == KindLong)
        return 2000;
    if (kind == KindShort)
        return 500;
    return m_displayMs;
}

void CustomMessage::setBoxHeight(int h)
{
    m_boxHeight = h;
    layoutContent();
    update();
}

QRect CustomMessage::boxRect() const
{
    if (m_mode == PopupMessage) {
        const int full = height() - 2 * PopupMarginY;
        const int h = std::clamp(m_boxHeight > 0 ? m_boxHeight : full, 0, full);
        return QRect(PopupMarginX, (height() - h) / 2, width() - 2 * PopupMarginX, h);
    }
    return rect().adjusted(BoxMarginX, BoxMarginY, -BoxMarginX, -BoxMarginY);
}

void CustomMessage::setText(const QString &text, int kind)
{
    // The same message again changes nothing: no new fade, no new close timer.
    if (isShowing() && m_picture.isNull() && text == m_textValue)
        return;
    defaultSetting();
    m_textValue = text;
    m_text->setText(text);
    m_text->show();
    m_pic->hide();
    startShow(kind);
}

void CustomMessage::setPixmap(const QPixmap &picture, int kind)
{
    if (isShowing() && m_textValue.isEmpty() && kind == m_kind && !picture.isNull()
        && picture.cacheKey() == m_picture.cacheKey())
        return;
    defaultSetting();
    m_picture = picture;
    m_pic->setPixmap(picture);
    m_pic->show();
    m_text->hide();
    startShow(kind);
}

void CustomMessage::startShow(int kind)
{
    m_kind = kind;
    if (kind == KindPause)
        m_displayMs = 0;
    m_closing = false;
    applyOpacity(0.0);
    if (m_mode == PopupMessage) {
        m_grow->stop();
        m_grow->setStartValue(GrowFromHeight);
        m_grow->setEndValue(height() - 2 * PopupMarginY);
        m_boxHeight = GrowFromHeight;
        m_grow->start();
    }
    layoutContent();
    show();
    raise();
    m_fadeTimer->start(kind == KindPause ? PauseFadeStepMs : FadeStepMs);
}

void CustomMessage::closeMessageDlg()
{
    m_closeTimer->stop();
    if (!isVisible() || m_closing)
        return;
    m_closing = true;
    m_fadeTimer->start(m_kind == KindPause ? PauseFadeStepMs : FadeStepMs);
}

void CustomMessage::defaultSetting()
{
    m_fadeTimer->stop();
    m_closeTimer->stop();
    m_grow->stop();
    m_kind = KindNone;
    m_textValue.clear();
    m_text->clear();
    m_picture = QPixmap();
    m_pic->clear();
    m_displayMs = DefaultDisplayMs;
    m_closing = false;
    applyOpacity(0.0);
    QWidget::hide();
}

void CustomMessage::fadeStep()
{
    if (m_closing) {
        applyOpacity(m_opacity - FadeStep);
        if (m_opacity <= 0.0) {
            m_fadeTimer->stop();
            const bool wasShown = isVisible();
            defaultSetting();
            if (wasShown)
                emit sig_closed();
        }
        return;
    }
    applyOpacity(m_opacity + FadeStep);
    if (m_opacity >= 1.0) {
        m_fadeTimer->stop();
        const int delay = closeDelayFor(m_kind);
        if (delay > 0)
            m_closeTimer->start(delay);
    }
}

void CustomMessage::applyOpacity(double o)
{
    // Five steps of 0.2 must land exactly on 0 and 1.
    m_opacity = std::clamp(std::round(o * 10.0) / 10.0, 0.0, 1.0);
    m_effect->setOpacity(m_opacity);
}

void CustomMessage::layoutContent()
{
    const QRect box = boxRect().adjusted(16, 12, -16, -12);
    m_text->setGeometry(box);
    m_pic->setGeometry(box);
}

void CustomMessage::resizeEvent(QResizeEvent *)
{
    layoutContent();
}

void CustomMessage::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_mode == PopupMessage) {
        p.fillRect(rect(), QColor(0, 0, 0, 170));
    } else if (!m_picture.isNull()) {
        // The pause picture over a dimmed screen, without a box.
        p.fillRect(rect(), QColor(0, 0, 0, 190));
        return;
    } else {
        // A status message replaces the content area: nothing shows through.
        p.fillRect(rect(), Qt::black);
    }
    QColor edge = palette().color(QPalette::Highlight);
    edge.setAlpha(200);
    p.setPen(QPen(edge, 2));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(boxRect()).adjusted(1, 1, -1, -1), 12, 12);
}

void CustomMessage::mousePressEvent(QMouseEvent *event)
{
    if (m_kind == KindPause && m_pic->isVisible() && m_pic->geometry().contains(event->pos())) {
        emit sig_pauseClicked();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CustomMessage::keyPressEvent(QKeyEvent *event)
{
    const int k = event->key();
    if (m_kind == KindPause && (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Select)) {
        emit sig_pauseClicked();
        return;
    }
    QWidget::keyPressEvent(event);
}
