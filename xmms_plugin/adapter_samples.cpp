// The modify-samples callback: the one entry the player calls on its audio
// thread. Only signed 16-bit stereo is processed; every other block passes
// through untouched and the length always comes back unchanged.
#include "adapter.h"
#include "korva_plugin.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr int bytes_per_frame = 4;

// The player, written in C, may pass any integer as the format. Its bits are
// read as an int, since a C++ enum holding a value outside its enumerators
// cannot be loaded safely.
int format_code(const AFormat &fmt)
{
    static_assert(sizeof(int) == sizeof(AFormat));
    int code;
    std::memcpy(&code, &fmt, sizeof code);
    return code;
}

// Signed 16-bit stereo, whatever the rate: the engine runs a rate of 0 or
// below as its default rate.
bool accepted_block(int code, int nch)
{
    return (code == FMT_S16_NE || code == FMT_S16_LE) && nch == 2;
}

void swap_bytes16(int16_t *samples, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>((v << 8) | (v >> 8)));
    }
}

// Runs the frames through the engine in host byte order. Little-endian data
// on a big-endian machine is turned round before and after, so FMT_S16_LE
// means what it says on every machine.
void process_frames(KorvaEngine *engine, int16_t *frames, int32_t count, int code)
{
    constexpr bool swap = std::endian::native == std::endian::big;
    if (swap && code == FMT_S16_LE)
        swap_bytes16(frames, count * 2);
    korva_process(engine, frames, frames, count);
    if (swap && code == FMT_S16_LE)
        swap_bytes16(frames, count * 2);
}

// A buffer that is not 2-byte aligned cannot be read as int16_t directly;
// it goes through a small aligned copy, a chunk at a time.
void process_unaligned(KorvaEngine *engine, unsigned char *bytes, int32_t count, int code)
{
    constexpr int32_t chunk = 256;
    int16_t scratch[chunk * 2];
    for (int32_t done = 0; done < count; done += chunk) {
        const int32_t n = count - done < chunk ? count - done : chunk;
        unsigned char *at = bytes + static_cast<size_t>(done) * bytes_per_frame;
        std::memcpy(scratch, at, static_cast<size_t>(n) * bytes_per_frame);
        process_frames(engine, scratch, n, code);
        std::memcpy(at, scratch, static_cast<size_t>(n) * bytes_per_frame);
    }
}

} // namespace

// Audio thread. The engine lock is held for the whole block: the interface
// thread takes it only to rewrite the whole record (Reset, preset load) or to
// release the engine at clean-up, so a block never sees a half-reset state or
// a freed engine. Single parameter changes need no lock: the engine reads the
// parameter block field by field with atomic loads.
//
// An accepted format always stores the rate, first, as the player would
// expect of any signed 16-bit stereo block; frames are processed only when
// the block holds at least one and the buffer is there.
extern "C" int plugin_mod_samples(void **data, int length, AFormat fmt, int srate, int nch)
{
    const int code = format_code(fmt);
    if (!accepted_block(code, nch))
        return length;

    const int32_t frames = length > 0 ? length / bytes_per_frame : 0;
    auto *bytes = data != nullptr ? static_cast<unsigned char *>(*data) : nullptr;

    korva_engine_lock();
    if (korva != nullptr) {
        korva->sample_rate = srate;   // read by korva_process, under this same lock
        if (frames > 0 && bytes != nullptr) {
            if (reinterpret_cast<uintptr_t>(bytes) % alignof(int16_t) == 0)
                process_frames(korva, reinterpret_cast<int16_t *>(bytes), frames, code);
            else
                process_unaligned(korva, bytes, frames, code);
        }
    }
    korva_engine_unlock();
    return length;
}
