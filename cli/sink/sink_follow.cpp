#include "sink_follow.h"

#include "compare/compare_live.h"

#include "cli/common/interrupt.h"
#include "follow_applied.h"
#include "sink_bypass.h"
#include "sink_profiles.h"

#include "engine/korva.h"
#include "engine/param_fields.h"
#include "sinkfiles/follow_lock.h"
#include "sinkfiles/follow_state.h"
#include "pwlive/connection.h"
#include "pwlive/output_watch.h"
#include "pwlive/stream_watch.h"
#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_store.h"

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {

using korva::pwlive::Graph;
using korva::pwlive::OutputInUse;

// How long a read-back of the sink may take.
constexpr int kAnswerMs = 3000;

// Wakes the main loop when either connection reports something (client threads).
struct Wake {
    std::mutex lock;
    std::condition_variable changed;
    bool pending = false;

    static void note(void *data)
    {
        Wake *wake = static_cast<Wake *>(data);
        std::lock_guard<std::mutex> hold(wake->lock);
        wake->pending = true;
        wake->changed.notify_one();
    }
    static void note_state(void *data, KorvaSinkState) { note(data); }
    static void note_values(void *, const KorvaSinkValues *) {}

    void wait_up_to(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait_for(hold, timeout, [this] { return pending; });
        pending = false;
    }
};

// One output with the preset meant for it: what follow-applied remembers.
using Target = FollowTarget;

struct Report {
    korva::sinkfiles::FollowState state;
    KorvaSinkState sink = KORVA_SINK_CONNECTING;
    OutputInUse output;
};

// The preset as the sink takes it: every control, with the three switches a
// preset load keeps at the values the sink holds now.
std::vector<KorvaSinkChange> preset_changes(const KorvaParams &preset, const KorvaSinkValues &live)
{
    KorvaParams in_force = preset;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (live.present[i])
            korva_param_set(&in_force, &korva_param_fields[i], static_cast<int32_t>(live.value[i]));
    KorvaParams next = preset;
    korva_params_keep_switches(&next, &in_force);
    std::vector<KorvaSinkChange> changes;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        changes.push_back({i, static_cast<float>(korva_param_get(&next, &korva_param_fields[i]))});
    return changes;
}

// Sends the preset to the running sink and saves it in the sink's fragment
// (saved first: a fragment that cannot take it stops the change). `note`
// gets what went right but not wholly (not saved).
Status apply_to_sink(KorvaSinkClient *sink, const KorvaParams &preset, std::string &note)
{
    KorvaSinkValues live{};
    if (!korva_sink_client_refresh(sink, &live, kAnswerMs))
        return failure(std::string("the sink did not answer: ") + korva_sink_state_text(korva_sink_client_state(sink)));
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (!live.present[i])
            return failure(std::string("the sink has no control korva:") + korva_param_fields[i].name +
                           " (a sink of another Korva version?)");
    const std::vector<KorvaSinkChange> changes = preset_changes(preset, live);
    const int count = static_cast<int>(changes.size());

    char path[PATH_MAX];
    KorvaFragmentError error{};
    struct stat file {};
    if (!korva_fragment_path(path, sizeof path, &error))
        note = std::string("not saved: ") + error.message;
    else if (stat(path, &file) != 0)
        note = std::string("not saved: ") + path + " does not exist (korva sink install writes it)";
    else if (!korva_fragment_save(path, changes.data(), count, &error))
        return failure(error.message);

    if (!korva_sink_client_set(sink, changes.data(), count))
        return failure(std::string("the sink went away before the preset was sent: ") +
                       korva_sink_state_text(korva_sink_client_state(sink)));
    KorvaSinkValues after{};
    if (!korva_sink_client_refresh(sink, &after, kAnswerMs))
        return failure("the sink did not answer after the preset was sent");
    for (const KorvaSinkChange &change : changes)
        if (static_cast<float>(after.value[change.field]) != change.value)
            return failure(std::string("the sink did not take ") + korva_param_fields[change.field].name);
    // A compare going on is matched to the new settings.
    if (std::string problem; !compare_rematch(sink, after, problem))
        note += (note.empty() ? "" : "; ") + ("the compare's match was not updated: " + problem);
    return success();
}

struct Follower {
    std::string state_path, applied_path, profiles_path, apps_path;
    BypassMemory bypass;
    std::string apps_problem;   // the app list's, as last told
    Target remembered;     // follow-applied
    Target attempted;      // the last output and preset handled (applied, kept or refused)
    bool have_attempted = false;
    Report report;
    std::string written;   // the state file's text as last written

    void publish()
    {
        report.state.sink = korva_sink_state_text(report.sink);
        report.state.output = report.output.node;
        report.state.route = report.output.route;
        const std::string text = korva::sinkfiles::follow_state_text(report.state);
        if (text == written || state_path.empty())
            return;
        if (Status status = write_korva_file(state_path, text); !status.ok())
            std::fprintf(stderr, "korva: %s\n", status.message.c_str());
        written = text;
    }

    // Sends the streams that bypass Korva to `output` (sink_bypass.h).
    void keep_out(korva::pwlive::StreamWatch *streams_watch, const std::string &output)
    {
        korva::sinkfiles::SinkApps apps;
        std::string problem;
        if (!apps_path.empty() && !korva::sinkfiles::read_sink_apps(apps_path, apps, problem) &&
            problem != apps_problem)
            std::fprintf(stderr, "korva: %s; only calls bypass Korva\n", problem.c_str());
        apps_problem = problem;
        std::vector<korva::pwlive::LiveStream> streams;
        report.state.bypassing.clear();
        if (!korva::pwlive::stream_watch_streams(streams_watch, streams))
            return;
        for (const BypassAction &action : plan_bypass(streams, output, apps, bypass, report.state.bypassing))
            korva::pwlive::stream_watch_set_target(streams_watch, action.id, action.target);
    }

    void step(korva::pwlive::OutputWatch *watch, KorvaSinkClient *sink, korva::pwlive::StreamWatch *streams)
    {
        Graph graph;
        report.state.pipewire = korva::pwlive::output_watch_graph(watch, graph);
        report.sink = korva_sink_client_state(sink);
        if (!report.state.pipewire) {
            report.state.bypassing.clear();
            publish();
            return;
        }
        const OutputInUse output = korva::pwlive::output_in_use(graph);
        keep_out(streams, output.node);
        if (output.node.empty()) {   // not linked, or between two links of a move
            publish();
            return;
        }
        SinkProfiles profiles;
        const Status read = read_sink_profiles(profiles_path, profiles);
        const ProfileChoice choice = choose_profile(profiles, output.node, output.route);
        const Target target{output.node, output.route, choice.preset};
        if (have_attempted && target == attempted && read.ok()) {
            publish();
            return;
        }
        report.output = output;
        report.state.profile = choice.preset.empty() ? "none" : choice.device.empty() ? "fallback" : choice.device;
        report.state.preset = choice.preset;
        report.state.problem.clear();
        report.state.applied = "no";
        if (!read.ok()) {
            report.state.problem = read.message;
        } else if (choice.preset.empty()) {
            report.state.problem.clear();
        } else if (target == remembered) {
            report.state.applied = "kept";
        } else {
            KorvaParams preset;
            if (Status loaded = load_profile_preset(choice.preset, preset); !loaded.ok()) {
                report.state.problem = loaded.message + "; the sink is left as it is";
            } else if (report.sink != KORVA_SINK_CONNECTED) {
                report.state.problem = std::string("waiting for the sink: ") + korva_sink_state_text(report.sink);
                publish();
                return;   // tried again when the sink's state changes
            } else {
                std::string note;
                if (Status applied = apply_to_sink(sink, preset, note); !applied.ok()) {
                    report.state.problem = applied.message + "; tried again in a second";
                    publish();
                    return;
                }
                report.state.applied = "yes";
                report.state.problem = note;
                remembered = target;
                if (Status saved = write_follow_applied(applied_path, target); !saved.ok())
                    report.state.problem += (report.state.problem.empty() ? "" : "; ") + saved.message;
                std::printf("%s%s%s: %s\n", output.node.c_str(), output.route.empty() ? "" : ":",
                            output.route.c_str(), choice.preset.c_str());
                std::fflush(stdout);
            }
        }
        attempted = target;
        have_attempted = true;
        publish();
    }
};

} // namespace

