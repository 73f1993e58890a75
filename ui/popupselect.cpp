#include "popupselect.h"

#include "globals.h"
#include "linkglobals.h"
#include "uiassets.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

constexpr int ValueIcon = 28;
const QRect kBox(40, 50, 400, 220);

QTimer *singleShot(QObject *owner, int ms)
{
    auto *t = new QTimer(owner);
    t->setSingleShot(true);
    t->setInterval(ms);
    return t;
}

} // namespace

PopupSelect::PopupSelect(QWidget *parent)
    : QWidget(parent)
    , m_text(new QLabel(this))
    , m_valueText(new QLabel(this))
    , m_left(new QLabel(this))
    , m_right(new QLabel(this))
    , m_leftTimer(singleShot(this, ValueLitMs))
    , m_rightTimer(singleShot(this, ValueLitMs))
    , m_hideTimer(singleShot(this, HideAfterMs))
    , m_handOverTimer(singleShot(this, HandOverMs))
{
    setObjectName(QStringLiteral("popupSelect"));
    resize(480, 320);
    m_text->setObjectName(QStringLiteral("popupText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setGeometry(kBox.adjusted(20, 16, -20, -84));
    m_valueText->setObjectName(QStringLiteral("popupValue"));
    m_valueText->setAlignment(Qt::AlignCenter);
    const int valueY = kBox.bottom() - 70;
    m_valueText->setGeometry(kBox.left() + 60, valueY, kBox.width() - 120, 44);
    m_left->setObjectName(QStringLiteral("popupLeft"));
    m_right->setObjectName(QStringLiteral("popupRight"));
    m_left->setGeometry(kBox.left() + 24, valueY + 8, ValueIcon, ValueIcon);
    m_right->setGeometry(kBox.right() - 24 - ValueIcon, valueY + 8, ValueIcon, ValueIcon);
    connect(m_leftTimer, &QTimer::timeout, this, &PopupSelect::refreshValue);
    connect(m_rightTimer, &QTimer::timeout, this, &PopupSelect::refreshValue);
    connect(m_hideTimer, &QTimer::timeout, this, &PopupSelect::finishHide);
    connect(m_handOverTimer, &QTimer::timeout, this, &PopupSelect::handOverPopupType);
    refreshValue();
    QWidget::hide();
}

QString PopupSelect::text() const
{
    return m_text->text();
}

void PopupSelect::setChoices(const QStringList &choices, int current)
{
    m_choices = choices;
    m_choice = choices.isEmpty() ? 0 : std::clamp(current, 0, int(choices.size()) - 1);
    refreshValue();
}

void PopupSelect::setBusy(bool busy)
{
    m_busy = busy;
}

bool PopupSelect::isLeftLit() const
{
    return m_leftTimer->isActive();
}

bool PopupSelect::isRightLit() const
{
    return m_rightTimer->isActive();
}

void PopupSelect::setType(int type, const QString &text)
{
    m_hideTimer->stop();
    m_type = type;
    m_confirmed = false;
    m_busy = false;
    m_choices.clear();
    m_choice = 0;
    m_text->setText(text);
    g_TempData.popupOpen = true;
    refreshValue();
    show();
    raise();
}

void PopupSelect::setText(const QString &text)
{
    m_text->setText(text);
}

void PopupSelect::updateData(bool up)
{
    if (m_type == -1 || m_confirmed || m_choices.isEmpty())
        return;
    const int next = getIncDecCorrectValue(m_choice, 0, int(m_choices.size()) - 1, up, 1);
    setValChange(up);
    if (next != m_choice) {
        m_choice = next;
        refreshValue();
    }
}

void PopupSelect::setValChange(bool up)
{
    (up ? m_rightTimer : m_leftTimer)->start();
    (up ? m_leftTimer : m_rightTimer)->stop();
    refreshValue();
}

void PopupSelect::popupClicked()
{
    if (m_type == -1 || m_confirmed)
        return;
    m_confirmed = true;
    emit sig_Confirmed(m_type, m_choice);
    m_hideTimer->start();
    m_handOverTimer->start();
}

void PopupSelect::hide()
{
    m_hideTimer->stop();
    m_leftTimer->stop();
    m_rightTimer->stop();
    m_type = -1;
    m_busy = false;
    g_TempData.popupOpen = false;
    QWidget::hide();
}

void PopupSelect::finishHide()
{
    const bool wasOpen = m_type != -1;
    hide();
    if (wasOpen)
        emit sig_WheelChanged();
}

void PopupSelect::handOverPopupType()
{
    // A confirmed sample-rate change goes to the DSP's record; the change
    // scanner sends it.
    const int pending = g_TempData.popupType;
    if (pending != 0) {
        m_nCurSystem.set(SysByte::SampleRate, quint8(pending));
        g_TempData.popupType = 0;
    }
}

void PopupSelect::refreshValue()
{
    const bool hasChoices = !m_choices.isEmpty();
    m_valueText->setVisible(hasChoices);
    m_left->setVisible(hasChoices);
    m_right->setVisible(hasChoices);
    if (!hasChoices)
        return;
    m_valueText->setText(m_choices.value(m_choice));
    const QSize s(ValueIcon, ValueIcon);
    m_left->setPixmap(UiAssets::pixmap(
        UiAssets::icon(isLeftLit() ? QStringLiteral("icon_arrow_left_on") : QStringLiteral("icon_arrow_left")), s));
    m_right->setPixmap(UiAssets::pixmap(
        UiAssets::icon(isRightLit() ? QStringLiteral("icon_arrow_right_on") : QStringLiteral("icon_arrow_right")), s));
}

void PopupSelect::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0, 0, 0, 190));
    const QColor accent = palette().color(QPalette::Highlight);
    p.setPen(QPen(accent, 2));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(kBox).adjusted(1, 1, -1, -1), 10, 10);
}
