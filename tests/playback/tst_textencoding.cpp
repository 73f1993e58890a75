// Guessing UTF-8 or GBK for tag values and CUE sheet lines.
#include "textencoding.h"

#include <QTextCodec>
#include <QtTest>

namespace {

QByteArray gbk(const QString &s)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(s);
}

} // namespace

class TstTextEncoding : public QObject
{
    Q_OBJECT

private slots:
    void leadingOnes_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("ones");
        QTest::addColumn<int>("top");
        QTest::newRow("0x00") << 0x00 << 0 << 0;
        QTest::newRow("0x7F") << 0x7F << 0 << 0;
        QTest::newRow("0x80") << 0x80 << 1 << 1;
        QTest::newRow("0xBF") << 0xBF << 1 << 1;
        QTest::newRow("0xC3") << 0xC3 << 2 << 1;
        QTest::newRow("0xE4") << 0xE4 << 3 << 1;
        QTest::newRow("0xF0") << 0xF0 << 4 << 1;
        QTest::newRow("0xFE") << 0xFE << 7 << 1;
        QTest::newRow("0xFF") << 0xFF << 255 << 1;
    }
    void leadingOnes()
    {
        QFETCH(int, byte);
        QFETCH(int, ones);
        QFETCH(int, top);
        QCOMPARE(numberCalculate(static_cast<unsigned char>(byte)), ones);
        QCOMPARE(byteJudge(static_cast<unsigned char>(byte)), top);
    }

    void utf8Shape_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ascii") << QByteArray("Hotel California") << true;
        QTest::newRow("utf-8 chinese") << QString::fromUtf8("七里香").toUtf8() << true;
        QTest::newRow("lone 0x80") << QByteArray("\x80") << false;
        QTest::newRow("lone 0xBF") << QByteArray("a\xBF") << false;
        QTest::newRow("0xFF") << QByteArray("ab\xFF") << false;
        QTest::newRow("gbk trail below 0x80") << gbk(QString::fromUtf8("說")) << false;
        QTest::newRow("gbk lead 0x8F") << gbk(QString::fromUtf8("張學友")) << false;
        // Only the top bit of the following bytes is tested.
        QTest::newRow("gbk all trails high") << gbk(QString::fromUtf8("中文")) << true;
        QTest::newRow("sequence cut by the end") << QByteArray("ok\xE4\xB8") << true;
        QTest::newRow("three-byte lead, ascii next") << QByteArray("\xE4"
                                                                   "a\x80")
                                                     << false;
    }
    void utf8Shape()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QCOMPARE(judgeCorrectCodec(bytes.constData(), bytes.size()), accepted);
    }

    void conversions_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("byteArrayText"); // GetCorrectUnicode
        QTest::addColumn<QString>("tagText");       // get_UTF8String
        const QString title = QString::fromUtf8("七里香 - 周杰伦");
        const QString trad = QString::fromUtf8("說好的幸福呢");
        QTest::newRow("ascii") << QByteArray("Abbey Road") << QStringLiteral("Abbey Road")
                               << QStringLiteral("Abbey Road");
        QTest::newRow("utf-8") << title.toUtf8() << title << title;
        QTest::newRow("gbk with low trail") << gbk(trad) << trad << trad;
        // Passes the shape test, so the tag function reads it as UTF-8; the
        // codec's invalid-character count still catches it.
        const QByteArray g = gbk(QString::fromUtf8("中文"));
        QTest::newRow("gbk all trails high") << g << QString::fromUtf8("中文") << QString::fromUtf8(g);
    }
    void conversions()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, byteArrayText);
        QFETCH(QString, tagText);
        QCOMPARE(GetCorrectUnicode(bytes), byteArrayText);
        QCOMPARE(get_UTF8String(bytes.constData()), tagText);
    }

    void byteArrayEdges()
    {
        QVERIFY(GetCorrectUnicode(QByteArray()).isNull());
        // Valid UTF-8 stops at the first zero byte.
        QCOMPARE(GetCorrectUnicode(QByteArray("abc\0def", 7)), QStringLiteral("abc"));
        // A truncated UTF-8 sequence at the end is not UTF-8: read as GBK.
        const QByteArray cut = gbk(QString::fromUtf8("中文")) + QByteArray("\xD6");
        QVERIFY(GetCorrectUnicode(cut).startsWith(QString::fromUtf8("中文")));
        QVERIFY(get_UTF8String(nullptr).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstTextEncoding)
#include "tst_textencoding.moc"
