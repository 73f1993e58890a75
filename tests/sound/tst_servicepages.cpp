// The service pages: the serial number rule, the package list and the
// package script's results on the diagnostic page, the steering-wheel
// learning rules (capture, overlap, neighbours) and the learning page's
// states, the About lines.
#include "aboutform.h"
#include "custommessage.h"
#include "electriccheckform.h"
#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"
#include "records.h"
#include "soundfunctions.h"
#include "testsandbox.h"
#include "wheelstudy.h"
#include "wheelstudyform.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

void setSerial(const QByteArray &bytes)
{
    for (int i = 0; i < 40; ++i)
        m_nCurSystem.set(96 + i, i < bytes.size() ? quint8(bytes[i]) : 0);
}

// Learned values of the system record: keys 0..6 (255 none), line-2 bits.
void setLearned(const QList<int> &values, quint8 line2Bits)
{
    for (int k = 0; k < 7; ++k)
        m_nCurSystem.set(WheelStudy::valueByte(k), quint8(k < values.size() ? values[k] : 255));
    m_nCurSystem.set(54, line2Bits);
}

QList<int> learned()
{
    QList<int> out;
    for (int k = 0; k < 7; ++k)
        out << WheelStudy::learnedValue(k);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TstServicePages : public QObject
{
    Q_OBJECT

    TestSandbox m_sb{{"--mcu", "none", "--keys", "none"}};

private slots:
    void initTestCase()
    {
        QVERIFY(m_sb.isValid());
        m_sb.enter();
    }
    void cleanupTestCase() { TestSandbox::leave(); }
    void init()
    {
        m_nCurSystem.fill(0);
        setLearned({}, 0);
        InitTempStudyData();
        g_TempData.wheelAd1 = 200;
        g_TempData.wheelAd2 = 200;
        g_TempData.wheelStudyMode = 0;
        UsingUSBDiskList.clear();
    }

    void serialNumber_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("shown");
        QTest::newRow("all zero") << QByteArray() << QString();
        QTest::newRow("product serial") << QByteArray("VDX730-2026-000123") << QStringLiteral("VDX730-2026-000123");
        QTest::newRow("padded with spaces") << QByteArray("  VDX-730 SN42  ") << QStringLiteral("VDX-730 SN42");
        QTest::newRow("another product's") << QByteArray("ABC123-0001") << QString();
        QTest::newRow("lower case is not ours") << QByteArray("vdx730-0001") << QString();
        QTest::newRow("ends at the first zero") << QByteArray("VDX1\0XYZ", 8) << QStringLiteral("VDX1");
        QTest::newRow("zero before the name") << QByteArray("AB\0VDX1", 7) << QString();
        QTest::newRow("full 40 bytes, no zero")
            << QByteArray("VDX").append(QByteArray(37, '7')) << QStringLiteral("VDX") + QString(37, QLatin1Char('7'));
        QTest::newRow("garbage bytes") << QByteArray("VDX\xff\xfe\x01\x80", 7) << QString();
        QTest::newRow("all 0xFF") << QByteArray(40, '\xff') << QString();
        QTest::newRow("control characters") << QByteArray("VDX\n730") << QString();
    }
    void serialNumber()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, shown);
        setSerial(field);
        QCOMPARE(ElectricCheckForm::serialNumber(), shown);

        ElectricCheckForm form;
        form.show();
        form.change_Current_Row(true, 2); // the serial number row
        QCOMPARE(form.list()->currentRow(), int(ElectricCheckForm::RowSerial));
        form.click_Current_Row();
        QTRY_VERIFY(form.message()->isShowing());
        if (shown.isEmpty()) {
            QCOMPARE(form.message()->text(), QStringLiteral("没有序列号"));
            QCOMPARE(form.message()->displayTime(), ElectricCheckForm::NoSerialMs);
        } else {
            QCOMPARE(form.message()->text(), QStringLiteral("S/N:") + shown);
        }
    }

    // Packages at the top of the mounted disks; others are not offered.
    void packageListAndBack()
    {
        const QString disk1 = m_sb.path(QStringLiteral("/run/media/usb-storage_1/sda1"));
        const QString disk2 = m_sb.path(QStringLiteral("/run/media/usb-storage_2/sda1"));
        QVERIFY(writeFile(disk1 + QStringLiteral("/FW-PK_730_v2.vcl"), "x"));
        QVERIFY(writeFile(disk1 + QStringLiteral("/FW-PK_notes.txt"), "x"));
        QVERIFY(writeFile(disk1 + QStringLiteral("/music/FW-PK_deep.vcl"), "x"));
        QVERIFY(writeFile(disk2 + QStringLiteral("/firmware.vcl"), "x"));
        QVERIFY(writeFile(disk2 + QStringLiteral("/FW-PK_730_v1.vcl"), "x"));

        ElectricCheckForm form;
        QSignalSpy titles(&form, &ElectricCheckForm::setWindowTitle);
        form.click_Current_Row(); // no disk mounted
        QTRY_COMPARE(form.message()->text(), QStringLiteral("未发现固件文件"));
        QVERIFY(!form.onPackageList());

        DiskInfo d1, d2;
        d1.diskPath = disk1;
        d2.diskPath = disk2;
        UsingUSBDiskList = {d1, d2};
        QCOMPARE(ElectricCheckForm::findPackages(), QStringList({disk1 + QStringLiteral("/FW-PK_730_v2.vcl"),
                                                                 disk2 + QStringLiteral("/FW-PK_730_v1.vcl")}));
        form.click_Current_Row();
        QVERIFY(form.onPackageList());
        QCOMPARE(form.list()->rowCount(), 2);
        QCOMPARE(form.list()->get_ListObjectText(1), QStringLiteral("FW-PK_730_v1.vcl"));

        // Back: the first page again, titled, on the row it left.
        QVERIFY(!form.Prev_Gui_Action());
        QVERIFY(!form.onPackageList());
        QCOMPARE(form.list()->currentRow(), int(ElectricCheckForm::RowUpgrade));
        QCOMPARE(titles.last().first().toString(), QStringLiteral("电检模式"));
        QVERIFY(form.Prev_Gui_Action()); // nothing left: the controller returns

        // A stick pulled while its packages are listed.
        form.click_Current_Row();
        QVERIFY(form.onPackageList());
        form.Check_DialOut_Disk();
        QVERIFY(!form.onPackageList());
    }

    // The package script's result decides: restart, firmware upgrade, or an
    // error for anything else (garbage, silence, a script that hangs).
    void packageScript_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("outcome"); // "upgrade", "restart" or the message
        QTest::newRow("MCU firmware") << QByteArray("echo 10022") << QStringLiteral("upgrade");
        QTest::newRow("DSP firmware, CR LF") << QByteArray("printf '10023\\r\\n'") << QStringLiteral("upgrade");
        QTest::newRow("player replaced") << QByteArray("echo 10021") << QStringLiteral("restart");
        QTest::newRow("unreadable package") << QByteArray("echo 10020") << QStringLiteral("固件文件错误");
        QTest::newRow("garbage") << QByteArray("head -c 300 /dev/urandom") << QStringLiteral("固件文件错误");
        QTest::newRow("number and words") << QByteArray("echo '10022 done'") << QStringLiteral("固件文件错误");
        QTest::newRow("nothing printed") << QByteArray("exit 3") << QStringLiteral("固件文件错误");
        QTest::newRow("hangs") << QByteArray("sleep 60; echo 10022") << QStringLiteral("固件文件错误");
    }
    void packageScript()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, outcome);
        const QString scriptPath = m_sb.dir() + QStringLiteral("/tmp/checkUpdate.sh");
        QVERIFY(writeFile(scriptPath, "#!/bin/sh\n" + script + "\n"));
        QDir().mkpath(UpgradePathDir);
        QVERIFY(writeFile(UpgradePathDir + QStringLiteral("/old.bin"), "WMCU1234567"));
        const QString commands = QStringLiteral("var/log/commands.log");
        const int killsBefore = m_sb.readFile(commands).count(QStringLiteral("killall -9 KLVPlayer"));

        ElectricCheckForm form;
        form.setUpdateScript(scriptPath);
        QSignalSpy upgrade(&form, &ElectricCheckForm::upgradeAction);
        QSignalSpy stop(&form, &ElectricCheckForm::stopmusic);
        form.Process_UpgradeFile(m_sb.dir() + QStringLiteral("/pkg with space;rm -rf x.vcl"));
        QVERIFY(form.processing());
        QCOMPARE(form.message()->text(), QStringLiteral("文件处理中"));
        QCOMPARE(stop.count(), 1);
        // Keys wait while the script runs.
        form.change_Current_Row(true);
        QCOMPARE(form.list()->currentRow(), 0);
        QVERIFY(!form.Prev_Gui_Action());

        const int limit = ElectricCheckForm::ScriptLimitMs + 10000;
        QTRY_VERIFY_WITH_TIMEOUT(!form.processing(), limit);
        if (outcome == QLatin1String("upgrade")) {
            QVERIFY(upgrade.wait(5000));
            QCOMPARE(upgrade.count(), 1);
            QVERIFY(QDir(UpgradePathDir).exists());
        } else if (outcome == QLatin1String("restart")) {
            QCOMPARE(form.message()->text(), QStringLiteral("更新成功"));
            QVERIFY(!QDir(UpgradePathDir).exists());
            // The restart goes through the sandbox's killall.
            QTRY_COMPARE_WITH_TIMEOUT(m_sb.readFile(commands).count(QStringLiteral("killall -9 KLVPlayer")),
                                      killsBefore + 1, 10000);
            QCOMPARE(upgrade.count(), 0);
        } else {
            QCOMPARE(form.message()->text(), outcome);
            QTest::qWait(1500); // an upgrade would have been asked for by now
            QCOMPARE(upgrade.count(), 0);
            QVERIFY(QDir(UpgradePathDir).exists());
        }
        QDir(UpgradePathDir).removeRecursively();
    }

    // The board's own package script on a real package: firmware lands in
    // the update folder and the page asks for the upgrade.
    void packageScriptOnAPackage()
    {
        const QString work = m_sb.dir() + QStringLiteral("/tmp/pkg");
        QVERIFY(writeFile(work + QStringLiteral("/WMCU_730.bin"), QByteArray("WMCU") + QByteArray(500, '\x33')));
        const QString package = m_sb.dir() + QStringLiteral("/tmp/FW-PK_730.vcl");
        QCOMPARE(QProcess::execute(QStringLiteral("tar"), {QStringLiteral("-cf"), package, QStringLiteral("-C"), work,
                                                           QStringLiteral("WMCU_730.bin")}),
                 0);
        QDir(UpgradePathDir).removeRecursively();
        ElectricCheckForm form;
        form.setUpdateScript(TestSandbox::sourceDir() + QStringLiteral("/resources/fileres/checkUpdate.sh"));
        QSignalSpy upgrade(&form, &ElectricCheckForm::upgradeAction);
        form.Process_UpgradeFile(package);
        QVERIFY(upgrade.wait(ElectricCheckForm::ScriptLimitMs + 5000));
        QVERIFY(QFile::exists(UpgradePathDir + QStringLiteral("/WMCU_730.bin")));
        QDir(UpgradePathDir).removeRecursively();
    }

    // Which line a press is read on, and when it is a press at all.
    void capture_data()
    {
        QTest::addColumn<int>("line1");
        QTest::addColumn<int>("line2");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("onLine2");
        const int waiting = int(WheelStudy::Outcome::Waiting);
        const int learned = int(WheelStudy::Outcome::Learned);
        QTest::newRow("idle") << 200 << 200 << waiting << 255 << false;
        QTest::newRow("idle + 3 on both lines") << 203 << 203 << waiting << 255 << false;
        QTest::newRow("idle - 3 on both lines") << 197 << 197 << waiting << 255 << false;
        QTest::newRow("idle + 4 on line 1") << 204 << 200 << learned << 204 << false;
        QTest::newRow("idle - 4 on line 2") << 200 << 196 << learned << 196 << true;
        QTest::newRow("both lines: line 2 counts") << 120 << 80 << learned << 80 << true;
        QTest::newRow("line 1 far down") << 0 << 200 << learned << 0 << false;
    }
    void capture()
    {
        QFETCH(int, line1);
        QFETCH(int, line2);
        QFETCH(int, outcome);
        QFETCH(int, value);
        QFETCH(bool, onLine2);
        setLearned({}, 0x7F); // stale line bits must not survive
        const WheelStudy::Capture c = WheelStudy::capture(3, line1, line2, 200, 200);
        QCOMPARE(int(c.outcome), outcome);
        QCOMPARE(WheelStudy::learnedValue(3), value);
        if (c.outcome == WheelStudy::Outcome::Learned) {
            QCOMPARE(int(m_nMarker.at(3)), value);
            QCOMPARE(WheelStudy::learnedOnLine2(3), onLine2);
            QCOMPARE(check_KeyType_AD2(3, true), onLine2);
        }
    }

    // A key learned in this session keeps others 5 apart on its line; older
    // keys within reach of a new one are forgotten.
    void overlapAndNeighbours_data()
    {
        QTest::addColumn<int>("firstValue");
        QTest::addColumn<bool>("firstOnLine2");
        QTest::addColumn<int>("secondValue");
        QTest::addColumn<bool>("secondOnLine2");
        QTest::addColumn<bool>("secondLearned");
        QTest::newRow("3 away, same line") << 100 << false << 103 << false << false;
        QTest::newRow("4 away, same line") << 100 << false << 96 << false << false;
        QTest::newRow("5 away, same line") << 100 << false << 105 << false << true;
        QTest::newRow("5 below, same line") << 100 << false << 95 << false << true;
        QTest::newRow("same value, other line") << 100 << false << 100 << true << true;
        QTest::newRow("1 away, other line") << 100 << true << 101 << false << true;
        QTest::newRow("line 2, 3 away") << 60 << true << 57 << true << false;
    }
    void overlapAndNeighbours()
    {
        QFETCH(int, firstValue);
        QFETCH(bool, firstOnLine2);
        QFETCH(int, secondValue);
        QFETCH(bool, secondOnLine2);
        QFETCH(bool, secondLearned);
        auto press = [](int key, int value, bool line2) {
            return WheelStudy::capture(key, line2 ? 200 : value, line2 ? value : 200, 200, 200);
        };
        QCOMPARE(int(press(2, firstValue, firstOnLine2).outcome), int(WheelStudy::Outcome::Learned));
        const WheelStudy::Capture c = press(3, secondValue, secondOnLine2);
        QCOMPARE(c.outcome == WheelStudy::Outcome::Learned, secondLearned);
        QCOMPARE(WheelStudy::learnedValue(3), secondLearned ? secondValue : 255);
        QCOMPARE(WheelStudy::learnedValue(2), firstValue); // never lost
    }
    void neighboursCleared()
    {
        // Keys learned before this session: 0 at 100 and 5 at 140 on line 1,
        // 1 at 102 on line 2, 6 at 96 on line 1.
        setLearned({100, 102, 255, 255, 255, 140, 96}, 0x02);
        const WheelStudy::Capture c = WheelStudy::capture(4, 99, 200, 200, 200);
        QCOMPARE(int(c.outcome), int(WheelStudy::Outcome::Learned));
        // 0 (1 away) and 6 (3 away) on the same line go; 1 (other line) and 5 stay.
        QCOMPARE(learned(), QList<int>({255, 102, 255, 255, 99, 140, 255}));
        QCOMPARE(int(m_nCurSystem.at(54)), 0x02);
        // Relearning a key on the other line moves its bit.
        QCOMPARE(int(WheelStudy::capture(4, 200, 30, 200, 200).outcome), int(WheelStudy::Outcome::Learned));
        QCOMPARE(int(m_nCurSystem.at(54)), 0x12);
        QCOMPARE(WheelStudy::learnedValue(4), 30);
    }

    // The learning page: asking before relearning, a press, a press on
    // another key's value, back, and a press that never comes.
    void learningPage()
    {
        setLearned({255, 255, 150, 255, 255, 255, 255}, 0);
        WheelStudyForm form;
        form.show();
        QCOMPARE(form.list()->rowCount(), 7);
        QCOMPARE(form.list()->rowInfo(2).rightText, QStringLiteral("AD1  150"));
        QCOMPARE(form.list()->rowInfo(3).rightText, QStringLiteral("--"));

        // A learned key asks first; the knob press confirms.
        form.change_Current_Row(true, 2);
        form.click_Current_Row();
        QCOMPARE(form.state(), WheelStudyForm::State::Asking);
        QCOMPARE(form.popup()->text(), QStringLiteral("已学习！重新学习请按确定"));
        QCOMPARE(g_TempData.wheelStudyMode.get(), 0);
        form.click_Current_Row();
        QCOMPARE(form.state(), WheelStudyForm::State::Learning);
        QVERIFY(form.Is_WheelStudyPage());
        QCOMPARE(g_TempData.wheelStudyMode.get(), 1);
        QVERIFY(!form.Study_Poll(202, 199)); // nothing pressed
        QVERIFY(form.Study_Poll(120, 200));
        QCOMPARE(form.state(), WheelStudyForm::State::Learned);
        QCOMPARE(form.popup()->text(), QStringLiteral("学习完成"));
        QCOMPARE(WheelStudy::learnedValue(2), 120);
        QCOMPARE(form.list()->rowInfo(2).rightText, QStringLiteral("AD1  120"));
        QCOMPARE(g_TempData.wheelStudyMode.get(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(form.state(), WheelStudyForm::State::Idle, 5000);

        // Next key on the value just learned: refused, nothing stored.
        form.change_Current_Row(true);
        form.click_Current_Row();
        QCOMPARE(form.studyKey(), 3);
        QVERIFY(form.Study_Poll(122, 200));
        QCOMPARE(form.state(), WheelStudyForm::State::Failed);
        QCOMPARE(form.popup()->text(), QStringLiteral("学习失败"));
        QCOMPARE(WheelStudy::learnedValue(3), 255);
        QTRY_COMPARE_WITH_TIMEOUT(form.state(), WheelStudyForm::State::Idle, 5000);

        // Back cancels an attempt; the page stays.
        form.click_Current_Row();
        QCOMPARE(form.state(), WheelStudyForm::State::Learning);
        QVERIFY(!form.Prev_Gui_Action());
        QCOMPARE(form.state(), WheelStudyForm::State::Idle);
        QCOMPARE(g_TempData.wheelStudyMode.get(), 0);
        QVERIFY(form.Prev_Gui_Action()); // now the page itself goes

        // No press within 10 s: failed, and the page is free again.
        form.click_Current_Row();
        QVERIFY(form.Is_WheelStudyPage());
        QTRY_COMPARE_WITH_TIMEOUT(form.state(), WheelStudyForm::State::Failed, WheelStudy::TimeoutMs + 5000);
        QCOMPARE(form.popup()->text(), QStringLiteral("学习失败"));
        QCOMPARE(g_TempData.wheelStudyMode.get(), 0);
        QVERIFY(!form.Study_Poll(60, 200)); // a late press is not taken
        QCOMPARE(WheelStudy::learnedValue(3), 255);
    }

    void aboutLines()
    {
        RevMCU_VERSION = QStringLiteral("MPQX-WV3.00");
        AboutForm about;
        QCOMPARE(about.lines(),
                 QStringList({QStringLiteral("本机名称：VDX-730"), QStringLiteral("软件版本：") + PC_Versions,
                              QStringLiteral("设备版本：MPQX-WV3.00")}));
        RevMCU_VERSION.clear(); // no answer from the MCU yet
        about.refresh();
        QCOMPARE(about.lines().at(2), QStringLiteral("设备版本：--"));
    }
};

QTEST_MAIN(TstServicePages)
#include "tst_servicepages.moc"
