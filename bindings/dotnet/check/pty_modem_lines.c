/* SPDX-License-Identifier: MIT */
/*
 * Preloaded under mono so that System.IO.Ports.SerialPort opens a
 * pseudo-terminal (kq7sim --pty) as it opens a USB serial adapter. mono 6.8
 * sets DTR and RTS in SerialPort.Open with TIOCMGET/TIOCMSET and fails when
 * they fail; a pseudo-terminal has no modem lines and answers ENOTTY. Here
 * such a terminal reports no lines set and takes any setting.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <sys/ioctl.h>

int ioctl(int fd, unsigned long request, ...) {
    static int (*real_ioctl)(int, unsigned long, ...);
    va_list arguments;
    void *argument;
    int result;

    va_start(arguments, request);
    argument = va_arg(arguments, void *);
    va_end(arguments);
    if (real_ioctl == NULL) {
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    }
    result = real_ioctl(fd, request, argument);
    if (result == -1 && errno == ENOTTY && (request == TIOCMGET || request == TIOCMSET)) {
        if (request == TIOCMGET) {
            *(int *)argument = 0;
        }
        return 0;
    }
    return result;
}
