// Renders the navigation bar, the now-playing screen, the messages, the
// loading widget, a list page, every kind of track browser page (on a
// library made in a temporary folder), the service pages (diagnostics,
// key learning, About, the firmware upgrade), the boot logo and the
// power-off picture as the car shows them (480 x 320, the program's style
// sheet) into PNG files, plus a contact sheet of them all:
//
//   QT_QPA_PLATFORM=offscreen vdx_screens OUTDIR [--lang zh|en|ko]
//
// With --lang every PNG is named NAME-LANG.png and the program's
// translation of that language is loaded (Chinese is the source language).

#include "aboutform.h"
#include "custommessage.h"
#include "database.h"
#include "disklist.h"
#include "electriccheckform.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"
#include "loading.h"
#include "mainusbbtform.h"
#include "mlabel.h"
#include "navform.h"
#include "platform.h"
#include "popupselect.h"
#include "setlanguage.h"
#include "sqltext.h"
#include "textopacity.h"
#include "trackmainform.h"
#include "uiassets.h"
#include "upgradeform.h"
#include "wheelstudy.h"
#include "wheelstudyform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <cstdio>
#include <functional>

namespace {

QString g_out;
QString g_lang; // "" without --lang
QStringList g_shots;
int g_failures = 0;

void waitFor(const std::function<bool()> &done, int ms = 3000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void shoot(QWidget &w, const QString &name)
{
    QCoreApplication::processEvents();
    const QString file = g_lang.isEmpty() ? name : name + QLatin1Char('-') + g_lang;
    const QString path = g_out + QLatin1Char('/') + file + QStringLiteral(".png");
    g_shots << file;
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "screens: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

QImage cover()
{
    QImage img(300, 300, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 300, 300);
    g.setColorAt(0, QColor(0xC0, 0x39, 0x2B));
    g.setColorAt(1, QColor(0x2C, 0x3E, 0x50));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 255, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(150, 150), 110, 110);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(QPointF(150, 150), 20, 20);
    return img;
}

struct Song {
    QString type, rate, detail, title, artist, album;
    bool hiRes;
    qint64 duration, position;
};

// The main window as the controller lays it out: the bar on top, the
// content area from y = 35.
struct Window {
    QWidget root;
    NavForm *nav;
    MainUSBBTForm *main;
    CustomMessage *box;
    CustomMessage *popup;
    Loading *loading;

    Window()
    {
        root.setObjectName(QStringLiteral("centralWidget"));
        root.resize(480, 320);
        root.setAttribute(Qt::WA_StyledBackground);
        nav = new NavForm(&root);
        nav->setGeometry(0, 0, 480, 34);
        main = new MainUSBBTForm(&root);
        main->setGeometry(0, 35, 480, 283);
        box = new CustomMessage(CustomMessage::MessageBox, &root);
        box->setGeometry(0, 35, 480, 283);
        popup = new CustomMessage(CustomMessage::PopupMessage, &root);
        popup->setGeometry(0, 0, 480, 320);
        loading = new Loading(&root);
        loading->setGeometry(0, 0, 480, 320);
        root.show();
    }

    void play(const Song &s)
    {
        g_CurMusicPlay.fileType = s.type;
        g_CurMusicPlay.sampleRateText = s.rate;
        g_CurMusicPlay.detailText = s.detail;
        g_CurMusicPlay.title = s.title;
        g_CurMusicPlay.artist = s.artist;
        g_CurMusicPlay.album = s.album;
        g_CurMusicPlay.isHiRes = s.hiRes;
        g_CurMusicPlay.duration = s.duration;
        g_CurMusicPlay.playState = PlayPlaying;
        main->mainGui_Changed();
        main->mediaPlayerInfoChanged();
        main->mediaPlayerPositionChanged(s.position);
        main->Update_SongNumber();
        main->Update_PlayBackMode();
        nav->updateWindowTitle();
        nav->updateMixSource();
        nav->updateUsingDisk();
        nav->updateBLE_ShowHide();
        nav->updateMainGain(false);
        waitFor([this] { return !nav->isFading(); });
    }
};

void setupCar()
{
    m_nCurSystem.set(SysByte::Source, SourceUsb);
    m_nCurSystem.set(SysByte::MixSource, 255);
    m_nCurSystem.set(SysByte::MainGain, 12);
    m_nCurSystem.set(SysByte::SoundOn, 1);
    m_nCurSystem.set(SysByte::BleConnected, 0);
    DiskInfo d;
    d.port = 1;
    UsingUSBDiskList = {d};
    mediaObjectInfoList.clear();
    for (int i = 0; i < 36; ++i)
        mediaObjectInfoList.append(MediaObjectInfo{QStringLiteral("flac"), QString::number(i), QString(), 1});
    g_CurMusicPlay.curIndex = 6;
    g_CurMusicPlay.playMode = ModeRepeatDir;
    g_CurMusicPlay.isSubPage = true;
    g_CurMusicPlay.albumPicture = QImage();
}

void nowPlaying()
{
    const Song flac{"flac", "44.1kHz", "16bit", "Blue in Green", "Miles Davis", "Kind of Blue", false, 337, 83};
    {
        setupCar();
        g_CurMusicPlay.albumPicture = cover();
        Window w;
        w.play(flac);
        shoot(w.root, QStringLiteral("nowplaying-album-picture"));
    }
    {
        setupCar();
        Window w;
        w.play(flac);
        shoot(w.root, QStringLiteral("nowplaying-standby-picture"));
    }
    {
        setupCar();
        g_CurMusicPlay.isSubPage = false;
        g_CurMusicPlay.playMode = ModeShuffleAll;
        Window w;
        w.play(flac);
        shoot(w.root, QStringLiteral("nowplaying-no-picture"));
    }
    {
        setupCar();
        Window w;
        w.play({"flac", "96.0kHz", "24bit",
                "A title much too long for the screen that scrolls slowly across it while driving", "Orchestra",
                "Symphonies and other long names", true, 1520, 745});
        auto *title = w.main->findChild<MLabel *>(QStringLiteral("titleLabel"));
        waitFor([title] { return title->scrollOffset() >= 60; }, 6000);
        shoot(w.root, QStringLiteral("nowplaying-long-title-scrolling"));
    }
    {
        setupCar();
        g_CurMusicPlay.albumPicture = cover();
        Window w;
        w.play({"mp3", "44.1kHz", "", "晴天", "周杰伦", "叶惠美", false, 269, 12});
        shoot(w.root, QStringLiteral("nowplaying-chinese"));
    }
    {
        setupCar();
        g_CurMusicPlay.isSubPage = false;
        g_CurMusicPlay.playMode = ModeRepeatSong;
        Window w;
        w.play({"flac", "48.0kHz", "16bit", "봄날의 노래", "김민지", "첫 번째 앨범", false, 241, 200});
        shoot(w.root, QStringLiteral("nowplaying-korean"));
    }
    {
        setupCar();
        Window w;
        w.play({"flac", "192.0kHz", "24bit", "Hi-Res Test Tone", "VDX-730 demo", "Studio masters", true, 3725, 3600});
        shoot(w.root, QStringLiteral("nowplaying-hires"));
    }
    {
        setupCar();
        g_CurMusicPlay.playMode = ModeShuffleDir;
        Window w;
        w.play({"iso", "2.8224MHz", "", "Track 03", "SACD artist", "SACD album", true, 412, 5});
        w.main->SetBuffing();
        shoot(w.root, QStringLiteral("nowplaying-dsd-buffering"));
    }
}

void navigation()
{
    {
        setupCar();
        DiskInfo a, b, c;
        a.port = 1;
        b.port = 2;
        c.port = 3;
        UsingUSBDiskList = {a, b, c};
        m_nCurSystem.set(SysByte::BleConnected, 1);
        m_nCurSystem.set(SysByte::MixSource, 2);
        m_nCurSystem.set(SysByte::MainGain, 7);
        Window w;
        w.play({"wav", "44.1kHz", "16bit", "Ports and Bluetooth", "", "", false, 100, 10});
        shoot(w.root, QStringLiteral("nav-ports-bluetooth-mix"));
    }
    {
        setupCar();
        m_nCurSystem.set(SysByte::SoundOn, 0);
        m_nCurSystem.set(SysByte::Source, SourceBluetooth);
        m_nCurSystem.set(SysByte::MainGain, 40);
        Window w;
        w.main->resetBTGui();
        w.nav->updateWindowTitle();
        w.nav->updateMixSource();
        w.nav->updateUsingDisk();
        w.nav->updateMainGain(false);
        w.main->revBlePlayInfoOver(1, QStringLiteral("Phone song"));
        w.main->revBlePlayInfoOver(0, QStringLiteral("Phone artist"));
        w.main->revBlePlayInfoOver(3, QStringLiteral("214"));
        w.main->mediaPlayerPositionChanged(20);
        waitFor([&w] { return !w.nav->isFading(); });
        shoot(w.root, QStringLiteral("nav-mute-bluetooth-source"));
    }
}

void messages()
{
    setupCar();
    {
        Window w;
        w.play({"flac", "44.1kHz", "16bit", "", "", "", false, 0, 0});
        w.main->resetUSBGui(true);
        w.box->setText(QStringLiteral("请插入USB"), 1);
        w.box->setDisplayTime(0);
        waitFor([&w] { return w.box->opacity() >= 1.0; });
        shoot(w.root, QStringLiteral("message-box-no-usb"));
        w.box->setText(QStringLiteral("No Song"), 1);
        w.box->setDisplayTime(0);
        waitFor([&w] { return w.box->opacity() >= 1.0; });
        shoot(w.root, QStringLiteral("message-box-english"));
        w.box->setText(QStringLiteral("노래 없음"), 1);
        w.box->setDisplayTime(0);
        waitFor([&w] { return w.box->opacity() >= 1.0; });
        shoot(w.root, QStringLiteral("message-box-korean"));
    }
    {
        Window w;
        w.play({"flac", "44.1kHz", "16bit", "Paused song", "Artist", "Album", false, 300, 120});
        w.box->setPixmap(UiAssets::pixmap(UiAssets::icon(QStringLiteral("paused"))), CustomMessage::KindPause);
        waitFor([&w] { return w.box->opacity() >= 1.0; });
        shoot(w.root, QStringLiteral("message-box-pause-picture"));
    }
    {
        Window w;
        w.play({"flac", "44.1kHz", "16bit", "Song", "Artist", "Album", false, 300, 120});
        w.popup->setText(QStringLiteral("接入USB不可超过\n6个硬盘/U盘/分区"), -1);
        w.popup->setDisplayTime(0);
        waitFor([&w] { return w.popup->opacity() >= 1.0 && w.popup->boxRect().height() >= 280; });
        shoot(w.root, QStringLiteral("popup-message-text"));
        w.popup->setPixmap(UiAssets::pixmap(UiAssets::icon(QStringLiteral("paused"))), CustomMessage::KindPause);
        waitFor([&w] { return w.popup->opacity() >= 1.0 && w.popup->boxRect().height() >= 280; });
        shoot(w.root, QStringLiteral("popup-message-pause-picture"));
    }
    {
        Window w;
        w.play({"flac", "44.1kHz", "16bit", "Song", "Artist", "Album", false, 300, 120});
        w.loading->setLoading(true);
        w.loading->setText(QStringLiteral("正在恢复原厂设置"));
        w.loading->setMaxRange(100, 18);
        w.loading->setPersent(45);
        waitFor([&w] { return w.loading->angle() == 240; });
        shoot(w.root, QStringLiteral("loading"));
    }
    {
        Window w;
        auto *popup = new PopupSelect(&w.root);
        popup->setType(11, QStringLiteral("确定切换系统采样率192kHz? \n系统将会重启"));
        popup->setChoices({QStringLiteral("取消"), QStringLiteral("确定")}, 1);
        popup->setValChange(true);
        shoot(w.root, QStringLiteral("popup-select"));
    }
}

void listPage()
{
    setupCar();
    Window w;
    w.main->hide();
    w.nav->setType(true);
    w.nav->setWindowTitle(QStringLiteral("类别"));
    auto *list = new ListViewWidget(&w.root);
    list->setGeometry(0, 35, 480, 283);
    for (int port = 1; port <= 3; ++port) {
        ListInfo row;
        row.title = QStringLiteral("USB %1").arg(port);
        row.iconPath = UiAssets::icon(QStringLiteral("icon_list_usb%1").arg(port));
        row.id = port;
        list->setListData(row);
    }
    ListInfo search;
    search.title = QStringLiteral("搜索");
    search.iconPath = UiAssets::icon(QStringLiteral("icon_list_serch_device"));
    search.id = 4;
    list->setListData(search);
    ListInfo song;
    song.title = QStringLiteral("노래 - a long song title that scrolls");
    song.iconPath = UiAssets::icon(QStringLiteral("icon_song"));
    song.rightText = QStringLiteral("38.2M");
    song.type = 6;
    list->setListData(song);
    list->show();
    list->setSelectRow(1);
    waitFor([list] { return !list->isHighlightMoving(); });
    shoot(w.root, QStringLiteral("list-first-page"));
}

// A library and two sticks (one with two partitions) in a temporary sandbox.
struct BrowserSong {
    const char *path;
    const char *artist;
    const char *album;
    qint64 size;
    qint64 day;
};

DiskInfo browserVolume(int id, int port, const QString &partition, const QString &label,
                       const QList<BrowserSong> &songs)
{
    DiskInfo d;
    d.diskID = id;
    d.port = port;
    d.musicTableID = port;
    d.arrivalNo = id;
    d.diskName = label;
    d.storageId = partition;
    d.diskSizes = 1000000LL * id;
    d.hasSongs = true;
    d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_%1/%2").arg(port).arg(partition);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(MusicDataBaseName), &db);
    sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    for (const BrowserSong &s : songs) {
        const QString rel = QString::fromUtf8(s.path);
        const QString full = d.diskPath + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        f.open(QIODevice::WriteOnly);
        const QString title = QFileInfo(rel).completeBaseName();
        const QString artist = QString::fromUtf8(s.artist);
        const QString album = QString::fromUtf8(s.album);
        char *sql = sqlite3_mprintf(
            "insert into %s values(1,'%q','%q','%q','%q',%lld,'%q','%q','%q','%q',%lld,%d)",
            get_MusicTableName(&d).toLatin1().constData(), sqliteEscape(title).toUtf8().constData(),
            DataBase::GetFirstLetterResu(title).toUtf8().constData(),
            QFileInfo(rel).suffix().toLower().toUtf8().constData(), sqliteEscape(rel).toUtf8().constData(), s.size,
            sqliteEscape(artist).toUtf8().constData(), DataBase::GetFirstLetterResu(artist).toUtf8().constData(),
            sqliteEscape(album).toUtf8().constData(), DataBase::GetFirstLetterResu(album).toUtf8().constData(), s.day,
            id);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_free(sql);
    }
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return d;
}

void browserPages()
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + QStringLiteral("/run/media/mmcblk1p3"));
    Platform::setSandbox(tmp.path());
    InitPaths();
    InitData();
    ExeShellForDB().CreatNewMusicDB(false);
    const qint64 day = 86400;
    const DiskInfo a = browserVolume(
        1, 1, QStringLiteral("sda1"), QStringLiteral("MUSIC"),
        {{"Albums/Kind of Blue/So What.flac", "Miles Davis", "Kind of Blue", 42000000, 1500000000},
         {"Albums/Kind of Blue/Blue in Green.flac", "Miles Davis", "Kind of Blue", 31000000, 1500000000 + day},
         {"中文/周杰伦/晴天.mp3", "周杰伦", "叶惠美", 9000000, 1700000000},
         {"中文/周杰伦/稻香.mp3", "周杰伦", "魔杰座", 8500000, 1650000000},
         {"中文/周杰伦/一首名字非常非常长的中文歌曲需要在车里慢慢滚动显示出来.flac", "周杰伦", "叶惠美", 52000000,
          1600000000},
         {"한국어/봄날의 노래.flac", "김민지", "첫 번째 앨범", 27000000, 1610000000},
         {"한국어/밤편지.flac", "아이유", "팔레트", 26000000, 1620000000},
         {"Empty folder/", "", "", 0, 0},
         {"Hi-Res/Symphony No. 9 in D minor, Op. 125 - IV. Finale (24-192).flac", "Orchestra", "Symphonies", 380000000,
          1550000000},
         {"Root song.wav", "Latin Band", "Live", 61000000, 1400000000}});
    const DiskInfo b1 = browserVolume(2, 2, QStringLiteral("sdb1"), QStringLiteral("CAR"),
                                      {{"Road/Drive.mp3", "Road Band", "Trip", 7000000, 1580000000}});
    const DiskInfo b2 =
        browserVolume(3, 2, QStringLiteral("sdb2"), QString(), {{"p2.flac", "Part", "Two", 9000000, 1590000000}});
    UsingUSBDiskList = {a, b1, b2};
    std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
    setupCar();
    UsingUSBDiskList = {a, b1, b2};
    std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
    DataBase db;
    db.createConnection();
    Window w;
    w.main->hide();
    auto *form = new TrackMainForm(&db, w.loading, w.popup, &w.root);
    form->setGeometry(0, 35, 480, TrackMainForm::Height);
    form->setAnimated(false);
    QObject::connect(&db, &DataBase::readDBInfo, form, &TrackMainForm::Slot_readDiskInfo);
    QObject::connect(&db, &DataBase::sig_NoneData, form, &TrackMainForm::Slot_NoneDBData);
    QObject::connect(form, &TrackMainForm::setWindowTitle, w.nav, &NavForm::setWindowTitle);
    w.nav->setType(true);
    w.nav->updateUsingDisk();
    w.nav->updateMainGain(false);
    form->syncDisks();
    form->show();
    w.nav->setWindowTitle(form->currentTitle());
    w.box->raise();
    w.popup->raise();
    auto settle = [form] { waitFor([form] { return !form->isFilling() && form->isReady(); }, 10000); };
    auto open = [&](const QString &row) {
        form->selectRowByText(row);
        form->click_Current_Row();
        settle();
        QCoreApplication::processEvents();
    };
    auto frame = [&](const QString &name) {
        waitFor([form] { return !form->currentList()->isHighlightMoving(); });
        shoot(w.root, name);
    };
    form->change_Current_Row(true, 1);
    frame(QStringLiteral("browser-first-page"));
    open(QStringLiteral("USB 2"));
    frame(QStringLiteral("browser-partitions"));
    form->Prev_Gui_Action(false);
    open(QStringLiteral("USB 1"));
    form->change_Current_Row(true, 2);
    frame(QStringLiteral("browser-folder-page"));
    open(QStringLiteral("中文"));
    open(QStringLiteral("周杰伦"));
    form->selectRowByText(QStringLiteral("一首名字非常非常长的中文歌曲需要在车里慢慢滚动显示出来"));
    waitFor([] { return false; }, 2500); // the current row's long title scrolls
    frame(QStringLiteral("browser-folder-chinese-scrolling"));
    form->ClearTempDiskListData(true);
    open(QStringLiteral("USB 1"));
    open(QStringLiteral("Empty folder"));
    frame(QStringLiteral("browser-empty-folder"));
    form->ClearTempDiskListData(true);
    open(QStringLiteral("搜索"));
    frame(QStringLiteral("browser-search"));
    open(QStringLiteral("艺术家"));
    frame(QStringLiteral("browser-search-artists"));
    open(QStringLiteral("김민지"));
    frame(QStringLiteral("browser-search-artist-songs-korean"));
    form->Prev_Gui_Action(false);
    form->Prev_Gui_Action(false);
    open(QStringLiteral("文件格式"));
    frame(QStringLiteral("browser-search-formats"));
    form->Prev_Gui_Action(false);
    open(QStringLiteral("日期"));
    frame(QStringLiteral("browser-search-date"));
    form->Prev_Gui_Action(false);
    open(QStringLiteral("文件大小"));
    frame(QStringLiteral("browser-search-size"));
    form->ClearTempDiskListData(true);
    open(QStringLiteral("USB 3"));
    waitFor([&w] { return w.popup->opacity() >= 1.0; });
    shoot(w.root, QStringLiteral("browser-port-without-disk"));
    UsingUSBDiskList.clear();
    mediaObjectInfoList.clear();
}

