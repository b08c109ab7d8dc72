// Any parameter block, any sample rate, any audio, any split into blocks.
//
// Input: 96 bytes of parameter block, 4 bytes of sample rate (0 and negative
// included), 1 byte giving the number of split points, 2 bytes per split
// point, then the audio frames.
//
// Properties: korva_process returns and stays inside its buffers and the
// engine record (AddressSanitizer and the bounds checks of
// UndefinedBehaviorSanitizer see to that), writes exactly the frames it was
// given, and is deterministic: two fresh engines, one given the whole run in
// one call out of place, the other the same run split into blocks and
// processed in place, produce the same output bit for bit. Processing also
// leaves the parameter block and the sample rate as they were written.
#include "fuzz_support.h"

#include "engine/engine_handle.h"
#include "engine/korva.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Engine = EngineHandle;

Engine make_engine(const KorvaParams &params, int32_t rate)
{
    Engine e(korva_new());
    FUZZ_CHECK(e != nullptr);
    e->params = params;
    e->sample_rate = rate;
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    korva_fuzz::Input in(data, size);
    KorvaParams params;
    in.take(&params, sizeof params);
    const int32_t rate = in.value<int32_t>();
    const unsigned splits = in.value<uint8_t>() % 16;
    std::vector<int32_t> cuts;
    for (unsigned i = 0; i < splits; ++i)
        cuts.push_back(in.value<uint16_t>());

    const size_t frames = std::min<size_t>(in.remaining() / 4, 1 << 14);
    // Exactly sized buffers: any access past the end is a sanitizer report.
    std::vector<int16_t> audio(2 * frames);
    in.take(audio.data(), audio.size() * sizeof(int16_t));

    const int32_t total = static_cast<int32_t>(frames);
    std::vector<int16_t> whole(2 * frames, 0x5A5A);
    Engine a = make_engine(params, rate);
    korva_process(a.get(), audio.data(), whole.data(), total);
    // A count of zero or below touches nothing.
    korva_process(a.get(), audio.data(), whole.data(), 0);
    korva_process(a.get(), audio.data(), whole.data(), -total - 1);

    // Split points inside the run, in order; duplicates give empty blocks.
    for (int32_t &c : cuts)
        c = total > 0 ? c % (total + 1) : 0;
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(total);

    std::vector<int16_t> split = audio;
    Engine b = make_engine(params, rate);
    int32_t at = 0;
    for (const int32_t c : cuts) {
        korva_process(b.get(), split.data() + 2 * at, split.data() + 2 * at, c - at);
        at = c;
    }
    FUZZ_CHECK(whole == split);

    // The output never holds -32768.
    for (const int16_t s : whole)
        FUZZ_CHECK(s != -32768);

    // The engines' working state evolved the same way.
    FUZZ_CHECK(std::memcmp(a.get(), b.get(), sizeof(KorvaEngine)) == 0);
    FUZZ_CHECK(std::memcmp(&a->params, &params, sizeof params) == 0);
    FUZZ_CHECK(a->sample_rate == rate);
    return 0;
}
