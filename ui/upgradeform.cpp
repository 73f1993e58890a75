#include "upgradeform.h"

#include "linkglobals.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVariant>

namespace {
constexpr int Width = 480;
constexpr int Height = 320;
} // namespace

UpgradeForm::UpgradeForm(QWidget *parent)
    : QWidget(parent)
    , m_title(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_percent(new QLabel(this))
{
    setObjectName(QStringLiteral("UpgradeForm"));
    setAttribute(Qt::WA_StyledBackground, true);
    setGeometry(0, 0, Width, Height);
    m_title->setObjectName(QStringLiteral("upgradeTitle"));
    m_title->setProperty("role", QVariant(QStringLiteral("title")));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setGeometry(20, 70, Width - 40, 80);
    m_bar->setObjectName(QStringLiteral("upgradeBar"));
    m_bar->setTextVisible(false);
    m_bar->setGeometry(60, 170, Width - 120, 12);
    m_percent->setObjectName(QStringLiteral("upgradePercent"));
    m_percent->setAlignment(Qt::AlignCenter);
    m_percent->setGeometry(20, 200, Width - 40, 40);
    reset();
}

void UpgradeForm::reset()
{
    m_state = State::Running;
    m_failed = false;
    m_bar->setRange(0, m_total > 0 ? m_total : 100);
    m_bar->setValue(0);
    m_percent->setText(QStringLiteral("0%"));
    retranslate();
}

void UpgradeForm::setTotal(int total)
{
    m_total = total > 0 ? total : 0;
    if (m_total > 0)
        m_bar->setMaximum(m_total);
}

void UpgradeForm::setPersent(int count)
{
    if (m_failed)
        return;
    // The total is known once the file has been read; early values fetch it.
    if ((m_total <= 0 || m_bar->value() <= 3) && m_nReadDsp_McuFile_Flag.totalFrames.get() > 0)
        setTotal(m_nReadDsp_McuFile_Flag.totalFrames.get());
    if (m_total <= 0)
        return;
    if (count > 1)
        m_bar->setValue(qMin(count, m_total));
    if (count >= m_total) {
        m_state = State::Completed;
        m_percent->setText(QStringLiteral("100%"));
        retranslate();
        return;
    }
    // Whole percent, rounded down: 100% only once every frame went through.
    const int percent = count <= 0 ? 0 : int(qint64(count) * 100 / m_total);
    m_percent->setText(QString::number(percent) + QLatin1Char('%'));
}

void UpgradeForm::UpgradeFailed()
{
    m_failed = true;
    m_state = State::Failed;
    retranslate();
}

void UpgradeForm::retranslate()
{
    switch (m_state) {
    case State::Running:
        m_title->setText(tr("固件更新中"));
        break;
    case State::Completed:
        m_title->setText(tr("固件更新完成"));
        break;
    case State::Failed:
        m_title->setText(tr("升级失败 3秒后重启..."));
        break;
    }
}

void UpgradeForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QString UpgradeForm::titleText() const
{
    return m_title->text();
}

QString UpgradeForm::percentText() const
{
    return m_percent->text();
}

int UpgradeForm::barValue() const
{
    return m_bar->value();
}

int UpgradeForm::barMaximum() const
{
    return m_bar->maximum();
}
