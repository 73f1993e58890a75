// The navigation bar and the now-playing screen, driven through their
// slots, g_CurMusicPlay and the MCU system record; the script fonts and
// the pictures the screens load.

#include "globals.h"
#include "linkglobals.h"
#include "mainusbbtform.h"
#include "mlabel.h"
#include "navform.h"
#include "uiassets.h"

#include <QFontDatabase>
#include <QLabel>
#include <QRawFont>
#include <QSlider>
#include <QtTest>

class TstScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void scriptFonts_data();
    void scriptFonts();
    void pictures_data();
    void pictures();

    void gain_data();
    void gain();
    void speakerFollowsSoundOn();
    void sourceTitle_data();
    void sourceTitle();
    void mixSource_data();
    void mixSource();
    void portsAndBluetooth();
    void fadeRunsOnlyWhileFading();

    void formatTimes_data();
    void formatTimes();
    void formatLine_data();
    void formatLine();
    void songNumber_data();
    void songNumber();
    void layouts_data();
    void layouts();
    void positionAndBuffering();
    void artistFollowsTitle();
    void resetAndBluetooth();
    void playModeIcon_data();
    void playModeIcon();
    void slideOutRequestsScreen();
};

void TstScreens::initTestCase()
{
    UiAssets::registerFonts();
}

void TstScreens::init()
{
    m_nCurSystem.set(SysByte::Source, SourceUsb);
    m_nCurSystem.set(SysByte::MixSource, 255);
    m_nCurSystem.set(SysByte::SoundOn, 1);
    m_nCurSystem.set(SysByte::BleConnected, 0);
    UsingUSBDiskList.clear();
    mediaObjectInfoList.clear();
    mediaTempPlayList.clear();
    g_CurMusicPlay.isSubPage = true;
    g_CurMusicPlay.playMode = 0;
    g_CurMusicPlay.curIndex = 0;
    g_CurMusicPlay.decodeOver = false;
}

void TstScreens::scriptFonts_data()
{
    QTest::addColumn<QString>("sample");
    QTest::newRow("latin") << QStringLiteral("Title");
    QTest::newRow("chinese") << QStringLiteral("蓝牙音乐缓冲中");
    QTest::newRow("korean") << QStringLiteral("노래 제목");
}

void TstScreens::scriptFonts()
{
    QFETCH(QString, sample);
    const QStringList found = UiAssets::registerFonts();
    QCOMPARE(found.size(), 3);
    // Some font the screens fall back to holds every character.
    bool covered = false;
    for (const QString &family : found) {
        QFont f(family);
        f.setPixelSize(20);
        const QRawFont raw = QRawFont::fromFont(f);
        bool all = true;
        for (const QChar c : sample)
            all = all && (c.isSpace() || raw.supportsCharacter(c));
        covered = covered || all;
    }
    QVERIFY2(covered, qPrintable(found.join(QLatin1Char(','))));
}

void TstScreens::pictures_data()
{
    QTest::addColumn<QString>("path");
    for (const char *icon : {"paused",
                             "playing",
                             "albumPic",
                             "albumPic_Pause",
                             "nav",
                             "NavTop/icon_USB_1",
                             "NavTop/icon_USB_2",
                             "NavTop/icon_USB_3",
                             "NavTop/icon_Bluetooth",
                             "icon_spk",
                             "icon_spk_mute",
                             "icon_Hi-Res",
                             "icon_list_usb1",
                             "icon_list_usb2",
                             "icon_list_usb3",
                             "icon_list_serch_device",
                             "icon_songer",
                             "icon_ablum",
                             "icon_songname",
                             "icon_format",
                             "icon_date",
                             "icon_filesize"})
        QTest::newRow(icon) << UiAssets::icon(QString::fromLatin1(icon));
    for (int mode = 1; mode <= 4; ++mode)
        QTest::newRow(qPrintable(UiAssets::playModeIconName(mode)))
            << UiAssets::modeIcon(UiAssets::playModeIconName(mode));
    // The paths the controller's style sheets and the logo use, as written.
    QTest::newRow("logo") << QStringLiteral(":loading/Resource/loading/logo");
    QTest::newRow("logo.jpg") << QStringLiteral(":loading/Resource/loading/logo.jpg");
    QTest::newRow("powerOff.png") << QStringLiteral(":loading/Resource/loading/powerOff.png");
}

void TstScreens::pictures()
{
    QFETCH(QString, path);
    const QImage img(path);
    QVERIFY2(!img.isNull(), qPrintable(path));
    if (path.contains(QLatin1String("loading/")))
        QCOMPARE(img.size(), QSize(480, 320));
}

