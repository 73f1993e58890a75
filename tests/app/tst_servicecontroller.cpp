// The controller's service paths on a MainWindow in this process inside a
// sandbox: a steering-wheel key learned from AD readings on the learning
// page and then used to skip a song, the diagnostic page by knob and back,
// and the upgrade screen's end (failure, restart) through the sandbox's
// stub commands.
#include "custommessage.h"
#include "datacommunication.h"
#include "electriccheckform.h"
#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"
#include "mainwindow.h"
#include "silentwav.h"
#include "testsandbox.h"
#include "upgradeform.h"
#include "wheelstudy.h"
#include "wheelstudyform.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

constexpr int KeyNext = 1;
constexpr int KeyKnobPress = 4;
constexpr int KeyBack = 5;
constexpr int KeyKnobTurn = 7;

struct Rig {
    TestSandbox sb{{"--mcu", "none", "--keys", "none"}};
    std::unique_ptr<MainWindow> w;

    Rig()
    {
        sb.enter();
        sb.createLibrary();
        mediaObjectInfoList.clear();
        mediaTempPlayList.clear();
        w.reset(new MainWindow);
        w->show();
        m_nCurSystem.set(SysByte::Power, 1);
        w->Slot_InitLogo_Over(true);
    }
    ~Rig()
    {
        w.reset();
        TestSandbox::leave();
    }
    void key(int key, int action) { w->Slot_wireKeyClicked(key, action); }
    void tap(int k)
    {
        key(k, 1);
        key(k, 0);
    }
    // One status poll as the MCU answers it: the two AD lines.
    void poll(int line1, int line2)
    {
        m_nCurSystem.set(66, quint8(line1));
        m_nCurSystem.set(67, quint8(line2));
        w->readDSPLampDataOver();
    }
    int killCount() const
    {
        return sb.readFile(QStringLiteral("var/log/commands.log")).count(QStringLiteral("killall -9 KLVPlayer"));
    }
};

} // namespace

