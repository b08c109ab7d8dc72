#include "summary.h"

#include "process_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

constexpr int bar_width = 40;
constexpr auto redraw_interval = std::chrono::milliseconds(100);

std::string printf_string(const char *format, auto... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

} // namespace

void measure(std::span<const int16_t> samples, Levels &levels)
{
    for (const int16_t sample : samples) {
        const int magnitude = std::abs(static_cast<int>(sample));
        if (magnitude > levels.peak)
            levels.peak = magnitude;
        if (magnitude == 32767)
            ++levels.at_limit;
    }
}

void measure_peak(std::span<const float> samples, Levels &levels)
{
    float largest = 0.0f;
    for (const float sample : samples)
        largest = std::max(largest, std::fabs(sample));
    levels.full_scale_peak = std::max(levels.full_scale_peak, static_cast<double>(largest));
    const double peak = std::min(std::round(static_cast<double>(largest) * 32768.0), 2147483647.0);
    levels.peak = std::max(levels.peak, static_cast<int>(peak));
}

std::string dbfs(int peak)
{
    if (peak <= 0)
        return "-inf dBFS";
    return printf_string("%.2f dBFS", 20.0 * std::log10(peak / 32768.0));
}

double duration_seconds(const RunSummary &summary)
{
    return summary.sample_rate > 0 ? static_cast<double>(summary.frames) / summary.sample_rate : 0.0;
}

