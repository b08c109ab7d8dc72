#include "compare_fade.h"

#include <cmath>

namespace {

double level(float value)
{
    return std::isfinite(value) && value >= 0.0f && value <= 1.0f ? value : 1.0;
}

// One side's contribution: skipped at gain 0, copied at gain 1.
float part(const float *side, size_t i, double gain)
{
    if (gain == 0.0)
        return 0.0f;
    if (gain == 1.0)
        return side[i];
    return static_cast<float>(side[i] * gain);
}

double toward(double now, double target, double step)
{
    if (now < target)
        return now + step >= target ? target : now + step;
    return now - step <= target ? target : now - step;
}

} // namespace

extern "C" {

void korva_compare_targets(float side, float korva_level, float bypass_level, double *korva, double *input)
{
    const int chosen = std::isfinite(side) ? static_cast<int>(std::lround(side)) : KORVA_COMPARE_OFF;
    *korva = chosen == KORVA_COMPARE_BYPASS ? 0.0 : chosen == KORVA_COMPARE_KORVA ? level(korva_level) : 1.0;
    *input = chosen == KORVA_COMPARE_BYPASS ? level(bypass_level) : 0.0;
}

void korva_compare_init(KorvaCompareFade *fade, double sample_rate)
{
    *fade = KorvaCompareFade{};
    const double rate = std::isfinite(sample_rate) && sample_rate >= 1.0 ? sample_rate : 44100.0;
    fade->step = 1.0 / (KORVA_COMPARE_FADE_SECONDS * rate);
    fade->gain_korva = 1.0;
}

void korva_compare_activate(KorvaCompareFade *fade)
{
    fade->started = 0;
}

void korva_compare_run(KorvaCompareFade *fade, size_t frames)
{
    float *const *p = fade->port;
    for (int i = KORVA_COMPARE_PORT_KORVA_LEFT; i <= KORVA_COMPARE_PORT_OUT_RIGHT; ++i)
        if (p[i] == nullptr)
            return;
    const float unset = NAN;
    const float side = p[KORVA_COMPARE_PORT_SIDE] != nullptr ? *p[KORVA_COMPARE_PORT_SIDE] : 0.0f;
    const float korva_level = p[KORVA_COMPARE_PORT_KORVA_LEVEL] != nullptr ? *p[KORVA_COMPARE_PORT_KORVA_LEVEL] : unset;
    const float bypass_level =
        p[KORVA_COMPARE_PORT_BYPASS_LEVEL] != nullptr ? *p[KORVA_COMPARE_PORT_BYPASS_LEVEL] : unset;
    double target_korva, target_input;
    korva_compare_targets(side, korva_level, bypass_level, &target_korva, &target_input);
    if (!fade->started) {
        fade->gain_korva = target_korva;
        fade->gain_input = target_input;
        fade->started = 1;
    }
    const float *kl = p[KORVA_COMPARE_PORT_KORVA_LEFT], *kr = p[KORVA_COMPARE_PORT_KORVA_RIGHT];
    const float *il = p[KORVA_COMPARE_PORT_INPUT_LEFT], *ir = p[KORVA_COMPARE_PORT_INPUT_RIGHT];
    float *ol = p[KORVA_COMPARE_PORT_OUT_LEFT], *orr = p[KORVA_COMPARE_PORT_OUT_RIGHT];
    for (size_t i = 0; i < frames; ++i) {
        if (fade->gain_korva != target_korva || fade->gain_input != target_input) {
            fade->gain_korva = toward(fade->gain_korva, target_korva, fade->step);
            fade->gain_input = toward(fade->gain_input, target_input, fade->step);
        }
        // Both inputs are read before either output is written: a host may
        // give an output the buffer of an input.
        float left = part(kl, i, fade->gain_korva);
        float right = part(kr, i, fade->gain_korva);
        if (fade->gain_input != 0.0) {
            left += part(il, i, fade->gain_input);
            right += part(ir, i, fade->gain_input);
        }
        ol[i] = left;
        orr[i] = right;
    }
}

} // extern "C"