void TstScreens::gain_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("kept");
    QTest::newRow("40 clamps") << 40 << "35" << 35;
    QTest::newRow("255 clamps") << 255 << "35" << 35;
    QTest::newRow("35") << 35 << "35" << 35;
    QTest::newRow("7") << 7 << "07" << 7;
    QTest::newRow("0") << 0 << "00" << 0;
    QTest::newRow("10") << 10 << "10" << 10;
}

void TstScreens::gain()
{
    QFETCH(int, stored);
    QFETCH(QString, shown);
    QFETCH(int, kept);
    NavForm nav;
    m_nCurSystem.set(SysByte::MainGain, quint8(stored));
    nav.updateMainGain(false);
    QCOMPARE(nav.gainText(), shown);
    QCOMPARE(nav.findChild<QLabel *>(QStringLiteral("navGain"))->text(), shown);
    QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), kept);
}

void TstScreens::speakerFollowsSoundOn()
{
    NavForm nav;
    m_nCurSystem.set(SysByte::SoundOn, 0);
    nav.updateMainVolMute();
    QCOMPARE(nav.speakerIconName(), QStringLiteral("icon_spk_mute"));
    QVERIFY(!g_TempData.soundOn.get());
    m_nCurSystem.set(SysByte::MainGain, 12);
    nav.updateMainGain(false); // keeps the mute
    QCOMPARE(nav.speakerIconName(), QStringLiteral("icon_spk_mute"));
    nav.updateMainGain(true); // a gain change with sound on
    QCOMPARE(int(m_nCurSystem.at(SysByte::SoundOn)), 1);
    QCOMPARE(nav.speakerIconName(), QStringLiteral("icon_spk"));
    QVERIFY(g_TempData.soundOn.get());
    QVERIFY(!nav.findChild<QLabel *>(QStringLiteral("navSpeaker"))->pixmap(Qt::ReturnByValue).isNull());
}

void TstScreens::sourceTitle_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("title");
    QTest::newRow("1") << 1 << QStringLiteral("高电平");
    QTest::newRow("2") << 2 << QStringLiteral("蓝牙音乐");
    QTest::newRow("3") << 3 << QStringLiteral("AUX");
    QTest::newRow("4") << 4 << QStringLiteral("USB Audio");
    QTest::newRow("5") << 5 << QStringLiteral("USB");
    QTest::newRow("0 keeps the last") << 0 << QStringLiteral("USB");
    QTest::newRow("9 keeps the last") << 9 << QStringLiteral("USB");
}

void TstScreens::sourceTitle()
{
    QFETCH(int, source);
    QFETCH(QString, title);
    NavForm nav;
    nav.show();
    nav.updateWindowTitle(); // source 5 from init()
    QCOMPARE(nav.titleText(), QStringLiteral("USB"));
    m_nCurSystem.set(SysByte::Source, quint8(source));
    nav.updateWindowTitle();
    QCOMPARE(nav.titleText(), title);
    QCOMPARE(nav.findChild<MLabel *>(QStringLiteral("navTitle"))->text(), title);
    // A screen's own title wins until the bar goes back to the source.
    nav.setType(true);
    nav.setWindowTitle(QStringLiteral("类别"));
    nav.updateWindowTitle();
    QCOMPARE(nav.titleText(), QStringLiteral("类别"));
    m_nCurSystem.set(SysByte::Source, SourceUsb);
    nav.setType(false);
    QCOMPARE(nav.titleText(), QStringLiteral("USB"));
}

void TstScreens::mixSource_data()
{
    QTest::addColumn<int>("mix");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("mixing");
    QTest::newRow("1") << 1 << "Hi.Level Mix" << true;
    QTest::newRow("2") << 2 << "BT Audio Mix" << true;
    QTest::newRow("3") << 3 << "AUX Mix" << true;
    QTest::newRow("4") << 4 << "USB Audio Mix" << true;
    QTest::newRow("5") << 5 << "USB Mix" << true;
    QTest::newRow("255 direct") << 255 << "TAVELO Direct" << false;
    QTest::newRow("0 direct") << 0 << "TAVELO Direct" << true;
}

void TstScreens::mixSource()
{
    QFETCH(int, mix);
    QFETCH(QString, text);
    QFETCH(bool, mixing);
    NavForm nav;
    m_nCurSystem.set(SysByte::MixSource, quint8(mix));
    nav.updateMixSource();
    QCOMPARE(nav.mixText(), text);
    QCOMPARE(nav.findChild<QLabel *>(QStringLiteral("navMix"))->property("mixing").toBool(), mixing);
}

