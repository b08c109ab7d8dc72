// A parameter block for tests and benchmarks that want the whole engine at
// work. Header-only, so it binds to whichever copy of the engine the program
// links (the plug-in's own, the front door's, or the engine library).
#ifndef KORVA_TESTS_SUPPORT_STAGE_SETTINGS_H
#define KORVA_TESTS_SUPPORT_STAGE_SETTINGS_H

#include "engine/korva.h"

namespace korva_test {

// Every stage on, the three chained effects in a non-default order,
// brainwave synthesis at its strongest level, left and right swapped and
// one side inverted: far from the defaults, every value within its range.
inline KorvaParams stages_far_from_defaults()
{
    KorvaParams p;
    korva_default_params(&p);
    p.enable_global = 1;
    p.chain_index = 3;
    p.superbass = 160;
    p.dewoofer = 200;
    p.fidelity = 180;
    p.enable_3dsurround = 1;
    p.enable_extspace = 1;
    p.enable_extfx = 1;
    p.enable_vs = 1;
    p.enable_bw = 1;
    p._3dsurround_mode = 3;
    p.extspace_mode = 2;
    p.extfx_mode = 1;
    p.vs_mode = 1;
    p.vs_intensity = 200;
    p.spc_mode = 1;
    p.spc_phaseinvert = 1;
    p.spc_swapstereo = 1;
    p.bw_mode = 2;
    p.bw_value = 102;
    p.bw_fq = 7000;
    return p;
}

}  // namespace korva_test

#endif
