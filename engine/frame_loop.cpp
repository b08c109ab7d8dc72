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
#include "frame_schedule.h"
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

struct PreampStep {
    f2 g;
    void load(KorvaEngine &, const BlockParams &p, int) { g = splat(p.preamp); }
    [[gnu::always_inline]] f2 operator()(f2 x, int) { return x * g; }
    void store(KorvaEngine &, int) const {}
};

// Every step of the chain, and the lag of each in the skewed schedule
// (frame_schedule.h): 1, 2, ... for the steps that are on, in chain order,
// -1 for the others; lag 0 reads a frame in, lag `last` writes it out.
template <RateClass RC>
struct Chain {
    BrainwaveStep bw;
    DewooferStep<RC> dewoofer;
    SuperbassStep<RC> superbass;
    FidelityStep<RC> fidelity;
    PreampStep preamp;
    VirtualSubwooferStep<RC> vs;
    SurroundPassStep<RC, 0> surround0;
    SurroundPassStep<RC, 1> surround1;
    SurroundPassStep<RC, 2> surround2;
    SurroundPassStep<RC, 3> surround3;
    ExtspaceStep<RC> extspace;
    ExtfxPartStep<RC, true> extfx_center;
    ExtfxPartStep<RC, false> extfx_space;
    ExtfxOutputStep extfx_output;
    SpeakerBandStep<RC, 0> debass;
    SpeakerBandStep<RC, 1> mid;
    SpeakerBandStep<RC, 2> detube;
    SpeakerBandStep<RC, 3> high;

    static constexpr int steps = 18;
    int lag[steps];
    int last;

    template <class F>
    void each(F &&f)
    {
        f(0, bw), f(1, dewoofer), f(2, superbass), f(3, fidelity), f(4, preamp), f(5, vs);
        f(6, surround0), f(7, surround1), f(8, surround2), f(9, surround3);
        f(10, extspace), f(11, extfx_center), f(12, extfx_space), f(13, extfx_output);
        f(14, debass), f(15, mid), f(16, detube), f(17, high);
    }

    template <class F>
    decltype(auto) apply(F &&f)
    {
        return f(bw, dewoofer, superbass, fidelity, preamp, vs, surround0, surround1, surround2, surround3,
                 extspace, extfx_center, extfx_space, extfx_output, debass, mid, detube, high);
    }

    // Which steps are on and in which order, from the parameter block.
    void plan(const BlockParams &p)
    {
        for (int &l : lag)
            l = -1;
        int n = 1;
        const auto on = [&](int step, bool is_on) {
            if (is_on)
                lag[step] = n++;
        };
        const bool effects = p.raw.enable_global != 0;
        on(0, effects && p.raw.enable_bw != 0 && brainwave_on(p));
        on(1, effects && dewoofer_on(p));
        on(2, effects && superbass_on(p));
        on(3, effects && fidelity_on(p));
        on(4, true);
        on(5, effects && p.raw.enable_vs != 0 && virtual_subwoofer_on(p));
        for (int slot = 0; effects && slot < 3; ++slot) {
            switch (p.chain[slot]) {
            case 'S':
                for (int pass = 0; pass < KORVA_SURROUND_PASSES; ++pass)
                    on(6 + pass, p.raw.enable_3dsurround != 0 && surround_pass_on(p, pass));
                break;
            case 'P':
                on(10, p.raw.enable_extspace != 0 && extspace_on(p));
                break;
            case 'F':
                on(11, p.raw.enable_extfx != 0 && extfx_center_on(p));
                on(12, p.raw.enable_extfx != 0 && extfx_space_on(p));
                on(13, p.raw.enable_extfx != 0 && extfx_on(p));
                break;
            default:
                break;
            }
        }
        on(14, effects && speaker_tuning_on(p));
        on(15, effects && speaker_tuning_on(p));
        on(16, effects && speaker_tuning_on(p));
        on(17, effects && speaker_tuning_on(p));
        last = n;
    }
};

// The chain between the two conversions, on float working samples in the
// 16-bit scale: `in(j)` gives frame j with 1e-15 added, `out(j, frame)` takes
// it after phase invert and stereo swap.
template <RateClass RC, class In, class Out>
inline void run_skewed_chain(KorvaEngine &e, const BlockParams &p, int count, In &&in, Out &&out)
{
    Chain<RC> c;
    c.plan(p);
    c.each([&](int k, auto &step) {
        if (c.lag[k] >= 0)
            step.load(e, p, c.lag[k]);
    });
    const bool invert = p.raw.spc_phaseinvert != 0, swap = p.raw.spc_swapstereo != 0;
    const auto finish = [&](int j, f2 x) {
        const float a = invert ? -x[0] : x[0];
        const float b = x[1];
        out(j, swap ? f2{b, a} : f2{a, b});
    };
    c.apply([&](auto &...steps) { run_skewed(count, in, finish, c.lag, c.last, steps...); });
    c.each([&](int k, auto &step) {
        if (c.lag[k] >= 0)
            step.store(e, c.lag[k] + count);
    });
}

