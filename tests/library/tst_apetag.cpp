// The APE tag reader of Monkey's Audio files: versions, key case, ID3v1
// trailer, encodings, item kinds, and broken or hostile tags.
#include "apetag.h"
#include "globals.h"
#include "scanfixtures.h"
#include "scanner.h"

#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using ScanFixtures::apeTag;
using Items = QList<QPair<QByteArray, QByteArray>>;

class TstApeTag : public QObject
{
    Q_OBJECT

private slots:
    void readsTag_data();
    void readsTag();
    void brokenTagsReadNothingOrPart_data();
    void brokenTagsReadNothingOrPart();
    void everyTruncationIsSafe();
    void scannerTakesApeTags();
};

void TstApeTag::readsTag_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");

    const QByteArray audio = QByteArray("MAC ") + QByteArray(500, '\x11');
    const Items chinese{{"Artist", "周杰伦"}, {"Album", "范特西"}, {"Title", "星晴"}};
    QTest::newRow("v2 with header, UTF-8") << audio + apeTag(chinese) << "周杰伦"
                                           << "范特西";
    QTest::newRow("v2 without header") << audio + apeTag(chinese, 2000, false) << "周杰伦"
                                       << "范特西";
    QTest::newRow("v1") << audio + apeTag({{"Artist", "Band"}, {"Album", "Record"}}, 1000) << "Band"
                        << "Record";
    QTest::newRow("keys in any case") << audio + apeTag({{"ARTIST", "Upper"}, {"album", "lower"}}) << "Upper"
                                      << "lower";
    QByteArray id3v1 = QByteArray("TAG") + QByteArray(125, ' ');
    QTest::newRow("ID3v1 trailer after the tag") << audio + apeTag(chinese) + id3v1 << "周杰伦"
                                                 << "范特西";
    const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("张学友"));
    QTest::newRow("GBK value") << audio + apeTag({{"Artist", gbk}}) << "张学友" << QString();
    QTest::newRow("first of several values")
        << audio + apeTag({{"Artist", QByteArray("One\0Two", 7)}}) << "One" << QString();
    // A binary item (a picture) before the text ones is stepped over.
    QTest::newRow("binary item skipped")
        << audio + apeTag({{"Cover Art (Front)", QByteArray(300, '\xFF')}, {"Artist", "After"}}, 2000, true, {2u, 0u})
        << "After" << QString();
    QTest::newRow("no tag") << audio << QString() << QString();
}

void TstApeTag::readsTag()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.ape"));
    QVERIFY(ScanFixtures::writeFile(path, file));
    ApeTag tag;
    QCOMPARE(tag.readFile(path), !artist.isEmpty());
    QCOMPARE(tag.value(QStringLiteral("artist")), artist);
    QCOMPARE(tag.value(QStringLiteral("ALBUM")), album);
}

void TstApeTag::brokenTagsReadNothingOrPart_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");

    const QByteArray good = apeTag({{"Artist", "Kept"}, {"Album", "Lost"}}, 2000, false);
    auto patched = [&](int offsetFromEnd, quint32 value) {
        QByteArray t = good;
        t.replace(t.size() - offsetFromEnd, 4, ScanFixtures::le32(value));
        return t;
    };
    // Footer: 8 magic, version at -24, size at -20, count at -16.
    QTest::newRow("tag size beyond the data") << patched(20, 1u << 20) << QString() << QString();
    QTest::newRow("tag size below a footer") << patched(20, 8) << QString() << QString();
    QTest::newRow("tag size past the limit") << patched(20, 0x7FFFFFFF) << QString() << QString();
    QTest::newRow("unknown version") << patched(24, 3000) << QString() << QString();
    QTest::newRow("count far above the items") << patched(16, 0xFFFFFFFF) << "Kept"
                                               << "Lost";
    QTest::newRow("count below the items") << patched(16, 1) << "Kept" << QString();
    // The second item claims more bytes than the tag holds.
    QByteArray overlong = good;
    const int second = overlong.indexOf("Album") - 8;
    overlong.replace(second, 4, ScanFixtures::le32(0xFFFFFFF0));
    QTest::newRow("item size past the end") << overlong << "Kept" << QString();
    // A key without its terminating zero.
    QByteArray unterminated = apeTag({{"Artist", "x"}}, 2000, false);
    unterminated.replace(unterminated.indexOf("Artist") + 6, 1, "A");
    QTest::newRow("key without end") << unterminated << QString() << QString();
}

void TstApeTag::brokenTagsReadNothingOrPart()
{
    QFETCH(QByteArray, tag);
    QFETCH(QString, artist);
    QFETCH(QString, album);
    ApeTag t;
    QCOMPARE(t.parse(QByteArray(64, '\0') + tag), !artist.isEmpty());
    QCOMPARE(t.value(QStringLiteral("artist")), artist);
    QCOMPARE(t.value(QStringLiteral("album")), album);
}

// Any cut of a tagged file's end, and any one byte of it changed, parses
// without reading out of bounds (the sanitizer builds catch a slip).
void TstApeTag::everyTruncationIsSafe()
{
    const QByteArray tag = apeTag({{"Artist", "周杰伦"}, {"Album", "范特西"}, {"Comment", QByteArray(40, 'c')}});
    int complete = 0;
    for (int n = 0; n <= tag.size(); ++n) {
        ApeTag t;
        if (t.parse(tag.right(n)) && t.value(QStringLiteral("album")) == QStringLiteral("范特西"))
            ++complete;
        t.parse(tag.left(n));
    }
    // Exactly the cuts that keep items and footer (any part of the header) read it.
    QCOMPARE(complete, 32 + 1);
    for (int i = 0; i < tag.size(); ++i) {
        for (const char v : {'\0', '\x7F', '\xFF'}) {
            QByteArray broken = tag;
            broken[i] = v;
            ApeTag t;
            t.parse(broken);
        }
    }
}

void TstApeTag::scannerTakesApeTags()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.ape"));
    QVERIFY(ScanFixtures::writeFile(path, ScanFixtures::apeFile({{"Artist", "Ape Artist"}, {"Album", "Ape Album"}})));
    QString artist, album;
    Scanner::get_musicInfo(path, true, &artist, &album);
    QCOMPARE(artist, QStringLiteral("Ape Artist"));
    QCOMPARE(album, QStringLiteral("Ape Album"));
}

QTEST_GUILESS_MAIN(TstApeTag)
#include "tst_apetag.moc"
