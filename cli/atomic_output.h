// Output files that appear only when complete. A regular (or new) output is
// written under a temporary name in its own directory and renamed over the
// final name on success; anything else (a device such as /dev/null, a FIFO)
// is written directly, because a rename would replace the device node.
#ifndef KORVA_CLI_ATOMIC_OUTPUT_H
#define KORVA_CLI_ATOMIC_OUTPUT_H

#include "status.h"

#include <string>

struct AtomicOutput {
    std::string final_path;   // the name the user gave, symbolic links resolved
    std::string write_path;   // where to write: a temporary file, or final_path
    bool direct = false;      // true when write_path is final_path
    bool committed = false;

    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput &) = delete;
    AtomicOutput &operator=(const AtomicOutput &) = delete;
    // Removes the temporary file unless commit_output succeeded.
    ~AtomicOutput();
};

// Refuses an output that is the input file itself, under any name (same
// device and inode). A missing output is fine.
Status check_distinct(const std::string &input_path, const std::string &output_path);

// Decides how `path` is written and, for a regular target, creates the empty
// temporary file (mode of the existing file, or 0666 less the umask).
Status begin_output(const std::string &path, AtomicOutput &output);

// Renames the finished temporary file to the final name.
Status commit_output(AtomicOutput &output);

// Removes the temporary file now; harmless when there is none.
void abandon_output(AtomicOutput &output);

#endif
