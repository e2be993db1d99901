// delayfs: a read-only pass-through file system that waits a fixed time
// before answering each request that costs a network round trip on a file
// share: opening a directory, reading a directory, opening a file, reading a
// file. The benchmarks mount it over a local tree to stand in for an SMB
// share.
//
// Usage: delayfs SOURCE MOUNTPOINT [-o delay_us=N] [-o stats=FILE] [FUSE options]
//
// Attribute look-ups (getattr, and so lookup) are answered at once: a share
// returns each entry's attributes with the listing, and opening a path there
// is one request whatever its depth, while here the kernel looks every
// component up. Charging them would make a listing cost a round trip per
// file, which no share does. The kernel's own caches are left as they are by
// default: file data is read again after each open, listings are not cached.
//
// On unmount the number of delayed requests of each kind is written to the
// stats file, when one was given.
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

enum { OPENDIR, READDIR, OPEN, READ, KINDS };
static const char* const kindNames[KINDS] = {"opendir", "readdir", "open", "read"};

struct State {
    unsigned delay_us;
    char* stats;
    char* source;
    int rootFd;  // the source directory, which every path is relative to
    unsigned long count[KINDS];
};
static struct State fs = {.rootFd = -1};

static const struct fuse_opt options[] = {
    {"delay_us=%u", offsetof(struct State, delay_us), 0},
    {"stats=%s", offsetof(struct State, stats), 0},
    FUSE_OPT_END,
};

// One round trip: counted, then the delay. Requests run on several threads,
// so concurrent ones wait side by side, as requests in flight on a share do.
static void roundTrip(int kind) {
    __atomic_fetch_add(&fs.count[kind], 1, __ATOMIC_RELAXED);
    if (!fs.delay_us) return;
    struct timespec left = {fs.delay_us / 1000000, (long)(fs.delay_us % 1000000) * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// FUSE paths start with '/'; the *at calls take them relative to the source.
static const char* relative(const char* path) { return path[1] ? path + 1 : "."; }

struct DirHandle {
    DIR* dir;
    struct dirent* pending;  // read from the directory but not yet handed over
    off_t offset;            // position after the entries handed over
};

static int fsGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    return fstatat(fs.rootFd, relative(path), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int fsReadlink(const char* path, char* buf, size_t size) {
    ssize_t n = readlinkat(fs.rootFd, relative(path), buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = '\0';
    return 0;
}

static int fsOpendir(const char* path, struct fuse_file_info* fi) {
    roundTrip(OPENDIR);
    int fd = openat(fs.rootFd, relative(path), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return -errno;
    struct DirHandle* h = calloc(1, sizeof *h);
    if (!h || !(h->dir = fdopendir(fd))) {
        int err = h ? errno : ENOMEM;
        free(h);
        close(fd);
        return -err;
    }
    fi->fh = (uintptr_t)h;
    return 0;
}

// Every call is one kernel request (the entries carry their offsets), so a
// directory that takes two requests to read pays two delays, the last one
// answering that nothing is left, as a share's listing does.
static int fsReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info* fi,
                     enum fuse_readdir_flags flags) {
    (void)path;
    (void)flags;
    roundTrip(READDIR);
    struct DirHandle* h = (struct DirHandle*)(uintptr_t)fi->fh;
    if (offset != h->offset) {
        seekdir(h->dir, offset);
        h->pending = NULL;
        h->offset = offset;
    }
    for (;;) {
        if (!h->pending) {
            errno = 0;
            h->pending = readdir(h->dir);
            if (!h->pending) return errno ? -errno : 0;
        }
        struct stat st = {.st_ino = h->pending->d_ino, .st_mode = (mode_t)h->pending->d_type << 12};
        off_t next = telldir(h->dir);
        if (fill(buf, h->pending->d_name, &st, next, 0)) return 0;  // the kernel's buffer is full
        h->pending = NULL;
        h->offset = next;
    }
}

static int fsReleasedir(const char* path, struct fuse_file_info* fi) {
    (void)path;
    struct DirHandle* h = (struct DirHandle*)(uintptr_t)fi->fh;
    closedir(h->dir);
    free(h);
    return 0;
}

static int fsOpen(const char* path, struct fuse_file_info* fi) {
    roundTrip(OPEN);
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    int fd = openat(fs.rootFd, relative(path), fi->flags & ~(O_CREAT | O_TRUNC));
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int fsRead(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info* fi) {
    (void)path;
    roundTrip(READ);
    ssize_t n = pread((int)fi->fh, buf, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int fsRelease(const char* path, struct fuse_file_info* fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int fsStatfs(const char* path, struct statvfs* st) {
    (void)path;
    return fstatvfs(fs.rootFd, st) == 0 ? 0 : -errno;
}

static void fsDestroy(void* data) {
    (void)data;
    if (!fs.stats) return;
    FILE* out = fopen(fs.stats, "w");
    if (!out) return;
    for (int k = 0; k < KINDS; ++k) fprintf(out, "%s %lu\n", kindNames[k], fs.count[k]);
    fclose(out);
}

static const struct fuse_operations operations = {
    .getattr = fsGetattr,
    .readlink = fsReadlink,
    .open = fsOpen,
    .read = fsRead,
    .statfs = fsStatfs,
    .release = fsRelease,
    .opendir = fsOpendir,
    .readdir = fsReaddir,
    .releasedir = fsReleasedir,
    .destroy = fsDestroy,
};

// The first argument that is no option is the source; the rest go to FUSE.
static int takeSource(void* data, const char* arg, int key, struct fuse_args* out) {
    (void)data;
    (void)out;
    if (key != FUSE_OPT_KEY_NONOPT || fs.source) return 1;
    fs.source = realpath(arg, NULL);
    if (!fs.source) {
        fprintf(stderr, "delayfs: %s: %s\n", arg, strerror(errno));
        exit(1);
    }
    return 0;
}

int main(int argc, char* argv[]) {
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    if (fuse_opt_parse(&args, &fs, options, takeSource) != 0) return 1;
    if (!fs.source) {
        fprintf(stderr, "usage: delayfs SOURCE MOUNTPOINT [-o delay_us=N] [-o stats=FILE] [FUSE options]\n");
        return 1;
    }
    // Stats are written after FUSE has changed directory: the name must be whole.
    if (fs.stats && fs.stats[0] != '/') {
        fprintf(stderr, "delayfs: the stats file needs an absolute path\n");
        return 1;
    }
    fs.rootFd = open(fs.source, O_PATH | O_DIRECTORY);
    if (fs.rootFd < 0) {
        fprintf(stderr, "delayfs: %s: %s\n", fs.source, strerror(errno));
        return 1;
    }
    fuse_opt_add_arg(&args, "-oro");  // never anything but read-only
    int rc = fuse_main(args.argc, args.argv, &operations, NULL);
    fuse_opt_free_args(&args);
    return rc;
}
