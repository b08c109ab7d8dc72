#include "stereo_input.h"

#include "audio/formats.h"

#include <vector>

namespace {

// A mono file's samples go to both channels, in place from the back.
template <typename Sample>
void spread_mono(std::span<Sample> stereo, int64_t frames)
{
    for (int64_t i = frames - 1; i >= 0; --i)
        stereo[2 * i] = stereo[2 * i + 1] = stereo[i];
}

} // namespace

Status open_input(const std::string &path, AudioInput &input)
{
    std::string error;
    if (!open_audio(path, input, error))
        return failure(error + "; korva reads " + readable_types());
    if (input.info.channels < 1 || input.info.channels > 2)
        return failure(path + ": has " + std::to_string(input.info.channels) +
                       " channels; only mono and stereo files can be processed");
    if (input.info.samplerate < kLowestInputRate || input.info.samplerate > kHighestInputRate)
        return failure(path + ": the header gives a sample rate of " + std::to_string(input.info.samplerate) +
                       " Hz; korva takes " + std::to_string(kLowestInputRate) + " to " +
                       std::to_string(kHighestInputRate) + " Hz");
    return success();
}

namespace {

template <typename Sample>
Status read_spread(AudioInput &input, std::span<Sample> stereo, int64_t &frames_read,
                   int64_t (*read)(AudioInput &, std::span<Sample>))
{
    const bool mono = input.info.channels == 1;
    frames_read = read(input, mono ? stereo.first(stereo.size() / 2) : stereo);
    if (mono)
        spread_mono(stereo, frames_read);
    return success();
}

} // namespace

Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read)
{
    return read_spread(input, stereo, frames_read, read_frames);
}

Status read_stereo_float(AudioInput &input, std::span<float> stereo, int64_t &frames_read)
{
    return read_spread(input, stereo, frames_read, read_frames_float);
}
