// The main window shell: geometry, frame, heartbeat, style sheet resource.
#include "globals.h"
#include "mainwindow.h"
#include "testsandbox.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

class TstMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowShellAndHeartbeat()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        sb.enter();
        InitPaths();
        int word[2] = {0, 0};
        shared = word;
        {
            MainWindow w;
            w.show();
            QCOMPARE(w.size(), QSize(480, 320));
            QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
            QCOMPARE(musicFormatList.size(), 14); // InitData ran
            QVERIFY(QFile::exists(LogFileName));
            w.DaemontimeOut();
            w.DaemontimeOut();
            QCOMPARE(word[0], 2);
            const QImage shot = w.grab().toImage();
            QCOMPARE(shot.size(), QSize(480, 320));
        }
        shared = nullptr;
        TestSandbox::leave();
        InitPaths();
    }

    void styleSheetIsCompiledIn()
    {
        QFile f(QStringLiteral(":/qss/Resource/MainStyle.qss"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray css = f.readAll();
        QVERIFY(css.contains("background-color: #000000"));
        qApp->setStyleSheet(QString::fromLatin1(css));
        QWidget probe;
        probe.setObjectName(QStringLiteral("centralWidget"));
        probe.ensurePolished();
        QCOMPARE(probe.palette().color(QPalette::WindowText), QColor(0xE8, 0xE8, 0xE8));
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
