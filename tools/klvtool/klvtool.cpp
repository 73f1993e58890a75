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
    auto detail = [&](const klvtool::Command &c) {
        klvtool::out(QStringLiteral("usage: klvtool ") + QString::fromUtf8(c.usage));
        klvtool::out(QString::fromUtf8(c.summary));
        if (*c.help)
            klvtool::out(QString::fromUtf8(c.help));
    };
    if (args.isEmpty() || args.first() == QLatin1String("help") || args.first() == QLatin1String("--help")
        || args.first() == QLatin1String("-h")) {
        if (args.size() >= 2) {
            const auto it = table.find(args.at(1).toStdString());
            if (it == table.end()) {
                klvtool::err(QStringLiteral("klvtool: no command \"%1\" (klvtool help lists them)").arg(args.at(1)));
                return 2;
            }
            detail(it->second);
            return 0;
        }
        klvtool::out(QStringLiteral("usage: klvtool COMMAND [ARGS] [--verbose]"));
        klvtool::out(QStringLiteral("The technician's companion: the player's own code on files, folders and "
                                    "library files."));
        klvtool::out(QStringLiteral("Results go to standard output, errors to standard error; --verbose adds the "
                                    "player's log\n(what the code it drives logs) on standard error. Inside a "
                                    "sandbox (eval \"$(./vdx sandbox env DIR)\")\nit acts on that sandbox.\n"));
        for (const auto &kv : table) {
            klvtool::out(QStringLiteral("  klvtool ") + QString::fromUtf8(kv.second.usage));
            klvtool::out(QStringLiteral("      ") + QString::fromUtf8(kv.second.summary));
        }
        klvtool::out(QStringLiteral("\nklvtool help COMMAND (or klvtool COMMAND --help) tells more about one."));
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = table.find(args.first().toStdString());
    if (it == table.end()) {
        klvtool::err(QStringLiteral("klvtool: no command \"%1\" (klvtool help lists them)").arg(args.first()));
        return 2;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        detail(it->second);
        return 0;
    }
    return it->second.run(args.mid(1));
}
