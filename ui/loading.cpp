#include "loading.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>

namespace {
constexpr int SpinnerRadius = 34;
constexpr int Dots = 12;
} // namespace

Loading::Loading(QWidget *parent)
    : QWidget(parent)
    , m_bar(new QProgressBar(this))
    , m_text(new QLabel(this))
    , m_spinTimer(new QTimer(this))
    , m_watchdog(new QTimer(this))
{
    setObjectName(QStringLiteral("loading"));
    resize(480, 320);
    m_bar->setObjectName(QStringLiteral("loadingProgress"));
    m_bar->setTextVisible(false);
    m_bar->setGeometry(60, 236, 360, 10);
    m_bar->hide();
    m_text->setObjectName(QStringLiteral("loadingText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setGeometry(20, 196, 440, 30);
    m_text->hide();
    m_spinTimer->setInterval(SpinMs);
    connect(m_spinTimer, &QTimer::timeout, this, &Loading::spin);
    m_watchdog->setSingleShot(true);
    connect(m_watchdog, &QTimer::timeout, this, &Loading::watchdog);
    hide();
}

bool Loading::isSpinning() const
{
    return m_spinTimer->isActive();
}

bool Loading::isWatchdogActive() const
{
    return m_watchdog->isActive();
}

int Loading::watchdogInterval() const
{
    return m_watchdog->interval();
}

void Loading::setText(const QString &text)
{
    m_text->setText(text);
    m_text->setVisible(!text.isEmpty());
}

void Loading::setLoading(bool on)
{
    if (on) {
        show();
        raise();
        if (!m_spinTimer->isActive())
            m_spinTimer->start();
    } else {
        m_spinTimer->stop();
        m_angle = 360;
        m_watchdog->stop();
        m_active = false;
        m_bar->hide();
        hide();
    }
    update();
}

void Loading::setMaxRange(int max, int code)
{
    m_max = max;
    m_code = code;
    m_value = 0;
    m_active = true;
    m_bar->setRange(0, std::max(1, max));
    m_bar->setValue(0);
    m_bar->show();
    show();
    raise();
    m_watchdog->start(FirstWatchdogMs);
}

void Loading::setPersent(int value)
{
    // A report after the job finished or failed changes nothing.
    if (!m_active)
        return;
    m_value = value;
    m_bar->setValue(std::clamp(value, 0, std::max(1, m_max)));
    m_watchdog->start(WatchdogMs);
    if (value >= m_max)
        finish();
}

void Loading::finish()
{
    const int code = m_code;
    setLoading(false);
    if (code != -1)
        emit isFinist(code);
}

void Loading::watchdog()
{
    setLoading(false);
    emit isFailed();
}

void Loading::spin()
{
    m_angle -= SpinStep;
    if (m_angle < SpinStep)
        m_angle = 360;
    update();
}

void Loading::hideEvent(QHideEvent *event)
{
    // Hidden from outside: nothing keeps turning behind it.
    m_spinTimer->stop();
    QWidget::hideEvent(event);
}

void Loading::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0, 0, 0, 235));
    const QColor accent = palette().color(QPalette::Highlight);
    p.translate(width() / 2, 140);
    p.rotate(-m_angle);
    // Twelve dots, the brightest one leading.
    for (int i = 0; i < Dots; ++i) {
        QColor c = accent;
        c.setAlphaF(0.15 + 0.85 * double(i) / (Dots - 1));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(0, -SpinnerRadius), 4.5, 4.5);
        p.rotate(360.0 / Dots);
    }
}
