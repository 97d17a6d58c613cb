/* Loaded with LD_PRELOAD, makes the tool see a slow file system without hard links (a
 * memory card): link() and linkat() fail with EPERM, and each rename waits 10 ms first,
 * so that the random kills of the crash test land between the steps of a save as often
 * as within them. The crash test runs the tool with it where no vfat image can be
 * mounted. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

int link(const char* from, const char* to) {
    (void)from;
    (void)to;
    errno = EPERM;
    return -1;
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    (void)fromDir;
    (void)from;
    (void)toDir;
    (void)to;
    (void)flags;
    errno = EPERM;
    return -1;
}

static int slowRename(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    const struct timespec wait = {0, 10000000};
    nanosleep(&wait, NULL);
    return (int)syscall(SYS_renameat2, fromDir, from, toDir, to, flags);
}

int rename(const char* from, const char* to) {
    return slowRename(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    return slowRename(fromDir, from, toDir, to, 0);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return slowRename(fromDir, from, toDir, to, flags);
}
