#include "speaker_tuning.h"

#include "stage_entry.h"

extern "C" void korva_speaker_tuning(KorvaEngine *engine, int32_t rate, float *left, float *right)
{
    korva::stage_entry(engine, rate, left, right,
                       []<korva::RateClass RC>(KorvaEngine &e, const korva::BlockParams &p, korva::f2 *frames,
                                               int count) { korva::speaker_tuning<RC>(e, p, frames, count); });
}
