// The preset file format, as bytes: one parameter block in the writer's byte
// order. Reading and writing files is preset_file/'s.
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

#include <array>
#include <cstring>


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

extern "C" KorvaPresetStatus korva_preset_decode(const unsigned char *bytes, size_t size, KorvaPresetInfo *info)
{
    if (info == nullptr)
        return KORVA_PRESET_CANNOT_OPEN;
    const int64_t file_size = info->file_size;
    *info = KorvaPresetInfo{};
    info->file_size = file_size;
    PresetImage image{};
    const std::size_t used = bytes == nullptr ? 0 : size < kFileSize ? size : kFileSize;
    if (used > 0)
        std::memcpy(image.data(), bytes, used);
    info->head_bytes = static_cast<int32_t>(used < kPayloadAt ? used : kPayloadAt);
    std::memcpy(info->head, image.data(), static_cast<std::size_t>(info->head_bytes));
    return info->status = check_image(image, used, *info);
}

extern "C" void korva_preset_encode(const KorvaParams *params, unsigned char *out)
{
    std::memcpy(out, kMagic, sizeof kMagic);
    own_marker(out + kMarkerAt);
    std::memcpy(out + kLengthAt, &kPayloadLength, sizeof kPayloadLength);
    std::memcpy(out + kPayloadAt, params, KORVA_PARAMS_SIZE);
}
