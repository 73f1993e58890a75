// The track browser driven as the controller drives it (knob turns and
// presses, back), on a library and folder trees made at test time: pages
// and their rows, partitions, re-entry without a second read, pages of
// thousands of rows, searches down to a song, the play lists and play-mode
// fixes of a choice, empty pages, and a stick pulled while its pages show.
#include "custommessage.h"
#include "libraryfixture.h"
#include "listviewwidget.h"
#include "scanablumartist.h"
#include "trackmainform.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using LibraryFixture::Song;

bool pressRow(TrackMainForm *form, const QString &text)
{
    if (!form->selectRowByText(text))
        return false;
    form->click_Current_Row();
    return true;
}

} // namespace

class TstTrackMainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstPage();
    void directoryPagesAndReentry();
    void partitions();
    void largeFolderShowsChunks();
    void searchLevelsDownToASong_data();
    void searchLevelsDownToASong();
    void songsInPinyinOrder();
    void searchReentryReadsNothing();
    void albumPassFillsTheArtistLevel();
    void playFromDirectory_data();
    void playFromDirectory();
    void playFromSearchModeFixes_data();
    void playFromSearchModeFixes();
    void emptyFolderAndNoSongs();
    void stickPulledWhilePageShown();
    void backSlides();

private:
    QTemporaryDir m_tmp;
    DataBase *m_db = nullptr;
    CustomMessage *m_popup = nullptr;
    TrackMainForm *m_form = nullptr;
    QWidget *m_window = nullptr;
    DiskInfo m_a;  // port 1: a folder tree, 2,000 songs in one folder
    DiskInfo m_b1; // port 2, two partitions
    DiskInfo m_b2;
};

void TstTrackMainForm::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY(LibraryFixture::makeLibrary(m_tmp.path()));
    m_a = LibraryFixture::volume(1, 1, QStringLiteral("sda1"), QStringLiteral("MUSIC"));
    m_b1 = LibraryFixture::volume(2, 2, QStringLiteral("sdb1"));
    m_b2 = LibraryFixture::volume(3, 2, QStringLiteral("sdb2"));
    QList<Song> a{
        {QStringLiteral("Jazz/Blue in Green.flac"), QStringLiteral("Miles Davis"), QStringLiteral("Kind of Blue"), 5000,
         1600000000},
        {QStringLiteral("Jazz/So What.flac"), QStringLiteral("Miles Davis"), QStringLiteral("Kind of Blue"), 9000,
         1500000000},
        {QStringLiteral("中文/晴天.mp3"), QStringLiteral("周杰伦"), QStringLiteral("叶惠美"), 3000, 1700000000},
        {QStringLiteral("中文/稻香.mp3"), QStringLiteral("周杰伦"), QStringLiteral("魔杰座"), 2000, 1650000000},
        {QStringLiteral("中文/安静.mp3"), QStringLiteral("周杰伦"), QStringLiteral("范特西"), 2500, 1640000000},
        {QStringLiteral("한국어/봄날.wav"), QStringLiteral("김민지"), QStringLiteral("첫 번째"), 7000, 1610000000},
        {QStringLiteral("root.flac"), QString(), QString(), 100, 1400000000},
        {QStringLiteral("Empty/"), QString(), QString()},
    };
    for (int i = 0; i < 2000; ++i)
        a.append({QStringLiteral("Big/song %1.mp3").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("Many"),
                  QStringLiteral("Big Album"), 1000 + i, 1300000000});
    QVERIFY(LibraryFixture::addSongs(m_a, a));
    QVERIFY(LibraryFixture::addSongs(m_b1, {{QStringLiteral("p1.flac"), QStringLiteral("Part"), QStringLiteral("P")}}));
    QVERIFY(LibraryFixture::addSongs(m_b2, {{QStringLiteral("p2.flac"), QStringLiteral("Part"), QStringLiteral("P")}}));
    m_db = new DataBase;
    QVERIFY(m_db->createConnection());
}

