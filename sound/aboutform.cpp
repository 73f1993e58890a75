#include "aboutform.h"

#include "globals.h"

#include <QEvent>
#include <QLabel>

namespace {
constexpr int Left = 30;
constexpr int Top = 50;
constexpr int LineHeight = 54;
} // namespace

AboutForm::AboutForm(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("aboutForm"));
    resize(Width, Height);
    for (int i = 0; i < 3; ++i) {
        m_lines[i] = new QLabel(this);
        m_lines[i]->setObjectName(QStringLiteral("aboutLine%1").arg(i));
        m_lines[i]->setGeometry(Left, Top + i * LineHeight, Width - 2 * Left, LineHeight - 10);
    }
    refresh();
}

void AboutForm::refresh()
{
    const QString mcu = RevMCU_VERSION.trimmed().isEmpty() ? QStringLiteral("--") : RevMCU_VERSION.trimmed();
    m_lines[0]->setText(tr("本机名称：") + ApplicationName);
    m_lines[1]->setText(tr("软件版本：") + PC_Versions);
    m_lines[2]->setText(tr("设备版本：") + mcu);
}

QStringList AboutForm::lines() const
{
    return {m_lines[0]->text(), m_lines[1]->text(), m_lines[2]->text()};
}

void AboutForm::showEvent(QShowEvent *event)
{
    refresh();
    emit setWindowTitle(tr("关于"));
    QWidget::showEvent(event);
}

void AboutForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        refresh();
    QWidget::changeEvent(event);
}
