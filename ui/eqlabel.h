#pragma once
// The value of a setup row, drawn between the arrows of a ListSelectData:
// an integer value with its range and step, shown through a formatter.
//
// The value kind is the row's sound-setting type; the setup screens install
// the formatter of each kind with setFormatter() (or one for all kinds with
// setDefaultFormatter()). Without one a kind shows its number.

#include <QLabel>

#include <functional>

class EQLabel : public QLabel
{
    Q_OBJECT

public:
    using Formatter = std::function<QString(int type, int value)>;

    explicit EQLabel(QWidget *parent = nullptr);

    void setDataType(int type);
    int dataType() const { return m_type; }
    // Range and step of the value; the value is held within it.
    void setRange(int min, int max, int step = 1);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int step() const { return m_step; }
    void setValue(int value);
    int value() const { return m_value; }
    // One step up or down, held within the range; false when it did not move.
    bool stepValue(bool up);
    // Shows a text as it is (no formatter) until the next value change.
    void setValueText(const QString &text);

    void setFormatter(Formatter f);
    // Formatter used by labels without their own (process-wide, GUI thread).
    static void setDefaultFormatter(Formatter f);
    // The text shown for a value of this label's kind.
    QString format(int value) const;

private:
    void refresh();

    int m_type = 0;
    int m_min = 0;
    int m_max = 0;
    int m_step = 1;
    int m_value = 0;
    Formatter m_formatter;
};
