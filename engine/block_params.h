// The parameters one block runs with: a snapshot of the parameter block taken
// once at the start of the block, its gains looked up, and every value that
// could lead outside the engine record brought back into range.
//
// Out-of-range values (they can come only from a preset, the configuration
// file or a program writing the record) are handled here, where no caller can
// bypass them:
//   - a GainTable index below 0 counts as 0, above 512 as 512;
//   - a chain_index outside 0..5 runs the default order, row 0;
//   - a 3D Surround mode above 4 runs 4 passes (the record holds four);
//   - a sample rate of 0 or below is processed as 44100 Hz.
// The raw values stay in `raw`: the on/off tests of the stages read them.
#ifndef KORVA_ENGINE_BLOCK_PARAMS_H
#define KORVA_ENGINE_BLOCK_PARAMS_H

#include "korva.h"

#include <cstdint>

namespace korva {

inline float gain(int32_t step)
{
    // One unsigned comparison for the values the window gives; the rest clamped.
    if (static_cast<uint32_t>(step) < KORVA_GAIN_STEPS) [[likely]]
        return GainTable[step];
    return GainTable[step < 0 ? 0 : KORVA_GAIN_STEPS - 1];
}

inline int32_t effective_rate(int32_t rate)
{
    return rate > 0 ? rate : KORVA_DEFAULT_RATE;
}

struct BlockParams {
    KorvaParams raw;
    int32_t rate;
    const char *chain;  // three letters of ChainTable
    int surround_passes;
    float preamp, superbass, dewoofer, fidelity;
    float surround_depth, surround_bass;
    float extfx_space, extfx_center;
    float vs_overdrive, vs_intensity;
    float spc_debass, spc_detube, spc_mid, spc_high;
    float bw_value, bw_sigpreamp;
};

// The engine's parameter block is read straight into `raw` (one atomic load
// per field) and the rest derived from it field by field. No clearing and no
// second copy: reading a block just written field by field back in wide
// words stalls, and for a one-frame block that costs more than all the rest
// of its set-up.
inline BlockParams block_params(const KorvaEngine &engine, int32_t rate)
{
    BlockParams p;
    korva_params_read(&engine, &p.raw);
    const KorvaParams &raw = p.raw;
    p.rate = effective_rate(rate);
    p.chain = ChainTable[raw.chain_index >= 0 && raw.chain_index <= 5 ? raw.chain_index : 0];
    p.surround_passes = raw._3dsurround_mode > KORVA_SURROUND_PASSES ? KORVA_SURROUND_PASSES
                                                                     : raw._3dsurround_mode;
    p.preamp = gain(raw.preamp);
    p.superbass = gain(raw.superbass);
    p.dewoofer = gain(raw.dewoofer);
    p.fidelity = gain(raw.fidelity);
    p.surround_depth = gain(raw._3dsurround_depth);
    p.surround_bass = gain(raw._3dsurround_bass);
    p.extfx_space = gain(raw.extfx_space);
    p.extfx_center = gain(raw.extfx_center);
    p.vs_overdrive = gain(raw.vs_overdrive);
    p.vs_intensity = gain(raw.vs_intensity);
    p.spc_debass = gain(raw.spc_debass);
    p.spc_detube = gain(raw.spc_detube);
    p.spc_mid = gain(raw.spc_mid);
    p.spc_high = gain(raw.spc_high);
    p.bw_value = gain(raw.bw_value);
    p.bw_sigpreamp = gain(raw.bw_sigpreamp);
    return p;
}

}  // namespace korva

#endif
