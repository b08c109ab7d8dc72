// A look at a preset file's head, to say in words why a file is or is not a
// preset. The layout is 110 bytes: "KORVA551", the writer's byte-order
// marker "LE" or "BE", the payload length 96 as a 4-byte integer in the
// writer's order, then the 96-byte parameter block. A marker other than this
// machine's means the other byte order, as the preset reader treats it.
#ifndef KORVA_CLI_PRESET_HEADER_H
#define KORVA_CLI_PRESET_HEADER_H

#include <cstdint>
#include <string>

struct PresetHeader {
    std::string problem;        // empty when the head is valid
    std::string marker;         // the two marker bytes, printable or escaped
    bool swapped = false;       // written in the other byte order
    int64_t size = 0;           // bytes in the file
};

inline constexpr int kPresetFileSize = 110;

// This machine's marker, "LE" or "BE".
const char *native_preset_marker();

PresetHeader inspect_preset(const std::string &path);

#endif
