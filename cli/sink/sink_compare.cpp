#include "sink_compare.h"

#include "compare/compare_live.h"
#include "sinkfiles/sink_fragment_store.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kAnswerMs = 5000;

std::string lufs(double value)
{
    char text[32];
    if (std::isinf(value))
        return "-inf LUFS";
    std::snprintf(text, sizeof text, "%.1f LUFS", value);
    return text;
}

} // namespace

Status run_sink_compare(const std::string &name)
{
    const CompareSide side = name == "korva" ? CompareSide::korva : name == "bypass" ? CompareSide::bypass
                                                                                     : CompareSide::off;
    char error[256] = "";
    KorvaSinkClient *client = korva_sink_client_new(nullptr, error, sizeof error);
    if (client == nullptr)
        return failure(error);
    const KorvaSinkState state = korva_sink_client_wait(client, kAnswerMs);
    KorvaSinkValues values{};
    if (state != KORVA_SINK_CONNECTED || !korva_sink_client_values(client, &values)) {
        korva_sink_client_free(client);
        return failure(std::string("cannot compare: ") + korva_sink_state_text(state));
    }
    if (!values.compare.present) {
        korva_sink_client_free(client);
        return failure("cannot compare: " + compare_unavailable_text());
    }
    LevelMatch match;
    std::string problem;
    bool sent = compare_switch(client, side, params_from_values(values), match, problem);
    KorvaSinkValues after{};
    if (sent && !korva_sink_client_refresh(client, &after, kAnswerMs)) {
        sent = false;
        problem = "the sink did not answer after the change";
    }
    korva_sink_client_free(client);
    if (!sent)
        return failure("compare " + name + ": " + problem);
    const CompareView view = compare_view(after);
    if (view.side != side)
        return failure("compare " + name + ": the sink did not take the change");
    if (side == CompareSide::off) {
        std::printf("compare: off, normal listening\n");
        return success();
    }
    std::printf("compare: %s\nmatched on the reference music: Korva %s, input %s\n", compare_words(view).c_str(),
                lufs(match.korva_lufs).c_str(), lufs(match.input_lufs).c_str());
    if (std::fabs(match.difference_db) >= kMaxMatchDb)
        std::printf("the difference is beyond %.0f dB: the match is limited to it\n", kMaxMatchDb);
    return success();
}

Status run_sink_migrate()
{
    char path[PATH_MAX];
    KorvaFragmentError error{};
    if (!korva_fragment_path(path, sizeof path, &error))
        return failure(error.message);
    bool changed = false;
    if (!korva_fragment_migrate_file(path, &changed, &error))
        return failure(error.message);
    if (!changed) {
        std::printf("%s has the compare node already: nothing to do\n", path);
        return success();
    }
    std::printf("migrated %s: the compare node is in, the controls and your edits are as they were\n"
                "restart PipeWire to load it:\n  systemctl --user restart pipewire\n",
                path);
    return success();
}

std::string compare_status_text(const KorvaSinkValues &values)
{
    const CompareView view = compare_view(values);
    if (!view.available)
        return "not available: the sink has no compare node (korva sink migrate, then restart PipeWire)";
    const std::string words = compare_words(view);
    return words.empty() ? "off" : words;
}

void keep_compare_match(KorvaSinkClient *client)
{
    KorvaSinkValues values{};
    if (!korva_sink_client_refresh(client, &values, kAnswerMs))
        return;
    std::string problem;
    if (!compare_rematch(client, values, problem))
        std::fprintf(stderr, "korva: warning: the compare's match was not updated: %s\n", problem.c_str());
    else if (compare_view(values).side != CompareSide::off)
        std::printf("compare: the match follows the new settings\n");
}
