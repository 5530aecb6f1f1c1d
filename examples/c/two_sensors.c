/* SPDX-License-Identifier: MIT */
/*
 * Two sensors from C through the device interface: each device on a serial
 * port of its own, identified and captured in turn, then from two threads at
 * once; a capture on a third, slow sensor cancelled from the main thread;
 * the first device's log lines through a callback. Exits 0 when every step
 * went as expected.
 *
 * Usage: two_sensors PORT_A PORT_B SLOW_PORT
 */
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "nerb_kq7lib.h"

#define MOST_BANDS 2048

struct port {
    const char *name;
    int fd;
};

static int open_port(struct port *port, const char *path) {
    struct termios settings;
    port->fd = open(path, O_RDWR | O_NOCTTY);
    if (port->fd < 0 || tcgetattr(port->fd, &settings) != 0) {
        return -1;
    }
    cfmakeraw(&settings);
    if (tcsetattr(port->fd, TCSANOW, &settings) != 0) {
        return -1;
    }
    /* Bytes a previous program left unread would pass for replies. */
    return tcflush(port->fd, TCIFLUSH);
}

static int64_t KQ7_CALL port_write(void *context, const uint8_t *data, int64_t length) {
    const struct port *port = context;
    return write(port->fd, data, (size_t)length);
}

/* Waits up to 5 ms for bytes, so that the library's polling does not spin. */
static int64_t KQ7_CALL port_read(void *context, uint8_t *dest, int64_t maxLength) {
    const struct port *port = context;
    struct pollfd ready = {0, POLLIN, 0};
    ssize_t n;
    ready.fd = port->fd;
    if (poll(&ready, 1, 5) <= 0) {
        return 0;
    }
    n = read(port->fd, dest, (size_t)maxLength);
    return n > 0 ? n : 0;
}

static void KQ7_CALL print_line(void *context, const char *line) {
    printf("[%s] %.60s\n", ((const struct port *)context)->name, line);
}

struct job {
    kq7_device *device;
    int32_t shutter;
    int result;
    uint16_t spectrum[MOST_BANDS];
};

static void *capture(void *arg) {
    struct job *job = arg;
    job->result = kq7_capture(job->device, job->shutter, job->spectrum, MOST_BANDS);
    return NULL;
}

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int report(const char *step, const char *name, int result) {
    printf("%s %s: %d (%s)\n", step, name, result, kq7_strerror(result));
    return result;
}

int main(int argc, char **argv) {
    static struct port ports[3] = {{"A", -1}, {"B", -1}, {"slow", -1}};
    static struct job jobs[3];
    kq7_device *devices[3];
    pthread_t threads[2];
    double cancelled;
    int i, failures = 0;

    if (argc != 4) {
        fprintf(stderr, "usage: %s PORT_A PORT_B SLOW_PORT\n", argv[0]);
        return 64;
    }
    printf("nerb_kq7lib %s\n", kq7_version());
    for (i = 0; i < 3; ++i) {
        if (open_port(&ports[i], argv[i + 1]) != 0 ||
            (devices[i] = kq7_open(port_write, port_read, &ports[i])) == NULL) {
            fprintf(stderr, "cannot open %s\n", argv[i + 1]);
            return 2;
        }
        failures += report("identify", ports[i].name, kq7_identify(devices[i])) != KQ7_OK;
        jobs[i].device = devices[i];
        jobs[i].shutter = 100;
    }
    kq7_set_log(devices[0], print_line, &ports[0]);

    /* In turn. */
    for (i = 0; i < 2; ++i) {
        failures += report("capture in turn", ports[i].name, kq7_capture(devices[i], 100, jobs[i].spectrum, MOST_BANDS)) <= 0;
    }
    /* At once, from two threads. */
    for (i = 0; i < 2; ++i) {
        pthread_create(&threads[i], NULL, capture, &jobs[i]);
    }
    for (i = 0; i < 2; ++i) {
        pthread_join(threads[i], NULL);
        failures += report("capture on a thread", ports[i].name, jobs[i].result) <= 0;
    }
    /* A capture on the slow sensor, cancelled after 100 ms. */
    jobs[2].shutter = 300;
    pthread_create(&threads[0], NULL, capture, &jobs[2]);
    usleep(100000);
    cancelled = now_ms();
    kq7_cancel(devices[2]);
    pthread_join(threads[0], NULL);
    printf("cancel to return: %.1f ms\n", now_ms() - cancelled);
    failures += report("cancelled capture", ports[2].name, jobs[2].result) != KQ7_ERR_CANCELLED;

    for (i = 0; i < 3; ++i) {
        kq7_close(devices[i]);
        close(ports[i].fd);
    }
    printf("%d failures\n", failures);
    return failures == 0 ? 0 : 1;
}
