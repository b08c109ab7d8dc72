#include "plugin_core.h"

#include "engine/samples.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

int32_t engine_rate(double sample_rate)
{
    // 0 makes the engine run its default rate, 44100 Hz.
    if (!(sample_rate >= 1.0))
        return 0;
    if (sample_rate >= 2147483647.0)
        return 2147483647;
    return static_cast<int32_t>(std::lround(sample_rate));
}

// Builds the block from the controls, unless they hold the same values as
// last time: a host that runs one frame per call then pays for one compare.
// An unconnected control reads as NaN, which the port table turns into the
// default.
void read_controls(KorvaPluginCore *core)
{
    float values[KORVA_PARAM_FIELD_COUNT];
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        values[i] = core->controls[i] != nullptr ? *core->controls[i] : NAN;
    if (core->applied_valid && std::memcmp(values, core->applied, sizeof values) == 0)
        return;
    KorvaParams &params = core->engine->params;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        korva_param_set(&params, &korva_param_fields[i], korva_port_value(i, values[i]));
    std::memcpy(core->applied, values, sizeof values);
    core->applied_valid = 1;
}

} // namespace

extern "C" KorvaPluginCore *korva_core_new(double sample_rate)
{
    auto *core = static_cast<KorvaPluginCore *>(std::calloc(1, sizeof(KorvaPluginCore)));
    if (core == nullptr)
        return nullptr;
    core->engine = korva_new();
    if (core->engine == nullptr) {
        std::free(core);
        return nullptr;
    }
    core->engine->sample_rate = engine_rate(sample_rate);
    return core;
}

extern "C" void korva_core_delete(KorvaPluginCore *core)
{
    if (core == nullptr)
        return;
    korva_delete(core->engine);
    std::free(core);
}

extern "C" void korva_core_connect(KorvaPluginCore *core, uint32_t port, void *data)
{
    if (core == nullptr)
        return;
    switch (port) {
    case KORVA_PORT_IN_LEFT: core->input[0] = static_cast<const float *>(data); break;
    case KORVA_PORT_IN_RIGHT: core->input[1] = static_cast<const float *>(data); break;
    case KORVA_PORT_OUT_LEFT: core->output[0] = static_cast<float *>(data); break;
    case KORVA_PORT_OUT_RIGHT: core->output[1] = static_cast<float *>(data); break;
    default:
        if (port < KORVA_PORT_COUNT)
            core->controls[port - KORVA_PORT_FIRST_CONTROL] = static_cast<const float *>(data);
        break;
    }
}

extern "C" void korva_core_activate(KorvaPluginCore *core)
{
    if (core != nullptr)
        korva_clear_state(core->engine);
}

extern "C" void korva_core_run(KorvaPluginCore *core, size_t frames)
{
    if (core == nullptr)
        return;
    read_controls(core);
    const float *in_l = core->input[0], *in_r = core->input[1];
    float *out_l = core->output[0], *out_r = core->output[1];
    if (in_l == nullptr || in_r == nullptr || out_l == nullptr || out_r == nullptr)
        return;
    int16_t *chunk = core->frames;
    // Block boundaries are inaudible to the engine (its state lives in the
    // record), so chunks of any size give the bytes of one long call. A
    // whole chunk is read before any of it is written: buffers may alias.
    for (size_t done = 0; done < frames;) {
        const size_t n = frames - done < KORVA_CORE_CHUNK ? frames - done : KORVA_CORE_CHUNK;
        for (size_t i = 0; i < n; ++i) {
            chunk[2 * i] = korva_sample_from_float(in_l[done + i]);
            chunk[2 * i + 1] = korva_sample_from_float(in_r[done + i]);
        }
        korva_process(core->engine, chunk, chunk, static_cast<int32_t>(n));
        for (size_t i = 0; i < n; ++i) {
            out_l[done + i] = korva_sample_to_float(chunk[2 * i]);
            out_r[done + i] = korva_sample_to_float(chunk[2 * i + 1]);
        }
        done += n;
    }
}
