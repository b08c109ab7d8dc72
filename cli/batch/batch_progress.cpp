#include "batch_progress.h"

#include "cli/process/summary.h"

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int bar_width = 24;
constexpr std::size_t name_width = 32;

std::string bar(double fraction)
{
    const int filled = static_cast<int>(fraction * bar_width);
    std::string text = "[";
    for (int i = 0; i < bar_width; ++i)
        text += i < filled ? '#' : '.';
    return text + "]";
}

// The end of a long name, which tells files apart better than its start.
std::string fitted(const std::string &name)
{
    if (name.size() <= name_width)
        return name + std::string(name_width - name.size(), ' ');
    return "..." + name.substr(name.size() - (name_width - 3));
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double fraction_of(const FileProgress &file)
{
    return file.total > 0 ? std::min(1.0, static_cast<double>(file.done) / static_cast<double>(file.total)) : 0.0;
}

// Moves the cursor back to the first line drawn, leaving it at column 0.
std::string rewind(int lines_drawn)
{
    std::string text = "\r";
    if (lines_drawn > 1)
        text += "\033[" + std::to_string(lines_drawn - 1) + "A";
    return text;
}

} // namespace

void batch_progress_start(BatchProgress &progress, std::size_t files, int workers, bool quiet)
{
    progress.enabled = !quiet && isatty(STDERR_FILENO);
    progress.files = files;
    progress.workers.assign(static_cast<std::size_t>(workers), FileProgress{});
    progress.started = std::chrono::steady_clock::now();
}

void batch_progress_begin_file(BatchProgress &progress, int worker, const std::string &name)
{
    const std::lock_guard guard(progress.lock);
    progress.workers[static_cast<std::size_t>(worker)] = FileProgress{name, 0, 0, std::chrono::steady_clock::now()};
}

void batch_progress_update(BatchProgress &progress, int worker, int64_t done, int64_t total)
{
    const std::lock_guard guard(progress.lock);
    FileProgress &file = progress.workers[static_cast<std::size_t>(worker)];
    file.done = done;
    file.total = total;
}

void batch_progress_end_file(BatchProgress &progress, int worker)
{
    const std::lock_guard guard(progress.lock);
    progress.workers[static_cast<std::size_t>(worker)] = FileProgress{};
    ++progress.finished;
}

void batch_progress_draw(BatchProgress &progress)
{
    if (!progress.enabled)
        return;
    const std::lock_guard guard(progress.lock);
    // The batch's share: finished files plus the share of each file in flight.
    double share = static_cast<double>(progress.finished);
    for (const FileProgress &file : progress.workers)
        share += fraction_of(file);
    const double fraction = progress.files > 0 ? share / static_cast<double>(progress.files) : 1.0;

    std::string text = rewind(progress.lines_drawn);
    text += bar(fraction) + " " + std::to_string(progress.finished) + "/" + std::to_string(progress.files) +
            " files  " + elapsed_and_left(seconds_since(progress.started), fraction) + "\033[K";
    int lines = 1;
    for (const FileProgress &file : progress.workers) {
        if (file.name.empty())
            continue;
        const double file_fraction = fraction_of(file);
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(100.0 * file_fraction));
        text += "\n  " + fitted(file.name) + " " + bar(file_fraction) + " " + percent + "  " +
                elapsed_and_left(seconds_since(file.started), file.total > 0 ? file_fraction : 0.0) + "\033[K";
        ++lines;
    }
    // Lines left over from a fuller board are cleared.
    for (int i = lines; i < progress.lines_drawn; ++i)
        text += "\n\033[K";
    const int extra = progress.lines_drawn - lines;
    if (extra > 0)
        text += "\033[" + std::to_string(extra) + "A";
    progress.lines_drawn = std::max(lines, 1);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void batch_progress_finish(BatchProgress &progress)
{
    if (!progress.enabled || progress.lines_drawn == 0)
        return;
    std::string text = rewind(progress.lines_drawn);
    for (int i = 0; i < progress.lines_drawn; ++i) {
        if (i > 0)
            text += '\n';
        text += "\033[K";
    }
    text += rewind(progress.lines_drawn);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    progress.lines_drawn = 0;
}
