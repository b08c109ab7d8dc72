// The shared object's own translation unit; everything it exports comes from
// the static libraries linked in whole (see CMakeLists.txt).
#include "korva_plugin.h"

#include <pthread.h>

extern "C" {
KorvaEngine *korva = nullptr;
}

namespace {
// A plain POSIX mutex: its calls report errors as values and cannot throw,
// unlike std::mutex::lock, so nothing escapes the C calls below.
pthread_mutex_t engine_mutex = PTHREAD_MUTEX_INITIALIZER;
}

extern "C" void korva_engine_lock(void)
{
    pthread_mutex_lock(&engine_mutex);
}

extern "C" void korva_engine_unlock(void)
{
    pthread_mutex_unlock(&engine_mutex);
}
