#pragma once
// Process-wide state: path and name constants, the play and disk lists, the
// now-playing and run-time records, the screen history, the log and the
// shared-memory heartbeat.

#include "log.h"
#include "records.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// Paths (resolved through the platform layer: the board's own paths, or the
// same paths under a sandbox directory).
extern QString USBPath_Prefix;    // "/run/media/"
extern QString ReadWrite_Path;    // USBPath_Prefix + "mmcblk1p3/"
extern QString MusicDataBaseName; // ReadWrite_Path + "QXMusicDB.db"
extern QString UpgradePathDir;    // "/run/media/mmcblk1p3/update"
extern QString SettingFileName;   // ReadWrite_Path + "setting.ini"
extern QString LogFileName;       // ReadWrite_Path + "log_730.txt"

extern const QString __ICONPATH__;
extern const QString ApplicationName;
extern const QString PC_Versions;
extern const QString Set_MCU_Version;
extern const QString DB_Versions;
extern QString RevMCU_VERSION;
extern const QString m_nCurDSP_Flag;
extern const QString m_nCurMcu_Flag;

// Recomputes the path globals after the platform layer changed sandbox.
void InitPaths();

extern QStringList musicFormatList; // playable patterns, filled by InitData
extern QStringList NotRead_DirList; // folder names never scanned (lower case)

extern CurMusicPlayStruct g_CurMusicPlay;
extern TempRecordDataStruct g_TempData;
extern QList<MediaObjectInfo> mediaObjectInfoList; // the current play list
extern QList<MediaObjectInfo> mediaTempPlayList;   // a selection before it becomes the play list
extern QVector<DiskInfo> diskInfoDataBaseList;     // disks known to the library
extern QList<DiskInfo> UsingUSBDiskList;           // disks mounted now
extern QList<int> InterfaceNavigationList;         // screen history, oldest first
extern QList<PageListStruct> TempMediaObjectList;  // the track browser's song pages
extern int Cur_Delay_Uint;                         // delay unit: 1000 ms, 1001 cm, 1002 inch
extern int LanguageID;

// Heartbeat segment (null without shared memory).
extern volatile int *shared;
int sw_getShmID();

void InitData();

void setInterfaceNavigation(int id);
int getPreviousInterfaceID(bool toFirst);

// value moved up (increase) or down by step, held within min..max.
int getIncDecCorrectValue(int value, int min, int max, bool increase, int step);

// Runs cmd through "bash -c", waits at most timeoutMs, returns its standard
// output as UTF-8 up to the first NUL ("" when none). A command still running
// at the limit is killed.
QString executeLinuxCmd(const QString &cmd, int timeoutMs = 4000);

// Keeps the PCM blocks (128 KB and more each) on the heap: with glibc's
// default they are mapped and unmapped one by one, and the page faults cost
// a fifth of the playback pipeline's CPU time. Called first thing by main.
void TuneAllocator();

// One step of the heartbeat counter: 1, 2, ..., 10001, 1, ...
int nextHeartbeat(int counter);
