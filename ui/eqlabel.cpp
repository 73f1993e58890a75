#include "eqlabel.h"

#include "globals.h"

namespace {
EQLabel::Formatter &defaultFormatter()
{
    static EQLabel::Formatter f;
    return f;
}
} // namespace

EQLabel::EQLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("eqLabel"));
    setAlignment(Qt::AlignCenter);
}

void EQLabel::setDataType(int type)
{
    m_type = type;
    refresh();
}

void EQLabel::setRange(int min, int max, int step)
{
    m_min = std::min(min, max);
    m_max = std::max(min, max);
    m_step = std::max(1, step);
    m_value = std::clamp(m_value, m_min, m_max);
    refresh();
}

void EQLabel::setValue(int value)
{
    m_value = (m_min < m_max || m_min != 0) ? std::clamp(value, m_min, m_max) : value;
    refresh();
}

bool EQLabel::stepValue(bool up)
{
    const int v = getIncDecCorrectValue(m_value, m_min, m_max, up, m_step);
    if (v == m_value)
        return false;
    m_value = v;
    refresh();
    return true;
}

void EQLabel::setValueText(const QString &text)
{
    setText(text);
}

void EQLabel::setFormatter(Formatter f)
{
    m_formatter = std::move(f);
    refresh();
}

void EQLabel::setDefaultFormatter(Formatter f)
{
    defaultFormatter() = std::move(f);
}

QString EQLabel::format(int value) const
{
    if (m_formatter)
        return m_formatter(m_type, value);
    if (defaultFormatter())
        return defaultFormatter()(m_type, value);
    return QString::number(value);
}

void EQLabel::refresh()
{
    setText(format(m_value));
}