void TstTrackMainForm::init()
{
    LibraryFixture::mount({m_a, m_b1, m_b2});
    g_CurMusicPlay.playMode = ModeListOrder;
    g_CurMusicPlay.musiclistType = ListAllSongs;
    mediaObjectInfoList.clear();
    m_window = new QWidget;
    m_popup = new CustomMessage(CustomMessage::PopupMessage, m_window);
    m_form = new TrackMainForm(m_db, nullptr, m_popup, m_window);
    QObject::connect(m_db, &DataBase::readDBInfo, m_form, &TrackMainForm::Slot_readDiskInfo);
    QObject::connect(m_db, &DataBase::sig_NoneData, m_form, &TrackMainForm::Slot_NoneDBData);
    m_form->setAnimated(false);
    m_form->syncDisks();
}

void TstTrackMainForm::cleanup()
{
    delete m_window;
    m_window = nullptr;
    m_form = nullptr;
}

void TstTrackMainForm::firstPage()
{
    QCOMPARE(m_form->currentKind(), TrackMainForm::FirstPage);
    QCOMPARE(m_form->currentTitle(), QStringLiteral("类别"));
    QCOMPARE(m_form->currentRowCount(), 4);
    const QStringList rows{QStringLiteral("USB 1"), QStringLiteral("USB 2"), QStringLiteral("USB 3"),
                           QStringLiteral("搜索")};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(m_form->currentRowText(i), rows.at(i));
        QVERIFY(!m_form->currentList()->rowInfo(i).iconPath.isEmpty());
    }
    QCOMPARE(m_form->currentList()->rowInfo(0).rightText, QStringLiteral("MUSIC"));
    // A port without a disk: "没有文件", no page.
    QVERIFY(pressRow(m_form, QStringLiteral("USB 3")));
    QCOMPARE(m_form->pageDepth(), 1);
    QCOMPARE(m_popup->text(), QStringLiteral("没有文件"));
}

void TstTrackMainForm::directoryPagesAndReentry()
{
    QSignalSpy speed(m_form, &TrackMainForm::setMusicScanSpeed);
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QCOMPARE(m_form->currentKind(), TrackMainForm::DirPage);
    QCOMPARE(m_form->currentTitle(), QStringLiteral("USB 1"));
    QTRY_VERIFY(!m_form->isFilling());
    // Folders first (Empty, Jazz, Big, 中文, 한국어 in listing order), then the root's song.
    QCOMPARE(m_form->currentRowCount(), 6);
    QCOMPARE(m_form->currentRowText(5), QStringLiteral("root"));
    QCOMPARE(speed.first().first().toInt(), 5000); // the volume scan rests while the folder is listed
    QCOMPARE(speed.last().first().toInt(), 20);
    const int reads = m_form->readsStarted();
    QVERIFY(pressRow(m_form, QStringLiteral("中文")));
    QTRY_VERIFY(!m_form->isFilling());
    QCOMPARE(m_form->currentTitle(), QStringLiteral("中文"));
    QCOMPARE(m_form->currentRowCount(), 3);
    QCOMPARE(m_form->readsStarted(), reads + 1);
    QVERIFY(!m_form->Prev_Gui_Action(false, true));
    QCOMPARE(m_form->currentTitle(), QStringLiteral("USB 1"));
    // Back into the same folder: the page is reused, nothing is read.
    QVERIFY(pressRow(m_form, QStringLiteral("中文")));
    QCOMPARE(m_form->currentRowCount(), 3);
    QVERIFY(!m_form->isFilling());
    QCOMPARE(m_form->readsStarted(), reads + 1);
    QVERIFY(!m_form->Prev_Gui_Action(false, true));
    QVERIFY(m_form->Prev_Gui_Action(false, true) == false);
    QVERIFY(m_form->Prev_Gui_Action(false, true)); // the first page: no level left
    QCOMPARE(m_form->currentKind(), TrackMainForm::FirstPage);
}

void TstTrackMainForm::partitions()
{
    QVERIFY(pressRow(m_form, QStringLiteral("USB 2")));
    QCOMPARE(m_form->currentKind(), TrackMainForm::PartitionPage);
    QCOMPARE(m_form->currentRowCount(), 2);
    QCOMPARE(m_form->currentRowText(0), QStringLiteral("分区1"));
    QCOMPARE(m_form->currentRowText(1), QStringLiteral("分区2"));
    QVERIFY(pressRow(m_form, QStringLiteral("分区2")));
    QTRY_VERIFY(!m_form->isFilling());
    QCOMPARE(m_form->currentRowText(0), QStringLiteral("p2"));
}

