#include "test_signals.h"

#include "tests/support/field_values.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace test {

EnginePtr make_engine()
{
    return EnginePtr(korva_new());
}

EnginePtr make_bare_engine()
{
    EnginePtr e(korva_new());
    using P = KorvaParams;
    e->params = korva_test::with_fields(e->params, {{&P::preamp, 256}, {&P::dewoofer, 0}, {&P::fidelity, 0},
                                                    {&P::superbass, 0}, {&P::enable_3dsurround, 0},
                                                    {&P::enable_extspace, 0}, {&P::enable_extfx, 0},
                                                    {&P::enable_vs, 0}, {&P::enable_bw, 0}, {&P::spc_mode, 0}});
    return e;
}

std::vector<int16_t> music(int32_t frames, uint32_t seed, int32_t rate)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    const double f1 = 55.0 * (1 + seed % 5), f2 = 440.0 + seed % 300, f3 = 3100.0 + seed % 900;
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    const double two_pi = 2.0 * std::numbers::pi;
    for (int32_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double burst = (n % (rate / 2)) < rate / 40 ? uni(rng) * 9000.0 : 0.0;
        const double l = 9000 * std::sin(two_pi * f1 * t) + 6000 * std::sin(two_pi * f2 * t) +
                         2500 * std::sin(two_pi * f3 * t) + 800 * uni(rng) + burst;
        const double r = 9000 * std::sin(two_pi * f1 * t + 0.3) + 6000 * std::sin(two_pi * f2 * 1.01 * t) -
                         2500 * std::sin(two_pi * f3 * t) + 800 * uni(rng) - burst;
        out[2 * n] = static_cast<int16_t>(std::clamp(l, -32768.0, 32767.0));
        out[2 * n + 1] = static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
    }
    return out;
}

std::vector<int16_t> constant(int32_t frames, int16_t left, int16_t right)
{
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    for (int32_t n = 0; n < frames; ++n) {
        out[2 * n] = left;
        out[2 * n + 1] = right;
    }
    return out;
}

std::pair<float, float> settle(StageFn stage, KorvaEngine *e, int32_t rate, float left, float right, int frames)
{
    float l = left, r = right;
    for (int n = 0; n < frames; ++n) {
        l = left;
        r = right;
        stage(e, rate, &l, &r);
    }
    return {l, r};
}

}  // namespace test
