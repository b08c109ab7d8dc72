#include "compare_live.h"

#include "engine/param_fields.h"
#include "plugin_core/ports.h"
#include "fileio/file_read.h"
#include "sinkfiles/sink_fragment_store.h"

#include <cmath>
#include <cstdio>
#include <climits>
#include <cstdlib>

namespace {

std::string db_text(double level)
{
    char text[32];
    std::snprintf(text, sizeof text, "~%.1f dB", std::fabs(20.0 * std::log10(level)));
    return text;
}

} // namespace

CompareView compare_view(const KorvaSinkValues &values)
{
    CompareView view;
    view.available = values.compare.present;
    if (!view.available)
        return view;
    const long side = std::lround(values.compare.side);
    view.side = side == 1 ? CompareSide::korva : side == 2 ? CompareSide::bypass : CompareSide::off;
    view.korva_level = values.compare.korva_level;
    view.bypass_level = values.compare.bypass_level;
    return view;
}

KorvaParams params_from_values(const KorvaSinkValues &values)
{
    KorvaParams params;
    korva_default_params(&params);
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (values.present[i])
            korva_param_set(&params, &korva_param_fields[i], korva_port_value(i, static_cast<float>(values.value[i])));
    return params;
}

const char *compare_side_name(CompareSide side)
{
    switch (side) {
    case CompareSide::korva: return "korva";
    case CompareSide::bypass: return "bypass";
    case CompareSide::off: break;
    }
    return "off";
}

std::string compare_words(const CompareView &view)
{
    if (!view.available || view.side == CompareSide::off)
        return {};
    const bool korva_lowered = view.korva_level < 1.0;
    const bool bypass_lowered = view.bypass_level < 1.0;
    const char *playing = view.side == CompareSide::korva ? "Korva playing" : "bypass playing";
    if (!korva_lowered && !bypass_lowered)
        return std::string(playing) + ", both sides as loud";
    if (view.side == CompareSide::korva) {
        if (korva_lowered)
            return "Korva playing, lowered " + db_text(view.korva_level) + " to match the bypass";
        return "Korva playing, at full level (the bypass is matched " + db_text(view.bypass_level) + " lower)";
    }
    if (bypass_lowered)
        return "bypass playing, lowered " + db_text(view.bypass_level) + " to match Korva";
    return "bypass playing, at full level (Korva is matched " + db_text(view.korva_level) + " lower)";
}

std::string compare_unavailable_text()
{
    char path[PATH_MAX];
    KorvaFragmentError error{};
    if (!korva_fragment_path(path, sizeof path, &error))
        return error.message;
    KorvaFragmentContents contents{};
    if (!korva_fragment_read(path, &contents, &error))
        return std::string("the running sink has no compare node, and its configuration cannot be read: ") +
               error.message;
    size_t size = 0;
    bool changed = false;
    // A dry run of the migration tells whether the file has the node.
    std::string text;
    int why = 0;
    korva::fileio::read_file(path, text, korva::fileio::kTextFileLimit, &why);
    char *migrated = korva_fragment_migrate(text.data(), text.size(), &size, &changed, &error);
    std::free(migrated);
    if (migrated != nullptr && !changed)
        return "the running sink has no compare node yet: its configuration has one, restart PipeWire to load it "
               "(systemctl --user restart pipewire)";
    return std::string("the running sink has no compare node: its configuration ") + path +
           " was written by an earlier korva sink install; run `korva sink migrate`, then restart PipeWire "
           "(systemctl --user restart pipewire)";
}

bool compare_switch(KorvaSinkClient *client, CompareSide side, const KorvaParams &params, LevelMatch &match,
                    std::string &problem)
{
    match = LevelMatch{};
    if (side != CompareSide::off) {
        match = measure_level_match(params);
        if (!match.ok) {
            problem = match.problem;
            return false;
        }
    }
    if (!korva_sink_client_set_compare(client, static_cast<int>(side), match.korva_level, match.bypass_level)) {
        problem = korva_sink_state_text(korva_sink_client_state(client));
        return false;
    }
    return true;
}

bool compare_rematch(KorvaSinkClient *client, const KorvaSinkValues &values, std::string &problem)
{
    const CompareView view = compare_view(values);
    if (!view.available || view.side == CompareSide::off)
        return true;
    LevelMatch match;
    return compare_switch(client, view.side, params_from_values(values), match, problem);
}
