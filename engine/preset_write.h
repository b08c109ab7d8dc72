/*
 * Whole-file replacement: the target path names either its old content or
 * the complete new content, never a partial file. Used for preset files, and
 * compiled into the player's library stand-in for its configuration file.
 */
#ifndef KORVA_ENGINE_PRESET_WRITE_H
#define KORVA_ENGINE_PRESET_WRITE_H

#include <cstddef>
#include <span>

namespace korva::file_io {

/*
 * Writes `data` to a new file beside `path` (same directory, so the rename
 * below cannot cross file systems), forces it to disk, and renames it over
 * `path`. A symbolic link is followed and its target replaced; an existing
 * target keeps its permission bits (and, where allowed, its owner); a new file
 * gets 0666 minus the umask. An existing target that is not a regular file
 * (directory, device, FIFO, socket) or that the caller may not write is
 * refused. On any failure the temporary
 * file is removed, the target is left as it was, and false is returned.
 */
bool replace_file(const char *path, std::span<const unsigned char> data);

}  // namespace korva::file_io

#endif
