#pragma once
// ScanAblumArtist: the slow second pass after the volume scans. It reads
// the album and artist tags of every song of the mounted volumes whose
// artist is still empty and writes them, with their sort keys, into the
// library, so that the browser's artist and album lists fill up over time.
// Songs without tags get "未知" ("Unknown") and the key "wz".
//
// The owner (the track browser) sets the library and the start-late flag,
// then start(QThread::LowPriority); StopScan() from any thread.

#include "records.h"

#include "globals.h"

#include <QThread>

#include <atomic>

class DataBase;

class ScanAblumArtist : public QThread
{
    Q_OBJECT

public:
    explicit ScanAblumArtist(QObject *parent = nullptr);
    ~ScanAblumArtist() override;

    void setDataBase(DataBase *db) { m_db = db; }
    // Wait 3000 ms before the first query. Called before every start(): it
    // also clears a stop left from the previous pass.
    // Also takes the mounted volumes as they are now: the pass reads them
    // from its own thread, where the live list may change under it.
    void setStartLate(bool late)
    {
        m_startLate = late;
        m_stop = false;
        m_volumes = UsingUSBDiskList;
    }
    void StopScan();

    // The two tags of one item (a file, a CUE sheet, or an SACD image track
    // "path__M__track__M__area"); "未知" where a tag is missing. False only
    // when the file is gone.
    static bool getAblumSonger(const QString &path, QString &album, QString &artist);

signals:
    void scanOver();

protected:
    void run() override;

private:
    // Sleeps ms in short steps; false when a stop came meanwhile.
    bool nap(int ms);

    DataBase *m_db = nullptr;  // set before start()
    QList<DiskInfo> m_volumes; // set before start(), read by the thread
    std::atomic<bool> m_startLate{false};
    std::atomic<bool> m_stop{false};
};
