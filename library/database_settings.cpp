// DataBase: the player's settings in pre_config.
#include "database.h"

#include "dbstatement.h"
#include "globals.h"
#include "logging.h"
#include "sqltext.h"

bool DataBase::initConfig()
{
    Statement st(m_db, "SELECT * FROM pre_config;");
    if (!st.ok()) {
        qCWarning(lcLibrary) << "sql error!";
        return false;
    }
    while (st.next()) {
        const QString name = st.text(0);
        const QString value = sqliteDescape(st.text(1));
        const int number = value.toInt(nullptr, 10);
        if (name == QLatin1String("curDirPath"))
            g_CurMusicPlay.curDirPath = value;
        else if (name == QLatin1String("playMode"))
            g_CurMusicPlay.playMode = number;
        else if (name == QLatin1String("curDiskID"))
            g_CurMusicPlay.curDiskID = number;
        else if (name == QLatin1String("musiclistType"))
            g_CurMusicPlay.musiclistType = number;
        else if (name == QLatin1String("songsearchConfig"))
            g_CurMusicPlay.songsearchConfig = value;
        else if (name == QLatin1String("languageID")) {
            LanguageID = number;
            g_TempData.languageID = number;
        } else if (name == QLatin1String("isSubPage"))
            g_CurMusicPlay.isSubPage = number != 0;
        else if (name == QLatin1String("Wheelad1"))
            g_TempData.wheelAd1 = number;
        else if (name == QLatin1String("Wheelad2")) {
            g_TempData.wheelAd2 = number;
            g_TempData.wheelValuesLoaded = true;
        } else if (name == QLatin1String("delayUint"))
            Cur_Delay_Uint = number;
        else if (name == QLatin1String("dbVersion"))
            g_CurMusicPlay.dbVersion = value;
    }
    return true;
}

void DataBase::update_Config(const QString &name, const QString &value)
{
    Statement(m_db, "update pre_config set value=? where name=?;").bindText(sqliteEscape(value)).bindText(name).run();
}

void DataBase::update_CurMuiscInfo(const QString &info)
{
    g_CurMusicPlay.selectMuiscInfo = info;
    update_Config(QStringLiteral("selectMuiscInfo"), info);
}

void DataBase::update_CurWheelDefVal()
{
    update_Config(QStringLiteral("Wheelad1"), QString::number(g_TempData.wheelAd1));
    update_Config(QStringLiteral("Wheelad2"), QString::number(g_TempData.wheelAd2));
}

void DataBase::update_CurrentTime(int seconds)
{
    update_Config(QStringLiteral("curMusicTime"), QString::number(seconds));
}
void DataBase::update_DelayUint(int unit)
{
    update_Config(QStringLiteral("delayUint"), QString::number(unit));
}
void DataBase::update_PlayingDiskID(int diskID)
{
    update_Config(QStringLiteral("curDiskID"), QString::number(diskID));
}
void DataBase::update_CurDirPath(const QString &path)
{
    update_Config(QStringLiteral("curDirPath"), path);
}

void DataBase::update_Submodel()
{
    update_Config(QStringLiteral("isSubPage"), g_CurMusicPlay.isSubPage ? QStringLiteral("1") : QStringLiteral("0"));
}

void DataBase::update_MusicListTypeAndPath(const QString &text, int type)
{
    if (type == ListDirectory) {
        g_CurMusicPlay.curDirPath = text;
        update_Config(QStringLiteral("curDirPath"), text);
    } else if (type == ListSearch) {
        g_CurMusicPlay.songsearchConfig = text;
        update_Config(QStringLiteral("songsearchConfig"), text);
    }
    update_Config(QStringLiteral("musiclistType"), QString::number(type));
    g_CurMusicPlay.musiclistType = type;
}
