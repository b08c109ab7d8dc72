#include "audio_source.h"

#include <algorithm>

namespace {

std::unique_ptr<AudioInput> open_file(const std::string &path, std::string &error)
{
    auto input = std::make_unique<AudioInput>();
    if (!open_audio(path, *input, error))
        return nullptr;
    if (input->info.channels < 1 || input->info.samplerate < 1) {
        error = path + ": no usable channel count or sample rate";
        return nullptr;
    }
    return input;
}

bool open_current(AudioSource &source, std::string &error)
{
    source.file = open_file(source.paths[source.current], error);
    return source.file != nullptr;
}

} // namespace

bool audio_source_open(AudioSource &source, const std::vector<std::string> &paths, int channels,
                       std::string &error)
{
    audio_source_close(source);
    source = AudioSource{};
    if (paths.empty()) {
        error = "no input file";
        return false;
    }
    if (channels < 1) {
        error = "the channel count must be at least 1";
        return false;
    }
    source.paths = paths;
    source.channels = channels;

    for (const std::string &path : paths) {
        const std::unique_ptr<AudioInput> file = open_file(path, error);
        if (!file)
            return false;
        if (source.rate == 0) {
            source.rate = file->info.samplerate;
        } else if (file->info.samplerate != source.rate) {
            error = path + ": sample rate " + std::to_string(file->info.samplerate) + " Hz differs from " +
                    std::to_string(source.rate) + " Hz of " + paths.front();
            return false;
        }
        const bool known = file->info.frames != SF_COUNT_MAX && source.total_frames >= 0;
        source.total_frames = known ? source.total_frames + file->info.frames : -1;
    }
    return open_current(source, error);
}

int64_t audio_source_read(AudioSource &source, int16_t *out, int64_t frames, std::string &error)
{
    int64_t done = 0;
    while (done < frames && source.file) {
        AudioInput &file = *source.file;
        const int file_channels = file.info.channels;
        source.scratch.resize(static_cast<size_t>(frames - done) * static_cast<size_t>(file_channels));
        const int64_t got = read_frames(file, source.scratch);
        for (int64_t f = 0; f < got; ++f) {
            const int16_t *in = source.scratch.data() + f * file_channels;
            int16_t *to = out + (done + f) * source.channels;
            for (int c = 0; c < source.channels; ++c)
                to[c] = in[c % file_channels];
        }
        done += got;
        if (!file.read_error.empty()) {
            error = source.paths[source.current] + ": " + file.read_error;
            return done;
        }
        if (got == 0) {
            source.file.reset();
            if (source.current + 1 < source.paths.size()) {
                ++source.current;
                if (!open_current(source, error))
                    return done;
            }
        }
    }
    return done;
}

bool audio_source_rewind(AudioSource &source, std::string &error)
{
    source.file.reset();
    source.current = 0;
    if (source.paths.empty()) {
        error = "no input file";
        return false;
    }
    return open_current(source, error);
}

void audio_source_close(AudioSource &source)
{
    source.file.reset();
}
