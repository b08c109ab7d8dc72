#include "brainwave.h"

#include "stage_entry.h"

extern "C" void korva_brainwave(KorvaEngine *engine, int32_t rate, float *left, float *right)
{
    korva::stage_entry(engine, rate, left, right,
                       []<korva::RateClass>(KorvaEngine &e, const korva::BlockParams &p, korva::f2 *frames,
                                               int count) { korva::brainwave(e, p, frames, count); });
}
