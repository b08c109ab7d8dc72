#include "sink_fragment_saver.h"

#include <chrono>
#include <new>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

struct KorvaFragmentSaver {
    std::string path;
    Clock::duration interval;
    Clock::time_point last_write;   // of the last attempt
    bool written = false;           // an attempt was made
    bool held[KORVA_PARAM_FIELD_COUNT] = {};
    float value[KORVA_PARAM_FIELD_COUNT] = {};
};

namespace {

bool write_held(KorvaFragmentSaver *saver, KorvaFragmentError *error)
{
    std::vector<KorvaSinkChange> changes;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (saver->held[i])
            changes.push_back({i, saver->value[i]});
    if (changes.empty())
        return true;
    saver->last_write = Clock::now();
    saver->written = true;
    if (!korva_fragment_save(saver->path.c_str(), changes.data(), static_cast<int>(changes.size()), error))
        return false;
    for (bool &held : saver->held)
        held = false;
    return true;
}

bool due(const KorvaFragmentSaver *saver)
{
    return !saver->written || Clock::now() - saver->last_write >= saver->interval;
}

} // namespace

extern "C" {

KorvaFragmentSaver *korva_fragment_saver_new(const char *path, int interval_ms)
{
    KorvaFragmentSaver *saver = new (std::nothrow) KorvaFragmentSaver;
    if (saver == nullptr)
        return nullptr;
    saver->path = path;
    saver->interval = std::chrono::milliseconds(interval_ms < 0 ? 0 : interval_ms);
    return saver;
}

void korva_fragment_saver_free(KorvaFragmentSaver *saver)
{
    delete saver;
}

bool korva_fragment_saver_change(KorvaFragmentSaver *saver, const KorvaSinkChange *changes, int count,
                                 KorvaFragmentError *error)
{
    for (int i = 0; i < count; ++i) {
        if (changes[i].field < 0 || changes[i].field >= KORVA_PARAM_FIELD_COUNT)
            continue;
        saver->held[changes[i].field] = true;
        saver->value[changes[i].field] = changes[i].value;
    }
    return due(saver) ? write_held(saver, error) : true;
}

bool korva_fragment_saver_poll(KorvaFragmentSaver *saver, KorvaFragmentError *error)
{
    return korva_fragment_saver_pending(saver) && due(saver) ? write_held(saver, error) : true;
}

bool korva_fragment_saver_flush(KorvaFragmentSaver *saver, KorvaFragmentError *error)
{
    return write_held(saver, error);
}

bool korva_fragment_saver_pending(const KorvaFragmentSaver *saver)
{
    for (bool held : saver->held)
        if (held)
            return true;
    return false;
}

} // extern "C"
