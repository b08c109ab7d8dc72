// Running korva-host as a child process and reading and writing the WAV
// files it works on.
#ifndef KORVA_TESTS_HOST_PROGRAM_HOST_RUN_H
#define KORVA_TESTS_HOST_PROGRAM_HOST_RUN_H

#include <cstdint>
#include <string>
#include <vector>

namespace korva_test {

struct HostRun {
    int status = -1;        // exit status, or -1 when it did not exit normally
    std::string errors;     // what it wrote to stderr
};

// Runs korva-host with the arguments; with_display false removes DISPLAY
// from its environment. extra_env entries ("NAME=value") are added.
HostRun run_host(const std::vector<std::string> &args, bool with_display,
                 const std::vector<std::string> &extra_env = {});

// Starts korva-host without a display and returns its process id (0 on
// failure); finish_host waits for it and collects what run_host returns.
int start_host(const std::vector<std::string> &args, std::string &error_file);
HostRun finish_host(int pid, const std::string &error_file);

struct Audio {
    int rate = 0;
    int channels = 0;
    int subtype = 0;                 // SF_FORMAT_PCM_16, SF_FORMAT_PCM_U8 ...
    std::vector<int16_t> samples;    // interleaved
};

bool write_wav(const std::string &path, const Audio &audio);
Audio read_wav(const std::string &path);

} // namespace korva_test

#endif
