#include "mlabel.h"

#include "uiassets.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

MLabel::MLabel(QWidget *parent)
    : QLabel(parent)
    , m_startTimer(new QTimer(this))
    , m_stepTimer(new QTimer(this))
{
    m_startTimer->setSingleShot(true);
    m_startTimer->setInterval(StartDelayMs);
    m_stepTimer->setInterval(StepMs);
    // Scrolling by 5 px every 75 ms needs the exact period, not a coarse one.
    m_stepTimer->setTimerType(Qt::PreciseTimer);
    connect(m_startTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && needsScroll())
            m_stepTimer->start();
    });
    connect(m_stepTimer, &QTimer::timeout, this, &MLabel::step);
    applyFont();
}

void MLabel::setFontSize(int pixelSize)
{
    m_fontSize = pixelSize;
    applyFont();
    restart();
}

void MLabel::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void MLabel::setAlignCenter(bool centre)
{
    m_centre = centre;
    update();
}

void MLabel::setRollOnce(bool once)
{
    m_rollOnce = once;
    restart();
}

void MLabel::setRolling(bool enabled)
{
    m_rolling = enabled;
    restart();
}

void MLabel::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    applyFont();
    restart();
}

void MLabel::applyFont()
{
    QFont f = font();
    // Latin text reads larger than Chinese at the same pixel size.
    f.setPixelSize(std::max(1, UiAssets::hasChinese(text()) ? m_fontSize : m_fontSize - 2));
    setFont(f);
}

int MLabel::textWidth() const
{
    return fontMetrics().horizontalAdvance(text());
}

bool MLabel::needsScroll() const
{
    return m_rolling && !text().isEmpty() && textWidth() > contentsRect().width();
}

bool MLabel::timerActive() const
{
    return m_startTimer->isActive() || m_stepTimer->isActive();
}

bool MLabel::isScrolling() const
{
    return m_stepTimer->isActive();
}

int MLabel::gap() const
{
    // Wrapped text repeats one space after its end.
    return fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

void MLabel::stopTimers()
{
    m_startTimer->stop();
    m_stepTimer->stop();
}

void MLabel::restart()
{
    stopTimers();
    m_offset = 0;
    if (isVisible() && needsScroll())
        m_startTimer->start();
    update();
}

void MLabel::step()
{
    if (!needsScroll()) {
        stopTimers();
        m_offset = 0;
        update();
        return;
    }
    m_offset += StepPx;
    const int w = textWidth();
    if (m_rollOnce) {
        if (m_offset > w) {
            stopTimers();
            m_offset = 0;
            update();
            emit rollonceOver();
            return;
        }
    } else if (m_offset > w + gap()) {
        m_offset = 0;
    }
    update();
}

void MLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(m_color.isValid() ? m_color : palette().color(foregroundRole()));
    p.setFont(font());
    const QRect r = contentsRect();
    p.setClipRect(r);
    const QString t = text();
    if (t.isEmpty())
        return;
    const int w = textWidth();
    const QFontMetrics fm = fontMetrics();
    const int baseline = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
    if (w <= r.width()) {
        const int x = m_centre ? r.left() + (r.width() - w) / 2 : r.left();
        p.drawText(x, baseline, t);
        return;
    }
    if (!m_rolling) {
        p.drawText(r.left(), baseline, fm.elidedText(t, Qt::ElideRight, r.width()));
        return;
    }
    // A scrolling text is drawn once into a strip and then only moved: the
    // label repaints every 75 ms for as long as the song plays.
    const QColor pen = p.pen().color();
    const qreal dpr = devicePixelRatioF();
    const QString key = t + QLatin1Char('\n') + font().key() + QLatin1Char('\n') + pen.name(QColor::HexArgb)
                        + QStringLiteral("\n%1 %2").arg(r.height()).arg(dpr);
    if (key != m_stripKey) {
        m_strip = QPixmap(QSize(w, r.height()) * dpr);
        m_strip.setDevicePixelRatio(dpr);
        m_strip.fill(Qt::transparent);
        QPainter q(&m_strip);
        q.setRenderHint(QPainter::TextAntialiasing);
        q.setPen(pen);
        q.setFont(font());
        q.drawText(0, baseline - r.top(), t);
        m_stripKey = key;
    }
    const int x = r.left() - m_offset;
    p.drawPixmap(x, r.top(), m_strip);
    if (!m_rollOnce)
        p.drawPixmap(x + w + gap(), r.top(), m_strip);
}

void MLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (needsScroll() ? !timerActive() : timerActive() || m_offset != 0)
        restart();
}

void MLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    restart();
}

void MLabel::hideEvent(QHideEvent *event)
{
    QLabel::hideEvent(event);
    stopTimers();
    m_offset = 0;
}
