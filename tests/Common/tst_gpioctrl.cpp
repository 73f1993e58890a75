// GpioCtrl against the sandbox's fake sysfs files, and the platform layer's
// path mapping.
#include "gpioctrl.h"
#include "platform.h"
#include "testsandbox.h"

#include <QFile>
#include <QtTest>

class TstGpioCtrl : public QObject
{
    Q_OBJECT

private:
    TestSandbox *m_sb = nullptr;

    QByteArray read(const QString &rel) const
    {
        QFile f(m_sb->dir() + QStringLiteral("/sys/class/gpio/") + rel);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QString &rel, const QByteArray &data) const
    {
        QFile f(m_sb->dir() + QStringLiteral("/sys/class/gpio/") + rel);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

private slots:
    void initTestCase()
    {
        m_sb = new TestSandbox();
        QVERIFY(m_sb->isValid());
        m_sb->enter();
    }
    void cleanupTestCase() { delete m_sb; }

    void boardPathsWithoutSandbox()
    {
        TestSandbox::leave();
        QCOMPARE(Platform::gpioRoot(), QStringLiteral("/sys/class/gpio"));
        QCOMPARE(Platform::mediaPrefix(), QStringLiteral("/run/media/"));
        QCOMPARE(Platform::mcuPort(), QStringLiteral("/dev/ttyS4"));
        QCOMPARE(Platform::keyPort(), QStringLiteral("/dev/ttyS5"));
        QCOMPARE(Platform::pcmDevice(), QStringLiteral("hw:1,0"));
        QCOMPARE(Platform::dsdDevice(), QStringLiteral("hw:0,0"));
        QCOMPARE(Platform::shmKey(), 12345678);
        m_sb->enter();
        QCOMPARE(Platform::gpioRoot(), m_sb->dir() + QStringLiteral("/sys/class/gpio"));
        QCOMPARE(Platform::pcmDevice(), QStringLiteral("vdx_pcm"));
        QVERIFY(Platform::shmKey() != 12345678);
        QCOMPARE(Platform::boardPath(Platform::fstabPath()), QStringLiteral("/etc/fstab"));
    }

    void exportDirectionValue_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("seven is high") << 7u << QByteArray("1\0", 2);
        QTest::newRow("one is high") << 1u << QByteArray("1\0", 2);
        QTest::newRow("zero is low") << 0u << QByteArray("0\0", 2);
    }
    void exportDirectionValue()
    {
        QFETCH(uint, value);
        QFETCH(QByteArray, written);
        write(QStringLiteral("export"), QByteArray());
        {
            GpioCtrl g(12);
            QVERIFY(g.set_export());
            QCOMPARE(read(QStringLiteral("export")), QByteArray("12"));
            QVERIFY(g.set_direction("out"));
            QCOMPARE(read(QStringLiteral("gpio12/direction")), QByteArray("out\0", 4));
            QCOMPARE(g.set_value(value), 0);
            QCOMPARE(read(QStringLiteral("gpio12/value")), written);
            QCOMPARE(g.get_value(), value ? 1 : 0);
        }
    }

    void getValueReadsFile()
    {
        GpioCtrl g(13);
        QVERIFY(g.set_export());
        QVERIFY(g.set_direction("out"));
        write(QStringLiteral("gpio13/value"), "1");
        QCOMPARE(g.get_value(), 1);
        write(QStringLiteral("gpio13/value"), "0\n");
        QCOMPARE(g.get_value(), 0);
    }

    void destructorUnexportsOnlyExportedLines()
    {
        write(QStringLiteral("unexport"), QByteArray());
        {
            GpioCtrl g(5);
            QVERIFY(g.set_export());
        }
        QCOMPARE(read(QStringLiteral("unexport")), QByteArray("5"));

        // A line unexported explicitly is not unexported again.
        write(QStringLiteral("unexport"), QByteArray());
        {
            GpioCtrl g(4);
            QVERIFY(g.set_export());
            QVERIFY(g.set_unexport());
            QVERIFY(!g.isExported());
            write(QStringLiteral("unexport"), QByteArray());
        }
        QCOMPARE(read(QStringLiteral("unexport")), QByteArray());
    }

    void missingSysfsFilesFail()
    {
        const QString exportFile = m_sb->dir() + QStringLiteral("/sys/class/gpio/export");
        QVERIFY(QFile::rename(exportFile, exportFile + QStringLiteral(".off")));
        write(QStringLiteral("unexport"), QByteArray());
        {
            GpioCtrl g(2);
            QVERIFY(!g.set_export());
            QVERIFY(!g.isExported());
        }
        // The destructor of a line whose export failed leaves unexport alone.
        QCOMPARE(read(QStringLiteral("unexport")), QByteArray());
        QVERIFY(QFile::rename(exportFile + QStringLiteral(".off"), exportFile));

        // A line without its sysfs folder: direction and value fail.
        GpioCtrl g(99);
        QVERIFY(g.set_export());
        QVERIFY(!g.set_direction("out"));
    }
};

QTEST_GUILESS_MAIN(TstGpioCtrl)
#include "tst_gpioctrl.moc"