void TstTrackMainForm::largeFolderShowsChunks()
{
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("Big")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isFilling(), 20000);
    QCOMPARE(m_form->currentRowCount(), 2000);
    ListViewWidget *list = m_form->currentList();
    QCOMPARE(list->rowCount(), TrackMainForm::ChunkRows);
    // Turning down the list brings the next rows in before the knob gets there.
    m_form->change_Current_Row(true, 35);
    QCOMPARE(list->currentRow(), 35);
    QVERIFY(list->rowCount() >= 35 + TrackMainForm::ChunkAhead);
    for (int i = 0; i < 60; ++i)
        m_form->change_Current_Row(true, 51);
    QCOMPARE(list->currentRow(), 1999);
    QCOMPARE(list->rowCount(), 2000);
    m_form->change_Current_Row(true, 5); // held at the last row
    QCOMPARE(list->currentRow(), 1999);
}

void TstTrackMainForm::searchLevelsDownToASong_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("category"); // "" for a level that lists songs at once
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("rightText");
    QTest::newRow("artists") << QStringLiteral("艺术家") << QStringLiteral("김민지") << QStringLiteral("봄날")
                             << QString();
    QTest::newRow("albums") << QStringLiteral("专辑") << QStringLiteral("Kind of Blue") << QStringLiteral("So What")
                            << QString();
    QTest::newRow("songs") << QStringLiteral("歌曲") << QString() << QStringLiteral("晴天") << QString();
    QTest::newRow("format") << QStringLiteral("文件格式") << QStringLiteral("WAV") << QStringLiteral("봄날")
                            << QString();
    QTest::newRow("date") << QStringLiteral("日期") << QString() << QStringLiteral("晴天")
                          << QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy/MM/dd"));
    QTest::newRow("size") << QStringLiteral("文件大小") << QString() << QStringLiteral("So What")
                          << DataBase::bytesToSize(9000);
}

void TstTrackMainForm::searchLevelsDownToASong()
{
    QFETCH(QString, level);
    QFETCH(QString, category);
    QFETCH(QString, song);
    QFETCH(QString, rightText);
    QSignalSpy play(m_form, &TrackMainForm::playIndexMusic);
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QCOMPARE(m_form->currentKind(), TrackMainForm::SearchMenu);
    QCOMPARE(m_form->currentRowCount(), 6);
    QVERIFY(pressRow(m_form, level));
    QCOMPARE(m_form->currentTitle(), level);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isFilling(), 20000);
    if (!category.isEmpty()) {
        QVERIFY2(pressRow(m_form, category), qPrintable(category));
        QCOMPARE(m_form->currentTitle(), category);
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isFilling(), 20000);
    }
    QVERIFY(m_form->selectRowByText(song));
    const int row = m_form->currentList()->currentRow();
    QCOMPARE(m_form->currentList()->rowInfo(row).rightText, rightText);
    m_form->click_Current_Row();
    QCOMPARE(play.size(), 1);
    QCOMPARE(play.first().first().toInt(), row);
    QCOMPARE(mediaObjectInfoList.at(row).fileName, song);
    QCOMPARE(g_CurMusicPlay.musiclistType.get(), int(ListSearch));
}

