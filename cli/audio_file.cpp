#include "audio_file.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

struct ExtensionFormat {
    std::string_view extension;
    int format;
};

// 16-bit PCM everywhere except Ogg, whose only codec here is Vorbis.
constexpr std::array extension_formats{
    ExtensionFormat{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    ExtensionFormat{"wave", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    ExtensionFormat{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    ExtensionFormat{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    ExtensionFormat{"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    ExtensionFormat{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    ExtensionFormat{"aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    ExtensionFormat{"au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    ExtensionFormat{"snd", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    ExtensionFormat{"caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16},
    ExtensionFormat{"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16},
    ExtensionFormat{"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
};

constexpr int block_limit = 1 << 20;   // frames per libsndfile call, well inside int

std::string lower_extension(std::string_view name)
{
    const auto slash = name.find_last_of('/');
    const auto base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    const auto dot = base.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string extension(base.substr(dot + 1));
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

} // namespace

Status open_input(const std::string &path, AudioInput &input)
{
    input.path = path;
    input.info = SF_INFO{};
    input.file.reset(sf_open(path.c_str(), SFM_READ, &input.info));
    if (!input.file)
        return failure(path + ": cannot read: " + sf_strerror(nullptr));
    if (input.info.channels < 1 || input.info.channels > 2)
        return failure(path + ": has " + std::to_string(input.info.channels) +
                       " channels; only mono and stereo files can be processed");
    if (input.info.samplerate <= 0)
        return failure(path + ": invalid sample rate " + std::to_string(input.info.samplerate));
    sf_command(input.file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return success();
}

Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read)
{
    frames_read = 0;
    const int channels = input.info.channels;
    const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(stereo.size() / 2, block_limit));
    sf_count_t got = 0;
    if (channels == 2) {
        got = sf_readf_short(input.file.get(), stereo.data(), wanted);
    } else {
        input.scratch.resize(static_cast<std::size_t>(wanted));
        got = sf_readf_short(input.file.get(), input.scratch.data(), wanted);
        for (sf_count_t i = 0; i < got; ++i) {
            stereo[2 * i] = input.scratch[i];
            stereo[2 * i + 1] = input.scratch[i];
        }
    }
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR)
        return failure(input.path + ": read error: " + sf_strerror(input.file.get()));
    frames_read = got;
    return success();
}

std::optional<int> format_for_name(std::string_view name)
{
    const std::string extension = lower_extension(name);
    for (const ExtensionFormat &known : extension_formats)
        if (known.extension == extension)
            return known.format;
    return std::nullopt;
}

std::string known_extensions()
{
    std::string list;
    for (const ExtensionFormat &known : extension_formats) {
        if (!list.empty())
            list += ", ";
        list += ".";
        list += known.extension;
    }
    return list;
}

Status open_output(const std::string &write_path, const std::string &display_path, int format,
                   int sample_rate, AudioOutput &output)
{
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = 2;
    info.format = format;
    output.path = display_path;
    if (!sf_format_check(&info))
        return failure(display_path + ": this format cannot hold 16-bit stereo at " +
                       std::to_string(sample_rate) + " Hz");
    output.file.reset(sf_open(write_path.c_str(), SFM_WRITE, &info));
    if (!output.file)
        return failure(display_path + ": cannot write: " + sf_strerror(nullptr));
    return success();
}

Status write_stereo(AudioOutput &output, std::span<const int16_t> stereo)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    const sf_count_t written = sf_writef_short(output.file.get(), stereo.data(), frames);
    if (written != frames)
        return failure(output.path + ": write error: " + sf_strerror(output.file.get()));
    return success();
}

Status close_output(AudioOutput &output)
{
    SNDFILE *file = output.file.release();
    if (file == nullptr)
        return success();
    const int error = sf_close(file);
    if (error != SF_ERR_NO_ERROR)
        return failure(output.path + ": error finishing the file: " + sf_error_number(error));
    return success();
}