void logoAndPowerOff()
{
    TextOpacity logo;
    logo.resize(480, 320);
    logo.setImage(QStringLiteral(":loading/Resource/loading/logo"));
    logo.show();
    shoot(logo, QStringLiteral("boot-logo"));
    QWidget off;
    off.resize(480, 320);
    off.setObjectName(QStringLiteral("offWindow"));
    off.setAttribute(Qt::WA_StyledBackground);
    off.setStyleSheet(
        QStringLiteral("QWidget#offWindow{background:#000 url(:loading/Resource/loading/powerOff.png) no-repeat;}"));
    off.show();
    shoot(off, QStringLiteral("power-off"));
}

QString trIn(const char *context, const char *text)
{
    return QCoreApplication::translate(context, text);
}

// Every status message of the main screen and the popups of the controller,
// in the language shown.
void statusMessages()
{
    setupCar();
    const struct {
        const char *name;
        const char *text;
        bool popup;
    } all[] = {
        {"status-no-usb", "请插入USB", false},
        {"status-no-songs", "无歌曲", false},
        {"status-reading", "设备读取中", false},
        {"status-bt-searching", "设备搜寻中", false},
        {"status-device-not-supported", "设备不支持", false},
        {"status-version-mismatch", "版本不匹配", false},
        {"popup-too-many-disks", "接入USB不可超过\n6个硬盘/U盘/分区", true},
        {"popup-app-connected", "APP已连接\n不可进入设置界面", true},
        {"popup-wheel-key-cleared", "已清除异常指令", true},
        {"popup-not-supported", "系统不支持", true},
        {"popup-no-sub-channel", "无超低通道", true},
    };
    for (const auto &m : all) {
        Window w;
        w.play({"flac", "44.1kHz", "16bit", "", "", "", false, 0, 0});
        CustomMessage *box = m.popup ? w.popup : w.box;
        if (!m.popup)
            w.main->resetUSBGui(true);
        box->setText(trIn("MainWindow", m.text), 1);
        box->setDisplayTime(0);
        waitFor([box] { return box->opacity() >= 1.0 && (box->mode() == 0 || box->boxRect().height() >= 280); });
        shoot(w.root, QString::fromLatin1(m.name));
    }
}

