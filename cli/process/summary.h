// What a processing run reports: levels measured on the way through, the
// summary printed on stdout at the end, and a progress bar on stderr.
#ifndef KORVA_CLI_SUMMARY_H
#define KORVA_CLI_SUMMARY_H

#include "audio/formats.h"
#include "cli/loudness/loudness_match.h"
#include "tags.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

struct Levels {
    int peak = 0;            // largest absolute sample value (32768 for -32768)
    int64_t at_limit = 0;    // samples at +32767 or -32767 (the engine's clip limits)
    double full_scale_peak = 0.0;   // the float path's: the largest magnitude at full scale 1.0
};

// Takes the samples of one block into the running levels.
void measure(std::span<const int16_t> samples, Levels &levels);
// The peak of float samples at full scale 1.0, in the same 16-bit units.
void measure_peak(std::span<const float> samples, Levels &levels);

struct RunSummary {
    std::string input_path;
    std::string output_path;
    OutputFormat format;        // what the output was written as
    double quality = 0.0;       // the lossy encoder's --quality
    int64_t frames = 0;         // input frames processed
    std::string shortfall;      // how the input ended early (audio_file.h); empty when it did not
    int64_t repaired = 0;       // damaged float input samples replaced (engine/samples.h's input rule)
    int sample_rate = 0;        // the input's rate
    bool float_path = false;    // false: the exact 16-bit path (process_plan.h)
    double chain_rate = 0.0;    // the rate the engine ran at
    int output_rate = 0;        // the rate written; differs when resampled
    Levels in;                  // in 16-bit units (full scale 32768) on both paths
    Levels out;                 // the exact path: the engine's 16-bit output, before any resampling;
                                // the float path: what was written, at_limit counting the samples
                                // clipped to the output's depth
    TagReport tags;
    LoudnessReport loudness;    // of the engine's output, gain included, before any resampling
    double wall_seconds = 0.0;
};

// Duration of the input in seconds.
double duration_seconds(const RunSummary &summary);

// Peak as dBFS relative to 32768; "-inf" for silence.
std::string dbfs(int peak);

// Seconds as "m:ss" (or "h:mm:ss" from an hour on).
std::string clock_text(double seconds);

// "N input samples not a number, ...": the damaged samples the input rule replaced.
std::string repaired_text(int64_t samples);

// The multi-line summary, ending in a newline.
std::string format_summary(const RunSummary &summary);

struct Progress {
    bool enabled = false;
    int64_t total_frames = 0;
    int last_permille = -1;
    std::chrono::steady_clock::time_point started {};
    std::chrono::steady_clock::time_point last_drawn {};
};

// Elapsed time and the estimate of the time left, " 0:12 elapsed, 0:30 left",
// extrapolated from the share done so far.
std::string elapsed_and_left(double elapsed_seconds, double fraction_done);

// A bar with elapsed time and time left is drawn only when stderr is a
// terminal, the length is known and the run is not quiet.
Progress progress_start(int64_t total_frames, bool quiet);
void progress_update(Progress &progress, int64_t frames_done);
// Clears the bar's line.
void progress_finish(Progress &progress);

#endif
