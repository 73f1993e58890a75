#include "keypresstimer.h"

KeyPressTimer::KeyPressTimer(QObject *parent)
    : QTimer(parent)
{
    setSingleShot(true);
}

void KeyPressTimer::setkeyTimer(int ms)
{
    start(std::max(0, ms));
}
