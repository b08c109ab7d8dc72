// The frame loop: every frame passes on its own through the fixed chain
//
//   16-bit in -> float + 1e-15
//     [effects on]  brainwave, DeWoofer, SuperBass, Fidelity
//     pre-amplifier (always)
//     [effects on]  Virtual Subwoofer, the three chained effects in ChainTable
//                   order, speaker tuning
//     phase invert (left), stereo swap (always)
//   clip to +-32767 -> truncate -> 16-bit out
//
// The parameter block and the rate are read once per block, so a change
// written between blocks is used from the next frame on.
#include "block_params.h"
#include "brainwave.h"
#include "dewoofer.h"
#include "extfx.h"
#include "extspace.h"
#include "fidelity.h"
#include "filter_kit.h"
#include "speaker_tuning.h"
#include "superbass.h"
#include "surround3d.h"
#include "virtual_subwoofer.h"

#include <atomic>

extern "C" const char ChainTable[6][4] = {"PFS", "PSF", "SPF", "SFP", "FSP", "FPS"};

namespace korva {
namespace {

// Clip to +-32767 (the output never holds -32768), then truncate toward zero.
// A sample that is not a number becomes 0; infinities are clipped like any value.
inline int16_t to_sample(float x)
{
    if (x > 32767.0f)
        x = 32767.0f;
    else if (x < -32767.0f)
        x = -32767.0f;
    return x == x ? static_cast<int16_t>(x) : int16_t{0};
}

template <RateClass RC>
inline void run_chain(KorvaEngine &e, const BlockParams &p, float &l, float &r)
{
    for (int slot = 0; slot < 3; ++slot) {
        switch (p.chain[slot]) {
        case 'S':
            if (p.raw.enable_3dsurround != 0)
                surround3d<RC>(e, p, l, r);
            break;
        case 'P':
            if (p.raw.enable_extspace != 0)
                extspace<RC>(e, p, l, r);
            break;
        case 'F':
            if (p.raw.enable_extfx != 0)
                extfx<RC>(e, p, l, r);
            break;
        default:
            break;
        }
    }
}

template <RateClass RC>
void run_block(KorvaEngine &e, const BlockParams &p, const int16_t *in, int16_t *out, int32_t frames)
{
    const bool effects = p.raw.enable_global != 0;
    for (int32_t n = 0; n < frames; ++n) {
        float l = static_cast<float>(in[2 * n]) + 1e-15f;
        float r = static_cast<float>(in[2 * n + 1]) + 1e-15f;

        if (effects) {
            if (p.raw.enable_bw != 0)
                brainwave(e, p, l, r);
            dewoofer<RC>(e, p, l, r);
            superbass<RC>(e, p, l, r);
            fidelity<RC>(e, p, l, r);
        }

        l = l * p.preamp;
        r = r * p.preamp;

        if (effects) {
            if (p.raw.enable_vs != 0)
                virtual_subwoofer<RC>(e, p, l, r);
            run_chain<RC>(e, p, l, r);
            speaker_tuning<RC>(e, p, l, r);
        }

        if (p.raw.spc_phaseinvert != 0)
            l = -l;
        if (p.raw.spc_swapstereo != 0) {
            const float t = l;
            l = r;
            r = t;
        }

        out[2 * n] = to_sample(l);
        out[2 * n + 1] = to_sample(r);
    }
}

}  // namespace
}  // namespace korva

extern "C" void korva_process(KorvaEngine *engine, const int16_t *in, int16_t *out, int32_t frames)
{
    if (engine == nullptr || in == nullptr || out == nullptr || frames <= 0)
        return;
    KorvaParams raw;
    korva_params_read(engine, &raw);
    const int32_t rate = std::atomic_ref<int32_t>(engine->sample_rate).load(std::memory_order_relaxed);
    const korva::BlockParams p = korva::block_params(raw, rate);
    korva::with_rate_class(p.rate, [&]<korva::RateClass RC>() { korva::run_block<RC>(*engine, p, in, out, frames); });
}
