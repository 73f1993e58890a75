#pragma once
// ALSA and FFmpeg print their own messages on standard error. A program that
// calls this once at start-up gets them in its log instead (category
// "vdx.playback"): errors as warnings, FFmpeg's warnings and notes as debug.
void routeBackendLogs();
