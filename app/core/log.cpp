#include "log.h"

#include "globals.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> g_toFile{false};
std::atomic<int> g_passOn{int(LogLevel::Debug)};
std::atomic<QtMessageHandler> g_previous{nullptr};
// Lines from several threads never interleave.
std::mutex g_fileLock;
// A message raised while a line is written (Qt warning about the file) is
// passed on, not written: no recursion into the file.
thread_local bool t_writing = false;

void appendLine(const QString &line)
{
    std::lock_guard<std::mutex> lock(g_fileLock);
    QFile f(LogFileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // no writable partition: the line is dropped
    f.write(line.toUtf8());
    f.close();
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const LogLevel level = logLevelOf(type);
    if (g_toFile.load() && !t_writing) {
        t_writing = true;
        static const char letters[] = {'D', 'I', 'W', 'C', 'F'};
        const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        const QLatin1String category(context.category ? context.category : "default");
        appendLine(time + QLatin1Char(' ') + QLatin1Char(letters[int(level)]) + QLatin1Char(' ') + category
                   + QStringLiteral(": ") + text + QStringLiteral("\r\n"));
        t_writing = false;
    }
    const QtMessageHandler previous = g_previous.load();
    if (int(level) >= g_passOn.load() && previous)
        previous(type, context, text);
}

} // namespace

LogLevel logLevelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return LogLevel::Debug;
    case QtInfoMsg:
        return LogLevel::Info;
    case QtWarningMsg:
        return LogLevel::Warning;
    case QtCriticalMsg:
        return LogLevel::Critical;
    case QtFatalMsg:
        return LogLevel::Fatal;
    }
    return LogLevel::Warning;
}

void installLogHandler(bool toFile, LogLevel passOn)
{
    g_toFile = toFile;
    g_passOn = int(passOn);
    const QtMessageHandler old = qInstallMessageHandler(handleMessage);
    if (old != handleMessage)
        g_previous = old;
}

void QTlog(const QString &text)
{
    qCInfo(lcApp).noquote() << text;
}

void StartLog()
{
    QFileInfo info(LogFileName);
    if (info.exists() && info.size() > 5120000)
        QFile::remove(LogFileName);
    qCInfo(lcApp).noquote() << QStringLiteral("============================") + ApplicationName
                                   + QStringLiteral(" APP Runing================================\n");
}
