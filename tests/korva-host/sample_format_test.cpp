// The bytes korva-host hands the plug-in for each of the player's formats:
// a round trip alone would not notice a byte order or sign convention that is
// wrong the same way in both directions.
#include "korva-host/sample_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace {

struct Expected {
    const char *name;
    AFormat code;
    std::vector<unsigned char> bytes;   // of the samples below
};

const std::vector<int16_t> samples = {0x1234, -32768, -1, 0};

TEST(SampleFormat, EncodesEachFormatsByteLayout)
{
    constexpr bool big = std::endian::native == std::endian::big;
    const std::vector<unsigned char> s16le = {0x34, 0x12, 0x00, 0x80, 0xff, 0xff, 0x00, 0x00};
    const std::vector<unsigned char> s16be = {0x12, 0x34, 0x80, 0x00, 0xff, 0xff, 0x00, 0x00};
    const std::vector<unsigned char> u16le = {0x34, 0x92, 0x00, 0x00, 0xff, 0x7f, 0x00, 0x80};
    const std::vector<unsigned char> u16be = {0x92, 0x34, 0x00, 0x00, 0x7f, 0xff, 0x80, 0x00};
    const Expected table[] = {
        {"u8", FMT_U8, {0x92, 0x00, 0x7f, 0x80}},
        {"s8", FMT_S8, {0x12, 0x80, 0xff, 0x00}},
        {"u16le", FMT_U16_LE, u16le},
        {"u16be", FMT_U16_BE, u16be},
        {"u16ne", FMT_U16_NE, big ? u16be : u16le},
        {"s16le", FMT_S16_LE, s16le},
        {"s16be", FMT_S16_BE, s16be},
        {"s16ne", FMT_S16_NE, big ? s16be : s16le},
    };
    for (const Expected &e : table) {
        SCOPED_TRACE(e.name);
        const SampleFormat *fmt = sample_format_find(e.name);
        ASSERT_NE(fmt, nullptr);
        EXPECT_EQ(fmt->code, e.code);
        EXPECT_EQ(fmt->bytes * samples.size(), e.bytes.size());
        std::vector<unsigned char> bytes(e.bytes.size());
        sample_format_encode(*fmt, samples.data(), samples.size(), bytes.data());
        EXPECT_EQ(bytes, e.bytes);

        std::vector<int16_t> back(samples.size());
        sample_format_decode(*fmt, bytes.data(), samples.size(), back.data());
        for (size_t i = 0; i < samples.size(); ++i) {
            const int16_t kept = fmt->bytes == 1 ? static_cast<int16_t>(samples[i] & ~0xff) : samples[i];
            EXPECT_EQ(back[i], kept) << "sample " << i;
        }
    }
}

TEST(SampleFormat, UnknownNamesAreRefused)
{
    for (const char *name : {"", "S16NE", "s16", "s24le", "float"})
        EXPECT_EQ(sample_format_find(name), nullptr) << name;
}

} // namespace
