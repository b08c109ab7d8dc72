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
#include "instruction_set.h"
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

// Every stage of the chain, and its lag in the skewed schedule
// (frame_schedule.h): 1, 2, ... for the stages that are on, in chain order,
// -1 for the others; lag 0 reads a frame in, lag `last` writes it out.
enum Stage {
    st_brainwave, st_dewoofer, st_superbass, st_fidelity, st_preamp, st_vs,
    st_surround0, st_surround1, st_surround2, st_surround3, st_extspace,
    st_extfx_center, st_extfx_space, st_extfx_output,
    st_debass, st_mid, st_detube, st_high, st_count
};

struct ChainPlan {
    int lag[st_count];
    int last;
};

inline ChainPlan plan_chain(const BlockParams &p)
{
    ChainPlan plan;
    for (int &l : plan.lag)
        l = -1;
    int n = 1;
    const auto on = [&](int stage, bool is_on) {
        if (is_on)
            plan.lag[stage] = n++;
    };
    const bool effects = p.raw.enable_global != 0;
    on(st_brainwave, effects && p.raw.enable_bw != 0 && brainwave_on(p));
    on(st_dewoofer, effects && dewoofer_on(p));
    on(st_superbass, effects && superbass_on(p));
    on(st_fidelity, effects && fidelity_on(p));
    on(st_preamp, true);
    on(st_vs, effects && p.raw.enable_vs != 0 && virtual_subwoofer_on(p));
    for (int slot = 0; effects && slot < 3; ++slot) {
        switch (p.chain[slot]) {
        case 'S':
            for (int pass = 0; pass < KORVA_SURROUND_PASSES; ++pass)
                on(st_surround0 + pass, p.raw.enable_3dsurround != 0 && surround_pass_on(p, pass));
            break;
        case 'P':
            on(st_extspace, p.raw.enable_extspace != 0 && extspace_on(p));
            break;
        case 'F':
            on(st_extfx_center, p.raw.enable_extfx != 0 && extfx_center_on(p));
            on(st_extfx_space, p.raw.enable_extfx != 0 && extfx_space_on(p));
            on(st_extfx_output, p.raw.enable_extfx != 0 && extfx_on(p));
            break;
        default:
            break;
        }
    }
    for (int band = st_debass; band <= st_high; ++band)
        on(band, effects && speaker_tuning_on(p));
    plan.last = n;
    return plan;
}

// The units of the skewed schedule: filters of one design shape in pairs
// (the bass low-passes, the Lowpass6 filters, two speaker bands), the rest
// on their own.
template <RateClass RC>
struct SkewedChain {
    SkewedSingle<BrainwaveStep> bw;
    SkewedSingle<DewooferStep<RC>> dewoofer;
    SkewedPair<SuperbassMix<RC>, VirtualSubwooferMix<RC>> bass;
    SkewedPair<FidelityMix<RC>, SurroundPassMix<RC, 2>> fidelity_surround2;
    SkewedSingle<PreampStep> preamp;
    SkewedPair<SurroundPassMix<RC, 0>, SurroundPassMix<RC, 1>> surround01;
    SkewedSingle<SurroundPassStep<RC, 3>> surround3;
    SkewedSingle<ExtspaceStep<RC>> extspace;
    SkewedSingle<ExtfxPartStep<RC, true>> extfx_center;
    SkewedSingle<ExtfxPartStep<RC, false>> extfx_space;
    SkewedSingle<ExtfxOutputStep> extfx_output;
    SkewedSingle<SpeakerBandStep<RC, 0>> debass;
    SkewedPair<SpeakerBandMix<RC, 1>, SpeakerBandMix<RC, 2>> mid_detube;
    SkewedSingle<SpeakerBandStep<RC, 3>> high;

    explicit SkewedChain(const ChainPlan &plan)
    {
        const int *lag = plan.lag;
        bw.lag = lag[st_brainwave];
        dewoofer.lag = lag[st_dewoofer];
        bass.lag_a = lag[st_superbass];
        bass.lag_b = lag[st_vs];
        fidelity_surround2.lag_a = lag[st_fidelity];
        fidelity_surround2.lag_b = lag[st_surround2];
        preamp.lag = lag[st_preamp];
        surround01.lag_a = lag[st_surround0];
        surround01.lag_b = lag[st_surround1];
        surround3.lag = lag[st_surround3];
        extspace.lag = lag[st_extspace];
        extfx_center.lag = lag[st_extfx_center];
        extfx_space.lag = lag[st_extfx_space];
        extfx_output.lag = lag[st_extfx_output];
        debass.lag = lag[st_debass];
        mid_detube.lag_a = lag[st_mid];
        mid_detube.lag_b = lag[st_detube];
        high.lag = lag[st_high];
    }

