// A private PipeWire for the tests, set up as a user's desktop: a daemon
// with a dummy driver and a null sink (test_out) that loads the user's
// fragments from $XDG_CONFIG_HOME/pipewire/pipewire.conf.d/, wireplumber
// linking the nodes, programs in sessions of their own that end with their
// whole process group, and playing a file into korva_sink while recording
// test_out. Used by the sink's and korva-control's tests.
#ifndef KORVA_TESTS_SINK_PRIVATE_PIPEWIRE_H
#define KORVA_TESTS_SINK_PRIVATE_PIPEWIRE_H

#include "tests/cli/cli_harness.h"

#include <sys/types.h>

#include <csignal>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pipewire_test {

constexpr int kRate = 44100;
constexpr const char *kServerTemplate = "/usr/share/pipewire/minimal.conf";

void pause_for(int milliseconds);

// A program started in its own session; the whole process group (for
// dbus-run-session also its dbus-daemon) ends when this goes out of scope.
struct Background {
    pid_t pid = -1;
    std::string log;

    Background(const std::vector<std::string> &argv, std::string log_path);
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;
    ~Background() { stop(SIGTERM); }

    // Waits up to `seconds` for the program to end by itself; true if it did.
    bool wait(int seconds);
    // Signals the group, gives it five seconds, then kills what is left.
    void stop(int signal_number);
};

// Polls `condition` every 200 ms for up to `seconds`.
bool eventually(int seconds, const std::function<bool()> &condition);

// Standard output of a program that succeeded; empty otherwise.
std::string ask(const std::vector<std::string> &argv);

// The LADSPA plug-in the sink should load: $KORVA_LADSPA_PLUGIN, else
// `built`; empty when the file is not there.
std::string sink_plugin(const std::string &built);

// Why PipeWire cannot run here; empty when it can.
std::string pipewire_missing();

// HOME and every XDG folder inside `dir` (config/, state/, data/, cache/,
// runtime/ with mode 0700: WirePlumber keeps stream targets in the state
// folder), and nothing that points at another PipeWire or session bus.
void enter_private_session(const ScratchDir &dir);

// minimal.conf with only a dummy driver and a null sink per name in `sinks`,
// clocked at `rate`; false when minimal.conf changed shape.
bool write_server_config(const std::string &path, int rate = kRate,
                         const std::vector<std::string> &sinks = {"test_out"});

// Whether pw-link -l shows the sink's output channel FL linked to `sink`
// (empty: to any node).
bool korva_linked_to(const std::string &sink);

// Plays `input` into the sink (or as `player` says: pw-play's options)
// while recording test_out; `during` runs while the file plays.
Audio play_and_record(const ScratchDir &dir, const std::string &input, const std::string &name,
                      const std::function<void()> &during = {},
                      const std::vector<std::string> &player = {"--target", "korva_sink"});

struct Alignment {
    long offset = -1;     // recording frame of the expected output's frame 0
    long compared = 0;    // frames present in both
};

// The recording starts with the silence before the sink ran: align the first
// sound of both.
Alignment align(const Audio &recording, const Audio &expected);

// The first frame from `from` on where the recording differs from `expected`,
// or `end` when none does.
long first_difference(const Audio &recording, const Audio &expected, const Alignment &alignment, long from, long end);

std::string frame_text(const Audio &audio, long frame);

// The value `pw-dump korva_sink` shows for korva:FIELD in the node's Props
// (a toggle as true/false), or NaN.
double live_value(const std::string &field);

// The same for any control of the node's Props ("compare:side"), or NaN.
double node_control(const std::string &control);

// The value the fragment at `fragment` saves for control `name`, or NaN.
double saved_value(const std::string &fragment, const char *name);

// The daemon with the user's fragment, and wireplumber linking the sink to
// `first_sink` (empty: any); session is null when PipeWire cannot start here.
struct Desktop {
    std::unique_ptr<Background> server, session;
    bool linked = false;
};

// Starts the desktop and waits for the sink to be linked.
Desktop start_desktop(const ScratchDir &dir, const std::string &name, const std::string &first_sink = "test_out");

}  // namespace pipewire_test

#endif
