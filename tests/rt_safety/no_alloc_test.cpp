// The audio path allocates no memory, opens no file and takes no lock of its
// own: korva_process takes none at all, the plug-in's mod_samples exactly one
// (the engine lock) per block it processes.
//
// This binary replaces the allocator entry points, the file-opening calls and
// the mutex lock calls with counting wrappers around the C library's own.
// Counting is armed per thread, only around the calls under test, so the test
// framework's own work is never counted. The wrappers also see calls made
// inside libxmkorva.so, which the first test proves.
#include "engine/korva.h"
#include "plugin/korva_plugin.h"
#include "plugin/xmms_plugin.h"
#include "rt_support.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);
void *__libc_memalign(size_t, size_t);
}

namespace {

thread_local bool armed = false;

struct Counts {
    long allocations = 0;   // malloc, calloc, realloc, aligned forms, operator new
    long releases = 0;      // free, operator delete
    long opens = 0;         // open, open64, openat, fopen, fopen64, creat
    long locks = 0;         // pthread_mutex_lock, pthread_mutex_trylock
};
thread_local Counts counts;

inline void note(long Counts::*which)
{
    if (armed)
        ++(counts.*which);
}

// Arms counting on this thread for its lifetime and gives the counts.
struct Armed {
    Armed()
    {
        counts = Counts{};
        armed = true;
    }
    ~Armed() { armed = false; }
    Counts stop()
    {
        armed = false;
        return counts;
    }
};

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

namespace {

// The rates cover all three rate classes, a change of rate in the middle of
// a stream, and the rates the engine treats as its default.
constexpr int kRates[] = {44100, 8000, 22050, 48000, 96000, 11025, 32000};

class RtSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Resolve every wrapped symbol once, before anything is counted.
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
};

// Without this, a zero count below could come from wrappers that are never
// called. Allocations, opens and locks made here and inside libxmkorva.so
// (korva_new, the engine lock) are all seen.
TEST_F(RtSafety, TheCountersSeeAllocationsOpensAndLocksInThisBinaryAndInThePlugin)
{
    Armed armed_here;
    std::vector<int> *v = new std::vector<int>(100);
    delete v;
    std::FILE *f = std::fopen("/dev/null", "r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    KorvaEngine *engine = korva_new();
    korva_delete(engine);
    korva_engine_lock();
    korva_engine_unlock();
    const Counts c = armed_here.stop();
    EXPECT_GE(c.allocations, 3);  // the vector object, its storage, the engine
    EXPECT_GE(c.releases, 3);
    EXPECT_GE(c.opens, 1);
    EXPECT_GE(c.locks, 1);
    ASSERT_NE(engine, nullptr);
}

TEST_F(RtSafety, ProcessingWithEveryStageOnAllocatesOpensAndLocksNothing)
{
    KorvaEngine *engine = korva_new();
    ASSERT_NE(engine, nullptr);
    const KorvaParams on = rt_test::all_stages_on();
    korva_params_write(engine, &on);
    const std::vector<int16_t> input = rt_test::stereo_signal(8192);
    std::vector<int16_t> output(input.size());
    const int32_t sizes[] = {1, 7, 256, 257, 1000, 4096, 8192};

    Armed armed_here;
    long blocks = 0;
    for (int round = 0; round < 40; ++round) {
        engine->sample_rate = kRates[round % 7];
        // Brainwave recomputes its oscillator when the frequency changes.
        engine->params.bw_fq = round % 2 == 0 ? 7000 : 15000;
        for (const int32_t n : sizes) {
            korva_process(engine, input.data(), output.data(), n);
            korva_process(engine, output.data(), output.data(), n);  // in place
            blocks += 2;
        }
    }
    // The rates the engine replaces by its default.
    engine->sample_rate = 0;
    korva_process(engine, input.data(), output.data(), 4096);
    engine->sample_rate = -44100;
    korva_process(engine, input.data(), output.data(), 4096);
    const Counts c = armed_here.stop();

    EXPECT_EQ(blocks, 40 * 14);
    EXPECT_EQ(c.allocations, 0);
    EXPECT_EQ(c.releases, 0);
    EXPECT_EQ(c.opens, 0);
    EXPECT_EQ(c.locks, 0);
    korva_delete(engine);
}

TEST_F(RtSafety, ModSamplesTakesOnlyTheEngineLockOncePerBlockAndAllocatesNothing)
{
    rt_test::PrivateConfig config;
    EffectPlugin *plugin = get_eplugin_info();
    ASSERT_NE(plugin, nullptr);
    plugin->init();
    ASSERT_NE(rt_test::plugin_engine(), nullptr);
    const KorvaParams on = rt_test::all_stages_on();
    korva_params_write(rt_test::plugin_engine(), &on);

    std::vector<int16_t> audio = rt_test::stereo_signal(4096);
    // The same audio one byte off alignment, which goes through a copy.
    std::vector<unsigned char> unaligned(audio.size() * 2 + 1);

    Armed armed_here;
    long processed = 0;
    for (int round = 0; round < 200; ++round) {
        void *data = audio.data();
        const int length = static_cast<int>(audio.size() * sizeof(int16_t)) - (round % 4) * 4 - round % 3;
        const AFormat fmt = round % 2 == 0 ? FMT_S16_NE : FMT_S16_LE;
        EXPECT_EQ(plugin->mod_samples(&data, length, fmt, kRates[round % 7], 2), length);
        ++processed;
    }
    for (int round = 0; round < 20; ++round) {
        void *data = unaligned.data() + 1;
        EXPECT_EQ(plugin->mod_samples(&data, 4000, FMT_S16_NE, 44100, 2), 4000);
        ++processed;
    }
    // Rates the engine runs as its default.
    for (const int rate : {0, -1, -48000}) {
        void *data = audio.data();
        EXPECT_EQ(plugin->mod_samples(&data, 4096, FMT_S16_NE, rate, 2), 4096);
        ++processed;
    }
    // A block of less than one frame still stores its rate, under the lock.
    {
        void *data = audio.data();
        EXPECT_EQ(plugin->mod_samples(&data, 2, FMT_S16_NE, 44100, 2), 2);
        ++processed;
    }
    const Counts accepted = armed_here.stop();

    // Blocks that pass through untouched take no lock at all.
    Armed armed_again;
    for (int round = 0; round < 50; ++round) {
        void *data = audio.data();
        plugin->mod_samples(&data, 4096, FMT_S16_BE, 44100, 2);
        plugin->mod_samples(&data, 4096, FMT_S16_NE, 44100, 1);
        plugin->mod_samples(&data, 4096, FMT_U8, 44100, 2);
    }
    const Counts rejected = armed_again.stop();

    plugin->cleanup();

    EXPECT_EQ(accepted.allocations, 0);
    EXPECT_EQ(accepted.releases, 0);
    EXPECT_EQ(accepted.opens, 0);
    EXPECT_EQ(accepted.locks, processed);
    EXPECT_EQ(rejected.allocations, 0);
    EXPECT_EQ(rejected.opens, 0);
    EXPECT_EQ(rejected.locks, 0);
}

}  // namespace
