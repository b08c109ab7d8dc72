// A private PipeWire for the sink's tests, as on a desktop: one daemon with a
// dummy driver and null sinks reads $XDG_CONFIG_HOME/pipewire/pipewire.conf
// and the user's fragments, and wireplumber links the streams. Programs run
// in sessions of their own and end with their whole process group.
#ifndef KORVA_TESTS_SINK_PRIVATE_PIPEWIRE_H
#define KORVA_TESTS_SINK_PRIVATE_PIPEWIRE_H

#include "tests/support/scratch.h"

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korva_test {

constexpr const char *kServerTemplate = "/usr/share/pipewire/minimal.conf";

void pause_for(int milliseconds);

// Polls `condition` every 200 ms for up to `seconds`.
bool eventually(int seconds, const std::function<bool()> &condition);

// A program started in its own session with its output in `log`; the whole
// process group (for dbus-run-session also its dbus-daemon) ends when this
// goes out of scope.
struct Background {
    pid_t pid = -1;
    std::string log;

    Background(const std::vector<std::string> &argv, std::string log_path);
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;
    ~Background() { stop(15); }

    // Waits up to `seconds` for the program to end by itself; true if it did.
    bool wait(int seconds);
    // Signals the group, gives it five seconds, then kills what is left.
    void stop(int signal_number);
};

// What the program printed when it exited 0, else "".
std::string ask(const std::vector<std::string> &argv);

// minimal.conf with only a dummy driver and a null sink per name in `sinks`,
// clocked at `rate`; false when minimal.conf changed shape.
bool write_server_config(const std::string &path, int rate, const std::vector<std::string> &sinks);

// Whether pw-link -l shows the sink's output channel FL linked to `sink`
// (empty: to any node).
bool korva_linked_to(const std::string &sink);

// The daemon with the user's fragment, and wireplumber linking the sink to
// `first_sink` (empty: any); `session` null when PipeWire cannot start here.
struct Desktop {
    std::unique_ptr<Background> server, session;
    bool linked = false;
};
Desktop start_desktop(const ScratchDir &dir, const std::string &name, const std::string &first_sink = "test_out");

// Points HOME and every XDG folder into `dir` (PipeWire's runtime folder
// made with mode 0700) and forgets any other PipeWire or session bus.
void use_private_home(const ScratchDir &dir);

}  // namespace korva_test

#endif
