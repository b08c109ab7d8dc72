/*
 * Replacing a whole file so that its name always holds either the old content
 * or the complete new content, never a part. Presets, the player's
 * configuration file and the outputs of `korva` are all written this way.
 *
 * The policy, in order:
 *   1. A symbolic link is followed: the file it points to is replaced and the
 *      link stays. A dangling link is replaced as it stands.
 *   2. An existing target that is a directory is refused. One the caller may
 *      not write is refused (as writing into it in place would be). One that
 *      exists and is not a regular file (device, FIFO, socket) is either
 *      refused or opened and written directly, as the caller's NonRegular
 *      rule says; it is never replaced by a rename.
 *   3. A new file ".NAME.korva-XXXXXX" is created beside the target (same
 *      directory, so the rename cannot cross file systems). It gets the
 *      replaced file's owner where the process may set it (root), its
 *      permission bits 0777 (never set-id or sticky bits), or for a new
 *      target 0666 less the umask.
 *   4. The caller writes the content through the descriptor.
 *   5. Commit: fsync, close (its result checked), rename over the target,
 *      then fsync the directory so the rename itself is on disk. The rename
 *      is the point of no return: a failing directory sync after it is not
 *      reported, since the new content is then in place.
 * Every failure before the rename removes the temporary file and leaves the
 * target exactly as it was.
 *
 * Nothing here allocates or throws: names live in fixed buffers of PATH_MAX
 * bytes, so the calls are safe at a C boundary and with memory exhausted.
 */
#ifndef KORVA_FILEIO_FILE_REPLACE_H
#define KORVA_FILEIO_FILE_REPLACE_H

#include <climits>
#include <cstddef>

namespace korva::fileio {

// What becomes of an existing target that is not a regular file.
enum class NonRegular {
    refuse,         // presets and configuration files: a file of their own or nothing
    write_through,  // `korva process` outputs: /dev/null and FIFOs are written directly
};

// The step that failed. `number` is the errno value, 0 where the step is a
// refusal of this policy rather than a failed system call.
enum class Step {
    none, name, examine, is_directory, not_regular, not_writable,  // before anything is created
    open, temporary, mode, write, sync, close, rename,              // creating, writing, committing
};

struct Error {
    Step step = Step::none;
    int number = 0;
};

// What a step means, for messages ("cannot create a temporary file", ...).
const char *step_text(Step step) noexcept;

// One replacement from begin to commit or abandon.
struct Replacement {
    char target[PATH_MAX] = {};     // the file replaced, symbolic link followed
    char temporary[PATH_MAX] = {};  // the new file beside it; empty when direct
    int fd = -1;                    // where the content goes
    bool direct = false;            // writing straight into a non-regular target
    Error error;                    // why begin or commit failed
};

// Steps 1 to 3. On failure r.fd is -1, nothing exists that did not before,
// and r.error says why.
bool begin_replacement(const char *path, NonRegular rule, Replacement &r) noexcept;

// Step 5 (for a direct target: close, with its result checked). On failure
// the temporary file is removed and r.error says why.
bool commit_replacement(Replacement &r) noexcept;

// Closes the descriptor and removes the temporary file; harmless when done.
void abandon_replacement(Replacement &r) noexcept;

// Whether two names would write one file: both name the same existing file
// (symbolic links followed), or neither exists and both are the same name in
// the same directory (a dangling link is its own name, as step 1 replaces
// it). A program with two outputs refuses them before writing either.
bool same_target(const char *a, const char *b) noexcept;

// Writes all `size` bytes, retrying short writes and EINTR.
bool write_all(int fd, const void *data, std::size_t size) noexcept;

// The whole policy for content already in memory. `why`, when given, says
// which step failed.
bool replace_file(const char *path, const void *data, std::size_t size, NonRegular rule,
                  Error *why = nullptr) noexcept;

}  // namespace korva::fileio

#endif
