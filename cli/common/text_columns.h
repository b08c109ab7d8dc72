// Lining up the columns of a listing. Widths count characters of UTF-8 text
// (every byte but a continuation byte starts one), not bytes, and a column
// is never wider than kColumnLimit: one long name sticks out of its line
// instead of padding every other line to its length.
#ifndef KORVA_CLI_COMMON_TEXT_COLUMNS_H
#define KORVA_CLI_COMMON_TEXT_COLUMNS_H

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kColumnLimit = 60;

// Characters in UTF-8 text.
std::size_t text_width(std::string_view text);

// The width of a column holding `text`, at least `width` (the widest so far)
// and at most kColumnLimit; fold it over the column's entries.
std::size_t column_width(std::size_t width, std::string_view text);

// `text` followed by the spaces that fill it to `width` characters (none
// when it is as wide already).
std::string padded(std::string_view text, std::size_t width);

#endif
