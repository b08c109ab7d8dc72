#include "compare_fade.h"

#include <cmath>

namespace {

constexpr double kMaxDb = KORVA_COMPARE_MAX_DB;
// A measure counts once this many blocks (400 ms, every 100 ms) passed the gates.
constexpr int kMinBlocks = 7;
// The measured difference moves at most this far a block, and the gains
// follow it only when it has left the one in use by more than kHoldDb: a
// settled match holds the gains still.
constexpr double kMaxMoveDb = 1.0;
constexpr double kHoldDb = 0.2;

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

int side_of(float side)
{
    const long chosen = std::isfinite(side) ? std::lround(side) : static_cast<long>(KORVA_COMPARE_OFF);
    return chosen == KORVA_COMPARE_KORVA || chosen == KORVA_COMPARE_BYPASS ? static_cast<int>(chosen) : KORVA_COMPARE_OFF;
}

// A control moved (an unconnected one, NaN, stays NaN).
bool moved(float now, float was)
{
    return !(now == was) && !(std::isnan(now) && std::isnan(was));
}

// The difference the controls' levels stand for: Korva minus the input, dB.
double estimate_db(float korva_level, float bypass_level)
{
    if (level(korva_level) < 1.0)
        return level(korva_level) > 0.0 ? -20.0 * std::log10(level(korva_level)) : kMaxDb;
    if (level(bypass_level) < 1.0)
        return level(bypass_level) > 0.0 ? 20.0 * std::log10(level(bypass_level)) : -kMaxDb;
    return 0.0;
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
    const int chosen = side_of(side);
    *korva = chosen == KORVA_COMPARE_BYPASS ? 0.0 : chosen == KORVA_COMPARE_KORVA ? level(korva_level) : 1.0;
    *input = chosen == KORVA_COMPARE_BYPASS ? level(bypass_level) : 0.0;
}

void korva_compare_levels(double difference_db, double *korva, double *input)
{
    *korva = *input = 1.0;
    if (!std::isfinite(difference_db))
        return;
    const double db = std::fmin(std::fabs(difference_db), kMaxDb);
    if (difference_db > 0.0)
        *korva = std::pow(10.0, -db / 20.0);
    else if (difference_db < 0.0)
        *input = std::pow(10.0, -db / 20.0);
}

void korva_compare_init(KorvaCompareFade *fade, double sample_rate)
{
    *fade = KorvaCompareFade{};
    const double rate = std::isfinite(sample_rate) && sample_rate >= 1.0 ? sample_rate : 44100.0;
    fade->step = 1.0 / (KORVA_COMPARE_FADE_SECONDS * rate);
    fade->gain_korva = 1.0;
    korva_loudness_init(&fade->korva_loudness, rate);
    korva_loudness_init(&fade->input_loudness, rate);
    fade->seen_side = fade->seen_korva_level = fade->seen_bypass_level = NAN;
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
    // A start of the compare or new settings (a new estimate): what was
    // measured is of another sound. A switch of sides keeps it.
    if ((side_of(side) != KORVA_COMPARE_OFF && side_of(fade->seen_side) == KORVA_COMPARE_OFF) ||
        moved(korva_level, fade->seen_korva_level) || moved(bypass_level, fade->seen_bypass_level)) {
        korva_loudness_clear(&fade->korva_loudness);
        korva_loudness_clear(&fade->input_loudness);
        fade->measured = 0;
    }
    fade->seen_side = side;
    fade->seen_korva_level = korva_level;
    fade->seen_bypass_level = bypass_level;
    double target_korva, target_input;
    korva_compare_targets(side, korva_level, bypass_level, &target_korva, &target_input);
    const bool comparing = side_of(side) != KORVA_COMPARE_OFF;
    // The measured match replaces the estimate: the side playing at its level.
    auto measured_targets = [&] {
        double korva, input;
        korva_compare_levels(fade->applied_db, &korva, &input);
        if (target_input > 0.0)
            target_input = input;
        else
            target_korva = korva;
    };
    if (comparing && fade->measured)
        measured_targets();
    if (!fade->started) {
        fade->gain_korva = target_korva;
        fade->gain_input = target_input;
        fade->started = 1;
    }
    const float *kl = p[KORVA_COMPARE_PORT_KORVA_LEFT], *kr = p[KORVA_COMPARE_PORT_KORVA_RIGHT];
    const float *il = p[KORVA_COMPARE_PORT_INPUT_LEFT], *ir = p[KORVA_COMPARE_PORT_INPUT_RIGHT];
    float *ol = p[KORVA_COMPARE_PORT_OUT_LEFT], *orr = p[KORVA_COMPARE_PORT_OUT_RIGHT];
    for (size_t i = 0; i < frames; ++i) {
        if (comparing) {
            korva_loudness_add(&fade->input_loudness, il[i], ir[i]);
            if (korva_loudness_add(&fade->korva_loudness, kl[i], kr[i])) {
                double k, in;
                if (korva_loudness_read(&fade->korva_loudness, kMinBlocks, &k) &&
                    korva_loudness_read(&fade->input_loudness, kMinBlocks, &in)) {
                    const double now = std::fmax(-kMaxDb, std::fmin(kMaxDb, k - in));
                    if (!fade->measured)   // from the estimate the controls carry
                        fade->difference_db = estimate_db(korva_level, bypass_level);
                    fade->difference_db += std::fmax(-kMaxMoveDb, std::fmin(kMaxMoveDb, now - fade->difference_db));
                    if (!fade->measured || std::fabs(fade->difference_db - fade->applied_db) > kHoldDb)
                        fade->applied_db = fade->difference_db;
                    fade->measured = 1;
                    korva_compare_targets(side, korva_level, bypass_level, &target_korva, &target_input);
                    measured_targets();
                }
            }
        }
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
    if (p[KORVA_COMPARE_PORT_MATCH_DB] != nullptr)
        *p[KORVA_COMPARE_PORT_MATCH_DB] =
            !comparing ? 0.0f : static_cast<float>(fade->measured ? fade->applied_db : estimate_db(korva_level, bypass_level));
}

} // extern "C"