template <RateClass RC>
inline void run_chained(KorvaEngine &e, const BlockParams &p, f2 *frames, int count)
{
    for (int slot = 0; slot < 3; ++slot) {
        switch (p.chain[slot]) {
        case 'S':
            if (p.raw.enable_3dsurround != 0)
                surround3d<RC>(e, p, frames, count);
            break;
        case 'P':
            if (p.raw.enable_extspace != 0)
                extspace<RC>(e, p, frames, count);
            break;
        case 'F':
            if (p.raw.enable_extfx != 0)
                extfx<RC>(e, p, frames, count);
            break;
        default:
            break;
        }
    }
}

// The same chain stage by stage, each over a chunk of frames before the next
// stage starts: for short runs, which the skewed schedule would mostly spend
// filling and draining, and for chains with few recursive filters, which
// leave it too little to overlap.
constexpr int stage_chunk = 256;

template <RateClass RC, class In, class Out>
inline void run_stages(KorvaEngine &e, const BlockParams &p, int count, In &&in, Out &&out)
{
    f2 frames[stage_chunk];
    const bool effects = p.raw.enable_global != 0;
    const bool invert = p.raw.spc_phaseinvert != 0, swap = p.raw.spc_swapstereo != 0;
    const f2 preamp = splat(p.preamp);
    for (int start = 0; start < count; start += stage_chunk) {
        const int n = count - start < stage_chunk ? count - start : stage_chunk;
        for (int j = 0; j < n; ++j)
            frames[j] = in(start + j);
        if (effects) {
            if (p.raw.enable_bw != 0)
                brainwave(e, p, frames, n);
            dewoofer<RC>(e, p, frames, n);
            superbass<RC>(e, p, frames, n);
            fidelity<RC>(e, p, frames, n);
        }
        for (int j = 0; j < n; ++j)
            frames[j] = frames[j] * preamp;
        if (effects) {
            if (p.raw.enable_vs != 0)
                virtual_subwoofer<RC>(e, p, frames, n);
            run_chained<RC>(e, p, frames, n);
            speaker_tuning<RC>(e, p, frames, n);
        }
        for (int j = 0; j < n; ++j) {
            const float a = invert ? -frames[j][0] : frames[j][0];
            const float b = frames[j][1];
            out(start + j, swap ? f2{b, a} : f2{a, b});
        }
    }
}

// Recursive filters on: the chains the skewed schedule can run side by side.
inline int recursive_filters(const BlockParams &p)
{
    if (p.raw.enable_global == 0)
        return 0;
    int n = dewoofer_on(p) + superbass_on(p) + fidelity_on(p);
    n += p.raw.enable_vs != 0 && virtual_subwoofer_on(p);
    if (p.raw.enable_3dsurround != 0 && p.raw._3dsurround_mode != 0)
        n += p.surround_passes > 0 ? p.surround_passes : 0;
    if (p.raw.enable_extfx != 0)
        n += extfx_center_on(p) + extfx_space_on(p);
    n += speaker_tuning_on(p) ? 4 : 0;
    return n;
}

// Below either, a run goes stage by stage (measured crossover on an x86-64
// server core, every chain order alike).
constexpr int skew_min_frames = 24;
constexpr int skew_min_filters = 7;

template <RateClass RC, class In, class Out>
inline void run_chain(KorvaEngine &e, const BlockParams &p, int count, In &&in, Out &&out)
{
    if (count < skew_min_frames || recursive_filters(p) < skew_min_filters)
        run_stages<RC>(e, p, count, in, out);
    else
        run_skewed_chain<RC>(e, p, count, in, out);
}

template <RateClass RC>
void run_block(KorvaEngine &e, const BlockParams &p, const int16_t *in, int16_t *out, int32_t total)
{
    run_chain<RC>(
        e, p, total,
        [in](int j) {
            return f2{static_cast<float>(in[2 * static_cast<ptrdiff_t>(j)]),
                      static_cast<float>(in[2 * static_cast<ptrdiff_t>(j) + 1])} +
                   splat(1e-15f);
        },
        [out](int j, f2 x) {
            out[2 * static_cast<ptrdiff_t>(j)] = sample16::truncate_symmetric(x[0]);
            out[2 * static_cast<ptrdiff_t>(j) + 1] = sample16::truncate_symmetric(x[1]);
        });
}

// The same chain without the 16-bit ends: no conversion, no clipping.
template <RateClass RC>
void run_block_float(KorvaEngine &e, const BlockParams &p, const float *in, float *out, int32_t total)
{
    run_chain<RC>(
        e, p, total,
        [in](int j) {
            return f2{in[2 * static_cast<ptrdiff_t>(j)], in[2 * static_cast<ptrdiff_t>(j) + 1]} + splat(1e-15f);
        },
        [out](int j, f2 x) {
            out[2 * static_cast<ptrdiff_t>(j)] = x[0];
            out[2 * static_cast<ptrdiff_t>(j) + 1] = x[1];
        });
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
