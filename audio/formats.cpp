#include "formats.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr std::array opus_rates{8000, 12000, 16000, 24000, 48000};
constexpr std::array mpeg_rates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int fallback_rate = 48000;
// libvorbisenc 1.3 has no set-up above 200 kHz, and libsndfile's FLAC
// writer stops at FLAC's 655350 Hz.
constexpr int vorbis_highest_rate = 200000;
constexpr int flac_highest_rate = 655350;
// libsndfile 1.2 writes FLAC at 8, 16 and 24 bits; the others take 32-bit
// integers and 32- and 64-bit floats too.
constexpr std::array<int, 2> flac_depths{SF_FORMAT_PCM_16, SF_FORMAT_PCM_24};
constexpr std::array<int, 5> pcm_depths{SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,
                                        SF_FORMAT_DOUBLE};

struct ExtensionFormat {
    std::string_view extension;
    int container;
    int samples;
    std::span<const int> depths;
    std::span<const int> rates;
    std::string_view label;
    int highest_rate = 0;
};

// 16-bit PCM for the uncompressed and lossless formats; the Ogg and MPEG
// codecs take 16-bit input and have no subtype of their own for it.
constexpr std::array extension_formats{
    ExtensionFormat{"wav", SF_FORMAT_WAV, SF_FORMAT_PCM_16, pcm_depths, {}, "WAV"},
    ExtensionFormat{"wave", SF_FORMAT_WAV, SF_FORMAT_PCM_16, pcm_depths, {}, "WAV"},
    ExtensionFormat{"flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_16, flac_depths, {}, "FLAC", flac_highest_rate},
    ExtensionFormat{"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS, {}, {}, "Ogg Vorbis", vorbis_highest_rate},
    ExtensionFormat{"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS, {}, {}, "Ogg Vorbis", vorbis_highest_rate},
    ExtensionFormat{"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, {}, opus_rates, "Opus"},
    ExtensionFormat{"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, {}, mpeg_rates, "MP3"},
    ExtensionFormat{"aiff", SF_FORMAT_AIFF, SF_FORMAT_PCM_16, pcm_depths, {}, "AIFF"},
    ExtensionFormat{"aif", SF_FORMAT_AIFF, SF_FORMAT_PCM_16, pcm_depths, {}, "AIFF"},
    ExtensionFormat{"au", SF_FORMAT_AU, SF_FORMAT_PCM_16, pcm_depths, {}, "AU"},
    ExtensionFormat{"snd", SF_FORMAT_AU, SF_FORMAT_PCM_16, pcm_depths, {}, "AU"},
    ExtensionFormat{"caf", SF_FORMAT_CAF, SF_FORMAT_PCM_16, pcm_depths, {}, "CAF"},
    ExtensionFormat{"w64", SF_FORMAT_W64, SF_FORMAT_PCM_16, pcm_depths, {}, "W64"},
    ExtensionFormat{"rf64", SF_FORMAT_RF64, SF_FORMAT_PCM_16, pcm_depths, {}, "RF64"},
};

OutputFormat record_of(const ExtensionFormat &known, double quality)
{
    OutputFormat format;
    format.container = known.container;
    format.samples = known.samples;
    format.depths = known.depths;
    format.rates = known.rates;
    format.highest_rate = known.highest_rate;
    format.lossy = known.samples == SF_FORMAT_VORBIS || known.samples == SF_FORMAT_OPUS ||
                   known.container == SF_FORMAT_MPEG;
    if (format.lossy) {
        const double level = 1.0 - std::clamp(quality, 0.0, 10.0) / 10.0;
        format.compression_level = known.container == SF_FORMAT_MPEG ? std::min(level, 0.99) : level;
    }
    format.label = known.label;
    return format;
}

} // namespace

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

std::optional<OutputFormat> output_format_for_name(std::string_view name, double quality)
{
    const std::string extension = lower_extension(name);
    for (const ExtensionFormat &known : extension_formats)
        if (known.extension == extension)
            return record_of(known, quality);
    return std::nullopt;
}

OutputFormat wav_format()
{
    return record_of(extension_formats[0], kDefaultQuality);
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

std::string readable_types()
{
    return "WAV, FLAC, Ogg Vorbis, Opus, MP3, AIFF, AU, CAF, W64, RF64 and the other formats libsndfile reads";
}

int carried_rate(const OutputFormat &format, int rate)
{
    const bool listed = format.rates.empty() ||
                        std::find(format.rates.begin(), format.rates.end(), rate) != format.rates.end();
    const bool in_range = format.highest_rate == 0 || rate <= format.highest_rate;
    return listed && in_range ? rate : fallback_rate;
}
