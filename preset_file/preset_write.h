/*
 * Writing a preset file with the reason for a failure, for callers that
 * report it (korva_save itself reports only 1 or 0). The file is replaced as
 * fileio/file_replace.h describes; an existing target that is not a regular
 * file (device, FIFO) is refused. Apart from preset_file.h, which programs
 * with a global named `korva` (the player plug-in's engine) include.
 */
#ifndef KORVA_PRESET_FILE_PRESET_WRITE_H
#define KORVA_PRESET_FILE_PRESET_WRITE_H

#include "preset_file.h"

#include "fileio/file_replace.h"

namespace korva::preset {

bool write_file(const KorvaParams &params, const char *path, korva::fileio::Error *why = nullptr) noexcept;

}  // namespace korva::preset

#endif
