// Runs one audio file through the engine into another, streaming in fixed
// blocks, and reports the summary.
#ifndef KORVA_CLI_PROCESS_FILE_H
#define KORVA_CLI_PROCESS_FILE_H

#include "cli/common/status.h"
#include "cli/loudness/loudness_match.h"
#include "summary.h"

#include "engine/korva.h"

#include "cli/audio/stereo_input.h"
#include "cli/audio/audio_output.h"
#include "audio/formats.h"
#include "process_plan.h"

#include <cstdint>
#include <functional>
#include <string>

// The exit status of a run whose input ended before its header's length
// (cut short or damaged): the output holds what could be read.
inline constexpr int kExitInputEndedEarly = 3;

struct ProcessRequest {
    std::string input_path;
    std::string output_path;
    KorvaParams params {};
    double quality = kDefaultQuality;   // lossy outputs only
    std::string bits;                   // --bits: "16", "24", "32", "float"; empty: the input's (process_plan.h)
    bool native_rate = false;           // the chain at the input's rate, however high
    bool quiet = false;                 // no progress bar, no printed summary
    LoudnessRequest loudness;           // what to measure, and the gain --match-loudness found
    // Called after every block with the frames done and the input's length
    // (0 when unknown); may be empty.
    std::function<void(int64_t done, int64_t total)> on_progress;
};

// The path, the chain's rate and the output's depth are chosen by
// plan_process (process_plan.h); an output format that cannot carry the
// rate gets the processed audio resampled (formats.h: carried_rate).
// The input's text tags go to the output where its format holds them.
// The output appears only when the whole run succeeded; a failure or an
// interruption leaves no file behind (exit code 128 + signal on interruption).
// An input that ends early (input_shortfall) is processed as far as it can
// be read: the output is written, the summary says so, and the status is
// kExitInputEndedEarly with the shortfall as its message.
// On success `summary` holds the figures (printed unless quiet).
Status process_file(const ProcessRequest &request, RunSummary &summary);

// What process_file does first: the output's format from its name, the
// input opened, and the plan (process_plan.h); a failure is the one
// process_file would report.
Status open_and_plan(const ProcessRequest &request, AudioInput &input, ProcessPlan &plan);

#endif
