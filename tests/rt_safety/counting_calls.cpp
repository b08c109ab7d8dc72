// Counting wrappers around the C library's allocator, file-opening and mutex
// calls, for the real-time tests: a binary linking this file counts every such
// call made on a thread while an rt_test::Armed lives there, including calls
// made inside shared objects it loads. Built without sanitizers only (their
// allocators would conflict).
#include "counting_calls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <unistd.h>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);
void *__libc_memalign(size_t, size_t);
}

using rt_test::Counts;

namespace {

thread_local bool armed = false;

thread_local Counts counts;

inline void note(long Counts::*which)
{
    if (armed)
        ++(counts.*which);
}

// The next definition of a wrapped call, looked up on first use. No static
// local: its guard could itself lock, from inside a wrapper.
template <class F> F next_symbol(F &cache, const char *name)
{
    if (cache == nullptr)
        cache = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    return cache;
}

using OpenFn = int (*)(const char *, int, ...);
using OpenAtFn = int (*)(int, const char *, int, ...);
using FopenFn = FILE *(*)(const char *, const char *);
using LockFn = int (*)(pthread_mutex_t *);

}  // namespace

// The C library's allocator, counted.
extern "C" void *malloc(size_t n)
{
    note(&Counts::allocations);
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size)
{
    note(&Counts::allocations);
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t n)
{
    note(&Counts::allocations);
    return __libc_realloc(p, n);
}
extern "C" void free(void *p)
{
    if (p != nullptr)
        note(&Counts::releases);
    __libc_free(p);
}
extern "C" void *aligned_alloc(size_t alignment, size_t n)
{
    note(&Counts::allocations);
    return __libc_memalign(alignment, n);
}
extern "C" void *memalign(size_t alignment, size_t n)
{
    note(&Counts::allocations);
    return __libc_memalign(alignment, n);
}
extern "C" int posix_memalign(void **out, size_t alignment, size_t n)
{
    note(&Counts::allocations);
    void *p = __libc_memalign(alignment, n);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}

// operator new and delete, in case a library's own do not go through malloc.
void *operator new(size_t n)
{
    note(&Counts::allocations);
    if (void *p = __libc_malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n)
{
    return operator new(n);
}
void *operator new(size_t n, const std::nothrow_t &) noexcept
{
    note(&Counts::allocations);
    return __libc_malloc(n ? n : 1);
}
void *operator new[](size_t n, const std::nothrow_t &) noexcept
{
    return operator new(n, std::nothrow);
}
void operator delete(void *p) noexcept
{
    if (p != nullptr)
        note(&Counts::releases);
    __libc_free(p);
}
void operator delete[](void *p) noexcept
{
    operator delete(p);
}
void operator delete(void *p, size_t) noexcept
{
    operator delete(p);
}
void operator delete[](void *p, size_t) noexcept
{
    operator delete(p);
}

// Opening files, counted. The open calls carry a mode argument only when
// their flags ask to create a file; it has to be read in each of them.
#define READ_OPTIONAL_MODE(flags, mode)                                       \
    mode_t mode = 0;                                                          \
    if (((flags) & O_CREAT) != 0 || ((flags) & O_TMPFILE) == O_TMPFILE) {     \
        va_list ap;                                                           \
        va_start(ap, flags);                                                  \
        mode = static_cast<mode_t>(va_arg(ap, int));                          \
        va_end(ap);                                                           \
    }
extern "C" int open(const char *path, int flags, ...)
{
    note(&Counts::opens);
    READ_OPTIONAL_MODE(flags, mode);
    static OpenFn real = nullptr;
    return next_symbol(real, "open")(path, flags, mode);
}
extern "C" int open64(const char *path, int flags, ...)
{
    note(&Counts::opens);
    READ_OPTIONAL_MODE(flags, mode);
    static OpenFn real = nullptr;
    return next_symbol(real, "open64")(path, flags, mode);
}
extern "C" int openat(int dir, const char *path, int flags, ...)
{
    note(&Counts::opens);
    READ_OPTIONAL_MODE(flags, mode);
    static OpenAtFn real = nullptr;
    return next_symbol(real, "openat")(dir, path, flags, mode);
}
extern "C" FILE *fopen(const char *path, const char *mode)
{
    note(&Counts::opens);
    static FopenFn real = nullptr;
    return next_symbol(real, "fopen")(path, mode);
}
extern "C" FILE *fopen64(const char *path, const char *mode)
{
    note(&Counts::opens);
    static FopenFn real = nullptr;
    return next_symbol(real, "fopen64")(path, mode);
}

// Mutex locks, counted.
extern "C" int pthread_mutex_lock(pthread_mutex_t *m)
{
    note(&Counts::locks);
    static LockFn real = nullptr;
    return next_symbol(real, "pthread_mutex_lock")(m);
}
extern "C" int pthread_mutex_trylock(pthread_mutex_t *m)
{
    note(&Counts::locks);
    static LockFn real = nullptr;
    return next_symbol(real, "pthread_mutex_trylock")(m);
}

namespace rt_test {

Armed::Armed()
{
    counts = Counts{};
    armed = true;
}

Armed::~Armed()
{
    armed = false;
}

Counts Armed::stop()
{
    armed = false;
    return counts;
}

void resolve_wrapped_calls()
{
    Armed warm_up;
    std::FILE *f = std::fopen("/dev/null", "r");
    if (f != nullptr)
        std::fclose(f);
    const int fd = ::open("/dev/null", O_RDONLY);
    if (fd >= 0)
        ::close(fd);
    pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&m);
    pthread_mutex_unlock(&m);
    pthread_mutex_trylock(&m);
    pthread_mutex_unlock(&m);
}

}  // namespace rt_test