    template <class F>
    decltype(auto) apply(F &&f)
    {
        return f(bw, dewoofer, bass, fidelity_surround2, preamp, surround01, surround3, extspace, extfx_center,
                 extfx_space, extfx_output, debass, mid_detube, high);
    }
};

// The chain between the two conversions, on float working samples in the
// 16-bit scale: `in(j)` gives frame j with 1e-15 added, `out(j, frame)` takes
// it after phase invert and stereo swap.
template <RateClass RC, class In, class Out>
inline void run_skewed_chain(KorvaEngine &e, const BlockParams &p, int count, In &&in, Out &&out)
{
    const ChainPlan plan = plan_chain(p);
    SkewedChain<RC> c(plan);
    c.apply([&](auto &...units) { (units.load(e, p), ...); });
    const bool invert = p.raw.spc_phaseinvert != 0, swap = p.raw.spc_swapstereo != 0;
    const auto finish = [&](int j, f2 x) {
        const float a = invert ? -x[0] : x[0];
        const float b = x[1];
        out(j, swap ? f2{b, a} : f2{a, b});
    };
    c.apply([&](auto &...units) { run_skewed(count, in, finish, plan.last, units...); });
    c.apply([&](auto &...units) { (units.store(e, count), ...); });
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

inline bool runs_skewed(const BlockParams &p, int count)
{
    return count >= skew_min_frames && recursive_filters(p) >= skew_min_filters;
}

template <RateClass RC, class In, class Out>
inline void run_chain(KorvaEngine &e, const BlockParams &p, int count, In &&in, Out &&out)
{
    if (runs_skewed(p, count))
        run_skewed_chain<RC>(e, p, count, in, out);
    else
        run_stages<RC>(e, p, count, in, out);
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

// A block at its rate class, built for the baseline and a second time for
// AVX2, where the skewed schedule's pairs of filters fill the 256-bit
// registers. Only runs that go skewed take the AVX2 build: stage-by-stage
// runs, bound by one filter's latency after another, gain nothing there and
// measured slower (22 against 20 ns per frame at the default settings). The
// AVX2 build has
// every function it calls inlined (flatten), so all of it is compiled for
// AVX2, and nothing compiled for AVX2 is reachable from the baseline build.
// It clears the upper halves of the vector registers before it returns (GCC
// leaves that out in a function this large): code built without AVX that
// runs while they are in use, in the engine's caller or anywhere after, is
// slowed many times over.
void process_baseline(KorvaEngine &e, const BlockParams &p, const int16_t *in, int16_t *out, int32_t frames)
{
    with_rate_class(p.rate, [&]<RateClass RC>() { run_block<RC>(e, p, in, out, frames); });
}

void process_float_baseline(KorvaEngine &e, const BlockParams &p, const float *in, float *out, int32_t frames)
{
    with_rate_class(p.rate, [&]<RateClass RC>() { run_block_float<RC>(e, p, in, out, frames); });
}

#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::flatten]] void process_avx2(KorvaEngine &e, const BlockParams &p, const int16_t *in,
                                                         int16_t *out, int32_t frames)
{
    with_rate_class(p.rate, [&]<RateClass RC>() { run_block<RC>(e, p, in, out, frames); });
    __builtin_ia32_vzeroupper();
}

[[gnu::target("avx2"), gnu::flatten]] void process_float_avx2(KorvaEngine &e, const BlockParams &p, const float *in,
                                                               float *out, int32_t frames)
{
    with_rate_class(p.rate, [&]<RateClass RC>() { run_block_float<RC>(e, p, in, out, frames); });
    __builtin_ia32_vzeroupper();
}

bool takes_avx2(const BlockParams &p, int32_t frames)
{
    return engine_instruction_set() == InstructionSet::avx2 && runs_skewed(p, frames);
}
#else
void process_avx2(KorvaEngine &, const BlockParams &, const int16_t *, int16_t *, int32_t) {}
void process_float_avx2(KorvaEngine &, const BlockParams &, const float *, float *, int32_t) {}
bool takes_avx2(const BlockParams &, int32_t) { return false; }
#endif

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
    if (korva::takes_avx2(p, frames))
        korva::process_avx2(*engine, p, in, out, frames);
    else
        korva::process_baseline(*engine, p, in, out, frames);
}

extern "C" void korva_process_float(KorvaEngine *engine, const float *in, float *out, int32_t frames)
{
    if (engine == nullptr || in == nullptr || out == nullptr || frames <= 0)
        return;
    const korva::BlockParams p = snapshot(engine);
    if (korva::takes_avx2(p, frames))
        korva::process_float_avx2(*engine, p, in, out, frames);
    else
        korva::process_float_baseline(*engine, p, in, out, frames);
}
