// The controller's rules, on a MainWindow built in this process inside a
// sandbox (its serial peers unanswered): random choice, the mode key, the
// steering-wheel keys, keys during the logo and after stand-by, the source
// key, a settings file of garbage, and a list check while a song chosen in
// the browser waits to start.
#include "custommessage.h"
#include "dividerswitchform.h"
#include "globals.h"
#include "linkglobals.h"
#include "mainwindow.h"
#include "navform.h"
#include "setupform.h"
#include "silentwav.h"
#include "soundfunctions.h"
#include "testsandbox.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A window over a fresh sandbox; the sandbox outlives the window.
struct Rig {
    TestSandbox sb{{"--mcu", "none", "--keys", "none"}};
    std::unique_ptr<MainWindow> w;

    explicit Rig(const QByteArray &settings = QByteArray())
    {
        sb.enter();
        sb.createLibrary();
        if (!settings.isNull()) {
            QFile f(sb.path(QStringLiteral("/run/media/mmcblk1p3/setting.ini")));
            if (f.open(QIODevice::WriteOnly))
                f.write(settings);
        }
        mediaObjectInfoList.clear();
        mediaTempPlayList.clear();
        w.reset(new MainWindow);
    }
    ~Rig()
    {
        w.reset();
        TestSandbox::leave();
    }
    // As after the logo: keys act from here on.
    void pastLogo()
    {
        m_nCurSystem.set(SysByte::Power, 1);
        w->Slot_InitLogo_Over(true);
    }
};

// Learned steering-wheel values: keys 0..5 in system bytes 48..53, key 6 in
// byte 42; line bits in byte 54.
void learn(const QList<int> &values, quint8 line2Bits = 0)
{
    for (int k = 0; k < 7; ++k) {
        const int v = k < values.size() ? values.at(k) : 255;
        m_nCurSystem.set(k == 6 ? 42 : 48 + k, quint8(v));
    }
    m_nCurSystem.set(54, line2Bits);
}

} // namespace

class TstController : public QObject
{
    Q_OBJECT

