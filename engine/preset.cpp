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
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'V', 'A', '5', '5', '1'};
constexpr int32_t kPayloadLength = KORVA_PARAMS_SIZE;
constexpr std::size_t kMarkerAt = 8;
constexpr std::size_t kLengthAt = 10;
constexpr std::size_t kPayloadAt = 14;
constexpr std::size_t kFileSize = kPayloadAt + KORVA_PARAMS_SIZE;

static_assert(sizeof(KorvaParams) == KORVA_PARAMS_SIZE);
static_assert(kFileSize == KORVA_PRESET_FILE_SIZE);
static_assert(sizeof(KorvaPresetInfo::head) == kPayloadAt);

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

// Reads up to out.size() bytes from the start of an open file; the count, or
// -1 when a read fails.
long read_head(int fd, PresetImage &out)
{
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

// Checks the image in file order: magic, marker, length, payload. Each check
// needs the bytes it looks at; a file that ends first is too short.
KorvaPresetStatus check_image(const PresetImage &image, std::size_t size, KorvaPresetInfo &info)
{
    if (size < kMarkerAt)
        return KORVA_PRESET_TOO_SHORT;
    if (std::memcmp(image.data(), kMagic, sizeof kMagic) != 0)
        return KORVA_PRESET_WRONG_MAGIC;
    if (size < kLengthAt)
        return KORVA_PRESET_TOO_SHORT;
    unsigned char marker[2];
    own_marker(marker);
    info.swapped = std::memcmp(image.data() + kMarkerAt, marker, 2) != 0 ? 1 : 0;

    if (size < kPayloadAt)
        return KORVA_PRESET_TOO_SHORT;
    unsigned char length_bytes[4];
    std::memcpy(length_bytes, image.data() + kLengthAt, 4);
    if (info.swapped)
        patchendian(length_bytes, 4);
    std::memcpy(&info.payload_length, length_bytes, 4);
    if (info.payload_length != kPayloadLength)
        return KORVA_PRESET_BAD_LENGTH;

    if (size < kFileSize)
        return KORVA_PRESET_TOO_SHORT;
    std::memcpy(&info.params, image.data() + kPayloadAt, KORVA_PARAMS_SIZE);
    if (info.swapped)
        korva_patch_endian(&info.params);
    return KORVA_PRESET_OK;
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

extern "C" KorvaPresetStatus korva_preset_read(const char *path, KorvaPresetInfo *info)
{
    if (info == nullptr)
        return KORVA_PRESET_CANNOT_OPEN;
    *info = KorvaPresetInfo{};
    info->file_size = -1;
    if (path == nullptr) {
        info->error = EINVAL;
        return info->status = KORVA_PRESET_CANNOT_OPEN;
    }

    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        info->error = errno;
        return info->status = KORVA_PRESET_CANNOT_OPEN;
    }
    struct stat st {};
    PresetImage image{};
    long got = -1;
    if (::fstat(fd, &st) != 0) {
        info->error = errno;
        info->status = KORVA_PRESET_CANNOT_OPEN;
    } else if (!S_ISREG(st.st_mode)) {
        info->status = KORVA_PRESET_NOT_REGULAR;
    } else {
        info->file_size = st.st_size;
        got = read_head(fd, image);
        if (got < 0) {
            info->error = errno;
            info->status = KORVA_PRESET_CANNOT_OPEN;
        }
    }
    ::close(fd);
    if (got < 0)
        return info->status;

    const auto size = static_cast<std::size_t>(got);
    info->head_bytes = static_cast<int32_t>(size < kPayloadAt ? size : kPayloadAt);
    std::memcpy(info->head, image.data(), static_cast<std::size_t>(info->head_bytes));
    return info->status = check_image(image, size, *info);
}

extern "C" int korva_read_preset(const char *path, KorvaParams *out)
{
    if (path == nullptr || out == nullptr)
        return 0;
    KorvaPresetInfo info;
    if (korva_preset_read(path, &info) != KORVA_PRESET_OK)
        return 0;
    *out = info.params;
    return 1;
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

namespace korva::preset {

bool write_file(const KorvaParams &params, const char *path, korva::fileio::Error *why) noexcept
{
    PresetImage image{};
    std::memcpy(image.data(), kMagic, sizeof kMagic);
    own_marker(image.data() + kMarkerAt);
    std::memcpy(image.data() + kLengthAt, &kPayloadLength, sizeof kPayloadLength);
    std::memcpy(image.data() + kPayloadAt, &params, KORVA_PARAMS_SIZE);
    return korva::fileio::replace_file(path, image.data(), image.size(), korva::fileio::NonRegular::refuse, why);
}

}  // namespace korva::preset

extern "C" int korva_save(KorvaEngine *engine, const char *path)
{
    if (engine == nullptr || path == nullptr)
        return 0;
    // Everything written comes from this one snapshot of the live block.
    KorvaParams snapshot;
    korva_params_read(engine, &snapshot);
    return korva::preset::write_file(snapshot, path) ? 1 : 0;
}
