#pragma once
// The log file (LogFileName, "log_730.txt" on the writable partition) and the
// process's one message handler. Code logs through Qt's logging with the
// categories of logging.h; the handler turns every message into a line.

#include "logging.h"

#include <QString>

// Severity, lowest first (QtMsgType is not ordered).
enum class LogLevel { Debug, Info, Warning, Critical, Fatal, Nothing };

LogLevel logLevelOf(QtMsgType type);

// Installs the message handler. Every message (ours and Qt's own) becomes the
// line "yyyy-MM-dd hh:mm:ss.zzz L category: text\r\n" of the log file when
// toFile is set (L is D, I, W, C or F); messages at passOn or above also go to
// the handler that was installed before (Qt's default writes them to standard
// error, Qt Test's adds them to the test output). Installing again changes
// only these two choices.
void installLogHandler(bool toFile, LogLevel passOn);

// An info line in the category "vdx.app". Kept for older callers: new code
// logs with the category of its subsystem.
void QTlog(const QString &text);

// Deletes a log over 5120000 bytes and writes the start-up banner.
void StartLog();