std::string clock_text(double seconds)
{
    const long long whole = seconds > 0.0 ? static_cast<long long>(seconds + 0.5) : 0;
    if (whole >= 3600)
        return printf_string("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    return printf_string("%lld:%02lld", whole / 60, whole % 60);
}

std::string elapsed_and_left(double elapsed_seconds, double fraction_done)
{
    std::string text = clock_text(elapsed_seconds) + " elapsed";
    if (fraction_done > 0.0 && fraction_done <= 1.0)
        text += ", " + clock_text(elapsed_seconds * (1.0 - fraction_done) / fraction_done) + " left";
    return text;
}

namespace {

// "title, artist kept; comment shortened to 2000 bytes (the most the format
// keeps); album, genre not kept (the format cannot hold it)".
std::string tag_line(const TagReport &tags)
{
    std::string text;
    for (const std::string &name : tags.kept)
        text += (text.empty() ? "" : ", ") + name;
    if (!text.empty())
        text += " kept";
    std::string shortened;
    for (const std::string &name : tags.shortened)
        shortened += (shortened.empty() ? "" : ", ") + name;
    if (!shortened.empty())
        text += (text.empty() ? "" : "; ") + shortened + " shortened to " + std::to_string(tags.limit) +
                " bytes (the most the format keeps)";
    std::vector<std::string> reasons;
    for (const TagDrop &drop : tags.dropped)
        if (std::find(reasons.begin(), reasons.end(), drop.reason) == reasons.end())
            reasons.push_back(drop.reason);
    for (const std::string &reason : reasons) {
        std::string names;
        for (const TagDrop &drop : tags.dropped)
            if (drop.reason == reason)
                names += (names.empty() ? "" : ", ") + drop.name;
        text += (text.empty() ? "" : "; ") + names + " not kept (" + reason + ")";
    }
    return text.empty() ? "none in the input" : text;
}

} // namespace

namespace {

// Why the chain ran at another rate than the input's.
const char *chain_rate_note(int input_rate, double chain_rate)
{
    if (chain_rate == input_rate)
        return "";
    int exponent = 0;
    const double ratio = std::frexp(input_rate / chain_rate, &exponent);
    return ratio == 0.5 ? " (the input's rate halved)" : " (halving the input's rate would go below 44.1 kHz)";
}

} // namespace

std::string repaired_text(int64_t samples)
{
    return printf_string("%lld input sample%s not a number, infinite or beyond +-16 (+24 dBFS); "
                         "taken as 0 (not a number) or full scale",
                         static_cast<long long>(samples), samples == 1 ? "" : "s");
}

std::string format_summary(const RunSummary &summary)
{
    const double duration = duration_seconds(summary);
    std::string text;
    text += "input:       " + summary.input_path + "\n";
    text += "output:      " + summary.output_path + " (" + summary.format.label;
    if (summary.format.lossy)
        text += printf_string(", quality %g", summary.quality);
    text += ")\n";
    text += printf_string("frames:      %lld (%.3f s at %d Hz)\n",
                          static_cast<long long>(summary.frames), duration, summary.sample_rate);
    if (!summary.shortfall.empty())
        text += "cut short:   " + summary.shortfall + "\n";
    if (summary.repaired > 0)
        text += "repaired:    " + repaired_text(summary.repaired) + "\n";
    if (summary.float_path)
        text += printf_string("path:        float, the chain at %g Hz%s; written as %s at %d Hz\n",
                              summary.chain_rate,
                              chain_rate_note(summary.sample_rate, summary.chain_rate),
                              depth_label(summary.format).c_str(), summary.output_rate);
    else
        text += printf_string("path:        exact 16-bit, the chain at %d Hz; written as %s\n", summary.sample_rate,
                              depth_label(summary.format).c_str());
    if (!summary.float_path && summary.output_rate != summary.sample_rate)
        text += printf_string("rate:        resampled to %d Hz after processing (%s cannot carry %d Hz)\n",
                              summary.output_rate, summary.format.label.c_str(), summary.sample_rate);
    text += "tags:        " + tag_line(summary.tags) + "\n";
    if (summary.float_path) {
        // Below one 16-bit step too: a quiet 24-bit file is not silent.
        const auto float_dbfs = [](double peak) {
            return peak > 0.0 ? printf_string("%.2f dBFS", 20.0 * std::log10(peak)) : std::string("-inf dBFS");
        };
        text += "peak in:     " + float_dbfs(summary.in.full_scale_peak) + "\n";
        text += "peak out:    " + float_dbfs(summary.out.full_scale_peak) + "\n";
    } else {
        text += printf_string("peak in:     %d (%s)\n", summary.in.peak, dbfs(summary.in.peak).c_str());
        text += printf_string("peak out:    %d (%s)\n", summary.out.peak, dbfs(summary.out.peak).c_str());
    }
    if (summary.float_path)
        text += printf_string("clipped:     %lld output samples beyond the output's range\n",
                              static_cast<long long>(summary.out.at_limit));
    else
        text += printf_string("clipped:     %lld output samples at +-32767\n",
                              static_cast<long long>(summary.out.at_limit));
    text += format_loudness(summary.loudness);
    if (summary.wall_seconds > 0.0)
        text += printf_string("time:        %.3f s, %.1fx real time\n", summary.wall_seconds,
                              duration / summary.wall_seconds);
    else
        text += "time:        0.000 s\n";
    return text;
}

Progress progress_start(int64_t total_frames, bool quiet)
{
    Progress progress;
    progress.enabled = !quiet && total_frames > 0 && isatty(STDERR_FILENO);
    progress.total_frames = total_frames;
    progress.started = std::chrono::steady_clock::now();
    progress.last_drawn = progress.started;
    return progress;
}

void progress_update(Progress &progress, int64_t frames_done)
{
    if (!progress.enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.last_drawn < redraw_interval)
        return;
    const int64_t done = frames_done < progress.total_frames ? frames_done : progress.total_frames;
    const int permille = static_cast<int>(1000.0 * static_cast<double>(done) / static_cast<double>(progress.total_frames));
    if (permille == progress.last_permille)
        return;
    progress.last_permille = permille;
    progress.last_drawn = now;
    const int filled = permille * bar_width / 1000;
    char bar[bar_width + 1];
    for (int i = 0; i < bar_width; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[bar_width] = '\0';
    const double elapsed = std::chrono::duration<double>(now - progress.started).count();
    std::fprintf(stderr, "\r[%s] %3d%%  %s\033[K", bar, permille / 10,
                 elapsed_and_left(elapsed, permille / 1000.0).c_str());
    std::fflush(stderr);
}

void progress_finish(Progress &progress)
{
    if (progress.enabled && progress.last_permille >= 0) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}
