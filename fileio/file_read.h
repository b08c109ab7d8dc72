/*
 * Reading a whole regular file into memory: the one reader of the text files
 * a user may edit and the programs read back (the player's configuration
 * file, the sink's PipeWire fragment, the sink's profiles, follow's state
 * files, the factory presets' index, an LV2 bundle's manifest). Every such
 * file is small; one larger than kTextFileLimit is not read at all, so no
 * file can make a reader take more memory than that. Presets are read by the
 * engine into a fixed buffer instead (engine/preset.cpp).
 */
#ifndef KORVA_FILEIO_FILE_READ_H
#define KORVA_FILEIO_FILE_READ_H

#include <cstddef>
#include <string>

namespace korva::fileio {

// 1 MiB: far above any file Korva writes or a person edits by hand.
inline constexpr std::size_t kTextFileLimit = std::size_t{1} << 20;

enum class ReadStatus { ok, missing, failed, too_large };

// Reads the whole regular file at `path` into `out`. `missing` when no such
// file exists; `failed` when it exists but cannot be read, or is not a
// regular file (a directory, device or FIFO is never read: opening a FIFO
// does not wait for a writer); `too_large` when it holds more than `limit`
// bytes (`out` is then left empty). For `failed`, `why` (when given) gets
// the errno of the call that failed, or 0 for a file that is not a regular
// file. Only the string's own allocation can throw.
ReadStatus read_file(const char *path, std::string &out, std::size_t limit = kTextFileLimit, int *why = nullptr);

// "is larger than 1 MiB" for kTextFileLimit: the words a message about a
// too_large file uses.
std::string too_large_text(std::size_t limit = kTextFileLimit);

}  // namespace korva::fileio

#endif