void TstScreens::portsAndBluetooth()
{
    NavForm nav;
    nav.show();
    QVERIFY(!nav.updateUsingDisk());
    for (int p = 1; p <= 3; ++p)
        QVERIFY(!nav.isPortShown(p));
    DiskInfo a;
    a.port = 1;
    DiskInfo b;
    b.port = 3;
    DiskInfo internal; // the SD card has no port
    UsingUSBDiskList = {a, b, b, internal};
    QVERIFY(nav.updateUsingDisk());
    QVERIFY(nav.isPortShown(1));
    QVERIFY(!nav.isPortShown(2));
    QVERIFY(nav.isPortShown(3));
    UsingUSBDiskList = {internal};
    QVERIFY(!nav.updateUsingDisk());
    QVERIFY(!nav.isPortShown(1));

    nav.updateBLE_ShowHide();
    QVERIFY(!nav.isBleShown());
    m_nCurSystem.set(SysByte::BleConnected, 1);
    nav.updateBLE_ShowHide();
    QVERIFY(nav.isBleShown());
    QVERIFY(nav.findChild<QLabel *>(QStringLiteral("navBluetooth"))->isVisible());
}

void TstScreens::fadeRunsOnlyWhileFading()
{
    NavForm nav;
    nav.show();
    QVERIFY(!nav.isFading());
    nav.SetOpacity_Start(true, true);
    QVERIFY(nav.isFading());
    QVERIFY(!nav.findChild<MLabel *>(QStringLiteral("navTitle"))->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!nav.isFading(), 3000);
    QCOMPARE(nav.opacity(), 1.0);
    QVERIFY(nav.findChild<MLabel *>(QStringLiteral("navTitle"))->isVisible());
    nav.timerOpacityTimeOut(4);
    QCOMPARE(nav.opacity(), 0.4);
}

void TstScreens::formatTimes_data()
{
    QTest::addColumn<qlonglong>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("-5") << -5LL << "00:00";
    QTest::newRow("0") << 0LL << "00:00";
    QTest::newRow("59") << 59LL << "00:59";
    QTest::newRow("60") << 60LL << "01:00";
    QTest::newRow("3725") << 3725LL << "62:05";
    QTest::newRow("6000") << 6000LL << "100:00";
}

void TstScreens::formatTimes()
{
    QFETCH(qlonglong, seconds);
    QFETCH(QString, text);
    QCOMPARE(MainUSBBTForm::FormatTimes(seconds), text);
    MainUSBBTForm form;
    form.mediaPlayerPositionChanged(seconds);
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("positionLabel"))->text(), text);
}

void TstScreens::formatLine_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("hiRes");
    QTest::addColumn<QString>("line");
    QTest::newRow("iso") << "iso"
                         << "2.8224MHz"
                         << "" << true << "DSD / 2.8224MHz";
    QTest::newRow("flac, all parts") << "flac"
                                     << "44.1kHz"
                                     << "16bit" << false << "FLAC / 44.1kHz / 16bit";
    QTest::newRow("mp3, no bit depth") << "mp3"
                                       << "44.1kHz"
                                       << "" << false << "MP3 / 44.1kHz";
    QTest::newRow("type only") << "wav"
                               << ""
                               << "" << false << "WAV";
    QTest::newRow("no rate") << "dsf"
                             << ""
                             << "1bit" << true << "DSF / 1bit";
    QTest::newRow("24/192") << "flac"
                            << "192.0kHz"
                            << "24bit" << true << "FLAC / 192.0kHz / 24bit";
}

void TstScreens::formatLine()
{
    QFETCH(QString, fileType);
    QFETCH(QString, rate);
    QFETCH(QString, detail);
    QFETCH(bool, hiRes);
    QFETCH(QString, line);
    MainUSBBTForm form;
    form.show();
    g_CurMusicPlay.fileType = fileType;
    g_CurMusicPlay.sampleRateText = rate;
    g_CurMusicPlay.detailText = detail;
    g_CurMusicPlay.isHiRes = hiRes;
    g_CurMusicPlay.duration = 3725;
    g_CurMusicPlay.title = QStringLiteral("晴天");
    g_CurMusicPlay.artist = QStringLiteral("아티스트");
    g_CurMusicPlay.album = QStringLiteral("Album");
    form.mediaPlayerInfoChanged();
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("formatLabel"))->text(), line);
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("hiResIcon"))->isVisible(), hiRes);
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("durationLabel"))->text(), QStringLiteral("62:05"));
    QCOMPARE(form.findChild<QSlider *>(QStringLiteral("progressSlider"))->maximum(), 3725);
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("titleLabel"))->text(), QStringLiteral("晴天"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("artistLabel"))->text(), QStringLiteral("아티스트"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("albumLabel"))->text(), QStringLiteral("Album"));
}

