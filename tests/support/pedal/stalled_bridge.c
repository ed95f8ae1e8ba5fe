/* The transmit queue of a stalled bridge, for the programs under test: loaded
 * with LD_PRELOAD, or linked into a test program ahead of the C library.
 *
 * A virtual pedal with the stuck-tx fault reads nothing and names its
 * pseudo-terminal in "<serial>.pedal.stalled" ("tty=PATH") in
 * ORVELLA_PEDAL_DIR. A pseudo-terminal has no transmit queue its writer can
 * see, so this keeps one per descriptor on such a terminal, as a bridge's
 * driver does: what is written is taken and counted, not passed on; TIOCOUTQ
 * reports the count; flushing the output (tcflush) or closing empties it.
 * Every other call and device is left alone. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

enum { Descriptors = 1024 };
static unsigned held[Descriptors];     /* bytes in the queue, per descriptor */

static void* next(const char* name) { return dlsym(RTLD_NEXT, name); }

/* Whether fd is a pseudo-terminal a stalled pedal named. */
static int stalled(int fd) {
    if (fd < 0 || fd >= Descriptors) return 0;
    char link[64], tty[512];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, tty, sizeof tty - 1);
    if (n <= 9) return 0;
    tty[n] = 0;
    const char* dir = getenv("ORVELLA_PEDAL_DIR");
    if (strncmp(tty, "/dev/pts/", 9) != 0 || !dir || !*dir) return 0;
    DIR* d = opendir(dir);
    if (!d) return 0;
    static const char suffix[] = ".pedal.stalled";
    const size_t tail = sizeof suffix - 1;
    int found = 0;
    struct dirent* e;
    while (!found && (e = readdir(d)) != NULL) {
        size_t len = strlen(e->d_name);
        if (len <= tail || strcmp(e->d_name + len - tail, suffix) != 0) continue;
        char path[4096], line[512];
        snprintf(path, sizeof path, "%s/%s", dir, e->d_name);
        FILE* f = fopen(path, "r");
        if (!f) continue;
        while (!found && fgets(line, sizeof line, f)) {
            line[strcspn(line, "\n")] = 0;
            found = strncmp(line, "tty=", 4) == 0 && strcmp(line + 4, tty) == 0;
        }
        fclose(f);
    }
    closedir(d);
    return found;
}

ssize_t write(int fd, const void* data, size_t n) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real) *(void**)&real = next("write");
    if (!stalled(fd)) return real(fd, data, n);
    held[fd] += (unsigned)n;
    return (ssize_t)n;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    if (!real) *(void**)&real = next("ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    int result = real(fd, request, arg);
    if (result == 0 && request == TIOCOUTQ && fd >= 0 && fd < Descriptors && held[fd] && stalled(fd))
        *(int*)arg += (int)held[fd];
    return result;
}

int tcflush(int fd, int queue) {
    static int (*real)(int, int);
    if (!real) *(void**)&real = next("tcflush");
    if ((queue == TCOFLUSH || queue == TCIOFLUSH) && fd >= 0 && fd < Descriptors) held[fd] = 0;
    return real(fd, queue);
}

int close(int fd) {
    static int (*real)(int);
    if (!real) *(void**)&real = next("close");
    if (fd >= 0 && fd < Descriptors) held[fd] = 0;
    return real(fd);
}