// A service page in the content area under the bar with its title.
template <typename Page>
struct ServiceWindow : Window {
    Page *page;
    explicit ServiceWindow(const char *title)
    {
        main->hide();
        page = new Page(&root);
        page->setGeometry(0, 35, 480, 283);
        page->show();
        nav->setType(true);
        nav->setWindowTitle(trIn("MainWindow", title));
        waitFor([this] { return !nav->isFading(); });
    }
};

void waitShown(CustomMessage *m)
{
    waitFor([m] { return m->opacity() >= 1.0; });
}

void servicePages(const QString &tmp)
{
    setupCar();
    {
        ServiceWindow<ElectricCheckForm> w("电检模式");
        shoot(w.root, QStringLiteral("diagnostics"));
        w.page->change_Current_Row(true, 2);
        w.page->click_Current_Row(); // no serial number in the record
        waitShown(w.page->message());
        shoot(w.root, QStringLiteral("diagnostics-no-serial"));
        const QByteArray sn("VDX730-2026-000123");
        for (int i = 0; i < 40; ++i)
            m_nCurSystem.set(96 + i, i < sn.size() ? quint8(sn[i]) : 0);
        w.page->Prev_Gui_Action();
        waitFor([&w] { return !w.page->message()->isVisible(); });
        w.page->click_Current_Row();
        waitShown(w.page->message());
        shoot(w.root, QStringLiteral("diagnostics-serial"));
    }
    {
        ServiceWindow<ElectricCheckForm> w("电检模式");
        UsingUSBDiskList.clear();
        w.page->click_Current_Row();
        waitShown(w.page->message());
        shoot(w.root, QStringLiteral("diagnostics-no-package"));
    }
    {
        const QString disk = tmp + QStringLiteral("/stick");
        QDir().mkpath(disk);
        for (const char *name : {"FW-PK_VDX730_V3.01.vcl", "FW-PK_VDX730_DSP_V2.10.vcl"}) {
            QFile f(disk + QLatin1Char('/') + QLatin1String(name));
            if (f.open(QIODevice::WriteOnly))
                f.write("package");
        }
        DiskInfo d;
        d.port = 1;
        d.diskPath = disk;
        UsingUSBDiskList = {d};
        ServiceWindow<ElectricCheckForm> w("电检模式");
        w.page->click_Current_Row();
        w.nav->setWindowTitle(trIn("ElectricCheckForm", "固件更新"));
        waitFor([&w] { return !w.nav->isFading(); });
        shoot(w.root, QStringLiteral("diagnostics-packages"));
        // The package script: a slow one that ends in garbage.
        const QString script = tmp + QStringLiteral("/checkUpdate.sh");
        QFile f(script);
        if (f.open(QIODevice::WriteOnly))
            f.write("sleep 1; echo not-a-number\n");
        f.close();
        w.page->setUpdateScript(script);
        w.page->click_Current_Row();
        waitShown(w.page->message());
        shoot(w.root, QStringLiteral("diagnostics-file-processing"));
        waitFor([&w] { return !w.page->processing(); }, 10000);
        waitFor([&w] { return w.page->message()->opacity() >= 1.0 && !w.page->message()->isFading(); });
        shoot(w.root, QStringLiteral("diagnostics-file-error"));
    }
    {
        for (int k = 0; k < 7; ++k)
            m_nCurSystem.set(WheelStudy::valueByte(k), 255);
        m_nCurSystem.set(WheelStudy::valueByte(0), 30);
        m_nCurSystem.set(WheelStudy::valueByte(1), 62);
        m_nCurSystem.set(WheelStudy::valueByte(2), 96);
        m_nCurSystem.set(54, 0x04);
        g_TempData.wheelAd1 = 200;
        g_TempData.wheelAd2 = 200;
        ServiceWindow<WheelStudyForm> w("方控学习");
        shoot(w.root, QStringLiteral("learning-keys"));
        w.page->SetWireDataStuy(0);
        waitShown(w.page->popup());
        shoot(w.root, QStringLiteral("learning-relearn-asked"));
        w.page->Prev_Gui_Action();
        waitFor([&w] { return !w.page->popup()->isVisible(); });
        w.page->change_Current_Row(true, 3);
        w.page->click_Current_Row();
        waitShown(w.page->popup());
        shoot(w.root, QStringLiteral("learning-waiting"));
        w.page->Study_Poll(140, 200);
        waitShown(w.page->popup());
        shoot(w.root, QStringLiteral("learning-completed"));
        waitFor([&w] { return w.page->state() == WheelStudyForm::State::Idle; }, 5000);
        w.page->change_Current_Row(true);
        w.page->click_Current_Row();
        w.page->Study_Poll(141, 200); // the value just learned
        waitShown(w.page->popup());
        shoot(w.root, QStringLiteral("learning-failed"));
        w.page->Prev_Gui_Action();
    }
    {
        RevMCU_VERSION = QStringLiteral("MPQX-WV3.00");
        ServiceWindow<AboutForm> w("关于");
        shoot(w.root, QStringLiteral("about"));
    }
    {
        m_nReadDsp_McuFile_Flag.totalFrames = 5963;
        QWidget root;
        root.setObjectName(QStringLiteral("centralWidget"));
        root.resize(480, 320);
        root.setAttribute(Qt::WA_StyledBackground);
        auto *form = new UpgradeForm(&root);
        root.show();
        form->setPersent(2);
        form->setPersent(2210);
        shoot(root, QStringLiteral("upgrade-progress"));
        form->setPersent(5963);
        shoot(root, QStringLiteral("upgrade-completed"));
        form->reset();
        form->setPersent(2);
        form->setPersent(800);
        form->UpgradeFailed();
        shoot(root, QStringLiteral("upgrade-failed"));
    }
}

