#pragma once
// A single-line label whose text scrolls when it is wider than the label.
//
// Setting a text picks the font pixel size (the configured size, 2 px
// smaller when the text holds no Chinese character). A text wider than the
// label starts scrolling 1000 ms later, 5 px every 75 ms; past the text's
// width (plus a gap when wrapping) it starts again at 0, or in roll-once
// mode stops and emits rollonceOver(). A text that fits never scrolls, and
// no timer runs while the label is hidden.

#include <QColor>
#include <QLabel>
#include <QPixmap>

class QTimer;

class MLabel : public QLabel
{
    Q_OBJECT

public:
    static constexpr int StartDelayMs = 1000;
    static constexpr int StepMs = 75;
    static constexpr int StepPx = 5;

    explicit MLabel(QWidget *parent = nullptr);

    void setFontSize(int pixelSize);
    int fontSize() const { return m_fontSize; }
    void setColor(const QColor &color);
    QColor color() const { return m_color; }
    void setAlignCenter(bool centre);
    bool alignCenter() const { return m_centre; }
    void setRollOnce(bool once);
    bool rollOnce() const { return m_rollOnce; }
    // Scrolling on (default) or off; off shows the text's start, elided.
    void setRolling(bool enabled);
    bool rolling() const { return m_rolling; }

    // Width of the current text in the label's font.
    int textWidth() const;
    // The text is wider than the label and rolling is enabled.
    bool needsScroll() const;
    // Current scroll offset in pixels (0 at rest).
    int scrollOffset() const { return m_offset; }
    // A start delay or the scroll step timer is running.
    bool timerActive() const;
    // The scroll step timer runs (after the start delay).
    bool isScrolling() const;

public slots:
    // Hides QLabel::setText: the label's text, font and scrolling.
    void setText(const QString &text);

signals:
    void rollonceOver();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void applyFont();
    void restart();
    void stopTimers();
    void step();
    int gap() const;

    QTimer *m_startTimer;
    QTimer *m_stepTimer;
    int m_fontSize = 20;
    QColor m_color; // invalid: the style sheet's text colour
    bool m_centre = false;
    bool m_rollOnce = false;
    bool m_rolling = true;
    int m_offset = 0;
    QPixmap m_strip;    // the scrolling text, drawn once
    QString m_stripKey; // what m_strip was drawn for
};
