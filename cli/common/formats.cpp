#include "formats.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

struct ExtensionFormat {
    std::string_view extension;
    int format;
};

// 16-bit PCM for the uncompressed and lossless formats; the Ogg and MPEG
// codecs take 16-bit input and have no subtype of their own for it.
constexpr std::array extension_formats{
    ExtensionFormat{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    ExtensionFormat{"wave", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    ExtensionFormat{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    ExtensionFormat{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    ExtensionFormat{"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    ExtensionFormat{"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
    ExtensionFormat{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    ExtensionFormat{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    ExtensionFormat{"aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
    ExtensionFormat{"au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    ExtensionFormat{"snd", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    ExtensionFormat{"caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16},
    ExtensionFormat{"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16},
    ExtensionFormat{"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
};

constexpr std::array opus_rates{8000, 12000, 16000, 24000, 48000};
constexpr std::array mpeg_rates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int fallback_rate = 48000;

bool is_opus(int format)
{
    return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS;
}

bool is_mpeg(int format)
{
    return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
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

std::string readable_types()
{
    return "WAV, FLAC, Ogg Vorbis, Opus, MP3, AIFF, AU, CAF, W64, RF64 and the other formats libsndfile reads";
}

bool is_lossy(int format)
{
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS || is_mpeg(format);
}

std::string format_label(int format)
{
    if (is_mpeg(format))
        return "MP3";
    if (is_opus(format))
        return "Opus";
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV: return "WAV";
    case SF_FORMAT_FLAC: return "FLAC";
    case SF_FORMAT_OGG: return "Ogg Vorbis";
    case SF_FORMAT_AIFF: return "AIFF";
    case SF_FORMAT_AU: return "AU";
    case SF_FORMAT_CAF: return "CAF";
    case SF_FORMAT_W64: return "W64";
    case SF_FORMAT_RF64: return "RF64";
    default: return "audio";
    }
}

int carried_rate(int format, int rate)
{
    const auto allowed = [rate](const auto &rates) {
        return std::find(rates.begin(), rates.end(), rate) != rates.end();
    };
    if (is_opus(format))
        return allowed(opus_rates) ? rate : fallback_rate;
    if (is_mpeg(format))
        return allowed(mpeg_rates) ? rate : fallback_rate;
    return rate;
}

double compression_level(int format, double quality)
{
    const double level = 1.0 - std::clamp(quality, 0.0, 10.0) / 10.0;
    return is_mpeg(format) ? std::min(level, 0.99) : level;
}
