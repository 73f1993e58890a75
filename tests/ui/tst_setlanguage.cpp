// The language switch: which translation is installed after each switch,
// when LanguageChaned() is emitted, a translation file gone missing, and
// the translation files kept complete against the sources.
#include "setlanguage.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QString translated(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

} // namespace

class TstSetLanguage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SetLanguage::setResourceDir(QStringLiteral(":/lang/Language/"));
        SetLanguage::GetLanguageInstance()->ChangeLanguage(0);
    }

    // A sequence of switches: the translation in force after each, and
    // whether the switch was announced.
    void switches_data()
    {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QString>("shown"); // MainWindow's "无歌曲" after the last switch
        QTest::addColumn<int>("announced");
        QTest::addColumn<bool>("installed");
        QTest::newRow("to English") << QList<int>{1} << "No Song" << 1 << true;
        QTest::newRow("to Korean") << QList<int>{2} << "곡 없음" << 1 << true;
        QTest::newRow("English then Korean") << QList<int>{1, 2} << "곡 없음" << 2 << true;
        QTest::newRow("English then Chinese") << QList<int>{1, 0} << "无歌曲" << 2 << false;
        QTest::newRow("the active language again") << QList<int>{1, 1} << "No Song" << 1 << true;
        QTest::newRow("Chinese at start") << QList<int>{0} << "无歌曲" << 0 << false;
    }
    void switches()
    {
        QFETCH(QList<int>, ids);
        QFETCH(QString, shown);
        QFETCH(int, announced);
        QFETCH(bool, installed);
        SetLanguage *lang = SetLanguage::GetLanguageInstance();
        QCOMPARE(lang, SetLanguage::GetLanguageInstance());
        QSignalSpy spy(lang, &SetLanguage::LanguageChaned);
        for (int id : ids)
            lang->ChangeLanguage(id);
        QCOMPARE(spy.count(), announced);
        QCOMPARE(lang->currentLanguage(), ids.last());
        QCOMPARE(lang->translatorInstalled(), installed);
        QCOMPARE(translated("MainWindow", "无歌曲"), shown);
    }

    // Without its file a language shows the Chinese texts; the switch still
    // happens (and is stored by the caller), so nothing else breaks.
    void missingFileFallsBackToChinese()
    {
        QTemporaryDir empty;
        SetLanguage::setResourceDir(empty.path());
        SetLanguage *lang = SetLanguage::GetLanguageInstance();
        QSignalSpy spy(lang, &SetLanguage::LanguageChaned);
        lang->ChangeLanguage(2);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!lang->translatorInstalled());
        QCOMPARE(translated("MainWindow", "无歌曲"), QStringLiteral("无歌曲"));
    }

    // lupdate over the sources finds no text missing from a translation
    // file (it would come back unfinished) and none that the sources no
    // longer have (vanished); every entry is translated.
    void filesCompleteAgainstSources_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("English") << QStringLiteral("QT_English.ts");
        QTest::newRow("Korean") << QStringLiteral("QT_Korea.ts");
    }
    void filesCompleteAgainstSources()
    {
        QFETCH(QString, file);
        const QString src = QStringLiteral(VDX_SOURCE_DIR);
        QTemporaryDir dir;
        const QString copy = dir.filePath(file);
        QVERIFY(QFile::copy(src + QStringLiteral("/resources/i18n/") + file, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QStringList args{QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-source-language"),
                         QStringLiteral("zh_CN")};
        for (const char *d : {"app", "ui", "sound", "link", "library", "playback"})
            args << src + QLatin1Char('/') + QLatin1String(d);
        args << QStringLiteral("-ts") << copy;
        QProcess lupdate;
        lupdate.start(QStringLiteral("lupdate"), args);
        QVERIFY2(lupdate.waitForFinished(120000), "lupdate did not finish");
        QCOMPARE(lupdate.exitCode(), 0);

        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        QStringList problems;
        QString context;
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("message")) {
                ++messages;
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString text = xml.readElementText();
                if (!type.isEmpty() || text.isEmpty())
                    problems << QStringLiteral("%1 \"%2\": %3").arg(context, source, type.isEmpty() ? "empty" : type);
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 0);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TstSetLanguage)
#include "tst_setlanguage.moc"
