#include "mainusbbtform.h"

#include "ablumpiclabel.h"
#include "globals.h"
#include "linkglobals.h"
#include "mlabel.h"
#include "uiassets.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QSlider>
#include <QTimer>

namespace {

// Geometry of the screen, in one place.
const QRect kPicture(10, 20, 150, 150);
constexpr int TextLeftWithPicture = 170;
constexpr int TextRightWithPicture = 474;
const int kTextRows[3][2] = {{20, 69}, {73, 103}, {111, 141}}; // title, artist, album: top..bottom
const QRect kFormatRow(0, 148, 0, 24);                         // x and width follow the layout
const QRect kSlider(10, 188, 460, 18);
const QRect kPosition(10, 208, 120, 28);
const QRect kSongNumber(140, 208, 200, 28);
const QRect kDuration(350, 208, 120, 28);
const QRect kModeIcon(12, 244, 32, 32);
const QRect kBuffering(120, 244, 240, 32);
const QRect kHiRes(400, 248, 70, 26);

QRect spanRect(int left, int right, int top, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom));
}

bool usbSource()
{
    return m_nCurSystem.at(SysByte::Source) == SourceUsb;
}

} // namespace

MainUSBBTForm::MainUSBBTForm(QWidget *parent)
    : QWidget(parent)
    , m_content(new QWidget(this))
    , m_effect(nullptr)
    , m_artistTimer(new QTimer(this))
    , m_slide(new QPropertyAnimation(m_content, "pos", this))
    , m_fade(new QPropertyAnimation(this))
{
    setObjectName(QStringLiteral("mainUSBBTForm"));
    resize(Width, Height);
    m_content->setObjectName(QStringLiteral("mainContent"));
    m_content->setGeometry(0, 0, Width, Height);
    buildGui();
    m_artistTimer->setSingleShot(true);
    m_artistTimer->setInterval(ArtistDelayMs);
    connect(m_artistTimer, &QTimer::timeout, this, [this] {
        m_artist->setText(g_CurMusicPlay.artist);
        m_album->setText(g_CurMusicPlay.album);
    });
    m_slide->setDuration(SlideMs);
    m_slide->setEasingCurve(QEasingCurve::InOutCubic);
    m_fade->setPropertyName("opacity");
    m_fade->setDuration(SlideMs);
    connect(m_slide, &QAbstractAnimation::finished, this, [this] {
        // The effect costs a full repaint of the screen per frame of a
        // scrolling title: it lives only while the screen moves.
        const bool out = m_content->pos() != QPoint(0, 0);
        if (!out) {
            m_fade->stop();
            m_content->setGraphicsEffect(nullptr);
            m_effect = nullptr;
        }
        const int requested = m_animaType;
        m_animaType = 0;
        if (requested > 0)
            emit openGui(requested);
    });
    initGui();
}

void MainUSBBTForm::buildGui()
{
    m_picture = new AblumPicLabel(m_content);
    m_picture->setObjectName(QStringLiteral("albumPicture"));
    m_picture->setGeometry(kPicture);

    m_title = new MLabel(m_content);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setFontSize(30);
    m_artist = new MLabel(m_content);
    m_artist->setObjectName(QStringLiteral("artistLabel"));
    m_artist->setFontSize(22);
    m_album = new MLabel(m_content);
    m_album->setObjectName(QStringLiteral("albumLabel"));
    m_album->setFontSize(22);

    m_format = new QLabel(m_content);
    m_format->setObjectName(QStringLiteral("formatLabel"));

    m_slider = new QSlider(Qt::Horizontal, m_content);
    m_slider->setObjectName(QStringLiteral("progressSlider"));
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_slider->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_slider->setGeometry(kSlider);

    m_position = new QLabel(m_content);
    m_position->setObjectName(QStringLiteral("positionLabel"));
    m_position->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_position->setGeometry(kPosition);
    m_songNumber = new QLabel(m_content);
    m_songNumber->setObjectName(QStringLiteral("songNumberLabel"));
    m_songNumber->setAlignment(Qt::AlignCenter);
    m_songNumber->setGeometry(kSongNumber);
    m_duration = new QLabel(m_content);
    m_duration->setObjectName(QStringLiteral("durationLabel"));
    m_duration->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_duration->setGeometry(kDuration);

    m_mode = new QLabel(m_content);
    m_mode->setObjectName(QStringLiteral("playModeIcon"));
    m_mode->setAlignment(Qt::AlignCenter);
    m_mode->setGeometry(kModeIcon);
    m_buffering = new QLabel(m_content);
    m_buffering->setObjectName(QStringLiteral("bufferingLabel"));
    m_buffering->setAlignment(Qt::AlignCenter);
    m_buffering->setGeometry(kBuffering);
    m_hiRes = new QLabel(m_content);
    m_hiRes->setObjectName(QStringLiteral("hiResIcon"));
    m_hiRes->setAlignment(Qt::AlignCenter);
    m_hiRes->setGeometry(kHiRes);
    m_hiRes->setPixmap(UiAssets::pixmap(UiAssets::icon(QStringLiteral("icon_Hi-Res")), kHiRes.size()));
    retranslate();
}

