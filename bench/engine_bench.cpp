// Cost of the frame loop per stereo frame, and its real-time factor, for the
// default settings, every stage on at the three rate classes, and the
// every-stage chain fed digital silence right after loud music (decaying
// filter states must not fall into slow denormal arithmetic).
//
//   ./engine_bench --benchmark_counters_tabular=true
#include "bench_settings.h"
#include "engine/korva.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int32_t kBlock = 512;  // frames per call, like a player's block

std::vector<int16_t> music(int32_t frames, int32_t rate)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    for (int32_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate, w = 2 * std::numbers::pi;
        const double kick = (n % (rate / 2)) < rate / 20 ? 12000 * std::sin(w * 60 * t) : 0.0;
        const double l = kick + 7000 * std::sin(w * 110 * t) + 5000 * std::sin(w * 659 * t) + 1500 * noise(rng);
        const double r = kick + 7000 * std::sin(w * 110 * t) + 5000 * std::sin(w * 784 * t) + 1500 * noise(rng);
        out[2 * n] = static_cast<int16_t>(std::max(-32768.0, std::min(32767.0, l)));
        out[2 * n + 1] = static_cast<int16_t>(std::max(-32768.0, std::min(32767.0, r)));
    }
    return out;
}

void all_stages_on(KorvaEngine *e)
{
    const KorvaParams on = bench_every_stage_on();
    korva_params_write(e, &on);
}

void run(benchmark::State &state, KorvaEngine *e, const std::vector<int16_t> &in, int32_t rate)
{
    std::vector<int16_t> out(2 * kBlock);
    const int32_t frames = static_cast<int32_t>(in.size() / 2);
    int32_t pos = 0;
    for (auto _ : state) {
        korva_process(e, in.data() + 2 * pos, out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        pos += kBlock;
        if (pos + kBlock > frames)
            pos = 0;
    }
    const double total = static_cast<double>(state.iterations()) * kBlock;
    // Seconds per frame, printed with an SI prefix: "24.2n" is 24.2 ns.
    state.counters["time/frame"] = benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x realtime"] = benchmark::Counter(total / rate, benchmark::Counter::kIsRate);
}

void BM_Defaults(benchmark::State &state)
{
    const int32_t rate = static_cast<int32_t>(state.range(0));
    KorvaEngine *e = korva_new();
    e->sample_rate = rate;
    run(state, e, music(rate * 4, rate), rate);
    korva_delete(e);
}

void BM_AllStages(benchmark::State &state)
{
    const int32_t rate = static_cast<int32_t>(state.range(0));
    KorvaEngine *e = korva_new();
    e->sample_rate = rate;
    all_stages_on(e);
    run(state, e, music(rate * 4, rate), rate);
    korva_delete(e);
}

// Loud music first, then ten seconds of silence measured on their own.
void BM_AllStagesSilenceAfterMusic(benchmark::State &state)
{
    const int32_t rate = 44100;
    KorvaEngine *e = korva_new();
    e->sample_rate = rate;
    all_stages_on(e);
    const auto loud = music(rate * 5, rate);
    std::vector<int16_t> scratch(loud.size());
    korva_process(e, loud.data(), scratch.data(), static_cast<int32_t>(loud.size() / 2));
    const std::vector<int16_t> silence(2 * static_cast<size_t>(rate) * 10, 0);
    run(state, e, silence, rate);
    korva_delete(e);
}

}  // namespace

BENCHMARK(BM_Defaults)->Arg(44100);
BENCHMARK(BM_AllStages)->Arg(44100)->Arg(22050)->Arg(11025);
BENCHMARK(BM_AllStagesSilenceAfterMusic);

BENCHMARK_MAIN();
