#include "host_run.h"

#include "tests/support/scratch.h"

#include <sndfile.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace korva_test {

namespace {

std::vector<std::string> child_environment(bool with_display, const std::vector<std::string> &extra_env)
{
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e)
        if (with_display || std::strncmp(*e, "DISPLAY=", 8) != 0)
            env.emplace_back(*e);
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> result;
    for (std::string &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

int spawn_host(const std::vector<std::string> &args, bool with_display, const std::vector<std::string> &extra_env,
               std::string &error_file)
{
    std::vector<std::string> arguments{KORVA_HOST_PATH};
    arguments.insert(arguments.end(), args.begin(), args.end());
    std::vector<std::string> env = child_environment(with_display, extra_env);
    std::vector<char *> argv = pointers(arguments);
    std::vector<char *> envp = pointers(env);

    char error_name[] = "/tmp/korva-host-stderr-XXXXXX";
    const int error_fd = mkstemp(error_name);
    if (error_fd < 0)
        return 0;
    error_file = error_name;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, error_fd, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(error_fd);
    return child;
}

} // namespace

int start_host(const std::vector<std::string> &args, std::string &error_file)
{
    return spawn_host(args, false, {}, error_file);
}

HostRun finish_host(int pid, const std::string &error_file)
{
    HostRun run;
    if (pid > 0) {
        int wstatus = 0;
        while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    if (!error_file.empty()) {
        run.errors = korva_test::read_file(error_file);
        unlink(error_file.c_str());
    }
    return run;
}

HostRun run_host(const std::vector<std::string> &args, bool with_display, const std::vector<std::string> &extra_env)
{
    std::string error_file;
    const int pid = spawn_host(args, with_display, extra_env, error_file);
    return finish_host(pid, error_file);
}

bool write_wav(const std::string &path, const Audio &audio)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(audio.samples.size()) / audio.channels;
    const bool ok = sf_writef_short(file, audio.samples.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

Audio read_wav(const std::string &path)
{
    Audio audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return audio;
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.subtype = info.format & SF_FORMAT_SUBMASK;
    audio.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_short(file, audio.samples.data(), info.frames);
    audio.samples.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    sf_close(file);
    return audio;
}

} // namespace korva_test
