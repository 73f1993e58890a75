#include "viewframelist.h"

#include <QPainter>
#include <QTimer>

ViewFrameList::ViewFrameList(QWidget *parent)
    : QWidget(parent)
    , m_pressTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("focusFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pressTimer->setSingleShot(true);
    m_pressTimer->setInterval(PressedMs);
    connect(m_pressTimer, &QTimer::timeout, this, [this] { update(); });
}

bool ViewFrameList::isPressed() const
{
    return m_pressTimer->isActive();
}

void ViewFrameList::setFocused()
{
    setState(Focused);
}

void ViewFrameList::setShortFocus()
{
    setState(ShortFocus);
}

void ViewFrameList::setNoneFocus()
{
    m_pressTimer->stop();
    setState(NoFocus);
}

void ViewFrameList::setClicked()
{
    if (m_state == NoFocus)
        m_state = Focused;
    setVisible(true);
    m_pressTimer->start();
    update();
}

void ViewFrameList::setState(State s)
{
    m_state = s;
    setVisible(s != NoFocus);
    update();
}

void ViewFrameList::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    // Colours follow the style sheet's selection colour (the accent).
    const QColor accent = palette().color(QPalette::Highlight);
    if (isPressed()) {
        p.setPen(QPen(accent.lighter(130), 2));
        p.setBrush(accent);
    } else if (m_state == Focused) {
        QColor fill = accent;
        fill.setAlpha(90);
        p.setPen(QPen(accent, 2));
        p.setBrush(fill);
    } else if (m_state == ShortFocus) {
        QColor fill = accent;
        fill.setAlpha(35);
        p.setPen(QPen(accent.darker(160), 1));
        p.setBrush(fill);
    } else {
        return;
    }
    p.drawRoundedRect(r, 6, 6);
}
