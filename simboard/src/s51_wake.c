/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* Loaded into s51 (LD_PRELOAD): its idle sleep ends when its console has
 * input. A stopped s51 looks at its console, and when nothing is there it
 * sleeps 100 ms in nanosleep(), so every question waited up to that long;
 * s51 takes no signal that would cut the sleep short. Here the sleep is a
 * poll() on the console, for the same time: at rest it costs s51 nothing
 * more than before, and a question is read as soon as it is written. The
 * console is named by QUILLON_S51_CONSOLE; without it the sleep is as it was. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

static int console = -2;      /* -2: not opened yet; -1: none */
static int waiting_seen = -1; /* input found by the last early wake */

static int console_fd(void) {
    if (console == -2) {
        const char* device = getenv("QUILLON_S51_CONSOLE");
        console = device != NULL && device[0] != '\0'
                      ? open(device, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)
                      : -1;
    }
    return console;
}

static int real_sleep(const struct timespec* req, struct timespec* rem) {
    const int error = clock_nanosleep(CLOCK_MONOTONIC, 0, req, rem);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

int nanosleep(const struct timespec* req, struct timespec* rem) {
    const int fd = console_fd();
    if (fd < 0 || req == NULL) {
        return real_sleep(req, rem);
    }
    /* Input that s51 left unread after the last early wake (it is busy
     * elsewhere, or not reading this console) must not wake it again and
     * again: the sleep is then a plain one. */
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0 && waiting == waiting_seen) {
        return real_sleep(req, rem);
    }
    struct pollfd ready = {fd, POLLIN, 0};
    const int polled = ppoll(&ready, 1, req, NULL);
    if (polled > 0 && (ready.revents & POLLIN) != 0) {
        waiting_seen = ioctl(fd, FIONREAD, &waiting) == 0 ? waiting : -1;
        if (rem != NULL) {
            rem->tv_sec = 0;
            rem->tv_nsec = 0;
        }
        return 0;
    }
    if (polled > 0) {
        /* The terminal hung up: poll() would return at once from now on. */
        close(fd);
        console = -1;
        return real_sleep(req, rem);
    }
    waiting_seen = -1;
    return polled == 0 ? 0 : -1;
}
