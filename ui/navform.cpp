#include "navform.h"

#include "globals.h"
#include "linkglobals.h"
#include "mlabel.h"
#include "uiassets.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTimeLine>
#include <QVariant>

namespace {

constexpr int IconSize = 24;
const char *const kSourceTitles[] = {
    QT_TRANSLATE_NOOP("NavForm", "高电平"), QT_TRANSLATE_NOOP("NavForm", "蓝牙音乐"), "AUX", "USB Audio", "USB",
};

void repolish(QWidget *w)
{
    w->style()->unpolish(w);
    w->style()->polish(w);
}

} // namespace

NavForm::NavForm(QWidget *parent)
    : QWidget(parent)
    , m_title(new MLabel(this))
    , m_mix(new QLabel(this))
    , m_ble(new QLabel(this))
    , m_speaker(new QLabel(this))
    , m_gain(new QLabel(this))
    , m_fade(new QTimeLine(FadeMs, this))
{
    setObjectName(QStringLiteral("navForm"));
    resize(480, Height);
    m_title->setObjectName(QStringLiteral("navTitle"));
    m_title->setStyleSheet(QStringLiteral("font-size:24px;"));
    m_title->setFontSize(24);
    m_title->setGeometry(8, 0, 178, Height);
    m_mix->setObjectName(QStringLiteral("navMix"));
    m_mix->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_mix->setGeometry(190, 0, 112, Height);
    const int iconY = (Height - IconSize) / 2;
    for (int i = 0; i < 3; ++i) {
        m_ports[i] = new QLabel(this);
        m_ports[i]->setObjectName(QStringLiteral("navUsb%1").arg(i + 1));
        m_ports[i]->setPixmap(
            UiAssets::pixmap(UiAssets::icon(QStringLiteral("NavTop/icon_USB_%1").arg(i + 1)), QSize(30, IconSize)));
        m_ports[i]->setGeometry(304 + 30 * i, iconY, 30, IconSize);
        m_ports[i]->hide();
    }
    m_ble->setObjectName(QStringLiteral("navBluetooth"));
    m_ble->setPixmap(
        UiAssets::pixmap(UiAssets::icon(QStringLiteral("NavTop/icon_Bluetooth")), QSize(IconSize, IconSize)));
    m_ble->setGeometry(394, iconY, IconSize, IconSize);
    m_ble->hide();
    m_speaker->setObjectName(QStringLiteral("navSpeaker"));
    m_speaker->setGeometry(420, iconY, IconSize, IconSize);
    m_gain->setObjectName(QStringLiteral("navGain"));
    m_gain->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_gain->setGeometry(444, 0, 30, Height);

    m_fade->setFrameRange(0, 10);
    m_fade->setUpdateInterval(FadeMs / 10);
    connect(m_fade, &QTimeLine::frameChanged, this, &NavForm::timerOpacityTimeOut);
    connect(m_fade, &QTimeLine::finished, this, [this] {
        m_opacity = 1.0;
        if (m_titleWithFade && m_fade->direction() == QTimeLine::Forward)
            m_title->show();
        m_titleWithFade = false;
        update();
    });
    updateMainVolMute();
}

const char *NavForm::sourceTitleSource(int source)
{
    if (source < 1 || source > 5)
        return "";
    return kSourceTitles[source - 1];
}

QString NavForm::sourceTitle(int source)
{
    if (source < 1 || source > 2)
        return QString::fromLatin1(sourceTitleSource(source)); // built-in names are not translated
    return QCoreApplication::translate("NavForm", sourceTitleSource(source));
}

QString NavForm::mixSourceText(int mixSource)
{
    switch (mixSource) {
    case 1:
        return QStringLiteral("Hi.Level Mix");
    case 2:
        return QStringLiteral("BT Audio Mix");
    case 3:
        return QStringLiteral("AUX Mix");
    case 4:
        return QStringLiteral("USB Audio Mix");
    case 5:
        return QStringLiteral("USB Mix");
    default:
        return QStringLiteral("TAVELO Direct");
    }
}

