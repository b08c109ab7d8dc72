#include "sink_mirror.h"

#include "engine/param_fields.h"
#include "plugin_core/ports.h"

namespace korva_control {

namespace {

int32_t field_value(const KorvaParams &block, int i)
{
    return korva_param_get(&block, &korva_param_fields[i]);
}

// Shows the node's value of control i; true when the shown field changed.
bool take_over(SinkMirror &mirror, int i, double value)
{
    mirror.node.present[i] = true;
    mirror.node.value[i] = value;
    mirror.held[i] = false;
    const int32_t shown = korva_port_value(i, static_cast<float>(value));
    if (field_value(mirror.shown, i) == shown)
        return false;
    korva_param_set(&mirror.shown, &korva_param_fields[i], shown);
    return true;
}

}  // namespace

KorvaParams block_from_controls(const KorvaSinkValues &controls, const KorvaParams &base)
{
    KorvaParams block = base;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (controls.present[i])
            korva_param_set(&block, &korva_param_fields[i], korva_port_value(i, static_cast<float>(controls.value[i])));
    return block;
}

void mirror_write(SinkMirror &mirror, const KorvaParams &next, int64_t now_us, std::vector<KorvaSinkChange> &save,
                  std::vector<KorvaSinkChange> &send)
{
    save.clear();
    send.clear();
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const int32_t value = field_value(next, i);
        if (value == field_value(mirror.shown, i))
            continue;
        const KorvaSinkChange change{i, korva_sink_control_value(i, value)};
        save.push_back(change);
        if (!mirror.node_known || !mirror.node.present[i] || static_cast<float>(mirror.node.value[i]) == change.value)
            continue;
        send.push_back(change);
        mirror.node.value[i] = change.value;
        mirror.sent[i] = change.value;
        mirror.guard_until[i] = now_us + kEchoGuardUs;
    }
    mirror.shown = next;
}

bool mirror_report(SinkMirror &mirror, const KorvaSinkValues &values, bool whole, int64_t now_us)
{
    mirror.reported = values;
    bool changed = false;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (!values.present[i])
            continue;
        const double value = values.value[i];
        if (now_us < mirror.guard_until[i] && static_cast<float>(value) != mirror.sent[i]) {
            mirror.held[i] = true;
            continue;
        }
        if (whole || !mirror.node_known || !mirror.node.present[i] || mirror.node.value[i] != value)
            changed = take_over(mirror, i, value) || changed;
        else
            mirror.held[i] = false;
    }
    mirror.node_known = true;
    return changed;
}

bool mirror_release(SinkMirror &mirror, int64_t now_us)
{
    bool changed = false;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (!mirror.held[i] || now_us < mirror.guard_until[i] || !mirror.reported.present[i])
            continue;
        if (mirror.node.value[i] != mirror.reported.value[i])
            changed = take_over(mirror, i, mirror.reported.value[i]) || changed;
        mirror.held[i] = false;
    }
    return changed;
}

void mirror_forget_node(SinkMirror &mirror)
{
    mirror.node_known = false;
    mirror.node = KorvaSinkValues{};
    mirror.reported = KorvaSinkValues{};
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        mirror.held[i] = false;
        mirror.guard_until[i] = 0;
    }
}

}  // namespace korva_control
