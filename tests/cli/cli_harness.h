// Running the korva binary from tests, and the files it reads and writes.
#ifndef KORVA_TESTS_CLI_HARNESS_H
#define KORVA_TESTS_CLI_HARNESS_H

#include "engine/korva.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct RunResult {
    int exit_code = -1;     // 128 + signal when killed
    std::string out;
    std::string err;
};

// Runs korva with the arguments and waits for it.
RunResult run_korva(const std::vector<std::string> &args);

// A fresh directory, removed with its contents at destruction.
struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    std::string file(const std::string &name) const { return (path / name).string(); }
    // Names of the entries, sorted.
    std::vector<std::string> entries() const;
};

// Names of the entries of a directory, sorted.
std::vector<std::string> list_directory(const std::filesystem::path &path);

struct Audio {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> samples;   // interleaved
    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

// A reproducible test signal: a tone sweep plus noise, within +-amplitude.
Audio make_signal(int frames, int channels, int rate, int amplitude = 20000, uint32_t seed = 1);

// Writes or reads through libsndfile; failures fail the test with a message.
void write_audio(const std::string &path, const Audio &audio, int format);
Audio read_audio(const std::string &path);

std::string read_bytes(const std::string &path);
void write_bytes(const std::string &path, const std::string &bytes);

// What the engine gives for stereo frames in one call with these parameters.
std::vector<int16_t> process_directly(const KorvaParams &params, int rate, const std::vector<int16_t> &stereo);

// The defaults with FIELD=VALUE assignments applied.
KorvaParams params_with(const std::vector<std::string> &assignments);

#endif