class TstServiceController : public QObject
{
    Q_OBJECT

private slots:
    // Learn "next" on line 1 from a reading, then press it: the next song.
    void learnAWheelKeyThenSkip()
    {
        Rig rig;
        const QString folder = rig.sb.path(QStringLiteral("/run/media/usb-storage_1/sda1/music"));
        QDir().mkpath(folder);
        DiskInfo disk;
        disk.diskPath = rig.sb.path(QStringLiteral("/run/media/usb-storage_1/sda1"));
        UsingUSBDiskList = {disk};
        for (int i = 0; i < 3; ++i) {
            const QString path = folder + QStringLiteral("/%1.wav").arg(i);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(silentWav());
            MediaObjectInfo item;
            item.filePath = path;
            item.fileName = QStringLiteral("%1").arg(i);
            item.fileType = QStringLiteral("wav");
            mediaObjectInfoList.append(item);
        }
        m_nCurSystem.set(0, SourceUsb);
        for (int k = 0; k < 7; ++k)
            m_nCurSystem.set(WheelStudy::valueByte(k), 255);
        m_nCurSystem.set(54, 0);
        g_TempData.wheelAd1 = 200;
        g_TempData.wheelAd2 = 200;
        g_CurMusicPlay.curIndex = 0;

        rig.w->Open_WheelStudyGui();
        WheelStudyForm *form = rig.w->wheelStudyForm();
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(g_CurMusicPlay.currentScreen, int(ScreenWheelStudy));
        // Knob to "next" (row 3) and press it.
        for (int i = 0; i < 3; ++i)
            rig.key(KeyKnobTurn, 1);
        QCOMPARE(form->list()->currentRow(), 3);
        rig.tap(KeyKnobPress);
        QTRY_VERIFY(form->Is_WheelStudyPage());
        QCOMPARE(form->studyKey(), 3);

        rig.poll(202, 199); // within idle +-3: no press
        QCOMPARE(form->state(), WheelStudyForm::State::Learning);
        rig.poll(90, 200);
        QCOMPARE(form->state(), WheelStudyForm::State::Learned);
        QCOMPARE(int(m_nCurSystem.at(48 + 3)), 90);
        // The key is still held after learning: it must not skip.
        g_TempData.skipInProgress = false;
        rig.poll(90, 200);
        rig.poll(200, 200);
        QVERIFY(!g_TempData.skipInProgress);

        // Back to the main screen.
        QTRY_COMPARE_WITH_TIMEOUT(form->state(), WheelStudyForm::State::Idle, 5000);
        rig.tap(KeyBack);
        QTRY_COMPARE_WITH_TIMEOUT(g_CurMusicPlay.currentScreen, int(ScreenMain), 5000);
        QTRY_VERIFY(!form->isVisible());

        // The learned key, one unit off its value: a skip to the next song
        // starts at once (the song switch itself is the playback tests').
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w->wheelBusy(), 5000);
        g_TempData.skipInProgress = false;
        rig.poll(91, 200);
        QVERIFY(g_TempData.skipInProgress);
        rig.poll(200, 200);
        // Two units off: not the key.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.w->wheelBusy(), 5000);
        g_TempData.skipInProgress = false;
        rig.poll(92, 200);
        rig.poll(200, 200);
        QVERIFY(!g_TempData.skipInProgress);
        UsingUSBDiskList.clear();
        mediaObjectInfoList.clear();
    }

    // The diagnostic page by the knob, its sub-list and back to the main screen.
    void diagnosticPageKeys()
    {
        Rig rig;
        UsingUSBDiskList.clear();
        rig.w->Open_ElectricCheckGui();
        ElectricCheckForm *form = rig.w->electricCheckForm();
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(g_CurMusicPlay.currentScreen, int(ScreenElectricCheck));
        rig.key(KeyKnobTurn, 1);
        rig.key(KeyKnobTurn, 1);
        QCOMPARE(form->list()->currentRow(), int(ElectricCheckForm::RowSerial));
        rig.tap(KeyKnobPress);
        QTRY_COMPARE(form->message()->text(), QStringLiteral("没有序列号"));
        // Back first closes the message, then leaves the page.
        rig.tap(KeyBack);
        QTRY_VERIFY_WITH_TIMEOUT(!form->message()->isShowing(), 3000);
        QTest::qWait(400); // the back key's 300 ms debounce
        rig.tap(KeyBack);
        QTRY_COMPARE_WITH_TIMEOUT(g_CurMusicPlay.currentScreen, int(ScreenMain), 5000);
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(!InterfaceNavigationList.contains(ScreenElectricCheck));
        QCOMPARE(InterfaceNavigationList.last(), int(ScreenMain));
    }

    // A failed upgrade: the failure screen, the firmware dropped, and a
    // restart 3 s later (the sandbox's killall). A completed one restarts
    // 12 s after its last frame.
    void upgradeEnds()
    {
        Rig rig;
        QDir().mkpath(UpgradePathDir);
        QFile f(UpgradePathDir + QStringLiteral("/fw.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("WMCU") + QByteArray(480, '\x01'));
        f.close();
        const int kills = rig.killCount();
        QVERIFY(rig.w->mcu()->upgrade_Actions(false));
        UpgradeForm *form = rig.w->upgradeForm();
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(form->percentText(), QStringLiteral("0%"));
        // 484 bytes: 9 blocks of 48 and the fixed frames, 15 in all.
        QCOMPARE(m_nReadDsp_McuFile_Flag.totalFrames.get(), 15);
        emit rig.w->mcu()->submitPersent(6);
        QTRY_COMPARE(form->percentText(), QStringLiteral("40%"));
        // Keys do nothing while the upgrade runs.
        rig.tap(KeyNext);
        rig.key(KeyKnobTurn, 1);
        QVERIFY(form->isVisible());

        rig.w->mcu()->stopUpgradeActive();
        QTRY_VERIFY(form->failed());
        QCOMPARE(form->titleText(), QStringLiteral("升级失败 3秒后重启..."));
        QVERIFY(!QDir(UpgradePathDir).exists());
        QTRY_COMPARE_WITH_TIMEOUT(rig.killCount(), kills + 1, 10000);

        rig.w->Slot_UpgradeReboot();
        QVERIFY(!form->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(rig.killCount(), kills + 2, 20000);
    }
};

QTEST_MAIN(TstServiceController)
#include "tst_servicecontroller.moc"
