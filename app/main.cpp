#include "backendlog.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "mainwindow.h"
#include "platform.h"
#include "sandboxshots.h"
#include "uiassets.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

int main(int argc, char *argv[])
{
    TuneAllocator();
    Platform::applyEnvironment();
    // Every message, Qt's own included, goes to the log file; warnings also
    // to standard error (the supervisor's output file in a sandbox).
    installLogHandler(true, LogLevel::Warning);
    routeBackendLogs();
    sw_getShmID(); // without shared memory the player runs with no heartbeat

    QApplication app(argc, argv);
    QApplication::setOverrideCursor(Qt::BlankCursor);

    // System files and the library file before anything opens them.
    ExeShellForDB shell;
    shell.InitSysNeedFiles();
    // The fonts the bootstrap has just installed, for all three scripts.
    UiAssets::registerFonts();

    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    QFile qss(QStringLiteral(":/qss/Resource/MainStyle.qss"));
    if (qss.open(QIODevice::ReadOnly)) {
        QByteArray css = qss.readAll();
        const int nul = css.indexOf('\0');
        if (nul >= 0)
            css.truncate(nul);
        app.setStyleSheet(QString::fromLatin1(css));
        qss.close();
    }

    int rc = 0;
    {
        MainWindow w;
        w.show();
        SandboxShots::create(&w);
        rc = app.exec();
    }
    return rc;
}
