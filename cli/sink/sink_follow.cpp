#include "sink_follow.h"

#include "compare/compare_live.h"

#include "cli/common/interrupt.h"
#include "follow_applied.h"
#include "sink_profiles.h"

#include "engine/korva.h"
#include "engine/param_fields.h"
#include "pwclient/follow_lock.h"
#include "pwclient/output_watch.h"
#include "pwclient/sink_client.h"
#include "pwclient/sink_fragment_store.h"

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {

using korva::pwclient::Graph;
using korva::pwclient::OutputInUse;

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

std::string one_line(std::string text)
{
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

struct Report {
    bool pipewire = false;
    KorvaSinkState sink = KORVA_SINK_CONNECTING;
    OutputInUse output;
    std::string profile, preset, applied = "no", problem;

    std::string text() const
    {
        return "pipewire: " + std::string(pipewire ? "connected" : "not running") +
               "\nsink: " + korva_sink_state_text(sink) + "\noutput: " + one_line(output.node) +
               "\nroute: " + one_line(output.route) + "\nprofile: " + one_line(profile) +
               "\npreset: " + one_line(preset) + "\napplied: " + applied + "\nproblem: " + one_line(problem) + "\n";
    }
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
    std::string state_path, applied_path, profiles_path;
    Target remembered;     // follow-applied
    Target attempted;      // the last output and preset handled (applied, kept or refused)
    bool have_attempted = false;
    Report report;
    std::string written;   // the state file's text as last written

    void publish()
    {
        const std::string text = report.text();
        if (text == written || state_path.empty())
            return;
        if (Status status = write_korva_file(state_path, text); !status.ok())
            std::fprintf(stderr, "korva: %s\n", status.message.c_str());
        written = text;
    }

    void step(korva::pwclient::OutputWatch *watch, KorvaSinkClient *sink)
    {
        Graph graph;
        report.pipewire = korva::pwclient::output_watch_graph(watch, graph);
        report.sink = korva_sink_client_state(sink);
        if (!report.pipewire) {
            publish();
            return;
        }
        const OutputInUse output = korva::pwclient::output_in_use(graph);
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
        report.profile = choice.preset.empty() ? "none" : choice.device.empty() ? "fallback" : choice.device;
        report.preset = choice.preset;
        report.problem.clear();
        report.applied = "no";
        if (!read.ok()) {
            report.problem = read.message;
        } else if (choice.preset.empty()) {
            report.problem.clear();
        } else if (target == remembered) {
            report.applied = "kept";
        } else {
            KorvaParams preset;
            if (Status loaded = load_profile_preset(choice.preset, preset); !loaded.ok()) {
                report.problem = loaded.message + "; the sink is left as it is";
            } else if (report.sink != KORVA_SINK_CONNECTED) {
                report.problem = std::string("waiting for the sink: ") + korva_sink_state_text(report.sink);
                publish();
                return;   // tried again when the sink's state changes
            } else {
                std::string note;
                if (Status applied = apply_to_sink(sink, preset, note); !applied.ok()) {
                    report.problem = applied.message + "; tried again in a second";
                    publish();
                    return;
                }
                report.applied = "yes";
                report.problem = note;
                remembered = target;
                if (Status saved = write_follow_applied(applied_path, target); !saved.ok())
                    report.problem += (report.problem.empty() ? "" : "; ") + saved.message;
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
    if (korva::pwclient::follow_lock_take(holder, lock_problem) < 0) {
        if (holder != 0)
            return failure("another korva sink follow is running" +
                               (holder > 0 ? " (pid " + std::to_string(holder) + ")" : std::string()) +
                               "; only one runs at a time",
                           kExitFollowRunning);
        if (!korva::pwclient::follow_lock_path().empty())
            return failure(lock_problem);
        std::fprintf(stderr, "korva: warning: %s: a second follow is not kept from starting\n",
                     lock_problem.c_str());
    }
    Follower follower;
    if (Status status = sink_profiles_path(follower.profiles_path); !status.ok())
        return status;
    if (Status status = follow_applied_path(follower.applied_path); !status.ok())
        return status;
    if (Status status = follow_state_path(follower.state_path); !status.ok())
        std::fprintf(stderr, "korva: warning: %s: the state is not written\n", status.message.c_str());
    if (Status read = read_follow_applied(follower.applied_path, follower.remembered); !read.ok())
        std::fprintf(stderr, "korva: warning: %s; the profile of the output in use is applied again\n",
                     read.message.c_str());

    Wake wake;
    std::string problem;
    korva::pwclient::OutputWatch *watch =
        korva::pwclient::output_watch_new({Wake::note, &wake}, problem);
    if (watch == nullptr)
        return failure(problem);
    char error[256] = "";
    const KorvaSinkCallbacks callbacks{Wake::note_state, Wake::note_values, &wake};
    KorvaSinkClient *sink = korva_sink_client_new(&callbacks, error, sizeof error);
    if (sink == nullptr) {
        korva::pwclient::output_watch_free(watch);
        return failure(error);
    }
    // Every second too: a sink that failed a change is tried again, and a
    // profile changed for the output in use is applied.
    while (interrupted_signal() == 0) {
        follower.step(watch, sink);
        wake.wait_up_to(std::chrono::milliseconds(1000));
    }
    korva_sink_client_free(sink);
    korva::pwclient::output_watch_free(watch);
    return success();
}
