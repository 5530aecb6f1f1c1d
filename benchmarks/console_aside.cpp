/* SPDX-License-Identifier: MIT */
#include "console_aside.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace kq7::bench {

int SetConsoleAside() {
    std::cout.flush();
    std::fflush(stdout);
    const int original = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    if (original < 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        std::perror("cannot set standard output aside");
        std::exit(EXIT_FAILURE);
    }
    close(devNull);
    return original;
}

}  // namespace kq7::bench
