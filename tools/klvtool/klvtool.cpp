#include "klvtool.h"

#include "backendlog.h"
#include "globals.h"
#include "platform.h"

#include <QCoreApplication>

#include <cstdio>
#include <map>
#include <string>

namespace klvtool {
namespace {

std::map<std::string, Command> &commands()
{
    static std::map<std::string, Command> table;
    return table;
}

} // namespace

bool registerCommand(const Command &cmd)
{
    commands()[cmd.name] = cmd;
    return true;
}

void out(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void err(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

QString takeOption(QStringList &args, const QString &name, const QString &def)
{
    const int i = args.indexOf(name);
    if (i < 0 || i + 1 >= args.size())
        return def;
    const QString v = args.at(i + 1);
    args.removeAt(i + 1);
    args.removeAt(i);
    return v;
}

bool takeFlag(QStringList &args, const QString &name)
{
    return args.removeAll(name) > 0;
}

} // namespace klvtool

int main(int argc, char *argv[])
{
    TuneAllocator();
    Platform::applyEnvironment();
    QCoreApplication app(argc, argv);
    InitPaths();
    InitData();
    QStringList args = app.arguments().mid(1);
    // Only results on standard output; the log (the player's messages from
    // the code a command drives) on standard error with --verbose.
    const bool verbose = args.removeAll(QStringLiteral("--verbose")) > 0;
    qSetMessagePattern(QStringLiteral("%{type} %{category}: %{message}"));
    installLogHandler(false, verbose ? LogLevel::Debug : LogLevel::Fatal);
    routeBackendLogs();
    const auto &table = klvtool::commands();
    if (args.isEmpty() || args.first() == QLatin1String("help") || args.first() == QLatin1String("--help")) {
        klvtool::out(QStringLiteral("usage: klvtool COMMAND [ARGS] [--verbose]"));
        for (const auto &kv : table)
            klvtool::out(QStringLiteral("  klvtool ") + QString::fromUtf8(kv.second.usage));
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = table.find(args.first().toStdString());
    if (it == table.end()) {
        klvtool::err(QStringLiteral("klvtool: unknown command ") + args.first());
        return 2;
    }
    return it->second.run(args.mid(1));
}
