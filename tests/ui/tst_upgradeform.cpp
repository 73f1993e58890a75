// The upgrade screen: percent from the count of answered frames, the
// completed and failed states.
#include "linkglobals.h"
#include "upgradeform.h"

#include <QtTest>

class TstUpgradeForm : public QObject
{
    Q_OBJECT

private slots:
    void percent_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("title");
        const QString running = QStringLiteral("固件更新中");
        const QString done = QStringLiteral("固件更新完成");
        QTest::newRow("nothing yet") << 200 << QList<int>{} << QStringLiteral("0%") << 0 << running;
        QTest::newRow("first answer") << 200 << QList<int>{1} << QStringLiteral("0%") << 0 << running;
        QTest::newRow("two of 200") << 200 << QList<int>{1, 2} << QStringLiteral("1%") << 2 << running;
        QTest::newRow("one short of the end") << 200 << QList<int>{2, 199} << QStringLiteral("99%") << 199 << running;
        QTest::newRow("the end") << 200 << QList<int>{2, 200} << QStringLiteral("100%") << 200 << done;
        QTest::newRow("many frames, rounds down")
            << 5963 << QList<int>{2, 2982} << QStringLiteral("50%") << 2982 << running;
        QTest::newRow("nine frames") << 0 << QList<int>{3, 9} << QStringLiteral("100%") << 9 << done;
    }
    void percent()
    {
        QFETCH(int, total);
        QFETCH(QList<int>, counts);
        QFETCH(QString, percent);
        QFETCH(int, bar);
        QFETCH(QString, title);
        // The upgrade's record holds the total; 0 stands for a record not read.
        m_nReadDsp_McuFile_Flag.totalFrames = total > 0 ? total : 9;
        UpgradeForm form;
        for (int n : counts)
            form.setPersent(n);
        QCOMPARE(form.percentText(), percent);
        QCOMPARE(form.barValue(), bar);
        QCOMPARE(form.titleText(), title);
        if (!counts.isEmpty())
            QCOMPARE(form.barMaximum(), total > 0 ? total : 9);
    }

    void failedStays()
    {
        m_nReadDsp_McuFile_Flag.totalFrames = 100;
        UpgradeForm form;
        form.setPersent(40);
        form.UpgradeFailed();
        QCOMPARE(form.titleText(), QStringLiteral("升级失败 3秒后重启..."));
        // A late answer does not bring the running title back.
        form.setPersent(100);
        QVERIFY(form.failed());
        QCOMPARE(form.titleText(), QStringLiteral("升级失败 3秒后重启..."));
        QCOMPARE(form.percentText(), QStringLiteral("40%"));
        form.reset();
        QCOMPARE(form.titleText(), QStringLiteral("固件更新中"));
        QCOMPARE(form.percentText(), QStringLiteral("0%"));
    }
};

QTEST_MAIN(TstUpgradeForm)
#include "tst_upgradeform.moc"
