// The audio formats korva writes, chosen by an output name's extension. The
// choice is made once, as an OutputFormat record that says all the rest of
// the run needs: container, samples, the rates it carries, whether it is
// lossy, the encoder setting --quality turns into, and its name.
#ifndef KORVA_AUDIO_FORMATS_H
#define KORVA_AUDIO_FORMATS_H

#include <optional>
#include <span>
#include <string>
#include <string_view>

// --quality: 0 (smallest file) to 10 (best sound) for the lossy encoders.
inline constexpr double kDefaultQuality = 6.0;

struct OutputFormat {
    int container = 0;               // libsndfile major format: SF_FORMAT_WAV, SF_FORMAT_FLAC...
    int samples = 0;                 // libsndfile subtype: SF_FORMAT_PCM_16 until a depth is chosen, or the codec
    std::span<const int> depths;     // the PCM and float subtypes it holds, shallowest first; empty: lossy
    std::span<const int> rates;      // the sample rates it carries; empty: any up to highest_rate
    int highest_rate = 0;            // the highest rate its encoder takes; 0: no limit below korva's own
    bool lossy = false;              // Ogg Vorbis, Ogg Opus and MP3: encoders that change the samples
    // libsndfile's compression level for --quality Q, lossy formats only:
    // 1 - Q/10, so 0.0 is the least compressed. libsndfile 1.2's encoders read it as:
    //   Vorbis: VBR quality 1 - level (its own default is 0.4);
    //   Opus:   target (1 - level) * 250 + 6 kbit/s per channel;
    //   MP3:    LAME's VBR quality level * 10 (-V0 best to -V9.9), so the level
    //           stops at 0.99: LAME refuses -V10.
    double compression_level = 0.0;
    std::string label;               // for the summary: "MP3", "Opus", "FLAC"...

    int sndfile_format() const { return container | samples; }
};

// The format an output name implies, from its extension (case-insensitive),
// with the encoder level of `quality`; nothing for an extension it does not know.
std::optional<OutputFormat> output_format_for_name(std::string_view name, double quality = kDefaultQuality);

// WAV: what a device or FIFO without a known extension gets.
OutputFormat wav_format();

// The rate a file of `format` is written at for audio at `rate`: the rate
// itself when the format can carry it; otherwise 48000, the highest rate
// both Opus (8, 12, 16, 24, 48 kHz) and MP3 (the MPEG rates 8 to 48 kHz)
// allow, and one Vorbis (up to 200 kHz) and FLAC (up to 655.35 kHz) take.
// Every other format carries any rate korva reads.
int carried_rate(const OutputFormat &format, int rate);

// The extensions output_format_for_name knows, for messages: ".wav, .wave, ...".
std::string known_extensions();

// The input types, for the message about a file that cannot be read.
std::string readable_types();

// The extension of a name without its dot, lower-cased; empty when none.
std::string lower_extension(std::string_view name);

#endif
