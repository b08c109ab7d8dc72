// The "every stage on" setting the benchmarks measure and the README's
// performance figures name: 3D Surround mode 3, extSpace Active, extFX,
// Virtual Subwoofer, speaker tuning and brainwave synthesis, the rest at
// the defaults. bench/common.sh gives the same setting to `korva process`.
#ifndef KORVA_BENCH_BENCH_SETTINGS_H
#define KORVA_BENCH_BENCH_SETTINGS_H

#include "engine/korva.h"

inline KorvaParams bench_every_stage_on()
{
    KorvaParams p;
    korva_default_params(&p);
    p._3dsurround_mode = 3;
    p.enable_extspace = 1;
    p.extspace_mode = 1;
    p.enable_extfx = 1;
    p.enable_vs = 1;
    p.spc_mode = 1;
    p.enable_bw = 1;
    return p;
}

#endif
