#include "private_pipewire.h"

#include "cli/sink/run_program.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <thread>

namespace korva_test {

void pause_for(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

std::string ask(const std::vector<std::string> &argv)
{
    const ProgramRun run = run_program(argv);
    return run.exit_code == 0 ? run.output : std::string();
}

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
    const auto rate_at = text.find("#default.clock.rate");
    text.replace(rate_at, 1, "");   // "#default.clock.rate = 48000" -> "default.clock.rate = ..."
    const auto value = text.find("48000", rate_at);
    text.replace(value, 5, std::to_string(rate));
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, text);
    return true;
}

bool korva_linked_to(const std::string &sink)
{
    const std::string links = ask({"pw-link", "-l"});
    const std::string from = "korva_sink.output:output_FL\n  |-> ";
    return sink.empty() ? links.find(from) != std::string::npos
                        : links.find(from + sink + ":playback_FL") != std::string::npos;
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

void use_private_home(const ScratchDir &dir)
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

}  // namespace korva_test
