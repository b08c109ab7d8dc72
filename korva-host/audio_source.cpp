#include "audio_source.h"

#include "engine/samples.h"

#include <algorithm>

namespace {

SNDFILE *open_file(const std::string &path, SF_INFO &info, std::string &error)
{
    info = SF_INFO{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = path + ": no usable channel count or sample rate";
        sf_close(file);
        return nullptr;
    }
    return file;
}

bool open_current(AudioSource &source, std::string &error)
{
    SF_INFO info;
    source.file = open_file(source.paths[source.current], info, error);
    if (source.file == nullptr)
        return false;
    source.file_channels = info.channels;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    source.file_is_float = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    return true;
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
        SF_INFO info;
        SNDFILE *file = open_file(path, info, error);
        if (file == nullptr)
            return false;
        sf_close(file);
        if (source.rate == 0) {
            source.rate = info.samplerate;
        } else if (info.samplerate != source.rate) {
            error = path + ": sample rate " + std::to_string(info.samplerate) + " Hz differs from " +
                    std::to_string(source.rate) + " Hz of " + paths.front();
            return false;
        }
        source.total_frames += info.frames;
    }
    return open_current(source, error);
}

int64_t audio_source_read(AudioSource &source, int16_t *out, int64_t frames, std::string &error)
{
    int64_t done = 0;
    while (done < frames && source.file != nullptr) {
        const auto want = static_cast<size_t>(frames - done);
        const size_t count = want * static_cast<size_t>(source.file_channels);
        source.scratch.resize(count);
        sf_count_t got = 0;
        if (source.file_is_float) {
            source.float_scratch.resize(count);
            got = sf_readf_float(source.file, source.float_scratch.data(), static_cast<sf_count_t>(want));
            for (size_t i = 0; i < static_cast<size_t>(std::max<sf_count_t>(got, 0)) * source.file_channels; ++i)
                source.scratch[i] = korva_sample_from_float(source.float_scratch[i]);
        } else {
            got = sf_readf_short(source.file, source.scratch.data(), static_cast<sf_count_t>(want));
        }
        if (sf_error(source.file) != SF_ERR_NO_ERROR) {
            error = source.paths[source.current] + ": " + sf_strerror(source.file);
            return done;
        }
        for (sf_count_t f = 0; f < got; ++f) {
            const int16_t *in = source.scratch.data() + f * source.file_channels;
            int16_t *to = out + (done + f) * source.channels;
            for (int c = 0; c < source.channels; ++c)
                to[c] = in[c % source.file_channels];
        }
        done += got;
        if (got < static_cast<sf_count_t>(want)) {
            sf_close(source.file);
            source.file = nullptr;
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
    if (source.file != nullptr)
        sf_close(source.file);
    source.file = nullptr;
    source.current = 0;
    if (source.paths.empty()) {
        error = "no input file";
        return false;
    }
    return open_current(source, error);
}

void audio_source_close(AudioSource &source)
{
    if (source.file != nullptr)
        sf_close(source.file);
    source.file = nullptr;
}
