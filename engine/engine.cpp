// The engine record's lifecycle, its defaults, and race-free access to its
// parameter block.
#include "korva.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

extern "C" void korva_default_params(KorvaParams *p)
{
    if (p == nullptr)
        return;
    std::memset(p, 0, sizeof *p);
    p->enable_global = 1;
    p->chain_index = 0;
    p->preamp = 128;
    p->superbass = 0;
    p->dewoofer = 64;
    p->fidelity = 64;
    p->enable_3dsurround = 1;
    p->enable_extspace = 0;
    p->enable_extfx = 0;
    p->enable_vs = 0;
    p->enable_bw = 0;
    p->_3dsurround_mode = 1;
    p->_3dsurround_depth = 256;
    p->_3dsurround_bass = 256;
    p->extspace_mode = 1;
    p->extfx_mode = 1;
    p->extfx_space = 86;
    p->extfx_center = 86;
    p->vs_mode = 1;
    p->vs_overdrive = 128;
    p->vs_intensity = 86;
    p->spc_swapstereo = 0;
    p->spc_phaseinvert = 0;
    p->spc_mode = 0;
    p->spc_debass = 256;
    p->spc_detube = 256;
    p->spc_mid = 86;
    p->spc_high = 86;
    p->bw_mode = 1;
    p->bw_fq = 3600;
    p->bw_value = 51;
    p->bw_sigpreamp = 128;
}

extern "C" KorvaEngine *korva_new(void)
{
    auto *engine = static_cast<KorvaEngine *>(std::malloc(sizeof(KorvaEngine)));
    korva_reset(engine);
    return engine;
}

extern "C" void korva_reset(KorvaEngine *engine)
{
    if (engine == nullptr)
        return;
    std::memset(engine, 0, sizeof *engine);
    engine->sample_rate = KORVA_DEFAULT_RATE;
    korva_default_params(&engine->params);
}

extern "C" void korva_clear_state(KorvaEngine *engine)
{
    if (engine == nullptr)
        return;
    // Everything after the rate is working state; all-zero bits are silence.
    constexpr size_t state = offsetof(KorvaEngine, sample_rate) + sizeof engine->sample_rate;
    std::memset(reinterpret_cast<unsigned char *>(engine) + state, 0, sizeof *engine - state);
}

extern "C" void korva_delete(KorvaEngine *engine)
{
    std::free(engine);
}

namespace {

// Applies op(member_of_dst, member_of_src) to every member of the block,
// padding included, each with its own width.
template <class Op>
void for_each_param(KorvaParams &a, const KorvaParams &b, Op op)
{
    op(a.enable_global, b.enable_global);
    op(a.pad_1, b.pad_1);
    op(a.chain_index, b.chain_index);
    op(a.preamp, b.preamp);
    op(a.superbass, b.superbass);
    op(a.dewoofer, b.dewoofer);
    op(a.fidelity, b.fidelity);
    op(a.enable_3dsurround, b.enable_3dsurround);
    op(a.enable_extspace, b.enable_extspace);
    op(a.enable_extfx, b.enable_extfx);
    op(a.enable_vs, b.enable_vs);
    op(a.enable_bw, b.enable_bw);
    op(a.pad_25, b.pad_25);
    op(a._3dsurround_mode, b._3dsurround_mode);
    op(a._3dsurround_depth, b._3dsurround_depth);
    op(a._3dsurround_bass, b._3dsurround_bass);
    op(a.extspace_mode, b.extspace_mode);
    op(a.extfx_mode, b.extfx_mode);
    op(a.extfx_space, b.extfx_space);
    op(a.extfx_center, b.extfx_center);
    op(a.vs_mode, b.vs_mode);
    op(a.pad_50, b.pad_50);
    op(a.vs_overdrive, b.vs_overdrive);
    op(a.vs_intensity, b.vs_intensity);
    op(a.spc_swapstereo, b.spc_swapstereo);
    op(a.spc_phaseinvert, b.spc_phaseinvert);
    op(a.spc_mode, b.spc_mode);
    op(a.spc_debass, b.spc_debass);
    op(a.spc_detube, b.spc_detube);
    op(a.spc_mid, b.spc_mid);
    op(a.spc_high, b.spc_high);
    op(a.bw_mode, b.bw_mode);
    op(a.pad_82, b.pad_82);
    op(a.bw_fq, b.bw_fq);
    op(a.bw_value, b.bw_value);
    op(a.bw_sigpreamp, b.bw_sigpreamp);
}

}  // namespace

extern "C" void korva_params_read(const KorvaEngine *engine, KorvaParams *out)
{
    if (engine == nullptr || out == nullptr)
        return;
    // atomic_ref needs a non-const object; the loads do not modify it.
    auto &src = const_cast<KorvaParams &>(engine->params);
    for_each_param(*out, src, []<class T>(T &dst, const T &field) {
        dst = std::atomic_ref<T>(const_cast<T &>(field)).load(std::memory_order_relaxed);
    });
}

extern "C" void korva_params_write(KorvaEngine *engine, const KorvaParams *in)
{
    if (engine == nullptr || in == nullptr)
        return;
    for_each_param(engine->params, *in, []<class T>(T &field, const T &value) {
        std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
    });
}

extern "C" void korva_params_keep_switches(KorvaParams *next, const KorvaParams *in_force)
{
    if (next == nullptr || in_force == nullptr)
        return;
    next->enable_global = in_force->enable_global;
    next->spc_swapstereo = in_force->spc_swapstereo;
    next->spc_phaseinvert = in_force->spc_phaseinvert;
}
