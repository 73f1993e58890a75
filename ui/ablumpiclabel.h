#pragma once
// The album picture of the song now playing (albumPicture of
// g_CurMusicPlay), scaled into the label; without one it shows the stand-by
// picture "albumPic", or "albumPic_Pause" while paused.

#include <QImage>
#include <QLabel>

class AblumPicLabel : public QLabel
{
    Q_OBJECT

public:
    explicit AblumPicLabel(QWidget *parent = nullptr);

    // The song's own picture is shown (not a stand-by picture).
    bool hasPicture() const { return !m_picture.isNull(); }
    // Name of the stand-by icon shown now ("albumPic", "albumPic_Pause"),
    // empty while the song's picture is shown.
    QString standbyName() const;
    bool paused() const { return m_paused; }

public slots:
    // Reloads albumPicture from g_CurMusicPlay.
    void updateAblumPic();
    // Stand-by picture for a paused song.
    void setPaused(bool paused);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    bool m_paused = false;
};
