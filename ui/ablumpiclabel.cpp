#include "ablumpiclabel.h"

#include "globals.h"
#include "uiassets.h"

#include <QPainter>
#include <QPainterPath>

AblumPicLabel::AblumPicLabel(QWidget *parent)
    : QLabel(parent)
{}

QString AblumPicLabel::standbyName() const
{
    if (!m_picture.isNull())
        return QString();
    return m_paused ? QStringLiteral("albumPic_Pause") : QStringLiteral("albumPic");
}

void AblumPicLabel::updateAblumPic()
{
    const QImage img = g_CurMusicPlay.albumPicture;
    // Scaled once here, not on every repaint.
    m_picture = img.isNull() ? QImage() : img.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    update();
}

void AblumPicLabel::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    m_paused = paused;
    update();
}

void AblumPicLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 8, 8);
    p.setClipPath(clip);
    if (!m_picture.isNull()) {
        const QSize s = m_picture.size();
        p.fillRect(rect(), QColor(0x10, 0x12, 0x16));
        p.drawImage(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), m_picture);
        return;
    }
    const QPixmap standby = UiAssets::pixmap(UiAssets::icon(standbyName()));
    if (!standby.isNull())
        p.drawPixmap(rect(), standby);
}
