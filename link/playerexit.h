#pragma once
// The program's way out when a link has failed for good: "killall -9
// KLVPlayer" (4000 ms limit); the outside supervisor starts it again.

// Runs the command through the sandbox's stubs when the process acts in a
// sandbox, so that a test never reaches players outside it.
void killPlayerProcess();
