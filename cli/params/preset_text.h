// What the preset reader (korva_preset_read) found, in words for the user.
#ifndef KORVA_CLI_PRESET_TEXT_H
#define KORVA_CLI_PRESET_TEXT_H

#include "engine/korva.h"

#include <string>

// Why the file is not a preset: "too short: 5 bytes, a preset has 110", ...
std::string preset_problem(const KorvaPresetInfo &info);

// "byte order: LE (little-endian), this machine's", with a line break.
std::string byte_order_line(const KorvaPresetInfo &info);

#endif
