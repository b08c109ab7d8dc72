#include "fidelity.h"

#include "stage_entry.h"

extern "C" float dBoost(float x)
{
    return korva::dboost(x);
}

extern "C" void korva_fidelity(KorvaEngine *engine, int32_t rate, float *left, float *right)
{
    korva::stage_entry(engine, rate, left, right,
                       []<korva::RateClass RC>(KorvaEngine &e, const korva::BlockParams &p, korva::f2 *frames,
                                               int count) { korva::fidelity<RC>(e, p, frames, count); });
}