    // One window for the checks that do not care about its start; made on
    // first use, dropped before a check that needs a window of its own.
    std::unique_ptr<Rig> m_shared;
    Rig &shared()
    {
        if (!m_shared) {
            m_shared.reset(new Rig);
            m_shared->pastLogo();
        }
        return *m_shared;
    }

private slots:
    void randomChoice_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::newRow("one song") << 1 << 0;
        QTest::newRow("two songs, at 0") << 2 << 0;
        QTest::newRow("two songs, at 1") << 2 << 1;
        QTest::newRow("three songs") << 3 << 1;
        QTest::newRow("many songs") << 40 << 17;
    }
    void randomChoice()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        Rig &rig = shared();
        g_CurMusicPlay.curIndex = current;
        QSet<int> seen;
        for (int i = 0; i < 400; ++i) {
            const int pick = rig.w->get_Rand_SongsID(count);
            QVERIFY(pick >= 0 && pick < count);
            if (count > 1)
                QVERIFY(pick != current);
            seen.insert(pick);
        }
        if (count == 1)
            QCOMPARE(seen, QSet<int>{current});
        else if (count == 2)
            QCOMPARE(seen, QSet<int>{1 - current});
        else if (count == 3)
            QCOMPARE(seen.size(), 2); // both others come up
    }

    void modeKeyCycles_data()
    {
        QTest::addColumn<int>("listType");
        QTest::addColumn<QList<int>>("cycle");
        QTest::newRow("disk list") << int(ListAllSongs) << QList<int>{1, 2, 3, 4, 0, 1};
        QTest::newRow("directory list") << int(ListDirectory) << QList<int>{1, 2, 3, 4, 0};
        QTest::newRow("search list") << int(ListSearch) << QList<int>{1, 4, 0, 1, 4};
    }
    void modeKeyCycles()
    {
        QFETCH(int, listType);
        QFETCH(QList<int>, cycle);
        Rig &rig = shared();
        g_CurMusicPlay.musiclistType = listType;
        g_CurMusicPlay.playMode = ModeListOrder;
        for (int expected : cycle) {
            rig.w->playModeSwitch();
            QCOMPARE(int(g_CurMusicPlay.playMode), expected);
        }
        // Modes 2 and 3 stay as they are on a search list.
        if (listType == ListSearch) {
            g_CurMusicPlay.playMode = ModeShuffleDir;
            rig.w->playModeSwitch();
            QCOMPARE(int(g_CurMusicPlay.playMode), int(ModeShuffleDir));
        }
    }

    void sourceKey_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("player to Bluetooth") << int(SourceUsb) << int(SourceBluetooth);
        QTest::newRow("Bluetooth to high level") << int(SourceBluetooth) << int(SourceHiLevel);
        QTest::newRow("high level to AUX") << int(SourceHiLevel) << int(SourceAux);
        QTest::newRow("AUX to USB audio") << int(SourceAux) << int(SourceUsbAudio);
        QTest::newRow("USB audio to the player") << int(SourceUsbAudio) << int(SourceUsb);
    }
    void sourceKey()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        Rig &rig = shared();
        m_nCurSystem.set(SysByte::Source, quint8(from));
        rig.w->inputsourceChanged();
        QCOMPARE(int(m_nCurSystem.at(SysByte::Source)), to);
        QCOMPARE(rig.w->navForm()->titleText(), NavForm::sourceTitle(to));
    }

    void wheelNearestKey_data()
    {
        QTest::addColumn<QList<int>>("learned");
        QTest::addColumn<int>("line2Bits");
        QTest::addColumn<int>("reading");
        QTest::addColumn<bool>("ladder2");
        QTest::addColumn<int>("key");
        const QList<int> spread{20, 40, 60, 80, 100, 120, 140};
        QTest::newRow("exact") << spread << 0 << 60 << false << 2;
        QTest::newRow("one above") << spread << 0 << 61 << false << 2;
        QTest::newRow("one below") << spread << 0 << 119 << false << 5;
        QTest::newRow("two away: none") << spread << 0 << 62 << false << -1;
        QTest::newRow("source key in byte 42") << spread << 0 << 140 << false << 6;
        QTest::newRow("other ladder: none") << spread << 0 << 60 << true << -1;
        QTest::newRow("key 2 on ladder 2") << spread << 0x04 << 60 << true << 2;
        QTest::newRow("ladder 2 key not on ladder 1") << spread << 0x04 << 60 << false << -1;
        QTest::newRow("tie: the later key") << QList<int>{50, 52, 255, 255, 255, 255, 255} << 0 << 51 << false << 1;
        QTest::newRow("unlearned keys ignored")
            << QList<int>{255, 255, 255, 255, 255, 255, 255} << 0 << 255 << false << -1;
    }
    void wheelNearestKey()
    {
        QFETCH(QList<int>, learned);
        QFETCH(int, line2Bits);
        QFETCH(int, reading);
        QFETCH(bool, ladder2);
        QFETCH(int, key);
        learn(learned, quint8(line2Bits));
        QCOMPARE(MainWindow::wheelKeyFor(quint8(reading), ladder2), key);
    }

    // A wheel key arriving 60 times without a 2 s pause is stuck: its learned
    // value goes and the popup says so. Volume keys act on every arrival.
    void stuckWheelKey()
    {
        m_shared.reset();
        Rig rig;
        rig.pastLogo();
        learn({30, 50, 70, 90, 110, 130, 150});
        m_nCurSystem.set(SysByte::MainGain, 10);
        rig.w->Wheel_Control(30, false); // volume +
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 11);
        for (int i = 1; i < 60; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!rig.w->wheelBusy(), 5000);
            QCOMPARE(int(m_nCurSystem.at(48)), 30);
            rig.w->Wheel_Control(30, false);
        }
        QCOMPARE(int(m_nCurSystem.at(48)), 255);
        QCOMPARE(rig.w->popupMessage()->text(), QStringLiteral("已清除异常指令"));
        // The other keys keep their values.
        QCOMPARE(int(m_nCurSystem.at(49)), 50);
    }

    // Keys are ignored while the boot logo shows; the first key after
    // stand-by only wakes the display.
    void keysDuringLogoAndStandby()
    {
        m_shared.reset();
        Rig rig;
        QVERIFY(rig.w->logoShown());
        m_nCurSystem.set(SysByte::MainGain, 10);
        rig.w->Slot_wireKeyClicked(7, 3); // knob, three steps
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 10);

        rig.pastLogo();
        QVERIFY(!rig.w->logoShown());
        rig.w->Slot_wireKeyClicked(7, 3);
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 13);
        rig.w->Slot_wireKeyClicked(7, 128 + 20); // twenty down: held at 0
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 0);

        rig.w->remotePoweroffClicked(true);
        QVERIFY(rig.w->standby());
        rig.w->Slot_wireKeyClicked(7, 2);
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 0);
        QVERIFY(!rig.w->standby());
        rig.w->Slot_wireKeyClicked(7, 2);
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 2);

        // A short press waits for the controller's "held" report, yet keys
        // act in the order pressed: mute, then a knob turn that sounds again.
        m_nCurSystem.set(SysByte::SoundOn, 1);
        rig.w->Slot_wireKeyClicked(6, 1);
        rig.w->Slot_wireKeyClicked(7, 1);
        QCOMPARE(int(m_nCurSystem.at(SysByte::MainGain)), 3);
        QTest::qWait(600); // past the short-press window: nothing more happens
        QCOMPARE(int(m_nCurSystem.at(SysByte::SoundOn)), 1);
        // Alone, the short press acts once its window has passed.
        rig.w->Slot_wireKeyClicked(6, 1);
        QTRY_COMPARE(int(m_nCurSystem.at(SysByte::SoundOn)), 0);
    }

    // A settings file of garbage: nothing to resume, the player runs.
    // Long presses on the setup main page: play, play, next, next opens the
    // frequency-switch screen; play, play, previous, previous asks for the
    // diagnostics screen; a held key counts once however many frames it
    // repeats; other orders open nothing.
    void setupSequences_data()
    {
        QTest::addColumn<QList<int>>("keys"); // long presses; 10 + key: held for three frames
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("diagnostics");
        QTest::newRow("frequency switch") << QList<int>{2, 2, 1, 1} << int(ScreenFreqSwitch) << 0;
        QTest::newRow("diagnostics") << QList<int>{2, 2, 0, 0} << int(ScreenElectricCheck) << 1;
        QTest::newRow("other order") << QList<int>{1, 1, 2, 2} << int(ScreenSetup) << 0;
        QTest::newRow("held next counts once") << QList<int>{2, 2, 11} << int(ScreenSetup) << 0;
        QTest::newRow("held keys complete it") << QList<int>{2, 2, 11, 11} << int(ScreenFreqSwitch) << 0;
    }
    void setupSequences()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, screen);
        QFETCH(int, diagnostics);
        Rig &rig = shared();
        MainWindow *w = rig.w.get();
        w->CloseAllWindows(false);
        w->Show_CurrentGuis(true);
        QSignalSpy diag(w, &MainWindow::sig_openElectricCheck);
        w->Open_SetupGui();
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.currentScreen == ScreenSetup && !w->setupForm()->isHidden(), 10000);
        for (int k : keys) {
            const int key = k % 10;
            w->Slot_wireKeyClicked(key, 1);
            for (int i = 0; i < (k >= 10 ? 3 : 1); ++i)
                w->Slot_wireKeyClicked(key, 2);
            w->Slot_wireKeyClicked(key, 0);
        }
        QCOMPARE(int(g_CurMusicPlay.currentScreen), screen);
        QCOMPARE(diag.count(), diagnostics);
        QCOMPARE(!w->dividerForm()->isHidden(), screen == ScreenFreqSwitch);
        if (screen != ScreenFreqSwitch)
            return;
        // The back key returns to the setup screen.
        w->Slot_wireKeyClicked(5, 1);
        w->Slot_wireKeyClicked(5, 0);
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.currentScreen == ScreenSetup && !w->setupForm()->isHidden(), 10000);
        QVERIFY(w->dividerForm()->isHidden());
    }

    // On the frequency-switch screen the knob picks and Play submits; the
    // playback is not touched.
    void frequencySwitchPlayKey()
    {
        Rig &rig = shared();
        MainWindow *w = rig.w.get();
        w->CloseAllWindows(false);
        w->Show_CurrentGuis(true);
        m_nCurSystem.set(47, 0);
        w->Open_SetupGui();
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.currentScreen == ScreenSetup && !w->setupForm()->isHidden(), 10000);
        w->CountGoundKeys(2);
        w->CountGoundKeys(2);
        w->CountGoundKeys(1);
        w->CountGoundKeys(1);
        QCOMPARE(int(g_CurMusicPlay.currentScreen), int(ScreenFreqSwitch));
        w->Slot_wireKeyClicked(7, 1); // knob: 3-way
        QCOMPARE(w->dividerForm()->choice(), 1);
        w->Slot_wireKeyClicked(2, 1);
        w->Slot_wireKeyClicked(2, 0);
        QTRY_COMPARE_WITH_TIMEOUT(int(m_nCurSystem.at(47)), 1, 5000);
        QVERIFY(w->dividerForm()->switching());
    }

    void cleanupTestCase() { m_shared.reset(); }

    void garbageSettings_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[SETTING\n\x01\x02=\x03", 16);
        QTest::newRow("wrong values") << QByteArray("[SETTING]\nm_currentTime=soon\nm_SelectPlayMuiscInfo=a__RS__b\n");
        QTest::newRow("negative time") << QByteArray("[SETTING]\nm_currentTime=-40\n");
    }
    void garbageSettings()
    {
        QFETCH(QByteArray, settings);
        m_shared.reset();
        Rig rig(settings);
        QCOMPARE(qint64(g_CurMusicPlay.currentPosition), qint64(0));
        // Resume with a description that does not split in four: the first
        // song of the list (none here), and resume is over.
        g_TempData.resumePending = true;
        rig.w->Process_MediaPlay();
        QVERIFY(!g_TempData.resumePending);
    }

    // The browser's choice starts 500 ms after the press. A list check of
    // the disk checker arriving meanwhile (its retry timer, a volume
    // report) would rebuild the list and resume the song that played
    // before; it waits, and the chosen song plays.
    void listCheckWaitsForAChosenSong()
    {
        m_shared.reset();
        Rig rig;
        rig.pastLogo();
        const QString root = rig.sb.path(QStringLiteral("/run/media/usb-storage_1/sda1"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/music")));
        DiskInfo disk;
        disk.diskPath = root;
        UsingUSBDiskList = {disk};
        mediaObjectInfoList.clear();
        for (int i = 0; i < 3; ++i) {
            MediaObjectInfo item;
            item.filePath = root + QStringLiteral("/music/%1.wav").arg(i);
            item.fileName = QString::number(i);
            item.fileType = QStringLiteral("wav");
            QFile f(item.filePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(silentWav());
            mediaObjectInfoList.append(item);
        }
        const QString chosen = mediaObjectInfoList.at(2).filePath;
        m_nCurSystem.set(0, SourceUsb);
        rig.w->readSysDataOver(); // the MCU's data is in: lists may be built
        g_CurMusicPlay.playState = PlayStopped;
        g_CurMusicPlay.curIndex = 0;

        g_CurMusicPlay.filePath = QString();
        rig.w->playSelectedSong(2);
        const bool checked = rig.w->InitMusicList(false, true);
        // Nothing but the chosen song starts, and the list stays.
        QCOMPARE(QString(g_CurMusicPlay.filePath), QString());
        QVERIFY(!checked);
        QCOMPARE(mediaObjectInfoList.size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(QString(g_CurMusicPlay.filePath), chosen, 5000);
        QCOMPARE(int(g_CurMusicPlay.curIndex), 2);
        rig.w->StopPlayMusic(true, false);
        UsingUSBDiskList.clear();
        mediaObjectInfoList.clear();
    }
};

QTEST_MAIN(TstController)
#include "tst_controller.moc"
