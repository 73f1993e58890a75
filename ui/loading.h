#pragma once
// A spinner and a progress bar over the whole window.
//
// setLoading(true) shows the spinner and turns it every 100 ms by 30
// degrees (from 360 down, back to 360 below 30); setLoading(false) hides and
// resets it. setMaxRange(max, code) shows the progress bar and arms a 7000
// ms watchdog; setPersent(value) re-arms it at 10000 ms, and at max hides
// the widget and emits isFinist(code) (code -1 emits nothing). The watchdog
// emits isFailed() and hides the widget, so a job that stops reporting
// never leaves the keys blocked behind it.

#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

class Loading : public QWidget
{
    Q_OBJECT

public:
    static constexpr int SpinMs = 100;
    static constexpr int SpinStep = 30;
    static constexpr int FirstWatchdogMs = 7000;
    static constexpr int WatchdogMs = 10000;

    explicit Loading(QWidget *parent = nullptr);

    int angle() const { return m_angle; }
    bool isSpinning() const;
    bool isWatchdogActive() const;
    int watchdogInterval() const;
    int maxRange() const { return m_max; }
    int code() const { return m_code; }
    int value() const { return m_value; }
    QProgressBar *progressBar() const { return m_bar; }
    // Addition: the text under the spinner ("" for none).
    void setText(const QString &text);

public slots:
    void setLoading(bool on);
    void setMaxRange(int max, int code);
    void setPersent(int value);

signals:
    void isFinist(int code);
    void isFailed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void spin();
    void watchdog();
    void finish();

    QProgressBar *m_bar;
    QLabel *m_text;
    QTimer *m_spinTimer;
    QTimer *m_watchdog;
    int m_angle = 360;
    int m_max = 0;
    int m_code = -1;
    int m_value = 0;
    bool m_active = false; // a range is armed and not yet finished or failed
};
