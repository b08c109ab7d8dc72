#include "level_match.h"

#include "demo_synth.h"
#include "engine/param_fields.h"
#include "plugin_core/plugin_core.h"

#include <ebur128.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct MeterFree {
    void operator()(ebur128_state *state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterFree>;

Meter new_meter(int rate)
{
    return Meter(ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I));
}

double integrated(ebur128_state *state)
{
    double lufs = -HUGE_VAL;
    if (ebur128_loudness_global(state, &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

} // namespace

LevelMatch measure_level_match(const KorvaParams &params)
{
    return measure_level_match(params, synthesise_demo(), kDemoRate);
}

LevelMatch measure_level_match(const KorvaParams &params, const std::vector<int16_t> &clip, int rate)
{
    LevelMatch match;
    const size_t frames = clip.size() / 2;
    if (rate < 8000 || rate > 384000) {
        match.problem = "no level match at " + std::to_string(rate) + " Hz";
        return match;
    }
    Meter korva = new_meter(rate), input = new_meter(rate);
    std::unique_ptr<KorvaPluginCore, void (*)(KorvaPluginCore *)> core(korva_core_new(rate), korva_core_delete);
    if (korva == nullptr || input == nullptr || core == nullptr) {
        match.problem = "out of memory for the level match";
        return match;
    }
    float controls[KORVA_PARAM_FIELD_COUNT];
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        controls[i] = static_cast<float>(korva_param_get(&params, &korva_param_fields[i]));
        korva_core_connect(core.get(), KORVA_PORT_FIRST_CONTROL + i, &controls[i]);
    }
    constexpr size_t kBlock = 1024;
    float in[2][kBlock], out[2][kBlock], interleaved[2 * kBlock];
    for (int c = 0; c < 2; ++c) {
        korva_core_connect(core.get(), KORVA_PORT_IN_LEFT + c, in[c]);
        korva_core_connect(core.get(), KORVA_PORT_OUT_LEFT + c, out[c]);
    }
    korva_core_activate(core.get());
    for (size_t at = 0; at < frames; at += kBlock) {
        const size_t n = std::min(kBlock, frames - at);
        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                interleaved[2 * i + c] = in[c][i] = static_cast<float>(clip[2 * (at + i) + c]) / 32768.0f;
        ebur128_add_frames_float(input.get(), interleaved, n);
        korva_core_run(core.get(), n);
        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                interleaved[2 * i + c] = out[c][i];
        ebur128_add_frames_float(korva.get(), interleaved, n);
    }
    match.korva_lufs = integrated(korva.get());
    match.input_lufs = integrated(input.get());
    double difference = match.korva_lufs - match.input_lufs;
    if (std::isnan(difference))
        difference = 0.0;   // both silent: nothing to match
    match.difference_db = std::fmax(-kMaxMatchDb, std::fmin(kMaxMatchDb, difference));
    // The gains the compare node takes for the same difference.
    double korva_level = 1.0, bypass_level = 1.0;
    korva_compare_levels(match.difference_db, &korva_level, &bypass_level);
    match.korva_level = static_cast<float>(korva_level);
    match.bypass_level = static_cast<float>(bypass_level);
    match.ok = true;
    return match;
}
