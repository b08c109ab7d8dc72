/*
 * Reading a whole regular file into memory: the one reader of the player's
 * configuration file and of the other small text files the programs read
 * back (an LV2 bundle's manifest). Presets are read by the engine into a
 * fixed buffer instead (engine/preset.cpp).
 */
#ifndef KORVA_FILEIO_FILE_READ_H
#define KORVA_FILEIO_FILE_READ_H

#include <string>

namespace korva::fileio {

enum class ReadStatus { ok, missing, failed };

// Reads the whole regular file at `path` into `out`. `missing` when no such
// file exists; `failed` when it exists but cannot be read, or is not a
// regular file (a directory, device or FIFO is never read: opening a FIFO
// does not wait for a writer). Only the string's own allocation can throw.
ReadStatus read_file(const char *path, std::string &out);

}  // namespace korva::fileio

#endif
