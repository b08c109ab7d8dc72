// Any bytes as a preset file.
//
// Properties:
//   - korva_read_preset accepts exactly the files that begin with the magic,
//     carry a payload length of 96 in the order their marker implies and hold
//     at least 110 bytes; it then gives the payload, reversed field by field
//     when the marker is not this machine's;
//   - on refusal the caller's block is untouched, and korva_load leaves the
//     engine's parameters untouched;
//   - korva_load agrees with korva_read_preset, and korva_preset_read names
//     the first check the file fails, in file order (magic, length, size),
//     and its size;
//   - whatever was loaded runs through the engine, and saving it writes a
//     preset that reads back as the same block.
#include "fuzz_support.h"

#include "engine/korva.h"
#include "preset_file/preset_file.h"

#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr size_t kPresetSize = 110;

bool expected_valid(const uint8_t *data, size_t size, bool &swapped)
{
    if (size < kPresetSize || std::memcmp(data, "KORVA551", 8) != 0)
        return false;
    const char own[2] = {std::endian::native == std::endian::little ? 'L' : 'B', 'E'};
    swapped = std::memcmp(data + 8, own, 2) != 0;
    uint8_t length[4];
    std::memcpy(length, data + 10, 4);
    if (swapped)
        std::swap(length[0], length[3]), std::swap(length[1], length[2]);
    int32_t n;
    std::memcpy(&n, length, 4);
    return n == KORVA_PARAMS_SIZE;
}

// The first check a file fails, each check needing the bytes it reads.
KorvaPresetStatus expected_status(const uint8_t *data, size_t size)
{
    if (size < 8)
        return KORVA_PRESET_TOO_SHORT;
    if (std::memcmp(data, "KORVA551", 8) != 0)
        return KORVA_PRESET_WRONG_MAGIC;
    if (size < 14)
        return KORVA_PRESET_TOO_SHORT;
    bool swapped = false;
    if (!expected_valid(data, kPresetSize, swapped))
        return KORVA_PRESET_BAD_LENGTH;
    return size < kPresetSize ? KORVA_PRESET_TOO_SHORT : KORVA_PRESET_OK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = korva_fuzz::scratch_path("input.kp");
    korva_fuzz::write_file(path, data, size);

    KorvaParams sentinel;
    std::memset(&sentinel, 0xA5, sizeof sentinel);
    KorvaParams read = sentinel;
    const int ok = korva_read_preset(path.c_str(), &read);

    bool swapped = false;
    const bool valid = expected_valid(data, size, swapped);
    FUZZ_CHECK(ok == (valid ? 1 : 0));
    KorvaPresetInfo info;
    FUZZ_CHECK(korva_preset_read(path.c_str(), &info) == expected_status(data, size));
    FUZZ_CHECK(info.status == expected_status(data, size) && info.file_size == static_cast<int64_t>(size));
    if (!ok) {
        FUZZ_CHECK(std::memcmp(&read, &sentinel, sizeof read) == 0);
    } else {
        KorvaParams expected;
        std::memcpy(&expected, data + 14, sizeof expected);
        if (swapped)
            korva_patch_endian(&expected);
        FUZZ_CHECK(std::memcmp(&read, &expected, sizeof read) == 0);
    }

    KorvaEngine *engine = korva_new();
    FUZZ_CHECK(engine != nullptr);
    KorvaParams before;
    korva_params_read(engine, &before);
    const int loaded = korva_load(engine, path.c_str());
    FUZZ_CHECK(loaded == ok);
    KorvaParams after;
    korva_params_read(engine, &after);
    FUZZ_CHECK(std::memcmp(&after, ok ? &read : &before, sizeof after) == 0);

    if (ok) {
        // Whatever a preset holds, processing returns and stays in bounds.
        std::array<int16_t, 2 * 300> audio;
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<int16_t>((i * 7919u) & 0xffff);
        korva_process(engine, audio.data(), audio.data(), static_cast<int32_t>(audio.size() / 2));

        const std::string saved = korva_fuzz::scratch_path("saved.kp");
        korva_params_write(engine, &read);
        FUZZ_CHECK(korva_save(engine, saved.c_str()) == 1);
        KorvaParams again = sentinel;
        FUZZ_CHECK(korva_read_preset(saved.c_str(), &again) == 1);
        FUZZ_CHECK(std::memcmp(&again, &read, sizeof again) == 0);
        unlink(saved.c_str());
    }
    korva_delete(engine);
    return 0;
}
