#pragma once
// Logging categories, one per subsystem. Every message of the program goes
// through Qt's logging with one of them:
//
//   qCDebug(lcPlayback) << "first block" << bytes;      chatter for a developer
//   qCInfo(lcLink).noquote() << "wire key 3 state 1";   what the player did
//   qCWarning(lcLibrary, "prepare failed: %s", msg);    something failed
//
// The program installs one handler at start-up (installLogHandler, app/core/
// log.h) that writes each message to the log file with its level and
// category. Nothing prints to standard output.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)      // "vdx.app": start-up, controller, playback control
Q_DECLARE_LOGGING_CATEGORY(lcPlayback) // "vdx.playback": decoders, queues, output thread, readers
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)  // "vdx.library": database, bootstrap, volumes, scanners
Q_DECLARE_LOGGING_CATEGORY(lcLink)     // "vdx.link": serial links, MCU protocol, upgrade, phone app
Q_DECLARE_LOGGING_CATEGORY(lcSound)    // "vdx.sound": sound settings model and setup screens
Q_DECLARE_LOGGING_CATEGORY(lcUi)       // "vdx.ui": browser, navigation and now-playing screens
Q_DECLARE_LOGGING_CATEGORY(lcGpio)     // "vdx.gpio": the board's GPIO lines
