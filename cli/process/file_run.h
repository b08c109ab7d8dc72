// One file on its way through korva process, between opening and
// committing the output: what the exact 16-bit path and the float path
// share (process_plan.h chooses between them). Both run on the thread that
// called process_file.
#ifndef KORVA_CLI_FILE_RUN_H
#define KORVA_CLI_FILE_RUN_H

#include "process_file.h"
#include "process_plan.h"
#include "summary.h"

#include "cli/audio/stereo_input.h"
#include "cli/audio/audio_output.h"
#include "cli/loudness/loudness.h"

#include <cstdint>

struct FileRun {
    const ProcessRequest &request;
    const ProcessPlan &plan;
    AudioInput &input;
    AudioOutput &output;
    KorvaEngine *engine;
    RunSummary &summary;
    LoudnessMeter meter_in;    // at the input's rate
    LoudnessMeter meter_out;   // the exact path: at the input's rate; the float path: at the output's
    Progress progress;
    int64_t known_frames = 0;  // the input's length; 0 when unknown
};

// Reads the whole input on the plan's path, writes the output and fills the
// summary's frames, levels and loudness; an interruption, a read or a write
// failure ends it with the Status to report.
Status run_file(FileRun &run);

#endif
