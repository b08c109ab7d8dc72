/* Reading and atomically replacing the configuration file on disk. */
#ifndef KORVA_HOST_CONFIG_IO_H
#define KORVA_HOST_CONFIG_IO_H

#include <string>
#include <string_view>

namespace korva::config {

enum class ReadStatus { ok, missing, failed };

// Reads the whole regular file at `path` into `out`. `missing` when no such
// file exists; `failed` when it exists but cannot be read, or is not a
// regular file (a directory, device or FIFO is never read).
ReadStatus read_file(const char *path, std::string &out);

// Replaces the file at `path` with `data` as fileio/file_replace.h describes:
// the path holds the old or the new content, never a part, and an existing
// target that is not a regular file, or that the caller may not write, is
// refused. When `make_parent` is set, a missing parent directory (one level)
// is created with 0755 minus the umask.
bool replace_file(const char *path, std::string_view data, bool make_parent);

}  // namespace korva::config

#endif