void TstTrackMainForm::songsInPinyinOrder()
{
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QVERIFY(pressRow(m_form, QStringLiteral("歌曲")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isFilling(), 20000);
    auto rowOf = [this](const QString &text) {
        for (int i = 0; i < m_form->currentRowCount(); ++i) {
            if (m_form->currentRowText(i) == text)
                return i;
        }
        return -1;
    };
    // Titles by their initials: 安静 (aj), Blue in Green, 稻香 (dx), 晴天 (qt), root.
    const QStringList order{QStringLiteral("安静"), QStringLiteral("Blue in Green"), QStringLiteral("稻香"),
                            QStringLiteral("晴天"), QStringLiteral("root")};
    for (int i = 1; i < order.size(); ++i)
        QVERIFY2(rowOf(order.at(i - 1)) < rowOf(order.at(i)), qPrintable(order.at(i)));
    QVERIFY(rowOf(order.first()) >= 0);
}

void TstTrackMainForm::searchReentryReadsNothing()
{
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QVERIFY(pressRow(m_form, QStringLiteral("艺术家")));
    QTRY_VERIFY(!m_form->isFilling());
    const int rows = m_form->currentRowCount();
    const int reads = m_form->readsStarted();
    QVERIFY(!m_form->Prev_Gui_Action(false, true));
    QVERIFY(pressRow(m_form, QStringLiteral("艺术家")));
    QVERIFY(!m_form->isFilling());
    QCOMPARE(m_form->readsStarted(), reads);
    QCOMPARE(m_form->currentRowCount(), rows);
}

// A song without an artist: the artists level starts the tag pass, which
// gives it "未知"; once the pass is over the level shows it.
void TstTrackMainForm::albumPassFillsTheArtistLevel()
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(MusicDataBaseName), &db), SQLITE_OK);
    sqlite3_exec(db, "update pre_diskmusic1 set author='',author_ABC='' where filePath='root.flac';", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
    g_TempData.albumScanStopped = false;
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QVERIFY(pressRow(m_form, QStringLiteral("艺术家")));
    QVERIFY(m_form->albumScan() && m_form->albumScan()->isRunning());
    QTRY_VERIFY(!m_form->isFilling());
    auto shows = [this](const QString &text) {
        for (int i = 0; i < m_form->currentRowCount(); ++i) {
            if (m_form->currentRowText(i) == text)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(shows(QStringLiteral("未知")), 30000);
    QVERIFY(shows(QStringLiteral("Miles Davis")));
    QCOMPARE(m_form->currentTitle(), QStringLiteral("艺术家"));
}

void TstTrackMainForm::playFromDirectory_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("listType");
    QTest::newRow("in order: the folder") << int(ModeListOrder) << int(ListDirectory);
    QTest::newRow("shuffle folder: the folder") << int(ModeShuffleDir) << int(ListDirectory);
    QTest::newRow("shuffle all: every song") << int(ModeShuffleAll) << int(ListAllSongs);
}

void TstTrackMainForm::playFromDirectory()
{
    QFETCH(int, mode);
    QFETCH(int, listType);
    g_CurMusicPlay.playMode = mode;
    QSignalSpy play(m_form, &TrackMainForm::playIndexMusic);
    QSignalSpy stop(m_form, &TrackMainForm::stopinitlist);
    QSignalSpy resume(m_form, &TrackMainForm::ini_mediainfo);
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("中文")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("稻香")));
    QCOMPARE(play.size(), 1);
    QCOMPARE(stop.size(), 1);
    QCOMPARE(g_CurMusicPlay.musiclistType.get(), listType);
    const int index = play.first().first().toInt();
    const MediaObjectInfo chosen = mediaObjectInfoList.value(index);
    QCOMPARE(chosen.fileName, QStringLiteral("稻香"));
    QCOMPARE(chosen.filePath, m_a.diskPath + QStringLiteral("/中文/稻香.mp3"));
    // The controller's index refresh finds the chosen song, not the last one.
    QCOMPARE(g_CurMusicPlay.selectedItem(), chosen);
    if (listType == ListDirectory) {
        QCOMPARE(mediaObjectInfoList.size(), 3);
        QCOMPARE(QString(g_CurMusicPlay.curDirPath), m_a.diskPath + QStringLiteral("/中文"));
        QVERIFY(resume.isEmpty());
    } else {
        QCOMPARE(mediaObjectInfoList.size(), 2009); // every song of every mounted disk
        QCOMPARE(resume.size(), 1);
        QVERIFY(resume.first().first().toString().startsWith(QStringLiteral("中文/稻香.mp3__RS__1__RS__mp3")));
    }
}

