#pragma once
// klvtool: the technician's command-line companion. Each subcommand lives in
// a file of its own and registers itself with KLVTOOL_COMMAND.

#include <QStringList>

namespace klvtool {

using Handler = int (*)(const QStringList &args);

struct Command {
    const char *name;
    const char *usage;   // one line: "play FILE [--start SECONDS]"
    const char *summary; // what it does, one line
    const char *help;    // more for "klvtool help NAME" ("" when the summary says it all)
    Handler run;
};

bool registerCommand(const Command &cmd);

// Prints to stdout / stderr as UTF-8.
void out(const QString &text);
void err(const QString &text);

// Value of "--name VALUE" in args (removed from args), or def.
QString takeOption(QStringList &args, const QString &name, const QString &def = QString());
bool takeFlag(QStringList &args, const QString &name);

} // namespace klvtool

#define KLVTOOL_CONCAT2(a, b) a##b
#define KLVTOOL_CONCAT(a, b) KLVTOOL_CONCAT2(a, b)
#define KLVTOOL_COMMAND(name, usage, summary, help, fn)                                                                \
    static const bool KLVTOOL_CONCAT(klvtool_registered_, __LINE__) =                                                  \
        klvtool::registerCommand({name, usage, summary, help, fn})
