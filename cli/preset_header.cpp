#include "preset_header.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr char magic[] = "KORVA551";
constexpr std::size_t magic_size = 8;
constexpr std::size_t marker_end = 10;
constexpr std::size_t length_end = 14;
constexpr int32_t payload_size = 96;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

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

std::string too_short(int64_t size)
{
    return "too short: " + std::to_string(size) + " bytes, a preset has " + std::to_string(kPresetFileSize);
}

} // namespace

const char *native_preset_marker()
{
    const uint32_t probe = 0x12345678;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 0x78 ? "LE" : "BE";
}

PresetHeader inspect_preset(const std::string &path)
{
    PresetHeader header;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        header.problem = std::string("cannot open: ") + std::strerror(errno);
        return header;
    }
    if (!S_ISREG(status.st_mode)) {
        header.problem = "not a regular file";
        return header;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        header.problem = std::string("cannot open: ") + std::strerror(errno);
        return header;
    }
    std::array<unsigned char, length_end> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), file.get());
    header.size = status.st_size;

    if (got < magic_size) {
        header.problem = too_short(header.size);
        return header;
    }
    if (std::memcmp(head.data(), magic, magic_size) != 0) {
        header.problem = "not a Korva preset: the file starts with \"" + shown(head.data(), magic_size) +
                         "\", a preset with \"KORVA551\"";
        return header;
    }
    if (got < marker_end) {
        header.problem = too_short(header.size);
        return header;
    }
    header.marker = shown(head.data() + magic_size, 2);
    header.swapped = std::memcmp(head.data() + magic_size, native_preset_marker(), 2) != 0;
    if (got < length_end) {
        header.problem = too_short(header.size);
        return header;
    }
    unsigned char length_bytes[4];
    std::memcpy(length_bytes, head.data() + marker_end, 4);
    if (header.swapped) {
        std::swap(length_bytes[0], length_bytes[3]);
        std::swap(length_bytes[1], length_bytes[2]);
    }
    int32_t length = 0;
    std::memcpy(&length, length_bytes, 4);
    if (length != payload_size) {
        header.problem = "bad payload length " + std::to_string(length) + " (read in " +
                         (header.swapped ? "the other" : "this machine's") + " byte order for marker \"" +
                         header.marker + "\"), a preset has 96";
        return header;
    }
    if (header.size < kPresetFileSize)
        header.problem = too_short(header.size);
    return header;
}
