// The audio formats korva writes, chosen by an output name's extension, and
// what each of them can carry: its sample rates, whether it is lossy, and the
// encoder setting --quality turns into.
#ifndef KORVA_CLI_FORMATS_H
#define KORVA_CLI_FORMATS_H

#include <optional>
#include <string>
#include <string_view>

// The libsndfile major format and subtype for a file name, from its extension
// (case-insensitive); nothing for an extension it does not know.
std::optional<int> format_for_name(std::string_view name);

// The extensions format_for_name knows, for messages: ".wav, .wave, ...".
std::string known_extensions();

// The input types, for the message about a file that cannot be read.
std::string readable_types();

// The extension of a name without its dot, lower-cased; empty when none.
std::string lower_extension(std::string_view name);

// Ogg Vorbis, Ogg Opus and MP3: encoders that change the samples.
bool is_lossy(int format);

// A short name of the encoding for the summary ("MP3", "Opus", "FLAC"...).
std::string format_label(int format);

// The rate a file of `format` is written at for audio at `rate`: the rate
// itself when the format can carry it; otherwise 48000, the highest rate
// both Opus (8, 12, 16, 24, 48 kHz) and MP3 (the MPEG rates 8 to 48 kHz)
// allow. Every other format carries any rate.
int carried_rate(int format, int rate);

// --quality: 0 (smallest file) to 10 (best sound) for the lossy encoders.
inline constexpr double kDefaultQuality = 6.0;

// libsndfile's compression level for a quality of `format`: 1 - Q/10, so
// 0.0 is the least compressed. libsndfile 1.2's encoders read it as:
//   Vorbis: VBR quality 1 - level (its own default is 0.4);
//   Opus:   target (1 - level) * 250 + 6 kbit/s per channel;
//   MP3:    LAME's VBR quality level * 10 (-V0 best to -V9.9), so the level
//           stops at 0.99: LAME refuses -V10.
double compression_level(int format, double quality);

#endif
