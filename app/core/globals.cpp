#include "globals.h"

#include "mediabuffer.h"
#include "platform.h"

#include <QProcess>

#include <malloc.h>
#include <sys/ipc.h>
#include <sys/shm.h>

QString USBPath_Prefix;
QString ReadWrite_Path;
QString MusicDataBaseName;
QString UpgradePathDir;
QString SettingFileName;
QString LogFileName;

const QString __ICONPATH__ = QStringLiteral(":/icon/Resource/icon/");
const QString ApplicationName = QStringLiteral("VDX-730");
const QString PC_Versions = QStringLiteral("PPQX-WV3.01 (Release)");
const QString Set_MCU_Version = QStringLiteral("MPQX-WV3.00");
const QString DB_Versions = QStringLiteral("XV1.09");
QString RevMCU_VERSION;
const QString m_nCurDSP_Flag = QStringLiteral("WDSP");
const QString m_nCurMcu_Flag = QStringLiteral("WMCU");

void InitPaths()
{
    USBPath_Prefix = Platform::mediaPrefix();
    ReadWrite_Path = USBPath_Prefix + QStringLiteral("mmcblk1p3/");
    MusicDataBaseName = ReadWrite_Path + QStringLiteral("QXMusicDB.db");
    UpgradePathDir = Platform::resolve(QStringLiteral("/run/media/mmcblk1p3/update"));
    SettingFileName = ReadWrite_Path + QStringLiteral("setting.ini");
    LogFileName = ReadWrite_Path + QStringLiteral("log_730.txt");
}

namespace {
// Builds the path constants before main runs.
const bool pathsReady = (InitPaths(), true);
} // namespace

QStringList musicFormatList{QString()};
QStringList NotRead_DirList;

CurMusicPlayStruct g_CurMusicPlay;
TempRecordDataStruct g_TempData;
QList<MediaObjectInfo> mediaObjectInfoList;
QList<MediaObjectInfo> mediaTempPlayList;
QVector<DiskInfo> diskInfoDataBaseList;
QList<DiskInfo> UsingUSBDiskList;
QList<int> InterfaceNavigationList;
QList<PageListStruct> TempMediaObjectList;
int Cur_Delay_Uint = 1000;
int LanguageID = 0;

volatile int *shared = nullptr;

int sw_getShmID()
{
    const int key = Platform::shmKey();
    if (key < 0)
        return -1;
    const int id = shmget(static_cast<key_t>(key), 8, IPC_CREAT | 0666);
    if (id < 0)
        return -1;
    void *p = shmat(id, nullptr, 0);
    if (p == reinterpret_cast<void *>(-1))
        return -1;
    shared = static_cast<volatile int *>(p);
    return 0;
}

void InitData()
{
    musicFormatList.clear();
    musicFormatList << QStringLiteral("*.mp3") << QStringLiteral("*.wav") << QStringLiteral("*.dsf")
                    << QStringLiteral("*.dff") << QStringLiteral("*.cue") << QStringLiteral("*.flac")
                    << QStringLiteral("*.ape") << QStringLiteral("*.m4a") << QStringLiteral("*.wma")
                    << QStringLiteral("*.alac") << QStringLiteral("*.aiff") << QStringLiteral("*.aif")
                    << QStringLiteral("*.aac") << QStringLiteral("*.iso");

    g_CurMusicPlay.outputSampleRate = 192000;
    g_CurMusicPlay.outputBits = 16;
    g_CurMusicPlay.playMode = ModeListOrder;
    g_CurMusicPlay.isSubPage = true;
    g_CurMusicPlay.curDirPath = QString();

    m_UsedBufSize = 0;

    NotRead_DirList = QStringList{QStringLiteral("$recycle.bin"), QStringLiteral("recycler"),
                                  QStringLiteral("android"),      QStringLiteral("system volume information"),
                                  QStringLiteral("cache"),        QStringLiteral("lost.dir")};

    InterfaceNavigationList.clear();

    g_TempData = TempRecordDataStruct();
    g_TempData.languageID = LanguageID;
    g_TempData.pendingIndex = -1;
    g_TempData.wheelAd1 = 200;
    g_TempData.wheelAd2 = 200;
    g_TempData.resumePending = true;

    qRegisterMetaType<MediaObjectInfo>("MediaObjectInfo");
    qRegisterMetaType<DiskInfo>("DiskInfo");
    qRegisterMetaType<ListInfo>("ListInfo");
    qRegisterMetaType<TempInfoList>("TempInfoList");
    qRegisterMetaType<QList<MediaObjectInfo>>("QList<MediaObjectInfo>");
    qRegisterMetaType<QList<DiskInfo>>("QList<DiskInfo>");
    qRegisterMetaType<QList<ListInfo>>("QList<ListInfo>");
}

void setInterfaceNavigation(int id)
{
    g_CurMusicPlay.currentScreen = id;
    InterfaceNavigationList.append(id);
}

int getPreviousInterfaceID(bool toFirst)
{
    if (InterfaceNavigationList.isEmpty())
        return g_CurMusicPlay.currentScreen;
    if (InterfaceNavigationList.size() < 2)
        return InterfaceNavigationList.first();
    if (toFirst) {
        const int first = InterfaceNavigationList.first();
        InterfaceNavigationList = QList<int>{first};
        return first;
    }
    InterfaceNavigationList.removeLast();
    return InterfaceNavigationList.last();
}

int getIncDecCorrectValue(int value, int min, int max, bool increase, int step)
{
    const qint64 v = static_cast<qint64>(value) + (increase ? step : -static_cast<qint64>(step));
    if (v < min)
        return min;
    if (v > max)
        return max;
    return static_cast<int>(v);
}

QString executeLinuxCmd(const QString &cmd, int timeoutMs)
{
    QByteArray out;
    {
        QProcess p;
        p.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), cmd}, QIODevice::ReadWrite);
        if (p.waitForStarted(timeoutMs)) {
            p.closeWriteChannel();
            p.waitForFinished(timeoutMs);
            out = p.readAllStandardOutput();
        }
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(1000);
        }
    }
    const int nul = out.indexOf('\0');
    if (nul >= 0)
        out.truncate(nul);
    return QString::fromUtf8(out);
}

void TuneAllocator()
{
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
}

bool Get_buf_isempty()
{
    if (Is_DSDFile(g_CurMusicPlay.fileType)) {
        CCycleBuffer *ring = m_MediaBuffer.dsdBuffer.load();
        return ring ? ring->isEmpty() : true;
    }
    BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load();
    return queue ? queue->isEmpty() : true;
}

int nextHeartbeat(int counter)
{
    return counter <= 10000 ? counter + 1 : 1;
}
