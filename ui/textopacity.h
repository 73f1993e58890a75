#pragma once
// A picture shown at an opacity that fades in or out in steps (the boot
// logo fades out in 50 ms steps). opacity_Stop() when a fade ends.

#include <QPixmap>
#include <QWidget>

class QTimer;

class TextOpacity : public QWidget
{
    Q_OBJECT

public:
    static constexpr double Step = 0.05; // opacity change per step

    explicit TextOpacity(QWidget *parent = nullptr);

    // The picture, scaled to fit and centred on black.
    void setImage(const QString &path);
    void setImage(const QPixmap &picture);
    QPixmap image() const { return m_image; }

    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    bool isFading() const;

public slots:
    // Fades out (out = true, down to 0) or in (up to 1), one step every
    // intervalMs; a running fade is replaced.
    void setOpacityOut(bool out, int intervalMs);

signals:
    void opacity_Stop();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step();

    QPixmap m_image;
    QTimer *m_timer;
    double m_opacity = 1.0;
    bool m_out = true;
};
