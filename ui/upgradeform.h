#pragma once
// The firmware upgrade screen: a title, a progress bar and a percent label
// over the whole window. setPersent(n) takes the count of answered upgrade
// frames; the bar's maximum is the upgrade's total frame count.

#include <QWidget>

class QLabel;
class QProgressBar;

class UpgradeForm : public QWidget
{
    Q_OBJECT

public:
    explicit UpgradeForm(QWidget *parent = nullptr);

    // The total frame count the percentages refer to (0: not known yet,
    // taken from the upgrade state record on the first progress values).
    void setTotal(int total);
    int total() const { return m_total; }
    // Back to "0%" and the running title, for a new upgrade.
    void reset();

    QString titleText() const;
    QString percentText() const;
    int barValue() const;
    int barMaximum() const;
    bool failed() const { return m_failed; }

public slots:
    void setPersent(int count);
    void UpgradeFailed();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    enum class State { Running, Completed, Failed };
    QLabel *m_title;
    QProgressBar *m_bar;
    QLabel *m_percent;
    int m_total = 0;
    bool m_failed = false;
    State m_state = State::Running;
};
