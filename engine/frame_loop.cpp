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
// korva_process_float runs the same chain between the two conversions, on
// float samples in the 16-bit scale, for measuring what the chain does.
//
// The parameter block and the rate are read once per block, so a change
// written between blocks is used from the next frame on.
//
// Out-of-place calls may not overlap their input partially: the input and
// output are either the same frames or separate buffers.
#include "block_params.h"
#include "brainwave.h"
#include "dewoofer.h"
#include "extfx.h"
#include "extspace.h"
#include "fidelity.h"
#include "filter_kit.h"
#include "sample16.h"
#include "speaker_tuning.h"
#include "superbass.h"
#include "surround3d.h"
#include "virtual_subwoofer.h"

#include <atomic>
#include <cstddef>

extern "C" const char ChainTable[6][4] = {"PFS", "PSF", "SPF", "SFP", "FSP", "FPS"};

namespace korva {
namespace {

template <RateClass RC>
inline void run_chain(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    for (int slot = 0; slot < 3; ++slot) {
        switch (p.chain[slot]) {
        case 'S':
            if (p.raw.enable_3dsurround != 0 && p.raw._3dsurround_mode != 0)
                surround3d<RC>(e, p, frames, count);
            break;
        case 'P':
            if (p.raw.enable_extspace != 0 && (p.raw.extspace_mode == 1 || p.raw.extspace_mode == 2))
                extspace<RC>(e, p, frames, count);
            break;
        case 'F':
            if (p.raw.enable_extfx != 0 && p.raw.extfx_mode != 0)
                extfx<RC>(e, p, frames, count);
            break;
        default:
            break;
        }
    }
}

// Frames are taken in chunks, and within a chunk each stage runs over every
// frame before the next stage starts. A stage's state depends only on the
// sequence of samples it is given and no stage reads another's state, so
// this gives exactly the results of passing one frame at a time through the
// whole chain, while consecutive frames' independent arithmetic overlaps in
// the processor instead of waiting on one long chain of dependencies.
constexpr int chunk_frames = 256;

// The chain between the two conversions, on float working samples in the
// 16-bit scale: the stages, the pre-amplifier, phase invert and stereo swap.
template <RateClass RC>
inline void run_stages(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    const bool effects = p.raw.enable_global != 0;
    if (effects) {
        if (p.raw.enable_bw != 0 && p.raw.bw_mode != 0)
            brainwave(e, p, frames, count);
        if (p.raw.dewoofer != 0)
            dewoofer<RC>(e, p, frames, count);
        if (p.raw.superbass != 0)
            superbass<RC>(e, p, frames, count);
        if (p.raw.fidelity != 0)
            fidelity<RC>(e, p, frames, count);
    }

    const f2 preamp = splat(p.preamp);
    for (int i = 0; i < count; ++i)
        frames[i] = frames[i] * preamp;

    if (effects) {
        if (p.raw.enable_vs != 0 && p.raw.vs_mode != 0 && p.raw.vs_intensity != 0)
            virtual_subwoofer<RC>(e, p, frames, count);
        run_chain<RC>(e, p, frames, count);
        if (p.raw.spc_mode != 0)
            speaker_tuning<RC>(e, p, frames, count);
    }

    const bool invert = p.raw.spc_phaseinvert != 0, swap = p.raw.spc_swapstereo != 0;
    for (int i = 0; i < count; ++i) {
        const float a = invert ? -frames[i][0] : frames[i][0];
        const float b = frames[i][1];
        frames[i] = swap ? f2{b, a} : f2{a, b};
    }
}

template <RateClass RC>
void run_block(KorvaEngine &e, const BlockParams &p, const int16_t *in, int16_t *out, int32_t total)
{
    f2 frames[chunk_frames];
    for (int32_t start = 0; start < total; start += chunk_frames) {
        const int count = total - start < chunk_frames ? static_cast<int>(total - start) : chunk_frames;
        const int16_t *src = in + 2 * static_cast<ptrdiff_t>(start);
        for (int i = 0; i < count; ++i)
            frames[i] = f2{static_cast<float>(src[2 * i]), static_cast<float>(src[2 * i + 1])} + splat(1e-15f);
        run_stages<RC>(e, p, frames, count);
        int16_t *dst = out + 2 * static_cast<ptrdiff_t>(start);
        for (int i = 0; i < count; ++i) {
            dst[2 * i] = sample16::truncate_symmetric(frames[i][0]);
            dst[2 * i + 1] = sample16::truncate_symmetric(frames[i][1]);
        }
    }
}

// The same chain without the 16-bit ends: no conversion, no clipping.
template <RateClass RC>
void run_block_float(KorvaEngine &e, const BlockParams &p, const float *in, float *out, int32_t total)
{
    f2 frames[chunk_frames];
    for (int32_t start = 0; start < total; start += chunk_frames) {
        const int count = total - start < chunk_frames ? static_cast<int>(total - start) : chunk_frames;
        const float *src = in + 2 * static_cast<ptrdiff_t>(start);
        for (int i = 0; i < count; ++i)
            frames[i] = f2{src[2 * i], src[2 * i + 1]} + splat(1e-15f);
        run_stages<RC>(e, p, frames, count);
        float *dst = out + 2 * static_cast<ptrdiff_t>(start);
        for (int i = 0; i < count; ++i) {
            dst[2 * i] = frames[i][0];
            dst[2 * i + 1] = frames[i][1];
        }
    }
}

}  // namespace
}  // namespace korva

namespace {

korva::BlockParams snapshot(KorvaEngine *engine)
{
    const int32_t rate = std::atomic_ref<int32_t>(engine->sample_rate).load(std::memory_order_relaxed);
    return korva::block_params(*engine, rate);
}

}  // namespace

extern "C" void korva_process(KorvaEngine *engine, const int16_t *in, int16_t *out, int32_t frames)
{
    if (engine == nullptr || in == nullptr || out == nullptr || frames <= 0)
        return;
    const korva::BlockParams p = snapshot(engine);
    korva::with_rate_class(p.rate, [&]<korva::RateClass RC>() { korva::run_block<RC>(*engine, p, in, out, frames); });
}

extern "C" void korva_process_float(KorvaEngine *engine, const float *in, float *out, int32_t frames)
{
    if (engine == nullptr || in == nullptr || out == nullptr || frames <= 0)
        return;
    const korva::BlockParams p = snapshot(engine);
    korva::with_rate_class(p.rate,
                           [&]<korva::RateClass RC>() { korva::run_block_float<RC>(*engine, p, in, out, frames); });
}
