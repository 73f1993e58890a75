#pragma once
// For test functions that need root (loop devices, mounts, another user):
// without it they are skipped with the reason, and the rest of the program
// still runs. Their programs carry the ctest label "root".

#include <QtTest>

#include <unistd.h>

#define VDX_NEED_ROOT(why)                                                                                             \
    do {                                                                                                               \
        if (::geteuid() != 0)                                                                                          \
            QSKIP("needs root: " why);                                                                                 \
    } while (false)
