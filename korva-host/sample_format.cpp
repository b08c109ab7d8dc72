#include "sample_format.h"

#include <bit>

namespace {

constexpr bool host_is_big = std::endian::native == std::endian::big;

enum class Order { little, big };

constexpr SampleFormat formats[] = {
    {"u8", FMT_U8, 1},
    {"s8", FMT_S8, 1},
    {"u16le", FMT_U16_LE, 2},
    {"u16be", FMT_U16_BE, 2},
    {"u16ne", FMT_U16_NE, 2},
    {"s16le", FMT_S16_LE, 2},
    {"s16be", FMT_S16_BE, 2},
    {"s16ne", FMT_S16_NE, 2},
};

bool is_unsigned(AFormat code)
{
    return code == FMT_U8 || code == FMT_U16_LE || code == FMT_U16_BE || code == FMT_U16_NE;
}

Order byte_order(AFormat code)
{
    switch (code) {
    case FMT_U16_BE:
    case FMT_S16_BE:
        return Order::big;
    case FMT_U16_NE:
    case FMT_S16_NE:
        return host_is_big ? Order::big : Order::little;
    default:
        return Order::little;
    }
}

} // namespace

const SampleFormat *sample_format_find(std::string_view name)
{
    for (const SampleFormat &fmt : formats)
        if (name == fmt.name)
            return &fmt;
    return nullptr;
}

const char *sample_format_names()
{
    return "u8, s8, u16le, u16be, u16ne, s16le, s16be, s16ne";
}

void sample_format_encode(const SampleFormat &fmt, const int16_t *in, size_t count, unsigned char *out)
{
    const uint16_t offset = is_unsigned(fmt.code) ? 0x8000 : 0;
    const Order order = byte_order(fmt.code);
    for (size_t i = 0; i < count; ++i) {
        const auto bits = static_cast<uint16_t>(static_cast<uint16_t>(in[i]) ^ offset);
        if (fmt.bytes == 1) {
            out[i] = static_cast<unsigned char>(bits >> 8);
        } else if (order == Order::little) {
            out[2 * i] = static_cast<unsigned char>(bits & 0xff);
            out[2 * i + 1] = static_cast<unsigned char>(bits >> 8);
        } else {
            out[2 * i] = static_cast<unsigned char>(bits >> 8);
            out[2 * i + 1] = static_cast<unsigned char>(bits & 0xff);
        }
    }
}

void sample_format_decode(const SampleFormat &fmt, const unsigned char *in, size_t count, int16_t *out)
{
    const uint16_t offset = is_unsigned(fmt.code) ? 0x8000 : 0;
    const Order order = byte_order(fmt.code);
    for (size_t i = 0; i < count; ++i) {
        uint16_t bits;
        if (fmt.bytes == 1)
            bits = static_cast<uint16_t>(in[i] << 8);
        else if (order == Order::little)
            bits = static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
        else
            bits = static_cast<uint16_t>((in[2 * i] << 8) | in[2 * i + 1]);
        out[i] = static_cast<int16_t>(bits ^ offset);
    }
}
