#include "extfx.h"

#include "stage_entry.h"

extern "C" void korva_extfx(KorvaEngine *engine, int32_t rate, float *left, float *right)
{
    korva::stage_entry(engine, rate, left, right,
                       []<korva::RateClass RC>(KorvaEngine &e, const korva::BlockParams &p, korva::f2 *frames,
                                               int count) { korva::extfx<RC>(e, p, frames, count); });
}