void TstScreens::songNumber_data()
{
    QTest::addColumn<int>("listSize");
    QTest::addColumn<int>("tempSize");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::newRow("play list") << 12 << 0 << 2 << 5 << "3 / 12" << true;
    QTest::newRow("larger temporary list") << 5 << 20 << 0 << 5 << "1 / 20" << true;
    QTest::newRow("larger play list") << 30 << 20 << 29 << 5 << "30 / 30" << true;
    QTest::newRow("empty") << 0 << 0 << 4 << 5 << "0 / 0" << true;
    QTest::newRow("bluetooth hides it") << 12 << 0 << 2 << 2 << "3 / 12" << false;
}

void TstScreens::songNumber()
{
    QFETCH(int, listSize);
    QFETCH(int, tempSize);
    QFETCH(int, index);
    QFETCH(int, source);
    QFETCH(QString, text);
    QFETCH(bool, shown);
    MainUSBBTForm form;
    form.show();
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("songNumberLabel"))->text(), QStringLiteral("0/0"));
    for (int i = 0; i < listSize; ++i)
        mediaObjectInfoList.append(MediaObjectInfo{QStringLiteral("flac"), QString::number(i), QString(), 1});
    for (int i = 0; i < tempSize; ++i)
        mediaTempPlayList.append(MediaObjectInfo{QStringLiteral("flac"), QString::number(i), QString(), 1});
    g_CurMusicPlay.curIndex = index;
    m_nCurSystem.set(SysByte::Source, quint8(source));
    form.Update_SongNumber();
    auto *label = form.findChild<QLabel *>(QStringLiteral("songNumberLabel"));
    QCOMPARE(label->text(), text);
    QCOMPARE(label->isVisible(), shown);
}

void TstScreens::layouts_data()
{
    QTest::addColumn<bool>("subPage");
    QTest::newRow("album picture on") << true;
    QTest::newRow("album picture off") << false;
}

void TstScreens::layouts()
{
    QFETCH(bool, subPage);
    MainUSBBTForm form;
    form.show();
    g_CurMusicPlay.isSubPage = subPage;
    form.mainGui_Changed();
    const int left = subPage ? 170 : 1;
    const int right = subPage ? 474 : 480; // exclusive
    const struct {
        const char *name;
        int top, bottom;
    } rows[] = {{"titleLabel", 20, 69}, {"artistLabel", 73, 103}, {"albumLabel", 111, 141}};
    for (const auto &r : rows) {
        auto *l = form.findChild<MLabel *>(QString::fromLatin1(r.name));
        QVERIFY(l);
        QCOMPARE(l->geometry().left(), left);
        QCOMPARE(l->geometry().right(), right - 1);
        QCOMPARE(l->geometry().top(), r.top);
        QCOMPARE(l->geometry().bottom(), r.bottom);
        QCOMPARE(l->alignCenter(), !subPage);
    }
    auto *picture = form.findChild<QWidget *>(QStringLiteral("albumPicture"));
    QCOMPARE(picture->isVisible(), subPage);
    if (subPage) // the picture stays left of the texts
        QVERIFY(picture->geometry().right() < 170);
    // Nothing on the screen leaves the content area.
    for (QWidget *w : form.findChildren<QWidget *>()) {
        if (w->isVisibleTo(&form) && w->parentWidget() != &form)
            QVERIFY2(QRect(0, 0, 480, 283).contains(w->geometry()), qPrintable(w->objectName()));
    }
}

void TstScreens::positionAndBuffering()
{
    MainUSBBTForm form;
    form.show();
    auto *buffering = form.findChild<QLabel *>(QStringLiteral("bufferingLabel"));
    QCOMPARE(buffering->text(), QStringLiteral("缓冲中..."));
    QVERIFY(!buffering->isVisible());
    form.SetBuffing();
    QVERIFY(form.isBuffering());
    form.mediaPlayerPositionChanged(61);
    QVERIFY(!form.isBuffering());
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("positionLabel"))->text(), QStringLiteral("01:01"));
    g_CurMusicPlay.decodeOver = true; // nothing left to buffer
    form.SetBuffing();
    QVERIFY(!form.isBuffering());
    g_CurMusicPlay.decodeOver = false;
    form.SetBuffing();
    form.mediaPlayerPositionChanged(61); // the same second again changes nothing
    QVERIFY(form.isBuffering());
}

