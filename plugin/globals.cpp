#include "korva_plugin.h"

#include <mutex>

extern "C" {
KorvaEngine *korva = nullptr;
struct _GtkWidget *window1 = nullptr;
}

namespace {
std::mutex engine_mutex;
}

extern "C" void korva_engine_lock(void)
{
    engine_mutex.lock();
}

extern "C" void korva_engine_unlock(void)
{
    engine_mutex.unlock();
}
