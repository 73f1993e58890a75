#include "textopacity.h"

#include "uiassets.h"

#include <QPainter>
#include <QTimer>

TextOpacity::TextOpacity(QWidget *parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TextOpacity::step);
}

void TextOpacity::setImage(const QString &path)
{
    setImage(UiAssets::pixmap(path));
}

void TextOpacity::setImage(const QPixmap &picture)
{
    m_image = picture;
    update();
}

void TextOpacity::setOpacity(double opacity)
{
    m_opacity = std::clamp(opacity, 0.0, 1.0);
    update();
}

bool TextOpacity::isFading() const
{
    return m_timer->isActive();
}

void TextOpacity::setOpacityOut(bool out, int intervalMs)
{
    m_out = out;
    m_timer->start(std::max(1, intervalMs));
}

void TextOpacity::step()
{
    m_opacity = std::clamp(m_opacity + (m_out ? -Step : Step), 0.0, 1.0);
    update();
    if ((m_out && m_opacity <= 0.0) || (!m_out && m_opacity >= 1.0)) {
        m_timer->stop();
        emit opacity_Stop();
    }
}

void TextOpacity::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_image.isNull())
        return;
    p.setOpacity(m_opacity);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize s = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    p.drawPixmap(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), m_image);
}
