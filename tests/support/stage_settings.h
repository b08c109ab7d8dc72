// A parameter block for tests and benchmarks that want the whole engine at
// work. Header-only, so it binds to whichever copy of the engine the program
// links (the plug-in's own, the front door's, or the engine library).
#ifndef KORVA_TESTS_SUPPORT_STAGE_SETTINGS_H
#define KORVA_TESTS_SUPPORT_STAGE_SETTINGS_H

#include "engine/korva.h"
#include "field_values.h"

namespace korva_test {

// Every stage on, the three chained effects in a non-default order,
// brainwave synthesis at its strongest level, left and right swapped and
// one side inverted: far from the defaults, every value within its range.
inline KorvaParams stages_far_from_defaults()
{
    KorvaParams p;
    korva_default_params(&p);
    using P = KorvaParams;
    return with_fields(p, {
        {&P::enable_global, 1}, {&P::chain_index, 3}, {&P::superbass, 160}, {&P::dewoofer, 200},
        {&P::fidelity, 180}, {&P::enable_3dsurround, 1}, {&P::enable_extspace, 1}, {&P::enable_extfx, 1},
        {&P::enable_vs, 1}, {&P::enable_bw, 1}, {&P::_3dsurround_mode, 3}, {&P::extspace_mode, 2},
        {&P::extfx_mode, 1}, {&P::vs_mode, 1}, {&P::vs_intensity, 200}, {&P::spc_mode, 1},
        {&P::spc_phaseinvert, 1}, {&P::spc_swapstereo, 1}, {&P::bw_mode, 2}, {&P::bw_value, 102},
        {&P::bw_fq, 7000},
    });
}

}  // namespace korva_test

#endif
