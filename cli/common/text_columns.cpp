#include "text_columns.h"

#include <algorithm>

std::size_t text_width(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::size_t column_width(std::size_t width, std::string_view text)
{
    return std::max(width, std::min(text_width(text), kColumnLimit));
}

std::string padded(std::string_view text, std::size_t width)
{
    std::string out(text);
    const std::size_t have = text_width(text);
    if (have < width)
        out.append(width - have, ' ');
    return out;
}
