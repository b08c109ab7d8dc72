// Shared body of the exported stage entries: snapshot the parameters, pick the
// rate class, run the stage on one frame.
#ifndef KORVA_ENGINE_STAGE_ENTRY_H
#define KORVA_ENGINE_STAGE_ENTRY_H

#include "block_params.h"
#include "filter_kit.h"

namespace korva {

// `run` is a generic lambda templated on the rate class that runs the stage
// over `count` frames: []<RateClass RC>(KorvaEngine &, const BlockParams &,
// f2 *frames, int count)
template <class Run>
inline void stage_entry(KorvaEngine *engine, int32_t rate, float *left, float *right, Run run)
{
    if (engine == nullptr || left == nullptr || right == nullptr)
        return;
    const BlockParams p = block_params(*engine, rate);
    f2 frame = {*left, *right};
    with_rate_class(p.rate, [&]<RateClass RC>() { run.template operator()<RC>(*engine, p, &frame, 1); });
    *left = frame[0];
    *right = frame[1];
}

}  // namespace korva

#endif
