// Progress of a batch on a terminal: one line for the whole batch and one
// per file in flight, each with elapsed time and an estimate of the time
// left, redrawn in place on stderr. Workers report; the main thread draws.
#ifndef KORVA_CLI_BATCH_PROGRESS_H
#define KORVA_CLI_BATCH_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct FileProgress {
    std::string name;           // empty: the worker is idle
    int64_t done = 0;
    int64_t total = 0;          // 0 when the length is unknown
    std::chrono::steady_clock::time_point started {};
};

struct BatchProgress {
    bool enabled = false;
    std::size_t files = 0;
    std::size_t finished = 0;
    std::vector<FileProgress> workers;
    std::chrono::steady_clock::time_point started {};
    int lines_drawn = 0;
    std::mutex lock;            // guards everything above but `enabled`
};

// Enabled when stderr is a terminal and the run is not quiet.
void batch_progress_start(BatchProgress &progress, std::size_t files, int workers, bool quiet);
void batch_progress_begin_file(BatchProgress &progress, int worker, const std::string &name);
void batch_progress_update(BatchProgress &progress, int worker, int64_t done, int64_t total);
void batch_progress_end_file(BatchProgress &progress, int worker);
// Redraws every line; called by the main thread a few times a second.
void batch_progress_draw(BatchProgress &progress);
// Clears the lines.
void batch_progress_finish(BatchProgress &progress);

#endif
