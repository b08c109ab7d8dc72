/*
 * The player's sample formats: how a signed 16-bit sample becomes the bytes
 * of a block in one of the AFormat codes, and back.
 */
#ifndef KORVA_KORVA_HOST_SAMPLE_FORMAT_H
#define KORVA_KORVA_HOST_SAMPLE_FORMAT_H

#include "libxmms/xmms_plugin.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct SampleFormat {
    const char *name;        // as given to --format, e.g. "s16ne"
    AFormat code;            // the player's format code
    int bytes;               // bytes per sample: 1 or 2
};

// The format of that name (u8, s8, u16le, u16be, u16ne, s16le, s16be, s16ne), or null.
const SampleFormat *sample_format_find(std::string_view name);

// The names, comma-separated, for messages.
const char *sample_format_names();

// Writes count samples into out (count * fmt.bytes bytes). 8-bit formats keep
// the high byte of each sample; unsigned formats are offset by half the range.
void sample_format_encode(const SampleFormat &fmt, const int16_t *in, size_t count, unsigned char *out);

// The inverse: count samples from the bytes back to signed 16-bit values
// (8-bit samples come back with a zero low byte).
void sample_format_decode(const SampleFormat &fmt, const unsigned char *in, size_t count, int16_t *out);

#endif
