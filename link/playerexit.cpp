#include "playerexit.h"

#include "globals.h"
#include "platform.h"

void killPlayerProcess()
{
    // A window built outside main (tests) has not put the sandbox's stub
    // commands first in PATH yet; on the board this does nothing.
    Platform::applyEnvironment();
    executeLinuxCmd(QStringLiteral("killall -9 KLVPlayer"), 4000);
}
