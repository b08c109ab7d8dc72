// Cost per stereo frame of the plug-ins' run() (the code both the LV2 and the
// LADSPA plug-in call) with every stage on, at blocks of 1 and 256 frames:
// what a host that runs one frame at a time (lv2apply) pays against a
// host's usual block. Float samples in and out, controls read every call.
//
//   ./plugin_bench --benchmark_counters_tabular=true
#include "bench_settings.h"
#include "plugin_core/plugin_core.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void BM_PluginRun(benchmark::State &state)
{
    const auto block = static_cast<uint32_t>(state.range(0));
    constexpr uint32_t kFrames = 44100 * 4;
    std::vector<float> in_l(kFrames), in_r(kFrames), out_l(kFrames), out_r(kFrames);
    for (uint32_t i = 0; i < kFrames; ++i) {
        in_l[i] = 0.5f * std::sin(i * 0.0157f) + 0.2f * std::sin(i * 0.31f);
        in_r[i] = 0.5f * std::sin(i * 0.0111f) - 0.2f * std::sin(i * 0.23f);
    }
    KorvaPluginCore *core = korva_core_new(44100.0);
    float controls[KORVA_PARAM_FIELD_COUNT];
    const KorvaParams p = bench_every_stage_on();
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        controls[i] = static_cast<float>(korva_param_get(&p, &korva_param_fields[i]));
        korva_core_connect(core, KORVA_PORT_FIRST_CONTROL + i, &controls[i]);
    }
    korva_core_activate(core);

    uint32_t pos = 0;
    for (auto _ : state) {
        korva_core_connect(core, KORVA_PORT_IN_LEFT, in_l.data() + pos);
        korva_core_connect(core, KORVA_PORT_IN_RIGHT, in_r.data() + pos);
        korva_core_connect(core, KORVA_PORT_OUT_LEFT, out_l.data() + pos);
        korva_core_connect(core, KORVA_PORT_OUT_RIGHT, out_r.data() + pos);
        korva_core_run(core, block);
        benchmark::DoNotOptimize(out_l.data());
        pos += block;
        if (pos + block > kFrames)
            pos = 0;
    }
    korva_core_delete(core);
    const double frames = static_cast<double>(state.iterations()) * block;
    // Seconds per frame, printed with an SI prefix: "95.1n" is 95.1 ns.
    state.counters["time/frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_PluginRun)->Arg(1)->Arg(256);

BENCHMARK_MAIN();