Status run_sink_follow()
{
    // Before anything else, and held until the process ends: one follow at a
    // time, and readers can tell a live follow from the state of a dead one.
    pid_t holder = 0;
    std::string lock_problem;
    if (korva::sinkfiles::follow_lock_take(holder, lock_problem) < 0) {
        if (holder != 0)
            return failure("another korva sink follow is running" +
                               (holder > 0 ? " (pid " + std::to_string(holder) + ")" : std::string()) +
                               "; only one runs at a time",
                           kExitFollowRunning);
        if (!korva::sinkfiles::follow_lock_path().empty())
            return failure(lock_problem);
        std::fprintf(stderr, "korva: warning: %s: a second follow is not kept from starting\n",
                     lock_problem.c_str());
    }
    Follower follower;
    if (Status status = sink_profiles_path(follower.profiles_path); !status.ok())
        return status;
    if (Status status = follow_applied_path(follower.applied_path); !status.ok())
        return status;
    if (std::string problem; !korva::sinkfiles::sink_apps_path(follower.apps_path, problem))
        std::fprintf(stderr, "korva: warning: %s: only calls bypass Korva\n", problem.c_str());
    if (Status status = follow_state_path(follower.state_path); !status.ok())
        std::fprintf(stderr, "korva: warning: %s: the state is not written\n", status.message.c_str());
    if (Status read = read_follow_applied(follower.applied_path, follower.remembered); !read.ok())
        std::fprintf(stderr, "korva: warning: %s; the profile of the output in use is applied again\n",
                     read.message.c_str());

    // One connection to PipeWire for every part of follow.
    Wake wake;
    char error[256] = "";
    KorvaPwConnection *connection = korva_pw_connection_new("korva-follow", error, sizeof error);
    if (connection == nullptr)
        return failure(error);
    korva::pwlive::OutputWatch *watch = korva::pwlive::output_watch_new_on(connection, {Wake::note, &wake});
    korva::pwlive::StreamWatch *streams = korva::pwlive::stream_watch_new_on(connection, {Wake::note, &wake});
    const KorvaSinkCallbacks callbacks{Wake::note_state, Wake::note_values, &wake};
    KorvaSinkClient *sink = korva_sink_client_new_on(connection, &callbacks, error, sizeof error);
    const bool started = sink != nullptr && korva_pw_connection_start(connection, error, sizeof error);
    // Every second too: a sink that failed a change is tried again, and a
    // profile changed for the output in use is applied.
    while (started && interrupted_signal() == 0) {
        follower.step(watch, sink, streams);
        wake.wait_up_to(std::chrono::milliseconds(1000));
    }
    korva_pw_connection_stop(connection);
    korva_sink_client_free(sink);
    korva::pwlive::output_watch_free(watch);
    korva::pwlive::stream_watch_free(streams);
    korva_pw_connection_free(connection);
    if (!started)
        return failure(error);
    return success();
}
