/* Put into a child's LD_PRELOAD by the tests (suite_test::fault_shim).
   With SUITE_FAULT_NO_TMPFILE=1, opening an unnamed file (O_TMPFILE) fails
   with EOPNOTSUPP, as it does on file systems that have none, so that the
   fallback to a named temporary file runs (the codec library opens its
   outputs with open()). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

static int no_tmpfile(int flags)
{
    const char* v = getenv("SUITE_FAULT_NO_TMPFILE");
    return (flags & O_TMPFILE) == O_TMPFILE && v != NULL && strcmp(v, "1") == 0;
}

typedef int (*open_fn)(const char*, int, ...);

#define SHIM_OPEN(name)                                                  \
    int name(const char* path, int flags, ...)                           \
    {                                                                    \
        static open_fn next;                                             \
        mode_t mode = 0;                                                 \
        if (flags & (O_CREAT | O_TMPFILE)) {                             \
            va_list ap;                                                  \
            va_start(ap, flags);                                         \
            mode = va_arg(ap, mode_t);                                   \
            va_end(ap);                                                  \
        }                                                                \
        if (no_tmpfile(flags)) {                                         \
            errno = EOPNOTSUPP;                                          \
            return -1;                                                   \
        }                                                                \
        if (next == NULL)                                                \
            next = (open_fn)dlsym(RTLD_NEXT, #name);                     \
        return next(path, flags, mode);                                  \
    }

SHIM_OPEN(open)
SHIM_OPEN(open64)