void TstTrackMainForm::playFromSearchModeFixes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("modeAfter");
    QTest::addColumn<int>("listType");
    QTest::newRow("in order stays") << int(ModeListOrder) << int(ModeListOrder) << int(ListSearch);
    QTest::newRow("repeat song stays") << int(ModeRepeatSong) << int(ModeRepeatSong) << int(ListSearch);
    QTest::newRow("repeat folder becomes in order") << int(ModeRepeatDir) << int(ModeListOrder) << int(ListSearch);
    QTest::newRow("shuffle folder becomes in order") << int(ModeShuffleDir) << int(ModeListOrder) << int(ListSearch);
    QTest::newRow("shuffle all plays within every song")
        << int(ModeShuffleAll) << int(ModeShuffleAll) << int(ListAllSongs);
}

void TstTrackMainForm::playFromSearchModeFixes()
{
    QFETCH(int, mode);
    QFETCH(int, modeAfter);
    QFETCH(int, listType);
    g_CurMusicPlay.playMode = mode;
    QSignalSpy modeChanged(m_form, &TrackMainForm::playmodeChanged);
    QSignalSpy play(m_form, &TrackMainForm::playIndexMusic);
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QVERIFY(pressRow(m_form, QStringLiteral("专辑")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("Kind of Blue")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("So What")));
    QCOMPARE(g_CurMusicPlay.playMode.get(), modeAfter);
    QCOMPARE(modeChanged.size(), mode == modeAfter ? 0 : 1);
    QCOMPARE(g_CurMusicPlay.musiclistType.get(), listType);
    QCOMPARE(play.size(), 1);
    QCOMPARE(mediaObjectInfoList.value(play.first().first().toInt()).fileName, QStringLiteral("So What"));
    if (listType == ListSearch)
        QCOMPARE(QString(g_CurMusicPlay.songsearchConfig), QStringLiteral("2__M__Kind of Blue"));
}

void TstTrackMainForm::emptyFolderAndNoSongs()
{
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QTRY_VERIFY(!m_form->isFilling());
    m_window->show();
    QVERIFY(pressRow(m_form, QStringLiteral("Empty")));
    QTRY_VERIFY(!m_form->isFilling());
    m_form->show();
    QTRY_COMPARE(m_form->statusText(), QStringLiteral("没有文件"));
    // No disk with songs: the search is not offered.
    m_form->ClearTempDiskListData(true);
    for (DiskInfo &d : UsingUSBDiskList)
        d.hasSongs = false;
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QCOMPARE(m_form->pageDepth(), 1);
    QCOMPARE(m_popup->text(), QStringLiteral("没有文件"));
}

void TstTrackMainForm::stickPulledWhilePageShown()
{
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QTRY_VERIFY(!m_form->isFilling());
    QVERIFY(pressRow(m_form, QStringLiteral("Jazz")));
    QTRY_VERIFY(!m_form->isFilling());
    QCOMPARE(m_form->pageDepth(), 3);
    LibraryFixture::mount({m_b1, m_b2});
    m_form->syncDisks();
    QCOMPARE(m_form->pageDepth(), 1);
    QCOMPARE(m_form->currentKind(), TrackMainForm::FirstPage);
    QCOMPARE(m_form->currentList()->rowInfo(0).rightText, QString());
    // Its pages are gone: USB 1 now has nothing to show.
    QVERIFY(pressRow(m_form, QStringLiteral("USB 1")));
    QCOMPARE(m_form->pageDepth(), 1);
}

void TstTrackMainForm::backSlides()
{
    m_form->setAnimated(true);
    m_window->resize(480, 285);
    m_window->show();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QSignalSpy titles(m_form, &TrackMainForm::setWindowTitle);
    QVERIFY(pressRow(m_form, QStringLiteral("搜索")));
    QVERIFY(!m_form->isReady()); // sliding in
    m_form->click_Current_Row(); // ignored meanwhile
    QTRY_VERIFY(m_form->isReady());
    QCOMPARE(m_form->currentKind(), TrackMainForm::SearchMenu);
    QCOMPARE(titles.last().first().toString(), QStringLiteral("搜索"));
    QVERIFY(!m_form->Prev_Gui_Action(true, true));
    QTRY_VERIFY(m_form->isReady());
    QCOMPARE(titles.last().first().toString(), QStringLiteral("类别"));
    QCOMPARE(m_form->currentList()->pos(), QPoint(0, 0));
    QVERIFY(m_form->currentList()->isVisible());
}

QTEST_MAIN(TstTrackMainForm)
#include "tst_trackmainform.moc"
