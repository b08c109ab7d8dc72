// Running the korva binary from tests, and the files it reads and writes.
#ifndef KORVA_TESTS_CLI_HARNESS_H
#define KORVA_TESTS_CLI_HARNESS_H

#include "engine/korva.h"
#include "tests/support/run_captured.h"
#include "tests/support/scratch.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using RunResult = korva_test::Captured;

// Runs korva with the arguments and waits for it; standard input is the file
// `stdin_path` when one is named.
RunResult run_korva(const std::vector<std::string> &args, const std::string &stdin_path = {});

using korva_test::list_directory;
using korva_test::read_file;
using korva_test::ScratchDir;
using korva_test::write_file;

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

// What the engine gives for stereo frames in one call with these parameters.
std::vector<int16_t> process_directly(const KorvaParams &params, int rate, const std::vector<int16_t> &stereo);

// The defaults with FIELD=VALUE assignments applied.
KorvaParams params_with(const std::vector<std::string> &assignments);

// One line of `korva response --csv`: a frequency and each channel's gain.
struct ResponseRow {
    double hz, left, right;
};

// The rows of a response CSV; a missing header or a malformed line fails
// the test.
std::vector<ResponseRow> read_response_csv(const std::string &path);

#endif
