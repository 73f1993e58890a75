#pragma once
// A CUE sheet: album title and performer, the audio file it cuts, and one
// record per track with its start and length in whole seconds.

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

struct cueData {
    int index = 0;  // position in the sheet, from 0
    int start = 0;  // seconds into the audio file
    int length = 0; // seconds; 0 for the last track (runs to the end of the file)
    QString title;
    QString performer; // empty when the track has none
};

// What the keywords of a sheet's text give, before the track records are
// made. Keywords are case-sensitive and found anywhere in the text; a value
// is the text between the first two quotes after its keyword (blanks and
// line ends may stand before the first). Album values are the first of
// their kind in the whole text, followed by at least one character; the
// track values are those from the first "TRACK" on.
struct CueSheetText {
    bool hasTitle = false;
    bool hasPerformer = false;
    bool hasFile = false;
    QString title;     // first TITLE
    QString performer; // first PERFORMER
    QString file;      // first FILE
    QStringList trackTitles;
    QStringList trackPerformers;
    QStringList indexNumbers; // "INDEX nn mm:ss:ff": nn
    QStringList indexTimes;   // and mm:ss:ff
};

// One pass over the text: time and memory linear in its length.
CueSheetText scanCueText(const QString &text);

class CueFiles
{
public:
    // A disc holds at most 99 tracks; further ones are dropped.
    static constexpr int kMaxTracks = 99;
    // Titles and performers longer than this are cut (no screen shows more).
    static constexpr int kMaxText = 255;

    explicit CueFiles(const QString &cuePath);
    ~CueFiles();
    CueFiles(const CueFiles &) = delete;
    CueFiles &operator=(const CueFiles &) = delete;

    bool Is_Correct_CUE() const { return m_isCorrect; }
    QString getAlbumName() const { return m_albumName; }
    QString getAlbumPerformer() const { return m_albumPerformer; }
    QFileInfo getSrcFile() const;
    QList<cueData> getCueData() const { return m_cueData; }
    // What the parse left out of an oversized sheet, for the caller's log
    // ("150 tracks, the first 99 kept", "texts over 255 characters cut").
    QStringList notes() const { return m_notes; }
    void freeCueFiles();

private:
    void readCueFile();

    QString m_albumName;
    QString m_albumPerformer;
    bool m_isCorrect = false;
    std::unique_ptr<QFileInfo> m_srcFile;
    std::unique_ptr<QFileInfo> m_cueFile;
    QList<cueData> m_cueData;
    QStringList m_notes;
};