QString NavForm::titleText() const
{
    return m_title->text();
}

QString NavForm::mixText() const
{
    return m_mix->text();
}

QString NavForm::gainText() const
{
    return m_gain->text();
}

bool NavForm::isPortShown(int port) const
{
    return port >= 1 && port <= 3 && m_ports[port - 1]->isVisibleTo(this);
}

bool NavForm::isBleShown() const
{
    return m_ble->isVisibleTo(this);
}

bool NavForm::isFading() const
{
    return m_fade->state() == QTimeLine::Running;
}

void NavForm::refreshGui()
{
    if (!m_screenTitle && m_shownSource != 0)
        m_title->setText(sourceTitle(m_shownSource));
}

void NavForm::setType(bool screenTitle)
{
    m_screenTitle = screenTitle;
    if (!screenTitle) {
        m_shownSource = 0; // show the source title again at the next update
        updateWindowTitle();
    }
}

void NavForm::update_MixerColor()
{
    const bool mixing = m_nCurSystem.at(SysByte::MixSource) != 255;
    m_mix->setProperty("mixing", mixing);
    repolish(m_mix);
}

void NavForm::updateMixSource()
{
    m_mix->setText(mixSourceText(m_nCurSystem.at(SysByte::MixSource)));
    update_MixerColor();
}

void NavForm::updateBLE_ShowHide()
{
    m_ble->setVisible((m_nCurSystem.at(SysByte::BleConnected) & 1) != 0);
}

void NavForm::SetOpacity_Start(bool fadeIn, bool withTitle)
{
    m_fade->stop();
    m_titleWithFade = withTitle;
    if (withTitle && fadeIn)
        m_title->hide();
    m_fade->setDirection(fadeIn ? QTimeLine::Forward : QTimeLine::Backward);
    m_fade->setCurrentTime(fadeIn ? 0 : FadeMs);
    m_fade->start();
}

void NavForm::updateWindowTitle()
{
    const int source = m_nCurSystem.at(SysByte::Source);
    const QString title = sourceTitle(source);
    if (m_screenTitle || title.isEmpty() || (source == m_shownSource && title == m_title->text()))
        return;
    m_shownSource = source;
    m_title->setText(title);
    SetOpacity_Start(true, false);
    update_MixerColor();
}

void NavForm::setWindowTitle(const QString &title)
{
    m_title->setText(title);
    m_title->show();
}

bool NavForm::updateUsingDisk()
{
    for (QLabel *l : m_ports)
        l->hide();
    bool any = false;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.port >= 1 && d.port <= 3) {
            m_ports[d.port - 1]->show();
            any = true;
        }
    }
    return any;
}

void NavForm::updateMainVolMute()
{
    const bool on = m_nCurSystem.at(SysByte::SoundOn) != 0;
    m_speakerIcon = on ? QStringLiteral("icon_spk") : QStringLiteral("icon_spk_mute");
    m_speaker->setPixmap(UiAssets::pixmap(UiAssets::icon(m_speakerIcon), QSize(IconSize, IconSize)));
    m_gain->setProperty("muted", !on);
    repolish(m_gain);
    g_TempData.soundOn = on;
}

void NavForm::updateMainGain(bool soundOn)
{
    int gain = m_nCurSystem.at(SysByte::MainGain);
    if (gain > MaxGain) {
        gain = MaxGain;
        m_nCurSystem.set(SysByte::MainGain, quint8(gain));
    }
    m_gain->setText(QStringLiteral("%1").arg(gain, 2, 10, QLatin1Char('0')));
    if (soundOn)
        m_nCurSystem.set(SysByte::SoundOn, 1);
    updateMainVolMute();
}

void NavForm::timerOpacityTimeOut(int m_frame)
{
    m_opacity = std::clamp(m_frame, 0, 10) / 10.0;
    update();
}

void NavForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QPixmap bg = UiAssets::pixmap(UiAssets::icon(QStringLiteral("nav")));
    p.setOpacity(isFading() ? m_opacity : 1.0);
    if (!bg.isNull())
        p.drawPixmap(rect(), bg);
}
