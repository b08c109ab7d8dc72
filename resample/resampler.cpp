#include "resampler.h"

#include <soxr.h>

#include <cmath>
#include <string>

namespace {

constexpr unsigned channels = 2;

// soxr takes any number of input frames per call and returns what fits in
// the output buffer; the buffer is sized for the whole block plus the
// converter's own latency, and the loop drains whatever remains.
bool run(Resampler &resampler, const void *in, std::size_t in_frames, std::vector<float> &out, std::string &message)
{
    out.clear();
    std::size_t used_total = 0;
    for (;;) {
        const std::size_t room = static_cast<std::size_t>(std::ceil(in_frames * resampler.ratio)) + 1024;
        const std::size_t start = out.size() / channels;
        out.resize((start + room) * channels);
        std::size_t used = 0;
        std::size_t made = 0;
        const std::size_t frame_bytes = channels * (resampler.float_input ? sizeof(float) : sizeof(int16_t));
        const void *next = in == nullptr ? nullptr : static_cast<const char *>(in) + used_total * frame_bytes;
        const soxr_error_t error = soxr_process(resampler.handle.get(), next, in_frames - used_total, &used,
                                                out.data() + start * channels, room, &made);
        if (error != nullptr) {
            message = std::string("resampling failed: ") + error;
            return false;
        }
        used_total += used;
        out.resize((start + made) * channels);
        if (made < room && used_total == in_frames)
            return true;
    }
}

} // namespace

void SoxrDeleter::operator()(soxr *handle) const
{
    soxr_delete(handle);
}

bool start_resampler(double input_rate, double output_rate, Resampler &resampler, std::string &message,
                     bool float_input, double passband_end)
{
    const soxr_io_spec_t io = soxr_io_spec(float_input ? SOXR_FLOAT32_I : SOXR_INT16_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    if (passband_end > 0.0)
        quality.passband_end = passband_end;
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);   // the batch runs files in parallel instead
    soxr_error_t error = nullptr;
    resampler.handle.reset(soxr_create(input_rate, output_rate, channels, &error, &io, &quality, &runtime));
    if (error != nullptr || !resampler.handle) {
        message = std::string("cannot set up the resampler: ") + (error != nullptr ? error : "out of memory");
        return false;
    }
    resampler.ratio = output_rate / input_rate;
    resampler.float_input = float_input;
    return true;
}

bool resample(Resampler &resampler, std::span<const int16_t> stereo, std::vector<float> &out, std::string &error)
{
    return run(resampler, stereo.data(), stereo.size() / channels, out, error);
}

bool resample(Resampler &resampler, std::span<const float> stereo, std::vector<float> &out, std::string &error)
{
    return run(resampler, stereo.data(), stereo.size() / channels, out, error);
}

bool finish_resampler(Resampler &resampler, std::vector<float> &out, std::string &error)
{
    return run(resampler, nullptr, 0, out, error);
}
