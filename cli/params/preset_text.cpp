#include "preset_text.h"

#include <cstdio>
#include <cstring>

namespace {

// Bytes as text, with anything unprintable as \xNN.
std::string shown(const unsigned char *bytes, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7f && bytes[i] != '"' && bytes[i] != '\\') {
            text += static_cast<char>(bytes[i]);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", bytes[i]);
            text += escaped;
        }
    }
    return text;
}

std::string marker_of(const KorvaPresetInfo &info)
{
    return shown(info.head + 8, 2);
}

} // namespace

std::string preset_problem(const KorvaPresetInfo &info)
{
    switch (info.status) {
    case KORVA_PRESET_OK:
        return {};
    case KORVA_PRESET_CANNOT_OPEN:
        return std::string("cannot open: ") + std::strerror(info.error);
    case KORVA_PRESET_NOT_REGULAR:
        return "not a regular file";
    case KORVA_PRESET_TOO_SHORT:
        return "too short: " + std::to_string(info.file_size) + " bytes, a preset has " +
               std::to_string(KORVA_PRESET_FILE_SIZE);
    case KORVA_PRESET_WRONG_MAGIC:
        return "not a Korva preset: the file starts with \"" + shown(info.head, 8) + "\", a preset with \"KORVA551\"";
    case KORVA_PRESET_BAD_LENGTH:
        return "bad payload length " + std::to_string(info.payload_length) + " (read in " +
               (info.swapped ? "the other" : "this machine's") + " byte order for marker \"" + marker_of(info) +
               "\"), a preset has " + std::to_string(KORVA_PARAMS_SIZE);
    }
    return "not a preset";
}

std::string byte_order_line(const KorvaPresetInfo &info)
{
    const std::string marker = marker_of(info);
    std::string order;
    if (marker == "LE")
        order = "LE (little-endian)";
    else if (marker == "BE")
        order = "BE (big-endian)";
    else
        order = "\"" + marker + "\" (unknown marker, read as the other byte order)";
    return "byte order: " + order + (info.swapped ? ", swapped on loading" : ", this machine's") + "\n";
}
