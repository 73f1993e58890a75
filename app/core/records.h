#pragma once
// Plain value records that cross subsystem borders. Copyable; no behaviour
// beyond construction, copy and equality.

#include "shared.h"

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// Named values of the int fields below. The fields stay int: the numbers are
// stored in the library and the settings file and travel on the serial links.

// CurMusicPlayStruct::playState.
enum PlayState : int {
    PlayStopped = 1, // stopped, or a file being opened (also after a seek)
    PlayPlaying = 2,
    PlayPaused = 3,
};

// CurMusicPlayStruct::playMode.
enum PlayMode : int {
    ModeListOrder = 0,  // the list in order, wrapping at its end
    ModeRepeatSong = 1, // the current song again
    ModeRepeatDir = 2,  // the current directory in order
    ModeShuffleDir = 3, // random within the current directory
    ModeShuffleAll = 4, // random over all songs
};

// CurMusicPlayStruct::musiclistType.
enum MusicListType : int {
    ListAllSongs = 0,  // every song of the mounted disks
    ListDirectory = 1, // the songs of curDirPath
    ListSearch = 2,    // a search result described by songsearchConfig
};

// The library's song lists by category (search and category lists).
enum SearchType : int {
    SearchArtist = 1,
    SearchAlbum = 2,
    SearchTitle = 3,
    SearchFileType = 4,
    SearchDate = 5,
    SearchSize = 6,
};

// The source selected on the MCU: first byte of its system record.
enum InputSource : int {
    SourceHiLevel = 1,
    SourceBluetooth = 2,
    SourceAux = 3,
    SourceUsbAudio = 4, // audio from a computer over USB
    SourceUsb = 5,      // this player, playing from storage
};

// CurMusicPlayStruct::currentScreen and the screen history.
enum ScreenId : int {
    ScreenMain = 1, // now playing
    ScreenBrowser = 2,
    ScreenSetup = 3,
    ScreenFreqSwitch = 4,
    ScreenElectricCheck = 5,
    ScreenWheelStudy = 6, // steering-wheel key learning, above the setup screen
    ScreenAbout = 7,      // the About page, above the setup screen
};

// One playable item of a play list. A DSD image item's path carries
// "__M__track__M__area" after the real file path; a CUE track's path is its
// sheet's path and its fileName is the track title.
struct MediaObjectInfo {
    QString fileType; // lower-case extension without the dot
    QString fileName; // display title
    QString filePath; // absolute path, maybe with "__M__" selectors
    int diskID = 0;   // row in pre_diskList

    // fileType is not compared: the same item found under another suffix case
    // is still the same item.
    bool operator==(const MediaObjectInfo &o) const
    {
        return diskID == o.diskID && fileName == o.fileName && filePath == o.filePath;
    }
    bool operator!=(const MediaObjectInfo &o) const { return !(*this == o); }
};

// One storage volume as seen by the storage detection.
struct DiskInfo {
    QString diskName;       // volume label
    QString diskPath;       // mount point under the media prefix
    QString fileSystemType; // "tmpfs" is never a disk
    QString storageId;      // name of the partition's folder
    qint64 diskSizes = 0;   // total bytes
    qint64 diskAvailSize = 0;
    int port = 0;         // USB port 1..3 from "usb-storage_N"
    int diskID = 0;       // row in pre_diskList
    int musicTableID = 0; // 1..3: which pre_diskdirN / pre_diskmusicN pair
    int arrivalNo = 0;    // order in which the volume was found
    bool appendToList = false;
    bool hasSongs = false;
};

// The order of the USB ports in the disk lists: port 3, then 1, then 2.
inline int diskPortRank(int port)
{
    switch (port) {
    case 3:
        return 0;
    case 1:
        return 1;
    case 2:
        return 2;
    default:
        return 3;
    }
}

// One row of any list screen. Rows are identified by their title.
struct ListInfo {
    QString iconPath; // empty: no icon, text at x = 10; else text at x = 59
    QString title;
    int attr = 0; // row attribute for the list widgets
    int type = 0; // row kind
    int id = -1;
    QString value;
    QString rightText;

    bool operator==(const ListInfo &o) const { return title == o.title; }
    bool operator!=(const ListInfo &o) const { return !(*this == o); }

    // Where the row's text starts, given whether it carries an icon.
    int textX() const { return iconPath.isEmpty() ? 10 : 59; }
};

struct TempInfoList {
    ListInfo info;
    int secondId = 0;

    bool operator==(const TempInfoList &o) const { return info == o.info && secondId == o.secondId; }
    bool operator!=(const TempInfoList &o) const { return !(*this == o); }
};

