#pragma once
// The navigation bar across the top of the window (480 x 34): the current
// source's title (or the title of the screen shown), the mix source, the
// mounted USB ports, the Bluetooth connection, the main gain and the
// speaker or mute icon. It reads the MCU system record (m_nCurSystem) and
// g_CurMusicPlay; it never changes playback.
//
// The fade: a 350 ms QTimeLine over frames 0..10; each frame sets the
// bar's opacity to frame / 10 and repaints; the background picture "nav" is
// painted at that opacity (fully opaque when no fade runs).

#include <QWidget>

class MLabel;
class QLabel;
class QTimeLine;

class NavForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Height = 34;
    static constexpr int FadeMs = 350;
    static constexpr int MaxGain = 35;

    explicit NavForm(QWidget *parent = nullptr);

    // Untranslated source title of a source id (1..5), "" for others.
    static const char *sourceTitleSource(int source);
    // Translated title of a source id, "" for others.
    static QString sourceTitle(int source);
    // Mix-source label of a mix-source code ("TAVELO Direct" for none).
    static QString mixSourceText(int mixSource);

    QString titleText() const;
    QString mixText() const;
    QString gainText() const;
    bool isPortShown(int port) const; // port 1..3
    bool isBleShown() const;
    // Name of the speaker icon shown ("icon_spk" or "icon_spk_mute").
    QString speakerIconName() const { return m_speakerIcon; }
    double opacity() const { return m_opacity; }
    bool isFading() const;
    // true: the bar shows a screen's own title (setWindowTitle); false: the
    // current source's title (updateWindowTitle).
    bool screenTitleMode() const { return m_screenTitle; }

public slots:
    // Retranslates the source title shown.
    void refreshGui();
    void setType(bool screenTitle);
    // The mix label is lit while a mix source is active, dim otherwise.
    void update_MixerColor();
    // Mix-source label from system byte 1.
    void updateMixSource();
    void updateBLE_ShowHide();
    // Starts the fade: frames 0..10 (fadeIn) or 10..0; with withTitle the
    // title label stays hidden until a fade-in ends.
    void SetOpacity_Start(bool fadeIn, bool withTitle);
    // Shows the current source's title when it changed (and is not empty),
    // starts the fade and refreshes the mixer colour.
    void updateWindowTitle();
    void setWindowTitle(const QString &title);
    // Shows the icon of every port (1..3) with a mounted disk; true when
    // any is shown.
    bool updateUsingDisk();
    void updateMainVolMute();
    // Main gain (system byte 8), held at 35 also in the record; 0..9 with a
    // leading 0; soundOn true also sets the record's sound-on flag.
    void updateMainGain(bool soundOn);
    void timerOpacityTimeOut(int m_frame);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_shownSource = 0;
    bool m_screenTitle = false;
    bool m_titleWithFade = false;
    double m_opacity = 1.0;
    QString m_speakerIcon;
    MLabel *m_title;
    QLabel *m_mix;
    QLabel *m_ports[3];
    QLabel *m_ble;
    QLabel *m_speaker;
    QLabel *m_gain;
    QTimeLine *m_fade;
};
