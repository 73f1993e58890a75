#pragma once
// The now-playing screen (screen 1) in the content area (480 x 283): title,
// artist and album (scrolling labels), the album picture, the format line,
// position and duration with a slider, the song number, the play-mode
// icon, the "Hi-Res" icon and the buffering label "缓冲中...". It shows
// g_CurMusicPlay for USB playback and the MCU's track information for
// Bluetooth audio; it asks the controller for other screens with
// openGui(int) (2 the browser, 3 the setup screen) and never changes
// playback.

#include <QWidget>

class AblumPicLabel;
class MLabel;
class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QSlider;
class QTimer;

// Where AnimationGroup() moves the screen's content.
enum MainGuiPostion {
    MainGuiCenter = 0, // in place, fully shown
    MainGuiLeft = 1,   // out to the left, faded
    MainGuiRight = 2,  // out to the right, faded
};

class MainUSBBTForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 283;
    static constexpr int ArtistDelayMs = 500;
    static constexpr int SlideMs = 250;

    explicit MainUSBBTForm(QWidget *parent = nullptr);

    // A negative value counts as 0; minutes and seconds, two digits at least.
    static QString FormatTimes(long long seconds);
    // The format line of the song now playing.
    static QString formatLine();

    void initGui();
    void Update_SongsInfo();
    void Update_PlayBackMode();
    void Update_AblumPic();
    void SetBuffing();
    // For USB (source 5) or when forced: clear the texts, position "00:00",
    // song number "0000 / 0000", slider 0, buffering label hidden.
    void resetUSBGui(bool clear, bool force = false);
    void resetBTGui();
    // Layout by the album-picture setting (isSubPage).
    void mainGui_Changed();
    void AnimationGroup(MainGuiPostion pos);
    // Slides the content out, then asks for screen guiId (openGui).
    void setOpacityType(int guiId);
    // Screen requested by the running slide-out, 0 when none runs.
    int Get_Anima_Type() const { return m_animaType; }
    // Animations on (default) or off (off: requests go out at once).
    void setAnima(bool enabled);

    // For the controller and tests.
    QString playModeIconName() const { return m_modeIcon; }
    bool isBuffering() const;
    long long shownPosition() const { return m_lastPosition; }

public slots:
    void mediaPlayerPositionChanged(qlonglong seconds);
    void mediaPlayerInfoChanged();
    void Update_SongNumber();
    void revBlePlayInfoOver(int mTypeID, QString m_value);
    // Self-check on the output thread's request: shows g_CurMusicPlay again
    // where the screen differs from it.
    void TEST();

signals:
    void openGui(int guiId);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildGui();
    void placeContent(const QPoint &pos, double opacity);
    void retranslate();

    QWidget *m_content;
    QGraphicsOpacityEffect *m_effect;
    AblumPicLabel *m_picture;
    MLabel *m_title;
    MLabel *m_artist;
    MLabel *m_album;
    QLabel *m_format;
    QLabel *m_position;
    QLabel *m_duration;
    QSlider *m_slider;
    QLabel *m_songNumber;
    QLabel *m_mode;
    QLabel *m_hiRes;
    QLabel *m_buffering;
    QTimer *m_artistTimer;
    QPropertyAnimation *m_slide;
    QPropertyAnimation *m_fade;
    QString m_modeIcon;
    long long m_lastPosition = -1;
    int m_animaType = 0;
    bool m_animated = true;
};
