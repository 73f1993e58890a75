#pragma once
// A CUE sheet: album title and performer, the audio file it cuts, and one
// record per track with its start and length in whole seconds.

#include <QFileInfo>
#include <QList>
#include <QString>

#include <memory>

struct cueData {
    int index = 0;  // position in the sheet, from 0
    int start = 0;  // seconds into the audio file
    int length = 0; // seconds; 0 for the last track (runs to the end of the file)
    QString title;
    QString performer; // empty when the track has none
};

class CueFiles
{
public:
    explicit CueFiles(const QString &cuePath);
    ~CueFiles();
    CueFiles(const CueFiles &) = delete;
    CueFiles &operator=(const CueFiles &) = delete;

    bool Is_Correct_CUE() const { return m_isCorrect; }
    QString getAlbumName() const { return m_albumName; }
    QString getAlbumPerformer() const { return m_albumPerformer; }
    QFileInfo getSrcFile() const;
    QList<cueData> getCueData() const { return m_cueData; }
    void freeCueFiles();

private:
    void readCueFile();

    QString m_albumName;
    QString m_albumPerformer;
    bool m_isCorrect = false;
    std::unique_ptr<QFileInfo> m_srcFile;
    std::unique_ptr<QFileInfo> m_cueFile;
    QList<cueData> m_cueData;
};
