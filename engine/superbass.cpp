#include "superbass.h"

#include "stage_entry.h"

extern "C" void korva_superbass(KorvaEngine *engine, int32_t rate, float *left, float *right)
{
    korva::stage_entry(engine, rate, left, right,
                       []<korva::RateClass RC>(KorvaEngine &e, const korva::BlockParams &p, korva::f2 *frames,
                                               int count) { korva::superbass<RC>(e, p, frames, count); });
}
