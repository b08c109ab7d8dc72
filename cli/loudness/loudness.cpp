#include "loudness.h"

#include <ebur128.h>

#include <cmath>
#include <cstdio>

void LoudnessMeterDeleter::operator()(ebur128_state *state) const
{
    ebur128_destroy(&state);
}

Status start_loudness(int sample_rate, bool true_peak, LoudnessMeter &meter)
{
    int mode = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM;
    if (true_peak)
        mode |= EBUR128_MODE_TRUE_PEAK;
    meter.state.reset(ebur128_init(2, static_cast<unsigned long>(sample_rate), mode));
    meter.true_peak = true_peak;
    if (!meter.state)
        return failure("cannot start the loudness meter at " + std::to_string(sample_rate) + " Hz");
    return success();
}

namespace {

int add_frames(ebur128_state *state, std::span<const int16_t> stereo)
{
    return ebur128_add_frames_short(state, stereo.data(), stereo.size() / 2);
}

int add_frames(ebur128_state *state, std::span<const float> stereo)
{
    return ebur128_add_frames_float(state, stereo.data(), stereo.size() / 2);
}

template <typename Sample> Status add_samples(LoudnessMeter &meter, std::span<const Sample> stereo)
{
    if (!meter.state || stereo.empty())
        return success();
    if (add_frames(meter.state.get(), stereo) != EBUR128_SUCCESS) {
        meter.state.reset();
        return failure("the loudness meter failed");
    }
    return success();
}

} // namespace

Status add_loudness(LoudnessMeter &meter, std::span<const int16_t> stereo)
{
    return add_samples(meter, stereo);
}

Status add_loudness(LoudnessMeter &meter, std::span<const float> stereo)
{
    return add_samples(meter, stereo);
}

Loudness read_loudness(const LoudnessMeter &meter)
{
    Loudness figures;
    if (!meter.state)
        return figures;
    ebur128_state *state = meter.state.get();
    figures.measured = ebur128_loudness_global(state, &figures.integrated_lufs) == EBUR128_SUCCESS &&
                       ebur128_loudness_range(state, &figures.range_lu) == EBUR128_SUCCESS;
    if (meter.true_peak) {
        double left = 0.0, right = 0.0;
        figures.has_true_peak = ebur128_true_peak(state, 0, &left) == EBUR128_SUCCESS &&
                                ebur128_true_peak(state, 1, &right) == EBUR128_SUCCESS;
        const double peak = left > right ? left : right;
        figures.true_peak_dbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    }
    return figures;
}

std::string lufs_text(double lufs)
{
    if (!std::isfinite(lufs))
        return "-inf LUFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f LUFS", lufs);
    return text;
}

Stage loudness_stage(LoudnessMeter &meter, Status *problem)
{
    return {[&meter, problem](Block &block) {
                const Status status = block.is_float ? add_loudness(meter, std::span<const float>(block.samples))
                                                     : add_loudness(meter, std::span<const int16_t>(block.pcm));
                if (problem != nullptr && problem->ok() && !status.ok())
                    *problem = status;
                return success();
            },
            nullptr};
}
