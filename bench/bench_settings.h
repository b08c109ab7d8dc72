// The "every stage on" setting the benchmarks measure and the README's
// performance figures name: 3D Surround mode 3, extSpace Active, extFX,
// Virtual Subwoofer, speaker tuning and brainwave synthesis, the rest at
// the defaults. bench/common.sh gives the same setting to `korva process`.
#ifndef KORVA_BENCH_BENCH_SETTINGS_H
#define KORVA_BENCH_BENCH_SETTINGS_H

#include "engine/korva.h"
#include "tests/support/field_values.h"

inline KorvaParams bench_every_stage_on()
{
    KorvaParams p;
    korva_default_params(&p);
    return korva_test::with_fields(p, {{&KorvaParams::_3dsurround_mode, 3}, {&KorvaParams::enable_extspace, 1},
                                       {&KorvaParams::extspace_mode, 1}, {&KorvaParams::enable_extfx, 1},
                                       {&KorvaParams::enable_vs, 1}, {&KorvaParams::spc_mode, 1},
                                       {&KorvaParams::enable_bw, 1}});
}

#endif