// All shots of this run on one sheet, half size, named.
void contactSheet()
{
    if (g_shots.isEmpty())
        return;
    const int cols = 4, tw = 240, th = 160, caption = 22, gap = 8;
    const int rows = (g_shots.size() + cols - 1) / cols;
    QImage sheet(cols * (tw + gap) + gap, rows * (th + caption + gap) + gap, QImage::Format_RGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont f = p.font();
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(QColor(0xE8, 0xE8, 0xE8));
    for (int i = 0; i < g_shots.size(); ++i) {
        const int x = gap + (i % cols) * (tw + gap);
        const int y = gap + (i / cols) * (th + caption + gap);
        const QImage img(g_out + QLatin1Char('/') + g_shots.at(i) + QStringLiteral(".png"));
        p.drawImage(QRect(x, y, tw, th), img);
        p.drawText(QRect(x, y + th, tw, caption), Qt::AlignCenter, g_shots.at(i));
    }
    p.end();
    const QString name = g_lang.isEmpty() ? QStringLiteral("contact-sheet") : QStringLiteral("contact-sheet-") + g_lang;
    if (!sheet.save(g_out + QLatin1Char('/') + name + QStringLiteral(".png")))
        ++g_failures;
}

// The program's translation of a language, as the player installs it
// (Chinese is the source).
void loadLanguage(const QString &lang)
{
    const int id = QStringList{QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ko")}.indexOf(lang);
    if (id > 0) {
        SetLanguage::GetLanguageInstance()->ChangeLanguage(id);
        LanguageID = id;
    }
}

// Shots another renderer left in the folder for this language (the setup
// pages of vdx_setupshots) join the contact sheet.
void adoptShots()
{
    if (g_lang.isEmpty())
        return;
    const QStringList found =
        QDir(g_out).entryList({QStringLiteral("setup-*-") + g_lang + QStringLiteral(".png")}, QDir::Files, QDir::Name);
    for (const QString &f : found) {
        const QString name = f.chopped(4);
        if (!g_shots.contains(name))
            g_shots << name;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 4 && args.at(2) == QLatin1String("--lang"))) {
        std::fprintf(stderr, "usage: vdx_screens OUTDIR [--lang zh|en|ko]\n");
        return 2;
    }
    g_out = args.at(1);
    if (args.size() == 4)
        g_lang = args.at(3);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "screens: cannot make %s\n", argv[1]);
        return 1;
    }
    UiAssets::registerFonts();
    QFile qss(QStringLiteral(":/qss/Resource/MainStyle.qss"));
    if (qss.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromLatin1(qss.readAll()));
    loadLanguage(g_lang);
    QTemporaryDir tmp;
    nowPlaying();
    navigation();
    messages();
    listPage();
    browserPages();
    statusMessages();
    servicePages(tmp.path());
    logoAndPowerOff();
    adoptShots();
    contactSheet();
    return g_failures == 0 ? 0 : 1;
}
