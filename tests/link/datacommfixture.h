#pragma once
// The fixture of the DataCommunication step tests (tst_datacommunication*.cpp):
// a sandbox with the test's own pseudo-terminal behind ttyS4, a fresh
// DataCommunication per test with the images as at program start, answers
// crafted into RecFrameData, and frames taken apart.

#include "applistservice.h"
#include "bufdataproce.h"
#include "datacommunication.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"
#include "platform.h"
#include "serialservice.h"
#include "soundfunctions.h"
#include "testsandbox.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A frame taken apart (offsets from the first start tag).
struct F {
    int type = -1, unit = -1, preset = -1, group = -1, item = -1, slot = -1, target = -1, fret = -1, len = -1;
    QByteArray payload;
    QString key() const // "w 9/5/0 p0" and so on; " t10 u2" for the cascaded unit
    {
        QString k =
            QStringLiteral("%1 %2/%3/%4 p%5").arg(type == 0xA1 ? "w" : "r").arg(group).arg(item).arg(slot).arg(preset);
        if (target != 0)
            k += QStringLiteral(" t%1").arg(target);
        if (unit != 1)
            k += QStringLiteral(" u%1").arg(unit);
        return k;
    }
};

inline F parse(const QByteArray &f)
{
    F r;
    if (f.size() < 16)
        return r;
    auto b = [&](int i) { return int(quint8(f[i])); };
    r.type = b(4), r.unit = b(5), r.preset = b(6), r.group = b(7), r.item = b(8), r.slot = b(9), r.target = b(10);
    r.fret = b(11);
    r.len = b(12) | (b(13) << 8);
    r.payload = f.mid(14, r.len);
    return r;
}

inline QStringList keys(const QList<QByteArray> &frames)
{
    QStringList out;
    for (const QByteArray &f : frames)
        out << parse(f).key();
    return out;
}

class FakeAppList : public AppListService
{
public:
    bool disks = true;
    int result = 0;
    QByteArray page;
    bool hasDisks() const override { return disks; }
    int Get_Forapp_DiskList(QByteArray *payload) override
    {
        *payload = page;
        return result;
    }
    int Get_Forapp_MuiscList(int, int, QByteArray *payload) override
    {
        *payload = page;
        return result;
    }
    int APP_Select_SingleSong(int, int) override { return result; }
    int Get_curplay_Index(int *folder) override
    {
        *folder = 4;
        return 513;
    }
};

} // namespace

class DataCommFixture
{
protected:
    // initTestCase, cleanupTestCase, init and cleanup of the tests.
    void setUpCase()
    {
        m_sb.reset(new TestSandbox({"--mcu", "none", "--keys", "none"}));
        QVERIFY(m_sb->isValid());
        m_sb->enter();
        InitPaths();
        Platform::applyEnvironment();
        // "killall -9 KLVPlayer" must reach the sandbox's stub, never the machine's.
        QCOMPARE(QStandardPaths::findExecutable(QStringLiteral("killall")),
                 m_sb->dir() + QStringLiteral("/bin/killall"));
        QCOMPARE(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
        termios t;
        ::tcgetattr(m_slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QVERIFY(QFile::link(QString::fromLocal8Bit(::ttyname(m_slave)), m_sb->path(QStringLiteral("/dev/ttyS4"))));
        InitData();
    }
    void tearDownCase()
    {
        m_dc.reset();
        ::close(m_master);
        ::close(m_slave);
        m_sb.reset();
    }
    void setUp()
    {
        // The images as at program start: zero, then the defaults.
        for (SystemImage *img : {&m_nCurSystem, &SendSYSData})
            img->fill(0);
        for (CasSystemImage *img : {&m_nCasSystem, &SendCasSYSData})
            img->fill(0);
        for (ProgramImage *img : {&m_nCurProgram, &SendStructData, &CasStructData, &SendCasStructData})
            img->fill(0);
        InitCurEQData();
        m_bUpMCUFlag = false;
        BOOL_StopCompareData = true;
        BOOL_ResetFactory = false;
        m_b_Data_Modify_Flag = false;
        m_nLinkTemp.playerKeyChanged = false;
        m_nLinkTemp.holdOutputEnable = false;
        m_nCasModel = -1;
        m_nMarker.fill(0);
        m_dc.reset(new DataCommunication);
        QVERIFY(m_dc->serialService()->isOpen());
    }
    void tearDown()
    {
        m_dc.reset();
        m_bUpMCUFlag = false;
        drainPort();
    }

    // Sends the head and answers it as the MCU would; the payload for "S".
    void answerHead(int type, const QByteArray &payload = QByteArray(), int unit = -1)
    {
        QVERIFY(m_dc->SendUsbData());
        const F h = parse(m_dc->queuedFrames().first());
        answer(type, h.group, h.item, h.slot, h.preset, h.target, payload, unit < 0 ? h.unit : unit);
    }
    void answer(int type, int group, int item, int slot, int preset, int target, const QByteArray &payload,
                int unit = 1)
    {
        RecFrameData = FrameRecord();
        RecFrameData[Frame::Type] = quint8(type);
        RecFrameData[Frame::Unit] = quint8(unit);
        RecFrameData[Frame::Preset] = quint8(preset);
        RecFrameData[Frame::Group] = quint8(group);
        RecFrameData[Frame::Item] = quint8(item);
        RecFrameData[Frame::Slot] = quint8(slot);
        RecFrameData[Frame::Target] = quint8(target);
        RecFrameData.setLength(payload.size());
        m_dc->ProcessRecFrameData(payload);
    }
    void completeSync()
    {
        m_dc->GetSendReadData(GROUP_SYSTEM, 122, 0, 0, 0);
        answerHead(FRAME_DATA, QByteArray(8, '\xFF'));
        QVERIFY(m_dc->syncComplete());
        QVERIFY(m_dc->queuedFrames().isEmpty());
        QVERIFY(!BOOL_StopCompareData.get());
        // The now-playing tick is tested end to end; here it would race.
        m_dc->setSendMuiscInfo(false);
        m_dc->bufData()->setMusicInfoOff(false);
        m_dc->bufData()->setMusicInfoFlag(false);
    }
    int killCount() const
    {
        return m_sb->readFile(QStringLiteral("var/log/commands.log")).count(QStringLiteral("killall -9 KLVPlayer"));
    }
    QByteArray drainPort()
    {
        // Writes reach the port through the event loop.
        QTest::qWait(100);
        QByteArray all;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof(buf));
            if (n <= 0)
                break;
            all.append(buf, int(n));
        }
        return all;
    }

    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<DataCommunication> m_dc;
    int m_master = -1;
    int m_slave = -1;
};
