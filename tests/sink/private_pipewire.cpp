#include "private_pipewire.h"

#include "cli/sink/run_program.h"
#include "sinkfiles/sink_fragment_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace pipewire_test {

void pause_for(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

Background::Background(const std::vector<std::string> &argv, std::string log_path) : log(std::move(log_path))
{
    pid = fork();
    if (pid == 0) {
        setsid();
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        std::vector<char *> args;
        for (const std::string &arg : argv)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
}

bool Background::wait(int seconds)
{
    for (int i = 0; pid > 0 && i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return true;
        }
        pause_for(50);
    }
    return pid <= 0;
}

void Background::stop(int signal_number)
{
    if (pid <= 0)
        return;
    kill(-pid, signal_number);
    if (!wait(5)) {
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

bool eventually(int seconds, const std::function<bool()> &condition)
{
    for (int i = 0; i < seconds * 5; ++i) {
        if (condition())
            return true;
        pause_for(200);
    }
    return condition();
}

// minimal.conf with only a dummy driver and a null sink, clocked at kRate.
bool write_server_config(const std::string &path, int rate, const std::vector<std::string> &sinks)
{
    std::string text = read_file(kServerTemplate);
    const auto objects = text.find("\ncontext.objects = [");
    const auto objects_end = objects == std::string::npos ? objects : text.find("\n]", objects + 1);
    const auto clock = text.find("#default.clock.rate");
    if (objects_end == std::string::npos || clock == std::string::npos)
        return false;
    std::string lines = "\ncontext.objects = [\n"
                        "  { factory = spa-node-factory args = { factory.name = support.node.driver "
                        "node.name = Dummy-Driver node.group = pipewire.dummy priority.driver = 20000 } }";
    for (const std::string &sink : sinks)
        lines += "\n  { factory = adapter args = { factory.name = support.null-audio-sink node.name = \"" + sink +
                 "\" media.class = Audio/Sink audio.position = [ FL FR ] } }";
    text.replace(objects, objects_end - objects, lines);
    text.replace(clock, 1, "");   // "#default.clock.rate = 48000" -> "default.clock.rate = ..."
    const auto value = text.find("48000", clock);
    text.replace(value, 5, std::to_string(rate));
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, text);
    return true;
}

bool korva_linked_to(const std::string &sink)
{
    const std::string links = ask({"pw-link", "-l"});
    return links.find("korva_sink.output:output_FL\n  |-> " + sink) != std::string::npos;
}

std::string ask(const std::vector<std::string> &argv)
{
    const ProgramRun run = run_program(argv);
    return run.exit_code == 0 ? run.output : std::string();
}

// Plays `input` into the sink while recording test_out; `during` runs while
// the file plays.
Audio play_and_record(const ScratchDir &dir, const std::string &input, const std::string &name,
                      const std::function<void()> &during, const std::vector<std::string> &player_options)
{
    const std::string recording = dir.file(name + ".wav");
    Background recorder({"pw-record", "--target", "test_out", "-P", "stream.capture.sink=true", "--format", "s16",
                         "--rate", std::to_string(kRate), "--channels", "2", recording},
                        dir.file(name + "-record.log"));
    // The recorder is linked before anything plays.
    EXPECT_TRUE(eventually(10, [] { return ask({"pw-link", "-l"}).find("|-> pw-record:input_FL") != std::string::npos; }))
        << "the recorder was not linked to test_out";
    pause_for(300);
    std::vector<std::string> play{"pw-play"};
    play.insert(play.end(), player_options.begin(), player_options.end());
    play.push_back(input);
    Background player(play, dir.file(name + "-play.log"));
    if (during)
        during();
    EXPECT_TRUE(player.wait(30)) << "pw-play did not end";
    pause_for(500);
    recorder.stop(SIGINT);
    return read_audio(recording);
}

long first_sound(const Audio &audio)
{
    for (long i = 0; i < audio.frames(); ++i)
        if (audio.samples[2 * i] != 0 || audio.samples[2 * i + 1] != 0)
            return i;
    return -1;
}

// The recording starts with the silence before the sink ran: align the first
// sound of both.
Alignment align(const Audio &recording, const Audio &expected)
{
    Alignment alignment;
    const long recorded = first_sound(recording), sounding = first_sound(expected);
    if (recorded < 0 || sounding < 0 || recorded < sounding)
        return alignment;
    alignment.offset = recorded - sounding;
    alignment.compared = std::min(expected.frames(), recording.frames() - alignment.offset);
    return alignment;
}

// The first frame from `from` on where the recording differs from `expected`,
// or `end` when none does.
long first_difference(const Audio &recording, const Audio &expected, const Alignment &alignment, long from, long end)
{
    for (long i = from; i < end; ++i) {
        const long r = alignment.offset + i;
        if (recording.samples[2 * r] != expected.samples[2 * i] ||
            recording.samples[2 * r + 1] != expected.samples[2 * i + 1])
            return i;
    }
    return end;
}

std::string frame_text(const Audio &audio, long frame)
{
    std::string text = "(";
    text += std::to_string(audio.samples[2 * frame]);
    text += ", ";
    text += std::to_string(audio.samples[2 * frame + 1]);
    text += ")";
    return text;
}

// The value `pw-dump korva_sink` shows for korva:FIELD in the node's Props
// (a toggle as true/false), or NaN.
double live_value(const std::string &field)
{
    return node_control("korva:" + field);
}

double node_control(const std::string &control)
{
    const std::string dump = ask({"pw-dump", "korva_sink"});
    const std::string key = "\"" + control + "\",";
    for (auto at = dump.find(key); at != std::string::npos; at = dump.find(key, at + 1)) {
        const auto next = dump.find_first_not_of(" \t\r\n", at + key.size());
        if (next == std::string::npos)
            break;
        if (dump.compare(next, 4, "true") == 0 || dump.compare(next, 5, "false") == 0)
            return dump[next] == 't' ? 1.0 : 0.0;
        if (dump[next] == '-' || std::isdigit(static_cast<unsigned char>(dump[next])))
            return std::strtod(dump.c_str() + next, nullptr);
    }
    return std::nan("");
}

std::string sink_plugin(const std::string &built)
{
    const char *chosen = std::getenv("KORVA_LADSPA_PLUGIN");
    const std::string plugin = chosen != nullptr && *chosen != '\0' ? chosen : built;
    return !plugin.empty() && std::filesystem::exists(plugin) ? plugin : std::string();
}

std::string pipewire_missing()
{
    if (!std::filesystem::exists(kServerTemplate) || run_program({"pipewire", "--version"}).exit_code != 0)
        return "PipeWire is not installed (pipewire-bin)";
    if (run_program({"wireplumber", "--version"}).exit_code != 0)
        return "WirePlumber is not installed (wireplumber)";
    return {};
}

void enter_private_session(const ScratchDir &dir)
{
    const std::string runtime = dir.file("runtime");
    std::filesystem::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("HOME", dir.path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    for (const char *name : {"PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_CONFIG_DIR", "DBUS_SESSION_BUS_ADDRESS"})
        unsetenv(name);
}

double saved_value(const std::string &fragment, const char *name)
{
    KorvaFragmentContents contents{};
    KorvaFragmentError error{};
    if (!korva_fragment_read(fragment.c_str(), &contents, &error))
        return std::nan("");
    const int i = static_cast<int>(korva_param_field_find(name) - korva_param_fields);
    return contents.controls.present[i] ? contents.controls.value[i] : std::nan("");
}

Desktop start_desktop(const ScratchDir &dir, const std::string &name, const std::string &first_sink)
{
    Desktop desktop;
    desktop.server = std::make_unique<Background>(std::vector<std::string>{"pipewire"}, dir.file(name + "-pipewire.log"));
    if (!eventually(10, [] { return !ask({"pw-cli", "info", "0"}).empty(); }))
        return desktop;
    desktop.session = std::make_unique<Background>(std::vector<std::string>{"dbus-run-session", "--", "wireplumber"},
                                                   dir.file(name + "-wireplumber.log"));
    desktop.linked = eventually(20, [&] { return korva_linked_to(first_sink); });
    return desktop;
}

}  // namespace pipewire_test
