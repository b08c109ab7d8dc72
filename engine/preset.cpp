// Preset files: one parameter block in the writer's byte order.
//
//   offset  size  content
//        0     8  "KORVA551"
//        8     2  "LE" or "BE": byte order of the writing machine
//       10     4  payload length, 96, signed 32-bit in the writer's order
//       14    96  KorvaParams as it lies in the writer's memory, padding included
//
// A reader whose own marker differs from the file's in any way treats the
// file as coming from the other byte order and reverses the length and every
// 2- and 4-byte field.
#include "korva.h"
#include "param_fields.h"
#include "preset_write.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'V', 'A', '5', '5', '1'};
constexpr int32_t kPayloadLength = KORVA_PARAMS_SIZE;
constexpr std::size_t kMarkerAt = 8;
constexpr std::size_t kLengthAt = 10;
constexpr std::size_t kPayloadAt = 14;
constexpr std::size_t kFileSize = kPayloadAt + KORVA_PARAMS_SIZE;

static_assert(sizeof(KorvaParams) == KORVA_PARAMS_SIZE);
static_assert(kFileSize == 110);

using PresetImage = std::array<unsigned char, kFileSize>;

// Decided at run time from the first byte in memory of 0x12345678.
void own_marker(unsigned char marker[2])
{
    const uint32_t probe = 0x12345678u;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    marker[0] = first == 0x78 ? 'L' : 'B';
    marker[1] = 'E';
}

// Reads up to out.size() bytes from the start of the file; returns the count,
// or -1 when the file cannot be opened or a read fails. O_NONBLOCK keeps a
// FIFO without a writer from blocking the caller (such a read simply fails).
long read_head(const char *path, PresetImage &out)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    std::size_t got = 0;
    bool failed = false;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return failed ? -1 : static_cast<long>(got);
}

}  // namespace

extern "C" void patchendian(void *data, int width)
{
    if (data == nullptr || (width != 2 && width != 4))
        return;
    auto *bytes = static_cast<unsigned char *>(data);
    for (int i = 0, j = width - 1; i < j; ++i, --j) {
        const unsigned char t = bytes[i];
        bytes[i] = bytes[j];
        bytes[j] = t;
    }
}

extern "C" int korva_patch_endian(void *block)
{
    if (block == nullptr)
        return 0;
    auto *bytes = static_cast<unsigned char *>(block);
    // One-byte fields have nothing to reverse; padding is not a field.
    for (const KorvaParamField &field : korva_param_fields)
        patchendian(bytes + field.offset, field.width);
    return 0;
}

extern "C" int korva_save(KorvaEngine *engine, const char *path)
{
    if (engine == nullptr || path == nullptr)
        return 0;

    // Everything written comes from this one snapshot of the live block.
    KorvaParams snapshot;
    korva_params_read(engine, &snapshot);

    PresetImage image{};
    std::memcpy(image.data(), kMagic, sizeof kMagic);
    own_marker(image.data() + kMarkerAt);
    std::memcpy(image.data() + kLengthAt, &kPayloadLength, sizeof kPayloadLength);
    std::memcpy(image.data() + kPayloadAt, &snapshot, KORVA_PARAMS_SIZE);

    return korva::file_io::replace_file(path, image) ? 1 : 0;
}

extern "C" int korva_load(KorvaEngine *engine, const char *path)
{
    if (engine == nullptr)
        return 0;
    KorvaParams loaded;
    if (!korva_read_preset(path, &loaded))
        return 0;
    // Only now, after a complete and valid read, does the engine change.
    korva_params_write(engine, &loaded);
    return 1;
}

extern "C" int korva_read_preset(const char *path, KorvaParams *out)
{
    if (path == nullptr || out == nullptr)
        return 0;

    PresetImage image{};
    const long got = read_head(path, image);
    if (got < 0)
        return 0;
    const auto size = static_cast<std::size_t>(got);

    if (size < kMarkerAt || std::memcmp(image.data(), kMagic, sizeof kMagic) != 0)
        return 0;
    if (size < kLengthAt)
        return 0;
    unsigned char marker[2];
    own_marker(marker);
    const bool swap = std::memcmp(image.data() + kMarkerAt, marker, 2) != 0;

    if (size < kPayloadAt)
        return 0;
    unsigned char length_bytes[4];
    std::memcpy(length_bytes, image.data() + kLengthAt, 4);
    if (swap)
        patchendian(length_bytes, 4);
    int32_t length;
    std::memcpy(&length, length_bytes, 4);
    if (length != kPayloadLength)
        return 0;

    if (size < kFileSize)
        return 0;
    KorvaParams loaded;
    std::memcpy(&loaded, image.data() + kPayloadAt, KORVA_PARAMS_SIZE);
    if (swap)
        korva_patch_endian(&loaded);
    *out = loaded;
    return 1;
}
