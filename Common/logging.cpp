#include "logging.h"

Q_LOGGING_CATEGORY(lcApp, "vdx.app")
Q_LOGGING_CATEGORY(lcPlayback, "vdx.playback")
Q_LOGGING_CATEGORY(lcLibrary, "vdx.library")
Q_LOGGING_CATEGORY(lcLink, "vdx.link")
Q_LOGGING_CATEGORY(lcSound, "vdx.sound")
Q_LOGGING_CATEGORY(lcUi, "vdx.ui")
Q_LOGGING_CATEGORY(lcGpio, "vdx.gpio")
