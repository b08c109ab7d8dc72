// Runs one audio file through the engine into another, streaming in fixed
// blocks, and reports the summary.
#ifndef KORVA_CLI_PROCESS_FILE_H
#define KORVA_CLI_PROCESS_FILE_H

#include "status.h"
#include "summary.h"

#include "engine/korva.h"

#include <string>

inline constexpr int kBlockFrames = 4096;

struct ProcessRequest {
    std::string input_path;
    std::string output_path;
    KorvaParams params {};
    bool quiet = false;
};

// The output appears only when the whole run succeeded; a failure or an
// interruption leaves no file behind (exit code 128 + signal on interruption).
// On success `summary` holds the figures (printed unless quiet).
Status process_file(const ProcessRequest &request, RunSummary &summary);

#endif
