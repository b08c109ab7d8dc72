// What a processing run reports: levels measured on the way through, the
// summary printed on stdout at the end, and a progress bar on stderr.
#ifndef KORVA_CLI_SUMMARY_H
#define KORVA_CLI_SUMMARY_H

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

struct Levels {
    int peak = 0;            // largest absolute sample value (32768 for -32768)
    int64_t at_limit = 0;    // samples at +32767 or -32767 (the engine's clip limits)
};

// Takes the samples of one block into the running levels.
void measure(std::span<const int16_t> samples, Levels &levels);

struct RunSummary {
    std::string input_path;
    std::string output_path;
    int64_t frames = 0;
    int sample_rate = 0;
    Levels in;
    Levels out;
    double wall_seconds = 0.0;
};

// Peak as dBFS relative to 32768; "-inf" for silence.
std::string dbfs(int peak);

// The multi-line summary, ending in a newline.
std::string format_summary(const RunSummary &summary);

struct Progress {
    bool enabled = false;
    int64_t total_frames = 0;
    int last_permille = -1;
    std::chrono::steady_clock::time_point last_drawn {};
};

// A bar is drawn only when stderr is a terminal, the length is known and the
// run is not quiet.
Progress progress_start(int64_t total_frames, bool quiet);
void progress_update(Progress &progress, int64_t frames_done);
// Clears the bar's line.
void progress_finish(Progress &progress);

#endif