// The song now playing (g_CurMusicPlay). Written by the GUI thread and the
// decoders, polled by the decoder, output and scanner threads: every field
// is a Shared<> so that those unlocked reads are data-race free.
struct CurMusicPlayStruct {
    Shared<int> playState = PlayStopped; // PlayState
    Shared<qint64> duration = 0;         // seconds, of the track
    Shared<qint64> startOffset = 0;      // CUE track start inside its file
    Shared<qint64> currentPosition = 0;  // seconds inside the file
    Shared<int> curIndex = 0;
    Shared<bool> isResample = false;
    Shared<bool> seeking = false;
    Shared<bool> tailStart = false;
    Shared<int> playMode = ModeListOrder; // PlayMode
    Shared<QString> title;
    Shared<QString> artist;
    Shared<QString> album;
    Shared<QImage> albumPicture;
    Shared<QString> fileType;
    Shared<QString> filePath;
    Shared<QString> sampleRateText;
    Shared<QString> detailText;
    Shared<int> diskID = 0;
    Shared<bool> isHiRes = false;
    Shared<bool> is48kFamily = false;
    Shared<qint64> decodedTime = 0;
    Shared<bool> decodeOver = false;
    Shared<bool> noDuration = false;
    Shared<int> currentScreen = ScreenMain; // ScreenId
    Shared<bool> isSubPage = true;
    Shared<QString> selectFileType;
    Shared<QString> selectFileName;
    Shared<QString> selectFilePath;
    Shared<int> selectDiskID = 0;
    Shared<int> curDiskID = 0;
    Shared<QString> curDirPath;
    Shared<int> musiclistType = ListAllSongs; // MusicListType
    Shared<QString> songsearchConfig;
    Shared<QString> selectMuiscInfo;
    Shared<bool> dbRebuilding = false;
    Shared<QString> dbVersion;
    Shared<int> outputSampleRate = 192000;
    Shared<int> outputSampleFormat = 1;      // AV_SAMPLE_FMT_S16
    Shared<quint64> outputChannelLayout = 3; // front left + front right
    Shared<int> outputBits = 16;
    Shared<bool> listSelected = false;
    Shared<bool> listSelectedAux = false;

    // The item last chosen for playing, as searched for in the play lists.
    MediaObjectInfo selectedItem() const
    {
        return MediaObjectInfo{selectFileType, selectFileName, selectFilePath, selectDiskID};
    }
};

// Run-time values that are never persisted (g_TempData).
struct TempRecordDataStruct {
    Shared<int> languageID = 0;
    Shared<bool> inTimeCorrection = false;
    Shared<qint64> wireKeyTime = 0;
    Shared<int> transportCommand = 0;
    Shared<int> bleRequestedState = 0;
    Shared<int> pendingIndex = -1;
    Shared<bool> soundOn = false;
    Shared<int> wheelStudyMode = 0;
    Shared<bool> resumePending = true;
    Shared<bool> skipInProgress = false;
    Shared<bool> usbPaused = false;
    Shared<bool> albumScanStopped = false;
    Shared<bool> diskJoinPending = false;
    Shared<int> mcuSystemState = 0;
    Shared<int> popupType = 0;
    Shared<qint64> lastDiskKey = 0;
    Shared<bool> popupOpen = false;
    Shared<int> wheelAd1 = 200;
    Shared<int> wheelAd2 = 200;
    Shared<QList<int>> diskIdList;
    Shared<int> inputSampleRate = 0;
    Shared<int> bitsPerSample = 0;
    Shared<bool> dsdNotSupported = false;
    Shared<bool> checkPauseStopped = false;
    Shared<quint8> blePlayerState = 0;
    Shared<bool> wheelValuesLoaded = false; // "Wheelad2" was read from the library
    Shared<bool> listLoading = false;       // a volume's songs are being loaded into the play list
    Shared<bool> songExistChecked = false;  // a volume's has-songs flag has been settled
    // Scratch text and list for the screens' temporary selections.
    Shared<QString> tempText;
    Shared<QStringList> tempList;
};

// One page of the track browser's song lists: the items behind its rows.
struct PageListStruct {
    QList<MediaObjectInfo> mediaList;
};

// A library row handed between the database, the scanner and the
// album/artist scan: folder rows (rowid, readOver, path) and file rows
// (rowid, disk id, full path, type).
struct MediaInfo {
    int rowid = 0;
    int readOver = 0;
    int diskID = 0;
    int musicTableID = 0; // the volume's table slot, where known
    QString filePath;
    QString fileExt;
};

// One file as the scanner enters it.
struct AudioInfo {
    QString title;
    QString fileExt;
    QString filePath; // full path (made volume-relative when stored)
    qint64 fileSize = 0;
    QString artist;
    QString album;
    qint64 createTime = 0; // modification day at 00:00 local time
};

Q_DECLARE_METATYPE(MediaObjectInfo)
Q_DECLARE_METATYPE(DiskInfo)
Q_DECLARE_METATYPE(ListInfo)
Q_DECLARE_METATYPE(TempInfoList)
