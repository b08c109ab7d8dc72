// Running a planned batch on worker threads, each file through its own
// engine, and the table that reports every file at the end.
#ifndef KORVA_CLI_BATCH_RUN_H
#define KORVA_CLI_BATCH_RUN_H

#include "batch_plan.h"
#include "cli/common/status.h"
#include "cli/process/summary.h"

#include "engine/korva.h"

#include <string>
#include <vector>

// ended_early: written from what the input held before it ended early
// (process_file.h).
enum class FileState { not_started, done, failed, kept, interrupted, ended_early };

struct FileResult {
    FileState state = FileState::not_started;
    std::string message;   // why it failed, was kept or ended early
    RunSummary summary;
};

struct BatchSettings {
    KorvaParams params {};
    double quality = 0.0;
    std::string bits;
    bool native_rate = false;
    int jobs = 1;
    bool overwrite = false;
    bool quiet = false;
};

// Processes every item, `jobs` at a time. A failed file does not stop the
// others; an interruption stops them all at their next block and leaves no
// partial output. Gives one result per item, in the items' order.
std::vector<FileResult> run_batch(const std::vector<BatchItem> &items, const BatchSettings &settings);

// file, status, duration, peak, clipped samples: one row per item.
std::string format_batch_table(const std::vector<BatchItem> &items, const std::vector<FileResult> &results);

#endif