void TstScreens::artistFollowsTitle()
{
    MainUSBBTForm form;
    form.show();
    g_CurMusicPlay.title = QStringLiteral("New title");
    g_CurMusicPlay.artist = QStringLiteral("New artist");
    g_CurMusicPlay.album = QStringLiteral("New album");
    form.Update_SongsInfo();
    auto *artist = form.findChild<MLabel *>(QStringLiteral("artistLabel"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("titleLabel"))->text(), QStringLiteral("New title"));
    QVERIFY(artist->text().isEmpty());
    QTRY_COMPARE(artist->text(), QStringLiteral("New artist"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("albumLabel"))->text(), QStringLiteral("New album"));
}

void TstScreens::resetAndBluetooth()
{
    MainUSBBTForm form;
    form.show();
    g_CurMusicPlay.title = QStringLiteral("Song");
    g_CurMusicPlay.fileType = QStringLiteral("flac");
    form.mediaPlayerInfoChanged();
    form.mediaPlayerPositionChanged(30);
    form.resetUSBGui(true);
    QVERIFY(form.findChild<MLabel *>(QStringLiteral("titleLabel"))->text().isEmpty());
    QVERIFY(form.findChild<QLabel *>(QStringLiteral("formatLabel"))->text().isEmpty());
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("positionLabel"))->text(), QStringLiteral("00:00"));
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("songNumberLabel"))->text(), QStringLiteral("0000 / 0000"));
    QCOMPARE(form.findChild<QSlider *>(QStringLiteral("progressSlider"))->value(), 0);

    // Bluetooth track information is shown only for the Bluetooth source.
    form.revBlePlayInfoOver(1, QStringLiteral("Phone song"));
    QVERIFY(form.findChild<MLabel *>(QStringLiteral("titleLabel"))->text().isEmpty());
    m_nCurSystem.set(SysByte::Source, SourceBluetooth);
    form.resetUSBGui(true); // not USB: left alone
    form.resetBTGui();
    form.revBlePlayInfoOver(1, QStringLiteral("Phone song"));
    form.revBlePlayInfoOver(0, QStringLiteral("Phone artist"));
    form.revBlePlayInfoOver(2, QStringLiteral("Phone album"));
    form.revBlePlayInfoOver(3, QStringLiteral("245"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("titleLabel"))->text(), QStringLiteral("Phone song"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("artistLabel"))->text(), QStringLiteral("Phone artist"));
    QCOMPARE(form.findChild<MLabel *>(QStringLiteral("albumLabel"))->text(), QStringLiteral("Phone album"));
    QCOMPARE(form.findChild<QLabel *>(QStringLiteral("durationLabel"))->text(), QStringLiteral("04:05"));
    QCOMPARE(form.findChild<QSlider *>(QStringLiteral("progressSlider"))->maximum(), 245);
    QVERIFY(!form.findChild<QLabel *>(QStringLiteral("songNumberLabel"))->isVisible());
}

void TstScreens::playModeIcon_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("icon");
    QTest::newRow("0 none") << 0 << QString();
    QTest::newRow("1") << 1 << "icon_repeat_song";
    QTest::newRow("2") << 2 << "icon_dir_repeat";
    QTest::newRow("3") << 3 << "icon_dir_shuffle";
    QTest::newRow("4") << 4 << "icon_shuffle";
}

void TstScreens::playModeIcon()
{
    QFETCH(int, mode);
    QFETCH(QString, icon);
    MainUSBBTForm form;
    form.show();
    g_CurMusicPlay.playMode = mode;
    form.Update_PlayBackMode();
    QCOMPARE(form.playModeIconName(), icon);
    auto *label = form.findChild<QLabel *>(QStringLiteral("playModeIcon"));
    QCOMPARE(label->isVisible(), !icon.isEmpty());
    if (!icon.isEmpty())
        QVERIFY(!label->pixmap(Qt::ReturnByValue).isNull());
}

void TstScreens::slideOutRequestsScreen()
{
    MainUSBBTForm form;
    form.show();
    QSignalSpy open(&form, &MainUSBBTForm::openGui);
    form.setOpacityType(3);
    QCOMPARE(form.Get_Anima_Type(), 3);
    QCOMPARE(open.count(), 0);
    QVERIFY(open.wait(5000));
    QCOMPARE(open.first().first().toInt(), 3);
    QCOMPARE(form.Get_Anima_Type(), 0);
    form.hide();
    form.show(); // back from the other screen: in place again
    QCOMPARE(form.findChild<QWidget *>(QStringLiteral("mainContent"))->pos(), QPoint(0, 0));
    form.setAnima(false);
    form.setOpacityType(2);
    QCOMPARE(open.count(), 2);
    QCOMPARE(open.last().first().toInt(), 2);
}

QTEST_MAIN(TstScreens)
#include "tst_screens.moc"
