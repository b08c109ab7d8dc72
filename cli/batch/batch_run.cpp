#include "batch_run.h"

#include "batch_progress.h"
#include "cli/common/interrupt.h"
#include "cli/common/text_columns.h"
#include "cli/process/process_file.h"

#include "fileio/directories.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

constexpr auto redraw_interval = std::chrono::milliseconds(200);

struct Shared {
    const std::vector<BatchItem> &items;
    const BatchSettings &settings;
    std::vector<FileResult> &results;
    BatchProgress progress;
    std::atomic<std::size_t> next{0};
    std::atomic<int> running{0};
    std::mutex done_lock;
    std::condition_variable done;
};

FileResult process_item(const BatchItem &item, Shared &shared, int worker)
{
    FileResult result;
    if (!item.error.empty())
        return {FileState::failed, item.error, {}};
    struct stat status {};
    if (!shared.settings.overwrite && lstat(item.output.c_str(), &status) == 0)
        return {FileState::kept, item.output + ": exists; kept (use --overwrite to replace it)", {}};

    const std::filesystem::path directory = std::filesystem::path(item.output).parent_path();
    if (int why = 0; !directory.empty() && !korva::fileio::make_directories(directory.c_str(), 0777, &why))
        return {FileState::failed, directory.string() + ": cannot create the directory: " + std::strerror(why), {}};

    ProcessRequest request;
    request.input_path = item.input;
    request.output_path = item.output;
    request.params = shared.settings.params;
    request.quality = shared.settings.quality;
    request.bits = shared.settings.bits;
    request.native_rate = shared.settings.native_rate;
    request.quiet = true;
    request.on_progress = [&shared, worker](int64_t done, int64_t total) {
        batch_progress_update(shared.progress, worker, done, total);
    };
    Status outcome;
    try {
        outcome = process_file(request, result.summary);
    } catch (const std::bad_alloc &) {
        outcome = failure(item.input + ": out of memory");
    }
    if (outcome.ok())
        result.state = FileState::done;
    else if (outcome.exit_code == kExitInputEndedEarly)
        result.state = FileState::ended_early;
    else if (outcome.exit_code > 128 && interrupted_signal() != 0)
        result.state = FileState::interrupted;
    else
        result.state = FileState::failed;
    result.message = outcome.message;
    return result;
}

void work(Shared &shared, int worker)
{
    for (;;) {
        if (interrupted_signal() != 0)
            break;
        const std::size_t index = shared.next.fetch_add(1);
        if (index >= shared.items.size())
            break;
        batch_progress_begin_file(shared.progress, worker, shared.items[index].input);
        shared.results[index] = process_item(shared.items[index], shared, worker);
        batch_progress_end_file(shared.progress, worker);
    }
    const std::lock_guard guard(shared.done_lock);
    --shared.running;
    shared.done.notify_all();
}

const char *state_text(FileState state)
{
    switch (state) {
    case FileState::done: return "ok";
    case FileState::failed: return "FAILED";
    case FileState::kept: return "kept";
    case FileState::interrupted: return "interrupted";
    case FileState::ended_early: return "cut short";
    default: return "not started";
    }
}

} // namespace

std::vector<FileResult> run_batch(const std::vector<BatchItem> &items, const BatchSettings &settings)
{
    std::vector<FileResult> results(items.size());
    Shared shared{items, settings, results, {}, {}, {}, {}, {}};
    const int jobs = std::max(1, std::min<int>(settings.jobs, static_cast<int>(std::max<std::size_t>(items.size(), 1))));
    batch_progress_start(shared.progress, items.size(), jobs, settings.quiet);

    std::vector<std::thread> workers;
    shared.running = jobs;
    for (int worker = 0; worker < jobs; ++worker)
        workers.emplace_back(work, std::ref(shared), worker);
    {
        std::unique_lock guard(shared.done_lock);
        while (shared.running > 0) {
            shared.done.wait_for(guard, redraw_interval);
            guard.unlock();
            batch_progress_draw(shared.progress);
            guard.lock();
        }
    }
    for (std::thread &worker : workers)
        worker.join();
    batch_progress_finish(shared.progress);
    return results;
}

std::string format_batch_table(const std::vector<BatchItem> &items, const std::vector<FileResult> &results)
{
    std::size_t width = 4;
    for (const BatchItem &item : items)
        width = column_width(width, item.input);
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "%-*s  %-11s  %10s  %-18s  %s\n", static_cast<int>(width), "file", "status",
                  "duration", "peak", "clipped");
    text += line;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FileResult &result = results[i];
        text += padded(items[i].input, width);
        if (result.state == FileState::done || result.state == FileState::ended_early) {
            std::string peak = "(";
            peak += dbfs(result.summary.out.peak);
            peak += ')';
            std::snprintf(line, sizeof line, "  %-11s  %8.1f s  %5d %-12s  %lld\n", state_text(result.state),
                          duration_seconds(result.summary), result.summary.out.peak,
                          peak.c_str(),
                          static_cast<long long>(result.summary.out.at_limit));
        } else {
            std::snprintf(line, sizeof line, "  %-11s  %10s  %-18s  %s\n", state_text(result.state), "-", "-", "-");
        }
        text += line;
    }
    return text;
}