void MainUSBBTForm::retranslate()
{
    m_buffering->setText(tr("缓冲中..."));
}

void MainUSBBTForm::initGui()
{
    m_position->setText(QStringLiteral("00:00"));
    m_duration->setText(QStringLiteral("00:00"));
    m_songNumber->setText(QStringLiteral("0/0"));
    m_slider->setRange(0, 0);
    m_slider->setValue(0);
    m_buffering->hide();
    m_hiRes->hide();
    m_lastPosition = -1;
    mainGui_Changed();
    Update_PlayBackMode();
    m_picture->updateAblumPic();
}

QString MainUSBBTForm::FormatTimes(long long seconds)
{
    const long long s = std::max(0LL, seconds);
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString MainUSBBTForm::formatLine()
{
    const QString type = g_CurMusicPlay.fileType.get().toUpper();
    QString line = type == QLatin1String("ISO") ? QStringLiteral("DSD") : type;
    const QString rate = g_CurMusicPlay.sampleRateText;
    const QString detail = g_CurMusicPlay.detailText;
    if (!rate.isEmpty())
        line += QStringLiteral(" / ") + rate;
    if (!detail.isEmpty())
        line += QStringLiteral(" / ") + detail;
    return line;
}

void MainUSBBTForm::mediaPlayerInfoChanged()
{
    m_format->setText(formatLine());
    const qint64 duration = std::max<qint64>(0, g_CurMusicPlay.duration);
    m_slider->setRange(0, int(std::min<qint64>(duration, INT_MAX)));
    m_duration->setText(FormatTimes(duration));
    m_hiRes->setVisible(g_CurMusicPlay.isHiRes);
    m_artistTimer->stop();
    m_title->setText(g_CurMusicPlay.title);
    m_artist->setText(g_CurMusicPlay.artist);
    m_album->setText(g_CurMusicPlay.album);
    Update_AblumPic();
}

void MainUSBBTForm::mediaPlayerPositionChanged(qlonglong seconds)
{
    if (seconds == m_lastPosition)
        return;
    m_lastPosition = seconds;
    m_position->setText(FormatTimes(seconds));
    m_slider->setValue(int(std::clamp<qlonglong>(seconds, 0, m_slider->maximum())));
    m_buffering->hide();
}

void MainUSBBTForm::SetBuffing()
{
    if (!g_CurMusicPlay.decodeOver)
        m_buffering->show();
}

bool MainUSBBTForm::isBuffering() const
{
    return m_buffering->isVisibleTo(this);
}

void MainUSBBTForm::Update_SongNumber()
{
    const int count = std::max(mediaTempPlayList.size(), mediaObjectInfoList.size());
    const int number = count == 0 ? 0 : g_CurMusicPlay.curIndex + 1;
    m_songNumber->setText(QStringLiteral("%1 / %2").arg(number).arg(count));
    m_songNumber->setVisible(usbSource());
}

void MainUSBBTForm::Update_SongsInfo()
{
    m_title->setText(g_CurMusicPlay.title);
    m_artistTimer->start();
}

void MainUSBBTForm::Update_PlayBackMode()
{
    m_modeIcon = UiAssets::playModeIconName(g_CurMusicPlay.playMode);
    if (m_modeIcon.isEmpty()) {
        m_mode->clear();
        m_mode->hide();
        return;
    }
    m_mode->setPixmap(UiAssets::pixmap(UiAssets::modeIcon(m_modeIcon), kModeIcon.size()));
    m_mode->show();
}

void MainUSBBTForm::Update_AblumPic()
{
    m_picture->setPaused(g_CurMusicPlay.playState == PlayPaused);
    m_picture->updateAblumPic();
}

void MainUSBBTForm::resetUSBGui(bool clear, bool force)
{
    if (!force && !usbSource())
        return;
    if (clear) {
        m_artistTimer->stop();
        m_title->setText(QString());
        m_artist->setText(QString());
        m_album->setText(QString());
        m_format->clear();
        m_duration->clear();
    }
    m_position->setText(QStringLiteral("00:00"));
    m_songNumber->setText(QStringLiteral("0000 / 0000"));
    m_slider->setValue(0);
    m_lastPosition = -1;
    m_buffering->hide();
}

void MainUSBBTForm::resetBTGui()
{
    m_artistTimer->stop();
    m_title->setText(QString());
    m_artist->setText(QString());
    m_album->setText(QString());
    m_format->clear();
    m_position->setText(QStringLiteral("00:00"));
    m_duration->setText(QStringLiteral("00:00"));
    m_slider->setRange(0, 0);
    m_lastPosition = -1;
    m_songNumber->hide();
    m_mode->hide();
    m_hiRes->hide();
    m_buffering->hide();
    m_picture->setPaused(false);
    m_picture->updateAblumPic();
}

void MainUSBBTForm::revBlePlayInfoOver(int mTypeID, QString m_value)
{
    if (m_nCurSystem.at(SysByte::Source) != SourceBluetooth)
        return;
    switch (mTypeID) {
    case 0:
        m_artist->setText(m_value);
        break;
    case 1:
        m_title->setText(m_value);
        break;
    case 2:
        m_album->setText(m_value);
        break;
    case 3: {
        const long long total = std::max(0LL, m_value.toLongLong());
        m_duration->setText(FormatTimes(total));
        m_slider->setRange(0, int(std::min<long long>(total, INT_MAX)));
        break;
    }
    default:
        break;
    }
}

void MainUSBBTForm::mainGui_Changed()
{
    const bool withPicture = g_CurMusicPlay.isSubPage;
    m_picture->setVisible(withPicture);
    const int left = withPicture ? TextLeftWithPicture : 1;
    const int right = withPicture ? TextRightWithPicture : 480;
    MLabel *rows[3] = {m_title, m_artist, m_album};
    for (int i = 0; i < 3; ++i) {
        rows[i]->setGeometry(spanRect(left, right, kTextRows[i][0], kTextRows[i][1]));
        rows[i]->setAlignCenter(!withPicture);
    }
    m_format->setGeometry(left, kFormatRow.top(), right - left, kFormatRow.height());
    m_format->setAlignment((withPicture ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
}

void MainUSBBTForm::TEST()
{
    if (m_title->text() != g_CurMusicPlay.title.get() || m_format->text() != formatLine()
        || m_hiRes->isVisibleTo(this) != g_CurMusicPlay.isHiRes.get())
        mediaPlayerInfoChanged();
    Update_PlayBackMode();
    Update_SongNumber();
}

void MainUSBBTForm::placeContent(const QPoint &pos, double opacity)
{
    m_slide->stop();
    m_fade->stop();
    if (opacity >= 1.0) {
        m_content->setGraphicsEffect(nullptr);
        m_effect = nullptr;
    } else {
        if (!m_effect) {
            m_effect = new QGraphicsOpacityEffect(m_content);
            m_content->setGraphicsEffect(m_effect);
        }
        m_effect->setOpacity(opacity);
    }
    m_content->move(pos);
}

void MainUSBBTForm::AnimationGroup(MainGuiPostion pos)
{
    const QPoint target = pos == MainGuiLeft    ? QPoint(-Width / 3, 0)
                          : pos == MainGuiRight ? QPoint(Width / 3, 0)
                                                : QPoint(0, 0);
    const bool fadeIn = pos == MainGuiCenter;
    if (!m_animated || !isVisible()) {
        placeContent(target, fadeIn ? 1.0 : 0.0);
        const int requested = m_animaType;
        m_animaType = 0;
        if (requested > 0)
            emit openGui(requested);
        return;
    }
    m_slide->stop();
    m_fade->stop();
    if (!m_effect) {
        m_effect = new QGraphicsOpacityEffect(m_content);
        m_effect->setOpacity(fadeIn ? 0.0 : 1.0);
        m_content->setGraphicsEffect(m_effect);
    }
    m_fade->setTargetObject(m_effect);
    m_fade->setStartValue(m_effect->opacity());
    m_fade->setEndValue(fadeIn ? 1.0 : 0.0);
    m_slide->setStartValue(m_content->pos());
    m_slide->setEndValue(target);
    m_fade->start();
    m_slide->start();
}

void MainUSBBTForm::setOpacityType(int guiId)
{
    m_animaType = guiId;
    AnimationGroup(MainGuiLeft);
}

void MainUSBBTForm::setAnima(bool enabled)
{
    m_animated = enabled;
}

void MainUSBBTForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Back from another screen: the content is in place and fully shown.
    if (m_animaType == 0 && (m_content->pos() != QPoint(0, 0) || m_effect))
        placeContent(QPoint(0, 0), 1.0);
}

void MainUSBBTForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
